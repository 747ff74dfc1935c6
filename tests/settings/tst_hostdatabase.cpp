// Host records, application values, host folders, renames, the starter hosts, password coding
// and the ASCII list, all over a real settings file.

#include "StoreFixture.h"
#include "settings/AppValues.h"
#include "settings/AsciiExtensions.h"
#include "settings/HostFolders.h"
#include "settings/HostKeys.h"
#include "settings/HostRecord.h"
#include "settings/LeadingInteger.h"
#include "settings/PasswordCoding.h"
#include "settings/SettingsKeys.h"
#include "settings/StarterHosts.h"
#include "support/RecordingPrompt.h"
#include "support/TestEnvironment.h"

#include <QTest>

#include <limits>
#include <memory>

using Values = QList<SettingsValue>;

namespace {

// Writes a host or folder key with exactly these values (in this order).
void writeEntry(const QString &name, const Values &values)
{
    QVERIFY(SettingsStore::instance().setValues(SettingsKeys::hostKey(name), values));
}

QStringList names(const QList<HostEntry> &entries)
{
    QStringList list;
    for (const HostEntry &entry : entries)
        list << entry.name;
    return list;
}

} // namespace

class TestHostDatabase : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    std::unique_ptr<StoreFixture> m_fixture;

    SettingsStore &store() { return m_fixture->store(); }

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }
    void init() { m_fixture = std::make_unique<StoreFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void appValueReadsThroughBuffer_data();
    void appValueReadsThroughBuffer();
    void leadingInteger_data();
    void leadingInteger();

    void hostWithOnlyAddressTakesDefaults();
    void hostRecordReadsStoredValues();
    void hostRecordOfMissingHost();
    void hostValuesLongerThanTheBufferAreMissing();
    void portNumber_data();
    void portNumber();
    void cachePolicy_data();
    void cachePolicy();

    void folderTreeFollowsParentValues();
    void nextFolderId_data();
    void nextFolderId();
    void entriesAreListedByName();
    void newHostName_data();
    void newHostName();
    void unappliedHostIsDiscarded_data();
    void unappliedHostIsDiscarded();

    void renameMovesValuesInOrder();
    void renameToTakenNameIsRefused_data();
    void renameToTakenNameIsRefused();
    void renameToExactlyTheSameNameDoesNothing();
    void renameOfMissingKeyCreatesEmptyKey();
    void renameToNameWithBackslashFails();
    void hostNameProblems_data();
    void hostNameProblems();

    void starterHostsOnFirstStart();
    void starterHostsNotWhenHostsKeyExists();

    void passwordKnownForm();
    void passwordRotationSchedule();
    void passwordRoundTrip_data();
    void passwordRoundTrip();
    void storedPasswordIsDecodedOnRead();

    void asciiExtensionLookup_data();
    void asciiExtensionLookup();
    void asciiListEdits();
};

void TestHostDatabase::appValueReadsThroughBuffer_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("result");
    QTest::newRow("missing") << false << QString() << 100 << -1;
    QTest::newRow("fits") << true << QStringLiteral("me@example.org") << 100 << 0;
    QTest::newRow("exactly fits with the NUL") << true << QStringLiteral("12345") << 6 << 0;
    QTest::newRow("one byte too long") << true << QStringLiteral("123456") << 6 << -1;
    QTest::newRow("counts UTF-8 bytes") << true << QStringLiteral("ÄÖÜ") << 6 << -1;
    QTest::newRow("empty value") << true << QString() << 1 << 0;
    QTest::newRow("no buffer at all") << true << QStringLiteral("x") << 0 << -1;
}

void TestHostDatabase::appValueReadsThroughBuffer()
{
    QFETCH(bool, stored);
    QFETCH(QString, text);
    QFETCH(int, bufferSize);
    QFETCH(int, result);
    if (stored)
        QVERIFY(SetAppValue(QStringLiteral("EMail"), text));
    QString buffer = QStringLiteral("left over from before");
    QCOMPARE(GetAppValue(QStringLiteral("email"), buffer, bufferSize), result);
    QCOMPARE(buffer, result == 0 ? text : QString());
    QVERIFY(store().keyExists(SettingsKeys::Root) == stored);
}

