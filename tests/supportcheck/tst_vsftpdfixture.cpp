// Checks the vsftpd fixture: it starts, serves anonymous downloads and uploads in passive mode
// (PASV and EPSV), refuses active mode, keeps its top folder read-only while the folders the
// test makes are writable, ends its sessions on stop() and says clearly what is missing.

#include "support/RawFtpClient.h"
#include "support/VsftpdFixture.h"

#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTest>

namespace {

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size); // fixed seed: a failure repeats
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

// Logs in anonymously and switches to binary; returns the first reply that went wrong.
QString logIn(RawFtpClient &ftp, quint16 port)
{
    if (!ftp.connectTo(port))
        return QStringLiteral("connect: ") + ftp.errorString();
    const QList<QPair<QByteArray, int>> steps{
        {QByteArray(), 220}, {"USER anonymous", 331}, {"PASS guest@", 230}, {"TYPE I", 200}};
    for (const auto &[line, code] : steps) {
        const QByteArray reply = line.isEmpty() ? ftp.readReply() : ftp.command(line);
        if (RawFtpClient::code(reply) != code)
            return QString::fromLatin1(line.isEmpty() ? "greeting" : line) + QStringLiteral(": ")
                + QString::fromUtf8(reply);
    }
    return QString();
}

} // namespace

class TestVsftpdFixture : public QObject
{
    Q_OBJECT

private slots:
    void passiveTransfers_data();
    void passiveTransfers();
    void refusesActiveMode_data();
    void refusesActiveMode();
    void writableFolders();
    void stopEndsSessionsAndRestartKeepsTheRoot();
    void missingProgram();
};

void TestVsftpdFixture::passiveTransfers_data()
{
    QTest::addColumn<QByteArray>("mode");

    QTest::newRow("PASV") << QByteArray("PASV");
    QTest::newRow("EPSV") << QByteArray("EPSV");
}

void TestVsftpdFixture::passiveTransfers()
{
    QFETCH(QByteArray, mode);

    VsftpdFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.isRunning());
    QCOMPARE(server.url(), QStringLiteral("ftp://127.0.0.1:%1").arg(server.port()));
    const QByteArray download = randomBytes(300 * 1024 + 5);
    QVERIFY(server.writeFile("pub/down.bin", download));
    QVERIFY(server.makeDir("up"));

    RawFtpClient ftp;
    QString failed = logIn(ftp, server.port());
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QVERIFY2(ftp.command("PWD").startsWith("257 \"/\""), qPrintable(server.log()));

    failed = ftp.openPassive(mode, QHostAddress(QHostAddress::LocalHost));
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QCOMPARE(RawFtpClient::code(ftp.command("RETR pub/down.bin")), 150);
    QCOMPARE(ftp.receiveData(), download);
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 226);

    const QByteArray upload = randomBytes(200 * 1024);
    failed = ftp.openPassive(mode, QHostAddress(QHostAddress::LocalHost));
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QCOMPARE(RawFtpClient::code(ftp.command("STOR up/new.bin")), 150);
    QVERIFY(ftp.sendData(upload));
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 226);
    QCOMPARE(server.readFile("up/new.bin"), upload);

    failed = ftp.openPassive(mode, QHostAddress(QHostAddress::LocalHost));
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QCOMPARE(RawFtpClient::code(ftp.command("NLST up")), 150);
    QCOMPARE(ftp.receiveData().trimmed(), QByteArray("up/new.bin"));
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 226);

    // The log has the protocol and the transfers, for failure messages.
    QTRY_VERIFY2_WITH_TIMEOUT(server.log().contains(QLatin1String("STOR up/new.bin")),
                              qPrintable(server.log()), 5000);
}

void TestVsftpdFixture::refusesActiveMode_data()
{
    QTest::addColumn<bool>("extended");

    QTest::newRow("PORT") << false;
    QTest::newRow("EPRT") << true;
}

void TestVsftpdFixture::refusesActiveMode()
{
    QFETCH(bool, extended);

    VsftpdFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeFile("a.txt", "abc"));
    RawFtpClient ftp;
    const QString failed = logIn(ftp, server.port());
    QVERIFY2(failed.isEmpty(), qPrintable(failed));

    const QByteArray command = extended ? ftp.listenExtended(QHostAddress(QHostAddress::LocalHost))
                                        : ftp.listenActive();
    const QByteArray refusal = ftp.command(command);
    QVERIFY2(RawFtpClient::code(refusal) == 550, refusal.constData());
    // Nothing was set up: the transfer has no data connection to use.
    QCOMPARE(RawFtpClient::code(ftp.command("RETR a.txt")), 425);
    QVERIFY(!ftp.waitForDataConnection(200));
}

