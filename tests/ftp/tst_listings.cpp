// Listings and the data connections under them, against the scripted server: the command
// sequence and its failures, how the received bytes become lines, the listing-cache file kept only
// for a whole listing, and a data connection that cannot be set up.

#include "EngineTest.h"
#include "ScriptedSteps.h"

#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"

#include "ftp/Cache.h"
#include "ftp/Connection.h"
#include "ftp/ListTransfer.h"
#include "ftp/ListingDelivery.h"
#include "platform/LocalDrives.h"
#include "pool/ConnectionManager.h"
#include "pool/TransferStack.h"

#include <QDir>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int Bound = 10000; // ms: the longest any event below may take

// Holds the process at its open-file limit: no socket can be created until release().
class DescriptorSqueeze
{
public:
    bool squeeze()
    {
        base_ = ::open("/dev/null", O_RDONLY);
        if (base_ < 0 || getrlimit(RLIMIT_NOFILE, &saved_) != 0)
            return false;
        int highest = 0;
        for (const QString &fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System))
            highest = std::max(highest, fd.toInt());
        rlimit tight = saved_;
        tight.rlim_cur = rlim_t(highest + 1);
        if (setrlimit(RLIMIT_NOFILE, &tight) != 0)
            return false;
        squeezed_ = true;
        for (int fd = dup(base_); fd >= 0; fd = dup(base_)) // fill every free number below the limit
            fillers_ << fd;
        return true;
    }
    void release()
    {
        for (int fd : std::as_const(fillers_))
            ::close(fd);
        fillers_.clear();
        if (std::exchange(squeezed_, false))
            setrlimit(RLIMIT_NOFILE, &saved_);
        if (base_ >= 0)
            ::close(std::exchange(base_, -1));
    }
    ~DescriptorSqueeze() { release(); }

private:
    int base_ = -1;
    rlimit saved_{};
    bool squeezed_ = false;
    QList<int> fillers_;
};

} // namespace

