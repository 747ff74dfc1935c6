// Connection: the queueing operations and the operations that need no data connection of their
// own (delete, rename, create directory, the host-to-host sides).

#include "ftp/Connection.h"

#include "ftp/Cache.h"
#include "ftp/DataListener.h"
#include "ftp/ListingDelivery.h"
#include "ftp/ListingJob.h"
#include "platform/LocalDrives.h"
#include "ftp/ConnectionOwner.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>

namespace {
bool holdsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

QString parentOf(const QString &path)
{
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    return last > 0 ? path.left(last) : QStringLiteral("/");
}

QString asDirectory(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}
} // namespace

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

void Connection::HostPassiveStore(const QString &remotePath, bool binary, HostToHostDriver *driver)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = HostPassiveStoreKind;
    command->text = remotePath;
    command->binary = binary;
    command->job = driver;
    queueCommand(std::move(command));
}

void Connection::HostActiveRetrieve(const QString &remotePath, bool binary, const QString &portText,
                                    HostToHostDriver *driver)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = HostActiveRetrieveKind;
    command->text = remotePath;
    command->binary = binary;
    command->portText = portText;
    command->job = driver;
    queueCommand(std::move(command));
}

// The record's operation is over: its owner disposes of it, and the queue goes on.
void Connection::endOperation(OperationDriver *driver)
{
    QPointer<Connection> self(this);
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
    if (!openListener()) {
        if (alive())
            endListing();
        return;
    }
    sendCommand(listener_->portCommand());
    setState(AwaitPortReply);
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
// Delete

void Connection::startDelete(DeleteDriver *driver)
{
    if (!driver) {
        TakeNextCommand();
        return;
    }
    deleteDriver_ = driver;
    startDeleteEntry();
}

void Connection::startDeleteEntry()
{
    QString path;
    bool directory = false;
    if (deleteDriver_->cancelled() || !deleteDriver_->NextEntry(path, directory)) {
        DeleteDriver *driver = std::exchange(deleteDriver_, nullptr);
        endOperation(driver);
        return;
    }
    path = withoutTrailingSlash(path);
    if (holdsLineBreak(path) || !path.startsWith(QLatin1Char('/')) || path == QLatin1String("/")) {
        deleteDriver_->entryEnded(false, tr("The path %1 cannot be sent to the host.").arg(path));
        afterDeleteEntry();
        return;
    }
    binary_ = directory;
    argument_ = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    remotePath_ = asDirectory(parentOf(path));
    sendCommand(QStringLiteral("CWD ") + parentOf(path));
    setState(AwaitDeleteCwdReply);
}

void Connection::handleDeleteCwdReply(int code, const QString &line)
{
    if (code == 250) {
        if (deleteDriver_->cancelled()) {
            afterDeleteEntry();
            return;
        }
        sendCommand((binary_ ? QStringLiteral("RMD ") : QStringLiteral("DELE ")) + argument_);
        setState(AwaitDeleteReply);
        return;
    }
    if (!replyFailed(line, tr("Error Deleting")))
        return;
    if (!failed(tr("Couldn't Change to Directory"), tr("Couldn't Delete File")))
        return;
    deleteDriver_->entryEnded(false, line.mid(4));
    afterDeleteEntry();
}

void Connection::handleDeleteReply(int code, const QString &line)
{
    if (code == 250) {
        pool_->entryRemoved(hostName(), remotePath_, argument_);
        // Cache files are named in drive form ("C:\...\00100002.FTC") like every local path.
        const QString cacheFile = toNativePath(deleteDriver_->cacheFilePath());
        if (!cacheFile.isEmpty())
            QFile::remove(cacheFile);
        invalidateListing(remotePath_);
        if (binary_)
            invalidateListing(remotePath_ + argument_ + QLatin1Char('/'));
        deleteDriver_->entryEnded(true, QString());
    } else {
        if (!replyFailed(line, tr("Couldn't Delete File")))
            return;
        deleteDriver_->entryEnded(false, line.mid(4));
    }
    afterDeleteEntry();
}

void Connection::afterDeleteEntry()
{
    startDeleteEntry(); // stops by itself when cancelled or when nothing is left
}

// ---------------------------------------------------------------------------------------------
// Rename

void Connection::startRename(RenameDriver *driver)
{
    if (!driver) {
        TakeNextCommand();
        return;
    }
    renameDriver_ = driver;
    const bool unusable = holdsLineBreak(driver->directory()) || holdsLineBreak(driver->oldName())
                          || holdsLineBreak(driver->newName()) || driver->oldName().isEmpty()
                          || driver->newName().isEmpty();
    if (driver->cancelled() || unusable) {
        if (unusable && !driver->cancelled())
            driver->renameEnded(false, tr("The name cannot be sent to the host."));
        renameDriver_ = nullptr;
        endOperation(driver);
        return;
    }
    driver->setStatus(tr("Changing Directory"));
    sendCommand(QStringLiteral("CWD ") + withoutTrailingSlash(driver->directory()));
    setState(AwaitRenameCwdReply);
}

void Connection::handleRenameCwdReply(int code, const QString &line)
{
    RenameDriver *driver = renameDriver_;
    if (code == 250) {
        driver->setStatus(tr("Sending Source File"));
        sendCommand(QStringLiteral("RNFR ") + driver->oldName());
        setState(AwaitRnfrReply);
        return;
    }
    if (!failed(line.mid(4), tr("Couldn't Change Dir for Rename"), Prompt::Icon::None))
        return;
    driver->renameEnded(false, line.mid(4));
    renameDriver_ = nullptr;
    endOperation(driver);
}

void Connection::handleRnfrReply(int code, const QString &line)
{
    RenameDriver *driver = renameDriver_;
    if (code == 350 && !driver->cancelled()) {
        driver->setStatus(tr("Sending Destination File"));
        sendCommand(QStringLiteral("RNTO ") + driver->newName());
        setState(AwaitRntoReply);
        return;
    }
    renameDriver_ = nullptr;
    QPointer<Connection> self(this);
    const bool cancelled = driver->cancelled();
    driver->renameEnded(false, cancelled ? tr("Cancelled") : line.mid(4));
    driver->operationEnded();
    if (!self || !alive())
        return;
    if (!cancelled && !replyFailed(line, tr("Error Renaming File")))
        return;
    TakeNextCommand();
}

void Connection::handleRntoReply(int code, const QString &line)
{
    RenameDriver *driver = renameDriver_;
    if (code == 250) {
        driver->setStatus(tr("File Renamed"));
        const QString directory = asDirectory(driver->directory());
        invalidateListing(directory);
        pool_->entryRenamed(hostName(), directory, driver->oldName(), driver->newName());
        driver->renameEnded(true, QString());
    } else {
        if (!replyFailed(line, tr("Error Renaming File")))
            return;
        driver->renameEnded(false, line.mid(4));
    }
    renameDriver_ = nullptr;
    endOperation(driver);
}

// ---------------------------------------------------------------------------------------------
// Create directory

void Connection::startMakeDir(MakeDirDriver *driver)
{
    if (!driver) {
        TakeNextCommand();
        return;
    }
    makeDirDriver_ = driver;
    const QString path = withoutTrailingSlash(driver->path());
    const bool unusable = holdsLineBreak(path) || !path.startsWith(QLatin1Char('/')) || path == QLatin1String("/");
    if (driver->cancelled() || unusable) {
        if (unusable && !driver->cancelled())
            driver->makeDirEnded(false, tr("The path %1 cannot be sent to the host.").arg(path));
        makeDirDriver_ = nullptr;
        endOperation(driver);
        return;
    }
    argument_ = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    remotePath_ = parentOf(path);
    driver->setStatus(tr("Changing Directory"));
    sendCommand(QStringLiteral("CWD ") + remotePath_);
    setState(AwaitMkdirCwdReply);
}

void Connection::handleMkdirCwdReply(int code, const QString &line)
{
    MakeDirDriver *driver = makeDirDriver_;
    if (code == 250) {
        driver->setStatus(tr("Creating Directory"));
        sendCommand(QStringLiteral("MKD ") + argument_);
        setState(AwaitMkdReply);
        return;
    }
    if (!replyFailed(line, tr("Error Creating Directory")))
        return;
    driver->makeDirEnded(false, line.mid(4));
    makeDirDriver_ = nullptr;
    endOperation(driver);
}

void Connection::handleMkdReply(int code, const QString &line)
{
    MakeDirDriver *driver = makeDirDriver_;
    if (code == 257) {
        const QString parent = asDirectory(remotePath_);
        invalidateListing(parent);
        pool_->directoryCreated(hostName(), parent, argument_);
        driver->makeDirEnded(true, QString());
    } else {
        if (!replyFailed(line, tr("Error Creating Directory")))
            return;
        driver->makeDirEnded(false, line.mid(4));
    }
    makeDirDriver_ = nullptr;
    endOperation(driver);
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
    hostToHostDriver_->setStatus(tr("Switching to Passive Mode"));
    sendCommand(QStringLiteral("PASV"));
    setState(AwaitPasvReply);
}

void Connection::handlePasvReply(int code, const QString &line)
{
    if (code == 227) {
        // "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the six numbers end at the last digit.
        static const QRegularExpression numbers(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\D*$"));
        const QRegularExpressionMatch match = numbers.match(line.mid(4));
        bool inRange = match.hasMatch();
        for (int i = 1; inRange && i <= 6; ++i)
            inRange = match.captured(i).size() <= 3 && match.captured(i).toInt() <= 255;
        if (inRange) {
            // The source is sent to the destination as this client reached it, whatever address
            // the reply names: a host must not be able to point the source anywhere else.
            const quint16 port = quint16(match.captured(5).toInt() * 256 + match.captured(6).toInt());
            hostToHostDriver_->PassiveAddress(portArgument(peerAddress_, port));
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
    static const QRegularExpression portText(QStringLiteral("^\\d{1,3}(,\\d{1,3}){5}$"));
    if (!hostToHostDriver_ || holdsLineBreak(remotePath_) || !remotePath_.startsWith(QLatin1Char('/'))
        || !portText.match(command.portText).hasMatch()) {
        abortHostToHost(tr("The transfer cannot be sent to the host."));
        return;
    }
    sendCommand(QStringLiteral("PORT ") + command.portText);
    setState(AwaitPortReply);
}
