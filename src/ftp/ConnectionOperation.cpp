#include "ftp/ConnectionOperation.h"

#include "ftp/Connection.h"
#include "ftp/ConnectionOwner.h"
#include "ftp/RemoteName.h"

ConnectionOperation::ConnectionOperation(Connection *connection)
    : connection_(connection)
{
}

bool ConnectionOperation::send(const QString &command)
{
    return connection_ && connection_->sendCommand(command);
}

void ConnectionOperation::sendLines(const QString &text)
{
    if (connection_)
        connection_->sendRaw(encodeRemoteName(text), text);
}

bool ConnectionOperation::inform(const QString &text, const QString &caption)
{
    return connection_ && connection_->informed(text, caption) && running();
}

QString ConnectionOperation::replyText() const
{
    return connection_ ? connection_->replyText_ : QString();
}

void ConnectionOperation::clearReplyText()
{
    if (connection_)
        connection_->replyText_.clear();
}

bool ConnectionOperation::failed(const QString &text, const QString &caption, Prompt::Icon icon)
{
    // The connection's answer is read first: when it is gone, so may this operation be.
    return connection_ && connection_->failed(text, caption, icon) && running();
}

bool ConnectionOperation::replyFailed(const QString &line, const QString &caption)
{
    return failed(line.mid(4), caption);
}

bool ConnectionOperation::connectionAlive() const
{
    return connection_ && connection_->alive();
}

QString ConnectionOperation::hostName() const
{
    return connection_->hostName();
}

ConnectionOwner &ConnectionOperation::owner() const
{
    return *connection_->pool_;
}

void ConnectionOperation::invalidateListing(const QString &directory)
{
    connection_->invalidateListing(directory);
}

bool ConnectionOperation::running() const
{
    return connection_ && connection_->operation_.get() == this;
}
