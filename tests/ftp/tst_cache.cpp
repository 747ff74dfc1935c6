// The listing cache: the cache directory, file numbering through the index files, the four
// policies, the record files written while a listing arrives and put in place only whole, read
// back whole, and broken or cut files.

#include "ftp/Cache.h"
#include "ftp/CacheIndex.h"
#include "ftp/CacheWriter.h"
#include "ftp/ListingDelivery.h"
#include "ftp/PackedDateTime.h"
#include "ftp/RemoteName.h"
#include "platform/LocalDrives.h"
#include "platform/SettingsStore.h"
#include "settings/AppValues.h"
#include "settings/SettingsKeys.h"
#include "support/RecordingPrompt.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString kPathMessage =
    QStringLiteral("Cache path not valid, using C:.  Please rectify this before C: fills with cache files.");
const QString kPathCaption = QStringLiteral("Error on path");

QByteArray readBytes(const QString &nativePath)
{
    QFile file(nativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString &nativePath, const QByteArray &bytes)
{
    QFile file(nativePath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool setModified(const QString &nativePath, const QDateTime &when)
{
    QFile file(nativePath);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
}

void setPolicy(const QString &host, const QString &type, int minutes = 0, int days = 0)
{
    const QString key = SettingsKeys::hostKey(host);
    SettingsStore &store = SettingsStore::instance();
    store.setValue(key, QStringLiteral("Address"), host);
    store.setValue(key, QStringLiteral("CacheType"), type);
    store.setValue(key, QStringLiteral("CacheMins"), QString::number(minutes));
    store.setValue(key, QStringLiteral("CacheDays"), QString::number(days));
}

ListingEntry entry(const QString &name, quint64 size, ListingEntry::Kind kind = ListingEntry::File,
                   quint32 dateTime = PackedDateTime::pack(2001, 2, 3, 4, 5))
{
    ListingEntry e;
    e.name = name;
    e.size = size;
    e.kind = kind;
    e.dateTime = dateTime;
    return e;
}

// The end of every listing file, as it is on disk.
const QByteArray kEndMark("\xff" "END\n");

QString describe(const QList<ListingEntry> &entries)
{
    QStringList lines;
    for (const ListingEntry &e : entries)
        lines << QStringLiteral("%1|%2|%3|%4")
                     .arg(QString::fromLatin1(encodeRemoteName(e.name).toHex()))
                     .arg(e.size)
                     .arg(int(e.kind))
                     .arg(PackedDateTime::format(e.dateTime));
    return lines.join(u'\n');
}

} // namespace

class TestCache : public QObject
{
    Q_OBJECT
    TestEnvironment env_;
    RecordingPrompt prompt_;
    int folders_ = 0;
    QString cacheDir_; // drive form of this test's cache directory

    QString native(const QString &name) const { return toNativePath(cacheDir_ + name); }

    // The names of a listing file's entries; "<none>" when it is no listing.
    QString names(const QString &filePath) const
    {
        const auto entries = Cache::ReadRecords(filePath);
        if (!entries)
            return QStringLiteral("<none>");
        QStringList list;
        for (const ListingEntry &e : *entries)
            list << e.name;
        return list.join(u' ');
    }

    bool writeListing(const QString &filePath, const QStringList &names)
    {
        CacheWriter writer;
        if (!writer.open(filePath))
            return false;
        for (const QString &name : names)
            if (!writer.append(entry(name, 1)))
                return false;
        return writer.close();
    }

    // The files of this test's cache directory: no new file left beside a listing file.
    QStringList files() const { return QDir(toNativePath(cacheDir_)).entryList(QDir::Files); }

    // Writes a listing file for the last lookup and dates it.
    bool storeListing(const Cache &cache, const QDateTime &written)
    {
        CacheWriter writer;
        return writer.open(cache.GetFilePath()) && writer.append(entry(QStringLiteral("a"), 1)) && writer.close()
            && setModified(toNativePath(cache.GetFilePath()), written);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(env_.setUp(), qPrintable(env_.errorString()));
        SettingsStore::reopen();
        QVERIFY(SettingsStore::instance().isOpen());
    }

    // Each test gets a cache directory of its own, named in CachePath.
    void init()
    {
        prompt_.clear();
        cacheDir_ = QStringLiteral("C:\\cache%1\\").arg(++folders_);
        QVERIFY(SetAppValue(QStringLiteral("CachePath"), cacheDir_));
        QVERIFY(QDir().mkpath(toNativePath(cacheDir_)));
    }

    void cachePath_data()
    {
        QTest::addColumn<QString>("stored"); // "<none>": no value
        QTest::addColumn<QString>("directory");
        QTest::addColumn<bool>("warned");

        QTest::newRow("slashes and lower-case drive") << "c:/p1/sub" << "C:\\p1\\sub\\" << false;
        QTest::newRow("already in form") << "C:\\p2\\" << "C:\\p2\\" << false;
        QTest::newRow("bare relative name") << "p03" << "C:\\p03\\" << false;
        QTest::newRow("leading backslash") << "\\p4\\sub" << "C:\\p4\\sub\\" << false;
        QTest::newRow("drive-relative") << "c:p5" << "C:p5\\" << false;
        QTest::newRow("dot-dot within home") << "C:\\p6\\..\\p7" << "C:\\p6\\..\\p7\\" << false;
        QTest::newRow("too short") << "ab" << "C:\\" << true;
        QTest::newRow("empty") << "" << "C:\\" << true;
        QTest::newRow("missing") << "<none>" << "C:\\" << true;
        QTest::newRow("climbs above home") << "C:\\..\\..\\etc" << "C:\\" << true;
        QTest::newRow("drive that does not exist") << "q:/x/y" << "C:\\" << true;
    }

    void cachePath()
    {
        QFETCH(QString, stored);
        QFETCH(QString, directory);
        QFETCH(bool, warned);
        if (stored == u"<none>")
            SettingsStore::instance().deleteValue(SettingsKeys::Root, QStringLiteral("CachePath"));
        else
            SetAppValue(QStringLiteral("CachePath"), stored);

        const Cache cache(prompt_);
        QCOMPARE(cache.directory(), directory);
        QVERIFY(QDir(toNativePath(directory)).exists()); // created along the path
        if (warned) {
            QCOMPARE(prompt_.count(), 1);
            QCOMPARE(prompt_.lastText(), kPathMessage);
            QCOMPARE(prompt_.lastCaption(), kPathCaption);
            QCOMPARE(prompt_.entries().first().icon, Prompt::Icon::Warning);
        } else {
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        }
    }

    void askForPath_data()
    {
        QTest::addColumn<bool>("storedBefore");
        QTest::addColumn<QString>("answer"); // what the dialog stores; empty: nothing
        QTest::addColumn<int>("asked");
        QTest::addColumn<QString>("directory");

        QTest::newRow("stored: not asked") << true << "" << 0 << "";
        QTest::newRow("missing: the dialog stores one") << false << "C:/asked" << 1 << "C:\\asked\\";
        QTest::newRow("missing: the dialog is cancelled") << false << "" << 1 << "C:\\";
    }

    void askForPath()
    {
        QFETCH(bool, storedBefore);
        QFETCH(QString, answer);
        QFETCH(int, asked);
        QFETCH(QString, directory);
        if (!storedBefore)
            SettingsStore::instance().deleteValue(SettingsKeys::Root, QStringLiteral("CachePath"));
        int calls = 0;
        const Cache cache(prompt_, [&] {
            ++calls;
            if (!answer.isEmpty())
                SetAppValue(QStringLiteral("CachePath"), answer);
        });
        QCOMPARE(calls, asked);
        QCOMPARE(cache.directory(), directory.isEmpty() ? cacheDir_ : directory);
        QCOMPARE(prompt_.count(), directory == u"C:\\" ? 1 : 0);
    }

    void firstLookupCreatesTheIndexes()
    {
        setPolicy(QStringLiteral("ftp.one"), QStringLiteral("2"));
        Cache cache(prompt_);
        QVERIFY(!cache.Lookup(QStringLiteral("ftp.one"), QStringLiteral("/pub/"), false));
        QCOMPARE(cache.GetFilePath(), cacheDir_ + QStringLiteral("00000000.FTC"));
        QCOMPARE(readBytes(native(QStringLiteral("CACHE.FTC"))), QByteArray("ftp.one\n"));
        QCOMPARE(readBytes(native(QStringLiteral("HST000.FTC"))), QByteArray("/pub/\n"));
        QVERIFY(!QFile::exists(native(QStringLiteral("00000000.FTC"))));

        // Nothing stored yet: not even force helps.
        QVERIFY(!cache.Lookup(QStringLiteral("ftp.one"), QStringLiteral("/pub/"), true));
        QVERIFY(storeListing(cache, QDateTime::currentDateTime()));
        QVERIFY(cache.Lookup(QStringLiteral("ftp.one"), QStringLiteral("/pub/"), false));
        QCOMPARE(cache.GetFilePath(), cacheDir_ + QStringLiteral("00000000.FTC"));
        QCOMPARE(readBytes(native(QStringLiteral("CACHE.FTC"))), QByteArray("ftp.one\n"));
    }

    void numbering()
    {
        Cache cache(prompt_);
        cache.Lookup(QStringLiteral("first"), QStringLiteral("/"), false);
        for (const char *dir : {"/", "/a/", "/a/b/"})
            cache.Lookup(QStringLiteral("second"), QString::fromLatin1(dir), false);
        QCOMPARE(cache.GetFilePath(), cacheDir_ + QStringLiteral("00100002.FTC"));
        QCOMPARE(Cache::ListingId(cache.GetFilePath()), 100002);
        QCOMPARE(readBytes(native(QStringLiteral("HST001.FTC"))), QByteArray("/\n/a/\n/a/b/\n"));

        // Known pairs keep their numbers, in a fresh object too; names are matched exactly.
        Cache later(prompt_);
        later.Lookup(QStringLiteral("second"), QStringLiteral("/a/"), false);
        QCOMPARE(later.GetFilePath(), cacheDir_ + QStringLiteral("00100001.FTC"));
        later.Lookup(QStringLiteral("first"), QStringLiteral("/"), false);
        QCOMPARE(later.GetFilePath(), cacheDir_ + QStringLiteral("00000000.FTC"));
        later.Lookup(QStringLiteral("First"), QStringLiteral("/"), false);
        QCOMPARE(later.GetFilePath(), cacheDir_ + QStringLiteral("00200000.FTC"));
        QCOMPARE(readBytes(native(QStringLiteral("CACHE.FTC"))), QByteArray("first\nsecond\nFirst\n"));
    }

    void listingIds_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("id");
        QTest::newRow("first") << "C:\\c\\00000000.FTC" << 0;
        QTest::newRow("largest") << "C:\\c\\99999999.FTC" << 99999999;
        QTest::newRow("forward slashes") << "C:/c/01200034.FTC" << 1200034;
        QTest::newRow("index file") << "C:\\c\\HST001.FTC" << -1;
        QTest::newRow("letters") << "C:\\c\\0000000a.FTC" << -1;
        QTest::newRow("sign") << "C:\\c\\+0000000.FTC" << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void listingIds()
    {
        QFETCH(QString, path);
        QTEST(Cache::ListingId(path), "id");
    }

    void policies_data()
    {
        QTest::addColumn<QString>("type"); // "<none>": the host has no record
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("sinceStart"); // age counted back from the Cache's creation, else from now
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("used");
        QTest::addColumn<bool>("enabled");

        QTest::newRow("0: never, fresh") << "0" << 0 << 0 << false << -5 << false << false << false;
        QTest::newRow("0: never, forced") << "0" << 0 << 0 << false << 60 << true << true << false;
        QTest::newRow("1: written before start") << "1" << 0 << 0 << true << 60 << false << false << true;
        QTest::newRow("1: written before start, forced") << "1" << 0 << 0 << true << 60 << true << true << true;
        QTest::newRow("1: written during this run") << "1" << 0 << 0 << true << -1 << false << true << true;
        QTest::newRow("other type reads as 1") << "7" << 0 << 0 << true << 60 << false << false << true;
        QTest::newRow("no host record reads as 1") << "<none>" << 0 << 0 << true << 60 << false << false << true;
        QTest::newRow("2: always, a year old") << "2" << 0 << 0 << false << 365 * 86400 << false << true << true;
        QTest::newRow("3: 29 of 30 minutes") << "3" << 30 << 0 << false << 29 * 60 << false << true << true;
        QTest::newRow("3: 31 of 30 minutes") << "3" << 30 << 0 << false << 31 * 60 << false << false << true;
        QTest::newRow("3: 31 of 30 minutes, forced") << "3" << 30 << 0 << false << 31 * 60 << true << true << true;
        QTest::newRow("3: days and minutes add up")
            << "3" << 30 << 1 << false << 86400 + 29 * 60 << false << true << true;
        QTest::newRow("3: past days and minutes")
            << "3" << 30 << 1 << false << 86400 + 31 * 60 << false << false << true;
        QTest::newRow("3: no period") << "3" << 0 << 0 << false << 1 << false << false << true;
    }

    void policies()
    {
        QFETCH(QString, type);
        QFETCH(int, minutes);
        QFETCH(int, days);
        QFETCH(bool, sinceStart);
        QFETCH(int, ageSeconds);
        QFETCH(bool, force);
        QFETCH(bool, used);
        QFETCH(bool, enabled);
        const QString host = QStringLiteral("policy-%1").arg(QTest::currentDataTag());
        if (type != u"<none>")
            setPolicy(host, type, minutes, days);

        Cache cache(prompt_);
        cache.Lookup(host, QStringLiteral("/dir/"), false);
        const QDateTime base = sinceStart ? cache.createdAt() : QDateTime::currentDateTimeUtc();
        QVERIFY(storeListing(cache, base.addSecs(-ageSeconds)));
        QCOMPARE(cache.Lookup(host, QStringLiteral("/dir/"), force), used);
        QCOMPARE(cache.enabled(), enabled);
    }

    // Every lookup sets enabled for its own host, a directory new to the index included.
    void enabledFollowsEachLookup()
    {
        setPolicy(QStringLiteral("off"), QStringLiteral("0"));
        setPolicy(QStringLiteral("on"), QStringLiteral("2"));
        Cache cache(prompt_);
        cache.Lookup(QStringLiteral("off"), QStringLiteral("/new/"), false);
        QVERIFY(!cache.enabled());
        cache.Lookup(QStringLiteral("on"), QStringLiteral("/new/"), false);
        QVERIFY(cache.enabled());
        cache.Lookup(QStringLiteral("off"), QStringLiteral("/other/"), false);
        QVERIFY(!cache.enabled());
    }

    void keysThatCannotBeIndexed_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("dir");
        QTest::newRow("empty directory") << "h" << "";
        QTest::newRow("line feed in directory") << "h" << "/a\n/b/";
        QTest::newRow("carriage return in host") << "h\r" << "/";
        QTest::newRow("directory too long for a line") << "h" << "/" + QString(1000, u'd') + "/";
        QTest::newRow("empty host") << "" << "/";
    }

    // Such keys would shift the numbers of every later line: they are simply not cached.
    void keysThatCannotBeIndexed()
    {
        QFETCH(QString, host);
        QFETCH(QString, dir);
        Cache cache(prompt_);
        QVERIFY(!cache.Lookup(QStringLiteral("h"), QStringLiteral("/"), false));
        QVERIFY(!cache.Lookup(host, dir, true));
        QVERIFY(cache.GetFilePath().isEmpty());
        QVERIFY(!cache.DeleteFile());
        QVERIFY(!cache.ReadListing());
        cache.Lookup(QStringLiteral("h"), QStringLiteral("/next/"), false);
        QCOMPARE(cache.GetFilePath(), cacheDir_ + QStringLiteral("00000001.FTC"));
    }

    void indexLines_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QByteArray>("after");

        const QByteArray longLine = QByteArray(2500, 'x') + '\n';
        QTest::newRow("empty file") << QByteArray() << "a" << 0 << true << QByteArray("a\n");
        QTest::newRow("found") << QByteArray("a\nb\n") << "b" << 1 << false << QByteArray("a\nb\n");
        QTest::newRow("empty line takes a number") << QByteArray("a\n\nb\n") << "c" << 3 << true
                                                   << QByteArray("a\n\nb\nc\n");
        QTest::newRow("found after an empty line") << QByteArray("a\n\nb\n") << "b" << 2 << false
                                                   << QByteArray("a\n\nb\n");
        QTest::newRow("last line without line end")
            << QByteArray("a\nb") << "c" << 2 << true << QByteArray("a\nb\nc\n");
        QTest::newRow("last line without line end found") << QByteArray("a\nb") << "b" << 1 << false
                                                          << QByteArray("a\nb");
        QTest::newRow("over-long line counts once") << longLine + "b\n" << "b" << 1 << false << longLine + "b\n";
        QTest::newRow("over-long line never matches its start")
            << longLine << QString(999, u'x') << 1 << true << longLine + QByteArray(999, 'x') + '\n';
        QTest::newRow("UTF-8 key") << QByteArray("/\n") << QStringLiteral("/Grüße/") << 1 << true
                                   << QByteArray("/\n/Gr\xc3\xbc\xc3\x9f" "e/\n");
    }

    void indexLines()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        const QString path = QDir(env_.path()).filePath(QStringLiteral("index-%1").arg(QTest::currentDataTag()));
        if (!before.isEmpty())
            QVERIFY(writeBytes(path, before));
        const auto found = CacheIndex::numberOf(path, key);
        QVERIFY(found);
        QTEST(found->number, "number");
        QTEST(found->added, "added");
        QTEST(readBytes(path), "after");
    }

    void recordsRoundTrip()
    {
        // The host's "caf\xe9", a name that is no UTF-8, comes back as the same bytes.
        const ListingEntry latin1 = entry(decodeRemoteName("caf\xe9"), 3);
        const QList<ListingEntry> written{
            entry(QStringLiteral("empty.txt"), 0, ListingEntry::File, 0),
            entry(QStringLiteral("pub"), 512, ListingEntry::Directory),
            entry(QStringLiteral("bin"), 7, ListingEntry::Link),
            entry(QStringLiteral("just below"), 0xFFFFFFFEu),
            entry(QStringLiteral("exactly the marker"), 0xFFFFFFFFu),
            entry(QStringLiteral("five GiB.iso"), quint64(5) << 30),
            entry(QStringLiteral("largest"), std::numeric_limits<quint64>::max()),
            entry(QStringLiteral("Grüße € 📁"), 42),
            latin1,
            entry(QString(500, u'n'), 1),
            entry(QStringLiteral(" blanks  inside "), 2),
        };
        const QString path = cacheDir_ + QStringLiteral("00000000.FTC");
        CacheWriter writer;
        QVERIFY(writer.open(path));
        for (const ListingEntry &e : written)
            QVERIFY(writer.append(e));
        QVERIFY(writer.close());

        const auto read = Cache::ReadRecords(path);
        QVERIFY(read);
        QCOMPARE(describe(*read), describe(written));
        // The Latin-1 name went to disk as the host's one byte, not as UTF-8.
        QVERIFY(readBytes(toNativePath(path)).contains("\x03\x00\x00\x00" "caf\xe9\n"));
        QVERIFY(QFile::exists(toNativePath(path)));
    }

    void recordLayout_data()
    {
        QTest::addColumn<quint64>("size");
        QTest::addColumn<QByteArray>("bytes");
        // kind 1, date 0x1234 and time 0x5678 little-endian, size, "ab", "\n"
        QTest::newRow("32-bit size") << quint64(0x01020304) << QByteArray::fromHex("01 3412 7856 04030201 6162 0a");
        QTest::newRow("wide size") << quint64(0x0102030405)
                                   << QByteArray::fromHex("01 3412 7856 ffffffff 0504030201000000 6162 0a");
    }

    void recordLayout()
    {
        QFETCH(quint64, size);
        QFETCH(QByteArray, bytes);
        const QString path = cacheDir_ + QStringLiteral("00000000.FTC");
        CacheWriter writer;
        QVERIFY(writer.open(path));
        QVERIFY(writer.append(entry(QStringLiteral("ab"), size, ListingEntry::Directory, 0x56781234)));
        QVERIFY(writer.close());
        QCOMPARE(readBytes(toNativePath(path)), bytes + kEndMark);
    }

    void brokenFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = QByteArray::fromHex("00 0000 0000 05000000") + "good\n";
        const QByteArray header = QByteArray::fromHex("00 0000 0000 05000000");
        // Files cut short, as a crash or a power loss leaves them when they are written in place.
        QTest::newRow("cut to nothing") << QByteArray();
        QTest::newRow("cut at the end of a record") << good;
        QTest::newRow("cut inside the end mark") << good + kEndMark.left(4);
        QTest::newRow("cut inside a record") << good + header.left(6);
        // Records that are not sound, though the file ends in the mark.
        QTest::newRow("header cut short") << good + header.left(6) + kEndMark;
        QTest::newRow("name without line end") << good + header + "abc" + kEndMark;
        QTest::newRow("wide size cut short") << good + QByteArray::fromHex("00 0000 0000 ffffffff 0102") + kEndMark;
        QTest::newRow("name of 501 bytes") << good + header + QByteArray(501, 'n') + '\n' + kEndMark;
        QTest::newRow("empty name") << good + header + '\n' + kEndMark;
        QTest::newRow("slash in name") << good + header + "../../x\n" + kEndMark;
        QTest::newRow("dot-dot name") << header + "..\n" + good + kEndMark;
        QTest::newRow("carriage return in name") << header + "a\r\n" + good + kEndMark;
        QTest::newRow("NUL in name") << header + QByteArray("a\0b\n", 4) + kEndMark;
        QTest::newRow("end mark twice") << good + kEndMark + kEndMark;
    }

    // Nothing of a broken file is given out, and the file goes.
    void brokenFiles()
    {
        QFETCH(QByteArray, bytes);
        const QString path = cacheDir_ + QStringLiteral("00000000.FTC");
        QVERIFY(writeBytes(toNativePath(path), bytes));
        QVERIFY(!Cache::ReadRecords(path));
        QVERIFY(!QFile::exists(toNativePath(path)));
    }

    void soundOddFiles()
    {
        const QString path = cacheDir_ + QStringLiteral("00000000.FTC");
        QVERIFY(writeListing(path, {}));
        QCOMPARE(readBytes(toNativePath(path)), kEndMark);
        const auto empty = Cache::ReadRecords(path); // a directory with nothing in it
        QVERIFY(empty);
        QVERIFY(empty->isEmpty());
        QVERIFY(QFile::exists(toNativePath(path)));

        QVERIFY(writeBytes(toNativePath(path), QByteArray::fromHex("07 0000 0000 01000000") + "x\n" + kEndMark));
        const auto odd = Cache::ReadRecords(path);
        QVERIFY(odd);
        QCOMPARE(odd->size(), 1);
        QCOMPARE(odd->first().kind, ListingEntry::File); // kinds above 2 read as files

        QVERIFY(!Cache::ReadRecords(cacheDir_ + QStringLiteral("99999999.FTC"))); // missing
        QVERIFY(!Cache::ReadRecords(QStringLiteral("C:\\..\\outside.FTC")));
    }

    // An entry that cannot be kept ends the writer: what it wrote goes, and the older listing too.
    void writerGivesUpWhole()
    {
        const QString path = cacheDir_ + QStringLiteral("00000000.FTC");
        QVERIFY(writeListing(path, {QStringLiteral("older")}));
        CacheWriter writer;
        QVERIFY(writer.open(path));
        QVERIFY(writer.append(entry(QStringLiteral("first"), 1)));
        QVERIFY(!writer.append(entry(QString(501, u'n'), 1))); // no room in a record
        QVERIFY(!writer.isOpen());
        QVERIFY(!writer.append(entry(QStringLiteral("later"), 1)));
        QVERIFY(!writer.close());
        QCOMPARE(names(path), QStringLiteral("<none>"));
        QCOMPARE(files(), QStringList());
    }

    void writerEnds_data()
    {
        QTest::addColumn<bool>("before"); // a listing file was there
        QTest::addColumn<QString>("end"); // how the writer is left
        QTest::addColumn<QString>("after");
        for (const bool before : {true, false}) {
            const QByteArray tag = before ? "over an older listing: " : "no listing before: ";
            QTest::newRow(tag + "closed, complete") << before << "close" << "x y";
            QTest::newRow(tag + "removed, incomplete") << before << "remove" << "<none>";
            QTest::newRow(tag + "dropped while open") << before << "drop" << "<none>";
            QTest::newRow(tag + "removed after close") << before << "close+remove" << "<none>";
        }
    }

    // While a listing is written its file holds the older listing, whole, or nothing; only a
    // complete listing takes its place, an incomplete one leaves none, and no other file is left
    // behind.
    void writerEnds()
    {
        QFETCH(bool, before);
        QFETCH(QString, end);
        QFETCH(QString, after);
        const QString path = cacheDir_ + QStringLiteral("00000003.FTC");
        if (before)
            QVERIFY(writeListing(path, {QStringLiteral("older")}));
        const QString older = before ? QStringLiteral("older") : QStringLiteral("<none>");
        {
            CacheWriter writer;
            QVERIFY(writer.open(path));
            QCOMPARE(names(path), older);
            QVERIFY(writer.append(entry(QStringLiteral("x"), 1)));
            QVERIFY(writer.append(entry(QStringLiteral("y"), 1)));
            QCOMPARE(names(path), older);
            if (end.startsWith(u"close"))
                QVERIFY(writer.close());
            if (end.endsWith(u"remove"))
                writer.remove();
        }
        QCOMPARE(names(path), after);
        QCOMPARE(files(), after == u"<none>" ? QStringList() : QStringList{"00000003.FTC"});
    }

    void deliveryKeepsTheOlderListingUntilItsEnd_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("after");
        QTest::newRow("complete") << "complete" << "new1 new2";
        QTest::newRow("incomplete") << "incomplete" << "<none>";
        QTest::newRow("dropped while it arrives") << "drop" << "<none>";
    }

    // A listing that arrives from a host goes into the cache file only once it is complete; until
    // then the file holds the older listing, whole.
    void deliveryKeepsTheOlderListingUntilItsEnd()
    {
        QFETCH(QString, end);
        QFETCH(QString, after);
        const QString path = cacheDir_ + QStringLiteral("00000004.FTC");
        QVERIFY(writeListing(path, {QStringLiteral("older")}));
        const QList<PaneView *> panes;
        {
            ListingDelivery delivery(panes, QStringLiteral("h"), QStringLiteral("/d/"), 4, nullptr, path);
            delivery.start();
            delivery.DeliverEntry(entry(QStringLiteral("new1"), 1));
            delivery.DeliverEntry(entry(QStringLiteral("new2"), 2));
            QCOMPARE(names(path), QStringLiteral("older"));
            if (end != u"drop")
                delivery.end(end == u"complete");
        }
        QCOMPARE(names(path), after);
        QCOMPARE(files(), after == u"<none>" ? QStringList() : QStringList{"00000004.FTC"});
    }

    void writerCannotOpen_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing folder") << "C:\\no such folder\\00000000.FTC";
        QTest::newRow("outside the drive") << "C:\\..\\00000000.FTC";
        QTest::newRow("not drive form") << "/tmp/00000000.FTC";
        QTest::newRow("a folder") << "C:\\";
    }

    void writerCannotOpen()
    {
        QFETCH(QString, path);
        CacheWriter writer;
        QVERIFY(!writer.open(path));
        QVERIFY(!writer.isOpen());
        QVERIFY(!writer.append(entry(QStringLiteral("x"), 1)));
        QVERIFY(!QFile::exists(QDir(env_.path()).filePath(QStringLiteral("00000000.FTC"))));
    }

    void deleteAndReadThroughLookup()
    {
        setPolicy(QStringLiteral("h"), QStringLiteral("2"));
        Cache cache(prompt_);
        cache.Lookup(QStringLiteral("h"), QStringLiteral("/d/"), false);
        QVERIFY(storeListing(cache, QDateTime::currentDateTime()));
        QVERIFY(cache.Lookup(QStringLiteral("h"), QStringLiteral("/d/"), false));
        const auto listing = cache.ReadListing();
        QVERIFY(listing);
        QCOMPARE(listing->size(), 1);
        QCOMPARE(listing->first().name, QStringLiteral("a"));

        QVERIFY(cache.DeleteFile());
        QVERIFY(!cache.Lookup(QStringLiteral("h"), QStringLiteral("/d/"), true));
        QCOMPARE(cache.GetFilePath(), cacheDir_ + QStringLiteral("00000000.FTC")); // the number stays
    }

    void brokenListingIsNotUsedTwice_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("cut to nothing") << QByteArray();
        QTest::newRow("cut inside a record") << QByteArray::fromHex("00 0000 0000 05");
        QTest::newRow("cut at the end of a record") << QByteArray::fromHex("00 0000 0000 05000000") + "a\n";
    }

    // A listing file that turns out broken, or cut short to any length, is no listing (not an
    // empty folder): it is gone after the read and the next lookup fetches afresh.
    void brokenListingIsNotUsedTwice()
    {
        QFETCH(QByteArray, bytes);
        setPolicy(QStringLiteral("h"), QStringLiteral("2"));
        Cache cache(prompt_);
        cache.Lookup(QStringLiteral("h"), QStringLiteral("/d/"), false);
        QVERIFY(writeBytes(toNativePath(cache.GetFilePath()), bytes));
        QVERIFY(cache.Lookup(QStringLiteral("h"), QStringLiteral("/d/"), false));
        QVERIFY(!cache.ReadListing());
        QVERIFY(!cache.Lookup(QStringLiteral("h"), QStringLiteral("/d/"), false));
    }
};

QTEST_GUILESS_MAIN(TestCache)
#include "tst_cache.moc"