class TestListings : public EngineTest
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void init() { QVERIFY(setUpEngine(1)); } // the scripts use PORT

    void cleanup() { tearDownEngine(); }

    void listing_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("events");

        QTest::newRow("the root") << "/"
                                  << QStringList{"PORT => 200 OK", "CWD / => 250 OK", "TYPE A => 200 OK",
                                                 "LIST => 150 Here it comes => 226 Done"}
                                  << "" << QStringList{"started %H / -1", "ended %H / complete"};
        QTest::newRow("a folder written with its slash")
            << "/pub/"
            << QStringList{"PORT => 200 OK", "CWD /pub => 250 OK", "TYPE A => 200 OK",
                           "LIST => 150 Here it comes => 226 Done"}
            << "" << QStringList{"started %H /pub/ -1", "ended %H /pub/ complete"};
        QTest::newRow("a folder written without it, 125 and 250")
            << "/pub/sub"
            << QStringList{"PORT => 200 OK", "CWD /pub/sub => 250 OK", "TYPE A => 200 OK",
                           "LIST => 125 Data connection already open => 250 Done"}
            << "" << QStringList{"started %H /pub/sub/ -1", "ended %H /pub/sub/ complete"};
        QTest::newRow("PORT refused") << "/" << QStringList{"PORT => 500 No"} << "Error Setting Port: No" + ActiveRefusedHint
                                      << QStringList();
        QTest::newRow("CWD refused") << "/pub"
                                     << QStringList{"PORT => 200 OK", "CWD /pub => 550 No such directory"}
                                     << "Error Retrieving List: No such directory" << QStringList();
        QTest::newRow("TYPE refused") << "/pub"
                                      << QStringList{"PORT => 200 OK", "CWD /pub => 250 OK", "TYPE A => 504 No"}
                                      << "Error Setting Transfer Type: No" << QStringList();
        QTest::newRow("LIST refused") << "/pub"
                                      << QStringList{"PORT => 200 OK", "CWD /pub => 250 OK", "TYPE A => 200 OK",
                                                     "LIST => 450 Busy"}
                                      << "Error Retrieving Listing: Busy" << QStringList();
        QTest::newRow("426 after the listing")
            << "/pub"
            << QStringList{"PORT => 200 OK", "CWD /pub => 250 OK", "TYPE A => 200 OK",
                           "LIST => 150 Here it comes => 426 Transfer aborted"}
            << "Error Retrieving Listing: Transfer aborted"
            << QStringList{"started %H /pub/ -1", "ended %H /pub/ incomplete"};
    }

    void listing()
    {
        QFETCH(QString, directory);
        QFETCH(QStringList, script);
        QFETCH(QString, box);
        QFETCH(QStringList, events);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        addScript(server, script);

        c->ListDir(QString(), &job_, directory);
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(afterLogin(server), commandsOf(script));
        QCOMPARE(prompt_.dump().trimmed(), box);
        QCOMPARE(pane_.events, events.replaceInStrings("%H", hostOf(server)));
        if (!events.isEmpty()) {
            const QStringList names{"pub", "a.txt", "bin"};
            QCOMPARE(pane_.names(), names);
            QCOMPARE(job_.entries.size(), 3);
            QCOMPARE(job_.entries.at(0).kind, ListingEntry::Directory);
            QCOMPARE(job_.entries.at(1).size, 1234u);
            QCOMPARE(job_.entries.at(2).kind, ListingEntry::Link);
        }
        // The status line no longer says the listing was asked for: it says how the listing ended.
        const bool complete = events.value(1).endsWith(QLatin1String(" complete"));
        const QString folder = directory.endsWith(QLatin1Char('/')) ? directory : directory + QLatin1Char('/');
        QCOMPARE(status_.last(), complete ? QStringLiteral("Finished Retrieving List.")
                                          : QStringLiteral("List of %1 on %2 failed").arg(folder, hostOf(server)));
    }

    // Lines end in "\r\n" or "\n"; lines of one or two characters and overlong lines are dropped
    // without losing the lines around them; a last line without its end still counts.
    void listingLines()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        const QByteArray entry = "-rw-r--r-- 1 u g 5 Jan  1  2020 ";
        const QByteArray data = entry + "crlf\r\n" + entry + "lf\n" + "ab\r\n" + "x\n" + "\r\n" + "\n"
                                + entry + QByteArray(100000, 'L') + "\r\n" + entry + "after-long\r\n"
                                + entry + "no-line-end";
        addScript(server,
                  {"PORT => 200 OK", "CWD / => 250 OK", "TYPE A => 200 OK", "LIST => 150 Here => 226 Done"}, data);

        c->ListDir(QString(), &job_, "/");
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        const QStringList names{"crlf", "lf", "after-long", "no-line-end"};
        QCOMPARE(pane_.names(), names);
    }

    // A line split anywhere between two reads is put together again.
    void listingAcrossReads_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        const QByteArray a = "-rw-r--r-- 1 u g 5 Jan  1  2020 first\r\n";
        const QByteArray b = "drwxr-xr-x 2 u g 9 Feb  2  2021 second\r\n";
        QTest::newRow("between CR and LF") << QList<QByteArray>{a.chopped(1), "\n" + b};
        QTest::newRow("inside the name") << QList<QByteArray>{a.left(35), a.mid(35) + b};
        QTest::newRow("byte by byte") << [&] {
            QList<QByteArray> bytes;
            for (char ch : a + b)
                bytes << QByteArray(1, ch);
            return bytes;
        }();
        QTest::newRow("long line ending in the next read")
            << QList<QByteArray>{"-rw-r--r-- 1 u g 5 Jan  1  2020 " + QByteArray(9000, 'L'), "LL\r\n" + a, b};
    }

    void listingAcrossReads()
    {
        QFETCH(QList<QByteArray>, pieces);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QTcpSocket host;
        host.connectToHost(QHostAddress::LocalHost, listener.serverPort());
        QVERIFY(listener.waitForNewConnection(Bound));
        QTcpSocket *data = listener.nextPendingConnection();
        QVERIFY(host.waitForConnected(Bound));

        const QList<PaneView *> panes{&pane_};
        ListingDelivery delivery(panes, "h", "/d/", -1, &job_, QString());
        ListTransfer transfer(data, delivery, false);
        QSignalSpy finished(&transfer, &ListTransfer::finished);
        for (const QByteArray &piece : pieces) {
            QSignalSpy read(data, &QTcpSocket::readyRead);
            host.write(piece);
            QVERIFY(read.wait(Bound)); // the transfer has taken this piece before the next is sent
        }
        host.disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Bound);
        QVERIFY(transfer.closedNormally());
        const QStringList names{"first", "second"};
        QCOMPARE(pane_.names(), names);
    }

    // The cache file is written only for a whole listing: the data connection closed and the
    // host said so. Anything less removes even the copy that was there before.
    void listingCache_data()
    {
        QTest::addColumn<bool>("dropData");
        QTest::addColumn<QString>("finalReply");
        QTest::addColumn<bool>("complete");
        QTest::newRow("closed, then 226") << false << "226 Done" << true;
        QTest::newRow("closed, then 426") << false << "426 Transfer aborted" << false;
        QTest::newRow("dropped, then 426") << true << "426 Connection reset" << false;
    }

    void listingCache()
    {
        QFETCH(bool, dropData);
        QFETCH(QString, finalReply);
        QFETCH(bool, complete);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        QVERIFY(QDir().mkpath(env_.home() + "/cache"));
        const QString cacheFile = QStringLiteral("C:\\cache\\00100002.FTC");
        const QString nativeCache = toNativePath(cacheFile);
        QCOMPARE(nativeCache, env_.home() + "/cache/00100002.FTC");
        QVERIFY(writeLocal(nativeCache, "an older listing"));

        addScript(server, {"PORT => 200 OK", "CWD /pub => 250 OK", "TYPE A => 200 OK"});
        server.expect("LIST", "150 Here\r\n").sendData(SmallListing, finalReply.toUtf8() + "\r\n").holdDataOpen();
        c->ListDir(cacheFile, &job_, "/pub/");
        QTRY_COMPARE_WITH_TIMEOUT(job_.entries.size(), 3, Bound);
        if (dropData)
            server.abortData();
        else
            server.closeData();

        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        const QString host = hostOf(server);
        QCOMPARE(pane_.events, (QStringList{"started " + host + " /pub/ 100002",
                                            "ended " + host + " /pub/ " + (complete ? "complete" : "incomplete")}));
        QCOMPARE(QFile::exists(nativeCache), complete);
        if (complete) {
            const auto cached = Cache::ReadRecords(cacheFile);
            QVERIFY(cached);
            QCOMPARE(cached->size(), 3);
            QCOMPARE(cached->at(1).name, QStringLiteral("a.txt"));
        }
    }

    // --- data connections that cannot be set up ----------------------------------------------

    void listenFailureSendsNoPort()
    {
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizers open descriptors of their own to check memory; with none left they
        // report every object as broken. The Release run covers this case.
        QSKIP("needs a process without sanitizers");
#endif
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        Connection *c = logIn(server);
        QVERIFY(c);
        auto *stack = new TransferStack(pool_.get());
        stack->addEntry(QStringLiteral("/f.txt -> %1/f.txt (10)").arg(local_->path()));
        stack->addEntry(QStringLiteral("/g.txt -> %1/g.txt (10)").arg(local_->path()));
        QSignalSpy ended(stack, &TransferStack::ended);

        DescriptorSqueeze squeeze;
        QVERIFY(squeeze.squeeze());
        c->ListDir(QString(), &job_, "/pub");
        c->TransferFiles(stack); // both run at once: the connection is idle
        squeeze.release();

        QCOMPARE(job_.nextCalls, 1);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(stack->filesFailed(), 2);
        QCOMPARE(c->state(), Connection::Idle);
        QVERIFY2(prompt_.count() >= 2, qPrintable(prompt_.dump()));
        for (const RecordingPrompt::Entry &box : prompt_.entries()) {
            QCOMPARE(box.caption, QStringLiteral("Error"));
            QCOMPARE(box.text, QStringLiteral("Couldn't Create Socket for transfer."));
        }
        // Nothing more reaches the host, and the connection still serves what comes next.
        addScript(server, {"CWD / => 250 OK", "NOOP => 200 OK"});
        c->CustomCommands("CWD /\r\nNOOP\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QCOMPARE(afterLogin(server), (QStringList{"CWD /", "NOOP"}));
    }

};

QTEST_GUILESS_MAIN(TestListings)
#include "tst_listings.moc"
