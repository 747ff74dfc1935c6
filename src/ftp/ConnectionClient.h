#pragma once

#include <QList>
#include <QPointer>

class Connection;
class QObject;

// Something a connection works for: an operation record or a listing job. A connection that
// takes one on (queued or running) registers itself with it; when the client goes first, every
// connection that still holds it is told to forget it, so that no connection is ever left with a
// pointer to an object that is gone (a command's record on its caller's stack, a closed window).
class ConnectionClient
{
public:
    ConnectionClient() = default;
    // The connections that hold a client hold it by its address: a copy is held by none, and an
    // assignment keeps the ones that hold the object assigned to.
    ConnectionClient(const ConnectionClient &) {}
    ConnectionClient &operator=(const ConnectionClient &) { return *this; }
    virtual ~ConnectionClient();

private:
    friend class Connection;
    void attach(Connection *connection);

    QList<QPointer<QObject>> connections_;
};
