// The recent destinations of each host in the settings store: newest under the largest number,
// at most ten, a reused destination moved up rather than repeated, and the case rules (local
// folders differ by case on Linux as a host's do).

#include "pool/Destinations.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsKeys.h"
#include "settings/StoreFixture.h"
#include "support/TestEnvironment.h"

#include <QTest>

#include <memory>

namespace {

QString dir(int n)
{
    return QStringLiteral("/pub/d%1/").arg(n);
}

// The n-th of sixteen local folders whose names differ only by case: "C:/data/", "C:/Data/", ...
QString localDir(int n)
{
    QString name = QStringLiteral("data");
    for (int bit = 0; bit < 4; ++bit)
        if (n & (1 << bit))
            name[bit] = name[bit].toUpper();
    return QStringLiteral("C:/") + name + u'/';
}

// The n-th destination of a host: plain numbered folders on a host, folders told apart only by
// case on the local disk.
QString destination(const QString &host, int n)
{
    return host == QLatin1String("My Computer") ? localDir(n) : dir(n);
}

// Value names and texts in store order, as "name=text".
QStringList stored(const QString &host)
{
    QStringList entries;
    for (const SettingsValue &value : SettingsStore::instance().values(Destinations::key(host)))
        entries << value.name + u'=' + value.text;
    return entries;
}

} // namespace

class TestDestinations : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    std::unique_ptr<StoreFixture> m_store;

private slots:
    void initTestCase() { QVERIFY2(m_env.setUp(), qPrintable(m_env.errorString())); }
    void init() { m_store = std::make_unique<StoreFixture>(); }
    void cleanup() { m_store.reset(); }

    void listCreatesMissingKey();
    void newestTakesNextNumber();
    void eleventhRemovesOldest_data() { hosts(); }
    void eleventhRemovesOldest();
    void reuseMovesUp_data() { hosts(); }
    void reuseMovesUp();
    void reuseWhenFullLosesNothing();
    void equalEntries_data();
    void equalEntries();
    void handEditedHistory_data();
    void handEditedHistory();
    void unusableHostNames_data();
    void unusableHostNames();

private:
    static void hosts()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("host") << "box";
        QTest::newRow("local disk, names told apart by case") << "My Computer";
    }
};

void TestDestinations::listCreatesMissingKey()
{
    QCOMPARE(Destinations::list(QStringLiteral("box")), QStringList());
    QVERIFY(SettingsStore::instance().keyExists(SettingsKeys::hostKey(QStringLiteral("box")) + "\\Destinations"));
}

void TestDestinations::newestTakesNextNumber()
{
    for (int n = 1; n <= 3; ++n)
        QVERIFY(Destinations::record(QStringLiteral("box"), dir(n)));
    QCOMPARE(stored(QStringLiteral("box")), (QStringList{"1=" + dir(1), "2=" + dir(2), "3=" + dir(3)}));
    QCOMPARE(Destinations::list(QStringLiteral("BOX")), (QStringList{dir(1), dir(2), dir(3)}));
    // Other hosts keep their own history.
    QCOMPARE(Destinations::list(QStringLiteral("other")), QStringList());
}

void TestDestinations::eleventhRemovesOldest()
{
    QFETCH(QString, host);
    for (int n = 1; n <= 11; ++n)
        QVERIFY(Destinations::record(host, destination(host, n)));
    QStringList expected;
    for (int n = 2; n <= 11; ++n)
        expected << QString::number(n) + u'=' + destination(host, n);
    QCOMPARE(stored(host), expected);
}

void TestDestinations::reuseMovesUp()
{
    QFETCH(QString, host);
    for (int n = 1; n <= 3; ++n)
        QVERIFY(Destinations::record(host, destination(host, n)));
    QVERIFY(Destinations::record(host, destination(host, 1)));
    QCOMPARE(stored(host), (QStringList{"2=" + destination(host, 2), "3=" + destination(host, 3),
                                        "4=" + destination(host, 1)}));
}

