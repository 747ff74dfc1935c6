// Records, jobs and observers that go before the connections and walks that serve them (a window
// closed, a command's record on its caller's stack): the connection forgets them, ends what it ran
// for them with a fresh session, and goes on with the rest of its queue. Run under the sanitizer
// build, these also show that nothing touches an object that is gone.

#include "ftp/EngineTest.h"

#include "ftp/ListingEntry.h"
#include "pool/DeleteList.h"
#include "pool/JobObservers.h"
#include "pool/ListInfo.h"
#include "pool/OperationRecord.h"
#include "pool/TransferStack.h"
#include "support/FtpServerFixture.h"
#include "support/TestHosts.h"

#include <QSignalSpy>
#include <QTimer>

namespace {

constexpr int Bound = 20000;

// A download line of a transfer stack.
QString line(const QString &remote, const QString &local, qint64 size)
{
    return QStringLiteral("%1 -> %2 (%3)").arg(remote, local).arg(size);
}

// A walk's observer that counts what it hears.
class CountingBuild : public BuildObserver
{
public:
    void setCurrentDirectory(const QString &) override { ++heard; }
    void walkStopped(const QString &, bool) override { ++heard; }
    void finished(const QStringList &) override { ++heard; }
    void aborted() override { ++heard; }
    int heard = 0;
};

} // namespace

class TestLifetimes : public EngineTest
{
    Q_OBJECT

    std::unique_ptr<FtpServerFixture> server_;

    Connection *logIn() { return EngineTest::logIn(*server_, 0); }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void init()
    {
        QVERIFY(setUpEngine());
        server_ = std::make_unique<FtpServerFixture>();
        QVERIFY2(server_->start(), qPrintable(server_->errorString()));
        QVERIFY(server_->writeFile("pub/big.bin", QByteArray(16 << 20, 'b')) && server_->writeFile("pub/a.txt", "a"));
    }

    void cleanup()
    {
        tearDownEngine();
        server_.reset();
    }

    // A transfer record that goes while its file arrives: the connection drops that file, starts
    // a fresh session and serves what waits behind it.
    void transferRecordGoesWhileItsFileArrives()
    {
        Connection *c = logIn();
        QVERIFY(c);
        auto *stack = new TransferStack;
        stack->addEntry(line("/pub/big.bin", localPath("big.bin"), 16 << 20));
        QObject::connect(stack, &TransferStack::changed, stack, [stack] {
            if (stack->fileDone() > 0)
                QTimer::singleShot(0, stack, [stack] { delete stack; }); // a window closed by the user
        });
        QPointer<TransferStack> watched(stack);
        c->TransferFiles(stack);
        RecordingJob after;
        c->ListDir(QString(), &after, "/pub");

        QTRY_VERIFY_WITH_TIMEOUT(!watched, Bound);
        QTRY_COMPARE_WITH_TIMEOUT(after.nextCalls, 1, Bound);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QCOMPARE(after.entries.size(), 2);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // Records that go while they wait in the queue are taken out of it; the others run.
    void queuedRecordsThatGo()
    {
        const HostRecord r = hostRecord(server_->port(), 0);
        pool_->defineHost(r);
        Connection *c = pool_->connectionFor(r.name, ConnectionManager::Browse);
        QVERIFY(c);
        QCOMPARE(c->state(), Connection::Connecting); // everything below waits for the login

        auto *deletion = new DeleteList(r.name, QString());
        deletion->addLine("/pub/a.txt");
        auto *rename = new RenameRecord(r.name, "/pub/", "a.txt", "b.txt");
        auto *made = new MakeDirRecord(r.name, "/pub/new", pool_.get());
        auto *job = new RecordingJob;
        RecordingJob kept;
        c->DeleteFiles(deletion);
        c->RenameFile(rename);
        c->ListDir(QString(), job, "/pub");
        c->MakeDir(made);
        c->ListDir(QString(), &kept, "/pub");
        QCOMPARE(c->queuedCount(), 5);
        delete deletion;
        delete rename;
        delete job;
        QCOMPARE(c->queuedCount(), 2);

        QTRY_COMPARE_WITH_TIMEOUT(kept.nextCalls, 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(made->finished(), Bound);
        QVERIFY(made->done());
        QVERIFY(server_->exists("pub/a.txt")); // neither deleted nor renamed
        QVERIFY(server_->exists("pub/new"));
    }

    // A listing job that goes while its listing arrives: the listing still reaches the panes.
    void listingJobGoesWhileItsListingArrives()
    {
        for (int i = 0; i < 2000; ++i)
            QVERIFY(server_->writeFile(QStringLiteral("many/f%1").arg(i), QByteArray()));
        Connection *c = logIn();
        QVERIFY(c);
        auto *job = new RecordingJob;
        c->ListDir(QString(), job, "/many");
        QTRY_VERIFY_WITH_TIMEOUT(!job->entries.isEmpty(), Bound);
        delete job;
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QVERIFY2(pane_.events.contains(QStringLiteral("ended %1 /many/ complete").arg(hostOf(*server_))),
                 qPrintable(pane_.events.join('\n')));
    }

    // An observer that goes while its walk runs cancels the walk: it hears nothing more, not even
    // when the pool goes with the walk's listing still queued.
    void walkObserverGoesFirst()
    {
        const HostRecord r = hostRecord(server_->port(), 0);
        pool_->defineHost(r);
        auto *observer = new CountingBuild;
        QVERIFY(ListInfo::StartTreeBuild(*pool_, r.name, {"/pub"}, false, false, true, observer));
        const int heard = observer->heard;
        delete observer;
        pool_.reset(); // the walk's listing is dropped with its connection
        QCOMPARE(heard, 1); // the start directory, and nothing after
    }
};

QTEST_GUILESS_MAIN(TestLifetimes)
#include "tst_lifetimes.moc"
