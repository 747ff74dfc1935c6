// vemalftp-cli moving and changing files: get and put of files and trees, resumed and existing
// local files, rename, mkdir, rm, rmdir, find, cache-build, host-to-host copies, and a hostile
// server that tries to make a download write outside its folder. The program runs as a real
// process against pyftpdlib (the scripted server only for the hostile listings), and the files on
// both sides are compared byte for byte.

#include "CliRun.h"
#include "support/FtpServerFixture.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestEnvironment.h"

#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QStringList lines(const QString &text)
{
    QStringList list = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    list.sort();
    return list;
}

} // namespace

class TestCliTransfer : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    FtpServerFixture m_server; // shared; each test works in folders of its own

    QString url(const QString &user = QString()) const { return m_server.url(user); }

private slots:
    void initTestCase();

    void putThenGetKeepsEveryByte_data();
    void putThenGetKeepsEveryByte();
    void putOverAnExistingFile();
    void getOverAnExistingFile_data();
    void getOverAnExistingFile();
    void getOfAMissingFile();
    void remoteChanges_data();
    void remoteChanges();
    void putTreeKeepsEveryByte();
    void getTreeLandsInTheLocalFolder_data();
    void getTreeLandsInTheLocalFolder();
    void getTreeSaysWhyAFolderCannotBeMade_data();
    void getTreeSaysWhyAFolderCannotBeMade();
    void rmTreeSparesWhatItsLinksPointAt();
    void findPrintsMatchingPaths_data();
    void findPrintsMatchingPaths();
    void walkOfARefusedFolder_data();
    void walkOfARefusedFolder();
    void cacheBuildListsEveryFolderIntoTheCache();
    void fxpCopiesBetweenHosts();
    void treeCopiesMakeEveryFolder_data();
    void treeCopiesMakeEveryFolder();
    void hostileListingWritesNothingOutsideTheFolder();
};

void TestCliTransfer::initTestCase()
{
    QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString()));
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
}

void TestCliTransfer::putThenGetKeepsEveryByte_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("binary, 300 KB") << QStringLiteral("big.bin") << randomBytes(300 * 1024);
    QTest::newRow("empty") << QStringLiteral("zero.dat") << QByteArray();
    QTest::newRow("text lines") << QStringLiteral("lines.txt") << QByteArray("one\ntwo\n\nfour\n");
    QTest::newRow("name with blanks") << QStringLiteral("my file 2.bin") << randomBytes(1000);
}

// The upload goes into folders that do not exist yet; the download comes back into another folder.
void TestCliTransfer::putThenGetKeepsEveryByte()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QTemporaryDir local;
    const QString source = local.filePath(QStringLiteral("up/") + name);
    QVERIFY(writeLocal(source, content));
    const QString remoteDir = QStringLiteral("/put/") + QLatin1String(QTest::currentDataTag()) + QStringLiteral("/b/c");

    CLI_RUN(put, 0, url(), "put", source, remoteDir);
    QVERIFY(QFileInfo(m_server.pathOf(remoteDir)).isDir());
    QCOMPARE(m_server.readFile(remoteDir + QLatin1Char('/') + name), content);
    QVERIFY(m_server.exists(remoteDir + QLatin1Char('/') + name));

    const QString down = local.filePath(QStringLiteral("down"));
    QVERIFY(QDir().mkpath(down));
    CLI_RUN(get, 0, url(), "get", remoteDir + QLatin1Char('/') + name, down);
    QCOMPARE(treeSnapshot(down).keys(), QStringList{name});
    QCOMPARE(readLocal(down + QLatin1Char('/') + name), content);
}

