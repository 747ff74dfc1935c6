// vemalftp-cli against a real FTP server: logging in, raw commands, hosts of the database, listings
// and the listing cache, usage errors and hosts that cannot be reached. The program runs as a real
// process; the server is pyftpdlib.

#include "CliRun.h"
#include "support/FtpServerFixture.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

// The line `ls` prints for a file of the server's root folder, from the file itself: kind, size,
// modification time in UTC (the server lists UTC times; one older than half a year shows its day
// only) and name.
QString expectedLsLine(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("missing ") + path;
    const QString kind = S_ISLNK(st.st_mode) ? QStringLiteral("link")
                         : S_ISDIR(st.st_mode) ? QStringLiteral("dir")
                                               : QStringLiteral("file");
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(st.st_mtime, Qt::UTC);
    const bool old = modified.secsTo(QDateTime::currentDateTimeUtc()) > 180 * 24 * 3600;
    const QString when = old ? modified.toString(QStringLiteral("yyyy-MM-dd 00:00"))
                             : modified.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return QStringLiteral("%1\t%2\t%3\t%4").arg(kind).arg(st.st_size).arg(when, QFileInfo(path).fileName());
}

QStringList sortedLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

bool setModified(const QString &path, const QDateTime &when)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    FtpServerFixture m_server; // shared by the tests that leave it running

    QString url(const QString &user = QString()) const { return m_server.url(user); }

private slots:
    void initTestCase();

    void loginShowsTheDialogueButNeverThePassword();
    void loginFails_data();
    void loginFails();
    void quotePrintsEveryReply();
    void quoteRefusedLineExitsOne();
    void quoteLineBreakIsAUsageError_data();
    void quoteLineBreakIsAUsageError();
    void passwordOfAnAddressIsNeverWritten();
    void hostFromTheDatabase();
    void lsPrintsOneLinePerEntry();
    void lsAnswersFromTheCacheAsThePolicyAllows_data();
    void lsAnswersFromTheCacheAsThePolicyAllows();
    void usageErrors_data();
    void usageErrors();
    void unreachableHost_data();
    void unreachableHost();
};

void TestCli::initTestCase()
{
    QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString()));
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
}

void TestCli::loginShowsTheDialogueButNeverThePassword()
{
    CLI_RUN(result, 0, "-v", url("alice"), "login");
    QVERIFY2(result.err.contains(QLatin1String("Sent > USER alice\n")), qPrintable(result.err));
    QVERIFY2(result.err.contains(QLatin1String("Received > 230")), qPrintable(result.err));
    const QRegularExpression pass(QStringLiteral("^Sent > PASS (.*)$"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch sent = pass.match(result.err);
    QVERIFY2(sent.hasMatch(), qPrintable(result.err));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\*+$")).match(sent.captured(1)).hasMatch(),
             qPrintable(sent.captured(0)));
    QVERIFY2(!result.err.contains(QLatin1String("secret")) && !result.out.contains(QLatin1String("secret")),
             qPrintable(result.err));
}

void TestCli::loginFails_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("message");
    QUrl wrong(url("alice"));
    wrong.setPassword(QStringLiteral("wrong"));
    QTest::newRow("wrong password") << wrong.toString() << QStringLiteral("Login Error: Invalid Password");
    const QString refused = QStringLiteral("ftp://127.0.0.1:%1").arg(unusedPort());
    QTest::newRow("nobody listening")
        << refused
        << QStringLiteral("Connect Error: Host is Unreachable: %1 (127.0.0.1, port %2): Connection refused")
               .arg(refused, refused.section(u':', -1));
    QTest::newRow("unknown host name")
        << QStringLiteral("ftp://no-such-host.invalid")
        << QStringLiteral("Host address could not be resolved: ftp://no-such-host.invalid (no-such-host.invalid, port 21): ");
    QTest::newRow("no such host in the database")
        << QStringLiteral("No Such Host") << QStringLiteral("Couldn't Find Host Details");
}

void TestCli::loginFails()
{
    QFETCH(QString, host);
    QFETCH(QString, message);
    CLI_RUN(result, 3, "-v", host, "login");
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY2(!result.err.contains(QLatin1String("wrong")), qPrintable(result.err));
}

