// What a host sends reaches the user's terminal only as visible text: a reply holding escape
// sequences, BEL or C1 controls, and names holding C1 controls or bidi overrides, come out of
// vemalftp-cli escaped, on stdout and stderr alike. The program runs as a real process against
// the scripted server, since no real server sends such replies. safeText, which every sink uses,
// is checked on its own first.

#include "CliRun.h"
#include "platform/SafeText.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestEnvironment.h"

#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// ESC ] 0 ; ... BEL sets a terminal's title; CSI (U+009B) "2J" clears its screen; U+202E
// reverses what follows.
const QByteArray HostileText = "\x1b]0;owned\x07 \xc2\x9b" "2J \xe2\x80\xae" "gone";
const QString HostileShown = QStringLiteral("\\x1b]0;owned\\x07 \\x9b2J \\u{202e}gone");

// What in the bytes would reach a terminal as a control: C0 but line feed and tab, DEL, C1,
// the bidi overrides and isolates, each as "U+XXXX"; bytes that are not UTF-8 count as well.
QStringList rawControls(const QByteArray &bytes)
{
    if (!QByteArrayView(bytes).isValidUtf8())
        return {QStringLiteral("not UTF-8")};
    QStringList found;
    for (const char32_t c : QString::fromUtf8(bytes).toUcs4()) {
        const bool c0 = c < 0x20 && c != '\n' && c != '\t';
        const bool c1 = c >= 0x7F && c <= 0x9F;
        const bool bidi = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
        if (c0 || c1 || bidi)
            found << QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    }
    return found;
}

// A failure message that does to the test's own terminal what the program must not.
QByteArray shown(const QStringList &args, const CliResult &result)
{
    return safeText(QString::fromUtf8(describe(args, result))).toUtf8();
}

QByteArray listingOf(const QList<QByteArray> &lines)
{
    QByteArray listing;
    for (const QByteArray &line : lines)
        listing += line + "\r\n";
    return listing;
}

// Names with a C1 control (as UTF-8 and as a Latin-1 byte), a bidi override and isolate; the
// name with ESC never gets past the listing parser.
const QByteArray HostileListing = listingOf({
    "-rw-r--r-- 1 u g 5 Jan  5  2020 csi\xc2\x9b" "2J",
    "-rw-r--r-- 1 u g 5 Jan  5  2020 latin\x9b" "2J",
    "-rw-r--r-- 1 u g 5 Jan  5  2020 \xe2\x80\xae" "gpj.exe",
    "drwxr-xr-x 2 u g 4096 Jan  5  2020 \xe2\x81\xa6" "iso",
    "-rw-r--r-- 1 u g 5 Jan  5  2020 esc\x1b[2J",
    "-rw-r--r-- 1 u g 5 Jan  5  2020 \xc2\x9b.bin",
});

const QString AnyPort = QStringLiteral("PORT 127,0,0,1,\\d+,\\d+");

void expectListing(ScriptedFtpServer &server)
{
    server.expectRegex(AnyPort, "200 PORT ok\r\n");
    server.expect(QStringLiteral("CWD /t"), "250 Ok\r\n");
    server.expect(QStringLiteral("TYPE A"), "200 Ok\r\n");
    server.expect(QStringLiteral("LIST"), "150 Here it comes\r\n").sendData(HostileListing, "226 Done\r\n");
}

// The dialogue of one command of the table below.
void script(ScriptedFtpServer &server, const QString &command)
{
    if (command == QLatin1String("login")) {
        server.expect(QStringLiteral("USER anonymous"), "331 Password required\r\n");
        server.expectPrefix(QStringLiteral("PASS "), "530 " + HostileText + "\r\n");
        return;
    }
    server.expectLogin();
    server.expect(QStringLiteral("SYST"), "215 UNIX Type: L8\r\n");
    if (command == QLatin1String("quote")) {
        server.expect(QStringLiteral("CWD /"), "250 Ok\r\n");
        server.expect(QStringLiteral("NOOP"), "200 " + HostileText + "\r\n");
    } else if (command == QLatin1String("rm")) {
        expectListing(server); // a typed name beyond ASCII is looked up among the listed ones first
        server.expect(QStringLiteral("CWD /t"), "250 Ok\r\n");
        server.expectPrefix(QStringLiteral("DELE "), "550 " + HostileText + "\r\n");
    } else if (command == QLatin1String("ls") || command == QLatin1String("find")) {
        expectListing(server);
    } else if (command == QLatin1String("get")) {
        expectListing(server);
        server.expectRegex(AnyPort, "200 PORT ok\r\n");
        server.expect(QStringLiteral("CWD /t"), "250 Ok\r\n");
        server.expect(QStringLiteral("TYPE I"), "200 Ok\r\n");
        server.expect(QStringLiteral("CWD /t"), "250 Ok\r\n");
        server.expectPrefix(QStringLiteral("RETR "), "550 " + HostileText + "\r\n");
    }
}

} // namespace

class TestCliSafety : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }

    void escapesEveryControl_data();
    void escapesEveryControl();
    void hostileTextReachesNoTerminal_data();
    void hostileTextReachesNoTerminal();
};

