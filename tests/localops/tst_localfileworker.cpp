// The local copy and delete worker on real folders: what a copy makes and a delete leaves, links
// never followed, folders removed deepest first, the overwrite question, stopping, refusals and
// failures with the system's reasons.

#include "LocalTreeFixture.h"

#include "localops/LocalFileWorker.h"

#include <QRandomGenerator>
#include <QTest>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>

using localtest::LocalTreeFixture;
using Action = LocalFailure::Action;
using Label = LocalFileWorker::Label;

Q_DECLARE_METATYPE(LocalFailure)

namespace {

constexpr int Bound = 20000; // ms: the longest any run here may take

// One run of a worker on the test's thread: answers questions, records progress.
class WorkerRun
{
public:
    WorkerRun(const QStringList &names, const QString &source, const QString &dest) : worker(names, source, dest)
    {
        QObject::connect(&worker, &LocalFileWorker::overwriteQuestion, &context, [this](const QString &path) {
            questions << path;
            if (onQuestion)
                onQuestion();
            else
                worker.answerOverwrite(!answers.isEmpty() && answers.takeFirst());
        });
        QObject::connect(&worker, &LocalFileWorker::progressChanged, &context,
                         [this] { progress << worker.takeProgress(); });
        QObject::connect(&worker, &QThread::finished, &context, [this] { ended = true; });
    }

    // Starts the worker and waits (bounded) for its end.
    bool go()
    {
        worker.start();
        if (!QTest::qWaitFor([this] { return ended; }, Bound))
            return false;
        worker.wait();
        return true;
    }

    LocalFileWorker worker;
    QList<bool> answers; // yes or no, in the order asked
    std::function<void()> onQuestion; // instead of answers
    QStringList questions;
    QList<LocalFileWorker::Progress> progress;
    bool ended = false;

private:
    QObject context; // receives on this thread; goes before the worker
};

// Failures as "action path: reason" with paths relative to root, for comparing.
QStringList described(const QList<LocalFailure> &failures, const QString &root)
{
    static const char *const names[] = {"read", "copy", "create", "delete", "remove", "into itself", "onto itself"};
    QStringList lines;
    for (const LocalFailure &failure : failures) {
        QString path = failure.path;
        if (path.startsWith(root + u'/'))
            path = path.mid(root.size() + 1);
        lines << QStringLiteral("%1 %2: %3").arg(QLatin1String(names[int(failure.action)]), path, failure.reason);
    }
    return lines;
}

QStringList prefixed(const QString &prefix, const QStringList &lines)
{
    QStringList out;
    for (const QString &line : lines)
        out << line.left(2) + prefix + line.mid(2);
    return out;
}

// The tree of a source used by several tests: every kind of entry a copy must keep.
const QStringList Outside{"f outside/secret.txt=keep", "d outside/inner", "f outside/inner/deep.txt=keep too"};

} // namespace

class TestLocalFileWorker : public QObject
{
    Q_OBJECT
private slots:
    // Copying everything of a folder gives the same tree at the destination, and what links
    // point to outside the selection stays as it was.
    void copyKeepsTree_data()
    {
        QTest::addColumn<QStringList>("source");

        QTest::newRow("files and hidden files") << QStringList{"f a.txt=alpha", "f .hidden=h", "f b.txt=beta"};
        QTest::newRow("nested folders with hidden ones")
            << QStringList{"f top/one.txt=1", "f top/mid/two.txt=2", "f top/mid/.dot/three=3", "f top/mid/low/four=4"};
        QTest::newRow("empty folders are made too")
            << QStringList{"d empty", "d tree/emptier", "d tree/full/emptiest", "f tree/full/x=x"};
        QTest::newRow("empty file") << QStringList{"f zero=", "f one=1"};
        QTest::newRow("link to a file is copied as a link") << QStringList{"f a.txt=alpha", "l toA->a.txt"};
        QTest::newRow("links to a folder outside are copied as links")
            << QStringList{"l toOutside->../../outside", "l absolute->$ROOT/outside", "f sub/x=x",
                           "l sub/far->../../../outside/inner"};
        QTest::newRow("link loop") << QStringList{"l loopA->loopB", "l loopB->loopA", "f x=x"};
        QTest::newRow("link to its own folder")
            << QStringList{"f folder/x=x", "l folder/up->..", "l folder/self->."};
        QTest::newRow("dangling link") << QStringList{"l nowhere->missing/file"};
    }

