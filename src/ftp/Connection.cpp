#include "ftp/Connection.h"

#include "ftp/AddressFinder.h"
#include "ftp/ListingDelivery.h"
#include "ftp/ListingJob.h"
#include "ftp/RemoteName.h"
#include "ftp/SessionMonitor.h"
#include "settings/LeadingInteger.h"
#include "platform/Prompt.h"
#include "platform/SocketClose.h"
#include "platform/StatusLine.h"
#include "ftp/ConnectionOwner.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace {
// A multi-line reply is kept whole for the message boxes; past this it is not a reply but a flood.
constexpr qsizetype MaxReplyText = 1024 * 1024;
const QString LineEnd = QStringLiteral("\r\n");
} // namespace

Connection::Connection(const QString &portText, const QString &host, const QString &userName,
                       const QString &password, unsigned hostIndex, ConnectionOwner *pool, int hostType,
                       int hostDataMode, int encryption)
    : pool_(pool)
    , hostType_(hostType > WindowsHost || hostType < 0 ? 0 : hostType)
    , hostIndex_(hostIndex)
    , userName_(userName)
    , password_(password)
    , address_(host)
    , hostDataMode_(hostDataMode == 1 || hostDataMode == 2 ? hostDataMode : 0)
    , encryption_(encryption >= 0 && encryption <= 3 ? Encryption(encryption) : Encryption::None)
{
    commands_.reserve(50);
    watchdog_ = new QTimer(this);
    watchdog_->setSingleShot(true);
    connect(watchdog_, &QTimer::timeout, this, &Connection::watchdogExpired);
    activity_.start();
    armWatchdog(); // the name lookup and the first connect are waits too
    const int port = LeadingInteger(portText);
    peerPort_ = port > 0 && port <= 65535 ? quint16(port) : 21;

    keepAlive_ = new QTimer(this);
    keepAlive_->setSingleShot(true);
    connect(keepAlive_, &QTimer::timeout, this, &Connection::keepAliveDue);

    // An address typed as such (IPv4, or IPv6 with or without brackets) needs no lookup.
    QHostAddress literal;
    if (literal.setAddress(hostAddressText(host))) {
        addresses_ = {literal};
        peerAddress_ = literal;
        startConnect();
        return;
    }
    addressFinder_ = new AddressFinder(host, this);
    connect(addressFinder_, &AddressFinder::finished, this, &Connection::addressesFound);
}

Connection::~Connection()
{
    destroying_ = true;
    CloseAttachedWindows();
    // Whatever ran or waited here ends with the connection and is told so. The job whose listing
    // was under way is given up, as queued ones are: closing a connection must not let its walk
    // carry on over a new one.
    const QString text = withHost(tr("The connection was closed"));
    failRunningOperation(text);
    endQueue(true, text);
    delete addressFinder_;
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
    }
}

void Connection::setState(State state)
{
    if (state_ == state)
        return;
    state_ = state;
    armWatchdog();
    armKeepAlive();
    emit stateChanged(state);
}

// ---------------------------------------------------------------------------------------------
// Clients, losses and the timeout

void Connection::takeOn(OperationDriver *driver, ListingJob *job)
{
    if (driver)
        driver->attach(this);
    if (job)
        job->attach(this);
}

void Connection::forgetClient(ConnectionClient *client)
{
    const auto is = [client](ConnectionClient *held) { return held && held == client; };
    for (QList<CommandStruct *> *list : {&commands_, &ending_}) {
        list->removeIf([&](CommandStruct *command) {
            if (!is(command->job) && !is(command->listInfo))
                return false;
            delete command;
            return true;
        });
    }
    if (is(listJob_)) {
        // The listing itself still serves the panes and the cache.
        listJob_ = nullptr;
        if (delivery_)
            delivery_->forgetJob();
    }
    bool running = false;
    const auto drop = [&](auto *&held) {
        if (is(held)) {
            held = nullptr;
            running = true;
        }
    };
    drop(transferDriver_);
    drop(hostToHostDriver_);
    if (operation_ && is(operation_->driver())) {
        operation_.reset();
        running = true;
    }
    if (!running || destroying_ || state_ == Closed || state_ == Idle)
        return;
    // The host is in the middle of a command sequence nobody wants any more: forget what it
    // answers and start a fresh session for the rest of the queue, from the event loop, since
    // the record may be going from inside one of this connection's own calls.
    orphaned_ = true;
    dropDataObjects();
    hostToHost_ = false;
    transferActive_ = false;
    QTimer::singleShot(0, this, [this] {
        if (orphaned_)
            restartSession();
    });
}

