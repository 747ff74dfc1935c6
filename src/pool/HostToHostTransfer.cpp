#include "pool/HostToHostTransfer.h"

#include "ftp/Connection.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"

#include <QTimer>

HostToHostTransfer::HostToHostTransfer(ConnectionManager &pool, const QString &sourceHost,
                                       const QString &destinationHost, bool background, QObject *parent)
    : QObject(parent)
    , pool_(pool)
    , sourceHost_(sourceHost)
    , destinationHost_(destinationHost)
    , background_(background)
    , status_(tr("Waiting for Connection to Become Available"))
    , busyHost_(destinationHost)
{
}

void HostToHostTransfer::insertLine(const Line &line)
{
    lines_.prepend(line);
    emit changed();
}

bool HostToHostTransfer::getConnections()
{
    const auto open = [this](QPointer<Connection> &side, const QString &host) {
        if (!side) {
            side = pool_.connectionFor(host, ConnectionManager::Persistent);
            if (side)
                connect(side, &Connection::stateChanged, this, &HostToHostTransfer::sideChanged);
        }
        return side && side->state() != Connection::Closed;
    };
    const bool destination = open(destination_, destinationHost_);
    return open(source_, sourceHost_) && destination;
}

// A side that closes (host gone, login refused, connection lost) ends the copy.
void HostToHostTransfer::sideChanged(Connection::State state)
{
    if (finished_)
        return;
    if (state != Connection::Closed) {
        if (waitingForSessions_ && source_ && destination_ && source_->sessionReady() && destination_->sessionReady()) {
            waitingForSessions_ = false;
            // Not from inside the side's own state change.
            QTimer::singleShot(0, this, &HostToHostTransfer::takeNextLine);
        }
        return;
    }
    auto *side = qobject_cast<Connection *>(sender());
    ConnectionLost(tr("The connection to %1 was closed.").arg(side == source_ ? sourceHost_ : destinationHost_));
}

void HostToHostTransfer::takeNextLine()
{
    if (finished_)
        return;
    if (lines_.isEmpty() || !getConnections()) {
        finish();
        return;
    }
    if (!source_->sessionReady() || !destination_->sessionReady()) {
        waitingForSessions_ = true; // sideChanged comes back here
        return;
    }
    QString reason;
    if (!planEncryption(&reason)) {
        refuse(reason);
        return;
    }
    current_ = lines_.takeFirst();
    currentFile_ = current_.sourcePath.mid(current_.sourcePath.lastIndexOf(QLatin1Char('/')) + 1);
    lineActive_ = true;
    sidesComplete_ = 0;
    busyHost_ = destinationHost_;
    emit changed();
    destination_->HostPassiveStore(current_.destinationPath, current_.binary, this, destinationRole_);
}

void HostToHostTransfer::setStatus(const QString &text)
{
    status_ = text;
    emit changed();
}

void HostToHostTransfer::PassiveAddress(const QString &portText)
{
    passiveAddress_ = portText;
}

// The source is told to send only once the destination has asked to store: before that the
// destination may still be walking or creating its directories, and a host that receives data
// it has no command for drops it.
void HostToHostTransfer::StoreSent()
{
    busyHost_ = sourceHost_;
    emit changed();
    if (source_ && lineActive_)
        source_->HostActiveRetrieve(current_.sourcePath, current_.binary, passiveAddress_, this, sourceRole_);
}

// Nothing to do yet: both modes hold both sides until the file is done, since a host whose
// control connection goes while its data moves gives up the copy and the file is cut short.
void HostToHostTransfer::TransferStarted()
{
}

void HostToHostTransfer::TransferComplete()
{
    if (!lineActive_ || ++sidesComplete_ < 2)
        return;
    lineDone(true, QString());
}

void HostToHostTransfer::Abort(const QString &reason)
{
    if (!lineActive_)
        return;
    setStatus(tr("Could Not Transfer File"));
    lineDone(false, reason);
}

