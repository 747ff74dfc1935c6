// Turning a selection into transfer work: local names for remote ones, exact sizes, selected-file
// items, stack lines read back by the stack, typed destinations, interrupted downloads, the
// listing of a local tree for upload, and keeping a downloaded tree inside its folder.

#include "pool/TransferPlan.h"
#include "pool/TransferStackLine.h"
#include "settings/AsciiExtensions.h"
#include "settings/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

bool writeFile(const QString &path, qsizetype size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
}

// Paths named with a problem (each problem line starts with the path).
QStringList problemPaths(const QStringList &problems, const QString &root)
{
    QStringList paths;
    for (const QString &line : problems) {
        QString path = line;
        path.remove(0, root.size() + 1);
        paths << path.left(path.indexOf(u' '));
    }
    paths.sort();
    return paths;
}

} // namespace

class TestTransferPlan : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    std::unique_ptr<StoreFixture> m_store;

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }
    void init()
    {
        m_store = std::make_unique<StoreFixture>();
        QVERIFY(!AddAsciiExtension(QStringLiteral("txt")).isEmpty());
    }
    void cleanup() { m_store.reset(); }

    void localName_data();
    void localName();
    void exactSize_data();
    void exactSize();
    void fileItem_data();
    void fileItem();
    void itemsBelowTheSourceDirectory();
    void stackLinesReadBack_data();
    void stackLinesReadBack();
    void destination_data();
    void destination();
    void continueInterrupted_data();
    void continueInterrupted();
    void localTreeListsFilesOnly();
    void localTreeOfWhatIsNoFolder_data();
    void localTreeOfWhatIsNoFolder();
    void localTreeThroughSelectedLink();
    void localTreeSkipsUnreadableFolder();
    void foldersWithoutFiles_data();
    void foldersWithoutFiles();
    void localPathInside_data();
    void localPathInside();
};

void TestTransferPlan::localName_data()
{
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("local");

    // Linux takes every name a host may send but the hostile ones: the name stays as it is.
    QTest::newRow("plain") << "readme" << "readme";
    QTest::newRow("leading dot") << ".profile" << ".profile";
    QTest::newRow("two leading dots") << "..hidden" << "..hidden";
    QTest::newRow("colon and question mark") << "a:b?.txt" << "a:b?.txt";
    QTest::newRow("characters Windows refuses") << "<a>?*|:" << "<a>?*|:";
    QTest::newRow("dots inside stay") << "v1.2.tar." << "v1.2.tar.";
    QTest::newRow("not ASCII") << QStringLiteral("caf\u00e9 \u65e5") << QStringLiteral("caf\u00e9 \u65e5");
    QTest::newRow("not UTF-8, shown as Latin-1") << QString(QStringLiteral("caf") + QChar(0xDCE9)) << QStringLiteral("caf\u00e9");
    QTest::newRow("three dots") << "..." << "...";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("dot") << "." << "";
    QTest::newRow("dot dot") << ".." << "";
    QTest::newRow("slash") << "a/b" << "";
    QTest::newRow("backslash climb") << "..\\x" << "";
    QTest::newRow("line feed") << "a\nb" << "";
    QTest::newRow("carriage return") << "a\rRMD x" << "";
    QTest::newRow("nul") << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << "";
    QTest::newRow("delete character") << "a\x7f" << "";
    // A local path with an arrow would let the host decide where a transfer-stack line splits.
    QTest::newRow("download arrow") << "a -> b.txt" << "";
    QTest::newRow("upload arrow") << "a <- b.txt" << "";
    QTest::newRow("arrow without blanks is a name") << "a->b.txt" << "a->b.txt";
}

void TestTransferPlan::localName()
{
    QFETCH(QString, remote);
    QFETCH(QString, local);
    QCOMPARE(LocalName(remote), local);
}

// Only exact byte counts are read: a size rounded for display would put progress, totals and
// resume offsets out by up to a thousand or a million bytes.
void TestTransferPlan::exactSize_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<qint64>("bytes"); // -1: the item is not read

    QTest::newRow("plain") << "1234" << qint64(1234);
    QTest::newRow("separators") << "1,234,567" << qint64(1234567);
    QTest::newRow("past 32 bits") << "5000000001" << qint64(5000000001);
    QTest::newRow("rounded to thousands") << "12k" << qint64(-1);
    QTest::newRow("rounded to thousands, upper case") << "12K" << qint64(-1);
    QTest::newRow("rounded to millions") << "3M" << qint64(-1);
    QTest::newRow("separators and a suffix") << "1,234k" << qint64(-1);
}

