// The control connection: name lookup, connect, login, reply dispatch, the queue, custom
// commands and the session monitor, against pyftpdlib and, for odd replies, the scripted server.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestEnvironment.h"

#include "ftp/Connection.h"
#include "ftp/SessionMonitor.h"
#include "pool/ConnectionManager.h"
#include "settings/HostRecord.h"

#include "pool/ListInfo.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Bound = 10000; // ms: the longest any event below may take

class RecordingMonitor : public SessionMonitor
{
public:
    void ShowReceived(const QString &line) override { lines << QStringLiteral("Received > ") + line; }
    void ShowSent(const QString &line) override { lines << QStringLiteral("Sent > ") + line; }
    void monitorDetached() override { detached = true; }
    QStringList lines;
    bool detached = false;
};

HostRecord record(quint16 port, const QString &user = QStringLiteral("anonymous"),
                  const QString &password = QStringLiteral("guest@example.org"), int hostType = 0,
                  const QString &address = QStringLiteral("127.0.0.1"))
{
    HostRecord r;
    r.name = QStringLiteral("%1:%2/%3").arg(address).arg(port).arg(user);
    r.address = address;
    r.port = QString::number(port);
    r.userName = user;
    r.password = password;
    r.hostType = hostType;
    return r;
}

// Records the hosts whose options a box's "Host Options…" asked to open.
class HostEditingPrompt : public RecordingPrompt
{
public:
    void editHost(const QString &hostName) override { edited << hostName; }
    QStringList edited;
};

enum Peer { ClosedPort, UnknownName, FullBacklog, SilentServer };

// A host that never lets a login start: a port nobody listens on, a name no resolver knows, a
// port whose listen queue is full (the connect is never answered) or a server that never greets.
struct UnansweringPeer
{
    QString address = QStringLiteral("127.0.0.1");
    quint16 port = 0;
    int listener = -1;
    QTcpSocket filler;
    ScriptedFtpServer silent;

    ~UnansweringPeer()
    {
        if (listener >= 0)
            ::close(listener);
    }

    bool open(Peer peer)
    {
        switch (peer) {
        case ClosedPort: {
            QTcpServer probe; // free a moment ago, and nobody listens there now
            if (!probe.listen(QHostAddress::LocalHost))
                return false;
            port = probe.serverPort();
            return true;
        }
        case UnknownName:
            address = QStringLiteral("no-such-host.invalid");
            port = 21;
            return true;
        case FullBacklog:
            return openFullBacklog();
        case SilentServer:
            silent.setGreeting(QByteArray());
            port = silent.listen() ? silent.port() : 0;
            return port != 0;
        }
        return false;
    }

    // A listen queue of one, taken by a connection nobody accepts: further connects get no answer.
    bool openFullBacklog()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof where;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&where), size) != 0
            || ::listen(listener, 0) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr *>(&where), &size) != 0)
            return false;
        port = ntohs(where.sin_port);
        filler.connectToHost(QHostAddress::LocalHost, port);
        return QTest::qWaitFor([this] { return filler.state() == QAbstractSocket::ConnectedState; }, Bound);
    }
};

