// How a connection asks for its data connections and reads what the host offers, with the replies
// a real server will not give: a 227 naming another address, refused or broken passive replies, a
// passive port nobody answers on, FEAT with and without UTF8, MLSD with hostile facts or refused,
// DOS listings of Windows hosts, and the keep-alive NOOP of an idle connection.

#include "EngineTest.h"
#include "ScriptedSteps.h"

#include "support/FtpServerFixture.h"
#include "support/ScriptedFtpServer.h"

#include <QTcpServer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Bound = 20000;

quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString entryText(const ListingEntry &e)
{
    const char *kind = e.kind == ListingEntry::Directory ? "dir" : e.kind == ListingEntry::Link ? "link" : "file";
    return QStringLiteral("%1 %2 %3").arg(QLatin1String(kind), e.name).arg(e.size);
}

QStringList entriesOf(const QList<ListingEntry> &entries)
{
    QStringList out;
    for (const ListingEntry &e : entries)
        out << entryText(e);
    out.sort();
    return out;
}

// A loopback port that takes no connection and refuses none, as a port behind a firewall that
// drops packets: its listen queue (one place) is filled at once, so the kernel ignores further
// connection requests.
class DeafPort
{
public:
    DeafPort()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), size) != 0
            || ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        for (int &fd : queue_) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr *>(&address), size);
        }
    }
    ~DeafPort()
    {
        for (int fd : queue_)
            if (fd >= 0)
                ::close(fd);
        if (listener_ >= 0)
            ::close(listener_);
    }
    DeafPort(const DeafPort &) = delete;
    DeafPort &operator=(const DeafPort &) = delete;
    quint16 port() const { return port_; }

private:
    int listener_ = -1;
    int queue_[2] = {-1, -1};
    quint16 port_ = 0;
};

// A prompt whose boxes stay open, as a user reading them keeps them, until a condition holds.
class HoldingPrompt : public RecordingPrompt
{
public:
    std::function<bool()> until;

    int ask(const QString &text, const QString &caption, Icon icon, int buttons) override
    {
        // Holds the box until the condition or for longer than two keep-alive periods of 1 s; the
        // test checks what happened meanwhile.
        if (until)
            (void)QTest::qWaitFor(until, 2500);
        return RecordingPrompt::ask(text, caption, icon, buttons);
    }
};

// The script line of a PASV answered with port on 127.0.0.1.
QString pasvNaming(quint16 port)
{
    return QStringLiteral("PASV => 227 Entering Passive Mode (127,0,0,1,%1,%2)").arg(port >> 8).arg(port & 0xff);
}

const QByteArray NoFeatures = "211-Features:\r\n211 End\r\n";
const QByteArray Epsv = "211-Features:\r\n EPSV\r\n211 End\r\n";
const QByteArray Mlst = "211-Features:\r\n MLST type*;size*;modify*;\r\n211 End\r\n";

} // namespace

class TestDataModes : public EngineTest
{
    Q_OBJECT

