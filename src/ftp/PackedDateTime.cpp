#include "PackedDateTime.h"

namespace PackedDateTime {

quint32 pack(int year, int month, int day, int hour, int minute, int second)
{
    if (year < MinYear || year > MaxYear || month < 0 || month > 12 || day < 0 || day > 31 || hour < 0
        || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return 0;
    const quint32 date = quint32(year - MinYear) | quint32(month) << 7 | quint32(day) << 11;
    const quint32 time = quint32(hour) | quint32(minute) << 5 | quint32(second / 2) << 11;
    return date | time << 16;
}

quint32 fromDateTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0;
    const QDateTime local = dateTime.toLocalTime();
    const QDate date = local.date();
    const QTime time = local.time();
    return pack(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

QDateTime toDateTime(quint32 packed)
{
    if (packed == 0)
        return {};
    const QDate date(year(packed), month(packed), day(packed));
    const QTime time(hour(packed), minute(packed), second(packed));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QString format(quint32 packed)
{
    if (packed == 0)
        return {};
    // By hand: a listing of 100 000 entries formats 100 000 of these.
    char text[16];
    const auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = char('0' + value % 10);
    };
    put(0, year(packed), 4);
    text[4] = '-';
    put(5, month(packed), 2);
    text[7] = '-';
    put(8, day(packed), 2);
    text[10] = ' ';
    put(11, hour(packed), 2);
    text[13] = ':';
    put(14, minute(packed), 2);
    return QString::fromLatin1(text, 16);
}

} // namespace PackedDateTime
