// The listing parser: raw line to entry, case by case; names from hostile hosts; decoding of name
// bytes; and a noise run that only checks that nothing breaks.

#include "ftp/ListingParser.h"
#include "ftp/PackedDateTime.h"
#include "ftp/RemoteName.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// Listings are read as if today were 15 June 2024.
const QDate kToday(2024, 6, 15);

QByteArray fileLine(const QByteArray &dateAndName)
{
    return "-rw-r--r-- 1 u g 5 " + dateAndName;
}

} // namespace

class TestListingParser : public QObject
{
    Q_OBJECT
private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name"); // empty: the line gives no entry
        QTest::addColumn<int>("kind");
        QTest::addColumn<quint64>("size");
        QTest::addColumn<QString>("date"); // "YYYY-MM-DD HH:MM", empty when unknown
        QTest::addColumn<QString>("target");

        const int file = ListingEntry::File;
        const int dir = ListingEntry::Directory;
        const int link = ListingEntry::Link;

        QTest::newRow("directory with year") << QByteArray("drwxr-xr-x 2 u g 512 Jan  5  1995 pub")
                                             << "pub" << dir << quint64(512) << "1995-01-05 00:00" << "";
        QTest::newRow("file with time of day, this year")
            << QByteArray("-rw-r--r-- 1 u g 1024 Mar 10 12:34 a.txt") << "a.txt" << file << quint64(1024)
            << "2024-03-10 12:34" << "";
        QTest::newRow("time of day tomorrow stays this year")
            << fileLine("Jun 16 09:00 x") << "x" << file << quint64(5) << "2024-06-16 09:00" << "";
        QTest::newRow("time of day two days ahead is last year")
            << fileLine("Jun 17 09:00 x") << "x" << file << quint64(5) << "2023-06-17 09:00" << "";
        QTest::newRow("time of day in December is last year")
            << fileLine("Dec 24 18:05 x") << "x" << file << quint64(5) << "2023-12-24 18:05" << "";
        QTest::newRow("link with target") << QByteArray("lrwxrwxrwx 1 u g 7 Jun  1  1996 bin -> usr/bin")
                                          << "bin" << link << quint64(7) << "1996-06-01 00:00" << "usr/bin";
        QTest::newRow("link target with blanks")
            << QByteArray("lrwxrwxrwx 1 u g 9 Jun  1  1996 my docs -> /srv/my docs") << "my docs" << link
            << quint64(9) << "1996-06-01 00:00" << "/srv/my docs";
        QTest::newRow("link without target") << QByteArray("lrwxrwxrwx 1 u g 7 Jun  1  1996 dangling")
                                             << "dangling" << link << quint64(7) << "1996-06-01 00:00" << "";
        QTest::newRow("file name holding an arrow stays whole")
            << fileLine("Jan  1  2000 a -> b") << "a -> b" << file << quint64(5) << "2000-01-01 00:00" << "";
        QTest::newRow("name with blanks") << fileLine("Jan  1  2000 my  file .txt ") << "my  file .txt "
                                          << file << quint64(5) << "2000-01-01 00:00" << "";
        QTest::newRow("wide columns")
            << QByteArray("drwxr-xr-x   12 owner    group        4096 Sep 30  2010 docs") << "docs" << dir
            << quint64(4096) << "2010-09-30 00:00" << "";
        QTest::newRow("tabs between fields") << QByteArray("-rw-r--r--\t1\tu\tg\t77\tFeb\t 3\t2001\tt.txt")
                                             << "t.txt" << file << quint64(77) << "2001-02-03 00:00" << "";
        QTest::newRow("one-digit day padded, time")
            << fileLine("Jan  5 07:08 x") << "x" << file << quint64(5) << "2024-01-05 07:08" << "";
        QTest::newRow("one-digit day without padding, year")
            << fileLine("Jan 5 1995 pub") << "pub" << file << quint64(5) << "1995-01-05 00:00" << "";
        QTest::newRow("one-digit day without padding, time")
            << fileLine("Jan 5 12:34 pub") << "pub" << file << quint64(5) << "2024-01-05 12:34" << "";
        QTest::newRow("second blank after the year is part of the name")
            << fileLine("Jan  1  2000  x") << " x" << file << quint64(5) << "2000-01-01 00:00" << "";
        QTest::newRow("5 GiB") << QByteArray("-rw-r--r-- 1 u g 5368709120 Jan  1  2020 big.iso") << "big.iso"
                               << file << quint64(5368709120) << "2020-01-01 00:00" << "";
        QTest::newRow("largest 64-bit size")
            << QByteArray("-rw-r--r-- 1 u g 18446744073709551615 Jan  1  2020 f") << "f" << file
            << quint64(18446744073709551615u) << "2020-01-01 00:00" << "";
        QTest::newRow("size beyond 64 bits saturates")
            << QByteArray("-rw-r--r-- 1 u g 18446744073709551616 Jan  1  2020 f") << "f" << file
            << quint64(18446744073709551615u) << "2020-01-01 00:00" << "";
        QTest::newRow("size of 30 digits saturates")
            << QByteArray("-rw-r--r-- 1 u g 000000000000000000000000000001 Jan  1  2020 f") << "f" << file
            << quint64(18446744073709551615u) << "2020-01-01 00:00" << "";
        QTest::newRow("size not a number reads 0") << QByteArray("-rw-r--r-- 1 u g abc Jan  1  2000 f") << "f"
                                                   << file << quint64(0) << "2000-01-01 00:00" << "";
        QTest::newRow("other type letters are directories")
            << QByteArray("prw-r--r-- 1 u g 0 Jan  1  2000 fifo") << "fifo" << dir << quint64(0)
            << "2000-01-01 00:00" << "";
        QTest::newRow("year before 1980: date unknown")
            << fileLine("Jan  1  1970 old") << "old" << file << quint64(5) << "" << "";
        QTest::newRow("impossible time: date unknown")
            << fileLine("Jan  1 25:61 odd") << "odd" << file << quint64(5) << "" << "";
        QTest::newRow("UTF-8 name") << fileLine("Jan  1  2000 Grüße.txt") << QStringLiteral("Grüße.txt") << file
                                    << quint64(5) << "2000-01-01 00:00" << "";
        QTest::newRow("Latin-1 name") << fileLine("Jan  1  2000 caf\xe9") << QStringLiteral("caf") + QChar(0xDCE9) << file
                                      << quint64(5) << "2000-01-01 00:00" << "";
        QTest::newRow("line end left on") << fileLine("Jan  1  2000 a.txt\r\n") << "a.txt" << file << quint64(5)
                                          << "2000-01-01 00:00" << "";
        QTest::newRow("longest line") << fileLine("Jan  1  2000 " + QByteArray(MaxListingLineLength - 32, 'n'))
                                      << QString(MaxListingLineLength - 32, u'n') << file << quint64(5)
                                      << "2000-01-01 00:00" << "";

