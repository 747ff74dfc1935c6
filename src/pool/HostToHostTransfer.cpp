#include "pool/HostToHostTransfer.h"

#include "ftp/Connection.h"
#include "pool/ConnectionManager.h"

#include <QTimer>

HostToHostTransfer::HostToHostTransfer(ConnectionManager &pool, const QString &sourceHost,
                                       const QString &destinationHost, bool background, QObject *parent)
    : QObject(parent)
    , pool_(pool)
    , sourceHost_(sourceHost)
    , destinationHost_(destinationHost)
    , background_(background)
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
    // A side that closed (host gone, login refused) is replaced by a fresh connection.
    for (QPointer<Connection> *side : {&destination_, &source_})
        if (*side && (*side)->state() == Connection::Closed)
            *side = nullptr;
    if (destination_ && source_)
        return true;
    destination_ = pool_.connection(ConnectionManager::Persistent,
                                    pool_.GetConnection(destinationHost_, ConnectionManager::Persistent));
    source_ = pool_.connection(ConnectionManager::Persistent,
                               pool_.GetConnection(sourceHost_, ConnectionManager::Persistent));
    for (Connection *side : {destination_.data(), source_.data()}) {
        if (side)
            connect(side, &Connection::stateChanged, this, &HostToHostTransfer::sideChanged, Qt::UniqueConnection);
    }
    return destination_ && source_;
}

// A side that closes in the middle of a line can never report it: the line has failed.
void HostToHostTransfer::sideChanged(Connection::State state)
{
    if (state != Connection::Closed || !lineActive_)
        return;
    auto *side = qobject_cast<Connection *>(sender());
    setStatus(tr("Could Not Transfer File"));
    lineDone(false, tr("The connection to %1 was closed.").arg(side == source_ ? sourceHost_ : destinationHost_));
}

void HostToHostTransfer::takeNextLine()
{
    if (lines_.isEmpty() || !getConnections()) {
        finished_ = true;
        failed_ += int(lines_.size());
        lines_.clear();
        emit changed();
        emit ended();
        return;
    }
    current_ = lines_.takeFirst();
    currentFile_ = current_.sourcePath.mid(current_.sourcePath.lastIndexOf(QLatin1Char('/')) + 1);
    lineActive_ = true;
    sidesComplete_ = 0;
    sidesStarted_ = 0;
    busyHost_ = destinationHost_;
    emit changed();
    destination_->HostPassiveStore(current_.destinationPath, current_.binary, this);
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
        source_->HostActiveRetrieve(current_.sourcePath, current_.binary, passiveAddress_, this);
}

void HostToHostTransfer::TransferStarted()
{
    if (!background_ || ++sidesStarted_ < 2)
        return;
    // Background: the hosts move the data on their own; this record goes on at once.
    lineDone(true, QString());
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

void HostToHostTransfer::lineDone(bool complete, const QString &reason)
{
    lineActive_ = false;
    if (complete) {
        ++completed_;
    } else {
        ++failed_;
        failures_ << current_.sourcePath + QLatin1String(": ") + reason;
    }
    if (!complete || background_)
        detachAndReconnect();
    emit changed();
    // The connections are inside their reply handlers: start the next line from the event loop.
    QTimer::singleShot(0, this, &HostToHostTransfer::takeNextLine);
}

void HostToHostTransfer::detachAndReconnect()
{
    for (Connection *connection : {source_.data(), destination_.data()})
        if (connection)
            connection->Reconnect();
}
