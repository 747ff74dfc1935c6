// vemalftp-cli's settings commands, run as real processes against a real settings file.

#include "StoreFixture.h"
#include "settings/HostRecord.h"
#include "settings/PasswordCoding.h"
#include "settings/SettingsKeys.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QTest>

#include <memory>

namespace {

struct CliResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

CliResult runCli(const QStringList &args)
{
    QProcess cli;
    cli.start(QStringLiteral(VEMAL_CLI_PATH), args);
    CliResult result;
    if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = cli.exitCode();
    result.out = QString::fromUtf8(cli.readAllStandardOutput());
    result.err = QString::fromUtf8(cli.readAllStandardError());
    return result;
}

// Every key and value under Hosts, to show that a refused command changed nothing.
QStringList hostsSnapshot()
{
    SettingsStore &store = SettingsStore::instance();
    QStringList lines;
    for (const QString &name : store.subkeys(SettingsKeys::Hosts)) {
        for (const SettingsValue &value : store.values(SettingsKeys::hostKey(name)))
            lines << name + QLatin1Char('/') + value.name + QLatin1Char('=') + value.text;
    }
    return lines;
}

} // namespace

class TestSettingsCli : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    std::unique_ptr<StoreFixture> m_fixture;

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }
    void init() { m_fixture = std::make_unique<StoreFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void configWritesReadsAndLists();
    void configRefusesBadInput_data();
    void configRefusesBadInput();
    void hostsShowsTheStarterTree();
    void hostCreateShowUpdateDelete();
    void hostBadInputChangesNothing_data();
    void hostBadInputChangesNothing();
    void folderCreatesNestedFolders();
    void brokenStoreNoticeIsShown();
};

void TestSettingsCli::configWritesReadsAndLists()
{
    QCOMPARE(runCli({"config", "EMail", "me@example.org"}).exitCode, 0);
    QCOMPARE(runCli({"config", "ShowTwo", "0"}).exitCode, 0);
    QCOMPARE(runCli({"config", "Nick", "Jürgen 😀"}).exitCode, 0);

    const CliResult read = runCli({"config", "email"});
    QCOMPARE(read.exitCode, 0);
    QCOMPARE(read.out, QStringLiteral("me@example.org\n"));
    QCOMPARE(runCli({"config"}).out, QStringLiteral("EMail\tme@example.org\nShowTwo\t0\nNick\tJürgen 😀\n"));
    // The CLI is another process: this one sees its writes without reopening.
    QCOMPARE(SettingsStore::instance().value(SettingsKeys::Root, QStringLiteral("Nick")),
             std::optional<QString>(QStringLiteral("Jürgen 😀")));

    const CliResult missing = runCli({"config", "CachePath"});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.out.isEmpty());
    QVERIFY2(missing.err.contains(QLatin1String("\"CachePath\"")), qPrintable(missing.err));
}

void TestSettingsCli::configRefusesBadInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("too many arguments") << QStringList{"config", "A", "B", "C"} << QStringLiteral("usage:");
    QTest::newRow("empty name") << QStringList{"config", "", "x"} << QStringLiteral("must not be empty");
    QTest::newRow("window value too long") << QStringList{"config", "Width", "12345678901"}
                                           << QStringLiteral("Width can hold at most 9 bytes");
    QTest::newRow("EMail too long") << QStringList{"config", "EMail", QString(300, QLatin1Char('m'))}
                                    << QStringLiteral("at most 299 bytes");
}

void TestSettingsCli::configRefusesBadInput()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QVERIFY(SettingsStore::instance().setValue(SettingsKeys::Root, QStringLiteral("Width"), QStringLiteral("800")));
    const CliResult result = runCli(args);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(SettingsStore::instance().values(SettingsKeys::Root), (QList<SettingsValue>{{"Width", "800"}}));
}

void TestSettingsCli::hostsShowsTheStarterTree()
{
    const CliResult result = runCli({"hosts"});
    QCOMPARE(result.exitCode, 0);
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 16);
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^\\S.*/$"))),
             QStringList({"Corporate Home Pages/", "Shareware Homepages/", "Software Archives/"}));
    QCOMPARE(lines.at(0), QStringLiteral("Corporate Home Pages/"));
    QCOMPARE(lines.at(1), QStringLiteral("  Red Hat\tftp.redhat.com"));
    QCOMPARE(lines.at(3), QStringLiteral("Shareware Homepages/"));
    QCOMPARE(lines.at(9), QStringLiteral("Software Archives/"));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^  \\S"))).size(), 13);
}