void TestHostDatabase::leadingInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("digits") << QStringLiteral("42") << 42;
    QTest::newRow("digits then letters") << QStringLiteral("12abc") << 12;
    QTest::newRow("letters") << QStringLiteral("abc") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("blanks and sign") << QStringLiteral("  -7x") << -7;
    QTest::newRow("plus sign") << QStringLiteral("+3") << 3;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0;
    QTest::newRow("too large") << QStringLiteral("99999999999999") << std::numeric_limits<int>::max();
    QTest::newRow("too small") << QStringLiteral("-99999999999999") << std::numeric_limits<int>::min();
}

void TestHostDatabase::leadingInteger()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(LeadingInteger(text), number);
}

void TestHostDatabase::hostWithOnlyAddressTakesDefaults()
{
    QVERIFY(SetAppValue(QStringLiteral("EMail"), QStringLiteral("me@example.org")));
    writeEntry(QStringLiteral("Archive"), {{QStringLiteral("Address"), QStringLiteral("ftp.example.org")}});

    const auto host = HostRecord::read(QStringLiteral("archive"));
    QVERIFY(host);
    QCOMPARE(host->name, QStringLiteral("Archive"));
    QCOMPARE(host->address, QStringLiteral("ftp.example.org"));
    QCOMPARE(host->userName, QStringLiteral("anonymous"));
    QCOMPARE(host->password, QStringLiteral("me@example.org"));
    QCOMPARE(host->port, QStringLiteral("21"));
    QCOMPARE(host->portNumber(), quint16(21));
    QCOMPARE(host->startPath, QStringLiteral("/"));
    QCOMPARE(host->cachePolicy, 1);
    QCOMPARE(host->hostType, 0);
    QCOMPARE(host->cacheDays, 0);
    QCOMPARE(host->cacheMinutes, 0);
    QCOMPARE(host->parentFolder, 0);

    // Read afresh each time: a new EMail shows at once.
    QVERIFY(SetAppValue(QStringLiteral("EMail"), QStringLiteral("new@example.org")));
    QCOMPARE(HostRecord::read(QStringLiteral("Archive"))->password, QStringLiteral("new@example.org"));
}

void TestHostDatabase::hostRecordReadsStoredValues()
{
    QString password = QStringLiteral("s3cret");
    EncodePassword(password);
    writeEntry(QStringLiteral("Work"), {{"Address", "10.0.0.5"}, {"Username", "alice"}, {"Password", password},
                                        {"Port", "2121"}, {"StartPath", "/pub/"}, {"Type", "3"},
                                        {"CacheType", "3"}, {"CacheDays", "2"}, {"CacheMins", "30x"},
                                        {"Parent", "4"}});
    const auto host = HostRecord::read(QStringLiteral("WORK"));
    QVERIFY(host);
    QCOMPARE(host->address, QStringLiteral("10.0.0.5"));
    QCOMPARE(host->userName, QStringLiteral("alice"));
    QCOMPARE(host->password, QStringLiteral("s3cret"));
    QCOMPARE(host->portNumber(), quint16(2121));
    QCOMPARE(host->startPath, QStringLiteral("/pub/"));
    QCOMPARE(host->hostType, 3);
    QCOMPARE(host->cachePolicy, 3);
    QCOMPARE(host->cacheDays, 2);
    QCOMPARE(host->cacheMinutes, 30);
    QCOMPARE(host->parentFolder, 4);
}

