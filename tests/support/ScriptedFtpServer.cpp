#include "ScriptedFtpServer.h"

#include "ScriptedDataChannel.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// "PORT 127,0,0,1,156,64" → 127.0.0.1, 40000; false when the argument is malformed.
bool parsePort(const QString &argument, QHostAddress *address, quint16 *port)
{
    const QStringList parts = argument.trimmed().split(QLatin1Char(','));
    if (parts.size() != 6)
        return false;
    uint bytes[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        bytes[i] = parts[i].trimmed().toUInt(&ok);
        if (!ok || bytes[i] > 255)
            return false;
    }
    *address = QHostAddress((bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3]);
    *port = quint16(bytes[4] * 256 + bytes[5]);
    return true;
}

// "EPRT |1|127.0.0.1|40000|" (any delimiter character) → 127.0.0.1, 40000.
bool parseEprt(const QString &argument, QHostAddress *address, quint16 *port)
{
    const QString arg = argument.trimmed();
    if (arg.size() < 2)
        return false;
    const QStringList parts = arg.split(arg.at(0));
    if (parts.size() != 5)
        return false;
    bool ok = false;
    const uint number = parts[3].toUInt(&ok);
    if (!ok || number == 0 || number > 65535 || !address->setAddress(parts[2]))
        return false;
    *port = quint16(number);
    return true;
}

} // namespace

ScriptedFtpServer::ScriptedFtpServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
    , m_data(new ScriptedDataChannel(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedFtpServer::onNewConnection);
    connect(m_data, &ScriptedDataChannel::connected, this, &ScriptedFtpServer::dataConnected);
    connect(m_data, &ScriptedDataChannel::finished, this, &ScriptedFtpServer::onDataFinished);
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    // No signals to the test while it is tearing down.
    m_data->disconnect(this);
    if (m_client) {
        m_client->disconnect(this);
        m_client->abort();
    }
}

