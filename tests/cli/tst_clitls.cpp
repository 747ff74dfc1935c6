// vemalftp-cli over encrypted sessions against real servers: pyftpdlib with explicit (AUTH TLS)
// and implicit TLS, vsftpd demanding TLS and session reuse on its data connections, and a
// pyftpdlib without TLS for ftpes://. Certificates are self-signed and made at test time, so
// every run meets the trust decision: refused without a terminal, stored with --accept-new-cert,
// refused again once the server's certificate changes.

#include "CliRun.h"
#include "support/FtpServerFixture.h"
#include "support/TestEnvironment.h"
#include "support/VsftpdFixture.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

// How many commands pyftpdlib logged as received with this verb ("PROT P" counts for "PROT").
int received(const QString &log, const QString &command)
{
    return int(log.count(QRegularExpression(
        QStringLiteral("<- %1(\\s|$)").arg(QRegularExpression::escape(command)),
        QRegularExpression::MultilineOption)));
}

// The same over vsftpd's protocol log: FTP command: Client "127.0.0.1", "PROT P".
int vsftpdReceived(const QString &log, const QString &command)
{
    return int(log.count(QRegularExpression(
        QStringLiteral("FTP command: Client \"[^\"]*\", \"%1[\" ]").arg(QRegularExpression::escape(command)))));
}

// The value a `vemalftp-cli host NAME` listing shows for key.
QString hostValue(const QString &listing, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1\\t(.*)$").arg(key), QRegularExpression::MultilineOption);
    return line.match(listing).captured(1);
}

QByteArray failureText(const QStringList &args, const CliResult &result, const QString &serverLog)
{
    return describe(args, result) + "--- server log:\n" + serverLog.toUtf8();
}

FtpServerFixture::Options tlsOptions(FtpServerFixture::Tls tls, bool required = true)
{
    FtpServerFixture::Options options;
    options.tls = tls;
    options.requireTls = required;
    return options;
}

} // namespace

class TestCliTls : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }

    void transfers_data();
    void transfers();
    void vsftpdSessionReuse_data();
    void vsftpdSessionReuse();
    void plainHostAndEncryption_data();
    void plainHostAndEncryption();
    void untrustedWithoutTerminal_data();
    void untrustedWithoutTerminal();
    void acceptedThenChanged_data();
    void acceptedThenChanged();
    void presetFingerprint_data();
    void presetFingerprint();
    void stockPyftpdlibDataChannel_data();
    void stockPyftpdlibDataChannel();
};

void TestCliTls::transfers_data()
{
    QTest::addColumn<int>("tls");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("dataVerb");
    QTest::newRow("explicit, passive") << int(FtpServerFixture::Explicit) << "--passive" << "EPSV";
    QTest::newRow("explicit, active") << int(FtpServerFixture::Explicit) << "--active" << "EPRT";
    QTest::newRow("implicit, passive") << int(FtpServerFixture::Implicit) << "--passive" << "EPSV";
    QTest::newRow("implicit, active") << int(FtpServerFixture::Implicit) << "--active" << "EPRT";
}