void TestTransferPlan::exactSize()
{
    QFETCH(QString, column);
    QFETCH(qint64, bytes);
    const auto item = ParseFileItem(QStringLiteral("f (%1)").arg(column));
    QCOMPARE(item ? item->size : -1, bytes);
}

void TestTransferPlan::fileItem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("ascii");

    QTest::newRow("binary") << "site.tar (77)" << true << "site.tar" << qint64(77) << false;
    QTest::newRow("text") << "notes.txt (1200) ASCII" << true << "notes.txt" << qint64(1200) << true;
    QTest::newRow("path below the selection") << "site/img/logo.png (5000000000)" << true
                                              << "site/img/logo.png" << qint64(5000000000) << false;
    QTest::newRow("parentheses in the name") << "copy (2) (3).txt (9) ASCII" << true << "copy (2) (3).txt"
                                             << qint64(9) << true;
    QTest::newRow("name ending in ASCII") << "ASCII (4)" << true << "ASCII" << qint64(4) << false;
    QTest::newRow("no size part") << "readme" << false << "" << qint64(0) << false;
    QTest::newRow("no name") << " (5)" << false << "" << qint64(0) << false;
    QTest::newRow("unclosed") << "readme (5" << false << "" << qint64(0) << false;
    QTest::newRow("size not a number") << "readme (dir)" << false << "" << qint64(0) << false;
    QTest::newRow("empty size") << "readme ()" << false << "" << qint64(0) << false;
    QTest::newRow("unknown mark") << "readme (5) ascii" << false << "" << qint64(0) << false;
}

void TestTransferPlan::fileItem()
{
    QFETCH(QString, text);
    QFETCH(bool, read);
    const auto item = ParseFileItem(text);
    QCOMPARE(item.has_value(), read);
    if (!read)
        return;
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(bool, ascii);
    QCOMPARE(item->name, name);
    QCOMPARE(item->size, size);
    QCOMPARE(item->ascii, ascii);
    QCOMPARE(FileItemText(item->name, item->size, item->ascii), text);
}

void TestTransferPlan::itemsBelowTheSourceDirectory()
{
    const QStringList walk{
        QStringLiteral("DIR: /pub/site/img/"),
        QStringLiteral("/pub/site/a.txt (5) ASCII"),
        QStringLiteral("/pub/site/img/logo.png (1,024)"),
        QStringLiteral("/pubs/other (3)"),
        QStringLiteral("/elsewhere/x (1)"),
        QStringLiteral("/pub/"),
    };
    const QStringList expected{QStringLiteral("site/a.txt (5) ASCII"), QStringLiteral("site/img/logo.png (1,024)")};
    QCOMPARE(ItemsBelow(walk, QStringLiteral("/pub/")), expected);
}

void TestTransferPlan::stackLinesReadBack_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("local");
    QTest::addColumn<bool>("download");
    QTest::addColumn<bool>("ascii");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("offset");

    const QString dl = QStringLiteral("C:/dl/");
    QTest::newRow("download")
        << DownloadLine("/pub/readme", "C:/dl/readme", 1200, false)
        << "/pub/readme" << "C:/dl/readme" << true << false << qint64(1200) << qint64(0);
    QTest::newRow("download text")
        << DownloadLine("/pub/notes.txt", "C:/dl/notes.txt", 10, true)
        << "/pub/notes.txt" << "C:/dl/notes.txt" << true << true << qint64(10) << qint64(0);
    QTest::newRow("upload past 32 bits")
        << UploadLine("/in/disk.img", "/home/u/disk.img", 5000000000, false)
        << "/in/disk.img" << "/home/u/disk.img" << false << false << qint64(5000000000) << qint64(0);
    QTest::newRow("resumed past 32 bits")
        << ResumedDownloadLine("/pub/big.iso", "C:/dl/big.iso", 3000000000, 4500000000, false)
        << "/pub/big.iso" << "C:/dl/big.iso" << true << false << qint64(3000000000) << qint64(4500000000);
    QTest::newRow("resumed text")
        << ResumedDownloadLine("/pub/log.txt", "C:/dl/log.txt", 5, 7, true)
        << "/pub/log.txt" << "C:/dl/log.txt" << true << true << qint64(5) << qint64(7);
    QTest::newRow("empty file")
        << DownloadLine("/pub/empty", "C:/dl/empty", 0, false)
        << "/pub/empty" << "C:/dl/empty" << true << false << qint64(0) << qint64(0);
    QTest::newRow("parentheses in both names")
        << DownloadLine("/pub/x) (y (1).txt", "C:/dl/x) (y (1).txt", 3, true)
        << "/pub/x) (y (1).txt" << "C:/dl/x) (y (1).txt" << true << true << qint64(3) << qint64(0);
    // The host's folders may hold arrows; a download's local path never does (LocalName refuses
    // such names), so the host cannot move the real arrow, not even with an absolute path after its own.
    QTest::newRow("remote folder holding an arrow")
        << DownloadLine("/pub/x -> y/f.txt", "C:/dl/f.txt", 4, true)
        << "/pub/x -> y/f.txt" << "C:/dl/f.txt" << true << true << qint64(4) << qint64(0);
    QTest::newRow("remote folders spelling a local path")
        << DownloadLine("/pub/f.txt -> /home/u/f.txt", "C:/dl/f.txt", 4, false)
        << "/pub/f.txt -> /home/u/f.txt" << "C:/dl/f.txt" << true << false << qint64(4) << qint64(0);
    // An upload keeps its name on both sides.
    QTest::newRow("local name holding arrows")
        << UploadLine("/in/a <- b -> c", "/home/u/a <- b -> c", 6, false)
        << "/in/a <- b -> c" << "/home/u/a <- b -> c" << false << false << qint64(6) << qint64(0);
}

