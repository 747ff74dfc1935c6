#include "VsftpdFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMultiHash>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

namespace {

constexpr int StartTimeoutMs = 10000;
constexpr int StopTimeoutMs = 5000;
constexpr int PollMs = 50;       // between tries to connect while vsftpd is coming up
constexpr int BindAttempts = 3;  // another program may take the free port first
constexpr const char *SessionUser = "ftp";

constexpr QFile::Permissions Private = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions Readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
    | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

QString readTextFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

quint16 freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// One whole reply: lines up to the one with a space after the code.
QByteArray readReply(QTcpSocket &socket, const QDeadlineTimer &deadline)
{
    QByteArray reply;
    for (;;) {
        while (socket.canReadLine()) {
            const QByteArray line = socket.readLine();
            reply += line;
            if (line.size() >= 4 && line.at(3) == ' ')
                return reply;
        }
        if (deadline.hasExpired()
            || !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return reply + socket.readAll();
    }
}

// Sends line (unless empty), reads the reply; empty when its code is the expected one.
QString exchange(QTcpSocket &socket, const QByteArray &line, const QByteArray &code,
                 const QDeadlineTimer &deadline)
{
    if (!line.isEmpty())
        socket.write(line + "\r\n");
    const QByteArray reply = readReply(socket, deadline);
    if (reply.startsWith(code + ' '))
        return QString();
    const QString sent = line.isEmpty() ? QStringLiteral("the greeting")
                                        : QString::fromLatin1(line);
    return QStringLiteral("%1 got \"%2\" instead of %3")
        .arg(sent, QString::fromUtf8(reply).trimmed(), QString::fromLatin1(code));
}

// AUTH TLS and the handshake, the certificate taken as it is. Empty on success.
QString startTls(QSslSocket &socket, const QDeadlineTimer &deadline)
{
    if (QString failed = exchange(socket, "AUTH TLS", "234", deadline); !failed.isEmpty())
        return failed;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.startClientEncryption();
    if (!socket.waitForEncrypted(int(qMax<qint64>(1, deadline.remainingTime()))))
        return QStringLiteral("TLS handshake: ") + socket.errorString();
    return QString();
}

// The ids of every process below root, from the parent ids in /proc.
QList<pid_t> descendantsOf(pid_t root)
{
    QMultiHash<pid_t, pid_t> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool numeric = false;
        const pid_t pid = pid_t(entry.toInt(&numeric));
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!numeric || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(pid_t(fields.at(1).toInt()), pid);
    }
    QList<pid_t> found;
    for (qsizetype next = -1; next < found.size(); ++next) {
        const QList<pid_t> below = children.values(next < 0 ? root : found.at(next));
        found += below;
    }
    return found;
}

} // namespace

VsftpdFixture::VsftpdFixture()
    : VsftpdFixture(Options())
{
}

VsftpdFixture::VsftpdFixture(const Options &options)
    : m_options(options)
{
    if (!m_work.isValid())
        return;
    m_configPath = m_work.filePath(QStringLiteral("vsftpd.conf"));
    m_logPath = m_work.filePath(QStringLiteral("vsftpd.log"));
    m_outputPath = m_work.filePath(QStringLiteral("vsftpd.out"));
    m_certPath = m_work.filePath(QStringLiteral("cert.pem"));
    m_folder = ServedFolder(m_work.filePath(QStringLiteral("root")), true);
    // The top stays closed to the session user: vsftpd runs no session in a writable chroot.
    QDir().mkpath(root());
    QFile::setPermissions(root(), Readable);
    QDir().mkpath(m_work.filePath(QStringLiteral("empty")));
    QFile::setPermissions(m_work.filePath(QStringLiteral("empty")), Readable);
}

QString VsftpdFixture::program()
{
    return qEnvironmentVariable("VEMAL_TEST_VSFTPD", QStringLiteral("/usr/sbin/vsftpd"));
}

VsftpdFixture::~VsftpdFixture()
{
    stop();
}

bool VsftpdFixture::fail(const QString &why)
{
    m_error = why;
    const QString said = log().trimmed();
    if (!said.isEmpty())
        m_error += QStringLiteral("\nvsftpd log and output:\n") + said;
    stop();
    return false;
}

// Empty when this machine can run the fixture; otherwise what is missing.
QString VsftpdFixture::checkMachine() const
{
    if (!m_work.isValid())
        return QStringLiteral("cannot create a temporary folder: ") + m_work.errorString();
    if (!QFileInfo(program()).isExecutable())
        return QStringLiteral("vsftpd is not installed (no %1); ./test installs Debian's vsftpd "
                              "package").arg(program());
    if (::geteuid() != 0)
        return QStringLiteral("vsftpd must be started as root (it locks each session into the "
                              "served folder and changes to the \"ftp\" user); this test runs as "
                              "user id %1").arg(::geteuid());
    if (!::getpwnam(SessionUser))
        return QStringLiteral("there is no user \"%1\" to run anonymous sessions as; Debian's "
                              "vsftpd package creates it").arg(QString::fromLatin1(SessionUser));
    return QString();
}

bool VsftpdFixture::start()
{
    stop();
    m_error.clear();
    if (const QString missing = checkMachine(); !missing.isEmpty())
        return fail(missing);
    if (m_options.tls && !makeCertificate())
        return false;

    for (int attempt = 1; attempt <= BindAttempts; ++attempt) {
        const quint16 port = freePort();
        if (port == 0)
            return fail(QStringLiteral("no free port on 127.0.0.1"));
        if (!launch(port))
            return false;
        const QString failed = waitForLogin(port);
        if (failed.isEmpty()) {
            m_port = port;
            return true;
        }
        const bool portTaken = m_process->state() != QProcess::Running
            && readTextFile(m_outputPath).contains(QLatin1String("could not bind"));
        if (!portTaken || attempt == BindAttempts)
            return fail(failed);
        stop();
    }
    return false;
}