void TestCli::quotePrintsEveryReply()
{
    QVERIFY(m_server.writeFile("quote/gone.txt", "x"));
    CLI_RUN(result, 0, url(), "quote", "PWD", "MKD /quote/made", "DELE /quote/gone.txt");
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(0).startsWith(QLatin1String("257 \"/\"")), qPrintable(result.out));
    QVERIFY2(lines.at(1).startsWith(QLatin1String("257 ")), qPrintable(result.out));
    QVERIFY2(lines.at(2).startsWith(QLatin1String("250 ")), qPrintable(result.out));
    QVERIFY(QFileInfo(m_server.pathOf("quote/made")).isDir());
    QVERIFY(!m_server.exists("quote/gone.txt"));
}

void TestCli::quoteRefusedLineExitsOne()
{
    CLI_RUN(result, 1, url(), "quote", "DELE /nothere", "MKD /after-refusal");
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith(QLatin1String("550 ")), qPrintable(result.out));
    // The refusal does not stop the lines after it.
    QVERIFY2(lines.at(1).startsWith(QLatin1String("257 ")), qPrintable(result.out));
    QVERIFY(m_server.exists("after-refusal"));
}

void TestCli::quoteLineBreakIsAUsageError_data()
{
    QTest::addColumn<QString>("separator");
    QTest::newRow("LF") << QStringLiteral("\n");
    QTest::newRow("CR LF") << QStringLiteral("\r\n");
    QTest::newRow("CR") << QStringLiteral("\r");
}