void TestHostDatabase::hostRecordOfMissingHost()
{
    QVERIFY(!HostRecord::read(QStringLiteral("Nowhere")));
    // A key without Address is still a host: its address is empty, for the caller to report.
    writeEntry(QStringLiteral("Bare"), {{QStringLiteral("Port"), QStringLiteral("21")}});
    const auto bare = HostRecord::read(QStringLiteral("Bare"));
    QVERIFY(bare);
    QVERIFY(bare->address.isEmpty());
    // Neither the Hosts key itself nor a key below an entry reads as a host.
    QVERIFY(SettingsStore::instance().setValue(SettingsKeys::hostKey(QStringLiteral("Bare\\Destinations")),
                                               QStringLiteral("Address"), QStringLiteral("C:/")));
    QVERIFY(!HostRecord::read(QString()));
    QVERIFY(!HostRecord::read(QStringLiteral("Bare\\Destinations")));
    QVERIFY(!ReadHostEntry(QStringLiteral("Bare\\Destinations")));
}

void TestHostDatabase::hostValuesLongerThanTheBufferAreMissing()
{
    const QString longest(199, QLatin1Char('p'));
    writeEntry(QStringLiteral("Long"), {{"Address", longest}, {"StartPath", QString(200, QLatin1Char('/'))},
                                        {"Username", QString(100, QChar(0x00E9))}});
    const auto host = HostRecord::read(QStringLiteral("Long"));
    QCOMPARE(host->address, longest);
    QCOMPARE(host->startPath, QStringLiteral("/"));
    // 100 two-byte letters need 201 bytes with the NUL.
    QCOMPARE(host->userName, QStringLiteral("anonymous"));
}

void TestHostDatabase::portNumber_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("port");
    QTest::addColumn<quint16>("number");
    QTest::newRow("missing") << false << QString() << quint16(21);
    QTest::newRow("empty") << true << QString() << quint16(21);
    QTest::newRow("2121") << true << QStringLiteral("2121") << quint16(2121);
    QTest::newRow("highest") << true << QStringLiteral("65535") << quint16(65535);
    QTest::newRow("zero") << true << QStringLiteral("0") << quint16(21);
    QTest::newRow("letters") << true << QStringLiteral("abc") << quint16(21);
    QTest::newRow("leading zero") << true << QStringLiteral("0990") << quint16(21);
    QTest::newRow("leading blank") << true << QStringLiteral(" 990") << quint16(21);
    QTest::newRow("digits then letters") << true << QStringLiteral("990x") << quint16(990);
    QTest::newRow("beyond 65535") << true << QStringLiteral("70000") << quint16(21);
}

void TestHostDatabase::portNumber()
{
    QFETCH(bool, stored);
    QFETCH(QString, port);
    QFETCH(quint16, number);
    Values values{{QStringLiteral("Address"), QStringLiteral("h")}};
    if (stored)
        values << SettingsValue{QStringLiteral("Port"), port};
    writeEntry(QStringLiteral("H"), values);
    const auto host = HostRecord::read(QStringLiteral("H"));
    QCOMPARE(host->port, stored ? port : QStringLiteral("21"));
    QCOMPARE(host->portNumber(), number);
}

void TestHostDatabase::cachePolicy_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("cacheType");
    QTest::addColumn<int>("policy");
    QTest::newRow("missing") << false << QString() << 1;
    QTest::newRow("no caching") << true << QStringLiteral("0") << 0;
    QTest::newRow("never expires") << true << QStringLiteral("2") << 2;
    QTest::newRow("after a period") << true << QStringLiteral("3") << 3;
    QTest::newRow("7 reads as 1") << true << QStringLiteral("7") << 1;
    QTest::newRow("letter reads as 1") << true << QStringLiteral("x") << 1;
    QTest::newRow("empty reads as 1") << true << QString() << 1;
    QTest::newRow("first character only") << true << QStringLiteral("2x") << 2;
    QTest::newRow("30 is policy 3") << true << QStringLiteral("30") << 3;
}

void TestHostDatabase::cachePolicy()
{
    QFETCH(bool, stored);
    QFETCH(QString, cacheType);
    QFETCH(int, policy);
    Values values{{QStringLiteral("Address"), QStringLiteral("h")}};
    if (stored)
        values << SettingsValue{QStringLiteral("CacheType"), cacheType};
    writeEntry(QStringLiteral("H"), values);
    QCOMPARE(HostRecord::read(QStringLiteral("H"))->cachePolicy, policy);
}

