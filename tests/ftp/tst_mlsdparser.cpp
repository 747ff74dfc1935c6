// The machine listing (MLSD) parser: fact lines to entries, case by case, with the hostile lines a
// host may send as rows. Times are read as if the local zone were two hours ahead of UTC.

#include "ftp/ListingParser.h"
#include "ftp/MlsdParser.h"
#include "ftp/PackedDateTime.h"

#include <QTest>

#include <ctime>

class TestMlsdParser : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("TZ", "EET-2"); // two hours east of UTC, no summer time
        tzset();
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name"); // empty: no entry
        QTest::addColumn<int>("kind");
        QTest::addColumn<quint64>("size");
        QTest::addColumn<QString>("date"); // local time, "YYYY-MM-DD HH:MM"; empty when unknown

        const int file = ListingEntry::File;
        const int dir = ListingEntry::Directory;
        const int link = ListingEntry::Link;
        QTest::newRow("file") << QByteArray("type=file;size=1234;modify=20261210165100;perm=r; a.txt") << "a.txt"
                              << file << quint64(1234) << "2026-12-10 18:51";
        QTest::newRow("directory") << QByteArray("type=dir;modify=19991231230000; pub") << "pub" << dir << quint64(0)
                                   << "2000-01-01 01:00";
        QTest::newRow("symbolic link") << QByteArray("type=OS.unix=symlink;size=7; bin") << "bin" << link
                                       << quint64(7) << "";
        QTest::newRow("link with its target") << QByteArray("type=OS.unix=slink:/usr/bin;size=7; bin") << "bin"
                                              << link << quint64(7) << "";
        QTest::newRow("fact names and types in other case") << QByteArray("Type=DIR;Size=5;MODIFY=20200102030405; d")
                                                            << "d" << dir << quint64(5) << "2020-01-02 05:04";
        QTest::newRow("fractions of a second") << QByteArray("type=file;modify=20200102030405.678; f") << "f" << file
                                               << quint64(0) << "2020-01-02 05:04";
        QTest::newRow("name with blanks and semicolons") << QByteArray("type=file;size=1; my file;v2.txt ") << "my file;v2.txt "
                                                         << file << quint64(1) << "";
        QTest::newRow("missing type is a file") << QByteArray("size=3; x") << "x" << file << quint64(3) << "";
        QTest::newRow("other type is a file") << QByteArray("type=OS.unix=chr-13/29; tty") << "tty" << file
                                              << quint64(0) << "";
        QTest::newRow("no facts at all") << QByteArray(" bare") << "bare" << file << quint64(0) << "";
        QTest::newRow("size of 30 digits saturates") << QByteArray("type=file;size=123456789012345678901234567890; big")
                                                     << "big" << file << quint64(18446744073709551615u) << "";
        QTest::newRow("size not a number reads 0") << QByteArray("type=file;size=12ab; s") << "s" << file << quint64(0)
                                                   << "";
        QTest::newRow("impossible time: unknown") << QByteArray("type=file;modify=20261341256199; t") << "t" << file
                                                  << quint64(0) << "";
        QTest::newRow("short time: unknown") << QByteArray("type=file;modify=2026; t") << "t" << file << quint64(0)
                                             << "";
        QTest::newRow("fact without a value ignored") << QByteArray("type=file;=x;size; n") << "n" << file
                                                      << quint64(0) << "";
        QTest::newRow("line end left on") << QByteArray("type=file;size=2; e\r\n") << "e" << file << quint64(2) << "";

        const auto none = [](const char *name, const QByteArray &line) {
            QTest::newRow(name) << line << QString() << 0 << quint64(0) << QString();
        };
        none("the folder itself", "type=cdir;modify=20200101000000; /pub");
        none("its parent", "type=pdir; ..");
        none("no blank before the name", "type=file;size=1;name");
        none("an ls -l line sent for MLSD", "-rw-r--r-- 1 u g 5 Jan  1  2020 a.txt");
        none("facts not ended by a semicolon", "type=file;size=1 name");
        none("a word before the name", "garbage name");
        none("empty name", "type=file;size=1; ");
        none("dot-dot", "type=dir; ..");
        none("slash in the name", "type=file; ../../etc/passwd");
        none("backslash in the name", "type=file; ..\\x");
        none("control character in the name", "type=file; a\x1b[2Jb");
        none("line too long", "type=file; " + QByteArray(MaxListingLineLength, 'n'));
    }

    void lines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        const std::optional<ListingEntry> entry = ParseMlsdLine(line);
        if (name.isEmpty()) {
            QVERIFY2(!entry, qPrintable(entry ? entry->name : QString()));
            return;
        }
        QVERIFY(entry);
        QTEST(entry->name, "name");
        QTEST(int(entry->kind), "kind");
        QTEST(entry->size, "size");
        QTEST(PackedDateTime::format(entry->dateTime), "date");
    }
};

QTEST_MAIN(TestMlsdParser)
#include "tst_mlsdparser.moc"
