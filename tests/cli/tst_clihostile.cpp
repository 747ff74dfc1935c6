// vemalftp-cli against hosts that misbehave: connections closed or gone silent in the middle of an
// operation, replies that cannot be read, files shorter than announced, local folders that cannot be
// made, trees too deep to walk, host-to-host copies whose destination refuses. Every case must end
// (no hang, no crash) with an exit status that tells the failure and a message that names it.

#include "CliRun.h"
#include "support/FtpServerFixture.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestEnvironment.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Listing = "-rw-r--r-- 1 u g 100000 Jan  5  2020 f.bin\r\n"
                           "drwxr-xr-x 2 u g 4096 Jan  5  2020 sub\r\n";
const QString PortPattern = QStringLiteral("PORT 127,0,0,1,\\d{1,3},\\d{1,3}");

// What `ls /dir` sends after its login, up to its LIST.
void expectListingStart(ScriptedFtpServer &server)
{
    server.expectLogin();
    server.expect(QStringLiteral("SYST"), "215 UNIX Type: L8\r\n");
    server.expectRegex(PortPattern, "200 PORT ok\r\n");
    server.expect(QStringLiteral("CWD /dir"), "250 Ok\r\n");
    server.expect(QStringLiteral("TYPE A"), "200 Ok\r\n");
}

// What `get /f.bin` sends after its login: the listing of "/" that gives the size, then the file.
void expectRootListing(ScriptedFtpServer &server)
{
    server.expectLogin();
    server.expect(QStringLiteral("SYST"), "215 UNIX Type: L8\r\n");
    server.expectRegex(PortPattern, "200 PORT ok\r\n");
    server.expect(QStringLiteral("CWD /"), "250 Ok\r\n");
    server.expect(QStringLiteral("TYPE A"), "200 Ok\r\n");
    server.expect(QStringLiteral("LIST"), "150 Here\r\n").sendData(Listing, "226 Done\r\n");
}

ScriptedFtpServer::Step &expectRetrieve(ScriptedFtpServer &server, const QByteArray &reply)
{
    server.expectRegex(PortPattern, "200 PORT ok\r\n");
    server.expect(QStringLiteral("TYPE I"), "200 Ok\r\n");
    server.expect(QStringLiteral("CWD /"), "250 Ok\r\n");
    return server.expect(QStringLiteral("RETR f.bin"), reply);
}

// The server closes the control connection once the data connection of this step is up, so the
// close comes in the middle of the transfer.
void closeWhenDataFlows(ScriptedFtpServer &server)
{
    QObject::connect(&server, &ScriptedFtpServer::dataConnected, &server, [&server] { server.closeClient(); });
}

// Writes a file whose name is given as raw bytes (which need not be UTF-8) below folder.
bool writeRawName(const QString &folder, const QByteArray &name, const QByteArray &content)
{
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && written;
}

bool rawNameExists(const QString &folder, const QByteArray &name)
{
    struct stat st;
    return ::lstat((QFile::encodeName(folder) + '/' + name).constData(), &st) == 0;
}

qint64 localSize(const QString &path)
{
    return QFileInfo(path).exists() ? QFileInfo(path).size() : -1;
}

} // namespace