// A plain upload replaces the host's file; --unique leaves it and stores under a name the host
// picks, for this upload only.
void TestCliTransfer::putOverAnExistingFile()
{
    QVERIFY(m_server.writeFile("unique/f.bin", "stored"));
    QTemporaryDir local;
    const QByteArray first = randomBytes(3000);
    QVERIFY(writeLocal(local.filePath(QStringLiteral("f.bin")), first));
    {
        CLI_RUN(unique, 0, url(), "put", "--unique", local.filePath(QStringLiteral("f.bin")), "/unique");
    }
    QCOMPARE(m_server.readFile("unique/f.bin"), QByteArray("stored"));
    QStringList names = QDir(m_server.pathOf("unique")).entryList(QDir::Files);
    QCOMPARE(names.size(), 2);
    names.removeAll(QStringLiteral("f.bin"));
    QCOMPARE(m_server.readFile(QStringLiteral("unique/") + names.first()), first);
    {
        CLI_RUN(preference, 0, "config", "StoreU");
        QCOMPARE(preference.out, QStringLiteral("0\n"));
    }

    const QByteArray second = randomBytes(2000);
    QVERIFY(writeLocal(local.filePath(QStringLiteral("f.bin")), second));
    CLI_RUN(plain, 0, url(), "put", local.filePath(QStringLiteral("f.bin")), "/unique");
    QCOMPARE(m_server.readFile("unique/f.bin"), second);
    QCOMPARE(QDir(m_server.pathOf("unique")).entryList(QDir::Files).size(), 2);
}

void TestCliTransfer::getOverAnExistingFile_data()
{
    const QByteArray remote = randomBytes(100000);
    QByteArray sameSize = remote;
    sameSize[0] = char(~sameSize.at(0));
    sameSize[99999] = char(~sameSize.at(99999));

    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QByteArray>("remote");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("message");
    QTest::newRow("no option and no terminal: skipped")
        << QStringList{} << remote << QByteArray("old") << QByteArray("old") << QStringLiteral("exists; skipped");
    QTest::newRow("--skip") << QStringList{"--skip"} << remote << QByteArray("old") << QByteArray("old") << QString();
    QTest::newRow("--replace of a longer file")
        << QStringList{"--replace"} << remote << remote + remote << remote << QString();
    QTest::newRow("--resume of a partial file")
        << QStringList{"--resume"} << remote << remote.left(37000) << remote << QString();
    QTest::newRow("--resume of an empty file") << QStringList{"--resume"} << remote << QByteArray() << remote << QString();
    // Same size: the file counts as complete and is left as it is, whatever its bytes.
    QTest::newRow("--resume of a complete file")
        << QStringList{"--resume"} << remote << sameSize << sameSize << QStringLiteral("is already complete");
    QTest::newRow("--resume of a larger file") << QStringList{"--resume"} << remote << remote + "tail"
                                               << remote + "tail" << QStringLiteral("larger than the host's copy");
}

void TestCliTransfer::getOverAnExistingFile()
{
    QFETCH(QStringList, flags);
    QFETCH(QByteArray, remote);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QString, message);
    QVERIFY(m_server.writeFile("existing/file.bin", remote));
    QTemporaryDir local;
    const QString path = local.filePath(QStringLiteral("file.bin"));
    QVERIFY(writeLocal(path, before));

    CLI_RUN(result, 0, QStringList{url(), "get"} + flags + QStringList{"/existing/file.bin", local.path()});
    QCOMPARE(readLocal(path), after);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(treeSnapshot(local.path()).keys(), QStringList{"file.bin"});
}

void TestCliTransfer::getOfAMissingFile()
{
    QVERIFY(m_server.makeDir("missing"));
    QTemporaryDir local;
    CLI_RUN(result, 1, url(), "get", "/missing/nothere.bin", local.path());
    QVERIFY2(result.err.contains(QLatin1String("/missing/nothere.bin")), qPrintable(result.err));
    QVERIFY(treeSnapshot(local.path()).isEmpty());
}

