// Connection: the common preparation of a data transfer (PORT, the destination-directory walk,
// TYPE, CWD, REST, the transfer command) and the end of listings and files.

#include "ftp/Connection.h"

#include "ftp/ListTransfer.h"
#include "ftp/ListingDelivery.h"
#include "ftp/ListingJob.h"
#include "ftp/Transfer.h"
#include "platform/StatusLine.h"
#include "ftp/ConnectionOwner.h"

#include <QPointer>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTimer>

namespace {
// Position of the last "/" or "\" before pos, or -1.
qsizetype lastSeparatorBefore(const QString &path, qsizetype pos)
{
    for (qsizetype i = std::min(pos, path.size()) - 1; i >= 0; --i)
        if (path.at(i) == QLatin1Char('/') || path.at(i) == QLatin1Char('\\'))
            return i;
    return -1;
}

QString directoryOf(const QString &path)
{
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    return last > 0 ? path.left(last) : QStringLiteral("/");
}
} // namespace

QString Connection::hostName() const
{
    return pool_->hostName(hostIndex_);
}

void Connection::setDriverStatus(const QString &text)
{
    if (transferDriver_)
        transferDriver_->setStatus(text);
    else if (hostToHostDriver_)
        hostToHostDriver_->setStatus(text);
}

bool Connection::failed(const QString &text, const QString &caption, Prompt::Icon icon)
{
    QPointer<Connection> self(this);
    holdTimers();
    pool_->prompt().message(text, caption, icon);
    if (self)
        resumeTimers();
    return self && alive();
}

void Connection::holdTimers()
{
    watchdog_->stop();
    keepAlive_->stop();
}

void Connection::resumeTimers()
{
    armWatchdog();
    armKeepAlive();
}

bool Connection::informed(const QString &text, const QString &caption)
{
    QPointer<Connection> self(this);
    holdTimers();
    pool_->prompt().ask(text, caption, Prompt::Icon::None, Prompt::Ok);
    if (!self || !alive())
        return false;
    resumeTimers();
    return true;
}

bool Connection::replyFailed(const QString &line, const QString &caption)
{
    return failed(line.mid(4), caption);
}

void Connection::invalidateListing(const QString &directory)
{
    pool_->invalidateListing(hostName(), directory);
}

// ---------------------------------------------------------------------------------------------
// Data connections

bool Connection::overIpv6() const
{
    bool mapped = false;
    peerAddress_.toIPv4Address(&mapped);
    return !mapped && peerAddress_.protocol() == QAbstractSocket::IPv6Protocol;
}

DataChannel::Way Connection::dataWay() const
{
    const bool v6 = overIpv6();
    const int mode = pool_->dataModeOverride() ? pool_->dataModeOverride()
                     : hostDataMode_            ? hostDataMode_
                                                : pool_->dataMode();
    // IPv6 has only the extended commands; an IPv4 host that offers EPSV gets them too.
    const bool extended = v6 || features_.epsv;
    if (mode == 2 && !passiveRefused_) {
        if (extended && !epsvRefused_)
            return DataChannel::Way::Epsv;
        if (!v6)
            return DataChannel::Way::Pasv;
    }
    // PORT cannot name an IPv6 address: an IPv6 host that refused EPRT is asked with it again
    // and refuses again, which the user is told.
    return v6 || (extended && !eprtRefused_) ? DataChannel::Way::Eprt : DataChannel::Way::Port;
}

bool Connection::beginDataStep(QString *why)
{
    dropDataObjects();
    // A passive data connection stands before the transfer command goes: from here on, its end
    // counts, whenever it comes.
    dataDone_ = finalReplied_ = dataEndedEarly_ = false;
    if (!socket_)
        return false;
    channel_ = new DataChannel(dataWay(), socket_->localAddress(), peerAddress_, dataTls(), this);
    connect(channel_, &DataChannel::ready, this, &Connection::dataReady);
    connect(channel_, &DataChannel::failed, this, &Connection::dataConnectFailed);
    const QString command = channel_->command();
    if (command.isEmpty()) {
        const QString text = channel_->errorText(), caption = channel_->errorCaption();
        dropDataObjects();
        if (why)
            *why = text;
        failed(text, caption);
        return false;
    }
    if (!listing_ && transferDriver_)
        transferDriver_->setStatus(channel_->passive() ? tr("Switching to Passive Mode") : tr("Setting Port"));
    sendCommand(command);
    setState(AwaitPortReply);
    return true;
}

