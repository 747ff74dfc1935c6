#include "RawFtpClient.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

RawFtpClient::RawFtpClient()
    : m_control(std::make_unique<QTcpSocket>())
{
}

RawFtpClient::~RawFtpClient() = default;

bool RawFtpClient::connectTo(quint16 port, int timeoutMs)
{
    return connectTo(QHostAddress(QHostAddress::LocalHost), port, timeoutMs);
}

bool RawFtpClient::connectTo(const QHostAddress &address, quint16 port, int timeoutMs)
{
    m_buffer.clear();
    m_control->abort();
    m_control->connectToHost(address, port);
    return QTest::qWaitFor([&] {
        return m_control->state() == QAbstractSocket::ConnectedState
            || m_control->state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs) && m_control->state() == QAbstractSocket::ConnectedState;
}

bool RawFtpClient::isConnected() const
{
    return m_control->state() == QAbstractSocket::ConnectedState;
}

QString RawFtpClient::errorString() const
{
    return m_control->errorString();
}

void RawFtpClient::sendLine(const QByteArray &line)
{
    sendRaw(line + "\r\n");
}

void RawFtpClient::sendRaw(const QByteArray &bytes)
{
    m_control->write(bytes);
    m_control->flush();
}

void RawFtpClient::readControl()
{
    if (m_control->isReadable())
        m_buffer += m_control->readAll();
}

// Length of the first whole reply in the buffer, 0 if it is not complete yet. A reply is
// "ddd text" or "ddd-text" ... up to a line that starts with the same "ddd ".
qsizetype RawFtpClient::replyLength() const
{
    qsizetype end = m_buffer.indexOf('\n');
    if (end < 0)
        return 0;
    if (m_buffer.size() < 4 || m_buffer.at(3) != '-')
        return end + 1;
    const QByteArray last = m_buffer.left(3) + ' ';
    while (end >= 0) {
        const qsizetype start = end + 1;
        end = m_buffer.indexOf('\n', start);
        if (end >= 0 && m_buffer.mid(start, 4) == last)
            return end + 1;
    }
    return 0;
}

QByteArray RawFtpClient::readReply(int timeoutMs)
{
    (void)QTest::qWaitFor([&] {
        readControl();
        return replyLength() > 0;
    }, timeoutMs);
    const qsizetype length = replyLength();
    const QByteArray reply = m_buffer.left(length);
    m_buffer.remove(0, length);
    return reply;
}

QByteArray RawFtpClient::command(const QByteArray &line, int timeoutMs)
{
    sendLine(line);
    return readReply(timeoutMs);
}

QByteArray RawFtpClient::readBytes(qsizetype count, int timeoutMs)
{
    (void)QTest::qWaitFor([&] {
        readControl();
        return m_buffer.size() >= count || m_control->state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    const QByteArray bytes = m_buffer.left(count);
    m_buffer.remove(0, bytes.size());
    return bytes;
}

QByteArray RawFtpClient::pending()
{
    readControl();
    const QByteArray bytes = m_buffer;
    m_buffer.clear();
    return bytes;
}

bool RawFtpClient::waitForClosed(int timeoutMs)
{
    return QTest::qWaitFor([&] {
        readControl();
        return m_control->state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
}

void RawFtpClient::close()
{
    m_control->disconnectFromHost();
}

int RawFtpClient::code(const QByteArray &reply)
{
    if (reply.size() < 3)
        return 0;
    bool ok = false;
    const int value = reply.left(3).toInt(&ok);
    return ok ? value : 0;
}

bool RawFtpClient::parsePasv(const QByteArray &reply, QHostAddress *address, quint16 *port)
{
    static const QRegularExpression numbers(
        QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch match = numbers.match(QString::fromLatin1(reply));
    if (!match.hasMatch())
        return false;
    address->setAddress(QStringLiteral("%1.%2.%3.%4")
                            .arg(match.captured(1), match.captured(2), match.captured(3),
                                 match.captured(4)));
    *port = quint16(match.captured(5).toUInt() * 256 + match.captured(6).toUInt());
    return !address->isNull();
}

quint16 RawFtpClient::parseEpsv(const QByteArray &reply)
{
    static const QRegularExpression extended(QStringLiteral("\\(\\|\\|\\|(\\d+)\\|\\)"));
    const QRegularExpressionMatch match = extended.match(QString::fromLatin1(reply));
    const uint port = match.hasMatch() ? match.captured(1).toUInt() : 0;
    return port <= 65535 ? quint16(port) : 0;
}

QByteArray RawFtpClient::listenExtended(const QHostAddress &address)
{
    m_data.reset();
    m_listener = std::make_unique<QTcpServer>();
    if (!m_listener->listen(address, 0))
        return QByteArray();
    const char *family = address.protocol() == QAbstractSocket::IPv6Protocol ? "2" : "1";
    return QByteArray("EPRT |") + family + '|' + address.toString().toLatin1() + '|'
        + QByteArray::number(m_listener->serverPort()) + '|';
}

QByteArray RawFtpClient::listenActive()
{
    m_data.reset();
    m_listener = std::make_unique<QTcpServer>();
    if (!m_listener->listen(QHostAddress::LocalHost, 0))
        return QByteArray();
    const quint16 port = m_listener->serverPort();
    return "PORT 127,0,0,1," + QByteArray::number(port / 256) + ','
        + QByteArray::number(port % 256);
}

quint16 RawFtpClient::activePort() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

bool RawFtpClient::connectPassive(const QHostAddress &address, quint16 port, int timeoutMs)
{
    m_listener.reset();
    m_data = std::make_unique<QTcpSocket>();
    m_data->connectToHost(address, port);
    return QTest::qWaitFor([&] {
        return m_data->state() == QAbstractSocket::ConnectedState
            || m_data->state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs) && m_data->state() == QAbstractSocket::ConnectedState;
}

bool RawFtpClient::waitForDataConnection(int timeoutMs)
{
    if (m_data)
        return true;
    if (!m_listener)
        return false;
    if (!QTest::qWaitFor([&] { return m_listener->hasPendingConnections(); }, timeoutMs))
        return false;
    QTcpSocket *socket = m_listener->nextPendingConnection();
    socket->setParent(nullptr);
    m_data.reset(socket);
    m_listener.reset();
    return true;
}

QByteArray RawFtpClient::receiveData(int timeoutMs)
{
    if (!waitForDataConnection(timeoutMs))
        return QByteArray();
    QByteArray bytes;
    (void)QTest::qWaitFor([&] {
        if (m_data->isReadable())
            bytes += m_data->readAll();
        return m_data->state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    if (m_data->isReadable())
        bytes += m_data->readAll();
    m_data.reset();
    return bytes;
}

bool RawFtpClient::sendData(const QByteArray &bytes, int timeoutMs)
{
    if (!waitForDataConnection(timeoutMs))
        return false;
    m_data->write(bytes);
    m_data->disconnectFromHost();
    const bool closed = QTest::qWaitFor([&] {
        return m_data->state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    m_data.reset();
    return closed;
}

QByteArray RawFtpClient::readData(qsizetype count, int timeoutMs)
{
    if (!waitForDataConnection(timeoutMs))
        return QByteArray();
    QByteArray bytes;
    (void)QTest::qWaitFor([&] {
        if (m_data->isReadable())
            bytes += m_data->read(count - bytes.size());
        return bytes.size() >= count || m_data->state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
    return bytes;
}

bool RawFtpClient::waitForDataClosed(int timeoutMs)
{
    if (!m_data)
        return true;
    return QTest::qWaitFor([&] {
        return m_data->state() == QAbstractSocket::UnconnectedState;
    }, timeoutMs);
}

void RawFtpClient::closeData()
{
    if (m_data)
        m_data->disconnectFromHost();
    m_data.reset();
    m_listener.reset();
}

QString RawFtpClient::openPassive(const QByteArray &verb, const QHostAddress &address, QHostAddress *named)
{
    const QByteArray reply = command(verb);
    QHostAddress inReply = address;
    quint16 port = 0;
    if (verb == "EPSV")
        port = parseEpsv(reply);
    else if (!parsePasv(reply, &inReply, &port))
        port = 0;
    if (named)
        *named = inReply;
    if (port == 0)
        return QStringLiteral("%1 got: %2").arg(QString::fromLatin1(verb), QString::fromUtf8(reply));
    if (!connectPassive(address, port))
        return QStringLiteral("cannot connect to the passive port: ") + errorString();
    return QString();
}

quint16 RawFtpClient::passivePort() const
{
    return m_data ? m_data->peerPort() : 0;
}