void TestCliTransfer::remoteChanges_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("gone");
    QTest::addColumn<QString>("message");
    // Each case starts from ops/ holding a.txt, b.txt, c.txt, the empty folder dir and full/x.txt.
    QTest::newRow("rename") << QStringList{"rename", "/ops", "a.txt", "renamed.txt"} << 0
                            << QStringList{"renamed.txt", "b.txt"} << QStringList{"a.txt"} << QString();
    QTest::newRow("rename a folder") << QStringList{"rename", "ops", "full", "moved"} << 0
                                     << QStringList{"moved/x.txt"} << QStringList{"full"} << QString();
    QTest::newRow("rename a missing file") << QStringList{"rename", "/ops", "nothere", "x"} << 1
                                           << QStringList{"a.txt"} << QStringList{"x"}
                                           << QStringLiteral("No such file");
    QTest::newRow("mkdir") << QStringList{"mkdir", "/ops/new"} << 0 << QStringList{"new"} << QStringList{}
                           << QString();
    QTest::newRow("mkdir of an existing folder") << QStringList{"mkdir", "/ops/dir"} << 1 << QStringList{"dir"}
                                                 << QStringList{} << QStringLiteral("Error Creating Directory");
    QTest::newRow("rm of several files") << QStringList{"rm", "/ops/a.txt", "ops/b.txt"} << 0
                                         << QStringList{"c.txt"} << QStringList{"a.txt", "b.txt"} << QString();
    QTest::newRow("rm with a missing file between")
        << QStringList{"rm", "/ops/a.txt", "/ops/nothere", "/ops/c.txt"} << 1 << QStringList{"b.txt"}
        << QStringList{"a.txt", "c.txt"} << QStringLiteral("/ops/nothere");
    QTest::newRow("rmdir") << QStringList{"rmdir", "/ops/dir/"} << 0 << QStringList{"full"} << QStringList{"dir"}
                           << QString();
    QTest::newRow("rmdir of a missing folder") << QStringList{"rmdir", "/ops/nothere"} << 1 << QStringList{"dir"}
                                               << QStringList{} << QStringLiteral("/ops/nothere");
    QTest::newRow("rmdir of a folder with files") << QStringList{"rmdir", "/ops/full"} << 1
                                                  << QStringList{"full/x.txt"} << QStringList{}
                                                  << QStringLiteral("/ops/full");
}

void TestCliTransfer::remoteChanges()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, present);
    QFETCH(QStringList, gone);
    QFETCH(QString, message);
    QVERIFY(QDir(m_server.pathOf("ops")).removeRecursively());
    for (const char *name : {"a.txt", "b.txt", "c.txt", "full/x.txt"})
        QVERIFY(m_server.writeFile(QStringLiteral("ops/") + QLatin1String(name), name));
    QVERIFY(m_server.makeDir("ops/dir"));

    CLI_RUN(result, exitCode, QStringList{url()} + args);
    for (const QString &name : std::as_const(present))
        QVERIFY2(m_server.exists(QStringLiteral("ops/") + name), qPrintable(name));
    for (const QString &name : std::as_const(gone))
        QVERIFY2(!m_server.exists(QStringLiteral("ops/") + name), qPrintable(name));
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
}

void TestCliTransfer::putTreeKeepsEveryByte()
{
    QTemporaryDir local;
    const QString tree = local.filePath(QStringLiteral("tree"));
    QVERIFY(writeLocal(tree + QStringLiteral("/top.bin"), randomBytes(70000)));
    QVERIFY(writeLocal(tree + QStringLiteral("/zero.dat"), QByteArray()));
    QVERIFY(writeLocal(tree + QStringLiteral("/sub/notes.txt"), "a\nb\n"));
    QVERIFY(writeLocal(tree + QStringLiteral("/sub/deep/deeper/r.bin"), randomBytes(5000)));

    CLI_RUN(result, 0, url(), "put", "-r", tree, "/uploads/here");
    QCOMPARE(treeSnapshot(m_server.pathOf("uploads/here/tree")), treeSnapshot(tree));
    QCOMPARE(treeSnapshot(m_server.pathOf("uploads")).keys().first(), QStringLiteral("here"));
}