void TestSettingsCli::hostCreateShowUpdateDelete()
{
    QCOMPARE(runCli({"config", "EMail", "me@example.org"}).exitCode, 0);
    CliResult made = runCli({"host", "Test Box", "Address=ftp.test.example", "port=2121", "Password=s3cret",
                             "Username=alice", "Parent=Software Archives", "CacheType=3", "CacheDays=2"});
    QCOMPARE(made.exitCode, 0);
    QVERIFY2(made.err.isEmpty(), qPrintable(made.err));

    // The password is stored encoded, and the value names keep their proper case.
    const QString key = SettingsKeys::hostKey(QStringLiteral("Test Box"));
    QString coded = QStringLiteral("s3cret");
    EncodePassword(coded);
    QCOMPARE(SettingsStore::instance().value(key, QStringLiteral("Password")), std::optional<QString>(coded));
    QCOMPARE(SettingsStore::instance().values(key).at(1).name, QStringLiteral("Port"));

    const CliResult shown = runCli({"host", "TEST BOX"});
    QCOMPARE(shown.exitCode, 0);
    QCOMPARE(shown.out, QStringLiteral("Name\tTest Box\nAddress\tftp.test.example\nUsername\talice\n"
                                       "Password\t********\nPort\t2121\nStartPath\t/\nType\t0\nDataMode\t0\nEncryption\t1\nCertSha256\t\nCacheType\t3\n"
                                       "CacheDays\t2\nCacheMins\t0\nParent\t2\n"));
    QVERIFY(!shown.out.contains(QLatin1String("s3cret")));

    // Updating through another case of the name changes the one host; an empty value removes the
    // value so that its default applies again.
    QCOMPARE(runCli({"host", "test box", "StartPath=/pub/", "Username=", "Password="}).exitCode, 0);
    QCOMPARE(SettingsStore::instance().subkeys(SettingsKeys::Hosts).filter(QStringLiteral("test box"), Qt::CaseInsensitive),
             QStringList{"Test Box"});
    const auto host = HostRecord::read(QStringLiteral("Test Box"));
    QCOMPARE(host->startPath, QStringLiteral("/pub/"));
    QCOMPARE(host->userName, QStringLiteral("anonymous"));
    QCOMPARE(host->password, QStringLiteral("me@example.org"));

    QCOMPARE(runCli({"host", "Test Box", "--delete"}).exitCode, 0);
    QVERIFY(!HostRecord::read(QStringLiteral("Test Box")));
    const CliResult gone = runCli({"host", "Test Box"});
    QCOMPARE(gone.exitCode, 1);
    QVERIFY2(gone.err.contains(QLatin1String("There is no host \"Test Box\"")), qPrintable(gone.err));
}