class TestCliHostile : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;

    static CliResult run(const QStringList &args) { return runCli(args, CliWait::EventLoop); }

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }

    // The control connection closes, or says something unreadable and closes, while a listing
    // arrives: the command ends with a message that names what happened and the host.
    void listingCutOff_data()
    {
        QTest::addColumn<QByteArray>("listReply");
        QTest::addColumn<bool>("sendPart");
        QTest::addColumn<QString>("message");
        QTest::newRow("closed after 150 and part of the listing")
            << QByteArray("150 Here\r\n") << true << "The host closed the connection";
        QTest::newRow("garbage, then closed") << QByteArray("150 Here\r\nno code at all\r\n") << true
                                              << "The host's reply could not be read";
        QTest::newRow("closed before any reply") << QByteArray() << false << "The host closed the connection";
    }

    void listingCutOff()
    {
        QFETCH(QByteArray, listReply);
        QFETCH(bool, sendPart);
        QFETCH(QString, message);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        expectListingStart(server);
        ScriptedFtpServer::Step &list = server.expect(QStringLiteral("LIST"), listReply);
        if (sendPart) {
            list.sendData(Listing.left(30)).holdDataOpen();
            closeWhenDataFlows(server);
        } else {
            list.thenClose();
        }

        const QStringList args{server.url(), "ls", "/dir"};
        const CliResult result = run(args);
        QVERIFY2(result.exitCode == 1, describe(args, result).constData());
        QVERIFY2(result.err.contains(message + QStringLiteral(" (") + server.url()), describe(args, result).constData());
        QVERIFY(result.out.isEmpty()); // a listing cut off is no listing
    }

    // The control connection closes while a file arrives: the file fails, the part stays for a
    // resume, and the command says why.
    void downloadCutOff()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        expectRootListing(server);
        expectRetrieve(server, "150 Opening (100000 bytes)\r\n").sendData(QByteArray(40000, 'x')).holdDataOpen();
        closeWhenDataFlows(server);
        QTemporaryDir local;

        const QStringList args{server.url(), "get", "/f.bin", local.path()};
        const CliResult result = run(args);
        QVERIFY2(result.exitCode == 1, describe(args, result).constData());
        QVERIFY2(result.err.contains(QStringLiteral("The host closed the connection")), describe(args, result).constData());
        QVERIFY(localSize(local.filePath(QStringLiteral("f.bin"))) <= 40000);
    }

    // The host resets the data connection of an upload and still says 226: the file failed, and
    // the message says the data connection was reset.
    void uploadDataReset()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        server.expect(QStringLiteral("SYST"), "215 UNIX Type: L8\r\n");
        server.expectRegex(PortPattern, "200 PORT ok\r\n");
        server.expect(QStringLiteral("TYPE I"), "200 Ok\r\n");
        server.expect(QStringLiteral("CWD /"), "250 Ok\r\n");
        server.expect(QStringLiteral("STOR up.bin"), "150 Ok\r\n").receiveData("226 Stored\r\n");
        connect(&server, &ScriptedFtpServer::dataConnected, &server, [&server] { server.abortData(); });
        QTemporaryDir local;
        QVERIFY(writeLocal(local.filePath(QStringLiteral("up.bin")), QByteArray(8 << 20, 'u')));

        const QStringList args{server.url(), "put", local.filePath(QStringLiteral("up.bin")), "/"};
        const CliResult result = run(args);
        QVERIFY2(result.exitCode == 1, describe(args, result).constData());
        QVERIFY2(result.err.contains(QStringLiteral("The data connection was reset (") + server.url()),
                 describe(args, result).constData());
    }

    // Failures during the login: the host is unreachable (exit 3), and the message says why.
    void loginCutOff_data()
    {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<QByteArray>("userReply"); // empty: the server closes on USER
        QTest::addColumn<QString>("message");
        QTest::newRow("closed right after the greeting")
            << QByteArray("220 Hello\r\n") << QByteArray() << "The host closed the connection";
        QTest::newRow("greeting without a code, then closed")
            << QByteArray("Hello there\r\n") << QByteArray() << "The host's reply could not be read";
        QTest::newRow("greeting without a line end, then closed")
            << QByteArray("220 Hello") << QByteArray() << "The host's reply could not be read";
    }

    void loginCutOff()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(QByteArray, userReply);
        QFETCH(QString, message);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.setGreeting(greeting);
        if (greeting.startsWith("220 ") && greeting.endsWith("\n"))
            server.expect(QStringLiteral("USER anonymous"), userReply).thenClose();
        else
            connect(&server, &ScriptedFtpServer::clientConnected, &server, [&server] { server.closeClient(); });

        const QStringList args{server.url(), "login"};
        const CliResult result = run(args);
        QVERIFY2(result.exitCode == 3, describe(args, result).constData());
        QVERIFY2(result.err.contains(message), describe(args, result).constData());
    }

    // A host that announced the size and then sent less did not send the file, even when it says
    // 226; without an announced size a 226 after a closed data connection is the whole file.
    void shortTransfer_data()
    {
        QTest::addColumn<QByteArray>("startReply");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("announced 100000, sent 40000")
            << QByteArray("150 Opening BINARY mode data connection for f.bin (100000 bytes)\r\n") << 1
            << "Transfer incomplete: 40000 of 100000 bytes";
        QTest::newRow("125 announcing too") << QByteArray("125 Data open (100000 bytes)\r\n") << 1
                                            << "Transfer incomplete: 40000 of 100000 bytes";
        QTest::newRow("announced as sent") << QByteArray("150 Opening (40000 bytes)\r\n") << 0 << QString();
        QTest::newRow("nothing announced") << QByteArray("150 Opening\r\n") << 0 << QString();
    }

    void shortTransfer()
    {
        QFETCH(QByteArray, startReply);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        expectRootListing(server);
        expectRetrieve(server, startReply).sendData(QByteArray(40000, 'x'), "226 Transfer complete\r\n");
        QTemporaryDir local;

        const QStringList args{server.url(), "get", "--replace", "/f.bin", local.path()};
        const CliResult result = run(args);
        QVERIFY2(result.exitCode == exitCode, describe(args, result).constData());
        if (!message.isEmpty())
            QVERIFY2(result.err.contains(message), describe(args, result).constData());
        QCOMPARE(localSize(local.filePath(QStringLiteral("f.bin"))), 40000); // kept for a resume
    }

    // A host that stops answering: the operation fails after the timeout instead of waiting for
    // ever; --timeout sets it for one run.
    void silentHost_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("listingAnswered"); // false: silent from the USER line on
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("stored"); // the timeout comes from the stored value, not --timeout
        QTest::newRow("no answer to USER") << QStringList{"login"} << false << 3 << false;
        QTest::newRow("150 and never connects") << QStringList{"ls", "/dir"} << true << 1 << false;
        QTest::newRow("stored Timeout value") << QStringList{"login"} << false << 3 << true;
    }

    void silentHost()
    {
        QFETCH(QStringList, command);
        QFETCH(bool, listingAnswered);
        QFETCH(int, exitCode);
        QFETCH(bool, stored);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        if (listingAnswered) {
            expectListingStart(server);
            server.expect(QStringLiteral("LIST"), "150 Here\r\n"); // and no data connection ever
        } else {
            server.expect(QStringLiteral("USER anonymous"), QByteArray());
        }

        if (stored) {
            CLI_RUN(set, 0, "config", "Timeout", "1");
        }
        const QStringList args = (stored ? QStringList() : QStringList{"--timeout", "1"}) + QStringList{server.url()} + command;
        const CliResult result = run(args);
        if (stored) {
            CLI_RUN(reset, 0, "config", "Timeout", "120");
        }
        QVERIFY2(result.exitCode == exitCode, describe(args, result).constData());
        const QString expected = QStringLiteral("Connection timed out: no answer from %1 (127.0.0.1, port %2) for 1 s")
                                     .arg(server.url())
                                     .arg(server.port());
        QVERIFY2(result.err.contains(expected), describe(args, result).constData());
    }

    void timeoutOption_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("missing number") << QStringList{"--timeout"};
        QTest::newRow("not a number") << QStringList{"--timeout", "soon"};
        QTest::newRow("negative") << QStringList{"--timeout", "-5"};
    }

    void timeoutOption()
    {
        QFETCH(QStringList, options);
        const QStringList args = options + QStringList{"ftp://127.0.0.1:1", "login"};
        const CliResult result = runCli(args);
        QVERIFY2(result.exitCode == 2, describe(args, result).constData());
    }

    // A local folder or file that cannot be made fails that file with the system's reason; the
    // command goes on, ends with exit 1, and writes nothing elsewhere.
    void localTargetCannotBeMade_data()
    {
        QTest::addColumn<QStringList>("command"); // LOCAL: a path below a regular file
        QTest::newRow("get into a folder below a file") << QStringList{"get", "/a.txt", "LOCAL/sub"};
        QTest::newRow("get -r into a folder below a file") << QStringList{"get", "-r", "/tree", "LOCAL/sub"};
    }

    void localTargetCannotBeMade()
    {
        QFETCH(QStringList, command);
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile("a.txt", "alpha") && server.writeFile("tree/b.txt", "beta")
                && server.writeFile("tree/deeper/c.txt", "gamma"));
        QTemporaryDir local;
        const QString blocker = local.filePath(QStringLiteral("blocker"));
        QVERIFY(writeLocal(blocker, "a file where a folder should be"));
        command.replaceInStrings(QStringLiteral("LOCAL"), blocker);

        const QStringList args = QStringList{server.url()} + command;
        const CliResult result = runCli(args);
        QVERIFY2(result.exitCode == 1, describe(args, result).constData());
        QVERIFY2(result.err.contains(QStringLiteral("Not a directory")), describe(args, result).constData());
        QCOMPARE(treeSnapshot(local.path()).keys(), QStringList{"blocker"});
    }

    // A tree deeper than a walk goes is copied as far as it goes, and the copy says it is
    // incomplete with exit 1.
    void tooDeepTreeIsIncomplete()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        const QString deep = QStringLiteral("deep") + QStringLiteral("/d").repeated(66);
        QVERIFY(server.writeFile("deep/top.txt", "top") && server.writeFile(deep + QStringLiteral("/bottom.txt"), "x"));
        QTemporaryDir local;

        const QStringList args{server.url(), "get", "-r", "/deep", local.path()};
        const CliResult result = runCli(args);
        QVERIFY2(result.exitCode == 1, describe(args, result).constData());
        QVERIFY2(result.err.contains(QStringLiteral("more than 64 levels deep")), describe(args, result).constData());
        QCOMPARE(readLocal(local.filePath(QStringLiteral("deep/top.txt"))), QByteArray("top"));
    }

    // A host whose names are not UTF-8 (a Latin-1 "caf\xe9.txt"): the names are shown read as
    // Latin-1, and every command sends the host's own bytes back, so the files can be fetched,
    // renamed and deleted; the local copies take the names as shown.
    void namesThatAreNotUtf8()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(writeRawName(server.root(), "caf\xe9.txt", "latin") && server.makeDir("folder"));
        QVERIFY(writeRawName(server.root() + QStringLiteral("/folder"), "\xe0 la carte", "menu"));
        QTemporaryDir local;

        CLI_RUN(listed, 0, server.url(), "ls", "/");
        QVERIFY2(listed.out.contains(QStringLiteral("\tcafé.txt\n")), qPrintable(listed.out));

        CLI_RUN(fetched, 0, server.url(), "get", "/café.txt", local.path());
        QCOMPARE(readLocal(local.filePath(QStringLiteral("café.txt"))), QByteArray("latin"));

        CLI_RUN(tree, 0, server.url(), "get", "-r", "/folder", local.path());
        QCOMPARE(readLocal(local.filePath(QStringLiteral("folder/à la carte"))), QByteArray("menu"));

        CLI_RUN(renamed, 0, server.url(), "rename", "/", "café.txt", "coffee.txt");
        QVERIFY(!rawNameExists(server.root(), "caf\xe9.txt"));
        QCOMPARE(server.readFile(QStringLiteral("coffee.txt")), QByteArray("latin"));

        CLI_RUN(removed, 0, server.url(), "rm", "-r", "/folder");
        QVERIFY(!server.exists(QStringLiteral("folder")));
    }

    // A host-to-host copy whose destination folder cannot be made ends that file with a message
    // and goes on; the copy ends with exit 1 instead of waiting for ever.
    void hostToHostDestinationRefused()
    {
        FtpServerFixture source, destination;
        QVERIFY2(source.start(), qPrintable(source.errorString()));
        QVERIFY2(destination.start(), qPrintable(destination.errorString()));
        QVERIFY(source.writeFile("tree/a.txt", "alpha") && source.writeFile("tree/b.txt", "beta"));
        QVERIFY(destination.writeFile("blocker", "a file where a folder should be"));

        const QStringList args{source.url(), "fxp", "-r", "/tree", destination.url(), "/blocker/in"};
        const CliResult result = runCli(args);
        QVERIFY2(result.exitCode == 1, describe(args, result).constData());
        QVERIFY2(result.err.contains(QStringLiteral("/tree/a.txt: ")) && result.err.contains(QStringLiteral("/tree/b.txt: ")),
                 describe(args, result).constData());
    }
};

QTEST_GUILESS_MAIN(TestCliHostile)
#include "tst_clihostile.moc"
