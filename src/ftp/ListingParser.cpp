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
    const QDate tomorrow = today.addDays(1);
    if (tomorrow.year() != today.year())
        return today.year();
    const bool ahead = month > tomorrow.month() || (month == tomorrow.month() && day > tomorrow.day());
    return ahead ? today.year() - 1 : today.year();
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

} // namespace

std::optional<ListingEntry> ParseListingLine(QByteArrayView line, const QDate &today)
{
    if (line.size() > MaxListingLineLength)
        return std::nullopt;
    line = withoutLineEnd(line);
    if (line.size() < kMinLineLength)
        return std::nullopt;

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