// A full history that gets one of its own entries again keeps all ten.
void TestDestinations::reuseWhenFullLosesNothing()
{
    for (int n = 1; n <= 10; ++n)
        QVERIFY(Destinations::record(QStringLiteral("box"), dir(n)));
    QVERIFY(Destinations::record(QStringLiteral("box"), dir(5)));
    const QStringList list = Destinations::list(QStringLiteral("box"));
    QCOMPARE(list.size(), 10);
    QCOMPARE(list.last(), dir(5));
    for (int n = 1; n <= 10; ++n)
        QVERIFY(list.contains(dir(n)));
}

void TestDestinations::equalEntries_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("local keeps case apart") << "My Computer" << "C:/Data/" << "C:/data/"
                                            << QStringList{"1=C:/Data/", "2=C:/data/"};
    QTest::newRow("local drive letter in either case") << "My Computer" << "C:/data/" << "c:/data/"
                                                       << QStringList{"2=c:/data/"};
    QTest::newRow("local, same text") << "My Computer" << "D:/x/" << "D:/x/" << QStringList{"2=D:/x/"};
    QTest::newRow("host compares exactly") << "box" << "/Pub/" << "/pub/" << QStringList{"1=/Pub/", "2=/pub/"};
    QTest::newRow("host, same text") << "box" << "/pub/" << "/pub/" << QStringList{"2=/pub/"};
}

void TestDestinations::equalEntries()
{
    QFETCH(QString, host);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, expected);
    QVERIFY(Destinations::record(host, first));
    QVERIFY(Destinations::record(host, second));
    QCOMPARE(stored(host), expected);
}

// Histories written by hand or by older copies: gaps, names that are no numbers, more than ten
// values, the same directory twice.
void TestDestinations::handEditedHistory_data()
{
    QTest::addColumn<QStringList>("before"); // "name=text"
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("gaps") << QStringList{"7=/a/", "3=/b/"} << "/c/" << QStringList{"7=/a/", "3=/b/", "8=/c/"};
    QTest::newRow("no number counts as nought")
        << QStringList{"x=/a/", "2=/b/"} << "/c/" << QStringList{"x=/a/", "2=/b/", "3=/c/"};
    QTest::newRow("a repeated directory goes everywhere")
        << QStringList{"1=/a/", "2=/b/", "3=/a/"} << "/a/" << QStringList{"2=/b/", "4=/a/"};
    QStringList twelve, lastNine;
    for (int n = 1; n <= 12; ++n)
        twelve << QStringLiteral("%1=/d%1/").arg(n);
    lastNine = twelve.mid(3);
    QTest::newRow("more than ten shrink to ten") << twelve << "/new/" << (lastNine << "13=/new/");
    QStringList full{"20=/newest/"}, fullAfter{"20=/newest/"};
    for (int n = 1; n <= 9; ++n)
        full << QStringLiteral("%1=/d%1/").arg(n);
    fullAfter << full.mid(2) << "21=/new/";
    QTest::newRow("the oldest by number, not by place") << full << "/new/" << fullAfter;
    QTest::newRow("number past 32 bits")
        << QStringList{"5000000000=/a/"} << "/b/" << QStringList{"5000000000=/a/", "5000000001=/b/"};
}

void TestDestinations::handEditedHistory()
{
    QFETCH(QStringList, before);
    QFETCH(QString, directory);
    QFETCH(QStringList, after);
    const QString host = QStringLiteral("box");
    for (const QString &entry : before) {
        const qsizetype eq = entry.indexOf(u'=');
        QVERIFY(SettingsStore::instance().setValue(Destinations::key(host), entry.left(eq), entry.mid(eq + 1)));
    }
    QVERIFY(Destinations::record(host, directory));
    QCOMPARE(stored(host), after);
}

void TestDestinations::unusableHostNames_data()
{
    QTest::addColumn<QString>("host");
    QTest::newRow("empty") << "";
    QTest::newRow("backslash") << "box\\Destinations";
}

void TestDestinations::unusableHostNames()
{
    QFETCH(QString, host);
    QVERIFY(!Destinations::record(host, QStringLiteral("/pub/")));
    QCOMPARE(Destinations::list(host), QStringList());
    QCOMPARE(SettingsStore::instance().subkeys(SettingsKeys::Hosts), QStringList());
}

QTEST_GUILESS_MAIN(TestDestinations)
#include "tst_destinations.moc"