void Connection::dataReady(QTcpSocket *socket)
{
    // Data moving either way keeps the timeout away.
    connect(socket, &QTcpSocket::readyRead, this, [this] { noteActivity(); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] { noteActivity(); });
    if (auto *secure = qobject_cast<QSslSocket *>(socket); secure && protectData_) {
        connect(secure, &QSslSocket::encrypted, this, [this, secure] {
            const QString fingerprint = certificateFingerprint(secure->peerCertificate());
            if (!sameFingerprint(fingerprint, controlFingerprint_))
                foreignDataCertificate(fingerprint);
        });
    }
    if (listing_ && delivery_) {
        listTransfer_ = new ListTransfer(socket, *delivery_, machineListing_, this);
        connect(listTransfer_, &ListTransfer::finished, this, &Connection::dataFinished);
    } else if (listing_ || hostToHost_) {
        socket->abort();
        socket->deleteLater();
    } else {
        transfer_ = new Transfer(socket, file_.localPath, retrieve_, this);
        connect(transfer_, &Transfer::progress, this, [this](qint64 n) {
            if (transferDriver_)
                transferDriver_->BytesTransferred(n);
        });
        connect(transfer_, &Transfer::finished, this, &Connection::dataFinished);
        if (state_ == Transferring)
            transfer_->start(restartOffset_); // the host accepted the command before it connected
    }
    if (state_ == AwaitDataConnect)
        destinationStep(); // passive: the connection stands; the commands that use it follow
}

void Connection::dataConnectFailed(const QString &reason)
{
    if (state_ != AwaitDataConnect)
        return;
    // Nothing is outstanding on the control connection: the item ends and the queue goes on.
    const QString text = tr("Could not open the data connection to %1").arg(reason);
    dropDataObjects();
    if (failed(text, tr("Error Opening Data Connection")))
        itemFailed(text);
}

void Connection::itemFailed(const QString &text)
{
    if (hostToHost_)
        abortHostToHost(text);
    else if (listing_)
        endListing();
    else
        fileFailed(text, QString());
}

void Connection::dataFinished()
{
    dataDone_ = true;
    // A passive data connection that ends before the transfer command went out carried nothing.
    if (state_ != AwaitTransferStart && state_ != Transferring)
        dataEndedEarly_ = true;
    tryFinishData();
}

