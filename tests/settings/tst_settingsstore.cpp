// The settings store on a real SQLite file: names, order, buffers, text, a damaged file, and
// other processes writing the same file.

#include "StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

#include <memory>
#include <optional>

namespace {

const QString kKey = QStringLiteral("Software\\Vemal\\Portolan");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Builds an SQLite file with the given SQL, as another program would.
bool writeSqliteFile(const QString &path, const char *sql)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    sqlite3 *db = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
        && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Runs vemalftp-cli to its end (bounded); its exit code, or -1 when it did not finish.
int runCli(const QStringList &args, QByteArray *output = nullptr)
{
    QProcess cli;
    cli.start(QStringLiteral(VEMAL_CLI_PATH), args);
    if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = cli.readAllStandardOutput();
    return cli.exitCode();
}

int modeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

QString movedPathFrom(const QString &notice)
{
    static const QRegularExpression pattern(
        QStringLiteral("^The settings file was not usable and was moved to (.+); starting with fresh settings\\.$"));
    const auto match = pattern.match(notice);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    std::unique_ptr<StoreFixture> m_fixture;

    SettingsStore &store() { return m_fixture->store(); }

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }
    void init()
    {
        m_fixture = std::make_unique<StoreFixture>();
        QVERIFY(m_fixture->isValid());
    }
    void cleanup() { m_fixture.reset(); }

    void newFileIsPrivate();
    void keyNamesIgnoreCaseAndKeepFirstCase();
    void valueNamesIgnoreCaseAndKeepFirstCase();
    void enumerationFollowsCreation();
    void deleteKeyTakesEverythingBelow();
    void malformedPathsFindAndWriteNothing_data();
    void malformedPathsFindAndWriteNothing();
    void bufferSizeDecidesWhatFits_data();
    void bufferSizeDecidesWhatFits();
    void textRoundTripsByteForByte_data();
    void textRoundTripsByteForByte();
    void unusableFileIsMovedAsideIntact_data();
    void unusableFileIsMovedAsideIntact();
    void staleWalBesideBrokenFileGoesWithIt();
    void earlierBrokenFilesAreNotOverwritten();
    void copiesStartingOnOneBrokenFileMoveItOnce();
    void emptyFileIsUsedAsIs();
    void storeThatCannotOpenReadsNothing();
    void otherProcessWritesAreSeenAtOnce();
    void concurrentWritersLoseNothing();
    void unchangedValuesCommitNothing();
};

void TestSettingsStore::newFileIsPrivate()
{
    QVERIFY(store().isOpen());
    QVERIFY(store().setValue(kKey, QStringLiteral("EMail"), QStringLiteral("me@example.org")));
    QCOMPARE(store().filePath(), m_fixture->filePath());
    QCOMPARE(modeOf(m_fixture->filePath()), 0600);
    QCOMPARE(modeOf(m_fixture->filePath() + QStringLiteral("-wal")), 0600);
    QCOMPARE(modeOf(m_fixture->folder()), 0700);
    QVERIFY(store().takeNotice().isEmpty());
}

void TestSettingsStore::keyNamesIgnoreCaseAndKeepFirstCase()
{
    QVERIFY(store().createKey(QStringLiteral("Software\\Vemal\\Portolan\\Hosts\\GNU Project")));
    QVERIFY(store().createKey(QStringLiteral("SOFTWARE\\vemal\\PORTOLAN\\hosts\\gnu project")));
    QVERIFY(store().createKey(QStringLiteral("Software\\Vemal\\Portolan\\Hosts\\Überweg")));
    QVERIFY(store().keyExists(QStringLiteral("software\\vemal\\portolan\\hosts\\üBERWEG")));

    QCOMPARE(store().subkeys(QStringLiteral("software\\VEMAL\\portolan\\HOSTS")),
             QStringList({QStringLiteral("GNU Project"), QStringLiteral("Überweg")}));
    QCOMPARE(store().keyName(QStringLiteral("Software\\Vemal\\Portolan\\Hosts\\gnu PROJECT")),
             std::optional<QString>(QStringLiteral("GNU Project")));
    QCOMPARE(store().subkeys(QStringLiteral("Software")), QStringList{QStringLiteral("Vemal")});
    QVERIFY(!store().keyExists(QStringLiteral("Software\\Vemal\\Portolan\\Hosts\\GNU")));
}