// A new self-signed key and certificate (ftpserver.py makes them with pyOpenSSL), readable by
// its owner only; vsftpd reads it as root.
bool VsftpdFixture::makeCertificate()
{
    QFile::remove(m_certPath);
    QProcess maker;
    maker.start(qEnvironmentVariable("VEMAL_TEST_PYTHON", QStringLiteral("/usr/bin/python3")),
                {QStringLiteral(VEMAL_TEST_SUPPORT_DIR "/ftpserver.py"), QStringLiteral("--make-cert"),
                 m_certPath});
    const bool ended = maker.waitForFinished(StartTimeoutMs);
    m_fingerprint = QString::fromLatin1(maker.readAllStandardOutput()).trimmed();
    if (!ended || maker.exitCode() != 0 || m_fingerprint.size() != 95)
        return fail(QStringLiteral("cannot make a certificate: %1")
                        .arg(QString::fromLocal8Bit(maker.readAllStandardError())));
    return true;
}

bool VsftpdFixture::writeConfig(quint16 port)
{
    const QString config = QStringLiteral(
        "listen=YES\nlisten_ipv6=NO\nlisten_address=%1\nlisten_port=%2\nbackground=NO\n"
        "anonymous_enable=YES\nlocal_enable=NO\nanon_root=%3\n"
        "write_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
        "anon_other_write_enable=YES\nanon_umask=022\n"
        "pasv_enable=YES\n"
        "seccomp_sandbox=NO\nsecure_chroot_dir=%4\n"
        "xferlog_enable=YES\nxferlog_std_format=NO\ndual_log_enable=NO\nsyslog_enable=NO\n"
        "log_ftp_protocol=YES\nvsftpd_log_file=%5\n"
        "delay_failed_login=0\nmax_clients=0\nmax_per_ip=0\ndirmessage_enable=NO\n")
        .arg(QString::fromLatin1(Host)).arg(port)
        .arg(root(), m_work.filePath(QStringLiteral("empty")), m_logPath)
        + (m_options.allowActive ? QStringLiteral("port_enable=YES\nconnect_from_port_20=NO\n")
                                 : QStringLiteral("port_enable=NO\n"))
        + (m_options.tls ? QStringLiteral(
               "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
               "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\nssl_ciphers=HIGH\n"
               "rsa_cert_file=%1\nrsa_private_key_file=%1\n").arg(m_certPath)
                         : QString());    QFile file(m_configPath);
    // vsftpd reads no configuration that others may write.
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.setPermissions(Private)
        && file.write(config.toUtf8()) == config.toUtf8().size();
}

bool VsftpdFixture::launch(quint16 port)
{
    if (!writeConfig(port))
        return fail(QStringLiteral("cannot write %1").arg(m_configPath));
    QFile::remove(m_outputPath);
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(program());
    m_process->setArguments({m_configPath});
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_outputPath, QIODevice::Append);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // vsftpd goes when the test goes, crash included; its sessions then end with their
    // connections, which the test's end closes.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start();
    if (!m_process->waitForStarted(StartTimeoutMs))
        return fail(QStringLiteral("cannot run %1: %2")
                        .arg(program(), m_process->errorString()));
    return true;
}

// Waits until vsftpd listens, then logs in once: that checks the whole setup (the chroot, the
// session user), not just the listener. Empty on success, else what went wrong.
QString VsftpdFixture::waitForLogin(quint16 port)
{
    const QDeadlineTimer deadline(StartTimeoutMs);
    for (;;) {
        if (m_process->state() != QProcess::Running)
            return QStringLiteral("vsftpd exited (status %1) before it listened")
                .arg(m_process->exitCode());
        QSslSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime())))) {
            QString failed = exchange(socket, QByteArray(), "220", deadline);
            if (failed.isEmpty() && m_options.tls)
                failed = startTls(socket, deadline);
            if (failed.isEmpty())
                failed = exchange(socket, "USER anonymous", "331", deadline);
            if (failed.isEmpty())
                failed = exchange(socket, "PASS fixture@", "230", deadline);
            socket.write("QUIT\r\n");
            socket.waitForBytesWritten(PollMs);
            return failed.isEmpty() ? failed : QStringLiteral("logging in: ") + failed;
        }
        if (deadline.hasExpired())
            return QStringLiteral("vsftpd did not listen on 127.0.0.1:%1 within %2 ms")
                .arg(port).arg(StartTimeoutMs);
        m_process->waitForFinished(PollMs); // not listening yet: a short bounded wait, or its end
    }
}

void VsftpdFixture::stop()
{
    m_port = 0;
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        // Each session runs in a session of its own below vsftpd and outlives it: end them first.
        if (const qint64 pid = m_process->processId(); pid > 0) {
            for (const pid_t session : descendantsOf(pid_t(pid)))
                ::kill(session, SIGKILL);
        }
        m_process->kill();
        m_process->waitForFinished(StopTimeoutMs);
    }
    m_process.reset();
}

bool VsftpdFixture::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running && m_port != 0;
}

QString VsftpdFixture::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(host());
    url.setPort(m_port);
    return url.toString();
}

QString VsftpdFixture::secureUrl() const
{
    return url().replace(0, 3, QStringLiteral("ftpes"));
}

QString VsftpdFixture::log() const
{
    return readTextFile(m_logPath) + readTextFile(m_outputPath);
}