void TestTransferPlan::stackLinesReadBack()
{
    QFETCH(QString, line);
    QFETCH(QString, remote);
    QFETCH(QString, local);
    QFETCH(bool, download);
    QFETCH(bool, ascii);
    QFETCH(qint64, size);
    QFETCH(qint64, offset);

    const auto read = TransferStackLine::parse(line);
    QVERIFY2(read, qPrintable(line));
    QCOMPARE(read->remotePath, remote);
    QCOMPARE(read->localPath, local);
    QCOMPARE(read->download, download);
    QCOMPARE(read->ascii, ascii);
    QCOMPARE(read->size, size);
    QCOMPARE(read->restartOffset, offset);
}

void TestTransferPlan::destination_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");

    const QString local = QStringLiteral("My Computer");
    QTest::newRow("local, backslashes, no drive") << local << "incoming\\sub" << "C:/incoming/sub/";
    QTest::newRow("local, lone slash") << local << "/" << "C:/";
    QTest::newRow("local, empty") << local << "" << "C:/";
    QTest::newRow("local, rooted without drive") << local << "\\work\\" << "C:/work/";
    QTest::newRow("local, drive only") << local << "d:" << "d:/";
    QTest::newRow("local, drive without slash") << local << "Z:tmp" << "Z:/tmp/";
    QTest::newRow("local, full") << local << "C:\\Users\\x" << "C:/Users/x/";
    QTest::newRow("local, trailing slash kept single") << local << "C:/x/" << "C:/x/";
    QTest::newRow("local, host name in other case") << "my computer" << "tmp" << "C:/tmp/";
    QTest::newRow("host, relative") << "box" << "pub" << "/pub/";
    QTest::newRow("host, empty") << "box" << "" << "/";
    QTest::newRow("host, backslashes") << "box" << "\\pub\\in" << "/pub/in/";
    QTest::newRow("host, a drive is just a name") << "box" << "C:/x" << "/C:/x/";
    QTest::newRow("host, already normal") << "box" << "/pub/" << "/pub/";
}

void TestTransferPlan::destination()
{
    QFETCH(QString, host);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QCOMPARE(NormaliseDestination(host, typed), stored);
}

void TestTransferPlan::continueInterrupted_data()
{
    QTest::addColumn<qint64>("local");
    QTest::addColumn<qint64>("listed");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("remaining");

    QTest::newRow("smaller") << qint64(300) << qint64(1000) << int(ResumeDecision::Resume) << qint64(300)
                             << qint64(700);
    QTest::newRow("nothing yet") << qint64(0) << qint64(1000) << int(ResumeDecision::Resume) << qint64(0)
                                 << qint64(1000);
    QTest::newRow("past 32 bits") << qint64(4294967296) << qint64(5000000000) << int(ResumeDecision::Resume)
                                  << qint64(4294967296) << qint64(705032704);
    QTest::newRow("equal") << qint64(1000) << qint64(1000) << int(ResumeDecision::AlreadyComplete)
                           << qint64(1000) << qint64(0);
    QTest::newRow("both empty") << qint64(0) << qint64(0) << int(ResumeDecision::AlreadyComplete) << qint64(0)
                                << qint64(0);
    QTest::newRow("larger") << qint64(1001) << qint64(1000) << int(ResumeDecision::LocalLarger) << qint64(1001)
                            << qint64(0);
}