void TestCliTransfer::getTreeLandsInTheLocalFolder_data()
{
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("served");  // below the server's root
    QTest::addColumn<QString>("landing"); // below the local folder
    QTest::newRow("a named folder") << QStringLiteral("/tree") << QStringLiteral("tree") << QStringLiteral("tree");
    QTest::newRow("a named folder, trailing slash")
        << QStringLiteral("/tree/sub/") << QStringLiteral("tree/sub") << QStringLiteral("sub");
    QTest::newRow("the root folder") << QStringLiteral("/") << QString() << QString();
}

void TestCliTransfer::getTreeLandsInTheLocalFolder()
{
    QFETCH(QString, remote);
    QFETCH(QString, served);
    QFETCH(QString, landing);
    FtpServerFixture server; // a root of its own, so that "/" is just the tree
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeFile("tree/top.bin", randomBytes(70000)));
    QVERIFY(server.writeFile("tree/zero.dat", QByteArray()));
    QVERIFY(server.writeFile("tree/sub/notes.txt", "a\nb\n"));
    QVERIFY(server.writeFile("tree/sub/deep/deeper/r.bin", randomBytes(5000)));
    QVERIFY(server.makeDir("tree/sub/empty"));
    QVERIFY(server.makeDir("tree/empty too"));

    QTemporaryDir local;
    CLI_RUN(result, 0, server.url(), "get", "-r", remote, local.path());
    QCOMPARE(treeSnapshot(local.filePath(landing)), treeSnapshot(server.pathOf(served)));
    if (!landing.isEmpty())
        QCOMPARE(treeSnapshot(local.path()).keys().first(), landing);
}

void TestCliTransfer::getTreeSaysWhyAFolderCannotBeMade_data()
{
    QTest::addColumn<QString>("into");     // the local folder given, below the test's folder
    QTest::addColumn<QString>("blocker");  // a file there before, below the test's folder
    QTest::addColumn<QString>("message");  // the folder named, below the test's folder
    QTest::addColumn<QStringList>("landed");
    QTest::newRow("a file where an empty folder goes")
        << "in" << "in/tree/empty" << "in/tree/empty: Not a directory" << QStringList{"in/tree/a.txt"};
    QTest::newRow("the local folder is below a file")
        << "file/in" << "file" << "file/in/tree: Not a directory" << QStringList{};
}

// A local folder that cannot be made is named with the system's reason, and the command fails;
// when not even the tree's own folder can be made, nothing is fetched.
void TestCliTransfer::getTreeSaysWhyAFolderCannotBeMade()
{
    QFETCH(QString, into);
    QFETCH(QString, blocker);
    QFETCH(QString, message);
    QFETCH(QStringList, landed);
    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeFile("tree/a.txt", "a"));
    QVERIFY(server.makeDir("tree/empty"));
    QTemporaryDir local;
    QVERIFY(writeLocal(local.filePath(blocker), "in the way"));

    CLI_RUN(result, 1, server.url(), "get", "-r", "/tree", local.filePath(into));
    QVERIFY2(result.err.contains("Couldn't create the folder " + local.filePath(message)), qPrintable(result.err));
    QCOMPARE(readLocal(local.filePath(blocker)), QByteArray("in the way"));
    for (const QString &file : std::as_const(landed))
        QCOMPARE(readLocal(local.filePath(file)), QByteArray("a"));
    if (landed.isEmpty())
        QVERIFY2(!result.err.contains(QLatin1String("a.txt")), qPrintable(result.err));
}

void TestCliTransfer::rmTreeSparesWhatItsLinksPointAt()
{
    QVERIFY(m_server.writeFile("keep/k.txt", "keep me"));
    QVERIFY(m_server.writeFile("keep/deep/d.txt", "me too"));
    QVERIFY(m_server.writeFile("gone/top.txt", "t"));
    QVERIFY(m_server.writeFile("gone/zero.dat", QByteArray()));
    QVERIFY(m_server.writeFile("gone/inner/deeper/x.bin", randomBytes(100)));
    QVERIFY(m_server.makeDir("gone/inner/empty"));
    QVERIFY(QFile::link(QStringLiteral("../keep"), m_server.pathOf("gone/to-keep")));
    QVERIFY(QFile::link(m_server.pathOf("keep"), m_server.pathOf("gone/inner/to-keep-absolute")));
    const auto kept = treeSnapshot(m_server.pathOf("keep"));

    CLI_RUN(result, 0, url(), "rm", "-r", "/gone");
    QVERIFY(!QFileInfo::exists(m_server.pathOf("gone")));
    QCOMPARE(treeSnapshot(m_server.pathOf("keep")), kept);

    CLI_RUN(again, 1, url(), "rm", "-r", "/gone");
    QCOMPARE(treeSnapshot(m_server.pathOf("keep")), kept);
}