// A server that takes no login and no data connection without TLS: upload, list, download and
// resume, each a run of its own, all byte-exact. The first run trusts the certificate; the
// others find it stored for the address. Every run logs in encrypted (AUTH TLS before USER, or
// no AUTH at all with implicit TLS), protects its data with PBSZ 0 / PROT P, and never shows
// the password.
void TestCliTls::transfers()
{
    QFETCH(int, tls);
    QFETCH(QString, mode);
    QFETCH(QString, dataVerb);
    FtpServerFixture server(tlsOptions(FtpServerFixture::Tls(tls)));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.makeDir(QStringLiteral("drop")));
    const QByteArray big = randomBytes(1024 * 1024 + 7);
    QVERIFY(server.writeFile(QStringLiteral("pub/big.bin"), big));
    QTemporaryDir local;
    QVERIFY(writeLocal(local.filePath(QStringLiteral("up/sent.bin")), big));
    QVERIFY(writeLocal(local.filePath(QStringLiteral("part/big.bin")), big.left(big.size() / 3)));

    const QString host = server.secureUrl(QString::fromLatin1(FtpServerFixture::User));
    const QList<QStringList> commands{
        {QStringLiteral("--accept-new-cert"), host, QStringLiteral("put"), local.filePath(QStringLiteral("up/sent.bin")),
         QStringLiteral("/drop")},
        {host, QStringLiteral("ls"), QStringLiteral("/drop")},
        {host, QStringLiteral("get"), QStringLiteral("/pub/big.bin"), local.filePath(QStringLiteral("down"))},
        {host, QStringLiteral("get"), QStringLiteral("--resume"), QStringLiteral("/pub/big.bin"),
         local.filePath(QStringLiteral("part"))},
    };
    QString verbose;
    for (const QStringList &command : commands) {
        const QStringList args = QStringList{QStringLiteral("-v"), mode} + command;
        const CliResult result = runCli(args);
        QVERIFY2(result.exitCode == 0, failureText(args, result, server.log()).constData());
        QVERIFY2(result.err.contains(QLatin1String("Session > Encrypted with TLS")), describe(args, result).constData());
        verbose += result.err;
        if (command.contains(QLatin1String("ls")))
            QVERIFY2(result.out.contains(QStringLiteral("file\t%1\t").arg(big.size())), qPrintable(result.out));
    }
    QCOMPARE(server.readFile(QStringLiteral("drop/sent.bin")), big);
    QCOMPARE(readLocal(local.filePath(QStringLiteral("down/big.bin"))), big);
    QCOMPARE(readLocal(local.filePath(QStringLiteral("part/big.bin"))), big);

    const QString log = server.log();
    const int runs = int(commands.size());
    QCOMPARE(received(log, QStringLiteral("USER")), runs);
    QCOMPARE(received(log, QStringLiteral("PBSZ 0")), runs);
    QCOMPARE(received(log, QStringLiteral("PROT P")), runs);
    QCOMPARE(received(log, QStringLiteral("REST")), 1);
    QCOMPARE(received(log, QStringLiteral("AUTH TLS")), tls == FtpServerFixture::Explicit ? runs : 0);
    // Every data connection was asked for the run's way, and each one was encrypted.
    const int transfers = received(log, QStringLiteral("STOR")) + received(log, QStringLiteral("RETR"))
        + received(log, QStringLiteral("MLSD")) + received(log, QStringLiteral("LIST"));
    QVERIFY2(transfers >= runs, qPrintable(log));
    QCOMPARE(received(log, dataVerb), transfers);
    static const QRegularExpression securedData(QStringLiteral("securing SSL connection \\(<\\w*DTPHandler"));
    QVERIFY2(log.count(securedData) >= transfers, qPrintable(log));
    QVERIFY2(!log.contains(QLatin1String("SSL handshake failed")), qPrintable(log));

    // The password never shows; its line does, masked.
    QVERIFY2(!verbose.contains(QLatin1String(FtpServerFixture::Password)), qPrintable(verbose));
    QVERIFY2(verbose.contains(QLatin1String("Sent > PASS ******\n")), qPrintable(verbose));
}

void TestCliTls::vsftpdSessionReuse_data()
{
    QTest::addColumn<bool>("active");
    QTest::newRow("passive") << false;
    QTest::newRow("active (PORT/EPRT)") << true;
}

