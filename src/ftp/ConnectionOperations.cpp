// Connection: the queueing operations, the operation objects' turns, and the starts of the
// listing, the file batch and the host-to-host sides.

#include "ftp/Connection.h"

#include "ftp/Cache.h"
#include "ftp/CustomCommandsOperation.h"
#include "ftp/DataListener.h"
#include "ftp/DeleteOperation.h"
#include "ftp/ListingDelivery.h"
#include "ftp/ListingJob.h"
#include "ftp/MakeDirOperation.h"
#include "ftp/PassiveReply.h"
#include "ftp/RemotePath.h"
#include "ftp/RenameOperation.h"
#include "ftp/ConnectionOwner.h"

#include <QPointer>
#include <QRegularExpression>

using namespace remotepath;

// ---------------------------------------------------------------------------------------------
// Queueing

void Connection::ListDir(const QString &cacheFile, ListingJob *job, const QString &directory)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = ListDirKind;
    command->cacheFile = cacheFile;
    command->listInfo = job;
    command->text = directory;
    queueCommand(std::move(command));
}

void Connection::TransferFiles(TransferDriver *driver)
{
    driver->setConnection(this);
    auto command = std::make_unique<CommandStruct>();
    command->type = TransferFilesKind;
    command->job = driver;
    queueCommand(std::move(command));
}

void Connection::DeleteFiles(DeleteDriver *driver)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = DeleteFilesKind;
    command->job = driver;
    queueCommand(std::move(command));
}

void Connection::RenameFile(RenameDriver *driver)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = RenameFileKind;
    command->job = driver;
    queueCommand(std::move(command));
}

void Connection::MakeDir(MakeDirDriver *driver)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = MakeDirKind;
    command->job = driver;
    queueCommand(std::move(command));
}

void Connection::HostPassiveStore(const QString &remotePath, bool binary, HostToHostDriver *driver,
                                  DataTlsRole role)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = HostPassiveStoreKind;
    command->dataTlsRole = role;
    command->text = remotePath;
    command->binary = binary;
    command->job = driver;
    queueCommand(std::move(command));
}

void Connection::HostActiveRetrieve(const QString &remotePath, bool binary, const QString &portText,
                                    HostToHostDriver *driver, DataTlsRole role)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = HostActiveRetrieveKind;
    command->dataTlsRole = role;
    command->text = remotePath;
    command->binary = binary;
    command->portText = portText;
    command->job = driver;
    queueCommand(std::move(command));
}

// ---------------------------------------------------------------------------------------------
// Operation objects

std::shared_ptr<ConnectionOperation> Connection::operationFor(const CommandStruct &command)
{
    switch (command.type) {
    case DeleteFilesKind:
        if (auto *driver = dynamic_cast<DeleteDriver *>(command.job))
            return std::make_shared<DeleteOperation>(this, driver);
        break;
    case RenameFileKind:
        if (auto *driver = dynamic_cast<RenameDriver *>(command.job))
            return std::make_shared<RenameOperation>(this, driver);
        break;
    case MakeDirKind:
        if (auto *driver = dynamic_cast<MakeDirDriver *>(command.job))
            return std::make_shared<MakeDirOperation>(this, driver);
        break;
    case CustomCommandsKind:
        return std::make_shared<CustomCommandsOperation>(this, command.text);
    default:
        break;
    }
    return nullptr;
}

void Connection::startOperation(std::shared_ptr<ConnectionOperation> operation)
{
    operation_ = operation;
    settle(operation, operation->start());
}

void Connection::runOperationReply(int code, const QString &line)
{
    // Held here as well: a box the reply leads to may end the operation before the call returns.
    std::shared_ptr<ConnectionOperation> operation = operation_;
    if (!operation || (!operation->takesEveryReply() && isStrayReply(code)))
        return;
    settle(operation, operation->handleReply(code, line));
}

void Connection::settle(const std::shared_ptr<ConnectionOperation> &operation, ConnectionOperation::Outcome outcome)
{
    switch (outcome) {
    case ConnectionOperation::Outcome::Gone:
        return; // this connection may be gone too
    case ConnectionOperation::Outcome::GoOn:
        setState(OperationRunning);
        return;
    case ConnectionOperation::Outcome::Done:
    case ConnectionOperation::Outcome::Failed:
        break;
    }
    if (operation_ == operation)
        operation_.reset();
    endOperation(operation->driver());
}

// The record's operation is over: its owner disposes of it, and the queue goes on.
void Connection::endOperation(OperationDriver *driver)
{
    QPointer<Connection> self(this);
    if (driver)
        driver->operationEnded();
    if (self && alive())
        TakeNextCommand();
}

bool Connection::hasListing(int listingId) const
{
    if (listingId < 0)
        return false;
    if (cacheFileNumber_ == listingId)
        return true;
    return std::any_of(commands_.cbegin(), commands_.cend(), [listingId](const CommandStruct *command) {
        return command->type == ListDirKind && !command->cacheFile.isEmpty()
               && Cache::ListingId(command->cacheFile) == listingId;
    });
}

// ---------------------------------------------------------------------------------------------
// Listing and file batch starts