void TestHostDatabase::folderTreeFollowsParentValues()
{
    writeEntry(QStringLiteral("Archives"), {{"This", "1"}, {"Parent", "0"}});
    writeEntry(QStringLiteral("no This"), {{"Address", "a"}});
    writeEntry(QStringLiteral("This zero"), {{"Address", "b"}, {"This", "0"}, {"Parent", "0"}});
    writeEntry(QStringLiteral("inside"), {{"Address", "c"}, {"Parent", "1"}});
    writeEntry(QStringLiteral("Nested"), {{"This", "2"}, {"Parent", "1"}});
    writeEntry(QStringLiteral("Self"), {{"This", "5"}, {"Parent", "5"}});
    writeEntry(QStringLiteral("orphan"), {{"Address", "d"}, {"Parent", "9"}});
    writeEntry(SettingsKeys::MyComputer, {{"This", "0"}, {"Parent", "0"}});

    const QList<HostEntry> top = HostFolderChildren(0);
    QCOMPARE(names(top), QStringList({"Archives", "no This", "This zero"}));
    QVERIFY(top.at(0).isFolder());
    QVERIFY(!top.at(1).isFolder());
    QVERIFY(!top.at(2).isFolder());
    QCOMPARE(names(HostFolderChildren(1)), QStringList({"inside", "Nested"}));
    QVERIFY(HostFolderChildren(1).at(1).canDescend());

    const QList<HostEntry> self = HostFolderChildren(5);
    QCOMPARE(names(self), QStringList{"Self"});
    QVERIFY(self.first().isFolder());
    QVERIFY(!self.first().canDescend());

    QVERIFY(!names(HostEntries()).contains(SettingsKeys::MyComputer));
    QVERIFY(!ReadHostEntry(QStringLiteral("my computer")));
    QCOMPARE(HostFolderById(2)->name, QStringLiteral("Nested"));
    QVERIFY(!HostFolderById(0));
    QVERIFY(!HostFolderById(9));
}

void TestHostDatabase::nextFolderId_data()
{
    QTest::addColumn<QStringList>("thisValues");
    QTest::addColumn<int>("next");
    QTest::newRow("no entries") << QStringList() << 1;
    QTest::newRow("hosts only") << QStringList{QString(), QStringLiteral("0")} << 1;
    QTest::newRow("1, 2 and 7") << QStringList{"1", "2", "7"} << 8;
    QTest::newRow("unordered with a host") << QStringList{"7", QString(), "3"} << 8;
    QTest::newRow("leading digits") << QStringList{"5x"} << 6;
    QTest::newRow("largest int") << QStringList{"2147483647"} << std::numeric_limits<int>::max();
}

void TestHostDatabase::nextFolderId()
{
    QFETCH(QStringList, thisValues);
    QFETCH(int, next);
    QVERIFY(store().createKey(SettingsKeys::Hosts));
    for (qsizetype i = 0; i < thisValues.size(); ++i) {
        Values values{{QStringLiteral("Parent"), QStringLiteral("0")}};
        if (!thisValues.at(i).isNull())
            values << SettingsValue{QStringLiteral("This"), thisValues.at(i)};
        writeEntry(QStringLiteral("entry %1").arg(i), values);
    }
    QCOMPARE(NextFolderId(), next);
}

// Written in any order, listed by name without regard to case; names equal but for case keep one
// fixed order.
void TestHostDatabase::entriesAreListedByName()
{
    for (const char *name : {"zulu", "Bravo", "alpha", "Charlie", "bravo2", "10 hosts", "Ärger"})
        writeEntry(QString::fromUtf8(name), {{"Address", "a"}, {"Parent", "0"}});
    QCOMPARE(names(HostEntries()), QStringList({"10 hosts", "alpha", "Bravo", "bravo2", "Charlie", "zulu", "Ärger"}));
    QVERIFY(HostNameLess(QStringLiteral("Abc"), QStringLiteral("abc")));
    QVERIFY(!HostNameLess(QStringLiteral("abc"), QStringLiteral("Abc")));
}

