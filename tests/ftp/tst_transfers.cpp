// Files, listings and operations against a real FTP server (pyftpdlib): every byte that goes up,
// comes down or moves between two hosts arrives unchanged, and a file that fails leaves the rest
// of its batch to complete.

#include "EngineTest.h"

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"

#include "ftp/Cache.h"
#include "ftp/Connection.h"
#include "pool/ConnectionManager.h"
#include "pool/DeleteList.h"
#include "pool/HostToHostTransfer.h"
#include "pool/OperationRecord.h"
#include "pool/TransferStack.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

constexpr int Bound = 20000; // ms: the longest any event below may take
constexpr qsizetype Large = 3 * 1024 * 1024 + 7; // more than the socket buffers take at once

QString line(const QString &remote, bool download, const QString &local, qint64 size, const QString &tail = {})
{
    return QStringLiteral("%1 %2 %3 (%4)%5").arg(remote, download ? "->" : "<-", local).arg(size).arg(tail);
}

// While it lives, this process may write files up to a size only: the write that crosses it is
// cut short and the next one fails with EFBIG, as on a disk that fills up a write is cut short
// and the next one fails with ENOSPC. SIGXFSZ, which would end the process, is ignored meanwhile.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = std::min(bytes, before_.rlim_max);
        set_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool isSet() const { return set_; }

private:
    rlimit before_{};
    void (*handler_)(int) = SIG_DFL;
    bool set_ = false;
};

} // namespace

class TestTransfers : public EngineTest
{
    Q_OBJECT

    std::unique_ptr<FtpServerFixture> server_;

    // pyftpdlib: the host type comes from SYST, as with a host of unknown type.
    Connection *logIn(const FtpServerFixture &server) { return EngineTest::logIn(server, 0); }

    // Runs one batch to its end on a fresh login; the pool owns the stack.
    TransferStack *runBatch(const QStringList &lines)
    {
        Connection *c = logIn(*server_);
        if (!c)
            return nullptr;
        auto *stack = new TransferStack(pool_.get());
        for (const QString &l : lines)
            stack->addEntry(l);
        QSignalSpy ended(stack, &TransferStack::ended);
        c->TransferFiles(stack);
        if (!QTest::qWaitFor([&] { return ended.count() == 1; }, Bound))
            return nullptr;
        return stack;
    }

    static QString failures(const TransferStack &stack) { return stack.failures().join('\n'); }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void init()
    {
        QVERIFY(setUpEngine());
        server_ = std::make_unique<FtpServerFixture>();
        QVERIFY2(server_->start(), qPrintable(server_->errorString()));
    }

    void cleanup()
    {
        tearDownEngine();
        server_.reset();
    }

    // --- files -------------------------------------------------------------------------------

