// The connection pool: host ordinals, the shared browse connection, transfer connections of both
// kinds, the ways a connection leaves the pool, host records read from the store, preferences,
// and the routed operations that find no host. Hosts are stored in a real settings store and
// the connections log in to a real pyftpdlib server.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"

#include "ftp/CacheWriter.h"
#include "ftp/Connection.h"
#include "ftp/ListingEntry.h"
#include "ftp/ListingJob.h"
#include "platform/LocalDrives.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTcpServer>
#include <QTest>

#include <map>

namespace {

constexpr int Bound = 10000; // ms: the longest any event below may take

using Values = std::map<QString, QString>;

// A host key under Hosts with the given values; a value of "<none>" is left out.
void storeHost(const QString &name, const Values &values)
{
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    store.deleteKey(key);
    store.createKey(key);
    for (const auto &[value, text] : values)
        if (text != QLatin1String("<none>"))
            store.setValue(key, value, text);
}

Values hostValues(quint16 port)
{
    return {{QStringLiteral("Address"), QStringLiteral("127.0.0.1")},
            {QStringLiteral("Port"), QString::number(port)},
            {QStringLiteral("Type"), QStringLiteral("1")}};
}

// A job that only notes that its listing came to an end.
class EndJob : public ListingJob
{
public:
    void AddEntry(const ListingEntry &) override {}
    void Next() override { ++ended; }
    void discard() override { ++discarded; }
    int ended = 0;
    int discarded = 0;
};

class EndingTransfer : public TransferDriver
{
public:
    void setStatus(const QString &) override {}
    void operationEnded() override { ++ends; }
    void setConnection(Connection *) override {}
    bool NextFile(TransferFile &) override { return false; }
    bool hasMoreFiles() const override { return false; }
    void RequestSent() override {}
    void BytesTransferred(qint64) override {}
    void fileEnded(bool, const QString &) override {}
    int ends = 0;
};

class EndingDelete : public DeleteDriver
{
public:
    void setStatus(const QString &) override {}
    void operationEnded() override { ++ends; }
    bool cancelled() const override { return false; }
    bool NextEntry(QString &, bool &) override { return false; }
    QString host() const override { return QString(); }
    QString currentName() const override { return QString(); }
    QString cacheFilePath() const override { return QString(); }
    void entryEnded(bool, const QString &) override {}
    int ends = 0;
};

int countLines(const QString &log, const QString &part)
{
    return int(log.count(part));
}

} // namespace

