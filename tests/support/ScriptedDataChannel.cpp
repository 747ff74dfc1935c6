#include "ScriptedDataChannel.h"

#include <QTcpServer>
#include <QTcpSocket>

ScriptedDataChannel::ScriptedDataChannel(QObject *parent)
    : QObject(parent)
{
}

ScriptedDataChannel::~ScriptedDataChannel()
{
    dropSocket();
    dropListener();
}

void ScriptedDataChannel::setActive(const QHostAddress &address, quint16 port)
{
    if (!m_busy)
        dropSocket();
    dropListener();
    m_address = address;
    m_port = port;
}

quint16 ScriptedDataChannel::listenPassive()
{
    if (!m_busy)
        dropSocket();
    dropListener();
    m_address.clear();
    m_port = 0;
    m_listener = new QTcpServer(this);
    if (!m_listener->listen(QHostAddress::LocalHost, 0)) {
        m_error = m_listener->errorString();
        dropListener();
        return 0;
    }
    connect(m_listener, &QTcpServer::newConnection, this, &ScriptedDataChannel::onNewConnection);
    return m_listener->serverPort();
}

bool ScriptedDataChannel::hasTarget() const
{
    return m_listener != nullptr || (!m_address.isNull() && m_port != 0);
}

void ScriptedDataChannel::start(Direction direction, const QByteArray &bytes, bool holdOpen)
{
    if (m_busy)
        abort();
    m_busy = true;
    m_direction = direction;
    m_bytes = bytes;
    m_holdOpen = holdOpen;
    m_received.clear();
    m_error.clear();

    if (m_listener) {
        // The client may already have connected right after the 227.
        if (m_socket)
            adopt(m_socket);
        return;
    }
    if (m_address.isNull() || m_port == 0) {
        m_error = QStringLiteral("no PORT, EPRT or PASV before the transfer");
        finish();
        return;
    }
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    m_socketConnected = false;
    connect(socket, &QTcpSocket::connected, this, &ScriptedDataChannel::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &ScriptedDataChannel::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &ScriptedDataChannel::finish);
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError || socket != m_socket)
            return; // an orderly close by the client ends the transfer through disconnected()
        if (m_error.isEmpty())
            m_error = socket->errorString();
        if (!m_socketConnected)
            finish(); // the connection never came up, so no disconnected() follows
    });
    socket->connectToHost(m_address, m_port);
}

void ScriptedDataChannel::onNewConnection()
{
    while (QTcpSocket *incoming = m_listener->nextPendingConnection()) {
        if (m_socket) { // one data connection per transfer
            incoming->abort();
            incoming->deleteLater();
            continue;
        }
        m_socket = incoming;
        incoming->setParent(this);
        m_socketConnected = true;
        if (m_busy)
            adopt(incoming);
    }
}

// Hooks up an accepted passive connection once a transfer wants it.
void ScriptedDataChannel::adopt(QTcpSocket *socket)
{
    connect(socket, &QTcpSocket::readyRead, this, &ScriptedDataChannel::onReadyRead,
            Qt::UniqueConnection);
    connect(socket, &QTcpSocket::disconnected, this, &ScriptedDataChannel::finish,
            Qt::UniqueConnection);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        onReadyRead(); // closed before the transfer began: keep what it sent
        finish();
        return;
    }
    onConnected();
}

void ScriptedDataChannel::onConnected()
{
    m_socketConnected = true;
    emit connected();
    if (!m_socket)
        return;
    if (m_direction == Direction::Send) {
        m_socket->write(m_bytes);
        if (!m_holdOpen)
            m_socket->disconnectFromHost(); // flushes the bytes first
    } else {
        onReadyRead();
    }
}

void ScriptedDataChannel::onReadyRead()
{
    if (m_socket && m_busy && m_socket->isReadable())
        m_received += m_socket->readAll();
}

void ScriptedDataChannel::finish()
{
    if (!m_busy)
        return;
    onReadyRead();
    m_busy = false;
    dropSocket();
    dropListener(); // a passive listener serves one transfer, as on real servers
    emit finished();
}

void ScriptedDataChannel::close()
{
    if (!m_busy)
        return;
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->disconnectFromHost(); // finish() follows from disconnected()
    else
        finish();
}

void ScriptedDataChannel::abort()
{
    if (m_socket)
        m_socket->abort();
    finish();
    dropSocket();
}

void ScriptedDataChannel::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    m_socketConnected = false;
    socket->disconnect(this);
    if (socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort();
    socket->deleteLater();
}

void ScriptedDataChannel::dropListener()
{
    if (!m_listener)
        return;
    m_listener->close();
    m_listener->deleteLater();
    m_listener = nullptr;
}