void TestSettingsStore::valueNamesIgnoreCaseAndKeepFirstCase()
{
    QVERIFY(store().setValue(kKey, QStringLiteral("SplitterPos"), QStringLiteral("270")));
    QVERIFY(store().setValue(QStringLiteral("software\\vemal\\portolan"), QStringLiteral("SPLITTERPOS"),
                             QStringLiteral("300")));
    QCOMPARE(store().value(kKey, QStringLiteral("splitterpos")), std::optional<QString>(QStringLiteral("300")));
    QCOMPARE(store().values(kKey), (QList<SettingsValue>{{QStringLiteral("SplitterPos"), QStringLiteral("300")}}));
    QVERIFY(store().deleteValue(kKey, QStringLiteral("splitterPOS")));
    QVERIFY(!store().value(kKey, QStringLiteral("SplitterPos")));
    QVERIFY(!store().deleteValue(kKey, QStringLiteral("SplitterPos")));
}

void TestSettingsStore::enumerationFollowsCreation()
{
    for (const char *name : {"zeta", "Alpha", "mu"})
        QVERIFY(store().createKey(kKey + QLatin1Char('\\') + QLatin1String(name)));
    QCOMPARE(store().subkeys(kKey), QStringList({"zeta", "Alpha", "mu"}));

    for (const char *name : {"Width", "Left", "Top"})
        QVERIFY(store().setValue(kKey, QLatin1String(name), QStringLiteral("1")));
    // Rewriting keeps a value's place; deleting and writing again moves it to the end.
    QVERIFY(store().setValue(kKey, QStringLiteral("left"), QStringLiteral("2")));
    QVERIFY(store().deleteValue(kKey, QStringLiteral("Width")));
    QVERIFY(store().setValue(kKey, QStringLiteral("Width"), QStringLiteral("3")));
    const QList<SettingsValue> expected{{"Left", "2"}, {"Top", "1"}, {"Width", "3"}};
    QCOMPARE(store().values(kKey), expected);
}

void TestSettingsStore::deleteKeyTakesEverythingBelow()
{
    const QString host = kKey + QStringLiteral("\\Hosts\\Box");
    QVERIFY(store().setValue(host, QStringLiteral("Address"), QStringLiteral("box.example")));
    QVERIFY(store().setValue(host + QStringLiteral("\\Destinations"), QStringLiteral("0"), QStringLiteral("C:/")));
    QVERIFY(store().setValue(kKey + QStringLiteral("\\Hosts\\Other"), QStringLiteral("Address"), QStringLiteral("o")));

    QVERIFY(store().deleteKey(QStringLiteral("software\\vemal\\portolan\\hosts\\BOX")));
    QVERIFY(!store().keyExists(host));
    QVERIFY(!store().keyExists(host + QStringLiteral("\\Destinations")));
    QCOMPARE(store().subkeys(kKey + QStringLiteral("\\Hosts")), QStringList{QStringLiteral("Other")});
    QVERIFY(!store().deleteKey(host));

    // A key made again under the same name starts empty: nothing of the old one lingers.
    QVERIFY(store().createKey(host + QStringLiteral("\\Destinations")));
    QVERIFY(store().values(host).isEmpty());
    QVERIFY(store().values(host + QStringLiteral("\\Destinations")).isEmpty());
}

void TestSettingsStore::malformedPathsFindAndWriteNothing_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("empty") << QString();
    QTest::newRow("trailing backslash") << QStringLiteral("Software\\Vemal\\Portolan\\Hosts\\");
    QTest::newRow("leading backslash") << QStringLiteral("\\Software");
    QTest::newRow("empty name inside") << QStringLiteral("Software\\\\Vemal");
}

void TestSettingsStore::malformedPathsFindAndWriteNothing()
{
    QFETCH(QString, key);
    QVERIFY(store().createKey(kKey + QStringLiteral("\\Hosts")));
    QVERIFY(!store().createKey(key));
    QVERIFY(!store().setValue(key, QStringLiteral("Address"), QStringLiteral("x")));
    QVERIFY(store().lastError() != 0 && store().lastError() != -1);
    QVERIFY(!store().keyExists(key));
    QVERIFY(!store().value(key, QStringLiteral("Address")));
    QVERIFY(store().values(kKey + QStringLiteral("\\Hosts")).isEmpty());
    QVERIFY(store().subkeys(kKey + QStringLiteral("\\Hosts")).isEmpty());
}