void HostToHostTransfer::ConnectionLost(const QString &reason)
{
    if (finished_)
        return;
    if (lineActive_) {
        setStatus(tr("Could Not Transfer File"));
        lineDone(false, reason);
    }
    // What was not copied is listed, and the copy says why it stopped: once the event loop is
    // back, since a box runs an event loop of its own in which this copy may end and be deleted,
    // and never while the pool is going (a connection destroyed at exit ends its copy too).
    for (const Line &line : std::as_const(lines_))
        failures_ << line.sourcePath + QLatin1String(": ") + reason;
    finish();
    ConnectionManager *pool = &pool_;
    QTimer::singleShot(0, pool, [pool, reason] {
        pool->prompt().message(reason, tr("Host to Host Copy Stopped"), Prompt::Icon::Warning);
    });
}

bool HostToHostTransfer::planEncryption(QString *reason)
{
    sourceRole_ = destinationRole_ = Connection::PlainData;
    const bool sourceTls = source_->protectsData(), destinationTls = destination_->protectsData();
    if (!sourceTls && !destinationTls)
        return true;
    if (sourceTls != destinationTls) {
        *reason = tr("%1 encrypts its data connections and %2 does not, so the data between them cannot "
                     "be encrypted. The copy was refused rather than send the files in clear.")
                      .arg(sourceTls ? sourceHost_ : destinationHost_, sourceTls ? destinationHost_ : sourceHost_);
        return false;
    }
    // Both hosts answer data connections as TLS servers unless one of them is told to connect
    // as the client: the destination through CPSV or SSCN, else the source through SSCN.
    const HostFeatures &destination = destination_->features();
    if (destination.cpsv || destination.sscn) {
        destinationRole_ = Connection::DataTlsClient;
        sourceRole_ = Connection::DataTlsServer;
        return true;
    }
    if (source_->features().sscn) {
        sourceRole_ = Connection::DataTlsClient;
        destinationRole_ = Connection::DataTlsServer;
        return true;
    }
    *reason = tr("Both %1 and %2 encrypt their data connections, and neither offers SSCN or CPSV, which a "
                 "copy between two encrypted hosts needs (one host must connect to the other as the TLS "
                 "client). The copy was refused rather than send the files in clear.")
                  .arg(sourceHost_, destinationHost_);
    return false;
}

void HostToHostTransfer::refuse(const QString &reason)
{
    for (const Line &line : std::as_const(lines_))
        failures_ << line.sourcePath + QLatin1String(": ") + reason;
    setStatus(tr("Could Not Transfer File"));
    finish();
    ConnectionManager *pool = &pool_;
    QTimer::singleShot(0, pool, [pool, reason] {
        pool->prompt().message(reason, tr("Host to Host Copy Refused"), Prompt::Icon::Warning);
    });
}

void HostToHostTransfer::finish()
{
    if (finished_)
        return;
    finished_ = true;
    lineActive_ = false;
    failed_ += int(lines_.size());
    lines_.clear();
    emit changed();
    emit ended();
}

void HostToHostTransfer::lineDone(bool complete, const QString &reason)
{
    lineActive_ = false;
    if (complete) {
        ++completed_;
    } else {
        ++failed_;
        failures_ << current_.sourcePath + QLatin1String(": ") + reason;
    }
    resetSides_ = resetSides_ || !complete;
    emit changed();
    // The connections are inside their reply handlers (or being destroyed): the sides are reset
    // and the next line starts from the event loop.
    QTimer::singleShot(0, this, &HostToHostTransfer::goOn);
}

void HostToHostTransfer::goOn()
{
    if (finished_)
        return;
    if (std::exchange(resetSides_, false)) {
        for (Connection *connection : {source_.data(), destination_.data()})
            if (connection && connection->state() != Connection::Closed)
                connection->Reconnect();
    }
    takeNextLine();
}