void TestHostDatabase::newHostName_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("name");
    QTest::newRow("none") << QStringList() << "Default Host 1";
    QTest::newRow("gap") << QStringList{"Default Host 1", "Default Host 3"} << "Default Host 2";
    QTest::newRow("other case") << QStringList{"default host 1"} << "Default Host 2";
    QTest::newRow("after two") << QStringList{"Default Host 1", "Default Host 2"} << "Default Host 3";
}

void TestHostDatabase::newHostName()
{
    QFETCH(QStringList, existing);
    for (const QString &name : existing)
        writeEntry(name, {{"Parent", "0"}});
    QTEST(NewHostName(), "name");
}

void TestHostDatabase::unappliedHostIsDiscarded_data()
{
    QTest::addColumn<QStringList>("valueNames");
    QTest::addColumn<bool>("discarded");
    QTest::newRow("Parent only") << QStringList{"Parent"} << true;
    QTest::newRow("no values") << QStringList() << true;
    QTest::newRow("an address applied") << QStringList{"Parent", "Address"} << false;
}

void TestHostDatabase::unappliedHostIsDiscarded()
{
    QFETCH(QStringList, valueNames);
    QFETCH(bool, discarded);
    QVERIFY(CreateHostEntry(QStringLiteral("Default Host 1"), 2));
    QCOMPARE(ReadHostEntry(QStringLiteral("Default Host 1"))->parent, 2);
    const QString key = SettingsKeys::hostKey(QStringLiteral("Default Host 1"));
    store().deleteValue(key, QStringLiteral("Parent"));
    for (const QString &name : valueNames)
        store().setValue(key, name, QStringLiteral("x"));
    QCOMPARE(DiscardUnappliedHost(QStringLiteral("Default Host 1")), discarded);
    QCOMPARE(store().keyExists(key), !discarded);
    QVERIFY(!DiscardUnappliedHost(QStringLiteral("never there")));
}

void TestHostDatabase::renameMovesValuesInOrder()
{
    const Values values{{"Address", "ftp.example.org"}, {"Username", "bob"}, {"Port", "2121"}, {"Parent", "3"}};
    writeEntry(QStringLiteral("Old Name"), values);
    QVERIFY(store().setValue(SettingsKeys::hostKey(QStringLiteral("Old Name")) + QStringLiteral("\\Destinations"),
                             QStringLiteral("0"), QStringLiteral("C:/")));
    writeEntry(QStringLiteral("Neighbour"), {{"Address", "n"}});

    RecordingPrompt prompt;
    QCOMPARE(RenameHostKey(QStringLiteral("Old Name"), QStringLiteral("New Name"), prompt), 0);
    QVERIFY2(prompt.isEmpty(), qPrintable(prompt.dump()));
    QCOMPARE(store().values(SettingsKeys::hostKey(QStringLiteral("New Name"))), values);
    QVERIFY(!store().keyExists(SettingsKeys::hostKey(QStringLiteral("Old Name"))));
    QVERIFY(!store().keyExists(SettingsKeys::hostKey(QStringLiteral("Old Name")) + QStringLiteral("\\Destinations")));
    QVERIFY(store().subkeys(SettingsKeys::hostKey(QStringLiteral("New Name"))).isEmpty());
    QCOMPARE(store().subkeys(SettingsKeys::Hosts), QStringList({"Neighbour", "New Name"}));
}

void TestHostDatabase::renameToTakenNameIsRefused_data()
{
    QTest::addColumn<QString>("newName");
    QTest::newRow("same name in other case") << QStringLiteral("gnu project");
    QTest::newRow("another host") << QStringLiteral("Other Host");
    QTest::newRow("a folder, in other case") << QStringLiteral("software archives");
}