void TestCli::quoteLineBreakIsAUsageError()
{
    QFETCH(QString, separator);
    QVERIFY(m_server.writeFile("kept.txt", "still here"));
    CLI_RUN(result, 2, url(), "quote", "NOOP", QStringLiteral("NOOP") + separator + QStringLiteral("DELE /kept.txt"));
    QVERIFY2(result.err.contains(QLatin1String("line break")), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(m_server.readFile("kept.txt"), QByteArray("still here"));
}

// The listing cache keeps an index of host names on disk; an address's password must not end up
// there, nor anywhere else under the program's folders.
void TestCli::passwordOfAnAddressIsNeverWritten()
{
    QVERIFY(m_server.writeFile("private/sub/p.txt", "p"));
    const QString secretUrl = url("alice");
    QVERIFY(secretUrl.contains(QLatin1String(":secret@")));
    {
        CLI_RUN(listing, 0, secretUrl, "ls", "/private");
        QCOMPARE(listing.out.count(QLatin1Char('\n')), 1);
    }
    CLI_RUN(built, 0, secretUrl, "cache-build", "/private");
    int files = 0;
    QDirIterator it(m_env.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        ++files;
        QVERIFY2(!readLocal(path).contains("secret"), qPrintable(path));
    }
    QVERIFY(files > 0);
}

void TestCli::hostFromTheDatabase()
{
    QVERIFY(m_server.writeFile("dbhost/one.txt", "1"));
    QVERIFY(m_server.writeFile("dbhost/two.bin", "22"));
    {
        CLI_RUN(made, 0, "host", "Box", "Address=127.0.0.1", QStringLiteral("Port=%1").arg(m_server.port()),
                "Username=alice", "Password=secret");
    }
    {
        CLI_RUN(login, 0, "-v", "Box", "login");
        QVERIFY2(login.err.contains(QLatin1String("Sent > USER alice\n")), qPrintable(login.err));
        QVERIFY2(!login.err.contains(QLatin1String("secret")), qPrintable(login.err));
    }
    CLI_RUN(listing, 0, "Box", "ls", "/dbhost");
    QCOMPARE(sortedLines(listing.out),
             QStringList({expectedLsLine(m_server.pathOf("dbhost/one.txt")),
                          expectedLsLine(m_server.pathOf("dbhost/two.bin"))}));
}

void TestCli::lsPrintsOneLinePerEntry()
{
    QVERIFY(m_server.writeFile("fmt/old.bin", "seven b"));
    QVERIFY(setModified(m_server.pathOf("fmt/old.bin"), QDateTime(QDate(2019, 3, 4), QTime(5, 6), Qt::UTC)));
    QVERIFY(m_server.writeFile("fmt/new file.txt", "abc"));
    QVERIFY(setModified(m_server.pathOf("fmt/new file.txt"),
                        QDateTime::currentDateTimeUtc().addSecs(-2 * 3600)));
    QVERIFY(m_server.makeDir("fmt/sub"));
    QVERIFY(QFile::link(QStringLiteral("sub"), m_server.pathOf("fmt/to-sub")));

    CLI_RUN(result, 0, url(), "ls", "fmt");
    QStringList expected;
    for (const char *name : {"old.bin", "new file.txt", "sub", "to-sub"})
        expected << expectedLsLine(m_server.pathOf(QStringLiteral("fmt/") + QLatin1String(name)));
    expected.sort();
    QCOMPARE(sortedLines(result.out), expected);
    QVERIFY(result.out.contains(QLatin1String("file\t7\t2019-03-04 00:00\told.bin\n")));

    CLI_RUN(empty, 0, url(), "ls", "/fmt/sub/");
    QCOMPARE(empty.out, QString());
}

void TestCli::lsAnswersFromTheCacheAsThePolicyAllows_data()
{
    QTest::addColumn<int>("cacheType");
    QTest::addColumn<bool>("fromCache");
    QTest::newRow("0: never") << 0 << false;
    QTest::newRow("1: during this run only") << 1 << false;
    QTest::newRow("2: always") << 2 << true;
}

// A listing the cache may give is the one the host gave last, even with the server stopped;
// --refresh always asks the host.
void TestCli::lsAnswersFromTheCacheAsThePolicyAllows()
{
    QFETCH(int, cacheType);
    QFETCH(bool, fromCache);
    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeFile("d/a.txt", "aaa"));
    QVERIFY(server.makeDir("d/inner"));
    const QString host = QStringLiteral("Cached%1").arg(cacheType);
    {
        CLI_RUN(made, 0, "host", host, "Address=127.0.0.1", QStringLiteral("Port=%1").arg(server.port()),
                QStringLiteral("CacheType=%1").arg(cacheType));
    }
    CLI_RUN(first, 0, host, "ls", "/d");
    QCOMPARE(sortedLines(first.out),
             QStringList({expectedLsLine(server.pathOf("d/inner")), expectedLsLine(server.pathOf("d/a.txt"))}));

    // A file added on the host shows at once unless the listing comes from the cache.
    QVERIFY(server.writeFile("d/b.txt", "bb"));
    const QString withB = first.out + expectedLsLine(server.pathOf("d/b.txt")) + QLatin1Char('\n');
    {
        CLI_RUN(second, 0, host, "ls", "/d");
        QCOMPARE(sortedLines(second.out), sortedLines(fromCache ? first.out : withB));
        CLI_RUN(refreshed, 0, host, "ls", "--refresh", "/d");
        QCOMPARE(sortedLines(refreshed.out), sortedLines(withB));
    }

    server.stop();
    {
        CLI_RUN(offline, fromCache ? 0 : 3, host, "ls", "/d");
        QCOMPARE(sortedLines(offline.out), fromCache ? sortedLines(withB) : QStringList());
    }
    CLI_RUN(refreshed, 3, host, "ls", "--refresh", "/d");
    QCOMPARE(refreshed.out, QString());
    QVERIFY2(refreshed.err.contains(QLatin1String("Connect Error: Host is Unreachable")), qPrintable(refreshed.err));
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    const QString host = QStringLiteral("HOST");
    QTest::newRow("no arguments") << QStringList{};
    QTest::newRow("host without a command") << QStringList{host};
    QTest::newRow("unknown command") << QStringList{host, "fetch", "/a"};
    QTest::newRow("unknown option before the host") << QStringList{"-x", host, "login"};
    QTest::newRow("unknown option of a command") << QStringList{host, "get", "--bogus", "/a", "."};
    QTest::newRow("login with an argument") << QStringList{host, "login", "now"};
    QTest::newRow("quote without a line") << QStringList{host, "quote"};
    QTest::newRow("ls without a folder") << QStringList{host, "ls"};
    QTest::newRow("ls of two folders") << QStringList{host, "ls", "/a", "/b"};
    QTest::newRow("get without a local folder") << QStringList{host, "get", "/a"};
    QTest::newRow("put of a missing file") << QStringList{host, "put", "/no/such/file", "/"};
    QTest::newRow("put -r of a file") << QStringList{host, "put", "-r", VEMAL_CLI_PATH, "/"};
    QTest::newRow("rm without a file") << QStringList{host, "rm"};
    QTest::newRow("rm -r of two folders") << QStringList{host, "rm", "-r", "/a", "/b"};
    QTest::newRow("rmdir without a folder") << QStringList{host, "rmdir"};
    QTest::newRow("mkdir of two folders") << QStringList{host, "mkdir", "/a", "/b"};
    QTest::newRow("rename without a new name") << QStringList{host, "rename", "/", "a"};
    QTest::newRow("fxp without a destination folder") << QStringList{host, "fxp", "/a", host};
    QTest::newRow("find with empty text") << QStringList{host, "find", "/", ""};
    QTest::newRow("cache-build without a folder") << QStringList{host, "cache-build"};
    QTest::newRow("not an ftp address") << QStringList{"ftp://:21", "login"};
    QTest::newRow("port 0") << QStringList{"ftp://127.0.0.1:0", "ls", "/"};
    QTest::newRow("destination not an ftp address") << QStringList{host, "fxp", "/a", "ftp://:21", "/"};
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    args.replaceInStrings(QRegularExpression(QStringLiteral("^HOST$")), url());
    const CliResult result = runCli(args);
    QVERIFY2(result.exitCode == 2, describe(args, result).constData());
    QVERIFY2(result.err.contains(QLatin1String("usage")), describe(args, result).constData());
    QVERIFY(result.out.isEmpty());
}