void Connection::restartSession()
{
    orphaned_ = false;
    dropDataObjects();
    hostToHost_ = listing_ = transferActive_ = false;
    delivery_.reset();
    if (state_ == Closed)
        return;
    dropSocket(false);
    if (peerAddress_.isNull()) {
        setState(Closed);
        return;
    }
    startConnect();
}

void Connection::dropSocket(bool orderly)
{
    if (!socket_)
        return;
    socket_->disconnect(this);
    if (orderly)
        socket_->disconnectFromHost();
    else
        abortiveClose(socket_);
    socket_->deleteLater();
    socket_ = nullptr;
}

QString Connection::withHost(const QString &text) const
{
    return tr("%1 (%2)").arg(text, hostName());
}

void Connection::connectionLost(const QString &text, const QString &caption)
{
    if (state_ == Closed)
        return;
    if (state_ == AwaitNoopReply && !commands_.isEmpty() && !peerAddress_.isNull()) {
        // The keep-alive found the session gone while work waited for its answer: that work gets
        // a fresh session rather than the blame.
        showStatus(text);
        restartSession();
        return;
    }
    const State was = state_;
    dropSocket(false);
    dropDataObjects();
    orphaned_ = false;
    setState(Closed); // nothing new starts here while the box shows
    if (was == Idle || was == AwaitNoopReply) {
        // Nothing was asked of the host (hosts drop idle sessions): no box, the next request
        // gets a fresh connection.
        showStatus(text);
        return;
    }
    QPointer<Connection> self(this);
    pool_->prompt().message(text, caption.isEmpty() ? tr("Connection Lost") : caption, Prompt::Icon::Warning);
    if (!self)
        return;
    failRunningOperation(text);
    if (self)
        endQueue(true, text);
}

void Connection::failRunningOperation(const QString &text)
{
    QPointer<Connection> self(this);
    dropDataObjects();
    transferActive_ = false;
    hostToHost_ = false;
    cacheFileNumber_ = -1;
    discardListing();
    if (!self)
        return;
    // Only one of these runs at a time; each is let go before it is called, and the connection
    // may be gone once a record has been told.
    if (TransferDriver *driver = std::exchange(transferDriver_, nullptr)) {
        driver->fileEnded(false, text);
        driver->operationEnded();
    } else if (std::shared_ptr<ConnectionOperation> operation = std::exchange(operation_, nullptr)) {
        operation->abandon(text);
    } else if (HostToHostDriver *driver = std::exchange(hostToHostDriver_, nullptr)) {
        driver->ConnectionLost(text);
    }
}

void Connection::discardListing()
{
    listing_ = false;
    if (std::unique_ptr<ListingDelivery> delivery = std::move(delivery_))
        delivery->end(false);
    if (ListingJob *job = std::exchange(listJob_, nullptr))
        job->discard();
}

void Connection::armWatchdog()
{
    activity_.restart();
    const int seconds = pool_->timeoutSeconds();
    if (seconds <= 0 || state_ == Idle || state_ == Closed || orphaned_) {
        watchdog_->stop();
        return;
    }
    if (!watchdog_->isActive())
        watchdog_->start(seconds * 1000);
}