void Connection::startListDir(const CommandStruct &command)
{
    const QString directory = withoutTrailingSlash(command.text);
    listJob_ = command.listInfo;
    argument_ = directory + QLatin1Char('\n');
    if (holdsLineBreak(directory) || !directory.startsWith(QLatin1Char('/'))) {
        if (failed(tr("The folder name %1 cannot be sent to the host.").arg(directory), tr("Error Retrieving List")))
            endListing();
        return;
    }
    // The listing id is the number that names the cache file ("00100002.FTC" is 100002).
    cacheFileNumber_ = command.cacheFile.isEmpty() ? -1 : Cache::ListingId(command.cacheFile);
    hostToHost_ = false;
    binary_ = false;
    listing_ = true;
    delivery_ = pool_->listingDelivery(hostName(), asDirectory(directory), cacheFileNumber_, listJob_,
                                       command.cacheFile);
    machineListing_ = features_.mlst && !mlsdRefused_ && !(listJob_ && listJob_->needsLinks());
    if (!beginDataStep() && alive())
        endListing();
}

void Connection::startTransferFiles(TransferDriver *driver)
{
    if (!driver) {
        TakeNextCommand();
        return;
    }
    driver->setConnection(this);
    transferDriver_ = driver;
    transferActive_ = true;
    NextFileOfBatch();
}

// ---------------------------------------------------------------------------------------------
// Host to host

void Connection::startPassiveStore(const CommandStruct &command)
{
    hostToHostDriver_ = dynamic_cast<HostToHostDriver *>(command.job);
    remotePath_ = command.text;
    binary_ = command.binary;
    hostToHost_ = true;
    retrieve_ = false;
    listing_ = false;
    restartOffset_ = 0;
    if (!hostToHostDriver_ || holdsLineBreak(remotePath_) || !remotePath_.startsWith(QLatin1Char('/'))) {
        abortHostToHost(tr("The remote path %1 cannot be sent to the host.").arg(remotePath_));
        return;
    }
    if (overIpv6()) {
        // The other host is told this one's address in a PORT command, which has room for IPv4 only.
        abortHostToHost(tr("%1 is reached over IPv6; a host-to-host copy needs both hosts reached over IPv4.")
                            .arg(hostName()));
        return;
    }
    hostToHostRole_ = DataTlsRole(command.dataTlsRole);
    hostToHostPort_.clear();
    hostToHostDriver_->setStatus(tr("Switching to Passive Mode"));
    hostToHostDataStep();
}

void Connection::hostToHostDataStep()
{
    const bool passiveSide = hostToHostPort_.isEmpty();
    // CPSV is a PASV after which the host takes the client's side of TLS: no SSCN needed.
    const bool cpsv = passiveSide && hostToHostRole_ == DataTlsClient && features_.cpsv && !sscnOn_;
    const bool wantSscn = hostToHostRole_ == DataTlsClient;
    if (!cpsv && hostToHostRole_ != PlainData && wantSscn != sscnOn_) {
        sendCommand(wantSscn ? QStringLiteral("SSCN ON") : QStringLiteral("SSCN OFF"));
        setState(AwaitSscnReply);
        return;
    }
    if (passiveSide) {
        sendCommand(cpsv ? QStringLiteral("CPSV") : QStringLiteral("PASV"));
        setState(AwaitPasvReply);
    } else {
        sendCommand(QStringLiteral("PORT ") + hostToHostPort_);
        setState(AwaitPortReply);
    }
}

void Connection::handleSscnReply(int code, const QString &line)
{
    if (code != 200) {
        if (replyFailed(line, tr("Error Setting the Data Connection's Encryption")))
            abortHostToHost(line.mid(4));
        return;
    }
    sscnOn_ = !sscnOn_;
    hostToHostDataStep();
}

void Connection::handlePasvReply(int code, const QString &line)
{
    if (code == 227) {
        // The source is sent to the destination as this client reached it, whatever address the
        // reply names: a host must not be able to point the source anywhere else.
        if (const std::optional<quint16> port = PasvReplyPort(line.toUtf8())) {
            hostToHostDriver_->PassiveAddress(portArgument(peerAddress_, *port));
            destinationStep();
            return;
        }
    }
    if (replyFailed(line, tr("Error Entering Passive Mode")))
        abortHostToHost(line.mid(4));
}

void Connection::startActiveRetrieve(const CommandStruct &command)
{
    hostToHostDriver_ = dynamic_cast<HostToHostDriver *>(command.job);
    remotePath_ = command.text;
    binary_ = command.binary;
    hostToHost_ = true;
    retrieve_ = true;
    listing_ = false;
    restartOffset_ = 0;
    if (overIpv6()) {
        abortHostToHost(tr("%1 is reached over IPv6; a host-to-host copy needs both hosts reached over IPv4.")
                            .arg(hostName()));
        return;
    }
    static const QRegularExpression portText(QStringLiteral("^\\d{1,3}(,\\d{1,3}){5}$"));
    if (!hostToHostDriver_ || holdsLineBreak(remotePath_) || !remotePath_.startsWith(QLatin1Char('/'))
        || !portText.match(command.portText).hasMatch()) {
        abortHostToHost(tr("The transfer cannot be sent to the host."));
        return;
    }
    hostToHostRole_ = DataTlsRole(command.dataTlsRole);
    hostToHostPort_ = command.portText;
    hostToHostDataStep();
}
