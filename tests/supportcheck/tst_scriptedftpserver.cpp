// Checks the scripted server: it replays its table, records the transcript and reports
// mismatches, delivers reply bytes unchanged, runs the data side with PORT, EPRT, PASV and
// EPSV, and answers FEAT outside the script.

#include "support/FtpServerFixture.h"
#include "support/RawFtpClient.h"
#include "support/ScriptedFtpServer.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

// Sends PASV or EPSV (mode names which) and connects to the port the reply names, always on
// the control connection's peer, 127.0.0.1. With a reply naming another address, checks that
// nothing listens there: a client trusting that address would fail. Empty on success.
QString openPassive(RawFtpClient &ftp, const QString &mode)
{
    QHostAddress named;
    const QString failed = ftp.openPassive(mode.left(4).toLatin1(), QHostAddress(QHostAddress::LocalHost), &named);
    if (!failed.isEmpty() || named == QHostAddress(QHostAddress::LocalHost))
        return failed;
    QTcpSocket elsewhere;
    elsewhere.connectToHost(named, ftp.passivePort());
    if (elsewhere.waitForConnected(RawFtpClient::TimeoutMs))
        return QStringLiteral("something listens on %1").arg(named.toString());
    return QString();
}

} // namespace

class TestScriptedFtpServer : public QObject
{
    Q_OBJECT

private slots:
    void transcript_data();
    void transcript();
    void greetingBytes_data();
    void greetingBytes();
    void transfer_data();
    void transfer();
    void features_data();
    void features();
    void heldDataConnection_data();
    void heldDataConnection();
    void dataStepWithoutPort();
    void closeAndSequentialClients();
};

void TestScriptedFtpServer::transcript_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QString>("mismatch");
    QTest::addColumn<int>("remaining");

    QTest::newRow("in order")
        << QByteArray("USER anonymous\r\nPASS a@b\r\nTYPE I\r\nQUIT\r\n")
        << QList<int>{331, 230, 200, 221} << QString() << 0;
    QTest::newRow("bare LF ends a line too")
        << QByteArray("USER anonymous\nPASS a@b\n") << QList<int>{331, 230} << QString() << 2;
    QTest::newRow("a wrong command does not use up the step")
        << QByteArray("USER anonymous\r\nPASS x\r\nTYPE E\r\nTYPE A\r\nQUIT\r\n")
        << QList<int>{331, 230, 500, 200, 221}
        << QStringLiteral("command 3: expected \"TYPE [AI]\" (step 3), got \"TYPE E\"") << 0;
    QTest::newRow("a command after the last step")
        << QByteArray("USER anonymous\r\nPASS x\r\nTYPE I\r\nQUIT\r\nNOOP\r\n")
        << QList<int>{331, 230, 200, 221, 500}
        << QStringLiteral("command 5: \"NOOP\" after the last step") << 0;
    QTest::newRow("a prefix matches at the start only")
        << QByteArray("USER anonymous\r\nXPASS y\r\n") << QList<int>{331, 500}
        << QStringLiteral("command 2: expected \"PASS \" (step 2), got \"XPASS y\"") << 3;
    QTest::newRow("a pattern matches the whole line")
        << QByteArray("USER anonymous\r\nPASS p\r\nTYPE I 8\r\n") << QList<int>{331, 230, 500}
        << QStringLiteral("command 3: expected \"TYPE [AI]\" (step 3), got \"TYPE I 8\"") << 2;
    QTest::newRow("exact text is case-sensitive")
        << QByteArray("user anonymous\r\n") << QList<int>{500}
        << QStringLiteral("command 1: expected \"USER anonymous\" (step 1), got \"user anonymous\"") << 4;
}

void TestScriptedFtpServer::transcript()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<int>, codes);
    QFETCH(QString, mismatch);
    QFETCH(int, remaining);

    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.expect(QStringLiteral("USER anonymous"), "331 Password please\r\n");
    server.expectPrefix(QStringLiteral("PASS "), "230 In\r\n");
    server.expectRegex(QStringLiteral("TYPE [AI]"), "200 Type set\r\n");
    server.expect(QStringLiteral("QUIT"), "221 Bye\r\n");
    QSignalSpy received(&server, &ScriptedFtpServer::commandReceived);

    RawFtpClient ftp;
    QVERIFY(ftp.connectTo(server.port()));
    QCOMPARE(ftp.readReply(), QByteArray("220 Scripted\r\n"));
    ftp.sendRaw(input);
    for (int i = 0; i < codes.size(); ++i)
        QCOMPARE(RawFtpClient::code(ftp.readReply()), codes.at(i));

    QStringList lines = QString::fromUtf8(input).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.trimmed();
    QCOMPARE(server.transcript(), lines);
    QCOMPARE(received.size(), lines.size());
    QCOMPARE(received.last().at(0).toString(), lines.last());
    QCOMPARE(server.sawUnexpected(), !mismatch.isEmpty());
    QCOMPARE(server.firstMismatch(), mismatch);
    QCOMPARE(server.remainingSteps(), remaining);
    QCOMPARE(server.allStepsDone(), remaining == 0);
}

