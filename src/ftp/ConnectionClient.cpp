#include "ftp/ConnectionClient.h"

#include "ftp/Connection.h"

ConnectionClient::~ConnectionClient()
{
    for (const QPointer<QObject> &connection : std::exchange(connections_, {}))
        if (connection)
            static_cast<Connection *>(connection.data())->forgetClient(this);
}

void ConnectionClient::attach(Connection *connection)
{
    connections_.removeIf([](const QPointer<QObject> &held) { return held.isNull(); });
    for (const QPointer<QObject> &held : std::as_const(connections_))
        if (held == connection)
            return;
    connections_.append(connection);
}