void Connection::watchdogExpired()
{
    const int seconds = pool_->timeoutSeconds();
    if (seconds <= 0 || state_ == Idle || state_ == Closed || orphaned_)
        return;
    // Every byte only notes the time; the timer itself is moved on here, once per period.
    const qint64 quiet = activity_.elapsed();
    if (quiet < seconds * 1000LL) {
        watchdog_->start(int(seconds * 1000LL - quiet));
        return;
    }
    if (state_ == Connecting) {
        // No address or no connection in time: the host is as unreachable as a refusing one.
        if (!addressFinder_ && tryNextAddress())
            return;
        delete addressFinder_;
        dropSocket(false);
        connectFailed(tr("Host is Unreachable"), tr("Connect Error"),
                      tr("Connection timed out (no answer for %1 s)").arg(seconds), true);
        return;
    }
    if (state_ == AwaitDataConnect && channel_) {
        // The host answered every command; only its data port is silent (a firewall, say). The
        // item fails and the control connection stays.
        channel_->giveUp(tr("no answer within %1 s").arg(seconds));
        return;
    }
    connectionLost(tr("Connection timed out: no answer from %1 for %2 s").arg(peerText()).arg(seconds));
}

bool Connection::alive() const
{
    return pool_ && pool_->IsPooled(this);
}

void Connection::showMessage(const QString &text, const QString &caption)
{
    pool_->prompt().message(text, caption, Prompt::Icon::Warning);
}

void Connection::showStatus(const QString &text)
{
    pool_->status().showStatus(text);
}

// ---------------------------------------------------------------------------------------------
// Connecting and login

void Connection::addressesFound(const QList<QHostAddress> &addresses)
{
    const QString reason = addressFinder_->errorString();
    addressFinder_->deleteLater();
    addressFinder_ = nullptr;
    if (addresses.isEmpty()) {
        setState(Closed);
        const QString text = tr("Host address could not be resolved: %1: %2").arg(peerText(), reason);
        // Shown after the queue has ended, so that no "failed" line of a queued listing hides why.
        ConnectionOwner *pool = pool_;
        endQueue(true, text);
        pool->status().showStatus(text);
        return;
    }
    showStatus(tr("Host Address Resolved."));
    addresses_ = addresses;
    addressIndex_ = 0;
    peerAddress_ = addresses_.first();
    startConnect();
}

bool Connection::tryNextAddress()
{
    if (addressIndex_ + 1 >= addresses_.size())
        return false;
    peerAddress_ = addresses_.at(++addressIndex_);
    showStatus(tr("Trying %1 at %2").arg(address_, peerAddress_.toString()));
    startConnect();
    return true;
}

void Connection::startConnect()
{
    setState(Connecting);
    armWatchdog(); // also when the state was Connecting already (the first connect)
    if (socket_) {
        socket_->disconnect(this);
        socket_->deleteLater();
    }
    reader_.clear();
    replyText_.clear();
    tlsActive_ = protectData_ = sessionReady_ = sscnOn_ = false;
    socket_ = new QSslSocket(this);
    if (encryption_ != Encryption::None) {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        // Kept so that data connections can resume the session.
        configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        socket_->setSslConfiguration(configuration);
        connect(socket_, &QSslSocket::encrypted, this, &Connection::decideTrust, Qt::QueuedConnection);
    }
    connect(socket_, &QTcpSocket::connected, this, &Connection::socketConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &Connection::readReplies);
    connect(socket_, &QTcpSocket::disconnected, this, &Connection::socketClosed);
    connect(socket_, &QTcpSocket::errorOccurred, this, &Connection::socketError);
    socket_->connectToHost(peerAddress_, peerPort_);
}

void Connection::socketConnected()
{
    if (encryption_ == Encryption::Implicit)
        startTls(); // TLS from the first byte; the greeting comes encrypted
    else
        setState(AwaitGreeting);
}