void TestSettingsCli::hostBadInputChangesNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown key") << QStringList{"host", "GNU Project", "Colour=red"} << 2 << QStringLiteral("Unknown host setting \"Colour\"");
    QTest::newRow("no equals sign") << QStringList{"host", "GNU Project", "Address"} << 2 << QStringLiteral("Expected KEY=VALUE");
    QTest::newRow("bad key after a good one") << QStringList{"host", "GNU Project", "Port=2121", "Bogus=1"} << 2 << QStringLiteral("Bogus");
    QTest::newRow("port zero") << QStringList{"host", "GNU Project", "Port=0"} << 2 << QStringLiteral("Port must be");
    QTest::newRow("port letters") << QStringList{"host", "GNU Project", "Port=ftp"} << 2 << QStringLiteral("Port must be");
    QTest::newRow("cache type 7") << QStringList{"host", "GNU Project", "CacheType=7"} << 2 << QStringLiteral("CacheType must be");
    QTest::newRow("address too long") << QStringList{"host", "GNU Project", "Address=" + QString(200, QLatin1Char('a'))}
                                      << 2 << QStringLiteral("at most 199 bytes");
    QTest::newRow("control character") << QStringList{"host", "GNU Project", "StartPath=/a\nb"} << 2 << QStringLiteral("control characters");
    QTest::newRow("no such parent") << QStringList{"host", "GNU Project", "Parent=Nowhere"} << 1 << QStringLiteral("no host folder \"Nowhere\"");
    QTest::newRow("parent id of no folder") << QStringList{"host", "GNU Project", "Parent=42"} << 1 << QStringLiteral("no host folder \"42\"");
    QTest::newRow("folder taken as host") << QStringList{"host", "software archives", "Address=x"} << 1 << QStringLiteral("is a host folder");
    QTest::newRow("my computer") << QStringList{"host", "My Computer", "Address=x"} << 1 << QStringLiteral("local disks");
    QTest::newRow("empty name") << QStringList{"host", "", "Address=x"} << 1 << QStringLiteral("must not be empty");
    QTest::newRow("backslash") << QStringList{"host", "a\\b", "Address=x"} << 1 << QStringLiteral("backslash");
    QTest::newRow("control character in name") << QStringList{"host", "a\tb", "Address=x"} << 1 << QStringLiteral("control characters");
    QTest::newRow("new host without address") << QStringList{"host", "Fresh", "Port=21"} << 2 << QStringLiteral("needs an address");
    QTest::newRow("delete missing host") << QStringList{"host", "Fresh", "--delete"} << 1 << QStringLiteral("There is no host");
    QTest::newRow("delete a folder") << QStringList{"host", "Software Archives", "--delete"} << 1 << QStringLiteral("is a host folder");
    QTest::newRow("delete with settings") << QStringList{"host", "GNU Project", "--delete", "Port=1"} << 2 << QStringLiteral("usage:");
    QTest::newRow("show a folder") << QStringList{"host", "Software Archives"} << 1 << QStringLiteral("is a host folder");
    QTest::newRow("folder named like a host") << QStringList{"folder", "gnu project"} << 1 << QStringLiteral("already taken");
    QTest::newRow("folder in missing parent") << QStringList{"folder", "New", "Nowhere"} << 1 << QStringLiteral("no host folder \"Nowhere\"");
    QTest::newRow("folder inside a host") << QStringList{"folder", "New", "GNU Project"} << 1 << QStringLiteral("no host folder");
    QTest::newRow("hosts with arguments") << QStringList{"hosts", "x"} << 2 << QStringLiteral("usage:");
}

void TestSettingsCli::hostBadInputChangesNothing()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QCOMPARE(runCli({"hosts"}).exitCode, 0); // the starter hosts
    const QStringList before = hostsSnapshot();
    QVERIFY(before.size() > 16);

    const CliResult result = runCli(args);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QCOMPARE(hostsSnapshot(), before);
}

void TestSettingsCli::folderCreatesNestedFolders()
{
    QCOMPARE(runCli({"folder", "Mirrors", "Software Archives"}).exitCode, 0);
    QCOMPARE(runCli({"folder", "Europe", "mirrors"}).exitCode, 0);
    QCOMPARE(runCli({"folder", "Top Level"}).exitCode, 0);
    QCOMPARE(runCli({"host", "Uni Mirror", "Address=ftp.uni.example", "Parent=Europe"}).exitCode, 0);

    SettingsStore &store = SettingsStore::instance();
    const auto idOf = [&](const char *name) {
        return store.value(SettingsKeys::hostKey(QLatin1String(name)), QStringLiteral("This")).value_or(QString());
    };
    QCOMPARE(idOf("Mirrors"), QStringLiteral("4"));
    QCOMPARE(idOf("Europe"), QStringLiteral("5"));
    QCOMPARE(idOf("Top Level"), QStringLiteral("6"));

    const QStringList lines = runCli({"hosts"}).out.split(QLatin1Char('\n'));
    const qsizetype mirrors = lines.indexOf(QStringLiteral("  Mirrors/"));
    QVERIFY2(mirrors > lines.indexOf(QStringLiteral("Software Archives/")), qPrintable(lines.join('\n')));
    QCOMPARE(lines.at(mirrors + 1), QStringLiteral("    Europe/"));
    QCOMPARE(lines.at(mirrors + 2), QStringLiteral("      Uni Mirror\tftp.uni.example"));
    QVERIFY(lines.contains(QStringLiteral("Top Level/")));
}

void TestSettingsCli::brokenStoreNoticeIsShown()
{
    m_fixture->moveToNewFolder();
    QDir().mkpath(m_fixture->folder());
    QFile file(m_fixture->filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("definitely not a database");
    file.close();

    const CliResult result = runCli({"config", "EMail", "me@example.org"});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.startsWith(QLatin1String("The settings file was not usable and was moved to ")
                                   + m_fixture->filePath() + QLatin1String(".broken-")),
             qPrintable(result.err));
    QCOMPARE(runCli({"config", "EMail"}).out, QStringLiteral("me@example.org\n"));
}

QTEST_GUILESS_MAIN(TestSettingsCli)
#include "tst_settingscli.moc"