void TestCliTransfer::findPrintsMatchingPaths_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("this folder only") << QStringList{} << QStringLiteral("alpha")
                                      << QStringList{"/find/alpha.txt", "/find/alphabet/"};
    QTest::newRow("with subfolders") << QStringList{"--subdirs"} << QStringLiteral("alpha")
                                     << QStringList{"/find/alpha.txt", "/find/alphabet/", "/find/alphabet/alpha.bin",
                                                    "/find/sub/deeper/an-alpha.dat"};
    QTest::newRow("nothing matches") << QStringList{"--subdirs"} << QStringLiteral("omega") << QStringList{};
}

void TestCliTransfer::findPrintsMatchingPaths()
{
    QFETCH(QStringList, flags);
    QFETCH(QString, text);
    QFETCH(QStringList, found);
    QVERIFY(m_server.writeFile("find/alpha.txt", "a"));
    QVERIFY(m_server.writeFile("find/beta.txt", "b"));
    QVERIFY(m_server.writeFile("find/alphabet/alpha.bin", "ab"));
    QVERIFY(m_server.writeFile("find/sub/deeper/an-alpha.dat", "aa"));
    QVERIFY(m_server.writeFile("find/sub/deeper/gamma.dat", "g"));

    CLI_RUN(result, 0, QStringList{url(), "find"} + flags + QStringList{"/find", text});
    found.sort();
    QCOMPARE(lines(result.out), found);
}

void TestCliTransfer::walkOfARefusedFolder_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString missing = QStringLiteral("Error Retrieving List: No such file");
    QTest::newRow("get -r of a missing folder") << QStringList{"get", "-r", "/walk/nothere", "LOCAL"} << missing;
    QTest::newRow("get -r of a file") << QStringList{"get", "-r", "/walk/file.txt", "LOCAL"}
                                      << QStringLiteral("Error Retrieving List: Not a directory");
    QTest::newRow("find") << QStringList{"find", "/walk/nothere", "a"} << missing;
    QTest::newRow("find --subdirs") << QStringList{"find", "--subdirs", "/walk/nothere", "a"} << missing;
    QTest::newRow("cache-build") << QStringList{"cache-build", "/walk/nothere"} << missing;
    QTest::newRow("fxp -r") << QStringList{"fxp", "-r", "/walk/nothere", "HOST", "/walk/copy"} << missing;
    QTest::newRow("rm -r") << QStringList{"rm", "-r", "/walk/nothere"} << missing;
}

// The host refuses to list the folder: the command says so, exits 1 and makes nothing.
void TestCliTransfer::walkOfARefusedFolder()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QVERIFY(m_server.writeFile("walk/file.txt", "f"));
    const auto remoteBefore = treeSnapshot(m_server.pathOf("walk"));
    QTemporaryDir local;
    args.replaceInStrings(QRegularExpression(QStringLiteral("^LOCAL$")), local.path());
    args.replaceInStrings(QRegularExpression(QStringLiteral("^HOST$")), url());

    CLI_RUN(result, 1, QStringList{url()} + args);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(result.out, QString());
    QCOMPARE(treeSnapshot(local.path()), (QMap<QString, QByteArray>()));
    QCOMPARE(treeSnapshot(m_server.pathOf("walk")), remoteBefore);
}