void Connection::socketError()
{
    const QAbstractSocket::SocketError error = socket_->error();
    if (state_ == AwaitHandshake && error != QAbstractSocket::RemoteHostClosedError) {
        loginFailed(tr("The encrypted connection to %1 could not be set up: %2").arg(peerText(), socket_->errorString()),
                    tr("Login Error"), true);
        return;
    }
    if (state_ != Connecting) {
        // An orderly close is reported by socketClosed; anything else is the connection lost.
        if (error != QAbstractSocket::RemoteHostClosedError)
            connectionLost(withHost(tr("The connection to the host was reset")));
        return;
    }
    const QString reason = socket_->errorString();
    if (error != QAbstractSocket::SocketResourceError && tryNextAddress())
        return;
    switch (error) {
    case QAbstractSocket::SocketResourceError:
        connectFailed(tr("Couldn't Create Socket"), tr("Error"), reason, true);
        break;
    case QAbstractSocket::NetworkError:
    case QAbstractSocket::SocketAccessError:
    case QAbstractSocket::UnsupportedSocketOperationError: {
        // Always a status line; the first of the run is a box too.
        ConnectionOwner *pool = pool_;
        const QString text = connectFailed(tr("Network is Unreachable"), tr("Error"), reason,
                                           pool->takeNetworkFailureReport());
        pool->status().showStatus(text);
        break;
    }
    default:
        connectFailed(tr("Host is Unreachable"), tr("Connect Error"), reason, true);
        break;
    }
}

QString Connection::connectFailed(const QString &what, const QString &caption, const QString &reason, bool box)
{
    setState(Closed);
    const QString text = tr("%1: %2: %3").arg(what, peerText(), reason);
    QPointer<Connection> self(this);
    if (box)
        showMessage(text, caption);
    if (self) // whatever waited for this connection is told it will not run
        endQueue(true, withHost(tr("The host could not be reached")));
    return text;
}

QString Connection::peerText() const
{
    const QString name = hostName();
    const QString where = tr("%1, port %2").arg(address_).arg(peerPort_);
    return name.isEmpty() || name == address_ ? where : tr("%1 (%2)").arg(name, where);
}

void Connection::socketClosed()
{
    if (state_ == Connecting || state_ == Closed)
        return; // a failed connect is reported by socketError
    // Lines that never made a whole reply: the host sent something that is not FTP.
    connectionLost(withHost(replyText_.isEmpty() && !reader_.holdsPartialLine()
                                ? tr("The host closed the connection")
                                : tr("The host's reply could not be read")));
}

// ---------------------------------------------------------------------------------------------
// Keep-alive

void Connection::armKeepAlive()
{
    const int seconds = pool_->keepAliveSeconds();
    if (seconds > 0 && state_ == Idle)
        keepAlive_->start(seconds * 1000);
    else
        keepAlive_->stop();
}

void Connection::keepAliveDue()
{
    if (state_ != Idle || !socket_)
        return;
    sendCommand(QStringLiteral("NOOP"));
    setState(AwaitNoopReply);
}

// ---------------------------------------------------------------------------------------------
// Replies

void Connection::readReplies()
{
    QPointer<Connection> self(this);
    if (!alive())
        return; // retired by the pool; it is deleted once the event loop is back
    if (state_ == AwaitHandshake)
        return; // nothing is read until the host's certificate is trusted
    noteActivity();
    while (socket_ && socket_->bytesAvailable() > 0) {
        reader_.append(socket_->read(255));
        while (std::optional<ReplyReader::Line> line = reader_.next()) {
            const QString text = QString::fromUtf8(line->text);
            if (monitor_)
                monitor_->ShowReceived(monitorLine(text, false));
            if (!line->final) {
                replyText_ += text;
                replyText_ += QLatin1Char('\n');
                if (replyText_.size() > MaxReplyText)
                    break;
                continue;
            }
            dispatchReply(line->code, text);
            if (!self || !alive())
                return;
            replyText_.clear();
            if (!socket_)
                return;
        }
        if (reader_.overflowed() || replyText_.size() > MaxReplyText) {
            connectionLost(tr("The host sent a reply too long to read (more than 64 KiB in one line or "
                              "1 MiB in one reply). The connection was closed."),
                           tr("Error"));
            return;
        }
    }
}