QString customText(const QStringList &lines)
{
    return QStringLiteral("CWD /\r\n") + lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
}

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    HostEditingPrompt prompt_;
    RecordingStatus status_;
    std::unique_ptr<ConnectionManager> pool_;

    Connection *open(const HostRecord &r, int kind = ConnectionManager::Browse)
    {
        pool_->defineHost(r);
        const int slot = pool_->GetConnection(r.name, kind);
        return pool_->connection(kind, slot);
    }

    static bool settled(Connection *c) { return c->state() == Connection::Idle || c->state() == Connection::Closed; }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void init()
    {
        prompt_.clear();
        prompt_.edited.clear();
        status_.clear();
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        pool_->setDataMode(1); // the scripts use PORT
    }

    void cleanup() { pool_.reset(); }

    // --- against a real server ---------------------------------------------------------------

    void loginToRealServer_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("anonymous") << "anonymous" << "guest@example.org" << true;
        QTest::newRow("named user") << FtpServerFixture::User << FtpServerFixture::Password << true;
        QTest::newRow("wrong password") << FtpServerFixture::User << "wrong" << false;
    }

    void loginToRealServer()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));

        QPointer<Connection> c = open(record(server.port(), user, password));
        QVERIFY(c);
        QTRY_VERIFY_WITH_TIMEOUT(settled(c), Bound);
        if (accepted) {
            QCOMPARE(c->state(), Connection::Idle);
            QCOMPARE(c->hostType(), 1); // pyftpdlib answers SYST with "215 UNIX Type: L8"
            QVERIFY(status_.contains(QStringLiteral("Log-in Complete")));
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        } else {
            QCOMPARE(c->state(), Connection::Closed);
            QCOMPARE(prompt_.count(), 1);
            QCOMPARE(prompt_.lastCaption(), QStringLiteral("Login Error"));
            QCOMPARE(prompt_.lastText(), QStringLiteral("Invalid Password"));
            QVERIFY(!status_.contains(QStringLiteral("Log-in Complete")));
        }
    }

    void monitorMasksPassword()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        RecordingMonitor monitor;
        Connection *c = open(record(server.port(), FtpServerFixture::User, FtpServerFixture::Password));
        c->setMonitor(&monitor);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);

        QVERIFY2(monitor.lines.contains(QStringLiteral("Sent > PASS ******")), qPrintable(monitor.lines.join('\n')));
        QVERIFY(monitor.lines.contains(QStringLiteral("Sent > USER alice")));
        QVERIFY(monitor.lines.contains(QStringLiteral("Sent > SYST")));
        for (const QString &line : std::as_const(monitor.lines)) {
            QVERIFY2(!line.contains(QLatin1String("secret")), qPrintable(line));
            QVERIFY2(!line.contains(QLatin1Char('\r')), qPrintable(line));
        }
        QVERIFY(monitor.lines.first().startsWith(QLatin1String("Received > 220")));

        pool_->CloseAll();
        QVERIFY(monitor.detached || !pool_->IsPooled(c));
    }

    void reconnectLogsInAgain()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Connection *c = open(record(server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        status_.clear();

        c->Reconnect();
        QCOMPARE(c->state(), Connection::Connecting);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QVERIFY(status_.contains(QStringLiteral("Log-in Complete")));
    }

    // --- reaching the host -------------------------------------------------------------------

    // Each way of not reaching a host, started by a pane's listing: the message names the host,
    // its address and port and the reason, and the status line no longer says the listing was
    // registered. %N is the host's name, %P its port.
    void connectFailures_data()
    {
        QTest::addColumn<int>("peer");
        QTest::addColumn<QString>("box"); // "caption: text", or empty when only the status line tells
        QTest::addColumn<QString>("status"); // the status line at the end; a prefix when it ends in "…"
        const QString failed = QStringLiteral("List of / on %N failed");
        QTest::newRow("refused port")
            << int(ClosedPort) << "Connect Error: Host is Unreachable: %N (127.0.0.1, port %P): Connection refused"
            << failed;
        QTest::newRow("unknown host name")
            << int(UnknownName) << QString()
            << "Host address could not be resolved: %N (no-such-host.invalid, port %P): …";
        QTest::newRow("connect never answered")
            << int(FullBacklog)
            << "Connect Error: Host is Unreachable: %N (127.0.0.1, port %P): Connection timed out (no answer for 1 s)"
            << failed;
        QTest::newRow("no greeting")
            << int(SilentServer) << "Connection Lost: Connection timed out: no answer from %N (127.0.0.1, port %P) for 1 s"
            << failed;
    }

    void connectFailures()
    {
        QFETCH(int, peer);
        QFETCH(QString, box);
        QFETCH(QString, status);
        UnansweringPeer target;
        QVERIFY2(target.open(Peer(peer)), "no loopback port for the case");
        pool_->setTimeoutSeconds(1);
        const HostRecord r = record(target.port, QStringLiteral("anonymous"), QString(), 0, target.address);
        pool_->defineHost(r);

        ListInfo::ListDirectory(*pool_, r.name, QStringLiteral("/"), nullptr, true, true);
        QCOMPARE(status_.texts().value(0), QStringLiteral("List registered on %1 for /").arg(r.name));
        Connection *c = pool_->connection(ConnectionManager::Browse, pool_->GetConnection(r.name, ConnectionManager::Browse));
        QVERIFY(c);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Closed, 30000);

        const auto filled = [&](QString text) { return text.replace("%N", r.name).replace("%P", r.port); };
        QCOMPARE(prompt_.dump().trimmed(), filled(box));
        if (!box.isEmpty())
            QVERIFY2(!(prompt_.entries().constLast().buttons & Prompt::HostOptions), "offered for a login only");
        if (status.endsWith(QChar(u'…'))) {
            const QString prefix = filled(status.chopped(1));
            QVERIFY2(status_.last().startsWith(prefix) && status_.last().size() > prefix.size(),
                     qPrintable(status_.last()));
        } else {
            QCOMPARE(status_.last(), filled(status));
        }
    }

    void namedHostIsLookedUp()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        Connection *c = open(record(server.port(), QStringLiteral("anonymous"), QString(), 0,
                                    QStringLiteral("localhost")));
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QVERIFY(status_.contains(QStringLiteral("Host Address Resolved.")));
    }

    // --- login replies that only the scripted server gives ---------------------------------

    void loginReplies_data()
    {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<QByteArray>("userReply");
        QTest::addColumn<QByteArray>("passReply");
        QTest::addColumn<QByteArray>("systReply");
        QTest::addColumn<int>("hostType");
        QTest::addColumn<QStringList>("transcript");
        QTest::addColumn<QString>("box"); // "caption: text", or empty when logged in
        QTest::addColumn<int>("typeAfter");

        const QByteArray ok220 = "220 Ready\r\n", ok331 = "331 Password\r\n", ok230 = "230 In\r\n";
        const QStringList full{"USER anonymous", "PASS guest@example.org", "SYST"};
        QTest::newRow("UNIX system") << ok220 << ok331 << ok230 << QByteArray("215 UNIX Type: L8\r\n") << 0
                                     << full << QString() << 1;
        QTest::newRow("VMS system") << ok220 << ok331 << ok230 << QByteArray("215 VMS system\r\n") << 0 << full
                                    << QString() << 2;
        QTest::newRow("Windows system") << ok220 << ok331 << ok230 << QByteArray("215 Windows_NT\r\n") << 0 << full
                                        << QString() << 3;
        QTest::newRow("known Windows type sends no SYST")
            << ok220 << ok331 << ok230 << QByteArray() << 3 << full.mid(0, 2) << QString() << 3;
        QTest::newRow("vms in lower case is not VMS")
            << ok220 << ok331 << ok230 << QByteArray("215 openvms\r\n") << 0 << full << QString() << 1;
        QTest::newRow("known type sends no SYST")
            << ok220 << ok331 << ok230 << QByteArray() << 1 << full.mid(0, 2) << QString() << 1;
        QTest::newRow("known VMS type sends no SYST")
            << ok220 << ok331 << ok230 << QByteArray() << 2 << full.mid(0, 2) << QString() << 2;
        QTest::newRow("multi-line greeting is one reply")
            << QByteArray("220-Welcome\r\n220-to the host\r\n220 Ready\r\n") << ok331 << ok230
            << QByteArray("215 UNIX\r\n") << 0 << full << QString() << 1;
        QTest::newRow("digits inside a multi-line greeting")
            << QByteArray("220-Welcome\r\n  331 users online\r\n220 Ready\r\n") << ok331 << ok230
            << QByteArray("215 UNIX\r\n") << 0 << full << QString() << 1;
        QTest::newRow("greeting refused") << QByteArray("421 Too many users\r\n") << QByteArray() << QByteArray()
                                          << QByteArray() << 0 << QStringList()
                                          << "Message: Host is Responding but Unavailable" << 0;
        // A host that asks no password (vsftpd's anonymous login can) has logged the user in.
        QTest::newRow("USER answered 230") << ok220 << QByteArray("230 No password needed\r\n") << QByteArray()
                                           << QByteArray("215 UNIX Type: L8\r\n") << 0 << full.mid(0, 1) + full.mid(2, 1)
                                           << QString() << 1;
        QTest::newRow("USER refused") << ok220 << QByteArray("530 Not allowed\r\n") << QByteArray() << QByteArray()
                                      << 0 << full.mid(0, 1) << "Login Error: Invalid Username" << 0;
        QTest::newRow("PASS refused") << ok220 << ok331 << QByteArray("530 Login incorrect\r\n") << QByteArray()
                                      << 0 << full.mid(0, 2) << "Login Error: Invalid Password" << 0;
        QTest::newRow("SYST refused") << ok220 << ok331 << ok230 << QByteArray("502 Not implemented\r\n") << 0
                                      << full << "Login Error: Error Receiving Hosts Type" << 0;
    }

    void loginReplies()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(QByteArray, userReply);
        QFETCH(QByteArray, passReply);
        QFETCH(QByteArray, systReply);
        QFETCH(int, hostType);
        QFETCH(QStringList, transcript);
        QFETCH(QString, box);
        QFETCH(int, typeAfter);

        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.setGreeting(greeting);
        if (!userReply.isEmpty())
            server.expect(QStringLiteral("USER anonymous"), userReply);
        if (!passReply.isEmpty())
            server.expect(QStringLiteral("PASS guest@example.org"), passReply);
        if (!systReply.isEmpty())
            server.expect(QStringLiteral("SYST"), systReply);

        Connection *c = open(record(server.port(), QStringLiteral("anonymous"), QStringLiteral("guest@example.org"),
                                    hostType));
        QTRY_VERIFY_WITH_TIMEOUT(settled(c), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(server.transcript(), transcript, Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        if (box.isEmpty()) {
            QCOMPARE(c->state(), Connection::Idle);
            QCOMPARE(c->hostType(), typeAfter);
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        } else {
            QCOMPARE(c->state(), Connection::Closed);
            QCOMPARE(prompt_.dump().trimmed(), box);
            // A refused login can be mended in the host's options; a busy host cannot.
            const bool offered = prompt_.entries().constLast().buttons & Prompt::HostOptions;
            QCOMPARE(offered, box.startsWith(QLatin1String("Login Error:")));
            QVERIFY(prompt_.edited.isEmpty()); // OK was chosen
            QTRY_VERIFY_WITH_TIMEOUT(!server.isClientConnected(), Bound); // the socket was closed
        }
    }

    // Choosing "Host Options…" opens the options of the host whose login was refused, once the
    // queue has been told; OK opens nothing (above).
    void hostOptionsAfterRefusedLogin()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expect(QStringLiteral("USER anonymous"), "331 Password\r\n");
        server.expect(QStringLiteral("PASS guest@example.org"), "530 Login incorrect\r\n");
        const HostRecord r = record(server.port());
        pool_->defineHost(r);
        prompt_.queueAnswer(Prompt::HostOptions);
        ListInfo::ListDirectory(*pool_, r.name, QStringLiteral("/"), nullptr, true, true);

        QTRY_COMPARE_WITH_TIMEOUT(prompt_.edited, QStringList{r.name}, Bound);
        QCOMPARE(prompt_.dump().trimmed(), QStringLiteral("Login Error: Invalid Password"));
        QCOMPARE(status_.last(), QStringLiteral("List of / on %1 failed").arg(r.name));
    }

    void lineBreakInCredentialsIsNeverSent()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expect(QStringLiteral("USER bob"), "331 Password\r\n");
        Connection *c = open(record(server.port(), QStringLiteral("bob"), QStringLiteral("x\r\nDELE important")));
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Closed, Bound);
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Login Error"));
        QTRY_VERIFY_WITH_TIMEOUT(!server.isClientConnected(), Bound);
        QCOMPARE(server.transcript(), QStringList{"USER bob"});
    }

    void endlessReplyLineClosesConnection()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.setGreeting(QByteArray(3 * ReplyReader::MaxLineLength, 'x')); // never a line end
        Connection *c = open(record(server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Closed, Bound);
        QCOMPARE(prompt_.count(), 1);
        QVERIFY2(prompt_.lastText().contains(QLatin1String("too long")), qPrintable(prompt_.dump()));
        QTRY_VERIFY_WITH_TIMEOUT(!server.isClientConnected(), Bound);
    }

    void hostClosingEndsConnection()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        server.expect(QStringLiteral("SYST"), "215 UNIX\r\n");
        Connection *c = open(record(server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        server.closeClient();
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Closed, Bound);
        QVERIFY(prompt_.isEmpty());
    }

    // --- the queue and custom commands --------------------------------------------------------

    void queueServesNewestFirst()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        server.expect(QStringLiteral("SYST"), "215 UNIX\r\n");
        for (const char *name : {"C", "B", "A"}) {
            server.expect(QStringLiteral("CWD /"), "250 OK\r\n");
            server.expect(QStringLiteral("SITE %1").arg(name), QByteArray("200 did ") + name + "\r\n");
        }
        Connection *c = open(record(server.port()));
        // Queued while the connection is still logging in.
        for (const char *name : {"A", "B", "C"})
            c->CustomCommands(customText({QStringLiteral("SITE %1").arg(name)}));
        QCOMPARE(c->queuedCount(), 3);

        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(prompt_.count(), 3);
        const QStringList expected{"200 did C", "200 did B", "200 did A"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(prompt_.entries().at(i).text, expected.at(i));
            QCOMPARE(prompt_.entries().at(i).caption, QStringLiteral("Custom Command 1 Completed"));
        }
    }

    void customCommandResults()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        server.expect(QStringLiteral("SYST"), "215 UNIX\r\n");
        server.expect(QStringLiteral("CWD /"), "550 No such directory\r\n"); // the leading CWD's reply is not shown
        server.expect(QStringLiteral("STAT"), "211-Status\r\n  200 bytes free\r\n211 End\r\n");
        server.expect(QStringLiteral("USER other"), "331 Password\r\n");
        server.expect(QStringLiteral("PASS x"), "230 Logged in\r\n");
        Connection *c = open(record(server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);

        c->CustomCommands(customText({"STAT", "USER other", "PASS x"}));
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QCOMPARE(prompt_.count(), 3);
        QCOMPARE(prompt_.entries().at(0).caption, QStringLiteral("Custom Command 1 Completed"));
        QCOMPARE(prompt_.entries().at(0).text, QStringLiteral("211-Status\n  200 bytes free\n211 End"));
        QCOMPARE(prompt_.entries().at(1).caption, QStringLiteral("Custom Command 2 Completed"));
        QCOMPARE(prompt_.entries().at(1).text, QStringLiteral("331 Password"));
        QCOMPARE(prompt_.entries().at(2).caption, QStringLiteral("Custom Command 3 Completed"));
        QCOMPARE(prompt_.entries().at(2).text, QStringLiteral("230 Logged in"));
    }

    void singleUseClosesAfterLastOperation()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        server.expect(QStringLiteral("SYST"), "215 UNIX\r\n");
        server.expect(QStringLiteral("CWD /"), "250 OK\r\n");
        server.expect(QStringLiteral("NOOP"), "200 OK\r\n");
        Connection *c = open(record(server.port()), ConnectionManager::SingleUse);
        QVERIFY(c->closeWhenIdle());

        // Logging in with SYST leaves it open and idle although nothing is queued.
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        c->CustomCommands(customText({"NOOP"}));
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Closed, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(!server.isClientConnected(), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QVERIFY(prompt_.contains(QStringLiteral("Custom Command 1 Completed"), QStringLiteral("200 OK")));

        pool_->ReapClosed();
        QVERIFY(!pool_->IsPooled(c));
    }

    void clearQueueDropsWaitingOperations()
    {
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        server.expect(QStringLiteral("SYST"), "215 UNIX\r\n");
        Connection *c = open(record(server.port()));
        c->CustomCommands(customText({"NOOP"}));
        c->CustomCommands(customText({"NOOP"}));
        c->ClearQueue();
        QCOMPARE(c->queuedCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::Idle, Bound);
        QCOMPARE(server.transcript().size(), 3); // USER, PASS, SYST and nothing after
    }

    // --- the monitor's form of a line ---------------------------------------------------------

    void monitorLineForm_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "200 OK" << false << "200 OK";
        QTest::newRow("tab") << "a\tb" << false << "a   b";
        QTest::newRow("control characters") << QStringLiteral("a\x01" "b\x7f" "c") << false << "a b c";
        QTest::newRow("cut at line end") << "CWD /\r\nLIST" << true << "CWD /";
        QTest::newRow("password masked") << "PASS secret" << true << "PASS ******";
        QTest::newRow("empty password") << "PASS " << true << "PASS ";
        QTest::newRow("lower-case pass masked") << "pass hunter2" << true << "pass *******";
        QTest::newRow("received PASS text not masked") << "PASS word" << false << "PASS word";
        QTest::newRow("non-ASCII name kept") << QStringLiteral("550 Bücher") << false << QStringLiteral("550 Bücher");
    }

    void monitorLineForm()
    {
        QFETCH(QString, line);
        QFETCH(bool, sent);
        QFETCH(QString, shown);
        QCOMPARE(monitorLine(line, sent), shown);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