void TestTransferPlan::continueInterrupted()
{
    QFETCH(qint64, local);
    QFETCH(qint64, listed);
    QFETCH(int, outcome);
    QFETCH(qint64, offset);
    QFETCH(qint64, remaining);

    const ResumeDecision decision = ContinueInterrupted(local, listed);
    QCOMPARE(int(decision.outcome), outcome);
    QCOMPARE(decision.offset, offset);
    QCOMPARE(decision.remaining, remaining);
    QVERIFY(decision.remaining >= 0);
}

// One tree with every kind of entry the walk meets.
void TestTransferPlan::localTreeListsFilesOnly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString site = dir.filePath(QStringLiteral("site"));
    QDir root(dir.path());
    for (const char *folder : {"site/empty", "site/img/z"})
        QVERIFY(root.mkpath(QLatin1String(folder)));
    QVERIFY(writeFile(site + "/a.bin", 5));
    QVERIFY(writeFile(site + "/b.txt", 3));
    QVERIFY(writeFile(site + "/.hidden", 1));
    QVERIFY(writeFile(site + "/img/logo.png", 4));
    QVERIFY(writeFile(site + "/img/z/deep.txt", 2));
    QVERIFY(writeFile(site + "/img/z/UPPER.TXT", 6));
    QVERIFY(writeFile(site + "/bad\\name", 1));
    QVERIFY(writeFile(site + "/line\nfeed", 1));
    QVERIFY(QFile::link(site, site + "/loop"));
    QVERIFY(QFile::link(QStringLiteral(".."), site + "/img/up"));
    QVERIFY(QFile::link(site + "/a.bin", site + "/filelink"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), site + "/dangling"));
    QVERIFY(root.mkpath(QStringLiteral("elsewhere")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("elsewhere/outside.txt")), 1));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere")), site + "/img/away"));
    QCOMPARE(::mkfifo(QFile::encodeName(site + "/fifo").constData(), 0600), 0);

    QStringList problems, folders;
    const QStringList items = ListLocalTree(site + "/", &problems, &folders);
    const QStringList expected{
        QStringLiteral("site/.hidden (1)"),
        QStringLiteral("site/a.bin (5)"),
        QStringLiteral("site/b.txt (3) ASCII"),
        QStringLiteral("site/filelink (5)"),
        QStringLiteral("site/img/logo.png (4)"),
        QStringLiteral("site/img/z/UPPER.TXT (6) ASCII"),
        QStringLiteral("site/img/z/deep.txt (2) ASCII"),
    };
    QCOMPARE(items, expected);

    QStringList expectedProblems{"bad\\name", "dangling", "fifo", "img/away", "img/up", "line\nfeed", "loop"};
    QCOMPARE(problemPaths(problems, site), expectedProblems);
    // Every folder, empty ones too, each after the one that holds it; links to folders are none.
    const QStringList expectedFolders{"site", "site/empty", "site/img", "site/img/z"};
    QCOMPARE(folders, expectedFolders);
    // The list is what an upload reads back.
    for (const QString &item : items)
        QVERIFY2(ParseFileItem(item), qPrintable(item));
}

void TestTransferPlan::localTreeOfWhatIsNoFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << "missing";
    QTest::newRow("a file") << "file";
    QTest::newRow("name a host cannot take") << "back\\slash";
}

void TestTransferPlan::localTreeOfWhatIsNoFolder()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("file")), 1));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("back\\slash/sub")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("back\\slash/sub/f")), 1));

    QStringList problems;
    QCOMPARE(ListLocalTree(dir.filePath(name), &problems), QStringList());
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.first().startsWith(dir.filePath(name) + u' '));
}

// The chosen folder may be a link; its files are listed under the link's name.
void TestTransferPlan::localTreeThroughSelectedLink()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("real/sub")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("real/sub/f")), 2));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("chosen"))));
    QCOMPARE(ListLocalTree(dir.filePath(QStringLiteral("chosen"))), QStringList{QStringLiteral("chosen/sub/f (2)")});
}

void TestTransferPlan::localTreeSkipsUnreadableFolder()
{
    if (::geteuid() == 0)
        QSKIP("folder permissions do not bind the superuser");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString top = dir.filePath(QStringLiteral("top"));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("top/closed")));
    QVERIFY(writeFile(top + "/closed/secret", 1));
    QVERIFY(writeFile(top + "/open", 1));
    QVERIFY(QFile::setPermissions(top + "/closed", QFileDevice::Permissions()));

    QStringList problems, folders;
    const QStringList items = ListLocalTree(top, &problems, &folders);
    QFile::setPermissions(top + "/closed", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(items, QStringList{QStringLiteral("top/open (1)")});
    QCOMPARE(problemPaths(problems, top), QStringList{QStringLiteral("closed")});
    QCOMPARE(folders, QStringList{QStringLiteral("top")}); // what could not be read is not made either
}