void TestCli::unreachableHost_data()
{
    QTest::addColumn<QStringList>("args");
    // DEAD is a port nothing listens on, LIVE the running server.
    QTest::newRow("login") << QStringList{"DEAD", "login"};
    QTest::newRow("quote") << QStringList{"DEAD", "quote", "NOOP"};
    QTest::newRow("ls") << QStringList{"DEAD", "ls", "/"};
    QTest::newRow("ls --refresh") << QStringList{"DEAD", "ls", "--refresh", "/"};
    QTest::newRow("ls of a database host") << QStringList{"DEADBOX", "ls", "/"};
    QTest::newRow("get") << QStringList{"DEAD", "get", "/a.txt", "LOCAL"};
    QTest::newRow("get -r") << QStringList{"DEAD", "get", "-r", "/d", "LOCAL"};
    QTest::newRow("put") << QStringList{"DEAD", "put", "LOCAL/up.txt", "/"};
    QTest::newRow("put -r") << QStringList{"DEAD", "put", "-r", "LOCAL", "/"};
    QTest::newRow("rm") << QStringList{"DEAD", "rm", "/a.txt", "/b.txt"};
    QTest::newRow("rm -r") << QStringList{"DEAD", "rm", "-r", "/d"};
    QTest::newRow("rmdir") << QStringList{"DEAD", "rmdir", "/d"};
    QTest::newRow("mkdir") << QStringList{"DEAD", "mkdir", "/d"};
    QTest::newRow("rename") << QStringList{"DEAD", "rename", "/", "a", "b"};
    QTest::newRow("find") << QStringList{"DEAD", "find", "--subdirs", "/", "a"};
    QTest::newRow("cache-build") << QStringList{"DEAD", "cache-build", "/"};
    QTest::newRow("fxp from it") << QStringList{"DEAD", "fxp", "/a.txt", "LIVE", "/"};
    QTest::newRow("fxp to it") << QStringList{"LIVE", "fxp", "/fxp-source.txt", "DEAD", "/"};
}

void TestCli::unreachableHost()
{
    QFETCH(QStringList, args);
    QTemporaryDir local;
    QVERIFY(writeLocal(local.filePath(QStringLiteral("up.txt")), "up"));
    QVERIFY(m_server.writeFile("fxp-source.txt", "source"));
    const quint16 deadPort = unusedPort();
    const QString dead = QStringLiteral("ftp://127.0.0.1:%1").arg(deadPort);
    if (args.first() == QLatin1String("DEADBOX")) {
        CLI_RUN(made, 0, "host", "Dead Box", "Address=127.0.0.1", QStringLiteral("Port=%1").arg(deadPort),
                "CacheType=2");
        args.first() = QStringLiteral("Dead Box");
    }
    args.replaceInStrings(QRegularExpression(QStringLiteral("^DEAD$")), dead);
    args.replaceInStrings(QRegularExpression(QStringLiteral("^LIVE$")), url());
    args.replaceInStrings(QRegularExpression(QStringLiteral("^LOCAL")), local.path());
    const CliResult result = runCli(args);
    QVERIFY2(result.exitCode == 3, describe(args, result).constData());
    QVERIFY2(result.err.contains(QLatin1String("Connect Error: Host is Unreachable")),
             describe(args, result).constData());
    QVERIFY(result.out.isEmpty());
    QCOMPARE(treeSnapshot(local.path()).keys(), QStringList{"up.txt"});
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
