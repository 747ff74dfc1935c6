#include "ListingParser.h"

#include "ftp/PackedDateTime.h"
#include "ftp/RemoteName.h"

#include <limits>

namespace {

constexpr qsizetype kMinLineLength = 10;
constexpr int kMaxSizeDigits = 20;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A read position in the line; reading past the end gives NUL characters.
struct Cursor
{
    const char *at;
    const char *end;

    bool atEnd() const { return at >= end; }
    char peek(qsizetype offset = 0) const { return offset < end - at ? at[offset] : '\0'; }
    void skip(qsizetype count) { at = count < end - at ? at + count : end; }
    void skipBlanks()
    {
        while (at < end && isBlank(*at))
            ++at;
    }
    void skipField()
    {
        while (at < end && !isBlank(*at))
            ++at;
    }
    // As C's atoi on the next count characters: leading blanks, then digits.
    int number(qsizetype count) const
    {
        qsizetype i = 0;
        while (i < count && isBlank(peek(i)))
            ++i;
        int value = 0;
        for (; i < count && isDigit(peek(i)); ++i)
            value = value * 10 + (peek(i) - '0');
        return value;
    }
};

ListingEntry::Kind kindOf(char first)
{
    if (first == '-')
        return ListingEntry::File;
    if (first == 'l')
        return ListingEntry::Link;
    return ListingEntry::Directory;
}

// Digits up to the next blank; anything else reads as 0. More than fits in 64 bits saturates.
quint64 readSize(const Cursor &cursor)
{
    constexpr quint64 max = std::numeric_limits<quint64>::max();
    quint64 size = 0;
    for (qsizetype i = 0; isDigit(cursor.peek(i)); ++i) {
        const quint64 digit = quint64(cursor.peek(i) - '0');
        if (i >= kMaxSizeDigits || size > (max - digit) / 10)
            return max;
        size = size * 10 + digit;
    }
    return size;
}

// "Ja" January, "Jun" June, other "Ju" July, other "J" 0; "Mar" March, other "M" May; "Ap" April,
// other "A" August; "F", "S", "O", "N", "D" by their first letter; anything else January.
int monthOf(const Cursor &cursor)
{
    const char first = cursor.peek(0);
    const char second = cursor.peek(1);
    const char third = cursor.peek(2);
    switch (first) {
    case 'J':
        if (second == 'a')
            return 1;
        if (second == 'u')
            return third == 'n' ? 6 : 7;
        return 0;
    case 'F': return 2;
    case 'M': return third == 'r' ? 3 : 5;
    case 'A': return second == 'p' ? 4 : 8;
    case 'S': return 9;
    case 'O': return 10;
    case 'N': return 11;
    case 'D': return 12;
    default: return 1;
    }
}

// Listings show a time of day instead of the year for recent entries. Such an entry is from this
// year unless that would place it more than a day ahead (host clocks and time zones differ by
// up to a day); then it is from last year.
int yearOfRecentEntry(int month, int day, QDate today)
{
    if (!today.isValid())
        today = QDate::currentDate();
    // Every recent entry of a listing asks with the same day: its calendar parts are worked out
    // once (they cost more than the rest of the line).
    struct Parts
    {
        qint64 day = -1;
        int year = 0, nextYear = 0, nextMonth = 0, nextDay = 0;
    };
    thread_local Parts parts;
    if (parts.day != today.toJulianDay()) {
        const QDate tomorrow = today.addDays(1);
        parts = {today.toJulianDay(), today.year(), tomorrow.year(), tomorrow.month(), tomorrow.day()};
    }
    if (parts.nextYear != parts.year)
        return parts.year;
    const bool ahead = month > parts.nextMonth || (month == parts.nextMonth && day > parts.nextDay);
    return ahead ? parts.year - 1 : parts.year;
}

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// The day takes two characters, padded with a blank when it has one digit. A single digit
// without the padding is read as a day too, rather than eating the first digit of the year.
void skipDay(Cursor &cursor)
{
    const bool unpadded = isDigit(cursor.peek(0)) && isBlank(cursor.peek(1));
    cursor.skip(unpadded ? 2 : 3);
}

bool hasControlCharacter(QByteArrayView text)
{
    for (char c : text)
        if (uchar(c) < 0x20 || uchar(c) == 0x7f)
            return true;
    return false;
}

// A whole number of exactly count digits at the cursor, or -1.
int digits(const Cursor &cursor, qsizetype count)
{
    int value = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (!isDigit(cursor.peek(i)))
            return -1;
        value = value * 10 + (cursor.peek(i) - '0');
    }
    return value;
}

// "12-10-26" or "12-10-2026" (month, day, year; "/" also separates), then a blank. Two-digit
// years from 70 are the 1900s, the others the 2000s. False, with the cursor unmoved, for anything else.
bool readDosDate(Cursor &cursor, int &year, int &month, int &day)
{
    const char separator = cursor.peek(2);
    if ((separator != '-' && separator != '/') || cursor.peek(5) != separator)
        return false;
    month = digits(cursor, 2);
    Cursor rest = cursor;
    rest.skip(3);
    day = digits(rest, 2);
    rest.skip(3);
    const qsizetype yearDigits = isDigit(rest.peek(2)) ? 4 : 2;
    year = digits(rest, yearDigits);
    rest.skip(yearDigits);
    if (month < 0 || day < 0 || year < 0 || !isBlank(rest.peek()))
        return false;
    if (yearDigits == 2)
        year += year >= 70 ? 1900 : 2000;
    cursor = rest;
    return true;
}