// After cache-build every folder of the tree lists from the cache with the server gone.
void TestCliTransfer::cacheBuildListsEveryFolderIntoTheCache()
{
    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeFile("cb/a.txt", "a"));
    QVERIFY(server.writeFile("cb/sub/b.bin", "bb"));
    QVERIFY(server.writeFile("cb/sub/deep/c.dat", "ccc"));
    QVERIFY(server.makeDir("cb/sub/deep/empty"));
    {
        CLI_RUN(made, 0, "host", "Builder", "Address=127.0.0.1", QStringLiteral("Port=%1").arg(server.port()),
                "CacheType=2");
    }
    const QString cacheFolder = m_env.cacheHome() + QStringLiteral("/vemalftp");
    const QStringList before = QDir(cacheFolder).entryList({"*.FTC"}, QDir::Files);

    CLI_RUN(result, 0, "Builder", "cache-build", "/cb");
    const QStringList after = QDir(cacheFolder).entryList({"*.FTC"}, QDir::Files);
    QVERIFY2(after.contains(QLatin1String("CACHE.FTC")), qPrintable(after.join(' ')));
    QVERIFY2(after.size() - before.size() >= 4, qPrintable(after.join(' '))); // one listing a folder

    server.stop();
    const QList<std::pair<QString, QStringList>> folders{
        {"/cb", {"dir", "file"}}, {"/cb/sub", {"dir", "file"}}, {"/cb/sub/deep", {"dir", "file"}}, {"/cb/sub/deep/empty", {}}};
    for (const auto &[folder, kinds] : folders) {
        CLI_RUN(listing, 0, "Builder", "ls", folder);
        QStringList shown;
        for (const QString &line : lines(listing.out))
            shown << line.section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(shown, kinds);
    }
}

void TestCliTransfer::fxpCopiesBetweenHosts()
{
    FtpServerFixture destination;
    QVERIFY2(destination.start(), qPrintable(destination.errorString()));
    const QByteArray single = randomBytes(200000);
    QVERIFY(m_server.writeFile("fxp/single.bin", single));
    QVERIFY(m_server.writeFile("fxp/tree/top.bin", randomBytes(50000)));
    QVERIFY(m_server.writeFile("fxp/tree/zero.dat", QByteArray()));
    QVERIFY(m_server.writeFile("fxp/tree/sub/deep/r.txt", "r\nr\n"));
    QVERIFY(destination.makeDir("in"));

    {
        CLI_RUN(file, 0, url(), "fxp", "/fxp/single.bin", destination.url("alice"), "/in");
        QCOMPARE(destination.readFile("in/single.bin"), single);
    }
    CLI_RUN(tree, 0, url(), "fxp", "-r", "/fxp/tree", destination.url("alice"), "/in/copies");
    QCOMPARE(treeSnapshot(destination.pathOf("in/copies/tree")), treeSnapshot(m_server.pathOf("fxp/tree")));

    CLI_RUN(missing, 1, url(), "fxp", "/fxp/nothere.bin", destination.url("alice"), "/in");
    QVERIFY2(missing.err.contains(QLatin1String("/fxp/nothere.bin")), qPrintable(missing.err));

    QUrl refused(destination.url("alice"));
    refused.setPassword(QStringLiteral("wrong"));
    CLI_RUN(login, 3, url(), "fxp", "/fxp/single.bin", refused.toString(), "/refused");
    QVERIFY2(login.err.contains(QLatin1String("Login Error: Invalid Password")), qPrintable(login.err));
}

void TestCliTransfer::treeCopiesMakeEveryFolder_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("withFiles");
    QTest::addColumn<QStringList>("present"); // folders the destination has before the copy
    QTest::addColumn<QString>("blocker");     // a file on the destination where an empty folder goes
    for (const QString &command : {QStringLiteral("put"), QStringLiteral("fxp")}) {
        const QByteArray c = command.toLatin1();
        QTest::newRow(c + ": files, an empty folder and a chain of them")
            << command << true << QStringList() << QString();
        QTest::newRow(c + ": nothing but folders, under a destination still to make")
            << command << false << QStringList() << QString();
        QTest::newRow(c + ": the empty folders are already there")
            << command << true << QStringList{"tree/empty", "tree/chain/a"} << QString();
        QTest::newRow(c + ": a file where an empty folder goes")
            << command << true << QStringList() << QStringLiteral("tree/chain");
    }
}

