#pragma once

#include "platform/Prompt.h"

#include <QPointer>
#include <QString>

class ConnectionOwner;
class Connection;
class OperationDriver;

// One command sequence on a control connection (create a directory, rename, delete, ...). The
// connection starts it when its turn comes and hands it every final reply while it runs; the
// operation keeps its own steps and fields and answers each reply with an outcome.
//
// The connection holds the running operation and so does the call under way, so an operation is
// never freed while one of its own calls runs. A box may outlive the connection or end the
// operation: after a false from failed() or replyFailed() an operation returns Gone at once and
// touches nothing. When the record goes first, the connection drops the operation.
class ConnectionOperation
{
public:
    enum class Outcome {
        GoOn,   // a command was sent: the next final reply comes here
        Done,   // the sequence is over and its record was told how it went
        Failed, // the sequence failed and its record was told why
        Gone,   // the connection or this operation was let go meanwhile: nothing more happens
    };

    explicit ConnectionOperation(Connection *connection);
    virtual ~ConnectionOperation() = default;
    ConnectionOperation(const ConnectionOperation &) = delete;
    ConnectionOperation &operator=(const ConnectionOperation &) = delete;

    virtual Outcome start() = 0;
    virtual Outcome handleReply(int code, const QString &line) = 0;
    // The record still to be told operationEnded() when the sequence ends; null once told.
    virtual OperationDriver *driver() const = 0;
    // The connection is lost or closed while this runs: the record is told, with the reason.
    virtual void abandon(const QString &reason) = 0;
    // Stray greetings and login replies (220, 230, 331) are dropped before they reach an
    // operation unless it answers to every reply.
    virtual bool takesEveryReply() const { return false; }

protected:
    // Sends one command line; false (nothing sent) when it holds a line break.
    bool send(const QString &command);
    // Sends text of one or more lines, each ending "\r\n", as it is.
    void sendLines(const QString &text);
    // Shows a failure box; true when the connection still exists and this operation still runs.
    bool failed(const QString &text, const QString &caption, Prompt::Icon icon = Prompt::Icon::Warning);
    // The same for a host's reply: the box shows it from its fifth character on.
    bool replyFailed(const QString &line, const QString &caption);
    // Shows a host's answer in a box with OK; true as for failed().
    bool inform(const QString &text, const QString &caption);
    // The lines of a multi-line reply before its final line, each ending "\n".
    QString replyText() const;
    void clearReplyText();
    // The connection still exists and its owner still holds it.
    bool connectionAlive() const;
    QString hostName() const;
    ConnectionOwner &owner() const;
    void invalidateListing(const QString &directory);

private:
    bool running() const;

    QPointer<Connection> connection_;
};