void TestTransferPlan::foldersWithoutFiles_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("every folder holds a file")
        << QStringList{"t", "t/a", "t/a/b"} << QStringList{"t/x", "t/a/b/y"} << QStringList{};
    QTest::newRow("an empty folder beside files")
        << QStringList{"t", "t/a", "t/e"} << QStringList{"t/a/x"} << QStringList{"t/e"};
    QTest::newRow("a chain of empty folders")
        << QStringList{"t", "t/e", "t/e/f", "t/e/f/g"} << QStringList{"t/x"} << QStringList{"t/e", "t/e/f", "t/e/f/g"};
    QTest::newRow("nothing but folders")
        << QStringList{"t", "t/e"} << QStringList{} << QStringList{"t", "t/e"};
    QTest::newRow("a name that only starts like a folder with files")
        << QStringList{"t", "t/a", "t/ab"} << QStringList{"t/a/x"} << QStringList{"t/ab"};
    QTest::newRow("children listed before their parents, and twice")
        << QStringList{"t/e/f", "t", "t/e", "t/e/f"} << QStringList{"t/x"} << QStringList{"t/e", "t/e/f"};
}

void TestTransferPlan::foldersWithoutFiles()
{
    QFETCH(QStringList, folders);
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    QCOMPARE(FoldersWithoutFiles(folders, files), expected);
}

void TestTransferPlan::localPathInside_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected"); // below the base; empty when refused

    const QString base = QStringLiteral("<base>");
    QTest::newRow("name") << base << "readme" << "readme";
    QTest::newRow("base with trailing slash") << "<base>/" << "readme" << "readme";
    QTest::newRow("tree keeps the host's names") << base << "sub/.cfg/a:b?.txt" << "sub/.cfg/a:b?.txt";
    QTest::newRow("through a link inside the base") << base << "inlink/f" << "inlink/f";
    QTest::newRow("existing file") << base << "real/present" << "real/present";
    QTest::newRow("parent") << base << "../x" << "";
    QTest::newRow("parent further in") << base << "sub/../../x" << "";
    QTest::newRow("three dots is a name") << base << "sub/.../x" << "sub/.../x";
    QTest::newRow("absolute") << base << "/etc/passwd" << "";
    QTest::newRow("empty") << base << "" << "";
    QTest::newRow("empty part") << base << "sub//x" << "";
    QTest::newRow("trailing slash") << base << "sub/" << "";
    QTest::newRow("backslash climb") << base << "..\\x" << "";
    QTest::newRow("control character") << base << "sub/a\nb" << "";
    QTest::newRow("link to a folder outside") << base << "outlink/x" << "";
    QTest::newRow("link to a file outside") << base << "filelink" << "";
    QTest::newRow("link leading nowhere") << base << "dangling" << "";
    QTest::newRow("link further in") << base << "real/deeplink/x" << "";
    QTest::newRow("relative base") << "base" << "readme" << "";
}

void TestTransferPlan::localPathInside()
{
    QFETCH(QString, base);
    QFETCH(QString, relative);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString basePath = dir.filePath(QStringLiteral("base"));
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("base/real")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("elsewhere")));
    QVERIFY(writeFile(basePath + "/real/present", 1));
    QVERIFY(writeFile(elsewhere + "/target", 1));
    QVERIFY(QFile::link(basePath + "/real", basePath + "/inlink"));
    QVERIFY(QFile::link(elsewhere, basePath + "/outlink"));
    QVERIFY(QFile::link(elsewhere + "/target", basePath + "/filelink"));
    QVERIFY(QFile::link(elsewhere + "/created-by-writing", basePath + "/dangling"));
    QVERIFY(QFile::link(QStringLiteral("../../elsewhere"), basePath + "/real/deeplink"));

    base.replace(QStringLiteral("<base>"), basePath);
    const std::optional<QString> path = LocalPathInside(base, relative);
    if (expected.isEmpty()) {
        QVERIFY2(!path, qPrintable(path.value_or(QString())));
        return;
    }
    QCOMPARE(path, std::optional<QString>(basePath + u'/' + expected));
}

QTEST_GUILESS_MAIN(TestTransferPlan)
#include "tst_transferplan.moc"