void Connection::dropDataObjects()
{
    // They may be inside one of their own signals: let the event loop delete them.
    for (QObject *object : {static_cast<QObject *>(channel_), static_cast<QObject *>(transfer_),
                            static_cast<QObject *>(listTransfer_)}) {
        if (object) {
            object->disconnect(this);
            object->deleteLater();
        }
    }
    if (transfer_)
        transfer_->abort();
    if (listTransfer_)
        listTransfer_->abort();
    channel_ = nullptr;
    transfer_ = nullptr;
    listTransfer_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The common preparation

void Connection::handlePortReply(int code, const QString &line)
{
    if (hostToHost_ || !channel_) {
        // A host-to-host side sends the PORT the other host gave.
        if (code == 200)
            destinationStep();
        else if (replyFailed(line, tr("Error Setting Port")))
            itemFailed(line.mid(4));
        return;
    }
    const DataChannel::Way way = channel_->way();
    switch (channel_->takeReply(code, line)) {
    case DataChannel::Answer::Ready:
        if (channel_->passive())
            setState(AwaitDataConnect); // dataReady or dataConnectFailed go on
        else
            destinationStep();
        return;
    case DataChannel::Answer::Refused:
        if (fallBackFrom(way)) {
            QString why;
            if (!beginDataStep(&why) && alive())
                itemFailed(why);
            return;
        }
        break;
    case DataChannel::Answer::Failed:
        break;
    }
    QString text = channel_->errorText();
    const QString caption = channel_->errorCaption();
    if (!channel_->passive() && !passiveRefused_) {
        // Hosts behind firewalls refuse active mode; the host's own reply rarely says what to do.
        text += tr("\n\nThe host refused an active-mode data connection (%1). Passive mode may work: choose "
                   "Passive (PASV) under Data Connection in the host's options.")
                    .arg(channel_->verb());
    }
    dropDataObjects();
    if (failed(text, caption))
        itemFailed(text);
}

bool Connection::fallBackFrom(DataChannel::Way way)
{
    const DataChannel::Way before = dataWay();
    switch (way) {
    case DataChannel::Way::Pasv:
        passiveRefused_ = true;
        break;
    case DataChannel::Way::Epsv:
        epsvRefused_ = true;
        break;
    case DataChannel::Way::Eprt:
        eprtRefused_ = true;
        break;
    case DataChannel::Way::Port:
        return false; // the oldest way: there is nothing left to try
    }
    const DataChannel::Way next = dataWay();
    if (next == before)
        return false;
    const bool nowActive = next == DataChannel::Way::Port || next == DataChannel::Way::Eprt;
    if (nowActive && (way == DataChannel::Way::Pasv || way == DataChannel::Way::Epsv)) {
        passiveRefused_ = true;
        showStatus(tr("%1 refused passive mode; active mode is used from now on").arg(hostName()));
    }
    return true;
}

void Connection::destinationStep()
{
    QString directory;
    if (listing_) {
        directory = argument_.chopped(1); // without the end marker
        if (!directory.endsWith(QLatin1Char('/')))
            directory += QLatin1Char('/');
        if (directory.size() < 2)
            directory += QLatin1Char('/');
    } else {
        directory = remotePath_;
        if (transferDriver_)
            transferDriver_->setStatus(tr("Checking For Destination Directory"));
    }
    const qsizetype last = directory.lastIndexOf(QLatin1Char('/'));
    pathPos_ = last;
    if (last > 0) {
        checkingDestination_ = true;
        sendCommand(QStringLiteral("CWD ") + directory.left(last));
        setState(AwaitDestCwdReply);
        return;
    }
    handleDestCwdReply(250, QString());
}

void Connection::handleDestCwdReply(int code, const QString &line)
{
    if (listing_) {
        if (code == 250) {
            typeStep();
            return;
        }
        if (replyFailed(line, tr("Error Retrieving List")))
            endListing();
        return;
    }
    const qsizetype last = remotePath_.lastIndexOf(QLatin1Char('/'));
    if (code == 250 || code == 257) {
        if (pathPos_ == last) {
            typeStep();
            return;
        }
        // Enter the parent of the next missing level, then create it.
        checkingDestination_ = false;
        pathPos_ = remotePath_.indexOf(QLatin1Char('/'), pathPos_ + 1);
        const qsizetype parentEnd = lastSeparatorBefore(remotePath_, pathPos_);
        sendCommand(QStringLiteral("CWD ") + (parentEnd > 0 ? remotePath_.left(parentEnd) : QStringLiteral("/")));
        setState(AwaitWalkMkdReply);
        return;
    }
    if (checkingDestination_) {
        if (pathPos_ <= 0) {
            // Not even the root could be entered: there is nowhere to climb to.
            if (replyFailed(line, tr("Error Changing Directory")))
                fileFailed(line.mid(4), QString());
            return;
        }
        const qsizetype up = remotePath_.lastIndexOf(QLatin1Char('/'), pathPos_ - 1);
        pathPos_ = up > 0 ? up : 0;
        sendCommand(QStringLiteral("CWD ") + (pathPos_ > 0 ? remotePath_.left(pathPos_) : QStringLiteral("/")));
        return;
    }
    if (!replyFailed(line, tr("Error Creating Directory")))
        return;
    pathPos_ = last;
    fileFailed(line.mid(4), QString());
}

void Connection::handleWalkMkdReply(int code, const QString &)
{
    if (code == 250) {
        const qsizetype previous = lastSeparatorBefore(remotePath_, pathPos_);
        sendCommand(QStringLiteral("MKD ") + remotePath_.mid(previous + 1, pathPos_ - previous - 1));
        setState(AwaitDestCwdReply);
        return;
    }
    if (failed(tr("Couldn't Change Directory"), tr("Error Creating Directory")))
        fileFailed(tr("Couldn't Change Directory"), QString());
}

void Connection::typeStep()
{
    const bool image = !listing_ && binary_;
    if (!listing_ && transferDriver_)
        transferDriver_->setStatus(image ? tr("Setting Type Binary") : tr("Setting Type ASCII"));
    sendCommand(image ? QStringLiteral("TYPE I") : QStringLiteral("TYPE A"));
    setState(AwaitTypeReply);
}

void Connection::handleTypeReply(int code, const QString &line)
{
    if (code == 200) {
        if (listing_) {
            finalReplied_ = false; // dataDone_ is the data connection's own: it may have ended already
            sendCommand(machineListing_ ? QStringLiteral("MLSD") : QStringLiteral("LIST"));
            setState(AwaitTransferStart);
            return;
        }
        sendCommand(QStringLiteral("CWD ") + directoryOf(remotePath_));
        setState(AwaitFileCwdReply);
        return;
    }
    if (replyFailed(line, tr("Error Setting Transfer Type")))
        itemFailed(line.mid(4));
}

void Connection::handleFileCwdReply(int code, const QString &line)
{
    if (code == 250) {
        if (restartOffset_ == 0) {
            sendTransferCommand();
            return;
        }
        sendCommand(QStringLiteral("REST %1").arg(restartOffset_));
        setDriverStatus(tr("Setting Restart Position"));
        setState(AwaitRestReply);
        return;
    }
    if (replyFailed(line, tr("Error Changing Directory")))
        itemFailed(line.mid(4));
}

void Connection::handleRestReply(int code, const QString &)
{
    if (code != 350) {
        if (!failed(tr("Host Disallowed Restart, \nStarting From Beginning"), tr("Restart Error")))
            return;
        restartOffset_ = 0; // the local file is written again from its start
        file_.size += file_.restartOffset;
        file_.restartOffset = 0;
    }
    sendTransferCommand();
}

void Connection::sendTransferCommand()
{
    const qsizetype last = remotePath_.lastIndexOf(QLatin1Char('/'));
    const QString name = remotePath_.mid(last + 1);
    QString command;
    if (retrieve_)
        command = QStringLiteral("RETR ") + name;
    else
        command = (pool_->storeUnique() ? QStringLiteral("STOU ") : QStringLiteral("STOR ")) + name;
    if (hostToHost_)
        dataDone_ = true; // a host-to-host side moves no data through this client
    finalReplied_ = false;
    sendCommand(command);
    setState(AwaitTransferStart);
    if (!retrieve_)
        invalidateListing(remotePath_.left(last + 1));
    setDriverStatus(tr("Sending File Request"));
    if (transferDriver_)
        transferDriver_->RequestSent();
    if (hostToHost_ && !retrieve_ && hostToHostDriver_)
        hostToHostDriver_->StoreSent();
}

// ---------------------------------------------------------------------------------------------
// Transfer start and end

void Connection::handleTransferStart(int code, const QString &line)
{
    // 125 ("data connection already open") starts a transfer as 150 does.
    if (code == 150 || code == 125) {
        // "150 Opening BINARY mode data connection for big.bin (100000 bytes)."
        static const QRegularExpression announced(QStringLiteral("\\((\\d{1,18}) bytes\\)"));
        const QRegularExpressionMatch match = announced.match(line);
        announcedSize_ = match.hasMatch() ? match.captured(1).toLongLong() : -1;
        setState(Transferring);
        if (!listing_)
            setDriverStatus(tr("Transferring File"));
        if (transfer_)
            transfer_->start(restartOffset_); // a file that cannot be opened ends the data connection at once
        else if (listing_ && delivery_)
            delivery_->start(); // the panes empty their list and the cache file begins
        if (hostToHost_ && hostToHostDriver_)
            hostToHostDriver_->TransferStarted();
        return;
    }
    if (listing_) {
        if (machineListing_ && code >= 500 && code <= 504) {
            // The host offered MLST but does not list that way: LIST from now on.
            mlsdRefused_ = true;
            machineListing_ = false;
            QString why;
            if (!beginDataStep(&why) && alive())
                endListing();
            return;
        }
        if (replyFailed(line, tr("Error Retrieving Listing")))
            endListing();
        return;
    }
    setState(Transferring);
    if (hostToHost_) {
        setDriverStatus(code == 553 ? tr("Permission Denied") : tr("Could Not Transfer File"));
        if (replyFailed(line, tr("Error Transferring File")))
            abortHostToHost(line.mid(4));
        return;
    }
    if (transferDriver_)
        transferDriver_->setStatus(code == 553 ? tr("Permission Denied") : tr("Could Not Transfer File"));
    if (replyFailed(line, tr("Error Transferring File")))
        fileFailed(line.mid(4), QString());
}

void Connection::handleTransferring(int code, const QString &line)
{
    const bool hostOk = code == 226 || code == 250;
    if (hostToHost_) {
        if (!hostOk) {
            setDriverStatus(tr("Could Not Transfer File"));
            if (replyFailed(line, tr("Error Transferring File")))
                abortHostToHost(line.mid(4));
            return;
        }
        HostToHostDriver *driver = std::exchange(hostToHostDriver_, nullptr);
        hostToHost_ = false;
        QPointer<Connection> self(this);
        if (driver)
            driver->TransferComplete();
        if (self && alive() && state_ == Transferring)
            TakeNextCommand();
        return;
    }
    finalReplied_ = true;
    finalCode_ = code;
    finalLine_ = line;
    if (!dataDone_ && hostOk && !transfer_ && !listTransfer_) {
        // The host says it is done but never connected. A connection already waiting to be
        // accepted is taken on this turn of the event loop; after that there will be none.
        QTimer::singleShot(0, this, [this] {
            if (state_ == Transferring && finalReplied_ && !dataDone_ && !transfer_ && !listTransfer_) {
                dataDone_ = true;
                tryFinishData();
            }
        });
        return;
    }
    if (!dataDone_ && !hostOk) {
        // The host gave up on the transfer: so do we.
        if (transfer_)
            transfer_->abort();
        else if (listTransfer_)
            listTransfer_->abort();
        else
            dataDone_ = true;
    }
    tryFinishData();
}

// Why a file whose data connection and final reply are both in did not arrive whole.
QString Connection::transferFailure(bool hostOk) const
{
    if (transfer_ && !transfer_->errorText().isEmpty())
        return transfer_->errorText();
    if (!hostOk)
        return finalLine_.mid(4);
    if (!transfer_)
        return tr("The host reported the file as sent, but never opened a data connection.");
    if (dataEndedEarly_)
        return withHost(tr("The host closed the data connection before the transfer began"));
    return withHost(tr("The data connection was reset"));
}

void Connection::tryFinishData()
{
    if (state_ != Transferring || !dataDone_ || !finalReplied_)
        return;
    finalReplied_ = false;
    const bool hostOk = finalCode_ == 226 || finalCode_ == 250;
    if (listing_) {
        const bool complete = hostOk && listTransfer_ && listTransfer_->closedNormally() && !dataEndedEarly_;
        if (complete && machineListing_ && listTransfer_->entryCount() == 0 && listTransfer_->lineCount() > 0) {
            // Lines came, none of them facts: the host answers MLSD in some other form. The
            // listing is not taken for an empty folder, and the host is listed with LIST from now on.
            mlsdRefused_ = true;
            finishListing(false, tr("The host's answer to MLSD could not be read; list the folder again."));
            return;
        }
        finishListing(complete, hostOk ? QString() : finalLine_.mid(4));
        return;
    }
    bool complete = hostOk && transfer_ && transfer_->allMoved() && !dataEndedEarly_;
    QString shortfall;
    if (complete && retrieve_ && binary_ && announcedSize_ >= 0) {
        // A host that announced the size and then sent less did not send the file, whatever its
        // final reply says. A resumed download may announce what is left or the whole file: it is
        // whole when it moved either.
        const qint64 moved = transfer_->bytesMoved();
        const bool whole = moved >= announcedSize_ || (restartOffset_ > 0 && moved == announcedSize_ - restartOffset_);
        if (!whole) {
            complete = false;
            shortfall = tr("Transfer incomplete: %1 of %2 bytes").arg(moved).arg(announcedSize_);
        }
    }
    if (complete) {
        if (transferDriver_)
            transferDriver_->fileEnded(true, QString());
        dropDataObjects();
        NextFileOfBatch();
        return;
    }
    const QString reason = !shortfall.isEmpty() ? shortfall : transferFailure(hostOk);
    if (transferDriver_)
        transferDriver_->setStatus(tr("Could Not Transfer File"));
    fileFailed(reason, tr("Error Transferring File"));
}

// A file of the batch failed: show the box (when a caption is given), keep any partial local
// file for a resume and go on with the next file.
void Connection::fileFailed(const QString &text, const QString &caption)
{
    if (!caption.isEmpty() && !failed(text, caption))
        return;
    if (hostToHost_) {
        abortHostToHost(text); // the copy hears of it and goes on with its next line
        return;
    }
    dropDataObjects();
    if (transferDriver_)
        transferDriver_->fileEnded(false, text);
    NextFileOfBatch();
}

void Connection::finishListing(bool complete, const QString &failure)
{
    if (delivery_)
        delivery_->end(complete);
    dropDataObjects();
    if (!complete && !failure.isEmpty() && !failed(failure, tr("Error Retrieving Listing")))
        return;
    endListing(complete);
}

void Connection::endListing(bool complete)
{
    // The status line said the listing was asked for; now it says how it ended.
    const QString directory = delivery_ ? delivery_->directory() : argument_.chopped(1);
    showStatus(complete ? tr("Finished Retrieving List.")
                        : tr("List of %1 on %2 failed").arg(directory, hostName()));
    dropDataObjects();
    if (delivery_)
        delivery_->end(false);
    delivery_.reset();
    listing_ = false;
    if (ListingJob *job = std::exchange(listJob_, nullptr)) {
        QPointer<Connection> self(this);
        job->Next();
        if (!self || !alive())
            return;
    }
    TakeNextCommand();
}

// ---------------------------------------------------------------------------------------------
// The batch

void Connection::NextFileOfBatch()
{
    if (listing_) {
        endListing();
        return;
    }
    if (!transferDriver_) {
        TakeNextCommand();
        return;
    }
    if (startNextFile())
        return;
    if (!alive())
        return;
    transferActive_ = false;
    dropDataObjects();
    TransferDriver *driver = std::exchange(transferDriver_, nullptr);
    QPointer<Connection> self(this);
    driver->operationEnded();
    if (self && alive())
        TakeNextCommand();
}

// Takes files from the batch until one gets as far as PORT; false when none is left.
bool Connection::startNextFile()
{
    for (;;) {
        TransferFile file;
        if (!transferDriver_->NextFile(file))
            return false;
        if (file.remotePath.contains(QLatin1Char('\r')) || file.remotePath.contains(QLatin1Char('\n'))
            || !file.remotePath.startsWith(QLatin1Char('/'))) {
            transferDriver_->fileEnded(false, tr("The remote path %1 cannot be sent to the host.").arg(file.remotePath));
            continue;
        }
        file_ = file;
        remotePath_ = file.remotePath;
        retrieve_ = file.retrieve;
        binary_ = file.binary;
        restartOffset_ = file.retrieve ? file.restartOffset : 0;
        listing_ = false;
        hostToHost_ = false;
        QString why;
        if (!beginDataStep(&why)) {
            if (!alive() || !transferDriver_)
                return true;
            transferDriver_->fileEnded(false, why);
            continue;
        }
        return true;
    }
}

void Connection::abortHostToHost(const QString &reason)
{
    HostToHostDriver *driver = std::exchange(hostToHostDriver_, nullptr);
    hostToHost_ = false;
    QPointer<Connection> self(this);
    if (driver)
        driver->Abort(reason); // the copy resets both sides from the event loop, then goes on
    if (self && alive() && state_ != Connecting)
        TakeNextCommand();
}
