#include "FtpServerFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QUrl>

namespace {

constexpr int StartTimeoutMs = 10000;
constexpr int StopTimeoutMs = 5000;

// Debian's interpreter is the one that has pyftpdlib; another python3 may come first on PATH.
QString pythonPath()
{
    return qEnvironmentVariable("VEMAL_TEST_PYTHON", QStringLiteral("/usr/bin/python3"));
}

QString readTextFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

FtpServerFixture::FtpServerFixture()
    : FtpServerFixture(Options())
{
}

FtpServerFixture::FtpServerFixture(const Options &options)
    : m_options(options)
{
    if (!m_work.isValid())
        return;
    m_logPath = m_work.filePath(QStringLiteral("server.log"));
    m_stderrPath = m_work.filePath(QStringLiteral("server.stderr"));
    if (m_options.root.isEmpty()) {
        m_folder = ServedFolder(m_work.filePath(QStringLiteral("root")));
        QDir().mkpath(root());
    } else {
        m_folder = ServedFolder(m_options.root);
    }
}

FtpServerFixture::~FtpServerFixture()
{
    stop();
}

bool FtpServerFixture::fail(const QString &why)
{
    m_error = why;
    const QString err = readTextFile(m_stderrPath).trimmed();
    if (!err.isEmpty())
        m_error += QStringLiteral("\nserver stderr:\n") + err;
    stop();
    return false;
}

QString FtpServerFixture::scriptPath() const
{
    return QStringLiteral(VEMAL_TEST_SUPPORT_DIR "/ftpserver.py");
}

QStringList FtpServerFixture::arguments(quint16 port)
{
    QStringList args{scriptPath(), QStringLiteral("--root"), root(),
                     QStringLiteral("--log"), m_logPath};
    if (!m_options.banner.isEmpty())
        args << QStringLiteral("--banner") << m_options.banner;
    if (!m_options.masqueradeAddress.isEmpty())
        args << QStringLiteral("--masquerade") << m_options.masqueradeAddress;
    if (!m_options.anonymous)
        args << QStringLiteral("--no-anonymous");
    args << QStringLiteral("--address") << host();
    if (port != 0)
        args << QStringLiteral("--port") << QString::number(port);
    if (m_options.refusePassive)
        args << QStringLiteral("--refuse-passive");
    if (m_options.refuseActive)
        args << QStringLiteral("--refuse-active");
    if (m_options.refuseMlst)
        args << QStringLiteral("--no-mlst");
    if (m_options.tls != NoTls) {
        // A fresh file on every start makes a new certificate, unless one was given.
        m_certPath = !m_options.certificateFile.isEmpty()
            ? m_options.certificateFile
            : m_work.filePath(QStringLiteral("cert-%1.pem").arg(++m_starts));
        args << QStringLiteral("--tls")
             << (m_options.tls == Implicit ? QStringLiteral("implicit") : QStringLiteral("explicit"))
             << QStringLiteral("--cert") << m_certPath;
        if (m_options.requireTls)
            args << QStringLiteral("--require-tls");
        if (m_options.stockDataTls)
            args << QStringLiteral("--stock-data-tls");
    }
    return args;
}

// The next line the script prints, waiting at most until the start's deadline.
bool FtpServerFixture::readLine(QString *line)
{
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!m_process->canReadLine()) {
        if (m_process->state() != QProcess::Running)
            return fail(QStringLiteral("the FTP server exited before it listened"));
        if (deadline.hasExpired())
            return fail(QStringLiteral("the FTP server did not report its port within %1 ms")
                            .arg(StartTimeoutMs));
        m_process->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    *line = QString::fromLatin1(m_process->readLine()).trimmed();
    return true;
}

bool FtpServerFixture::start(quint16 port)
{
    stop();
    m_error.clear();
    m_certPath.clear();
    m_fingerprint.clear();
    if (!m_work.isValid())
        return fail(QStringLiteral("cannot create a temporary folder: ") + m_work.errorString());
    if (!QFileInfo(root()).isDir())
        return fail(QStringLiteral("root folder does not exist: ") + root());
    if (const QString why = loopbackProblem(host()); !why.isEmpty())
        return fail(why);

    const QStringList args = arguments(port);
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(pythonPath());
    m_process->setArguments(args);
    m_process->setStandardErrorFile(m_stderrPath, QIODevice::Append);
    m_process->setReadChannel(QProcess::StandardOutput);
    m_process->start(QIODevice::ReadOnly);
    if (!m_process->waitForStarted(StartTimeoutMs))
        return fail(QStringLiteral("cannot run %1: %2").arg(pythonPath(), m_process->errorString()));

    // The script prints its port once it listens, then with TLS the certificate's fingerprint.
    QString line;
    if (!readLine(&line))
        return false;
    bool ok = false;
    const uint listening = line.toUInt(&ok);
    if (!ok || listening == 0 || listening > 65535)
        return fail(QStringLiteral("the FTP server reported no valid port"));
    if (m_options.tls != NoTls) {
        if (!readLine(&m_fingerprint))
            return false;
        static const QRegularExpression sha256(QStringLiteral("^[0-9A-F]{2}(:[0-9A-F]{2}){31}$"));
        if (!sha256.match(m_fingerprint).hasMatch())
            return fail(QStringLiteral("the FTP server reported no valid fingerprint: ") + m_fingerprint);
    }
    m_port = quint16(listening);
    return true;
}

void FtpServerFixture::stop()
{
    m_port = 0;
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(StopTimeoutMs);
    }
    m_process.reset();
}

bool FtpServerFixture::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running && m_port != 0;
}

QString FtpServerFixture::url(const QString &user) const
{
    return urlWithScheme(QStringLiteral("ftp"), user);
}

QString FtpServerFixture::secureUrl(const QString &user) const
{
    const QString scheme = m_options.tls == Explicit ? QStringLiteral("ftpes")
                           : m_options.tls == Implicit ? QStringLiteral("ftps")
                                                       : QStringLiteral("ftp");
    return urlWithScheme(scheme, user);
}

QString FtpServerFixture::urlWithScheme(const QString &scheme, const QString &user) const
{
    QUrl url;
    url.setScheme(scheme);
    url.setHost(host());
    url.setPort(m_port);
    if (!user.isEmpty() && user != QLatin1String("anonymous")) {
        url.setUserName(user);
        if (user == QLatin1String(User))
            url.setPassword(QString::fromLatin1(Password));
    }
    return url.toString();
}

int FtpServerFixture::listingsServed() const
{
    static const QRegularExpression command(QStringLiteral("<- (LIST|MLSD)\\b"));
    return int(log().count(command));
}

QString FtpServerFixture::log() const
{
    return readTextFile(m_logPath) + readTextFile(m_stderrPath);
}

QString FtpServerFixture::loopbackProblem(const QString &address)
{
    const QHostAddress parsed(address);
    if (parsed.isNull() || !parsed.isLoopback())
        return QStringLiteral("\"%1\" is not a loopback address; the test servers listen on "
                              "127.0.0.1 or ::1 only").arg(address);
    QTcpServer probe;
    if (!probe.listen(parsed, 0))
        return QStringLiteral("cannot listen on %1 on this machine%2: %3")
            .arg(address,
                 parsed.protocol() == QAbstractSocket::IPv6Protocol
                     ? QStringLiteral(" (no IPv6 loopback)") : QString(),
                 probe.errorString());
    return QString();
}