// vsftpd with force_anon_logins_ssl, force_anon_data_ssl and require_ssl_reuse: it drops a data
// connection that does not resume the control connection's TLS session, so a listing, a
// download, an upload and a resumed download that arrive whole show the session was reused.
void TestCliTls::vsftpdSessionReuse()
{
    QFETCH(bool, active);
    VsftpdFixture::Options options;
    options.tls = true;
    options.allowActive = active;
    VsftpdFixture server(options);
    if (!server.start()) {
        if (!QFileInfo(VsftpdFixture::program()).isExecutable() || ::geteuid() != 0)
            QSKIP(qPrintable(server.errorString()));
        QFAIL(qPrintable(server.errorString()));
    }
    QVERIFY(server.makeDir(QStringLiteral("drop")));
    const QByteArray big = randomBytes(768 * 1024 + 5);
    QVERIFY(server.writeFile(QStringLiteral("pub/big.bin"), big));
    QTemporaryDir local;
    QVERIFY(writeLocal(local.filePath(QStringLiteral("up/sent.bin")), big));
    QVERIFY(writeLocal(local.filePath(QStringLiteral("part/big.bin")), big.left(1000)));

    const QString mode = active ? QStringLiteral("--active") : QStringLiteral("--passive");
    const QString host = server.secureUrl();
    const QList<QStringList> commands{
        {QStringLiteral("--accept-new-cert"), host, QStringLiteral("ls"), QStringLiteral("/pub")},
        {host, QStringLiteral("get"), QStringLiteral("/pub/big.bin"), local.filePath(QStringLiteral("down"))},
        {host, QStringLiteral("put"), local.filePath(QStringLiteral("up/sent.bin")), QStringLiteral("/drop")},
        {host, QStringLiteral("get"), QStringLiteral("--resume"), QStringLiteral("/pub/big.bin"),
         local.filePath(QStringLiteral("part"))},
    };
    for (const QStringList &command : commands) {
        const QStringList args = QStringList{QStringLiteral("-v"), mode} + command;
        const CliResult result = runCli(args);
        QVERIFY2(result.exitCode == 0, failureText(args, result, server.log()).constData());
        if (command.contains(QLatin1String("ls")))
            QVERIFY2(result.out.contains(QStringLiteral("\t%1\t").arg(big.size())), qPrintable(result.out));
    }
    QCOMPARE(readLocal(local.filePath(QStringLiteral("down/big.bin"))), big);
    QCOMPARE(server.readFile(QStringLiteral("drop/sent.bin")), big);
    QCOMPARE(readLocal(local.filePath(QStringLiteral("part/big.bin"))), big);

    const QString log = server.log();
    const int runs = int(commands.size());
    QCOMPARE(vsftpdReceived(log, QStringLiteral("AUTH TLS")), runs + 1); // one is the fixture's own check
    QCOMPARE(vsftpdReceived(log, QStringLiteral("PROT P")), runs);
    QCOMPARE(vsftpdReceived(log, QStringLiteral("REST")), 1);
    const QStringList asked = active ? QStringList{QStringLiteral("PORT"), QStringLiteral("EPRT")}
                                     : QStringList{QStringLiteral("PASV"), QStringLiteral("EPSV")};
    QVERIFY2(vsftpdReceived(log, asked.at(0)) + vsftpdReceived(log, asked.at(1)) >= runs, qPrintable(log));
    QVERIFY2(!log.contains(QLatin1String("session reuse required")), qPrintable(log));
}

void TestCliTls::plainHostAndEncryption_data()
{
    QTest::addColumn<QString>("hostForm"); // "url": ftpes://; otherwise a database host's Encryption
    QTest::addColumn<bool>("loggedIn");
    QTest::newRow("ftpes:// address") << "url" << false;
    QTest::newRow("database host, Encryption=2 (required)") << "2" << false;
    QTest::newRow("database host, Encryption=1 (when offered): plain") << "1" << true;
}

// A host without TLS answers AUTH TLS with an error. Where encryption is required, the login
// fails with a message saying so, and neither the user name nor the password goes out; where it
// is only wanted when offered, the session goes on in plain text.
void TestCliTls::plainHostAndEncryption()
{
    QFETCH(QString, hostForm);
    QFETCH(bool, loggedIn);
    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QString host = server.url(QString::fromLatin1(FtpServerFixture::User)).replace(0, 3, QStringLiteral("ftpes"));
    if (hostForm != QLatin1String("url")) {
        host = QStringLiteral("Plain") + hostForm;
        CLI_RUN(made, 0, "host", host, "Address=127.0.0.1", QStringLiteral("Port=%1").arg(server.port()),
                "Username=alice", "Password=secret", "Encryption=" + hostForm);
    }
    const QStringList args{QStringLiteral("-v"), host, QStringLiteral("ls"), QStringLiteral("/")};
    const CliResult result = runCli(args);
    const QString log = server.log();
    QVERIFY2(received(log, QStringLiteral("AUTH TLS")) == 1, failureText(args, result, log).constData());
    if (loggedIn) {
        QVERIFY2(result.exitCode == 0, failureText(args, result, log).constData());
        QVERIFY2(result.err.contains(QLatin1String("The host offers no encryption; logging in without it")),
                 describe(args, result).constData());
        QCOMPARE(received(log, QStringLiteral("USER")), 1);
        return;
    }
    QVERIFY2(result.exitCode != 0, failureText(args, result, log).constData());
    QVERIFY2(result.err.contains(QLatin1String("The host refused an encrypted connection")),
             describe(args, result).constData());
    QVERIFY2(received(log, QStringLiteral("USER")) == 0, qPrintable(log));
    QVERIFY2(received(log, QStringLiteral("PASS")) == 0, qPrintable(log));
    QVERIFY2(!result.err.contains(QLatin1String("Sent > USER")), describe(args, result).constData());
    QVERIFY2(result.out.isEmpty(), describe(args, result).constData());
}

