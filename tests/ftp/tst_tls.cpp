// The engine's trust decision over a real TLS server (pyftpdlib with AUTH TLS and a self-signed
// certificate made at test time): what the prompt is asked, and what each answer leaves behind
// for the next connection, for a host of the database and for one known for this run only.

#include "EngineTest.h"

#include "support/FtpServerFixture.h"
#include "support/TestHosts.h"

#include "settings/HostRecord.h"

#include <QPointer>

namespace {

constexpr int Bound = 20000;

int usersReceived(const FtpServerFixture &server)
{
    return int(server.log().count(QLatin1String("<- USER ")));
}

} // namespace

class TestTls : public EngineTest
{
    Q_OBJECT

    // The browse connection of the host, started; database: a host of the database (written
    // unless it exists), else one known for this run only (as the command line's addresses are).
    Connection *connect(const FtpServerFixture &server, bool database)
    {
        const QString name = QStringLiteral("tls%1").arg(server.port());
        if (database) {
            if (!HostRecord::read(name))
                storeTestHost(name, server.port(), {{QStringLiteral("Encryption"), QStringLiteral("2")}});
        } else {
            HostRecord r = hostRecord(server.port());
            r.name = name;
            r.encryption = 2;
            pool_->defineHost(r);
        }
        return pool_->connectionFor(name, ConnectionManager::Browse);
    }

    static bool settled(Connection *c) { return c->state() == Connection::Idle || c->state() == Connection::Closed; }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }
    void init() { QVERIFY(setUpEngine()); }
    void cleanup() { tearDownEngine(); }

    void trustAnswers_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("database");
        for (const bool database : {true, false}) {
            const char *kind = database ? "database host" : "host of this run";
            QTest::addRow("refuse, %s", kind) << int(Prompt::Trust::Refuse) << database;
            QTest::addRow("once, %s", kind) << int(Prompt::Trust::Once) << database;
            QTest::addRow("always, %s", kind) << int(Prompt::Trust::Always) << database;
        }
    }

    // One question per connection, describing the certificate the server presents. Refuse ends
    // the session before USER; Once and Always log in. Only Always is remembered: a second
    // connection from a fresh pool (a new run) is asked again after Refuse and Once, and not
    // after Always, whose fingerprint a database host keeps as its CertSha256.
    void trustAnswers()
    {
        QFETCH(int, answer);
        QFETCH(bool, database);
        const auto trust = Prompt::Trust(answer);
        FtpServerFixture::Options options;
        options.tls = FtpServerFixture::Explicit;
        FtpServerFixture server(options);
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        prompt_.queueTrust(trust);
        QPointer<Connection> c = connect(server, database);
        QVERIFY(c);
        QTRY_VERIFY_WITH_TIMEOUT(!c || settled(c), Bound);
        QCOMPARE(prompt_.certificateQuestions().size(), 1);
        const CertificateQuestion question = prompt_.certificateQuestions().constFirst();
        QCOMPARE(question.sha256, server.certificateSha256());
        QVERIFY2(question.subject.contains(QLatin1String("localhost")), qPrintable(question.subject));
        QVERIFY2(question.address.contains(QString::number(server.port())), qPrintable(question.address));
        QVERIFY(!question.problems.isEmpty());
        if (trust == Prompt::Trust::Refuse) {
            QVERIFY(!c || c->state() == Connection::Closed);
            QVERIFY2(status_.contains(QStringLiteral("nothing was sent")), qPrintable(status_.texts().join('\n')));
            QCOMPARE(usersReceived(server), 0);
        } else {
            QVERIFY(c && c->state() == Connection::Idle);
            QVERIFY(status_.contains(QStringLiteral("Log-in Complete")));
            QCOMPARE(usersReceived(server), 1);
        }
        const QString name = QStringLiteral("tls%1").arg(server.port());
        if (database) {
            const std::optional<HostRecord> stored = HostRecord::read(name);
            QVERIFY(stored);
            QCOMPARE(stored->certSha256, trust == Prompt::Trust::Always ? server.certificateSha256() : QString());
        }

        // A new run: a fresh pool and prompt; Refuse answers a question, if one comes.
        QVERIFY(setUpEngine());
        c = connect(server, database);
        QVERIFY(c);
        QTRY_VERIFY_WITH_TIMEOUT(!c || settled(c), Bound);
        const bool remembered = trust == Prompt::Trust::Always;
        QCOMPARE(prompt_.certificateQuestions().size(), remembered ? 0 : 1);
        QCOMPARE(c && c->state() == Connection::Idle, remembered);
    }

    // Once holds for the connection it was given on: its reconnect is not asked again.
    void onceHoldsForReconnect()
    {
        FtpServerFixture::Options options;
        options.tls = FtpServerFixture::Explicit;
        FtpServerFixture server(options);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        prompt_.queueTrust(Prompt::Trust::Once);
        Connection *c = connect(server, false);
        QVERIFY(c);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        status_.clear();

        c->Reconnect();
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QCOMPARE(prompt_.certificateQuestions().size(), 1);
        QVERIFY(status_.contains(QStringLiteral("Log-in Complete")));
        QCOMPARE(usersReceived(server), 2);
    }
};

QTEST_GUILESS_MAIN(TestTls)
#include "tst_tls.moc"