    void download_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("local");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("ascii");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray large = patternBytes(Large);
        QTest::newRow("empty file") << "/empty.bin" << "empty.bin" << QByteArray() << false << QByteArray();
        QTest::newRow("one byte") << "/one.bin" << "one.bin" << QByteArray("x") << false << QByteArray("x");
        QTest::newRow("large, into missing local folders")
            << "/pub/deep/large.bin" << "new/deeper/large.bin" << large << false << large;
        QTest::newRow("UTF-8 names") << QStringLiteral("/Bücher/ça va.bin") << QStringLiteral("Bücher/ça va.bin")
                                     << patternBytes(3000) << false << patternBytes(3000);
        QTest::newRow("ASCII: the host's line ends land in the file")
            << "/notes.txt" << "notes.txt" << QByteArray("one\ntwo\n") << true << QByteArray("one\r\ntwo\r\n");
    }

    void download()
    {
        QFETCH(QString, remote);
        QFETCH(QString, local);
        QFETCH(QByteArray, content);
        QFETCH(bool, ascii);
        QFETCH(QByteArray, expected);

        QVERIFY(server_->writeFile(remote, content));
        QVERIFY(writeLocal(localPath("stale"), "a file that was there before"));
        TransferStack *stack =
            runBatch({line(remote, true, localPath(local), content.size(), ascii ? " ASCII" : "")});
        QVERIFY(stack);
        QVERIFY2(stack->filesCompleted() == 1, qPrintable(failures(*stack) + prompt_.dump() + server_->log()));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QCOMPARE(QFileInfo(localPath(local)).size(), expected.size());
        QCOMPARE(readLocal(localPath(local)), expected);
        QCOMPARE(stack->totalDone(), qint64(expected.size()));
    }

    void downloadOverwritesLocalFile()
    {
        QVERIFY(server_->writeFile("/f.bin", "short"));
        QVERIFY(writeLocal(localPath("f.bin"), patternBytes(10000)));
        TransferStack *stack = runBatch({line("/f.bin", true, localPath("f.bin"), 5)});
        QVERIFY(stack);
        QCOMPARE(stack->filesCompleted(), 1);
        QCOMPARE(readLocal(localPath("f.bin")), QByteArray("short"));
    }

    void upload_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QByteArray>("content");

        QTest::newRow("empty file into the root") << "/empty.bin" << QByteArray();
        QTest::newRow("one byte into an existing folder") << "/pub/one.bin" << QByteArray("x");
        QTest::newRow("large into a new nested folder") << "/up/x/y/large.bin" << patternBytes(Large, 5);
        QTest::newRow("into a folder missing under an existing one") << "/pub/new/f.bin" << patternBytes(5000, 9);
    }

    void upload()
    {
        QFETCH(QString, remote);
        QFETCH(QByteArray, content);

        QVERIFY(server_->makeDir("pub"));
        QVERIFY(writeLocal(localPath("source"), content));
        TransferStack *stack = runBatch({line(remote, false, localPath("source"), content.size())});
        QVERIFY(stack);
        QVERIFY2(stack->filesCompleted() == 1, qPrintable(failures(*stack) + prompt_.dump() + server_->log()));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QVERIFY(server_->exists(remote));
        QCOMPARE(QFileInfo(server_->pathOf(remote)).size(), content.size());
        QCOMPARE(server_->readFile(remote), content);
    }

    void storeUniqueKeepsTheHostsFile()
    {
        QVERIFY(server_->writeFile("/pub/f.txt", "the host's own"));
        QVERIFY(writeLocal(localPath("f.txt"), "uploaded"));
        pool_->setStoreUnique(true);
        TransferStack *stack = runBatch({line("/pub/f.txt", false, localPath("f.txt"), 8)});
        QVERIFY(stack);
        QCOMPARE(stack->filesCompleted(), 1);
        QCOMPARE(server_->readFile("/pub/f.txt"), QByteArray("the host's own"));
        const QStringList made = QDir(server_->pathOf("pub")).entryList({"f.txt.*"}, QDir::Files);
        QCOMPARE(made.size(), 1);
        QCOMPARE(server_->readFile("/pub/" + made.first()), QByteArray("uploaded"));
    }

    // A resumed download appends what the host sends from the offset. The host refuses REST in
    // ASCII mode: then the whole file is fetched again and the local copy rewritten.
    void resume_data()
    {
        QTest::addColumn<bool>("ascii");
        QTest::newRow("binary, REST accepted") << false;
        QTest::newRow("ASCII, REST refused") << true;
    }

    void resume()
    {
        QFETCH(bool, ascii);
        const QByteArray whole = ascii ? QByteArray("line\n").repeated(20000) : patternBytes(Large, 11);
        const qsizetype have = whole.size() / 3;
        QVERIFY(server_->writeFile("/pub/f", whole));
        QVERIFY(writeLocal(localPath("f"), whole.left(have)));

        const QString tail = QStringLiteral(" -R %1)%2").arg(have).arg(ascii ? " ASCII" : "");
        TransferStack *stack =
            runBatch({QStringLiteral("/pub/f -> %1 (%2").arg(localPath("f")).arg(whole.size() - have) + tail});
        QVERIFY(stack);
        QVERIFY2(stack->filesCompleted() == 1, qPrintable(failures(*stack) + prompt_.dump()));
        QVERIFY2(server_->log().contains(QStringLiteral("REST %1").arg(have)), qPrintable(server_->log()));
        if (ascii) {
            QCOMPARE(prompt_.dump(), QStringLiteral("Restart Error: Host Disallowed Restart, \nStarting From Beginning\n"));
            QCOMPARE(readLocal(localPath("f")), QByteArray(whole).replace("\n", "\r\n"));
        } else {
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
            QCOMPARE(readLocal(localPath("f")), whole);
        }
    }

    // One file of a batch fails; the box says why and every other file arrives whole.
    void batchGoesOnAfterAFailure_data()
    {
        QTest::addColumn<QString>("failing"); // the middle line; %L is the local folder
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");   // a part of the box's text

        QTest::newRow("missing on the host") << "/pub/missing.bin -> %L/missing.bin (10)" << "Error Transferring File"
                                             << "No such file or directory";
        QTest::newRow("local folder is a file")
            << "/pub/b.bin -> %L/plain/sub/b.bin (5000)" << "Error Transferring File" << "%L/plain/sub: Not a directory";
        QTest::newRow("local file's folder is a file")
            << "/pub/b.bin -> %L/plain/b.bin (5000)" << "Error Transferring File" << "%L/plain: Not a directory";
        QTest::newRow("local disk full") << "/pub/b.bin -> /dev/full (5000)" << "Error Transferring File"
                                         << "/dev/full: No space left on device";
        QTest::newRow("local file to send is missing")
            << "/pub/up.bin <- %L/nowhere.bin (5000)" << "Error Transferring File" << "%L/nowhere.bin";
    }

    void batchGoesOnAfterAFailure()
    {
        QFETCH(QString, failing);
        QFETCH(QString, caption);
        QFETCH(QString, text);
        failing.replace("%L", local_->path());
        text.replace("%L", local_->path());

        const QByteArray a = patternBytes(200000, 1), b = patternBytes(5000, 2), c = patternBytes(300000, 3);
        QVERIFY(server_->writeFile("/pub/a.bin", a));
        QVERIFY(server_->writeFile("/pub/b.bin", b));
        QVERIFY(writeLocal(localPath("plain"), "a file where a folder is wanted"));
        QVERIFY(writeLocal(localPath("c.bin"), c));

        TransferStack *stack = runBatch({line("/pub/a.bin", true, localPath("a.bin"), a.size()), failing,
                                         line("/pub/c.bin", false, localPath("c.bin"), c.size()),
                                         line("/pub/b.bin", true, localPath("b.bin"), b.size())});
        QVERIFY(stack);
        QCOMPARE(stack->filesCompleted(), 3);
        QCOMPARE(stack->filesFailed(), 1);
        QCOMPARE(prompt_.count(), 1);
        QCOMPARE(prompt_.lastCaption(), caption);
        QVERIFY2(prompt_.lastText().contains(text), qPrintable(prompt_.dump()));
        QVERIFY2(failures(*stack).contains(text), qPrintable(failures(*stack)));
        QCOMPARE(readLocal(localPath("a.bin")), a);
        QCOMPARE(readLocal(localPath("b.bin")), b);
        QCOMPARE(server_->readFile("/pub/c.bin"), c);
    }

    // The system cuts a write short in the middle of the file: the failure gives the reason of
    // the write that failed after it, and the local file keeps what was written.
    void downloadCutShortGivesTheSystemsReason()
    {
        const QByteArray content = patternBytes(Large);
        QVERIFY(server_->writeFile("/pub/big.bin", content));
        const rlim_t room = 100001; // unlikely to end where a received chunk ends
        TransferStack *stack = nullptr;
        {
            FileSizeLimit limit(room);
            QVERIFY(limit.isSet());
            stack = runBatch({line("/pub/big.bin", true, localPath("big.bin"), content.size())});
        }
        QVERIFY(stack);
        QCOMPARE(stack->filesFailed(), 1);
        const QString reason = "Couldn't write " + localPath("big.bin") + ": File too large";
        QVERIFY2(failures(*stack) == "/pub/big.bin: " + reason, qPrintable(failures(*stack)));
        QCOMPARE(prompt_.lastText(), reason);
        QCOMPARE(readLocal(localPath("big.bin")), content.left(room));
    }

    // --- listings ----------------------------------------------------------------------------

    void listing_data()
    {
        QTest::addColumn<bool>("machine");
        QTest::newRow("MLSD") << true;
        QTest::newRow("LIST, the host offers no MLST") << false;
    }

    // Both ways of listing give the same entries; a machine listing of pyftpdlib shows a link as
    // what it points to, "ls -l" lines as a link with its target.
    void listing()
    {
        QFETCH(bool, machine);
        if (!machine) {
            FtpServerFixture::Options options;
            options.refuseMlst = true;
            server_ = std::make_unique<FtpServerFixture>(options);
            QVERIFY2(server_->start(), qPrintable(server_->errorString()));
        }
        QVERIFY(server_->makeDir("pub/sub"));
        QVERIFY(server_->writeFile("pub/a.bin", patternBytes(1234)));
        QVERIFY(server_->writeFile("pub/empty", QByteArray()));
        QVERIFY(server_->writeFile("pub/big name with spaces.txt", patternBytes(70000)));
        QVERIFY(QFile::link("a.bin", server_->pathOf("pub/link")));
        QVERIFY(QDir().mkpath(env_.home() + "/cache"));
        const QString cacheFile = QStringLiteral("C:\\cache\\00300004.FTC");

        Connection *c = logIn(*server_);
        QVERIFY(c);
        c->ListDir(cacheFile, &job_, "/pub/");
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));

        const QString host = hostRecord(server_->port()).name;
        QCOMPARE(pane_.events, (QStringList{"started " + host + " /pub/ 300004", "ended " + host + " /pub/ complete"}));
        QMap<QString, ListingEntry> byName;
        for (const ListingEntry &e : std::as_const(job_.entries))
            byName.insert(e.name, e);
        QCOMPARE(byName.keys(), (QStringList{"a.bin", "big name with spaces.txt", "empty", "link", "sub"}));
        QCOMPARE(byName["a.bin"].kind, ListingEntry::File);
        QCOMPARE(byName["a.bin"].size, 1234u);
        QCOMPARE(byName["empty"].size, 0u);
        QCOMPARE(byName["big name with spaces.txt"].size, 70000u);
        QCOMPARE(byName["sub"].kind, ListingEntry::Directory);
        if (machine) {
            QCOMPARE(byName["link"].kind, ListingEntry::File);
            QCOMPARE(byName["link"].size, 1234u);
        } else {
            QCOMPARE(byName["link"].kind, ListingEntry::Link);
            QCOMPARE(byName["link"].linkTarget, QStringLiteral("a.bin"));
        }
        QVERIFY(byName["a.bin"].dateTime != 0);
        QVERIFY2(server_->log().contains(machine ? "<- MLSD" : "<- LIST"), qPrintable(server_->log()));
        QCOMPARE(pane_.entries.size(), job_.entries.size());

        const auto cached = Cache::ReadRecords(cacheFile);
        QVERIFY2(cached, "a complete listing is kept in the cache");
        QCOMPARE(cached->size(), job_.entries.size());
        QVERIFY(status_.contains(QStringLiteral("Finished Retrieving List.")));
    }

    // Thousands of lines arrive over many reads; none is lost or split.
    void listingOfManyEntries()
    {
        QStringList expected;
        for (int i = 0; i < 3000; ++i) {
            expected << QStringLiteral("file-%1-%2").arg(i, 4, 10, QLatin1Char('0')).arg(QString(i % 40, 'n'));
            QVERIFY(server_->writeFile("many/" + expected.last(), QByteArray(i % 7, 'x')));
        }
        Connection *c = logIn(*server_);
        QVERIFY(c);
        c->ListDir(QString(), &job_, "/many");
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QStringList names;
        for (const ListingEntry &e : std::as_const(job_.entries)) {
            names << e.name;
            QCOMPARE(e.size, quint64(e.name.mid(5, 4).toInt() % 7));
        }
        names.sort();
        QCOMPARE(names, expected);
    }

    // An empty folder is a whole listing too: the panes empty their list and the cache keeps an
    // empty listing. A folder that cannot be entered leaves the panes and the older cache file alone.
    void listingEdges_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<bool>("entered");
        QTest::newRow("empty folder") << "/empty/" << true;
        QTest::newRow("missing folder") << "/nowhere/" << false;
    }

    void listingEdges()
    {
        QFETCH(QString, directory);
        QFETCH(bool, entered);
        QVERIFY(server_->makeDir("empty"));
        QVERIFY(QDir().mkpath(env_.home() + "/cache"));
        const QString cacheFile = QStringLiteral("C:\\cache\\00000001.FTC");
        QVERIFY(writeLocal(env_.home() + "/cache/00000001.FTC", "an older listing"));

        Connection *c = logIn(*server_);
        QVERIFY(c);
        c->ListDir(cacheFile, &job_, directory);
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QVERIFY(job_.entries.isEmpty());
        const QString host = hostRecord(server_->port()).name;
        if (entered) {
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
            QCOMPARE(pane_.events, (QStringList{"started " + host + " " + directory + " 1",
                                                "ended " + host + " " + directory + " complete"}));
            const auto cached = Cache::ReadRecords(cacheFile);
            QVERIFY(cached);
            QVERIFY(cached->isEmpty());
        } else {
            QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error Retrieving List"));
            QVERIFY(pane_.events.isEmpty());
            QCOMPARE(readLocal(env_.home() + "/cache/00000001.FTC"), QByteArray("an older listing"));
        }
    }

    // --- operations without data -------------------------------------------------------------

    void renameOnHost()
    {
        QVERIFY(server_->writeFile("pub/old.txt", "kept"));
        Connection *c = logIn(*server_);
        QVERIFY(c);
        const QString host = hostRecord(server_->port()).name;
        auto *record = new RenameRecord(host, "/pub/", "old.txt", "new.txt", pool_.get());
        c->RenameFile(record);
        QTRY_VERIFY_WITH_TIMEOUT(record->finished(), Bound);
        QVERIFY2(record->done(), qPrintable(prompt_.dump()));
        QVERIFY(!server_->exists("pub/old.txt"));
        QCOMPARE(server_->readFile("pub/new.txt"), QByteArray("kept"));
        QCOMPARE(pane_.events, QStringList{"renamed " + host + " /pub/old.txt new.txt"});
    }

    void makeDirOnHost()
    {
        QVERIFY(server_->makeDir("pub"));
        Connection *c = logIn(*server_);
        QVERIFY(c);
        const QString host = hostRecord(server_->port()).name;
        auto *made = new MakeDirRecord(host, "/pub/fresh", pool_.get());
        auto *again = new MakeDirRecord(host, "/pub/fresh", pool_.get());
        c->MakeDir(made);
        c->MakeDir(again); // queued behind the first: the folder exists by then
        QTRY_VERIFY_WITH_TIMEOUT(made->finished() && again->finished(), Bound);
        QVERIFY(made->done());
        QVERIFY(!again->done());
        QVERIFY(QFileInfo(server_->pathOf("pub/fresh")).isDir());
        QCOMPARE(pane_.events, QStringList{"created " + host + " /pub/fresh"});
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error Creating Directory"));
    }

    void deleteOnHost_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("file") << "/pub/a.txt" << true;
        QTest::newRow("empty folder") << "DIR: /pub/empty/" << true;
        QTest::newRow("folder with contents") << "DIR: /pub/full" << false;
        QTest::newRow("missing file") << "/pub/missing.txt" << false;
    }

    void deleteOnHost()
    {
        QFETCH(QString, entry);
        QFETCH(bool, deleted);
        QVERIFY(server_->writeFile("pub/a.txt", "a"));
        QVERIFY(server_->makeDir("pub/empty"));
        QVERIFY(server_->writeFile("pub/full/inside.txt", "x"));
        QVERIFY(server_->writeFile("pub/z.txt", "z"));

        Connection *c = logIn(*server_);
        QVERIFY(c);
        const QString host = hostRecord(server_->port()).name;
        auto *list = new DeleteList(host, QString(), pool_.get());
        list->addLine("/pub/z.txt"); // taken last: the entry under test goes first
        list->addLine(entry);
        QSignalSpy ended(list, &DeleteList::ended);
        c->DeleteFiles(list);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, Bound);

        const QString path = QString(entry).remove("DIR: ");
        QCOMPARE(list->entriesDeleted(), deleted ? 2 : 1);
        QCOMPARE(server_->exists(path), !deleted && path != "/pub/missing.txt");
        QVERIFY(!server_->exists("pub/z.txt"));
        QCOMPARE(prompt_.count(), deleted ? 0 : 1);
        if (!deleted)
            QCOMPARE(prompt_.lastCaption(), QStringLiteral("Couldn't Delete File"));
        const QString name = QDir::cleanPath(path).section('/', -1);
        QCOMPARE(pane_.events.contains("removed " + host + " /pub/" + name), deleted);
        QVERIFY(pane_.events.contains("removed " + host + " /pub/z.txt"));
    }

    // Operations queued while the connection logs in run one after the other, newest first, each
    // from a clean start whatever the one before it left behind.
    void queuedOperationsRunInTurn()
    {
        const QByteArray content = patternBytes(100000, 4);
        QVERIFY(server_->writeFile("pub/x.bin", content));
        const HostRecord r = hostRecord(server_->port(), 0);
        pool_->defineHost(r);
        Connection *c = pool_->connection(ConnectionManager::Browse, pool_->GetConnection(r.name, ConnectionManager::Browse));
        QVERIFY(c);
        QCOMPARE(c->state(), Connection::Connecting);

        RecordingJob after, before;
        auto *stack = new TransferStack(pool_.get());
        stack->addEntry(line("/pub/x.bin", true, localPath("x.bin"), content.size()));
        stack->addEntry(line("/pub/up/x.bin", false, localPath("x.bin"), content.size()));
        auto *made = new MakeDirRecord(r.name, "/pub/new", pool_.get());
        auto *renamed = new RenameRecord(r.name, "/pub/", "x.bin", "y.bin", pool_.get());
        c->ListDir(QString(), &after, "/pub");
        c->MakeDir(made);
        c->TransferFiles(stack);
        c->ListDir(QString(), &before, "/pub");
        QCOMPARE(c->queuedCount(), 4);

        QTRY_COMPARE_WITH_TIMEOUT(after.nextCalls, 1, Bound);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        c->RenameFile(renamed);
        QTRY_VERIFY_WITH_TIMEOUT(renamed->finished(), Bound);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));

        auto names = [](const RecordingJob &job) {
            QStringList out;
            for (const ListingEntry &e : job.entries)
                out << e.name;
            out.sort();
            return out;
        };
        QCOMPARE(names(before), QStringList{"x.bin"});
        QCOMPARE(stack->filesCompleted(), 2);
        QCOMPARE(readLocal(localPath("x.bin")), content);
        QCOMPARE(server_->readFile("pub/up/x.bin"), content);
        QVERIFY(made->done());
        QCOMPARE(names(after), (QStringList{"new", "up", "x.bin"}));
        QVERIFY(renamed->done());
        QCOMPARE(server_->readFile("pub/y.bin"), content);
    }

    // --- host to host ------------------------------------------------------------------------

    // Between two real servers: the destination listens (PASV), the source sends to it. A line
    // that fails lets the next ones go on over fresh logins.
    void hostToHost_data()
    {
        QTest::addColumn<bool>("missingSource");
        QTest::newRow("three files, one into new folders") << false;
        QTest::newRow("the middle source is missing") << true;
    }

    void hostToHost()
    {
        QFETCH(bool, missingSource);
        FtpServerFixture destination;
        QVERIFY2(destination.start(), qPrintable(destination.errorString()));
        const QByteArray big = patternBytes(Large, 21), small = patternBytes(10, 22);
        QVERIFY(server_->writeFile("out/big.bin", big));
        if (!missingSource)
            QVERIFY(server_->writeFile("out/small.bin", small));
        QVERIFY(server_->writeFile("out/empty.bin", QByteArray()));
        QVERIFY(destination.makeDir("in"));
        pool_->defineHost(hostRecord(server_->port(), 0));
        pool_->defineHost(hostRecord(destination.port(), 0));

        auto *copy = new HostToHostTransfer(*pool_, hostRecord(server_->port()).name,
                                            hostRecord(destination.port()).name, false, pool_.get());
        copy->insertLine({"/out/empty.bin", "/in/empty.bin", true});
        copy->insertLine({"/out/small.bin", "/in/small.bin", true});
        copy->insertLine({"/out/big.bin", "/in/new/deeper/big.bin", true});
        QSignalSpy ended(copy, &HostToHostTransfer::ended);
        copy->takeNextLine();
        QVERIFY(ended.wait(Bound));
        QVERIFY2(copy->filesCompleted() == (missingSource ? 2 : 3),
                 qPrintable(copy->failures().join('\n') + prompt_.dump() + destination.log()));
        QCOMPARE(destination.readFile("in/new/deeper/big.bin"), big);
        QVERIFY(destination.exists("in/empty.bin"));
        QCOMPARE(QFileInfo(destination.pathOf("in/empty.bin")).size(), 0);
        if (missingSource) {
            QCOMPARE(copy->filesFailed(), 1);
            QVERIFY2(copy->failures().first().startsWith("/out/small.bin: "), qPrintable(copy->failures().join('\n')));
            QCOMPARE(prompt_.count(), 1);
            QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error Transferring File"));
        } else {
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
            QCOMPARE(destination.readFile("in/small.bin"), small);
        }
    }
};

QTEST_GUILESS_MAIN(TestTransfers)
#include "tst_transfers.moc"
