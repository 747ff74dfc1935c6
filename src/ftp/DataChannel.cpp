#include "ftp/DataChannel.h"

#include "ftp/DataListener.h"
#include "ftp/PassiveReply.h"
#include "platform/SocketClose.h"

#include <QSslSocket>
#include <QTcpSocket>

DataChannel::DataChannel(Way way, const QHostAddress &localAddress, const QHostAddress &peerAddress,
                         std::optional<QSslConfiguration> tls, QObject *parent)
    : QObject(parent), way_(way), localAddress_(localAddress), peerAddress_(peerAddress), tls_(std::move(tls))
{
    // An IPv4 control connection may report its peer in the mapped IPv6 form.
    bool ok = false;
    const quint32 peer4 = peerAddress_.toIPv4Address(&ok);
    if (ok)
        peerAddress_ = QHostAddress(peer4);
}

DataChannel::~DataChannel()
{
    if (socket_) {
        socket_->disconnect(this);
        abortiveClose(socket_);
        delete socket_;
    }
}

QString DataChannel::verb() const
{
    switch (way_) {
    case Way::Port: return QStringLiteral("PORT");
    case Way::Eprt: return QStringLiteral("EPRT");
    case Way::Pasv: return QStringLiteral("PASV");
    case Way::Epsv: return QStringLiteral("EPSV");
    }
    return QString();
}

QString DataChannel::command()
{
    if (passive())
        return verb();
    listener_ = new DataListener(localAddress_, peerAddress_, tls_.has_value(), this);
    connect(listener_, &DataListener::accepted, this, [this](QTcpSocket *socket) {
        listener_->disconnect(this);
        listener_->deleteLater();
        listener_ = nullptr;
        handOver(socket);
    });
    if (listener_->Listen() == 0) {
        errorCaption_ = listener_->errorCaption();
        errorText_ = listener_->errorText();
        delete listener_;
        listener_ = nullptr;
        return QString();
    }
    return way_ == Way::Port ? listener_->portCommand() : listener_->eprtCommand();
}

DataChannel::Answer DataChannel::takeReply(int code, const QString &line)
{
    const bool extended = way_ == Way::Eprt || way_ == Way::Epsv;
    errorCaption_ = passive() ? tr("Error Entering Passive Mode") : tr("Error Setting Port");
    errorText_ = line.mid(4);
    // 522: "network protocol not supported", the extended commands' own refusal.
    if (code == 500 || code == 501 || code == 502 || code == 504 || (extended && code == 522))
        return Answer::Refused;
    if (!passive())
        return code == 200 ? Answer::Ready : Answer::Failed;
    if (code != (way_ == Way::Pasv ? 227 : 229))
        return Answer::Failed;
    const QByteArray bytes = line.toUtf8();
    const std::optional<quint16> port = way_ == Way::Pasv ? PasvReplyPort(bytes) : EpsvReplyPort(bytes);
    if (!port) {
        errorText_ = tr("The host's answer to %1 names no port: %2").arg(verb(), line);
        return Answer::Failed;
    }
    connectTo(*port);
    return Answer::Ready;
}

void DataChannel::giveUp(const QString &reason)
{
    QTcpSocket *socket = socket_;
    if (!socket)
        return;
    socket->disconnect(this);
    socket_ = nullptr;
    abortiveClose(socket);
    socket->deleteLater();
    emit failed(tr("%1, port %2: %3").arg(peerAddress_.toString()).arg(port_).arg(reason));
}

void DataChannel::connectTo(quint16 port)
{
    QTcpSocket *socket = tls_ ? new QSslSocket(this) : new QTcpSocket(this);
    socket_ = socket;
    port_ = port;
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        // The receiver takes the socket as its child; one that nobody took goes with this channel.
        socket->disconnect(this);
        socket_ = nullptr;
        handOver(socket);
    });
    // Queued: a socket that cannot even be made fails inside connectToHost, before the receiver
    // is ready to hear of it.
    connect(
        socket, &QTcpSocket::errorOccurred, this,
        [this, socket] {
            if (socket_ != socket)
                return;
            giveUp(socket->errorString());
        },
        Qt::QueuedConnection);
    socket->connectToHost(peerAddress_, port);
}

void DataChannel::handOver(QTcpSocket *socket)
{
    if (tls_) {
        // The client side of TLS in both modes, whoever opened the TCP connection.
        auto *secure = static_cast<QSslSocket *>(socket);
        secure->setSslConfiguration(*tls_);
        // The host's close_notify ends the data; Qt reports it as an error and keeps the TCP
        // connection, while the host waits for it to close. Closing it ends the transfer as a
        // plain data connection ends.
        connect(secure, &QAbstractSocket::errorOccurred, secure, [secure](QAbstractSocket::SocketError error) {
            if (error == QAbstractSocket::RemoteHostClosedError)
                secure->disconnectFromHost();
        });
        secure->startClientEncryption();
    }
    emit ready(socket);
}