void TestCliTls::untrustedWithoutTerminal_data()
{
    QTest::addColumn<int>("tls");
    QTest::newRow("explicit") << int(FtpServerFixture::Explicit);
    QTest::newRow("implicit") << int(FtpServerFixture::Implicit);
}

// With stdin not a terminal nobody can be asked: a certificate nobody vouches for is refused,
// the run fails saying how to trust it, nothing follows the handshake (no USER, no PASS), and
// nothing is stored, so the next run is refused again.
void TestCliTls::untrustedWithoutTerminal()
{
    QFETCH(int, tls);
    FtpServerFixture server(tlsOptions(FtpServerFixture::Tls(tls), false));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeFile(QStringLiteral("a.txt"), "a"));
    QTemporaryDir local;
    const QStringList args{QStringLiteral("-v"), server.secureUrl(QString::fromLatin1(FtpServerFixture::User)),
                           QStringLiteral("get"), QStringLiteral("/a.txt"), local.path()};
    for (int run = 1; run <= 2; ++run) {
        const CliResult result = runCli(args);
        const QString log = server.log();
        QVERIFY2(result.exitCode != 0, failureText(args, result, log).constData());
        QVERIFY2(result.err.contains(QLatin1String("Refused: no terminal to ask on. Run again with --accept-new-cert")),
                 describe(args, result).constData());
        QVERIFY2(result.err.contains(QLatin1String("nothing was sent")), describe(args, result).constData());
        QVERIFY2(result.err.contains(server.certificateSha256()), describe(args, result).constData());
        QCOMPARE(received(log, QStringLiteral("AUTH TLS")), tls == FtpServerFixture::Explicit ? run : 0);
        QVERIFY2(received(log, QStringLiteral("USER")) == 0, qPrintable(log));
        QVERIFY2(received(log, QStringLiteral("PASS")) == 0, qPrintable(log));
        QVERIFY2(!result.err.contains(QLatin1String("Session > Encrypted")), describe(args, result).constData());
    }
    QVERIFY(!QFileInfo::exists(local.filePath(QStringLiteral("a.txt"))));
}

void TestCliTls::acceptedThenChanged_data()
{
    QTest::addColumn<int>("tls");
    QTest::addColumn<bool>("databaseHost"); // false: the ftpes:// or ftps:// address
    QTest::newRow("database host, explicit") << int(FtpServerFixture::Explicit) << true;
    QTest::newRow("database host, implicit") << int(FtpServerFixture::Implicit) << true;
    QTest::newRow("ftpes:// address") << int(FtpServerFixture::Explicit) << false;
    QTest::newRow("ftps:// address") << int(FtpServerFixture::Implicit) << false;
}

// --accept-new-cert trusts and stores the fingerprint (a database host shows it as CertSha256),
// so a later run without the flag logs in. Once the server presents another certificate on the
// same address and port, every run is refused with "has changed", --accept-new-cert included,
// nothing is sent after the handshake, and the stored fingerprint stays the first one.
void TestCliTls::acceptedThenChanged()
{
    QFETCH(int, tls);
    QFETCH(bool, databaseHost);
    FtpServerFixture server(tlsOptions(FtpServerFixture::Tls(tls), false));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QString first = server.certificateSha256();
    QString host = server.secureUrl(QString::fromLatin1(FtpServerFixture::User));
    const QString name = QStringLiteral("Trusted%1%2").arg(tls).arg(databaseHost);
    if (databaseHost) {
        host = name;
        CLI_RUN(made, 0, "host", name, "Address=127.0.0.1", QStringLiteral("Port=%1").arg(server.port()),
                "Username=alice", "Password=secret",
                QStringLiteral("Encryption=%1").arg(tls == FtpServerFixture::Implicit ? 3 : 2));
    }
    const auto storedFingerprint = [&] {
        const CliResult shown = runCli({QStringLiteral("host"), name});
        return hostValue(shown.out, QStringLiteral("CertSha256"));
    };
    {
        CLI_RUN(accepted, 0, "--accept-new-cert", host, "ls", "/");
        QVERIFY2(accepted.err.contains(QLatin1String("its fingerprint is stored")), qPrintable(accepted.err));
    }
    if (databaseHost)
        QCOMPARE(storedFingerprint(), first);
    {
        CLI_RUN(again, 0, host, "ls", "/");
        QVERIFY2(!again.err.contains(QLatin1String("not vouched for")), qPrintable(again.err));
    }

    const quint16 port = server.port();
    server.stop();
    QVERIFY2(server.start(port), qPrintable(server.errorString()));
    QVERIFY(server.certificateSha256() != first);
    const int usersBefore = received(server.log(), QStringLiteral("USER"));
    for (const QString &flag : {QString(), QStringLiteral("--accept-new-cert")}) {
        QStringList args{host, QStringLiteral("ls"), QStringLiteral("/")};
        if (!flag.isEmpty())
            args.prepend(flag);
        const CliResult result = runCli(args);
        QVERIFY2(result.exitCode != 0, failureText(args, result, server.log()).constData());
        QVERIFY2(result.err.contains(QLatin1String("has changed")), describe(args, result).constData());
        QVERIFY2(result.err.contains(first), describe(args, result).constData());
        QVERIFY2(result.err.contains(server.certificateSha256()), describe(args, result).constData());
        QVERIFY2(result.out.isEmpty(), describe(args, result).constData());
    }
    QCOMPARE(received(server.log(), QStringLiteral("USER")), usersBefore);
    if (databaseHost)
        QCOMPARE(storedFingerprint(), first);
}

