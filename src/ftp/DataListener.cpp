#include "ftp/DataListener.h"

#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

namespace {
// Hands out accepted connections as QSslSocket, so that TLS can start on them.
class SecureServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }
};
} // namespace

DataListener::DataListener(const QHostAddress &localAddress, const QHostAddress &peerAddress, bool secure,
                           QObject *parent)
    : QObject(parent), localAddress_(localAddress), peerAddress_(peerAddress), secure_(secure)
{
    // An IPv4 control connection may report its address in the mapped IPv6 form.
    bool ok = false;
    const quint32 v4 = localAddress_.toIPv4Address(&ok);
    if (ok)
        localAddress_ = QHostAddress(v4);
    const quint32 peer4 = peerAddress_.toIPv4Address(&ok);
    if (ok)
        peerAddress_ = QHostAddress(peer4);
}

quint16 DataListener::Listen()
{
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        delete server_;
        server_ = secure_ ? new SecureServer(this) : new QTcpServer(this);
        server_->setMaxPendingConnections(5);
        if (server_->listen(localAddress_, 0) && server_->serverPort() >= 1024) {
            connect(server_, &QTcpServer::newConnection, this, &DataListener::takeConnection);
            return server_->serverPort();
        }
        if (server_->serverError() == QAbstractSocket::SocketResourceError) {
            errorCaption_ = tr("Error");
            errorText_ = tr("Couldn't Create Socket for transfer.");
            delete server_;
            server_ = nullptr;
            return 0;
        }
    }
    delete server_;
    server_ = nullptr;
    errorCaption_ = tr("Listen Error");
    errorText_ = tr("Could not find port to listen on.");
    return 0;
}

QString DataListener::portCommand() const
{
    return QStringLiteral("PORT ") + portArgument(localAddress_, server_ ? server_->serverPort() : 0);
}

QString DataListener::eprtCommand() const
{
    const bool v6 = localAddress_.protocol() == QAbstractSocket::IPv6Protocol;
    QHostAddress shown = localAddress_;
    shown.setScopeId(QString()); // the host has no use for this machine's interface name
    return QStringLiteral("EPRT |%1|%2|%3|")
        .arg(v6 ? 2 : 1)
        .arg(shown.toString())
        .arg(server_ ? server_->serverPort() : 0);
}

void DataListener::takeConnection()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        QHostAddress from = socket->peerAddress();
        bool ok = false;
        const quint32 v4 = from.toIPv4Address(&ok);
        if (ok)
            from = QHostAddress(v4);
        if (!peerAddress_.isNull() && from != peerAddress_) {
            // Someone other than the host: never let a stranger feed or read a transfer.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        server_->close();
        emit accepted(socket);
        return;
    }
}

QString portArgument(const QHostAddress &address, quint16 port)
{
    const quint32 a = address.toIPv4Address();
    return QStringLiteral("%1,%2,%3,%4,%5,%6")
        .arg(a >> 24)
        .arg((a >> 16) & 0xff)
        .arg((a >> 8) & 0xff)
        .arg(a & 0xff)
        .arg(port >> 8)
        .arg(port & 0xff);
}