void TestHostDatabase::renameToTakenNameIsRefused()
{
    QFETCH(QString, newName);
    writeEntry(QStringLiteral("GNU Project"), {{"Address", "ftp.gnu.org"}});
    writeEntry(QStringLiteral("Other Host"), {{"Address", "other"}});
    writeEntry(QStringLiteral("Software Archives"), {{"This", "2"}, {"Parent", "0"}});
    const QStringList before = store().subkeys(SettingsKeys::Hosts);

    RecordingPrompt prompt;
    QCOMPARE(RenameHostKey(QStringLiteral("GNU Project"), newName, prompt), -1);
    QCOMPARE(prompt.count(), 1);
    QCOMPARE(prompt.lastText(), QStringLiteral("Host Name Is Not Unique"));
    QCOMPARE(prompt.lastCaption(), QStringLiteral("Error"));
    QCOMPARE(prompt.entries().first().icon, Prompt::Icon::Stop);
    QCOMPARE(store().subkeys(SettingsKeys::Hosts), before);
    QCOMPARE(store().values(SettingsKeys::hostKey(QStringLiteral("GNU Project"))),
             (Values{{"Address", "ftp.gnu.org"}}));
}

void TestHostDatabase::renameToExactlyTheSameNameDoesNothing()
{
    writeEntry(QStringLiteral("GNU Project"), {{"Address", "ftp.gnu.org"}});
    RecordingPrompt prompt;
    QCOMPARE(RenameHostKey(QStringLiteral("GNU Project"), QStringLiteral("GNU Project"), prompt), 0);
    QVERIFY(prompt.isEmpty());
    QCOMPARE(store().values(SettingsKeys::hostKey(QStringLiteral("GNU Project"))), (Values{{"Address", "ftp.gnu.org"}}));
}

void TestHostDatabase::renameOfMissingKeyCreatesEmptyKey()
{
    RecordingPrompt prompt;
    QCOMPARE(RenameHostKey(QStringLiteral("Ghost"), QStringLiteral("New"), prompt), 0);
    QVERIFY(store().keyExists(SettingsKeys::hostKey(QStringLiteral("New"))));
    QVERIFY(store().values(SettingsKeys::hostKey(QStringLiteral("New"))).isEmpty());
}

void TestHostDatabase::renameToNameWithBackslashFails()
{
    writeEntry(QStringLiteral("Box"), {{"Address", "box"}});
    RecordingPrompt prompt;
    const int result = RenameHostKey(QStringLiteral("Box"), QStringLiteral("a\\b"), prompt);
    QVERIFY(result != 0 && result != -1);
    QCOMPARE(store().subkeys(SettingsKeys::Hosts), QStringList{"Box"});
    QCOMPARE(store().values(SettingsKeys::hostKey(QStringLiteral("Box"))), (Values{{"Address", "box"}}));
}

void TestHostDatabase::hostNameProblems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problemPart");
    QTest::newRow("free") << QStringLiteral("Brand New") << QString();
    QTest::newRow("non-ASCII is fine") << QStringLiteral("Zürich Mirror ✓") << QString();
    QTest::newRow("empty") << QString() << QStringLiteral("must not be empty");
    QTest::newRow("blanks only") << QStringLiteral("   ") << QStringLiteral("must not be empty");
    QTest::newRow("backslash") << QStringLiteral("a\\b") << QStringLiteral("backslash");
    QTest::newRow("tab") << QStringLiteral("a\tb") << QStringLiteral("control characters");
    QTest::newRow("my computer") << QStringLiteral("MY COMPUTER") << QStringLiteral("local disks");
    QTest::newRow("host in other case") << QStringLiteral("gnu project") << QStringLiteral("\"GNU Project\" is already taken");
    QTest::newRow("folder") << QStringLiteral("Archives") << QStringLiteral("already taken");
    QTest::newRow("256 characters") << QString(256, QLatin1Char('n')) << QStringLiteral("at most 255");
}

void TestHostDatabase::hostNameProblems()
{
    QFETCH(QString, name);
    QFETCH(QString, problemPart);
    writeEntry(QStringLiteral("GNU Project"), {{"Address", "ftp.gnu.org"}});
    writeEntry(QStringLiteral("Archives"), {{"This", "1"}, {"Parent", "0"}});
    const QString problem = HostNameProblem(name);
    if (problemPart.isEmpty())
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    else
        QVERIFY2(problem.contains(problemPart), qPrintable(problem));
}