void TestCliTls::presetFingerprint_data()
{
    QTest::addColumn<QString>("spelling"); // how CertSha256 is typed
    QTest::addColumn<bool>("matches");
    QTest::newRow("as shown: upper case with colons") << "shown" << true;
    QTest::newRow("lower case without colons") << "bare" << true;
    QTest::newRow("another certificate's") << "other" << false;
}

// A database host whose CertSha256 was typed in beforehand logs in without being asked when
// it matches, however it is spelt; when it differs, the login is refused as a changed one.
void TestCliTls::presetFingerprint()
{
    QFETCH(QString, spelling);
    QFETCH(bool, matches);
    FtpServerFixture server(tlsOptions(FtpServerFixture::Explicit));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QString preset = server.certificateSha256();
    if (spelling == QLatin1String("bare"))
        preset = preset.remove(QLatin1Char(':')).toLower();
    else if (spelling == QLatin1String("other"))
        preset = preset.left(preset.size() - 2) + (preset.endsWith(QLatin1String("00")) ? "11" : "00");
    const QString name = QStringLiteral("Preset") + spelling;
    {
        CLI_RUN(made, 0, "host", name, "Address=127.0.0.1", QStringLiteral("Port=%1").arg(server.port()),
                "Username=alice", "Password=secret", "Encryption=2", "CertSha256=" + preset);
    }
    const QStringList args{QStringLiteral("-v"), name, QStringLiteral("ls"), QStringLiteral("/")};
    const CliResult result = runCli(args);
    const QString log = server.log();
    QCOMPARE(result.exitCode == 0, matches);
    QVERIFY2(!result.err.contains(QLatin1String("not vouched for")), describe(args, result).constData());
    QVERIFY2(result.err.contains(QLatin1String("has changed")) != matches, describe(args, result).constData());
    QCOMPARE(received(log, QStringLiteral("USER")), matches ? 1 : 0);
}

void TestCliTls::stockPyftpdlibDataChannel_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("passive") << "--passive";
    QTest::newRow("active") << "--active";
}

// pyftpdlib's own TLS data channel (1.5.7) drops a data connection that starts its handshake
// before the transfer command has arrived; a client that starts it after the 150 reply (lftp
// does) lists such a host. The client here starts it at once, and the run then waits for the
// dropped connection until its timeout.
void TestCliTls::stockPyftpdlibDataChannel()
{
    QFETCH(QString, mode);
    FtpServerFixture::Options options = tlsOptions(FtpServerFixture::Explicit, false);
    options.stockDataTls = true;
    FtpServerFixture server(options);
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeFile(QStringLiteral("a.txt"), "a"));
    const QStringList args{QStringLiteral("--accept-new-cert"), QStringLiteral("--timeout"), QStringLiteral("10"), mode,
                           server.secureUrl(), QStringLiteral("ls"), QStringLiteral("/")};
    const CliResult result = runCli(args);
    QEXPECT_FAIL("", "the data connection's TLS handshake starts before the transfer command; stock pyftpdlib "
                     "drops it and the run waits until its timeout",
                 Abort);
    QVERIFY2(result.exitCode == 0 && result.out.contains(QLatin1String("\ta.txt\n")),
             failureText(args, result, server.log()).constData());
}

QTEST_GUILESS_MAIN(TestCliTls)
#include "tst_clitls.moc"