        // The DOS form of Windows hosts.
        QTest::newRow("DOS directory") << QByteArray("12-10-26  04:51PM       <DIR>          pub") << "pub" << dir
                                       << quint64(0) << "2026-12-10 16:51" << "";
        QTest::newRow("DOS file") << QByteArray("12-10-26  04:51AM            1234 a.txt") << "a.txt" << file
                                  << quint64(1234) << "2026-12-10 04:51" << "";
        QTest::newRow("DOS four-digit year, 24-hour time")
            << QByteArray("01-31-1999  23:05                 7 old.bin") << "old.bin" << file << quint64(7)
            << "1999-01-31 23:05" << "";
        QTest::newRow("DOS two-digit year of the 1900s") << QByteArray("03-04-98  12:00AM   <DIR>   y2k") << "y2k"
                                                         << dir << quint64(0) << "1998-03-04 00:00" << "";
        QTest::newRow("DOS noon") << QByteArray("03-04-05  12:30PM   9 n") << "n" << file << quint64(9)
                                  << "2005-03-04 12:30" << "";
        QTest::newRow("DOS name with blanks") << QByteArray("12-10-26  04:51PM   <DIR>   My Documents") << "My Documents"
                                              << dir << quint64(0) << "2026-12-10 16:51" << "";
        QTest::newRow("DOS size with commas, slashes in the date")
            << QByteArray("12/10/2026  4:51 PM       5,368,709,120 disk.img") << "disk.img" << file
            << quint64(5368709120) << "2026-12-10 16:51" << "";
        QTest::newRow("DOS date that does not exist: unknown")
            << QByteArray("02-31-26  04:51PM  3 feb") << "feb" << file << quint64(3) << "" << "";
        QTest::newRow("DOS month 0: unknown") << QByteArray("00-10-26  04:51PM  3 m") << "m" << file << quint64(3) << ""
                                              << "";
        QTest::newRow("DOS line end left on") << QByteArray("12-10-26  04:51PM  3 a\r\n") << "a" << file << quint64(3)
                                              << "2026-12-10 16:51" << "";