void TestScriptedFtpServer::greetingBytes_data()
{
    QTest::addColumn<QByteArray>("greeting");

    QTest::newRow("multi-line") << QByteArray("220-Welcome to\r\n220-the test\r\n220 ready\r\n");
    QTest::newRow("other codes inside a multi-line reply")
        << QByteArray("220-first\r\n 230 indented\r\n230 not the end\r\n220 ready\r\n");
    QTest::newRow("no line end") << QByteArray("220 ready");
    QTest::newRow("bare LF and 8-bit bytes") << QByteArray("220-\xff\xfe\x01 odd\n220 ok\n");
    QTest::newRow("two replies") << QByteArray("120 Wait a moment\r\n220 Ready now\r\n");
    QTest::newRow("none") << QByteArray();
}

void TestScriptedFtpServer::greetingBytes()
{
    QFETCH(QByteArray, greeting);

    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.setGreeting(greeting);
    server.expect(QStringLiteral("NOOP"), "200 ok\r\n");
    QSignalSpy connected(&server, &ScriptedFtpServer::clientConnected);

    RawFtpClient ftp;
    QVERIFY(ftp.connectTo(server.port()));
    QCOMPARE(ftp.readBytes(greeting.size()), greeting);
    // Whatever follows the greeting is the answer to our command: nothing was added to it.
    QCOMPARE(ftp.command("NOOP"), QByteArray("200 ok\r\n"));
    QCOMPARE(connected.size(), 1);
    QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
}

void TestScriptedFtpServer::transfer_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("upload");

    for (const char *mode : {"PORT", "EPRT", "EPRT over IPv6", "PASV", "EPSV", "PASV naming another address"}) {
        QTest::addRow("%s, download", mode) << QString::fromLatin1(mode) << false;
        QTest::addRow("%s, upload", mode) << QString::fromLatin1(mode) << true;
    }
}

void TestScriptedFtpServer::transfer()
{
    QFETCH(QString, mode);
    QFETCH(bool, upload);
    const QByteArray payload = pattern(400 * 1024 + 17);
    const QHostAddress local(mode.endsWith(QLatin1String("IPv6")) ? QHostAddress::LocalHostIPv6
                                                                  : QHostAddress::LocalHost);
    if (local.protocol() == QAbstractSocket::IPv6Protocol) {
        if (const QString why = FtpServerFixture::loopbackProblem(QStringLiteral("::1")); !why.isEmpty())
            QSKIP(qPrintable(why));
    }

    ScriptedFtpServer server;
    QVERIFY(server.listen());
    if (mode == QLatin1String("PASV"))
        server.expect(QStringLiteral("PASV"), "227 Entering Passive Mode ({pasv}).\r\n").openPassive();
    else if (mode == QLatin1String("EPSV"))
        server.expect(QStringLiteral("EPSV"), "229 Entering Extended Passive Mode (|||{port}|)\r\n")
            .openPassive();
    else if (mode.startsWith(QLatin1String("PASV")))
        server.expect(QStringLiteral("PASV"), "227 Entering Passive Mode (127,0,0,2,{p1p2})\r\n")
            .openPassive();
    else
        server.expectPrefix(mode.left(4) + QLatin1Char(' '), "200 ok\r\n");
    if (upload)
        server.expect(QStringLiteral("STOR f"), "150 Send it\r\n").receiveData("226 Stored\r\n");
    else
        server.expect(QStringLiteral("RETR f"), "125 Already open\r\n").sendData(payload, "226 Sent\r\n");
    QSignalSpy finished(&server, &ScriptedFtpServer::dataFinished);

    RawFtpClient ftp;
    QVERIFY(ftp.connectTo(server.port()));
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 220);
    if (mode.startsWith(QLatin1String("EPRT"))) {
        QCOMPARE(ftp.command(ftp.listenExtended(local)), QByteArray("200 ok\r\n"));
        QCOMPARE(server.dataAddress(), local);
        QCOMPARE(server.dataPort(), ftp.activePort());
    } else if (mode == QLatin1String("PORT")) {
        QCOMPARE(ftp.command(ftp.listenActive()), QByteArray("200 ok\r\n"));
        QCOMPARE(server.dataAddress(), local);
        QCOMPARE(server.dataPort(), ftp.activePort());
    } else {
        const QString opened = openPassive(ftp, mode);
        QVERIFY2(opened.isEmpty(), qPrintable(opened));
    }

    if (upload) {
        QCOMPARE(ftp.command("STOR f"), QByteArray("150 Send it\r\n"));
        QVERIFY(ftp.sendData(payload));
        QCOMPARE(ftp.readReply(), QByteArray("226 Stored\r\n"));
        QCOMPARE(server.receivedData().size(), payload.size());
        QCOMPARE(server.receivedData(), payload);
    } else {
        QCOMPARE(ftp.command("RETR f"), QByteArray("125 Already open\r\n"));
        const QByteArray data = ftp.receiveData();
        QCOMPARE(data.size(), payload.size());
        QCOMPARE(data, payload);
        QCOMPARE(ftp.readReply(), QByteArray("226 Sent\r\n"));
    }
    QCOMPARE(finished.size(), 1);
    QCOMPARE(server.dataError(), QString());
    QVERIFY(!server.isDataBusy());
    QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
    QVERIFY(server.allStepsDone());
}