// The top folder is vsftpd's chroot and stays closed to the client; folders and files the
// helpers make are open to it, as are the folders it makes itself.
void TestVsftpdFixture::writableFolders()
{
    VsftpdFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeFile("deep/er/old.txt", "old content"));
    RawFtpClient ftp;
    const QString failed = logIn(ftp, server.port());
    QVERIFY2(failed.isEmpty(), qPrintable(failed));

    QCOMPARE(RawFtpClient::code(ftp.command("MKD top")), 550);
    QVERIFY(ftp.openPassive("EPSV", QHostAddress(QHostAddress::LocalHost)).isEmpty());
    QCOMPARE(RawFtpClient::code(ftp.command("STOR top.txt")), 553);
    QVERIFY(!server.exists("top.txt"));

    // Overwrites a file the test wrote, two folders down.
    QVERIFY(ftp.openPassive("EPSV", QHostAddress(QHostAddress::LocalHost)).isEmpty());
    QCOMPARE(RawFtpClient::code(ftp.command("STOR deep/er/old.txt")), 150);
    QVERIFY(ftp.sendData("new"));
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 226);
    QCOMPARE(server.readFile("deep/er/old.txt"), QByteArray("new"));

    QCOMPARE(RawFtpClient::code(ftp.command("MKD deep/made")), 257);
    QVERIFY(ftp.openPassive("EPSV", QHostAddress(QHostAddress::LocalHost)).isEmpty());
    QCOMPARE(RawFtpClient::code(ftp.command("STOR deep/made/x")), 150);
    QVERIFY(ftp.sendData("x"));
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 226);
    QCOMPARE(RawFtpClient::code(ftp.command("RNFR deep/made/x")), 350);
    QCOMPARE(RawFtpClient::code(ftp.command("RNTO deep/er/y")), 250);
    QCOMPARE(RawFtpClient::code(ftp.command("DELE deep/er/old.txt")), 250);
    QCOMPARE(RawFtpClient::code(ftp.command("RMD deep/made")), 250);
    QVERIFY(server.exists("deep/er/y"));
    QVERIFY(!server.exists("deep/er/old.txt"));
    QVERIFY(!server.exists("deep/made"));
    // Nothing leaves the root: a path outside it is refused by the helpers too.
    QCOMPARE(RawFtpClient::code(ftp.command("CWD ..")), 250);
    QVERIFY(ftp.command("PWD").startsWith("257 \"/\""));
    QVERIFY(!server.writeFile("../outside.txt", "x"));
    QVERIFY(!server.makeDir("../outside"));
}

void TestVsftpdFixture::stopEndsSessionsAndRestartKeepsTheRoot()
{
    VsftpdFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const quint16 port = server.port();
    RawFtpClient ftp;
    const QString failed = logIn(ftp, port);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));

    server.stop();
    QVERIFY(!server.isRunning());
    QCOMPARE(server.port(), quint16(0));
    QVERIFY(ftp.waitForClosed());
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE_WITH_TIMEOUT(probe.state(), QAbstractSocket::UnconnectedState, 5000);
    QCOMPARE(probe.error(), QAbstractSocket::ConnectionRefusedError);

    QVERIFY(server.writeFile("kept.txt", "7 bytes"));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    RawFtpClient again;
    const QString failedAgain = logIn(again, server.port());
    QVERIFY2(failedAgain.isEmpty(), qPrintable(failedAgain));
    QCOMPARE(again.command("SIZE kept.txt"), QByteArray("213 7\r\n"));
}

void TestVsftpdFixture::missingProgram()
{
    const QByteArray saved = qgetenv("VEMAL_TEST_VSFTPD");
    qputenv("VEMAL_TEST_VSFTPD", "/nonexistent/vsftpd");
    VsftpdFixture server;
    const bool started = server.start();
    if (saved.isNull())
        qunsetenv("VEMAL_TEST_VSFTPD");
    else
        qputenv("VEMAL_TEST_VSFTPD", saved);
    QVERIFY(!started);
    QVERIFY(!server.isRunning());
    QVERIFY2(server.errorString().startsWith(
                 QLatin1String("vsftpd is not installed (no /nonexistent/vsftpd)")),
             qPrintable(server.errorString()));
}

QTEST_GUILESS_MAIN(TestVsftpdFixture)
#include "tst_vsftpdfixture.moc"