void TestSettingsStore::bufferSizeDecidesWhatFits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<bool>("fits");
    QTest::newRow("three letters, room for the NUL") << QStringLiteral("abc") << 4 << true;
    QTest::newRow("three letters, no room for the NUL") << QStringLiteral("abc") << 3 << false;
    QTest::newRow("empty text in one byte") << QString() << 1 << true;
    QTest::newRow("two-byte letter fits") << QStringLiteral("é") << 3 << true;
    QTest::newRow("two-byte letter counts bytes") << QStringLiteral("é") << 2 << false;
    QTest::newRow("emoji is four bytes") << QStringLiteral("😀") << 5 << true;
    QTest::newRow("emoji does not fit four") << QStringLiteral("😀") << 4 << false;
    QTest::newRow("199 bytes in a host buffer") << QString(199, QLatin1Char('h')) << 200 << true;
    QTest::newRow("200 bytes in a host buffer") << QString(200, QLatin1Char('h')) << 200 << false;
    QTest::newRow("no limit") << QString(100000, QLatin1Char('x')) << 0 << true;
}

void TestSettingsStore::bufferSizeDecidesWhatFits()
{
    QFETCH(QString, text);
    QFETCH(int, bufferSize);
    QFETCH(bool, fits);
    QVERIFY(store().setValue(kKey, QStringLiteral("Value"), text));
    const auto read = store().value(kKey, QStringLiteral("Value"), bufferSize);
    QCOMPARE(read.has_value(), fits);
    if (fits)
        QCOMPARE(*read, text);
}

void TestSettingsStore::textRoundTripsByteForByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("ftp.gnu.org");
    QTest::newRow("Latin-1 and beyond") << QStringLiteral("Ærøskøbing – ½ € ſ");
    QTest::newRow("CJK and RTL") << QStringLiteral("文件传输 ملف");
    QTest::newRow("beyond the BMP") << QStringLiteral("𝄞 😀 🇫🇮 👩‍💻");
    QTest::newRow("combining marks stay unnormalised") << QStringLiteral("e\u0301 vs \u00e9");
    QTest::newRow("controls and blanks") << QStringLiteral("  tab\there\nnew line \u0001 ");
    QTest::newRow("backslashes in a value") << QStringLiteral("C:\\Users\\me\\");
    QTest::newRow("long") << QString(20000, QChar(0x4E2D));
}

void TestSettingsStore::textRoundTripsByteForByte()
{
    QFETCH(QString, text);
    const QString key = kKey + QStringLiteral("\\Hosts\\") + text.left(50).remove(QLatin1Char('\\'));
    QVERIFY(store().setValue(key, text.left(100), text));
    SettingsStore::reopen();
    const auto read = SettingsStore::instance().value(key, text.left(100));
    QVERIFY(read.has_value());
    QCOMPARE(read->toUtf8(), text.toUtf8());
    QCOMPARE(SettingsStore::instance().values(key).first().name, text.left(100));
}

void TestSettingsStore::unusableFileIsMovedAsideIntact_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<QByteArray>("sql");
    QTest::newRow("text file") << QByteArray("[General]\nEMail=me@example.org\n").repeated(50) << QByteArray();
    QByteArray binary(5000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 131 + 7) % 251);
    QTest::newRow("binary noise") << binary << QByteArray();
    QTest::newRow("SQLite header on noise") << QByteArray("SQLite format 3\0", 16) + binary << QByteArray();
    QTest::newRow("another program's database")
        << QByteArray() << QByteArray("CREATE TABLE bookmarks(url TEXT); INSERT INTO bookmarks VALUES('x');");
    QTest::newRow("our id but other tables")
        << QByteArray() << QByteArray("PRAGMA application_id = 1447382348; CREATE TABLE keys(x);");
}

void TestSettingsStore::unusableFileIsMovedAsideIntact()
{
    QFETCH(QByteArray, garbage);
    QFETCH(QByteArray, sql);
    m_fixture->moveToNewFolder();
    const QString path = m_fixture->filePath();
    QVERIFY(sql.isEmpty() ? writeFile(path, garbage) : writeSqliteFile(path, sql.constData()));
    const QByteArray original = readAll(path);

    SettingsStore::reopen();
    SettingsStore &reopened = SettingsStore::instance();
    const QString notice = reopened.takeNotice();
    const QString moved = movedPathFrom(notice);
    QVERIFY2(!moved.isEmpty(), qPrintable(notice));
    QVERIFY2(QFileInfo(moved).fileName().contains(
                 QRegularExpression(QStringLiteral("^settings\\.db\\.broken-\\d{8}-\\d{6}(-\\d+)?$"))),
             qPrintable(moved));
    QCOMPARE(QFileInfo(moved).absolutePath(), m_fixture->folder());
    QCOMPARE(readAll(moved), original);
    QVERIFY(reopened.takeNotice().isEmpty());

    QVERIFY(reopened.isOpen());
    QVERIFY(reopened.setValue(kKey, QStringLiteral("EMail"), QStringLiteral("fresh@example.org")));
    QCOMPARE(reopened.value(kKey, QStringLiteral("EMail")), std::optional<QString>(QStringLiteral("fresh@example.org")));
    QCOMPARE(modeOf(path), 0600);
}