void Connection::dispatchReply(int code, const QString &line)
{
    if (orphaned_)
        return; // the answer to a sequence whose record is gone; a fresh session follows
    switch (state_) {
    case AwaitGreeting:
        handleGreeting(code);
        return;
    case AwaitAuthReply:
        handleAuthReply(code, line);
        return;
    case AwaitPbszReply:
        handlePbszReply(code, line);
        return;
    case AwaitProtReply:
        handleProtReply(code, line);
        return;
    case AwaitHandshake:
        return;
    case AwaitUserReply:
        handleUserReply(code);
        return;
    case AwaitPassReply:
        handlePassReply(code);
        return;
    case AwaitSystReply:
        handleSystReply(code, line);
        return;
    case AwaitFeatReply:
        handleFeatReply(code, line);
        return;
    case AwaitOptsReply:
    case AwaitNoopReply:
        TakeNextCommand();
        return;
    case AwaitDataConnect:
        return; // nothing was asked: whatever the host says now is not about this step
    case Idle:
    case Connecting:
    case Closed:
        return;
    case OperationRunning:
        runOperationReply(code, line);
        return;
    default:
        break;
    }
    if (isStrayReply(code))
        return;
    handleOperationReply(code, line);
}

bool Connection::isStrayReply(int code)
{
    // A file's 226 is not among them: it is what tells a complete file from a failed one.
    return code == 220 || code == 230 || code == 331;
}