        const auto none = [&](const char *name, const QByteArray &line) {
            QTest::newRow(name) << line << "" << 0 << quint64(0) << "" << "";
        };
        none("summary line", "total 42");
        none("nine characters", "-rw 1 u g");
        none("missing group", "-rw-r--r-- 1 user");
        none("size is the last field", "-rw-r--r-- 1 u g 1024");
        none("ends after the day", "-rw-r--r-- 1 u g 1024 Jan  5");
        none("ends after the year", "-rw-r--r-- 1 u g 1024 Jan  5  1995");
        none("nothing after the year's separator", "-rw-r--r-- 1 u g 1024 Jan  5  1995 ");
        none("dot", "drwxr-xr-x 2 u g 512 Jan  5  1995 .");
        none("dot-dot", "drwxr-xr-x 2 u g 512 Jan  5  1995 ..");
        none("link named dot-dot", "lrwxrwxrwx 1 u g 4 Jan  5  1995 .. -> /etc");
        none("slash in name", fileLine("Jan  1  2000 ../../.bashrc"));
        none("slash in link name", "lrwxrwxrwx 1 u g 4 Jan  5  1995 a/b -> c");
        none("backslash in name", fileLine("Jan  1  2000 ..\\..\\x"));
        none("control character", fileLine("Jan  1  2000 a\x01z"));
        none("DEL", fileLine("Jan  1  2000 a\x7fz"));
        none("escape sequence", fileLine("Jan  1  2000 \x1b[2Jx"));
        none("carriage return inside", fileLine("Jan  1  2000 a\rb"));
        none("line feed inside", fileLine("Jan  1  2000 a\nb"));
        none("NUL inside", fileLine(QByteArray("Jan  1  2000 a\0b", 16)));
        none("tab inside the name", fileLine("Jan  1  2000 a\tb"));
        none("DOS dot-dot", "12-10-26  04:51PM       <DIR>          ..");
        none("DOS name with a backslash", "12-10-26  04:51PM   3 ..\\x");
        none("DOS without a name", "12-10-26  04:51PM       <DIR>");
        none("DOS size not a number", "12-10-26  04:51PM   12x4 a");
        none("DOS without a time", "12-10-26  <DIR>  pub");
        none("DOS hour 13 with PM", "12-10-26  13:30PM  3 a");
        none("DOS hour 0 with AM", "12-10-26  00:30AM  3 a");
        none("one byte too long", fileLine("Jan  1  2000 " + QByteArray(MaxListingLineLength - 31, 'n')));
    }

    void lines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        const std::optional<ListingEntry> entry = ParseListingLine(line, kToday);
        if (name.isEmpty()) {
            QVERIFY2(!entry, qPrintable(entry ? entry->name : QString()));
            return;
        }
        QVERIFY(entry);
        QTEST(entry->name, "name");
        QTEST(int(entry->kind), "kind");
        QTEST(entry->size, "size");
        QTEST(PackedDateTime::format(entry->dateTime), "date");
        QTEST(entry->linkTarget, "target");
        QCOMPARE(entry->isFolderLike(), entry->kind != ListingEntry::File);
    }

    void months_data()
    {
        QTest::addColumn<QByteArray>("month");
        QTest::addColumn<int>("number");

        const char *names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        for (int i = 0; i < 12; ++i)
            QTest::newRow(names[i]) << QByteArray(names[i]) << i + 1;
        QTest::newRow("Ju without n is July") << QByteArray("Jux") << 7;
        QTest::newRow("J with another letter is 0") << QByteArray("Jxx") << 0;
        QTest::newRow("M without r third is May") << QByteArray("Mxx") << 5;
        QTest::newRow("A without p is August") << QByteArray("Axx") << 8;
        QTest::newRow("unknown letter is January") << QByteArray("Qxx") << 1;
        QTest::newRow("lower case is unknown") << QByteArray("dec") << 1;
    }

    void months()
    {
        QFETCH(QByteArray, month);
        QFETCH(int, number);
        const auto entry = ParseListingLine(fileLine(month + " 28  2003 f"), kToday);
        QVERIFY(entry);
        QCOMPARE(PackedDateTime::month(entry->dateTime), number);
        QCOMPARE(PackedDateTime::day(entry->dateTime), 28);
        QCOMPARE(PackedDateTime::year(entry->dateTime), 2003);
    }

    // New Year's Eve: nothing in this year lies more than a day ahead.
    void recentEntriesAtYearEnd()
    {
        const auto entry = ParseListingLine(fileLine("Dec 31 23:59 x"), QDate(2024, 12, 31));
        QVERIFY(entry);
        QCOMPARE(PackedDateTime::format(entry->dateTime), QStringLiteral("2024-12-31 23:59"));
        const auto january = ParseListingLine(fileLine("Jan  2 00:00 x"), QDate(2025, 1, 1));
        QVERIFY(january);
        QCOMPARE(PackedDateTime::year(january->dateTime), 2025);
        const auto december = ParseListingLine(fileLine("Dec 31 10:00 x"), QDate(2025, 1, 1));
        QVERIFY(december);
        QCOMPARE(PackedDateTime::year(december->dateTime), 2024);
    }

    void remoteNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");  // what the program holds: every byte kept
        QTest::addColumn<QString>("shown"); // what the user sees, and the local copy's name
        const QString kept = QStringLiteral("caf") + QChar(0xDCE9);
        QTest::newRow("ASCII") << QByteArray("readme.txt") << "readme.txt" << "readme.txt";
        QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e") << QStringLiteral("Grüße") << QStringLiteral("Grüße");
        QTest::newRow("UTF-8 four-byte") << QByteArray("\xf0\x9f\x93\x81") << QStringLiteral("\U0001F4C1")
                                         << QStringLiteral("\U0001F4C1");
        QTest::newRow("byte-order mark kept") << QByteArray("\xef\xbb\xbfx") << QStringLiteral("\uFEFFx")
                                              << QStringLiteral("\uFEFFx");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9") << kept << QStringLiteral("café");
        QTest::newRow("Latin-1 that starts like UTF-8")
            << QByteArray("\xc3(") << QString(QChar(0xDCC3)) + "(" << QStringLiteral("Ã(");
        QTest::newRow("overlong encoding") << QByteArray("\xc0\xaf") << QString(QChar(0xDCC0)) + QChar(0xDCAF)
                                           << QStringLiteral("À¯");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80")
                                           << QString(QChar(0xDCED)) + QChar(0xDCA0) + QChar(0xDC80)
                                           << QStringLiteral("í\u00a0\u0080");
        QTest::newRow("UTF-8 cut short") << QByteArray("a\xe2\x82") << "a" + QString(QChar(0xDCE2)) + QChar(0xDC82)
                                         << QStringLiteral("aâ\u0082");
        QTest::newRow("UTF-8 and stray bytes mixed") << QByteArray("\xc3\xa9\xe9\xe2\x82\xac")
                                                     << QStringLiteral("é") + QChar(0xDCE9) + QStringLiteral("€")
                                                     << QStringLiteral("éé€");
    }

    // Decoding keeps every byte: encoding the text gives the bytes back, alone or in a path.
    void remoteNames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(decodeRemoteName(bytes), text);
        QCOMPARE(encodeRemoteName(text), bytes);
        QCOMPARE(encodeRemoteName(QStringLiteral("RETR /pub/") + text + QStringLiteral("/x\r\n")),
                 "RETR /pub/" + bytes + "/x\r\n");
        QCOMPARE(shownRemoteName(text), shown);

        const auto entry = ParseListingLine(fileLine("Jan  1  2000 " + bytes), kToday);
        QVERIFY(entry);
        QCOMPARE(entry->name, text);
    }

    // A name the user typed goes out as UTF-8; a surrogate pair stays one character.
    void encodeTypedNames()
    {
        QCOMPARE(encodeRemoteName(QStringLiteral("café €")), QByteArray("caf\xc3\xa9 \xe2\x82\xac"));
        QCOMPARE(encodeRemoteName(QStringLiteral("\U0001F4C1")), QByteArray("\xf0\x9f\x93\x81"));
    }

    void acceptableNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("acceptable");

        QTest::newRow("plain") << "a.txt" << true;
        QTest::newRow("dots around") << "...a." << true;
        QTest::newRow("three dots") << "..." << true;
        QTest::newRow("blanks") << " a b " << true;
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße €") << true;
        QTest::newRow("C1 range from Latin-1") << QStringLiteral("a\u0085b") << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot-dot") << ".." << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) << false;
        QTest::newRow("CR") << "a\r" << false;
        QTest::newRow("LF") << "\na" << false;
        QTest::newRow("unit separator") << "a\x1f" << false;
        QTest::newRow("DEL") << "\x7f" << false;
    }

    void acceptableNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, acceptable);
        QCOMPARE(isAcceptableRemoteName(name), acceptable);
        // The byte test agrees on both readings of the bytes.
        QCOMPARE(isAcceptableRemoteNameBytes(name.toUtf8()), acceptable);
        if (std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() <= 0xFF; }))
            QCOMPARE(isAcceptableRemoteNameBytes(name.toLatin1()), acceptable);
    }

    // Random bytes and mangled listing lines: never a crash, never an unacceptable name.
    void noise()
    {
        QRandomGenerator random(20240615);
        const QByteArray samples[] = {
            "drwxr-xr-x 2 u g 512 Jan  5  1995 pub",
            "-rw-r--r-- 1 u g 1024 Mar 10 12:34 a.txt",
            "lrwxrwxrwx 1 u g 7 Jun  1  1996 bin -> usr/bin",
            "-rw-r--r-- 1 u g 18446744073709551616 Jan  1  2020 f",
        };
        static const char letters[] = " \t0123456789:-/\\.>lrwxJanMyDd\0\r\n\x7f\xc3\xa9\xff";
        const QByteArray alphabet(letters, sizeof letters - 1);
        int entries = 0;
        for (int round = 0; round < 40000; ++round) {
            QByteArray line;
            if (round % 2) {
                const int length = random.bounded(120);
                for (int i = 0; i < length; ++i)
                    line += alphabet.at(random.bounded(int(alphabet.size())));
            } else {
                line = samples[random.bounded(4)];
                for (int edits = random.bounded(1, 6); edits > 0; --edits) {
                    const int at = random.bounded(int(line.size()) + 1);
                    const char c = alphabet.at(random.bounded(int(alphabet.size())));
                    switch (random.bounded(3)) {
                    case 0: line.insert(at, c); break;
                    case 1: line.remove(at, 1 + random.bounded(3)); break;
                    default: if (at < line.size()) line[at] = c;
                    }
                }
            }
            const auto entry = ParseListingLine(line, kToday);
            if (!entry)
                continue;
            ++entries;
            QVERIFY2(isAcceptableRemoteName(entry->name), line.toHex().constData());
            QVERIFY(entry->kind <= ListingEntry::Link);
        }
        QVERIFY(entries > 1000); // the mangled samples still give entries
    }
};

QTEST_GUILESS_MAIN(TestListingParser)
#include "tst_listingparser.moc"