// FEAT is answered at any point, before or after the login, in any case, with the features
// set, and leaves the script and the transcript alone.
void TestScriptedFtpServer::features_data()
{
    QTest::addColumn<QByteArray>("features"); // empty: the default
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("nothing offered") << QByteArray() << QByteArray("211-Features:\r\n211 End\r\n");
    QTest::newRow("offered")
        << QByteArray("211-Features:\r\n EPSV\r\n MLST type*;size*;modify*;\r\n UTF8\r\n211 End\r\n")
        << QByteArray("211-Features:\r\n EPSV\r\n MLST type*;size*;modify*;\r\n UTF8\r\n211 End\r\n");
    QTest::newRow("refused") << QByteArray("502 No FEAT here\r\n") << QByteArray("502 No FEAT here\r\n");
}

void TestScriptedFtpServer::features()
{
    QFETCH(QByteArray, features);
    QFETCH(QByteArray, expected);

    ScriptedFtpServer server;
    QVERIFY(server.listen());
    if (!features.isEmpty())
        server.setFeatures(features);
    QCOMPARE(server.features(), expected);
    server.expectLogin();
    server.expect(QStringLiteral("PWD"), "257 \"/\"\r\n");
    QSignalSpy received(&server, &ScriptedFtpServer::commandReceived);

    RawFtpClient ftp;
    QVERIFY(ftp.connectTo(server.port()));
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 220);
    QCOMPARE(ftp.command("FEAT"), expected);
    QCOMPARE(RawFtpClient::code(ftp.command("USER anonymous")), 331);
    QCOMPARE(ftp.command("feat"), expected);
    QCOMPARE(RawFtpClient::code(ftp.command("PASS a@b")), 230);
    QCOMPARE(ftp.command("FEAT"), expected);
    QCOMPARE(ftp.command("PWD"), QByteArray("257 \"/\"\r\n"));

    QCOMPARE(server.featCount(), 3);
    QCOMPARE(server.transcript(), QStringList({"USER anonymous", "PASS a@b", "PWD"}));
    QCOMPARE(received.size(), 3);
    QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
    QVERIFY(server.allStepsDone());
    // FEAT with an argument is no FEAT: it goes to the script like any other line.
    QCOMPARE(RawFtpClient::code(ftp.command("FEAT x")), 500);
    QCOMPARE(server.featCount(), 3);
    QCOMPARE(server.transcript().constLast(), QStringLiteral("FEAT x"));
}

// A held data connection: the reply after the data waits until the transfer ends, and the
// test can talk on the control connection meanwhile.
void TestScriptedFtpServer::heldDataConnection_data()
{
    QTest::addColumn<QString>("ending");

    QTest::newRow("abortData") << QStringLiteral("abortData");
    QTest::newRow("closeData") << QStringLiteral("closeData");
    QTest::newRow("the client closes the control connection") << QStringLiteral("client");
}