// The copy holds the same folders as its source, empty ones too, and the files byte for byte.
void TestCliTransfer::treeCopiesMakeEveryFolder()
{
    QFETCH(QString, command);
    QFETCH(bool, withFiles);
    QFETCH(QStringList, present);
    QFETCH(QString, blocker);
    const QString tag = QString::number(qHash(QByteArray(QTest::currentDataTag())));
    QTemporaryDir local;
    FtpServerFixture other;
    const bool put = command == QLatin1String("put");
    if (!put)
        QVERIFY2(other.start(), qPrintable(other.errorString()));
    FtpServerFixture &destination = put ? m_server : other;
    const QString source = put ? local.filePath(QStringLiteral("tree")) : m_server.pathOf("mksrc/" + tag + "/tree");
    for (const char *folder : {"empty", "chain/a/b/c", "sub/inner"})
        QVERIFY(QDir().mkpath(source + u'/' + QLatin1String(folder)));
    if (withFiles) {
        QVERIFY(writeLocal(source + QStringLiteral("/top.bin"), randomBytes(30000)));
        QVERIFY(writeLocal(source + QStringLiteral("/sub/x.txt"), "x\n"));
    }
    const QString landing = "mk/" + tag + "/in";
    for (const QString &folder : std::as_const(present))
        QVERIFY(destination.makeDir(landing + u'/' + folder));
    if (!blocker.isEmpty())
        QVERIFY(destination.writeFile(landing + u'/' + blocker, "in the way"));

    const QStringList args = put ? QStringList{url(), "put", "-r", source, u'/' + landing}
                                 : QStringList{url(), "fxp", "-r", "/mksrc/" + tag + "/tree",
                                               destination.url("alice"), u'/' + landing};
    const CliResult result = runCli(args);
    const QByteArray shown = describe(args, result) + "\n--- server log:\n" + destination.log().toUtf8();
    if (!blocker.isEmpty()) {
        // The rest of the tree arrives; the folder that cannot be made is named.
        QVERIFY2(result.exitCode == 1, shown.constData());
        QVERIFY2(result.err.contains("/" + landing + "/tree/chain was not made"), shown.constData());
        QCOMPARE(destination.readFile(landing + u'/' + blocker), QByteArray("in the way"));
        QVERIFY(QFileInfo(destination.pathOf(landing + "/tree/empty")).isDir());
        QVERIFY(QFileInfo(destination.pathOf(landing + "/tree/sub/inner")).isDir());
        return;
    }
    QVERIFY2(result.exitCode == 0, shown.constData());
    // A folder that is there already is no failure and shows none.
    QVERIFY2(!result.err.contains(QLatin1String("Error")), shown.constData());
    QCOMPARE(treeSnapshot(destination.pathOf(landing + "/tree")), treeSnapshot(source));
}

namespace {

QByteArray listingOf(const QList<QByteArray> &entries)
{
    QByteArray listing;
    for (const QByteArray &entry : entries)
        listing += entry + "\r\n";
    return listing;
}

const QString AnyPort = QStringLiteral("PORT 127,0,0,1,\\d+,\\d+");

void expectListing(ScriptedFtpServer &server, const QString &directory, const QByteArray &listing)
{
    server.expectRegex(AnyPort, "200 PORT ok\r\n");
    server.expect(QStringLiteral("CWD ") + directory, "250 Ok\r\n");
    server.expect(QStringLiteral("TYPE A"), "200 Ok\r\n");
    server.expect(QStringLiteral("LIST"), "150 Here it comes\r\n").sendData(listing, "226 Done\r\n");
}

// Serves whatever file the client asks for next, wherever it is.
void expectAnyDownload(ScriptedFtpServer &server, const QByteArray &content)
{
    server.expectRegex(AnyPort, "200 PORT ok\r\n");
    server.expectRegex(QStringLiteral("CWD /t.*"), "250 Ok\r\n");
    server.expect(QStringLiteral("TYPE I"), "200 Ok\r\n");
    server.expectRegex(QStringLiteral("CWD /t.*"), "250 Ok\r\n");
    server.expectRegex(QStringLiteral("RETR .*"), "150 Here it comes\r\n").sendData(content, "226 Done\r\n");
}

} // namespace