    void copyKeepsTree()
    {
        QFETCH(QStringList, source);
        LocalTreeFixture fixture;
        QVERIFY(fixture.make(Outside) && fixture.make(prefixed("src/sel/", source)) && fixture.make({"d dst"}));
        const QStringList outsideBefore = fixture.treeOf("outside");

        WorkerRun run({"sel"}, fixture.folder("src"), fixture.folder("dst"));
        QVERIFY(run.go());

        QCOMPARE(described(run.worker.failures(), fixture.root()), QStringList());
        QCOMPARE(fixture.treeOf("dst/sel"), fixture.treeOf("src/sel"));
        QCOMPARE(fixture.treeOf("outside"), outsideBefore);
        QVERIFY(run.questions.isEmpty());
    }

    // Each selected entry is copied, files and links and folders alike; others are not.
    void copyTakesSelectionOnly()
    {
        LocalTreeFixture fixture;
        QVERIFY(fixture.make({"f src/a=a", "f src/b=b", "l src/c->a", "f src/d/e=e", "f src/f/g=g", "d dst"}));
        WorkerRun run({"a", "c", "d", "gone"}, fixture.folder("src"), fixture.folder("dst"));
        QVERIFY(run.go());
        QCOMPARE(described(run.worker.failures(), fixture.root()), QStringList());
        QCOMPARE(fixture.treeOf("dst"), (QStringList{"d d", "f a=a", "f d/e=e", "l c->a"}));
    }