// "04:51PM", "4:51 PM" or "16:51".
bool readDosTime(Cursor &cursor, int &hour, int &minute)
{
    const qsizetype hourDigits = cursor.peek(1) == ':' ? 1 : 2;
    hour = digits(cursor, hourDigits);
    cursor.skip(hourDigits);
    if (hour < 0 || cursor.peek() != ':')
        return false;
    cursor.skip(1);
    minute = digits(cursor, 2);
    cursor.skip(2);
    if (minute < 0)
        return false;
    Cursor marker = cursor;
    marker.skipBlanks();
    const char half = marker.peek();
    if ((half == 'A' || half == 'P' || half == 'a' || half == 'p') && (marker.peek(1) == 'M' || marker.peek(1) == 'm')) {
        if (hour < 1 || hour > 12)
            return false;
        hour = hour % 12 + (half == 'P' || half == 'p' ? 12 : 0);
        marker.skip(2);
        cursor = marker;
    }
    return isBlank(cursor.peek());
}

// The DOS form that Windows hosts send whatever they are asked for:
//
//   12-10-26  04:51PM       <DIR>          pub
//   12-10-26  04:51PM            1234 a.txt
//   12-10-2026  16:51           1,234 my file.txt
//
// nullopt when the line does not start with such a date; an entry, or nullopt for a line that
// starts like one but breaks off or names nothing usable, is marked by found.
std::optional<ListingEntry> parseDosLine(QByteArrayView line, bool &found)
{
    Cursor cursor{line.data(), line.data() + line.size()};
    int year, month, day, hour, minute;
    found = readDosDate(cursor, year, month, day);
    if (!found)
        return std::nullopt;
    cursor.skipBlanks();
    if (!readDosTime(cursor, hour, minute))
        return std::nullopt;
    cursor.skipBlanks();
    ListingEntry entry;
    if (QByteArrayView(cursor.at, cursor.end - cursor.at).startsWith("<DIR>")) {
        entry.kind = ListingEntry::Directory;
        cursor.skip(5);
    } else {
        entry.kind = ListingEntry::File;
        if (!isDigit(cursor.peek()))
            return std::nullopt;
        // Digits, perhaps grouped by commas; more than 64 bits saturate.
        constexpr quint64 max = std::numeric_limits<quint64>::max();
        for (; !cursor.atEnd() && !isBlank(cursor.peek()); cursor.skip(1)) {
            const char c = cursor.peek();
            if (c == ',')
                continue;
            if (!isDigit(c))
                return std::nullopt;
            const quint64 digit = quint64(c - '0');
            entry.size = entry.size > (max - digit) / 10 ? max : entry.size * 10 + digit;
        }
    }
    if (!isBlank(cursor.peek()))
        return std::nullopt;
    cursor.skipBlanks();
    const QByteArrayView name(cursor.at, cursor.end - cursor.at);
    if (!isAcceptableRemoteNameBytes(name))
        return std::nullopt;
    entry.name = decodeRemoteName(name);
    // A date that does not exist (month 0, 31 February) is unknown rather than wrong.
    entry.dateTime = QDate::isValid(year, month, day) ? PackedDateTime::pack(year, month, day, hour, minute) : 0;
    return entry;
}

} // namespace

std::optional<ListingEntry> ParseListingLine(QByteArrayView line, const QDate &today)
{
    if (line.size() > MaxListingLineLength)
        return std::nullopt;
    line = withoutLineEnd(line);
    if (line.size() < kMinLineLength)
        return std::nullopt;
    bool dos = false;
    if (std::optional<ListingEntry> entry = parseDosLine(line, dos); dos)
        return entry;

    ListingEntry entry;
    entry.kind = kindOf(line.front());
    Cursor cursor{line.data(), line.data() + line.size()};
    // Permissions, link count, owner and group.
    for (int field = 0; field < 4; ++field) {
        cursor.skipField();
        cursor.skipBlanks();
        if (cursor.atEnd())
            return std::nullopt;
    }

    entry.size = readSize(cursor);
    cursor.skipField();
    if (cursor.atEnd())
        return std::nullopt;
    cursor.skipBlanks();

    const int month = monthOf(cursor);
    cursor.skip(4);
    const int day = cursor.number(2);
    skipDay(cursor);
    cursor.skipBlanks();
    if (cursor.atEnd())
        return std::nullopt;

    int year;
    int hour = 0;
    int minute = 0;
    if (cursor.peek(2) == ':') {
        hour = cursor.number(2);
        cursor.skip(3);
        minute = cursor.number(2);
        cursor.skip(3);
        year = yearOfRecentEntry(month, day, today);
    } else {
        year = cursor.number(4);
        cursor.skip(5);
    }
    entry.dateTime = PackedDateTime::pack(year, month, day, hour, minute);

    QByteArrayView name(cursor.at, cursor.end - cursor.at);
    QByteArrayView target;
    if (entry.kind == ListingEntry::Link) {
        const qsizetype arrow = name.indexOf(QByteArrayView(" -> "));
        if (arrow >= 0) {
            target = name.sliced(arrow + 4);
            name.truncate(arrow);
        }
    }
    if (!isAcceptableRemoteNameBytes(name))
        return std::nullopt;
    entry.name = decodeRemoteName(name);
    // The target is only shown, never used as a path of ours; control characters blank it.
    if (!hasControlCharacter(target))
        entry.linkTarget = decodeRemoteName(target);
    return entry;
}