void TestSettingsStore::staleWalBesideBrokenFileGoesWithIt()
{
    // A -wal file of an earlier store, still holding a write that was never checkpointed.
    QVERIFY(store().setValue(kKey, QStringLiteral("EMail"), QStringLiteral("old@example.org")));
    const QByteArray wal = readAll(m_fixture->filePath() + QStringLiteral("-wal"));
    QVERIFY(wal.size() > 32);

    m_fixture->moveToNewFolder();
    const QString path = m_fixture->filePath();
    QVERIFY(writeFile(path, "scribbled over"));
    QVERIFY(writeFile(path + QStringLiteral("-wal"), wal));
    SettingsStore::reopen();
    const QString moved = movedPathFrom(SettingsStore::instance().takeNotice());
    QVERIFY(!moved.isEmpty());
    QCOMPARE(readAll(moved), QByteArray("scribbled over"));
    QCOMPARE(readAll(moved + QStringLiteral("-wal")), wal);
    QVERIFY(!SettingsStore::instance().value(kKey, QStringLiteral("EMail")));
    QVERIFY(SettingsStore::instance().setValue(kKey, QStringLiteral("EMail"), QStringLiteral("new@example.org")));
}

void TestSettingsStore::earlierBrokenFilesAreNotOverwritten()
{
    // Files moved aside earlier hold the names the next move would pick in the coming seconds.
    m_fixture->moveToNewFolder();
    const QString path = m_fixture->filePath();
    const QDateTime now = QDateTime::currentDateTime();
    QStringList earlier;
    for (int second = 0; second < 3; ++second) {
        const QString stamp = now.addSecs(second).toString(QStringLiteral("yyyyMMdd-HHmmss"));
        earlier << path + QStringLiteral(".broken-") + stamp;
        QVERIFY(writeFile(earlier.last(), "earlier " + earlier.last().toUtf8()));
    }
    QVERIFY(writeFile(path, "newly broken"));

    SettingsStore::reopen();
    const QString moved = movedPathFrom(SettingsStore::instance().takeNotice());
    QVERIFY(!moved.isEmpty());
    QVERIFY2(!earlier.contains(moved), qPrintable(moved));
    QCOMPARE(readAll(moved), QByteArray("newly broken"));
    for (const QString &file : earlier)
        QCOMPARE(readAll(file), "earlier " + file.toUtf8());
}

void TestSettingsStore::copiesStartingOnOneBrokenFileMoveItOnce()
{
    m_fixture->moveToNewFolder();
    const QByteArray garbage = QByteArray("not a settings store\n").repeated(200);
    QVERIFY(writeFile(m_fixture->filePath(), garbage));
    QList<std::shared_ptr<QProcess>> copies;
    for (int i = 0; i < 4; ++i) {
        copies << std::make_shared<QProcess>();
        copies.last()->start(QStringLiteral(VEMAL_CLI_PATH),
                             {QStringLiteral("config"), QStringLiteral("Copy%1").arg(i), QStringLiteral("ran")});
    }
    for (const auto &copy : copies) {
        QVERIFY(copy->waitForFinished(30000));
        QCOMPARE(copy->exitCode(), 0);
    }
    const QStringList broken = QDir(m_fixture->folder()).entryList({QStringLiteral("*.broken-*")}, QDir::Files);
    QCOMPARE(broken.size(), 1);
    QCOMPARE(readAll(m_fixture->folder() + QLatin1Char('/') + broken.first()), garbage);
    SettingsStore::reopen();
    QCOMPARE(SettingsStore::instance().values(kKey).size(), 4);
}

void TestSettingsStore::emptyFileIsUsedAsIs()
{
    m_fixture->moveToNewFolder();
    const QString path = m_fixture->filePath();
    QVERIFY(writeFile(path, QByteArray()));
    SettingsStore::reopen();
    QVERIFY(SettingsStore::instance().takeNotice().isEmpty());
    QVERIFY(SettingsStore::instance().setValue(kKey, QStringLiteral("ShowTwo"), QStringLiteral("1")));
    QCOMPARE(QDir(m_fixture->folder()).entryList({QStringLiteral("*.broken-*")}, QDir::Files), QStringList());
}