void TestHostDatabase::starterHostsOnFirstStart()
{
    CreateDefaultHosts();
    const QList<HostEntry> entries = HostEntries();
    QCOMPARE(entries.size(), 16);

    QMap<int, int> hostsPerFolder;
    QStringList folders;
    for (const HostEntry &entry : entries) {
        const Values values = store().values(SettingsKeys::hostKey(entry.name));
        if (entry.isFolder()) {
            folders << entry.name;
            QCOMPARE(values.size(), 2);
            QCOMPARE(entry.parent, 0);
            continue;
        }
        QCOMPARE(values.size(), 2);
        QCOMPARE(values.at(0).name, QStringLiteral("Address"));
        QCOMPARE(values.at(1).name, QStringLiteral("Parent"));
        QVERIFY(values.at(0).text.startsWith(QLatin1String("ftp.")) || values.at(0).text.contains(QLatin1Char('.')));
        ++hostsPerFolder[entry.parent];
        const auto host = HostRecord::read(entry.name);
        QCOMPARE(host->userName, QStringLiteral("anonymous"));
        QCOMPARE(host->portNumber(), quint16(21));
    }
    // Listed by name, whatever order they were written in.
    QCOMPARE(folders, QStringList({"Corporate Home Pages", "Shareware Homepages", "Software Archives"}));
    QCOMPARE(ReadHostEntry(QStringLiteral("Corporate Home Pages"))->folderId, 1);
    QCOMPARE(ReadHostEntry(QStringLiteral("Software Archives"))->folderId, 2);
    QCOMPARE(ReadHostEntry(QStringLiteral("Shareware Homepages"))->folderId, 3);
    QCOMPARE(hostsPerFolder, (QMap<int, int>{{1, 2}, {2, 6}, {3, 5}}));
    QCOMPARE(NextFolderId(), 4);

    // Running again (every start does) changes nothing.
    CreateDefaultHosts();
    QCOMPARE(HostEntries().size(), 16);
}

void TestHostDatabase::starterHostsNotWhenHostsKeyExists()
{
    QVERIFY(store().createKey(SettingsKeys::Hosts));
    CreateDefaultHosts();
    QVERIFY(store().subkeys(SettingsKeys::Hosts).isEmpty());

    // Deleting every host later does not bring the starter set back.
    QVERIFY(store().deleteKey(SettingsKeys::Hosts));
    CreateDefaultHosts();
    for (const QString &name : store().subkeys(SettingsKeys::Hosts))
        QVERIFY(store().deleteKey(SettingsKeys::hostKey(name)));
    CreateDefaultHosts();
    QVERIFY(store().keyExists(SettingsKeys::Hosts));
    QVERIFY(store().subkeys(SettingsKeys::Hosts).isEmpty());
}

void TestHostDatabase::passwordKnownForm()
{
    QString password = QStringLiteral("abc");
    EncodePassword(password);
    QCOMPARE(password.toLatin1(), QByteArray("\x70\x58\x3C"));
}

void TestHostDatabase::passwordRotationSchedule()
{
    // A single low bit shows the rotation: right by n moves it to bit 7 - n.
    QString ones(6, QChar(0x01));
    EncodePassword(ones);
    QCOMPARE(ones.toLatin1(), QByteArray("\x40\x20\x10\x08\x04\x40"));
    // Bit 7 and above stay where they are; only the low seven bits turn.
    QString high(1, QChar(0x0181));
    EncodePassword(high);
    QCOMPARE(high.at(0).unicode(), char16_t(0x01C0));
}

void TestHostDatabase::passwordRoundTrip_data()
{
    QTest::addColumn<QString>("password");
    const QString printable = QStringLiteral("aZ0~ !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}");
    for (int length = 0; length <= 12; ++length)
        QTest::addRow("length %d", length) << printable.left(length);
    QTest::newRow("all seven-bit characters") << [] {
        QString all;
        for (char16_t c = 1; c < 0x80; ++c)
            all += QChar(c);
        return all;
    }();
    QTest::newRow("Latin-1") << QStringLiteral("pässwörd£");
    QTest::newRow("Cyrillic") << QStringLiteral("пароль");
    QTest::newRow("beyond the BMP") << QStringLiteral("密码🔑😀x");
}