bool ScriptedFtpServer::listen()
{
    return m_server->isListening() || m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 ScriptedFtpServer::port() const
{
    return m_server->serverPort();
}

QString ScriptedFtpServer::url(const QString &user, const QString &password) const
{
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(host());
    url.setPort(port());
    url.setUserName(user);
    url.setPassword(password);
    return url.toString();
}

ScriptedFtpServer::Step &ScriptedFtpServer::expect(const QString &command, const QByteArray &reply)
{
    Step step;
    step.command = command;
    step.reply = reply;
    return addStep(step);
}

ScriptedFtpServer::Step &ScriptedFtpServer::expectPrefix(const QString &prefix, const QByteArray &reply)
{
    Step &step = expect(prefix, reply);
    step.match = Step::Match::Prefix;
    return step;
}

ScriptedFtpServer::Step &ScriptedFtpServer::expectRegex(const QString &pattern, const QByteArray &reply)
{
    Step &step = expect(pattern, reply);
    step.match = Step::Match::Regex;
    return step;
}

ScriptedFtpServer::Step &ScriptedFtpServer::addStep(const Step &step)
{
    m_steps.push_back(step);
    return m_steps.back();
}

void ScriptedFtpServer::expectLogin(const QString &user)
{
    expect(QStringLiteral("USER ") + user, "331 Password required\r\n");
    expectPrefix(QStringLiteral("PASS "), "230 Logged in\r\n");
}

bool ScriptedFtpServer::isClientConnected() const
{
    return m_client && m_client->state() == QAbstractSocket::ConnectedState;
}

QHostAddress ScriptedFtpServer::dataAddress() const { return m_data->activeAddress(); }
quint16 ScriptedFtpServer::dataPort() const { return m_data->activePort(); }
QByteArray ScriptedFtpServer::receivedData() const { return m_data->received(); }
QString ScriptedFtpServer::dataError() const { return m_data->errorString(); }
bool ScriptedFtpServer::isDataBusy() const { return m_data->isBusy(); }

void ScriptedFtpServer::sendRaw(const QByteArray &bytes)
{
    if (m_client && !bytes.isEmpty())
        m_client->write(bytes);
}

void ScriptedFtpServer::closeClient()
{
    if (m_client)
        m_client->disconnectFromHost();
}

void ScriptedFtpServer::abortClient()
{
    if (m_client)
        m_client->abort(); // onDisconnected() follows from the disconnected signal
}

void ScriptedFtpServer::closeData() { m_data->close(); }
void ScriptedFtpServer::abortData() { m_data->abort(); }

void ScriptedFtpServer::onNewConnection()
{
    takeNextClient();
}

// Serves the next waiting connection once the current one is gone.
void ScriptedFtpServer::takeNextClient()
{
    if (m_client || !m_server->hasPendingConnections())
        return;
    QTcpSocket *socket = m_server->nextPendingConnection();
    m_client = socket;
    m_inbox.clear();
    ++m_connections;
    connect(socket, &QTcpSocket::readyRead, this, &ScriptedFtpServer::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &ScriptedFtpServer::onDisconnected);
    sendRaw(m_greeting);
    emit clientConnected();
}

void ScriptedFtpServer::onReadyRead()
{
    if (!m_client || m_reading)
        return;
    m_reading = true;
    if (m_client->isReadable())
        m_inbox += m_client->readAll();
    for (qsizetype end = m_inbox.indexOf('\n'); end >= 0 && m_client; end = m_inbox.indexOf('\n')) {
        QByteArray line = m_inbox.left(end);
        m_inbox.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        handleCommand(QString::fromUtf8(line));
    }
    m_reading = false;
}

void ScriptedFtpServer::onDisconnected()
{
    QTcpSocket *socket = qobject_cast<QTcpSocket *>(sender());
    if (!socket || socket != m_client)
        return;
    onReadyRead(); // commands that arrived together with the close (unless already reading)
    socket->disconnect(this);
    socket->deleteLater();
    m_client = nullptr;
    // Like a real server, drop a transfer whose control connection is gone.
    if (m_data->isBusy())
        m_data->abort();
    emit clientDisconnected();
    takeNextClient();
}

void ScriptedFtpServer::handleCommand(const QString &line)
{
    if (line.compare(QLatin1String("FEAT"), Qt::CaseInsensitive) == 0) {
        ++m_featCount;
        sendRaw(m_features);
        return;
    }
    m_transcript << line;
    recordDataAddress(line);
    if (m_next < m_steps.size() && matches(m_steps[m_next], line)) {
        const Step step = m_steps[m_next++];
        runStep(step);
    } else {
        const QString got = quoted(line);
        if (m_next < m_steps.size())
            noteMismatch(QStringLiteral("command %1: expected %2 (step %3), got %4")
                             .arg(m_transcript.size())
                             .arg(quoted(m_steps[m_next].command))
                             .arg(m_next + 1)
                             .arg(got));
        else
            noteMismatch(QStringLiteral("command %1: %2 after the last step")
                             .arg(m_transcript.size())
                             .arg(got));
        sendRaw(m_defaultReply);
    }
    emit commandReceived(line);
}

bool ScriptedFtpServer::matches(const Step &step, const QString &line) const
{
    switch (step.match) {
    case Step::Match::Exact:
        return line == step.command;
    case Step::Match::Prefix:
        return line.startsWith(step.command);
    case Step::Match::Regex:
        return QRegularExpression(QRegularExpression::anchoredPattern(step.command)).match(line).hasMatch();
    }
    return false;
}

void ScriptedFtpServer::runStep(const Step &step)
{
    QByteArray reply = step.reply;
    if (step.passive) {
        const quint16 port = m_data->listenPassive();
        const QByteArray p1p2 = QByteArray::number(port / 256) + ',' + QByteArray::number(port % 256);
        reply.replace("{pasv}", "127,0,0,1," + p1p2)
            .replace("{p1p2}", p1p2)
            .replace("{port}", QByteArray::number(port));
    }
    sendRaw(reply);

    if (step.data == Step::Data::None) {
        if (step.close)
            closeClient();
        return;
    }
    if (!m_data->hasTarget())
        noteMismatch(QStringLiteral("command %1: %2 needs a data connection, but no PORT, EPRT or "
                                    "PASV came before it")
                         .arg(m_transcript.size())
                         .arg(quoted(m_transcript.constLast())));
    m_pendingAfterData = step.afterData;
    m_pendingClose = step.close;
    const auto direction = step.data == Step::Data::Send ? ScriptedDataChannel::Direction::Send
                                                         : ScriptedDataChannel::Direction::Receive;
    m_data->start(direction, step.dataBytes, step.holdData); // may finish at once
}

void ScriptedFtpServer::onDataFinished()
{
    sendRaw(m_pendingAfterData);
    m_pendingAfterData.clear();
    const bool close = m_pendingClose;
    m_pendingClose = false;
    emit dataFinished();
    if (close)
        closeClient();
}

void ScriptedFtpServer::recordDataAddress(const QString &line)
{
    const int space = line.indexOf(QLatin1Char(' '));
    if (space < 0)
        return;
    const QString verb = line.left(space).toUpper();
    const QString argument = line.mid(space + 1);
    QHostAddress address;
    quint16 port = 0;
    if ((verb == QLatin1String("PORT") && parsePort(argument, &address, &port))
        || (verb == QLatin1String("EPRT") && parseEprt(argument, &address, &port)))
        m_data->setActive(address, port);
}

void ScriptedFtpServer::noteMismatch(const QString &text)
{
    m_mismatches << text;
}