void TestSettingsStore::storeThatCannotOpenReadsNothing()
{
    // The configuration folder is taken by a plain file, so the store's folder cannot exist.
    const QString blocked = m_fixture->configHome() + QStringLiteral("/blocked");
    QVERIFY(writeFile(blocked, "not a folder"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocked));
    SettingsStore::reopen();
    SettingsStore &unusable = SettingsStore::instance();
    QVERIFY(!unusable.isOpen());
    QVERIFY(!unusable.setValue(kKey, QStringLiteral("EMail"), QStringLiteral("me@example.org")));
    QVERIFY(unusable.lastError() != 0 && unusable.lastError() != -1);
    QVERIFY(!unusable.createKey(kKey));
    QVERIFY(!unusable.value(kKey, QStringLiteral("EMail")));
    QVERIFY(!unusable.keyExists(kKey));
    QVERIFY(unusable.subkeys(kKey).isEmpty());
    QCOMPARE(readAll(blocked), QByteArray("not a folder"));
}

void TestSettingsStore::otherProcessWritesAreSeenAtOnce()
{
    QVERIFY(!store().value(kKey, QStringLiteral("EMail")));
    QCOMPARE(runCli({QStringLiteral("config"), QStringLiteral("EMail"), QStringLiteral("other@example.org")}), 0);
    QCOMPARE(store().value(kKey, QStringLiteral("EMail")), std::optional<QString>(QStringLiteral("other@example.org")));

    QVERIFY(store().setValue(kKey, QStringLiteral("EMail"), QStringLiteral("mine@example.org")));
    QByteArray output;
    QCOMPARE(runCli({QStringLiteral("config"), QStringLiteral("email")}, &output), 0);
    QCOMPARE(output, QByteArray("mine@example.org\n"));
}

void TestSettingsStore::concurrentWritersLoseNothing()
{
    // Two shells each start the real CLI 150 times, writing names of their own into the same key
    // of a file that does not exist yet: creation, locking and every write race each other.
    m_fixture->moveToNewFolder();
    constexpr int perWriter = 150;
    const QString script = QStringLiteral(
        "i=1; while [ $i -le %1 ]; do \"$0\" config \"$1$i\" \"value $1 $i\" || exit 1; i=$((i+1)); done")
                               .arg(perWriter);
    QList<std::shared_ptr<QProcess>> writers;
    for (const char *prefix : {"A", "B"}) {
        auto writer = std::make_shared<QProcess>();
        writer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral(VEMAL_CLI_PATH),
                                                  QLatin1String(prefix)});
        writers << writer;
    }
    for (const auto &writer : writers) {
        QVERIFY(writer->waitForFinished(240000));
        QCOMPARE(writer->exitCode(), 0);
    }

    SettingsStore::reopen();
    const QList<SettingsValue> values = SettingsStore::instance().values(kKey);
    // No writer may have taken the live file for a broken one and moved it aside.
    QCOMPARE(QDir(m_fixture->folder()).entryList({QStringLiteral("*.broken-*")}, QDir::Files), QStringList());
    QCOMPARE(values.size(), 2 * perWriter);
    for (const char *prefix : {"A", "B"}) {
        for (int i = 1; i <= perWriter; ++i) {
            const QString name = QLatin1String(prefix) + QString::number(i);
            QCOMPARE(SettingsStore::instance().value(kKey, name),
                     std::optional<QString>(QStringLiteral("value %1 %2").arg(QLatin1String(prefix)).arg(i)));
        }
    }
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"

// Writing back a value that is already stored commits nothing (each commit syncs the disk); any
// change, even of letter case, is written.
void TestSettingsStore::unchangedValuesCommitNothing()
{
    QVERIFY(store().setValue(kKey, QStringLiteral("SortBy0"), QStringLiteral("a")));
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(m_fixture->filePath()).constData(), &other), SQLITE_OK);
    const auto dataVersion = [other] {
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(other, "PRAGMA data_version", -1, &statement, nullptr);
        const int version = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
        sqlite3_finalize(statement);
        return version;
    };
    const int before = dataVersion();
    QVERIFY(store().setValue(kKey, QStringLiteral("sortby0"), QStringLiteral("a")));
    QCOMPARE(dataVersion(), before);
    QVERIFY(store().setValue(kKey, QStringLiteral("SortBy0"), QStringLiteral("A")));
    QVERIFY(dataVersion() != before);
    QCOMPARE(store().value(kKey, QStringLiteral("SortBy0")), std::optional<QString>(QStringLiteral("A")));
    sqlite3_close(other);
}