void TestHostDatabase::passwordRoundTrip()
{
    QFETCH(QString, password);
    QString coded = password;
    EncodePassword(coded);
    QCOMPARE(coded.size(), password.size());
    QVERIFY(!coded.contains(QChar(0)));
    if (password.size() >= 2)
        QVERIFY(coded != password);
    // Still valid text, of the same stored length.
    QCOMPARE(QString::fromUtf8(coded.toUtf8()), coded);
    QCOMPARE(coded.toUtf8().size(), password.toUtf8().size());
    DecodePassword(coded);
    QCOMPARE(coded, password);
}

void TestHostDatabase::storedPasswordIsDecodedOnRead()
{
    QString coded = QStringLiteral("Grüße 🔑");
    EncodePassword(coded);
    writeEntry(QStringLiteral("H"), {{"Address", "h"}, {"Username", "u"}, {"Password", coded}});
    QCOMPARE(HostRecord::read(QStringLiteral("H"))->password, QStringLiteral("Grüße 🔑"));
}

void TestHostDatabase::asciiExtensionLookup_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("ascii");
    QTest::newRow("listed in other case") << QStringLiteral("notes.TXT") << true;
    QTest::newRow("last dot counts") << QStringLiteral("archive.tar.gz") << false;
    QTest::newRow("listed last extension") << QStringLiteral("page.old.HTML") << true;
    QTest::newRow("no dot: whole name") << QStringLiteral("README") << true;
    QTest::newRow("no dot, other case") << QStringLiteral("readme") << true;
    QTest::newRow("no dot, not listed") << QStringLiteral("Makefile") << false;
    QTest::newRow("ends in a dot") << QStringLiteral("file.") << false;
    QTest::newRow("extension inside the name only") << QStringLiteral("txt.zip") << false;
}

void TestHostDatabase::asciiExtensionLookup()
{
    QFETCH(QString, fileName);
    QFETCH(bool, ascii);
    for (const char *extension : {"txt", "html", "README", "tar"})
        QVERIFY(store().setValue(SettingsKeys::Ascii, QLatin1String(extension), QString()));
    QCOMPARE(IsAsciiExtension(fileName), ascii);
}

void TestHostDatabase::asciiListEdits()
{
    QVERIFY(!IsAsciiExtension(QStringLiteral("a.txt")));
    QCOMPARE(AsciiExtensions(), QStringList());
    QVERIFY(store().keyExists(SettingsKeys::Ascii));

    QCOMPARE(AddAsciiExtension(QStringLiteral("*.TXT")), QStringLiteral("TXT"));
    QCOMPARE(AddAsciiExtension(QStringLiteral("html")), QStringLiteral("html"));
    QCOMPARE(AddAsciiExtension(QStringLiteral("archive.tar.gz")), QStringLiteral("gz"));
    QCOMPARE(AddAsciiExtension(QStringLiteral("trailing.")), QString());
    QCOMPARE(AddAsciiExtension(QString()), QString());
    QCOMPARE(AddAsciiExtension(QStringLiteral("txt")), QStringLiteral("txt"));
    QCOMPARE(AsciiExtensions(), QStringList({"TXT", "html", "gz"}));
    const Values stored = store().values(SettingsKeys::Ascii);
    QVERIFY(std::all_of(stored.begin(), stored.end(), [](const SettingsValue &v) { return v.text.isEmpty(); }));
    QVERIFY(IsAsciiExtension(QStringLiteral("log.gz")));

    QVERIFY(RemoveAsciiExtension(QStringLiteral("Txt")));
    QVERIFY(!RemoveAsciiExtension(QStringLiteral("txt")));
    QCOMPARE(AsciiExtensions(), QStringList({"html", "gz"}));
    QVERIFY(!IsAsciiExtension(QStringLiteral("notes.txt")));
}

QTEST_GUILESS_MAIN(TestHostDatabase)
#include "tst_hostdatabase.moc"
