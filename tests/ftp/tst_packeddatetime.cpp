// The 32-bit packed date and time of listing entries: bit layout, limits, conversions, text form.

#include "ftp/PackedDateTime.h"

#include <QTest>

class TestPackedDateTime : public QObject
{
    Q_OBJECT
private slots:
    void pack_data()
    {
        QTest::addColumn<QList<int>>("fields"); // year, month, day, hour, minute, second
        QTest::addColumn<quint32>("packed");
        QTest::addColumn<QString>("text");

        // 1995-01-05: year 15, month 1 << 7, day 5 << 11.
        QTest::newRow("date only") << QList<int>{1995, 1, 5, 0, 0, 0} << quint32(15 | 1 << 7 | 5 << 11)
                                   << "1995-01-05 00:00";
        QTest::newRow("time in the high half")
            << QList<int>{2024, 3, 10, 12, 34, 0}
            << (quint32(44 | 3 << 7 | 10 << 11) | quint32(12 | 34 << 5) << 16) << "2024-03-10 12:34";
        QTest::newRow("seconds halved, odd rounded down")
            << QList<int>{2000, 12, 31, 23, 59, 59}
            << (quint32(20 | 12 << 7 | 31 << 11) | quint32(23 | 59 << 5 | 29 << 11) << 16) << "2000-12-31 23:59";
        QTest::newRow("first year") << QList<int>{1980, 1, 1, 0, 0, 0} << quint32(1 << 7 | 1 << 11)
                                    << "1980-01-01 00:00";
        QTest::newRow("last year") << QList<int>{2107, 1, 1, 0, 0, 0} << quint32(127 | 1 << 7 | 1 << 11)
                                   << "2107-01-01 00:00";
        QTest::newRow("month 0 kept") << QList<int>{1995, 0, 5, 0, 0, 0} << quint32(15 | 5 << 11)
                                      << "1995-00-05 00:00";

        QTest::newRow("year before 1980") << QList<int>{1979, 12, 31, 0, 0, 0} << quint32(0) << "";
        QTest::newRow("year after 2107") << QList<int>{2108, 1, 1, 0, 0, 0} << quint32(0) << "";
        QTest::newRow("month 13") << QList<int>{1995, 13, 1, 0, 0, 0} << quint32(0) << "";
        QTest::newRow("day 32") << QList<int>{1995, 1, 32, 0, 0, 0} << quint32(0) << "";
        QTest::newRow("hour 24") << QList<int>{1995, 1, 1, 24, 0, 0} << quint32(0) << "";
        QTest::newRow("minute 60") << QList<int>{1995, 1, 1, 0, 60, 0} << quint32(0) << "";
        QTest::newRow("negative") << QList<int>{1995, 1, -1, 0, 0, 0} << quint32(0) << "";
    }

    void pack()
    {
        QFETCH(QList<int>, fields);
        QFETCH(quint32, packed);
        QFETCH(QString, text);
        const quint32 value =
            PackedDateTime::pack(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
        QCOMPARE(value, packed);
        QCOMPARE(PackedDateTime::format(value), text);
        if (value) {
            QCOMPARE(PackedDateTime::year(value), fields[0]);
            QCOMPARE(PackedDateTime::month(value), fields[1]);
            QCOMPARE(PackedDateTime::day(value), fields[2]);
            QCOMPARE(PackedDateTime::hour(value), fields[3]);
            QCOMPARE(PackedDateTime::minute(value), fields[4]);
            QCOMPARE(PackedDateTime::second(value), fields[5] / 2 * 2);
            QCOMPARE(PackedDateTime::datePart(value), quint16(value));
            QCOMPARE(PackedDateTime::timePart(value), quint16(value >> 16));
        }
    }

    void dateTimeRoundTrip()
    {
        const QDateTime local(QDate(2021, 7, 14), QTime(8, 9, 10));
        const quint32 packed = PackedDateTime::fromDateTime(local);
        QCOMPARE(PackedDateTime::format(packed), QStringLiteral("2021-07-14 08:09"));
        QCOMPARE(PackedDateTime::toDateTime(packed), local);
        // Odd seconds are lost to the two-second resolution.
        QCOMPARE(PackedDateTime::toDateTime(PackedDateTime::fromDateTime(local.addSecs(1))), local);
        // The same moment given in UTC packs as local time.
        QCOMPARE(PackedDateTime::fromDateTime(local.toUTC()), packed);
    }

    void unrepresentable()
    {
        QCOMPARE(PackedDateTime::fromDateTime(QDateTime()), 0u);
        QCOMPARE(PackedDateTime::fromDateTime(QDateTime(QDate(1970, 1, 1), QTime(12, 0))), 0u);
        QVERIFY(!PackedDateTime::toDateTime(0).isValid());
        // Month 0 and 30 February can be packed (a listing can say so) but are no date.
        QVERIFY(!PackedDateTime::toDateTime(PackedDateTime::pack(1995, 0, 5)).isValid());
        QVERIFY(!PackedDateTime::toDateTime(PackedDateTime::pack(1995, 2, 30)).isValid());
    }
};

QTEST_GUILESS_MAIN(TestPackedDateTime)
#include "tst_packeddatetime.moc"