// The listings hold names that the listing parser lets through but that would lead out of the
// local folder if taken as they are, names that only look like it ("..." and "C:evil" are plain
// names on Linux and are kept), and a folder whose local counterpart is already a link out of the
// folder. The server would serve any file asked for; only the harmless files may be fetched, and
// only inside.
void TestCliTransfer::hostileListingWritesNothingOutsideTheFolder()
{
    QTemporaryDir sandbox;
    const QString dest = sandbox.filePath(QStringLiteral("dest"));
    const QString outside = sandbox.filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(dest + QStringLiteral("/t")) && QDir().mkpath(outside));
    QVERIFY(QFile::link(outside, dest + QStringLiteral("/t/linked")));
    const auto homeBefore = treeSnapshot(m_env.home());

    ScriptedFtpServer server;
    QVERIFY(server.listen());
    server.expectLogin();
    server.expect(QStringLiteral("SYST"), "215 UNIX Type: L8\r\n");
    expectListing(server, QStringLiteral("/t"),
                  listingOf({"drwxr-xr-x 2 u g 4096 Jan  5  2020 ...",
                             "drwxr-xr-x 2 u g 4096 Jan  5  2020 linked",
                             "-rw-r--r-- 1 u g 5 Jan  5  2020 C:evil",
                             "-rw-r--r-- 1 u g 5 Jan  5  2020 ../up",
                             "-rw-r--r-- 1 u g 5 Jan  5  2020 ..\\up",
                             "drwxr-xr-x 2 u g 4096 Jan  5  2020 ..",
                             "drwxr-xr-x 2 u g 4096 Jan  5  2020 ."}));
    expectListing(server, QStringLiteral("/t/..."),
                  listingOf({"drwxr-xr-x 2 u g 4096 Jan  5  2020 ...", "-rw-r--r-- 1 u g 5 Jan  5  2020 y"}));
    expectListing(server, QStringLiteral("/t/linked"), listingOf({"-rw-r--r-- 1 u g 5 Jan  5  2020 escaped"}));
    expectListing(server, QStringLiteral("/t/.../..."), listingOf({"-rw-r--r-- 1 u g 5 Jan  5  2020 x"}));
    for (int file = 0; file < 4; ++file)
        expectAnyDownload(server, "EVIL!");

    const QStringList args{server.url(), "get", "-r", "/t", dest};
    const CliResult result = runCli(args, CliWait::EventLoop);
    QVERIFY2(result.exitCode == 1, describe(args, result).constData());
    QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
    QStringList fetched = server.transcript().filter(QRegularExpression(QStringLiteral("^RETR ")));
    fetched.sort();
    QCOMPARE(fetched, (QStringList{"RETR C:evil", "RETR x", "RETR y"}));
    QVERIFY2(result.err.contains(QLatin1String("/t/linked/escaped: its name cannot be used")), qPrintable(result.err));

    const QMap<QString, QByteArray> expected{{"dest", "<dir>"},
                                             {"dest/t", "<dir>"},
                                             {"dest/t/linked", "<link>"},
                                             {"dest/t/C:evil", "EVIL!"},
                                             {"dest/t/...", "<dir>"},
                                             {"dest/t/.../y", "EVIL!"},
                                             {"dest/t/.../...", "<dir>"},
                                             {"dest/t/.../.../x", "EVIL!"},
                                             {"outside", "<dir>"}};
    QCOMPARE(treeSnapshot(sandbox.path()), expected);
    QCOMPARE(treeSnapshot(m_env.home()), homeBefore);
}

QTEST_GUILESS_MAIN(TestCliTransfer)
#include "tst_clitransfer.moc"