void Connection::handleOperationReply(int code, const QString &line)
{
    switch (state_) {
    case AwaitPortReply: handlePortReply(code, line); break;
    case AwaitDestCwdReply: handleDestCwdReply(code, line); break;
    case AwaitWalkMkdReply: handleWalkMkdReply(code, line); break;
    case AwaitTypeReply: handleTypeReply(code, line); break;
    case AwaitFileCwdReply: handleFileCwdReply(code, line); break;
    case AwaitRestReply: handleRestReply(code, line); break;
    case AwaitTransferStart: handleTransferStart(code, line); break;
    case Transferring: handleTransferring(code, line); break;
    case AwaitPasvReply: handlePasvReply(code, line); break;
    case AwaitSscnReply: handleSscnReply(code, line); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// Commands and the queue

bool Connection::sendCommand(const QString &command)
{
    // A line break inside a command would let its argument smuggle in further commands.
    if (command.contains(QLatin1Char('\r')) || command.contains(QLatin1Char('\n')))
        return false;
    // Names listed by the host go back as the very bytes it sent.
    sendRaw(encodeRemoteName(command + LineEnd), command);
    return true;
}

void Connection::sendRaw(const QByteArray &bytes, const QString &shown)
{
    if (!socket_)
        return;
    socket_->write(bytes);
    if (!monitor_)
        return;
    for (const QString &line : shown.split(LineEnd, Qt::SkipEmptyParts))
        monitor_->ShowSent(monitorLine(line, true));
}

void Connection::queueCommand(std::unique_ptr<CommandStruct> command)
{
    takeOn(command->job, command->listInfo);
    if (state_ == Idle) {
        startCommand(*command);
        return;
    }
    commands_.append(command.release());
}

void Connection::CustomCommands(const QString &text)
{
    auto command = std::make_unique<CommandStruct>();
    command->type = CustomCommandsKind;
    command->text = text;
    queueCommand(std::move(command));
}

void Connection::TakeNextCommand()
{
    if (state_ == Closed)
        return; // closed while the last operation ended
    // The end of the login is not the end of work: the command a single-use connection was made
    // for is queued while it logs in.
    const bool loggingIn = state_ == AwaitSystReply || state_ == AwaitFeatReply || state_ == AwaitOptsReply;
    sessionReady_ = true;
    cacheFileNumber_ = -1;
    listJob_ = nullptr;
    hostToHostDriver_ = nullptr;
    transferDriver_ = nullptr;
    operation_.reset();
    if (!commands_.isEmpty()) {
        setState(Idle);
        std::unique_ptr<CommandStruct> command(commands_.takeLast());
        startCommand(*command);
        return;
    }
    if (closeWhenIdle_ && !loggingIn) {
        close();
        return;
    }
    setState(Idle);
}

void Connection::startCommand(const CommandStruct &command)
{
    if (std::shared_ptr<ConnectionOperation> operation = operationFor(command)) {
        startOperation(std::move(operation));
        return;
    }
    switch (command.type) {
    case ListDirKind: startListDir(command); return;
    case TransferFilesKind: startTransferFiles(dynamic_cast<TransferDriver *>(command.job)); return;
    case HostPassiveStoreKind: startPassiveStore(command); return;
    case HostActiveRetrieveKind: startActiveRetrieve(command); return;
    default: TakeNextCommand(); return;
    }
}

void Connection::ClearQueue()
{
    endQueue(false, withHost(tr("The queue was emptied")));
}

void Connection::endQueue(bool lost, const QString &text)
{
    // Detach first: giving up a record may lead its owner back here (to queue something new), or
    // destroy this connection or other records of the list (forgetClient takes those out).
    QPointer<Connection> self(this);
    ending_.append(std::exchange(commands_, {}));
    while (self && !ending_.isEmpty()) {
        std::unique_ptr<CommandStruct> command(ending_.takeFirst());
        if (command->type == ListDirKind && command->listInfo) {
            command->listInfo->discard();
        } else if (auto *copy = dynamic_cast<HostToHostDriver *>(command->job)) {
            if (lost)
                copy->ConnectionLost(text);
            else
                copy->Abort(text);
        } else if (command->job) {
            command->job->operationEnded();
        }
    }
}

void Connection::removeQueued(OperationDriver *driver)
{
    commands_.removeIf([driver](CommandStruct *command) {
        if (command->job != driver)
            return false;
        delete command;
        return true;
    });
}

void Connection::CloseAttachedWindows()
{
    if (SessionMonitor *monitor = std::exchange(monitor_, nullptr))
        monitor->monitorDetached();
}

void Connection::Reconnect()
{
    QPointer<Connection> self(this);
    dropSocket(false);
    dropDataObjects();
    // A listing or operation under way is told it ended; a host-to-host side is its copy's to
    // reset, which is what asks for this.
    if (listJob_)
        discardListing();
    else if (std::shared_ptr<ConnectionOperation> operation = std::exchange(operation_, nullptr))
        operation->abandon(withHost(tr("The connection was started again")));
    if (!self)
        return;
    ClearQueue();
    if (peerAddress_.isNull()) {
        setState(Closed);
        return;
    }
    startConnect();
}

void Connection::close()
{
    setState(Closed);
    CloseAttachedWindows();
    dropSocket(true);
}

void Connection::AbortTransfers()
{
    CloseAttachedWindows();
    if (TransferDriver *driver = std::exchange(transferDriver_, nullptr))
        driver->operationEnded();
    transferActive_ = false;
    dropDataObjects();
    pool_->RemoveConnection(this);
}

void Connection::SkipCurrentFile()
{
    if (!transfer_ || !transferDriver_)
        return;
    TransferDriver *driver = transferDriver_;
    driver->fileEnded(false, tr("Skipped"));
    dropDataObjects();
    if (driver->hasMoreFiles()) {
        // No ABOR is sent: the control connection is dropped and the batch resumes after login.
        transferDriver_ = nullptr;
        transferActive_ = false;
        Reconnect();
        TransferFiles(driver);
        return;
    }
    AbortTransfers();
}

// ---------------------------------------------------------------------------------------------

QString hostAddressText(const QString &address)
{
    const QString text = address.trimmed();
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        return text.mid(1, text.size() - 2);
    return text;
}

QString monitorLine(const QString &line, bool sent)
{
    QString shown = shownRemoteName(line.left(line.indexOf(LineEnd) < 0 ? line.size() : line.indexOf(LineEnd)));
    if (sent && shown.startsWith(QLatin1String("PASS "), Qt::CaseInsensitive)) {
        for (qsizetype i = 5; i < shown.size(); ++i)
            shown[i] = QLatin1Char('*');
    }
    QString out;
    out.reserve(shown.size());
    for (const QChar c : shown) {
        if (c == QLatin1Char('\t'))
            out += QLatin1String("   ");
        else if (c.unicode() < 32 || c.unicode() == 127 || !c.isPrint())
            out += QLatin1Char(' ');
        else
            out += c;
    }
    return out;
}