    // The browse connection to a scripted server that offers features, logged in; nullptr when
    // the server could not listen or the login did not end.
    Connection *scriptedLogin(ScriptedFtpServer &server, const QByteArray &features = NoFeatures)
    {
        if (!server.listen())
            return nullptr;
        server.setFeatures(features);
        server.expectLogin();
        return logIn(server);
    }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }
    void init() { QVERIFY(setUpEngine(2)); } // passive, the program's default
    void cleanup() { tearDownEngine(); }

    // Listings of "/pub": how the data connection is asked for, what the host answers, and what
    // the user sees. "%U" in a script stands for a port nobody listens on.
    void passiveListing_data()
    {
        QTest::addColumn<QByteArray>("features");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("status"); // a status text that must have shown, if any

        const QStringList rest{"CWD /pub => 250 OK", "TYPE A => 200 OK", "LIST => 150 Here => 226 Done"};
        QTest::newRow("PASV") << NoFeatures << QStringList{"PASV => 227 Entering Passive Mode ({pasv})"} + rest
                              << true << "" << "";
        QTest::newRow("227 naming another address: the data comes from the control peer")
            << NoFeatures << QStringList{"PASV => 227 Entering Passive Mode (127,0,0,2,{p1p2})"} + rest << true << ""
            << "";
        QTest::newRow("EPSV when FEAT offers it")
            << Epsv << QStringList{"EPSV => 229 Entering Extended Passive Mode (|||{port}|)"} + rest << true << ""
            << "";
        QTest::newRow("EPSV refused, PASV")
            << Epsv
            << QStringList{"EPSV => 502 Not here", "PASV => 227 Entering Passive Mode ({pasv})"} + rest << true << ""
            << "";
        QTest::newRow("PASV refused, PORT")
            << NoFeatures << QStringList{"PASV => 500 Unknown command", "PORT => 200 OK"} + rest << true << ""
            << "refused passive mode; active mode is used from now on";
        QTest::newRow("EPSV and PASV refused, EPRT")
            << Epsv
            << QStringList{"EPSV => 502 No", "PASV => 502 No", "EPRT |1|127.0.0.1|%P| => 200 OK"} + rest << true
            << "" << "refused passive mode";
        QTest::newRow("227 without a port")
            << NoFeatures << QStringList{"PASV => 227 Entering Passive Mode"} << false
            << "Error Entering Passive Mode: The host's answer to PASV names no port: 227 Entering Passive Mode" << "";
        QTest::newRow("227 with port 0") << NoFeatures << QStringList{"PASV => 227 Passive (127,0,0,1,0,0)"} << false
                                         << "Error Entering Passive Mode: The host's answer to PASV names no port: "
                                            "227 Passive (127,0,0,1,0,0)"
                                         << "";
        QTest::newRow("PASV answered 425") << NoFeatures << QStringList{"PASV => 425 No data connections now"}
                                           << false << "Error Entering Passive Mode: No data connections now" << "";
        QTest::newRow("nobody answers on the port named")
            << NoFeatures << QStringList{"PASV => 227 Entering Passive Mode (127,0,0,1,%U)"} << false
            << "Error Opening Data Connection: Could not open the data connection to 127.0.0.1, port %N: "
               "Connection refused"
            << "";
    }

    void passiveListing()
    {
        QFETCH(QByteArray, features);
        QFETCH(QStringList, script);
        QFETCH(bool, complete);
        QFETCH(QString, box);
        QFETCH(QString, status);

        const quint16 unused = unusedPort();
        script.replaceInStrings("%U", QStringLiteral("%1,%2").arg(unused >> 8).arg(unused & 0xff));
        box.replace("%N", QString::number(unused));
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server, features);
        QVERIFY(c);
        for (QString line : std::as_const(script)) {
            if (line.startsWith(QLatin1String("EPRT ")))
                server.expectRegex(QStringLiteral("EPRT \\|1\\|127\\.0\\.0\\.1\\|\\d+\\|"), "200 OK\r\n");
            else
                addScript(server, {line});
        }

        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(server.allStepsDone() && !server.sawUnexpected(),
                 qPrintable(server.firstMismatch() + "\n" + server.transcript().join('\n')));
        QCOMPARE(prompt_.dump().trimmed(), box);
        QCOMPARE(job_.entries.size(), complete ? 3 : 0);
        if (!status.isEmpty())
            QVERIFY2(status_.contains(status), qPrintable(status_.texts().join('\n')));
    }

    // A passive port that never answers (a firewall drops the packets): after the timeout the
    // listing fails with a box that names the port, and the control connection, which the host
    // answered all along, is kept for what comes next.
    void silentPassivePort()
    {
        DeafPort deaf;
        QVERIFY(deaf.port() != 0);
        pool_->setTimeoutSeconds(1);
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server);
        QVERIFY(c);
        addScript(server, {pasvNaming(deaf.port()),
                           "CWD / => 250 OK", "NOOP => 200 OK"});
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        c->CustomCommands(QStringLiteral("CWD /\r\nNOOP\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(server.connectionCount(), 1);
        QCOMPARE(prompt_.dump(), QStringLiteral("Error Opening Data Connection: Could not open the data connection "
                                                "to 127.0.0.1, port %1: no answer within 1 s\n"
                                                "Custom Command 1 Completed: 200 OK\n")
                                     .arg(deaf.port()));
    }

    // The host drops the passive data connection before the listing command goes out: the
    // listing ends incomplete when the host has answered, it does not wait for data that can no
    // longer come.
    void dataConnectionEndsBeforeTheCommand()
    {
        pool_->setTimeoutSeconds(0); // nothing but the listing's own end may end it
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server);
        QVERIFY(c);
        addScript(server, {"PASV => 227 Entering Passive Mode ({pasv})"});
        server.expect(QStringLiteral("CWD /pub"), QByteArray()); // answered once the data is gone
        addScript(server, {"TYPE A => 200 OK"});
        server.expect(QStringLiteral("LIST"), "150 Here\r\n226 Done\r\n");
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(server.remainingSteps(), 2, Bound);
        server.abortData();
        QTRY_VERIFY_WITH_TIMEOUT(!server.isDataBusy(), Bound);
        server.sendRaw("250 OK\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QVERIFY2(pane_.events.join('\n').contains(QLatin1String("incomplete")), qPrintable(pane_.events.join('\n')));
    }

    // No keep-alive NOOP goes out while a box of the operation under way is open: its answer
    // would end that operation behind the box.
    void noKeepAliveBehindABox()
    {
        HoldingPrompt prompt;
        pool_ = std::make_unique<ConnectionManager>(prompt, status_);
        pool_->setDataMode(2);
        pool_->setKeepAliveSeconds(1);
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server);
        QVERIFY(c);
        prompt.until = [&] { return server.transcript().size() > 2; }; // anything after the login
        c->ListDir(QString(), &job_, QStringLiteral("pub")); // not absolute: refused with a box
        QCOMPARE(job_.nextCalls, 1);
        QVERIFY2(prompt.dump().contains(QLatin1String("cannot be sent")), qPrintable(prompt.dump()));
        QCOMPARE(server.transcript().size(), 2); // USER, PASS: no NOOP while the box showed
        pool_.reset();
    }

    // A host that offers MLST but answers MLSD with lines of another form: the folder is not
    // shown as empty; the box says so and the next listing uses LIST.
    void machineListingInAnotherForm()
    {
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server, Mlst);
        QVERIFY(c);
        addScript(server, {"PASV => 227 Entering Passive Mode ({pasv})", "CWD /pub => 250 OK", "TYPE A => 200 OK",
                           "MLSD => 150 Here => 226 Done", "PASV => 227 Entering Passive Mode ({pasv})",
                           "CWD /pub => 250 OK", "TYPE A => 200 OK", "LIST => 150 Here => 226 Done"});
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QVERIFY2(pane_.events.join('\n').contains(QLatin1String("incomplete")), qPrintable(pane_.events.join('\n')));
        QCOMPARE(prompt_.dump(), QStringLiteral("Error Retrieving Listing: The host's answer to MLSD could not be read; "
                                                "list the folder again.\n"));
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 2, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone() && idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(entriesOf(job_.entries), (QStringList{"dir pub 4096", "file a.txt 1234", "link bin 7"}));
    }

    // A connection started again while its passive data connection is being made tells the
    // listing it ended; nothing of it fires later.
    void reconnectWhileConnecting()
    {
        DeafPort deaf;
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server);
        QVERIFY(c);
        addScript(server, {pasvNaming(deaf.port())});
        server.expectLogin();
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::AwaitDataConnect, Bound);
        c->Reconnect();
        QVERIFY(job_.discarded);
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone() && idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(job_.nextCalls, 0);
    }

    // Over IPv6 there is no PORT or PASV: a host that refuses EPSV gets EPRT, and one that refuses
    // both fails each listing with a box, never with a command that names an IPv4 address.
    void ipv6Refusals_data()
    {
        QTest::addColumn<bool>("refuseActive");
        QTest::addColumn<QString>("box"); // empty: the listings arrive
        QTest::newRow("passive refused: EPRT") << false << "";
        QTest::newRow("both refused") << true << "Error Setting Port: Command not implemented.";
    }

    void ipv6Refusals()
    {
        QFETCH(bool, refuseActive);
        QFETCH(QString, box);
        if (const QString why = FtpServerFixture::loopbackProblem(QStringLiteral("::1")); !why.isEmpty())
            QSKIP(qPrintable(why));
        FtpServerFixture::Options options;
        options.listenAddress = QStringLiteral("::1");
        options.refusePassive = true;
        options.refuseActive = refuseActive;
        FtpServerFixture server(options);
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile(QStringLiteral("pub/a.txt"), "a"));
        HostRecord record = hostRecord(server.port());
        record.address = QStringLiteral("::1");
        pool_->defineHost(record);
        Connection *c = pool_->connection(ConnectionManager::Browse, pool_->GetConnection(record.name, ConnectionManager::Browse));
        QVERIFY(c);
        for (int round = 1; round <= 2; ++round) {
            c->ListDir(QString(), &job_, QStringLiteral("/pub"));
            QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, round, Bound);
        }
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QCOMPARE(job_.entries.size(), box.isEmpty() ? 2 : 0);
        const QString log = server.log();
        QVERIFY2(!log.contains(QLatin1String("<- PORT")) && !log.contains(QLatin1String("<- PASV")), qPrintable(log));
        QCOMPARE(int(log.count(QLatin1String("<- EPSV"))), 1); // refused once, not asked again
        if (box.isEmpty()) {
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        } else {
            // Passive mode was refused too: the box does not suggest it.
            QCOMPARE(prompt_.dump(), (box + '\n').repeated(2));
        }
    }

    // A host that refused passive mode is not asked again on that connection.
    void refusedPassiveIsNotAskedAgain()
    {
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server);
        QVERIFY(c);
        const QStringList rest{"CWD /pub => 250 OK", "TYPE A => 200 OK", "LIST => 150 Here => 226 Done"};
        addScript(server, QStringList{"PASV => 502 No", "PORT => 200 OK"} + rest + QStringList{"PORT => 200 OK"} + rest);
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 2, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(server.allStepsDone() && !server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(job_.entries.size(), 6);
    }

    // The end of the login: FEAT once, OPTS UTF8 ON when the host offers UTF-8, and what the
    // connection remembers. The answer to OPTS does not matter.
    void featuresAfterLogin_data()
    {
        QTest::addColumn<QByteArray>("features");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<bool>("mlst");
        QTest::newRow("UTF8 and MLST") << QByteArray("211-Features:\r\n UTF8\r\n MLST type*;size*;\r\n211 End\r\n")
                                       << QStringList{"OPTS UTF8 ON => 200 OK"} << true << true;
        QTest::newRow("UTF8, OPTS refused") << QByteArray("211-Features:\r\n UTF8\r\n211 End\r\n")
                                            << QStringList{"OPTS UTF8 ON => 501 Invalid argument"} << true << false;
        QTest::newRow("no UTF8") << QByteArray("211-Features:\r\n SIZE\r\n211 End\r\n") << QStringList{} << false
                                 << false;
        QTest::newRow("FEAT unknown") << QByteArray("500 Unknown command\r\n") << QStringList{} << false << false;
        QTest::newRow("FEAT unknown, with UTF8 in its text")
            << QByteArray("502-UTF8\r\n UTF8\r\n502 Not implemented\r\n") << QStringList{} << false << false;
    }

    void featuresAfterLogin()
    {
        QFETCH(QByteArray, features);
        QFETCH(QStringList, script);
        QFETCH(bool, utf8);
        QFETCH(bool, mlst);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.setFeatures(features);
        server.expectLogin();
        addScript(server, script);
        addScript(server, {"CWD / => 250 OK", "NOOP => 200 OK"});
        Connection *c = logIn(server);
        QVERIFY(c);
        c->CustomCommands(QStringLiteral("CWD /\r\nNOOP\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(server.featCount(), 1);
        QCOMPARE(c->features().utf8, utf8);
        QCOMPARE(c->features().mlst, mlst);
        QCOMPARE(prompt_.dump(), QStringLiteral("Custom Command 1 Completed: 200 OK\n"));
    }

    // MLSD where MLST is offered: the facts decide each entry, hostile ones give none or a safe
    // one; a host that refuses MLSD is listed with LIST from then on.
    void machineListing_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QStringList>("entries");
        const QStringList start{"PASV => 227 Entering Passive Mode ({pasv})", "CWD /pub => 250 OK", "TYPE A => 200 OK"};
        QTest::newRow("facts of every kind")
            << start + QStringList{"MLSD => 150 Here => 226 Done"}
            << QByteArray("type=cdir;modify=20261210165100; /pub\r\n"
                          "type=pdir; ..\r\n"
                          "type=file;size=1234;modify=20261210165100; a.txt\r\n"
                          "TYPE=DIR;Modify=20261210165100; sub dir\r\n"
                          "type=OS.unix=symlink;size=7; bin\r\n"
                          "size=5; no type\r\n"
                          "type=file;size=99999999999999999999999999; huge\r\n"
                          "type=file;size=3; semi;colon; name\r\n"
                          "words that are no facts\r\n"
                          "type=file;size=1; ../escape\r\n"
                          "type=file;size=1; a/b\r\n")
            << QStringList{"dir sub dir 0", "file a.txt 1234", "file huge 18446744073709551615", "file no type 5",
                           "file semi;colon; name 3", "link bin 7"};
        QTest::newRow("MLSD refused: LIST on a new data connection")
            << start
                   + QStringList{"MLSD => 500 Unknown command", "PASV => 227 Entering Passive Mode ({pasv})",
                                 "CWD /pub => 250 OK", "TYPE A => 200 OK", "LIST => 150 Here => 226 Done"}
            << SmallListing << QStringList{"dir pub 4096", "file a.txt 1234", "link bin 7"};
    }

    void machineListing()
    {
        QFETCH(QStringList, script);
        QFETCH(QByteArray, listing);
        QFETCH(QStringList, entries);
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server, Mlst);
        QVERIFY(c);
        addScript(server, script, listing);
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(server.allStepsDone() && !server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QVERIFY2(entriesOf(job_.entries) == entries, qPrintable(entriesOf(job_.entries).join(" | ")));
        if (!script.contains(QStringLiteral("MLSD => 500 Unknown command")))
            return;
        // Refused once, never asked again on this connection.
        addScript(server, {"PASV => 227 Entering Passive Mode ({pasv})", "CWD /pub => 250 OK", "TYPE A => 200 OK",
                           "LIST => 150 Here => 226 Done"});
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 2, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(server.allStepsDone() && !server.sawUnexpected(), qPrintable(server.firstMismatch()));
    }

    // Windows hosts list in DOS form, whatever type the host was given.
    void dosListing()
    {
        ScriptedFtpServer server;
        Connection *c = scriptedLogin(server);
        QVERIFY(c);
        addScript(server,
                  {"PASV => 227 Entering Passive Mode ({pasv})", "CWD /pub => 250 OK", "TYPE A => 200 OK",
                   "LIST => 125 Data connection already open => 226 Done"},
                  "12-10-26  04:51PM       <DIR>          Program Files\r\n"
                  "12-10-26  04:51PM            1,234,567 setup.exe\r\n"
                  "12-10-2026  16:51                   12 notes 2026.txt\r\n"
                  "12-10-26  13:30PM                   1 bad hour\r\n");
        c->ListDir(QString(), &job_, QStringLiteral("/pub"));
        QTRY_COMPARE_WITH_TIMEOUT(job_.nextCalls, 1, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(idle(c), Bound);
        QVERIFY2(server.allStepsDone() && !server.sawUnexpected(), qPrintable(server.firstMismatch()));
        const QStringList expected{"dir Program Files 0", "file notes 2026.txt 12", "file setup.exe 1234567"};
        QVERIFY2(entriesOf(job_.entries) == expected, qPrintable(entriesOf(job_.entries).join(" | ")));
    }

    // The host drops the session instead of answering the keep-alive NOOP while work waits: that
    // work runs on a fresh session, with no box about a lost connection.
    void keepAliveFindsTheSessionGone()
    {
        pool_->setKeepAliveSeconds(1);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        server.expect(QStringLiteral("NOOP"), QByteArray()); // never answered
        Connection *c = logIn(server);
        QVERIFY(c);
        QTRY_COMPARE_WITH_TIMEOUT(c->state(), Connection::AwaitNoopReply, Bound);
        server.expectLogin();
        addScript(server, {"CWD / => 250 OK", "PWD => 257 \"/\""});
        c->CustomCommands(QStringLiteral("CWD /\r\nPWD\r\n"));
        server.closeClient();
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QTRY_COMPARE_WITH_TIMEOUT(prompt_.dump(), QStringLiteral("Custom Command 1 Completed: 257 \"/\"\n"), Bound);
        QCOMPARE(server.connectionCount(), 2);
    }

    // An idle connection sends NOOP when keep-alive is on, and work that arrives meanwhile waits
    // for the answer.
    void keepAlive()
    {
        pool_->setKeepAliveSeconds(1);
        ScriptedFtpServer server;
        QVERIFY(server.listen());
        server.expectLogin();
        server.expect(QStringLiteral("NOOP"), QByteArray()); // answered by the test, below
        Connection *c = logIn(server);
        QVERIFY(c);
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QCOMPARE(c->state(), Connection::AwaitNoopReply);
        addScript(server, {"CWD / => 250 OK", "PWD => 257 \"/\""});
        c->CustomCommands(QStringLiteral("CWD /\r\nPWD\r\n"));
        QCOMPARE(c->queuedCount(), 1); // the answer to NOOP has not come yet
        server.sendRaw("200 NOOP ok\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(server.allStepsDone(), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(c->queuedCount(), 0, Bound);
        QVERIFY2(!server.sawUnexpected(), qPrintable(server.firstMismatch()));
        QCOMPARE(prompt_.dump(), QStringLiteral("Custom Command 1 Completed: 257 \"/\"\n"));
    }
};

QTEST_GUILESS_MAIN(TestDataModes)
#include "tst_datamodes.moc"