void TestCliSafety::escapesEveryControl_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("plain text stays") << QStringLiteral("550 No such file.") << QStringLiteral("550 No such file.");
    QTest::newRow("line feed and tab stay") << QStringLiteral("a\tb\nc") << QStringLiteral("a\tb\nc");
    QTest::newRow("backslashes stay") << QStringLiteral("C:\\dir\\x1b") << QStringLiteral("C:\\dir\\x1b");
    QTest::newRow("ESC and BEL: a title sequence")
        << QStringLiteral("\x1b]0;title\x07!") << QStringLiteral("\\x1b]0;title\\x07!");
    QTest::newRow("CR, NUL and the other C0 ends") << QString::fromUtf16(u"a\r\0b\x01\x1f", 6)
                                                   << QStringLiteral("a\\x0d\\x00b\\x01\\x1f");
    QTest::newRow("DEL") << QStringLiteral("a\x7f") << QStringLiteral("a\\x7f");
    QTest::newRow("C1: its ends, NEL and CSI") << QString::fromUtf16(u"\u0080\u0085\u009b2J\u009f")
                                               << QStringLiteral("\\x80\\x85\\x9b2J\\x9f");
    QTest::newRow("Latin-1 letters and no-break space stay") << QString::fromUtf16(u"café\u00a0ñ\u00ff")
                                                             << QString::fromUtf16(u"café\u00a0ñ\u00ff");
    QTest::newRow("bidi overrides and embeddings")
        << QString::fromUtf16(u"\u202a\u202b\u202c\u202d\u202egpj.exe")
        << QStringLiteral("\\u{202a}\\u{202b}\\u{202c}\\u{202d}\\u{202e}gpj.exe");
    QTest::newRow("bidi isolates") << QString::fromUtf16(u"\u2066a\u2067b\u2068c\u2069")
                                   << QStringLiteral("\\u{2066}a\\u{2067}b\\u{2068}c\\u{2069}");
    QTest::newRow("neighbours of the bidi ranges stay") << QString::fromUtf16(u"\u2029\u202f\u2065\u206a")
                                                        << QString::fromUtf16(u"\u2029\u202f\u2065\u206a");
    QTest::newRow("beyond the BMP stays") << QString::fromUtf16(u"Grüße 📁") << QString::fromUtf16(u"Grüße 📁");
}

void TestCliSafety::escapesEveryControl()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(safeText(text), shown);
    QCOMPARE(rawControls(safeText(text).toUtf8()), QStringList());
}

void TestCliSafety::hostileTextReachesNoTerminal_data()
{
    QTest::addColumn<QString>("command"); // the dialogue, see script()
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");       // the whole of stdout
    QTest::addColumn<QStringList>("err");   // parts of stderr

    const QString when = QStringLiteral("\t2020-01-05 00:00\t");
    QTest::newRow("login refused") << "login" << QStringList{"login"} << 3 << QString()
                                   << QStringList{"Login Error: Invalid Password"};
    QTest::newRow("quote prints the reply") << "quote" << QStringList{"quote", "NOOP"} << 0
                                            << QStringLiteral("200 ") + HostileShown + u'\n' << QStringList{};
    QTest::newRow("rm refused") << "rm" << QStringList{"rm", QString::fromUtf16(u"/t/x\u009b")} << 1 << QString()
                                << QStringList{"/t/x\\x9b: " + HostileShown, "Couldn't Delete File: " + HostileShown};
    QTest::newRow("ls names") << "ls" << QStringList{"ls", "/t"} << 0
                              << QStringLiteral("file\t5") + when + "csi\\x9b2J\n"
                                     + "file\t5" + when + "latin\\x9b2J\n"
                                     + "file\t5" + when + "\\u{202e}gpj.exe\n"
                                     + "dir\t4096" + when + "\\u{2066}iso\n"
                                     + "file\t5" + when + "\\x9b.bin\n"
                              << QStringList{};
    QTest::newRow("find matches") << "find" << QStringList{"find", "/t", "2J"} << 0
                                  << QStringLiteral("/t/csi\\x9b2J\n/t/latin\\x9b2J\n") << QStringList{};
    QTest::newRow("get refused") << "get" << QStringList{"get", QString::fromUtf16(u"/t/\u009b.bin"), "LOCAL"} << 1
                                 << QString() << QStringList{"/t/\\x9b.bin: " + HostileShown};
}

void TestCliSafety::hostileTextReachesNoTerminal()
{
    QFETCH(QString, command);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QStringList, err);
    QTemporaryDir local;
    args.replaceInStrings(QRegularExpression(QStringLiteral("^LOCAL$")), local.path());
    ScriptedFtpServer server;
    QVERIFY(server.listen());
    script(server, command);

    // -v: the session's dialogue goes to stderr as well.
    const QStringList all = QStringList{"-v", server.url()} + args;
    const CliResult result = runCli(all, CliWait::EventLoop);
    QVERIFY2(result.exitCode == exitCode, shown(all, result).constData());
    QVERIFY2(server.allStepsDone() && !server.sawUnexpected(), qPrintable(safeText(server.firstMismatch())));
    QCOMPARE(rawControls(result.outBytes), QStringList());
    QCOMPARE(rawControls(result.errBytes), QStringList());
    QVERIFY2(result.out == out, shown(all, result).constData());
    for (const QString &part : std::as_const(err))
        QVERIFY2(result.err.contains(part), shown(all, result).constData());
}

QTEST_GUILESS_MAIN(TestCliSafety)
#include "tst_clisafety.moc"