void TestScriptedFtpServer::heldDataConnection()
{
    QFETCH(QString, ending);

    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.expectPrefix(QStringLiteral("PORT "), "200 ok\r\n");
    server.expect(QStringLiteral("LIST"), "150 Here\r\n")
        .sendData("first part", "426 Connection closed; transfer aborted.\r\n")
        .holdDataOpen();
    QSignalSpy connected(&server, &ScriptedFtpServer::dataConnected);
    QSignalSpy finished(&server, &ScriptedFtpServer::dataFinished);

    RawFtpClient ftp;
    QVERIFY(ftp.connectTo(server.port()));
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 220);
    QCOMPARE(RawFtpClient::code(ftp.command(ftp.listenActive())), 200);
    QCOMPARE(ftp.command("LIST"), QByteArray("150 Here\r\n"));
    QCOMPARE(ftp.readData(10), QByteArray("first part"));
    QCOMPARE(connected.size(), 1);
    QVERIFY(server.isDataBusy());
    QCOMPARE(finished.size(), 0);

    server.sendRaw("100 note in between\r\n");
    QCOMPARE(ftp.readReply(), QByteArray("100 note in between\r\n"));

    if (ending == QLatin1String("client")) {
        ftp.close();
        QVERIFY(ftp.waitForDataClosed());
    } else {
        if (ending == QLatin1String("abortData"))
            server.abortData();
        else
            server.closeData();
        QVERIFY(ftp.waitForDataClosed());
        QCOMPARE(ftp.readReply(), QByteArray("426 Connection closed; transfer aborted.\r\n"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QVERIFY(!server.isDataBusy());
}

// A client that asks for data without PORT or PASV is a fault the table reports.
void TestScriptedFtpServer::dataStepWithoutPort()
{
    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.expect(QStringLiteral("LIST"), "150 Here\r\n").sendData("x", "226 Done\r\n");

    RawFtpClient ftp;
    QVERIFY(ftp.connectTo(server.port()));
    QCOMPARE(RawFtpClient::code(ftp.readReply()), 220);
    QCOMPARE(ftp.command("LIST"), QByteArray("150 Here\r\n"));
    QCOMPARE(ftp.readReply(), QByteArray("226 Done\r\n"));
    QVERIFY(server.sawUnexpected());
    QVERIFY2(server.firstMismatch().contains(QLatin1String("no PORT")), qPrintable(server.firstMismatch()));
    QVERIFY(!server.dataError().isEmpty());
}

void TestScriptedFtpServer::closeAndSequentialClients()
{
    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.expectLogin();
    server.expect(QStringLiteral("QUIT"), "221 Bye\r\n").thenClose();
    server.expectLogin(QStringLiteral("alice"));
    server.expect(QStringLiteral("NOOP"), "200 ok\r\n");
    QSignalSpy disconnected(&server, &ScriptedFtpServer::clientDisconnected);

    RawFtpClient first;
    QVERIFY(first.connectTo(server.port()));
    QCOMPARE(RawFtpClient::code(first.readReply()), 220);
    QCOMPARE(RawFtpClient::code(first.command("USER anonymous")), 331);
    QCOMPARE(RawFtpClient::code(first.command("PASS me@")), 230);
    QCOMPARE(first.command("QUIT"), QByteArray("221 Bye\r\n"));
    QVERIFY(first.waitForClosed());
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.size(), 1, 5000);
    QVERIFY(!server.isClientConnected());

    // The next client continues with the remaining steps.
    RawFtpClient second;
    QVERIFY(second.connectTo(server.port()));
    QCOMPARE(second.readReply(), QByteArray("220 Scripted\r\n"));
    QCOMPARE(RawFtpClient::code(second.command("USER alice")), 331);
    QVERIFY(server.isClientConnected());

    // A third one waits until the second is gone.
    RawFtpClient third;
    QVERIFY(third.connectTo(server.port()));
    QCOMPARE(RawFtpClient::code(second.command("PASS secret")), 230);
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(third.pending(), QByteArray());

    server.abortClient();
    QVERIFY(second.waitForClosed());
    QCOMPARE(third.readReply(), QByteArray("220 Scripted\r\n"));
    QCOMPARE(server.connectionCount(), 3);
    QCOMPARE(third.command("NOOP"), QByteArray("200 ok\r\n"));
    QCOMPARE(disconnected.size(), 2);
    QCOMPARE(server.transcript(),
             QStringList({"USER anonymous", "PASS me@", "QUIT", "USER alice", "PASS secret", "NOOP"}));
    QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
    QVERIFY(server.allStepsDone());
}

QTEST_GUILESS_MAIN(TestScriptedFtpServer)
#include "tst_scriptedftpserver.moc"