    // Data of several blocks comes over whole; permission bits and the time of the last change
    // are kept, of a read-only folder too.
    void copyKeepsDataModesAndTimes()
    {
        LocalTreeFixture fixture;
        QVERIFY(fixture.make({"f src/run.sh=#!/bin/sh", "f src/ro/inner.txt=i", "d dst"}));
        QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(big.data()), big.size() / 4);
        QFile bigFile(fixture.path("src/big.bin"));
        QVERIFY(bigFile.open(QIODevice::WriteOnly) && bigFile.write(big) == big.size());
        bigFile.close();
        const QByteArray runSh = QFile::encodeName(fixture.path("src/run.sh"));
        const QByteArray ro = QFile::encodeName(fixture.path("src/ro"));
        QCOMPARE(::chmod(runSh.constData(), 0751), 0);
        const struct timespec old[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, runSh.constData(), old, 0), 0);
        QCOMPARE(::chmod(ro.constData(), 0555), 0);

        WorkerRun run({"run.sh", "ro", "big.bin"}, fixture.folder("src"), fixture.folder("dst"));
        QVERIFY(run.go());
        ::chmod(ro.constData(), 0755);

        QCOMPARE(described(run.worker.failures(), fixture.root()), QStringList());
        QFile copied(fixture.path("dst/big.bin"));
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QVERIFY(copied.readAll() == big);
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(fixture.path("dst/run.sh")).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0751u);
        QCOMPARE(qint64(info.st_mtim.tv_sec), qint64(1'000'000'000));
        QCOMPARE(::stat(QFile::encodeName(fixture.path("dst/ro")).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0555u);
        ::chmod(QFile::encodeName(fixture.path("dst/ro")).constData(), 0755);
        QCOMPARE(fixture.treeOf("dst/ro"), QStringList{"f inner.txt=i"});
    }

    // A destination entry is replaced only after Yes; the question names the destination path.
    void overwriteAsks_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QStringList>("asked");    // relative to the root
        QTest::addColumn<QStringList>("expected"); // the tree of dst

        const QStringList twoFiles{"f src/a=new a", "f src/b=new b", "f src/c=new c", "f dst/a=old a", "f dst/b=old b"};
        QTest::newRow("yes replaces") << twoFiles << QList<bool>{true, true} << QStringList{"dst/a", "dst/b"}
                                      << QStringList{"f a=new a", "f b=new b", "f c=new c"};
        QTest::newRow("no keeps") << twoFiles << QList<bool>{false, false} << QStringList{"dst/a", "dst/b"}
                                  << QStringList{"f a=old a", "f b=old b", "f c=new c"};
        QTest::newRow("yes then no") << twoFiles << QList<bool>{true, false} << QStringList{"dst/a", "dst/b"}
                                     << QStringList{"f a=new a", "f b=old b", "f c=new c"};
        QTest::newRow("a link there is replaced, not written through")
            << (QStringList{"f src/a=new a", "f outside/target=keep", "l dst/a->../outside/target"})
            << QList<bool>{true} << QStringList{"dst/a"} << QStringList{"f a=new a"};
        QTest::newRow("a link over a file, after yes")
            << (QStringList{"l src/a->elsewhere", "f dst/a=old"}) << QList<bool>{true} << QStringList{"dst/a"}
            << QStringList{"l a->elsewhere"};
        QTest::newRow("a link over a file, after no")
            << (QStringList{"l src/a->elsewhere", "f dst/a=old"}) << QList<bool>{false} << QStringList{"dst/a"}
            << QStringList{"f a=old"};
        QTest::newRow("into a folder that is there")
            << (QStringList{"f src/d/x=new x", "f src/d/y=new y", "f dst/d/x=old x", "f dst/d/z=z"})
            << QList<bool>{false} << QStringList{"dst/d/x"}
            << QStringList{"d d", "f d/x=old x", "f d/y=new y", "f d/z=z"};
    }

    void overwriteAsks()
    {
        QFETCH(QStringList, entries);
        QFETCH(QList<bool>, answers);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, expected);
        LocalTreeFixture fixture;
        QVERIFY(fixture.make(entries) && fixture.make({"d dst"}));
        const QStringList outsideBefore = fixture.treeOf("outside");
        QStringList names = QDir(fixture.path("src")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);

        WorkerRun run(names, fixture.folder("src"), fixture.folder("dst"));
        run.answers = answers;
        QVERIFY(run.go());

        QCOMPARE(described(run.worker.failures(), fixture.root()), QStringList());
        QStringList askedPaths;
        for (const QString &relative : asked)
            askedPaths << fixture.path(relative);
        QCOMPARE(run.questions, askedPaths);
        QCOMPARE(fixture.treeOf("dst"), expected);
        QCOMPARE(fixture.treeOf("outside"), outsideBefore);
    }

    // A stop while the question is open counts as No and ends the copy before the next file;
    // a late Yes changes nothing.
    void stopWhileAsked_data()
    {
        QTest::addColumn<bool>("lateYes");
        QTest::newRow("stop, no answer") << false;
        QTest::newRow("stop, then yes") << true;
    }

    void stopWhileAsked()
    {
        QFETCH(bool, lateYes);
        LocalTreeFixture fixture;
        QStringList entries{"f dst/f10=old"};
        for (int i = 0; i < 20; ++i)
            entries << QStringLiteral("f src/f%1=new").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(fixture.make(entries));
        QStringList names = QDir(fixture.path("src")).entryList(QDir::Files);

        WorkerRun run(names, fixture.folder("src"), fixture.folder("dst"));
        run.onQuestion = [&] {
            run.worker.requestStop();
            if (lateYes)
                run.worker.answerOverwrite(true);
        };
        QVERIFY(run.go());

        QStringList expected;
        for (int i = 0; i < 10; ++i)
            expected << QStringLiteral("f f%1=new").arg(i, 2, 10, QLatin1Char('0'));
        expected << "f f10=old";
        QCOMPARE(fixture.treeOf("dst"), expected);
        QCOMPARE(run.questions.size(), 1);
        QVERIFY(run.worker.failures().isEmpty());
    }

    // A stop before the work starts does nothing at all.
    void stopBeforeStart_data()
    {
        QTest::addColumn<bool>("copying");
        QTest::newRow("copy") << true;
        QTest::newRow("delete") << false;
    }

    void stopBeforeStart()
    {
        QFETCH(bool, copying);
        LocalTreeFixture fixture;
        QVERIFY(fixture.make({"f src/a=a", "f src/d/b=b", "d dst"}));
        const QStringList before = fixture.treeOf();
        WorkerRun run({"a", "d"}, fixture.folder("src"), copying ? fixture.folder("dst") : QString());
        run.worker.requestStop();
        QVERIFY(run.go());
        QCOMPARE(fixture.treeOf(), before);
    }

    // A delete takes the selection and all below it, links as links, folders deepest first;
    // what lies outside the selection stays, whatever links point there.
    void deleteRemoves_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("left"); // the tree of src afterwards

        QTest::newRow("files and hidden files")
            << QStringList{"f src/a=a", "f src/.h=h", "f src/keep=k"} << QStringList{"a", ".h"} << QStringList{"f keep=k"};
        QTest::newRow("deep folders go deepest first")
            << QStringList{"f src/t/1=1", "f src/t/a/2=2", "d src/t/a/b/c/d/e", "f src/t/a/b/c/3=3", "d src/t/z/y",
                           "d src/t/.x/w"}
            << QStringList{"t"} << QStringList{};
        QTest::newRow("empty folders") << QStringList{"d src/e", "d src/f/g"} << QStringList{"e", "f"} << QStringList{};
        QTest::newRow("a link to a folder outside goes as a link")
            << QStringList{"l src/toOutside->../outside", "l src/abs->$ROOT/outside/inner"}
            << QStringList{"toOutside", "abs"} << QStringList{};
        QTest::newRow("links to outside inside a selected folder")
            << QStringList{"f src/sel/x=x", "l src/sel/far->../../outside", "l src/sel/sub/deep->../../../outside/inner"}
            << QStringList{"sel"} << QStringList{};
        QTest::newRow("link loop and a link up")
            << QStringList{"l src/d/loopA->loopB", "l src/d/loopB->loopA", "l src/d/up->..", "f src/other=o"}
            << QStringList{"d"} << QStringList{"f other=o"};
        QTest::newRow("a fifo goes like a file") << QStringList{"p src/d/pipe"} << QStringList{"d"} << QStringList{};
        QTest::newRow("a name that is gone is passed over")
            << QStringList{"f src/a=a"} << QStringList{"gone", "a"} << QStringList{};
    }

    void deleteRemoves()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, names);
        QFETCH(QStringList, left);
        LocalTreeFixture fixture;
        QVERIFY(fixture.make(Outside) && fixture.make(entries));
        const QStringList outsideBefore = fixture.treeOf("outside");

        WorkerRun run(names, fixture.folder("src"), QString());
        QVERIFY(run.go());

        QCOMPARE(described(run.worker.failures(), fixture.root()), QStringList());
        QCOMPARE(fixture.treeOf("src"), left);
        QCOMPARE(fixture.treeOf("outside"), outsideBefore);
    }

    // A folder selected for a copy into itself or below itself, or a file onto itself, stops
    // the copy before anything is written.
    void copyIntoItselfRefused_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("dest"); // relative to the root
        QTest::addColumn<QStringList>("failures");

        QTest::newRow("into itself") << QStringList{"sel"} << "src/sel" << QStringList{"into itself src/sel: "};
        QTest::newRow("below itself") << QStringList{"sel"} << "src/sel/sub" << QStringList{"into itself src/sel: "};
        QTest::newRow("below itself, in a folder not made yet")
            << QStringList{"a", "sel"} << "src/sel/new/newer" << QStringList{"into itself src/sel: "};
        QTest::newRow("below itself through a link")
            << QStringList{"sel"} << "linkToSel/sub" << QStringList{"into itself src/sel: "};
        QTest::newRow("its own folder") << QStringList{"sel"} << "src" << QStringList{"into itself src/sel: "};
        QTest::newRow("a file onto itself") << QStringList{"a"} << "src" << QStringList{"onto itself src/a: "};
        QTest::newRow("a file onto itself through a link")
            << QStringList{"a"} << "linkToSrc" << QStringList{"onto itself src/a: "};
    }

    void copyIntoItselfRefused()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, dest);
        QFETCH(QStringList, failures);
        LocalTreeFixture fixture;
        QVERIFY(fixture.make({"f src/a=a", "f src/sel/x=x", "f src/sel/sub/y=y", "l linkToSel->src/sel", "l linkToSrc->src"}));
        const QStringList before = fixture.treeOf();

        WorkerRun run(names, fixture.folder("src"), fixture.folder(dest));
        QVERIFY(run.go());

        QCOMPARE(described(run.worker.failures(), fixture.root()), failures);
        QCOMPARE(fixture.treeOf(), before);
    }

    // A name that only starts like the selected folder's is no folder below it.
    void copyBesideItselfAllowed()
    {
        LocalTreeFixture fixture;
        QVERIFY(fixture.make({"f src/sel/x=x", "d src/sel2"}));
        WorkerRun run({"sel"}, fixture.folder("src"), fixture.folder("src/sel2"));
        QVERIFY(run.go());
        QCOMPARE(described(run.worker.failures(), fixture.root()), QStringList());
        QCOMPARE(fixture.treeOf("src/sel2"), (QStringList{"d sel", "f sel/x=x"}));
    }

    // Whatever could not be done is reported with its path and the system's reason; the rest
    // is done, and nothing is written outside the destination.
    void failuresReported_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dest"); // empty: a delete
        QTest::addColumn<QStringList>("failures");
        QTest::addColumn<QStringList>("destTree"); // or, for a delete, the tree of the source

        QTest::newRow("copy: a file where a folder must go")
            << QStringList{"f src/sub/x=x", "f src/a=a", "f dst/sub=plain"} << QStringList{"sub", "a"} << "src" << "dst"
            << QStringList{"create dst/sub: File exists"} << QStringList{"f a=a", "f sub=plain"};
        QTest::newRow("copy: a link to outside where a folder must go")
            << QStringList{"f src/sub/x=x", "l dst/sub->../outside"} << QStringList{"sub"} << "src" << "dst"
            << QStringList{"create dst/sub: File exists"} << QStringList{"l sub->../outside"};
        QTest::newRow("copy: a folder where a file must go")
            << QStringList{"f src/a=a", "f src/b=b", "d dst/a"} << QStringList{"a", "b"} << "src" << "dst"
            << QStringList{"copy dst/a: Is a directory"} << QStringList{"d a", "f b=b"};
        QTest::newRow("copy: destination below a regular file")
            << QStringList{"f src/a=a", "f dst/plain=p"} << QStringList{"a"} << "src" << "dst/plain/sub"
            << QStringList{"create dst/plain/sub/: Not a directory"} << QStringList{"f plain=p"};
        QTest::newRow("copy: a fifo")
            << QStringList{"p src/pipe", "f src/a=a", "d dst"} << QStringList{"pipe", "a"} << "src" << "dst"
            << QStringList{"copy src/pipe: Not a regular file, folder or link"} << QStringList{"f a=a"};
        QTest::newRow("copy: a name that climbs out")
            << QStringList{"f src/a=a", "d dst"} << QStringList{"../outside", "a"} << "src" << "dst"
            << QStringList{"copy src/../outside: Not the name of an entry in the folder"} << QStringList{"f a=a"};
        QTest::newRow("delete: below a regular file")
            << QStringList{"f src/plain=p"} << QStringList{"x"} << "src/plain" << QString()
            << QStringList{"delete src/plain/x: Not a directory"} << QStringList{"f plain=p"};
        QTest::newRow("delete: a name that climbs out")
            << QStringList{"f src/a=a"} << QStringList{"..", "../outside", "a"} << "src" << QString()
            << QStringList{"delete src/..: Not the name of an entry in the folder",
                           "delete src/../outside: Not the name of an entry in the folder"}
            << QStringList{};
    }

    void failuresReported()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, names);
        QFETCH(QString, source);
        QFETCH(QString, dest);
        QFETCH(QStringList, failures);
        QFETCH(QStringList, destTree);
        LocalTreeFixture fixture;
        QVERIFY(fixture.make(Outside) && fixture.make(entries));
        const QStringList outsideBefore = fixture.treeOf("outside");

        WorkerRun run(names, fixture.folder(source), dest.isEmpty() ? QString() : fixture.folder(dest));
        QVERIFY(run.go());

        QCOMPARE(described(run.worker.failures(), fixture.root()), failures);
        QCOMPARE(fixture.treeOf(dest.isEmpty() ? QStringLiteral("src") : QStringLiteral("dst")), destTree);
        QCOMPARE(fixture.treeOf("outside"), outsideBefore);
    }

    // The failure texts the window shows.
    void failureMessages_data()
    {
        QTest::addColumn<LocalFailure>("failure");
        QTest::addColumn<QString>("message");

        QTest::newRow("delete") << LocalFailure{Action::Delete, "/x/y", "Permission denied"}
                                << "Couldn't delete C:/x/y: Permission denied";
        QTest::newRow("remove") << LocalFailure{Action::Remove, "/x", "Directory not empty"}
                                << "Couldn't remove the folder C:/x: Directory not empty";
        QTest::newRow("into itself") << LocalFailure{Action::CopyIntoItself, "/x", QString()}
                                     << "The folder C:/x can't be copied into itself or into a folder below it.";
        QTest::newRow("a path holding %2") << LocalFailure{Action::Copy, "/%2", "No space left on device"}
                                           << "Couldn't copy C:/%2: No space left on device";
    }

    void failureMessages()
    {
        QFETCH(LocalFailure, failure);
        QTEST(failure.message("C:" + failure.path), "message");
    }

    // Progress ends at the last entry with none remaining; a delete shows its files, then its
    // folders, never the other way round.
    void progressReported_data()
    {
        QTest::addColumn<bool>("copying");
        QTest::newRow("copy") << true;
        QTest::newRow("delete") << false;
    }

    void progressReported()
    {
        QFETCH(bool, copying);
        LocalTreeFixture fixture;
        QStringList entries{"d dst"};
        for (int i = 0; i < 50; ++i)
            entries << QStringLiteral("f src/sel/d%1/f%2=x").arg(i % 5).arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(fixture.make(entries));

        WorkerRun run({"sel"}, fixture.folder("src"), copying ? fixture.folder("dst") : QString());
        QVERIFY(run.go());
        // Reports arrive before the end, in order: the last one seen is the worker's last.
        QVERIFY(!run.progress.isEmpty());

        const LocalFileWorker::Progress last = run.progress.last();
        QCOMPARE(last.remaining, 0);
        if (copying) {
            QCOMPARE(last.label, Label::Copying);
            QCOMPARE(last.path, fixture.path("src/sel/d4/f49"));
        } else {
            QCOMPARE(last.label, Label::RemovingDirectory);
            QCOMPARE(last.path, fixture.path("src/sel"));
        }
        bool removing = false;
        for (const LocalFileWorker::Progress &progress : std::as_const(run.progress)) {
            QVERIFY(!(removing && progress.label != Label::RemovingDirectory));
            removing = progress.label == Label::RemovingDirectory;
            QVERIFY(progress.remaining >= 0 && progress.remaining < 50);
        }
    }
};

QTEST_GUILESS_MAIN(TestLocalFileWorker)
#include "tst_localfileworker.moc"