class TestConnectionManager : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    FtpServerFixture server_;
    RecordingPrompt prompt_;
    RecordingStatus status_;
    std::unique_ptr<ConnectionManager> pool_;

    // Stores the host as a login to the test server.
    void serverHost(const QString &name) { storeHost(name, hostValues(server_.port())); }

    Connection *browse(const QString &name)
    {
        return pool_->connection(ConnectionManager::Browse, pool_->GetConnection(name, ConnectionManager::Browse));
    }

    static bool settled(const Connection *c)
    {
        return c->state() == Connection::Idle || c->state() == Connection::Closed;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(env_.setUp(), qPrintable(env_.errorString()));
        SettingsStore::reopen();
        QVERIFY(SettingsStore::instance().isOpen());
        QVERIFY2(server_.start(), qPrintable(server_.errorString()));
    }

    void init()
    {
        prompt_.clear();
        status_.clear();
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
    }

    void cleanup()
    {
        pool_.reset();
        // Retired connections go with the next turn of the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // --- host ordinals and the browse connection ----------------------------------------------

    // Each row asks for browse connections of the hosts in order; equal names share a slot.
    void browseConnectionPerHost_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("expectedSlots");

        QTest::newRow("two requests for one host") << QStringList{"alpha", "alpha"} << QList<int>{0, 0};
        QTest::newRow("tail of a known name") << QStringList{"myftp", "ftp", "myftp", "ftp"} << QList<int>{0, 1, 0, 1};
        QTest::newRow("head of a known name") << QStringList{"ftp", "ftp2", "ftp"} << QList<int>{0, 1, 0};
        QTest::newRow("names differing in case") << QStringList{"Beta", "beta"} << QList<int>{0, 1};
    }

    void browseConnectionPerHost()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<int>, expectedSlots);
        const int sessionsBefore = countLines(server_.log(), QStringLiteral("<- USER"));
        QStringList distinct;
        for (const QString &name : std::as_const(names)) {
            if (!distinct.contains(name))
                distinct << name;
            serverHost(name);
        }

        QList<Connection *> seen;
        for (qsizetype i = 0; i < names.size(); ++i) {
            QCOMPARE(pool_->GetConnection(names.at(i), ConnectionManager::Browse), expectedSlots.at(i));
            Connection *c = pool_->connection(ConnectionManager::Browse, expectedSlots.at(i));
            QVERIFY(c);
            QCOMPARE(c->hostIndex(), unsigned(distinct.indexOf(names.at(i))));
            if (!seen.contains(c))
                seen << c;
        }
        QCOMPARE(seen.size(), distinct.size());
        for (qsizetype i = 0; i < distinct.size(); ++i)
            QCOMPARE(pool_->hostName(unsigned(i)), distinct.at(i));

        // One login per host, however often it was asked for.
        for (Connection *c : std::as_const(seen))
            QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QCOMPARE(countLines(server_.log(), QStringLiteral("<- USER")) - sessionsBefore, int(distinct.size()));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // --- transfer connections -------------------------------------------------------------------

    void transferConnections_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("closesWhenDone");
        QTest::newRow("single use") << int(ConnectionManager::SingleUse) << true;
        QTest::newRow("persistent") << int(ConnectionManager::Persistent) << false;
    }

    void transferConnections()
    {
        QFETCH(int, kind);
        QFETCH(bool, closesWhenDone);
        serverHost(QStringLiteral("gamma"));
        Connection *shared = browse(QStringLiteral("gamma"));

        // Two requests, two connections of their own, neither of them the browse connection.
        QCOMPARE(pool_->GetConnection(QStringLiteral("gamma"), kind), 0);
        QCOMPARE(pool_->GetConnection(QStringLiteral("gamma"), kind), 1);
        QPointer<Connection> first = pool_->connection(kind, 0);
        QPointer<Connection> second = pool_->connection(kind, 1);
        QVERIFY(first && second && first != second);
        QVERIFY(first != shared && second != shared);
        QCOMPARE(first->closeWhenIdle(), closesWhenDone);
        QCOMPARE(first->hostIndex(), shared->hostIndex());

        EndJob job1, job2;
        first->ListDir(QString(), &job1, QStringLiteral("/"));
        second->ListDir(QString(), &job2, QStringLiteral("/"));
        QTRY_COMPARE_WITH_TIMEOUT(job1.ended + job2.ended, 2, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(settled(first) && settled(second), Bound);

        const Connection::State after = closesWhenDone ? Connection::Closed : Connection::Idle;
        QCOMPARE(first->state(), after);
        QCOMPARE(second->state(), after);
        QVERIFY(pool_->AllIdle());

        pool_->ReapClosed();
        QCOMPARE(pool_->IsPooled(first), !closesWhenDone);
        QCOMPARE(pool_->IsPooled(second), !closesWhenDone);
        QVERIFY(pool_->IsPooled(shared));
        if (closesWhenDone) {
            QTRY_VERIFY_WITH_TIMEOUT(!first && !second, Bound);
            // Emptied slots are not reused.
            QCOMPARE(pool_->GetConnection(QStringLiteral("gamma"), kind), 2);
        }
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // --- leaving the pool -----------------------------------------------------------------------

    void connectionLeavesPool_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("nextSlot");
        QTest::newRow("closed, then reaped") << "reap" << 1;
        QTest::newRow("removed by itself") << "remove" << 1;
        QTest::newRow("host closed") << "closeHost" << 1;
        QTest::newRow("all closed") << "closeAll" << 0;
    }

    void connectionLeavesPool()
    {
        QFETCH(QString, how);
        QFETCH(int, nextSlot);
        serverHost(QStringLiteral("delta"));
        serverHost(QStringLiteral("other"));
        QPointer<Connection> c = browse(QStringLiteral("delta"));
        QPointer<Connection> transfer =
            pool_->connection(ConnectionManager::Persistent,
                              pool_->GetConnection(QStringLiteral("delta"), ConnectionManager::Persistent));
        QTRY_VERIFY_WITH_TIMEOUT(c->state() == Connection::Idle && transfer->state() == Connection::Idle, Bound);

        if (how == u"reap") {
            c->close();
            QVERIFY(pool_->IsPooled(c)); // a closed connection stays until it is reaped
            pool_->ReapClosed();
        } else if (how == u"remove") {
            pool_->RemoveConnection(c);
        } else if (how == u"closeHost") {
            pool_->CloseHost(QStringLiteral("delta"));
        } else {
            pool_->CloseAll();
        }
        QVERIFY(!pool_->IsPooled(c));
        QVERIFY(!pool_->connection(ConnectionManager::Browse, 0));
        // Deleted once the event loop is back, never inside the call.
        QVERIFY(c);
        QTRY_VERIFY_WITH_TIMEOUT(!c, Bound);

        const bool transferGoes = how == u"closeHost" || how == u"closeAll";
        QCOMPARE(pool_->IsPooled(transfer), !transferGoes);

        // A new browse connection, with the ordinal the host had before.
        QCOMPARE(pool_->GetConnection(QStringLiteral("other"), ConnectionManager::Browse), nextSlot);
        QCOMPARE(pool_->GetConnection(QStringLiteral("delta"), ConnectionManager::Browse), nextSlot + 1);
        QCOMPARE(pool_->connection(ConnectionManager::Browse, nextSlot + 1)->hostIndex(), 0u);
        QCOMPARE(pool_->HostOrdinal(QStringLiteral("other")), 1u);
    }

    void closeHostTouchesOnlyThatHost_data()
    {
        QTest::addColumn<QString>("closed");
        QTest::addColumn<QStringList>("remaining");
        QTest::newRow("known host") << "myftp" << QStringList{"ftp"};
        QTest::newRow("tail of a known name") << "yftp" << QStringList{"myftp", "ftp"};
        QTest::newRow("never asked for") << "stranger" << QStringList{"myftp", "ftp"};
        QTest::newRow("empty name") << "" << QStringList{"myftp", "ftp"};
    }

    void closeHostTouchesOnlyThatHost()
    {
        QFETCH(QString, closed);
        QFETCH(QStringList, remaining);
        serverHost(QStringLiteral("myftp"));
        serverHost(QStringLiteral("ftp"));
        QPointer<Connection> my = browse(QStringLiteral("myftp"));
        QPointer<Connection> myTransfer = pool_->connection(
            ConnectionManager::Persistent, pool_->GetConnection(QStringLiteral("myftp"), ConnectionManager::Persistent));
        QPointer<Connection> plain = browse(QStringLiteral("ftp"));

        pool_->CloseHost(closed);
        QCOMPARE(pool_->IsPooled(my), remaining.contains(u"myftp"));
        QCOMPARE(pool_->IsPooled(myTransfer), remaining.contains(u"myftp"));
        QCOMPARE(pool_->IsPooled(plain), remaining.contains(u"ftp"));
        // Closing a name gives it no ordinal: the next new host is the third.
        QCOMPARE(pool_->HostOrdinal(QStringLiteral("newcomer")), 2u);
    }

    // --- host records -----------------------------------------------------------------------

    void missingHostRecord_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("no host key") << false << "Couldn't Find Host Details";
        QTest::newRow("key without Address") << true << "Couldn't Find Host Address";
    }

    void missingHostRecord()
    {
        QFETCH(bool, stored);
        QFETCH(QString, text);
        const QString name = QStringLiteral("ghost");
        SettingsStore::instance().deleteKey(SettingsKeys::hostKey(name));
        if (stored)
            storeHost(name, {{QStringLiteral("Port"), QString::number(server_.port())}});

        for (int kind : {0, 1, 2}) {
            prompt_.clear();
            QCOMPARE(pool_->GetConnection(name, kind), -1);
            QCOMPARE(prompt_.count(), 1);
            QCOMPARE(prompt_.lastText(), text);
            QCOMPARE(prompt_.lastCaption(), QStringLiteral("Registry Error"));
            QCOMPARE(prompt_.entries().constLast().buttons, int(Prompt::Ok));
            QVERIFY(!pool_->connection(kind, 0));
        }

        // Records handed over with the request are ended, not left waiting.
        EndingTransfer transfer;
        QVERIFY(!pool_->RequestTransfer(name, &transfer, ConnectionManager::SingleUse));
        QCOMPARE(transfer.ends, 1);
        EndingDelete deletion;
        QVERIFY(!pool_->RequestDelete(name, &deletion, ConnectionManager::Browse));
        QCOMPARE(deletion.ends, 1);
        QVERIFY(!pool_->RequestCommand(name, QStringLiteral("CWD /\r\nNOOP\r\n")));
        QCOMPARE(pool_->ClearWaiting(name), -1);
        QVERIFY(!pool_->Monitor(name));
        QVERIFY(pool_->AllIdle());
    }

    // The stored port text; only a text that starts with a digit 1 to 9 names a port.
    void portText_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("expected");
        QTest::newRow("number") << "2121" << 2121;
        QTest::newRow("missing") << "<none>" << 21;
        QTest::newRow("zero") << "0" << 21;
        QTest::newRow("leading zero") << "08" << 21;
        QTest::newRow("word") << "ftp" << 21;
        QTest::newRow("leading blank") << " 2121" << 21;
        QTest::newRow("digits then text") << "2121abc" << 2121;
        QTest::newRow("beyond the port range") << "70000" << 21;
    }

    void portText()
    {
        QFETCH(QString, port);
        QFETCH(int, expected);
        // An address that is not a literal waits for its lookup, so nothing is dialled here.
        storeHost(QStringLiteral("porty"),
                  {{QStringLiteral("Address"), QStringLiteral("localhost")}, {QStringLiteral("Port"), port}});
        Connection *c = browse(QStringLiteral("porty"));
        QVERIFY(c);
        QCOMPARE(int(c->peerPort()), expected);
        pool_->CloseAll();
    }

    // --- preferences ------------------------------------------------------------------------

    void preferences_data()
    {
        QTest::addColumn<QString>("storeU");
        QTest::addColumn<QString>("tType");
        QTest::addColumn<QString>("hostTType");
        QTest::addColumn<bool>("unique");
        QTest::addColumn<int>("arrow");
        QTest::addColumn<int>("hostMode");

        QTest::newRow("all missing") << "<none>" << "<none>" << "<none>" << false << 1 << 2;
        QTest::newRow("in range") << "1" << "2" << "1" << true << 2 << 1;
        QTest::newRow("zeros") << "0" << "0" << "0" << false << 0 << 0;
        QTest::newRow("TType 7 asks") << "0" << "7" << "0" << false << 0 << 0;
        QTest::newRow("HostTType -1 is foreground") << "0" << "1" << "-1" << false << 1 << 2;
        QTest::newRow("StoreU any non-zero number") << "5" << "1" << "2" << true << 1 << 2;
        QTest::newRow("numbers read as atoi does") << "-3x" << "2abc" << " 1" << true << 2 << 1;
        QTest::newRow("words read as zero") << "yes" << "new" << "back" << false << 0 << 0;
        QTest::newRow("longer than the buffer") << "00000000001" << "00000000002" << "00000000001" << false << 1
                                                << 2;
    }

    void preferences()
    {
        QFETCH(QString, storeU);
        QFETCH(QString, tType);
        QFETCH(QString, hostTType);
        QFETCH(bool, unique);
        QFETCH(int, arrow);
        QFETCH(int, hostMode);
        pool_.reset();
        SettingsStore &store = SettingsStore::instance();
        const std::pair<const char *, QString> stored[] = {{"StoreU", storeU}, {"TType", tType}, {"HostTType", hostTType}};
        for (const auto &[name, text] : stored) {
            if (text == u"<none>")
                store.deleteValue(SettingsKeys::Root, QLatin1String(name));
            else
                QVERIFY(SetAppValue(QLatin1String(name), text));
        }

        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        QCOMPARE(pool_->storeUnique(), unique);
        QCOMPARE(pool_->arrowConnection(), arrow);
        QCOMPARE(pool_->hostTransferMode(), hostMode);

        // Written back, as numbers, when the pool goes; settings changed meanwhile included.
        pool_.reset();
        QCOMPARE(AppValue(QStringLiteral("StoreU")), QString::number(unique ? 1 : 0));
        QCOMPARE(AppValue(QStringLiteral("TType")), QString::number(arrow));
        QCOMPARE(AppValue(QStringLiteral("HostTType")), QString::number(hostMode));

        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        pool_->setStoreUnique(!unique);
        pool_->setArrowConnection((arrow + 1) % 3);
        pool_->setHostTransferMode((hostMode + 2) % 3);
        pool_.reset();
        QCOMPARE(AppValue(QStringLiteral("StoreU")), QString::number(unique ? 0 : 1));
        QCOMPARE(AppValue(QStringLiteral("TType")), QString::number((arrow + 1) % 3));
        QCOMPARE(AppValue(QStringLiteral("HostTType")), QString::number((hostMode + 2) % 3));
    }

    // --- state of the whole pool --------------------------------------------------------------

    void allIdleFollowsTheConnections()
    {
        QVERIFY(pool_->AllIdle()); // nothing in the pool
        serverHost(QStringLiteral("epsilon"));
        Connection *c = browse(QStringLiteral("epsilon"));
        QVERIFY(!pool_->AllIdle()); // still logging in
        QTRY_VERIFY_WITH_TIMEOUT(pool_->AllIdle(), Bound);
        QCOMPARE(c->state(), Connection::Idle);

        // A routed custom command keeps it busy until its replies are in.
        QVERIFY(pool_->RequestCommand(QStringLiteral("epsilon"), QStringLiteral("CWD /\r\nNOOP\r\n")));
        QVERIFY(!pool_->AllIdle());
        QTRY_VERIFY_WITH_TIMEOUT(pool_->AllIdle(), Bound);
        QVERIFY(prompt_.contains(QStringLiteral("Custom Command 1 Completed"), QStringLiteral("200")));

        c->close(); // closed counts as idle too
        QVERIFY(pool_->AllIdle());
    }

    // The listing cache of the pool: a changed directory loses its file, and the pool's own last
    // lookup stays as it was.
    void invalidateListingKeepsLastLookup()
    {
        serverHost(QStringLiteral("zeta"));
        Cache &cache = pool_->cache();
        cache.Lookup(QStringLiteral("zeta"), QStringLiteral("/changed/"), true);
        const QString changed = cache.GetFilePath();
        CacheWriter writer;
        QVERIFY(writer.open(changed) && writer.close());
        cache.Lookup(QStringLiteral("zeta"), QStringLiteral("/kept/"), true);
        const QString kept = cache.GetFilePath();
        QVERIFY(writer.open(kept) && writer.close());

        pool_->invalidateListing(QStringLiteral("zeta"), QStringLiteral("/changed/"));
        QVERIFY(!QFileInfo::exists(toNativePath(changed)));
        QVERIFY(QFileInfo::exists(toNativePath(kept)));
        QCOMPARE(cache.GetFilePath(), kept);
    }

    // The warning that slots run out: the lists keep every slot ever used until CloseAll.
    void connectionsLow()
    {
        quint16 refused = 0;
        {
            QTcpServer probe; // a port with nobody listening, so each attempt ends at once
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            refused = probe.serverPort();
        }
        storeHost(QStringLiteral("nowhere"), hostValues(refused));
        const auto lowWarnings = [this] {
            int n = 0;
            for (const RecordingPrompt::Entry &e : prompt_.entries())
                n += e.caption == u"Connections Low";
            return n;
        };

        constexpr int Limit = ConnectionManager::ConnectionsLowCount;
        for (int slot = 0; slot <= Limit; ++slot) {
            QCOMPARE(pool_->GetConnection(QStringLiteral("nowhere"), ConnectionManager::SingleUse), slot);
            if (slot % 200 == 199) {
                // Let the refused attempts end and the reaped connections go.
                QTRY_VERIFY_WITH_TIMEOUT(pool_->AllIdle(), Bound);
                pool_->ReapClosed();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                prompt_.clear();
            }
        }
        QCOMPARE(lowWarnings(), 0);

        // One slot past the limit: every call warns from now on.
        prompt_.clear();
        pool_->ReapClosed();
        QCOMPARE(lowWarnings(), 1);
        const RecordingPrompt::Entry warning = prompt_.entries().constLast();
        QCOMPARE(warning.text, QStringLiteral("You are getting dangerously low on available connection, please select "
                                              "\"Close All Connections\" from the tools menu when it is next convenient"));
        QCOMPARE(warning.icon, Prompt::Icon::Warning);
        pool_->GetConnection(QStringLiteral("nowhere"), ConnectionManager::Browse);
        QCOMPARE(lowWarnings(), 2);

        pool_->CloseAll();
        prompt_.clear();
        QCOMPARE(pool_->GetConnection(QStringLiteral("nowhere"), ConnectionManager::SingleUse), 0);
        QCOMPARE(lowWarnings(), 0);
        pool_->CloseAll();
    }
};

QTEST_GUILESS_MAIN(TestConnectionManager)
#include "tst_connectionmanager.moc"
