#include "ftp/MlsdParser.h"

#include "ftp/ListingParser.h"
#include "ftp/PackedDateTime.h"
#include "ftp/RemoteName.h"

#include <QDateTime>
#include <QTimeZone>

#include <limits>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool sameName(QByteArrayView fact, const char *name)
{
    return fact.compare(QByteArrayView(name), Qt::CaseInsensitive) == 0;
}

quint64 sizeOf(QByteArrayView value)
{
    constexpr quint64 max = std::numeric_limits<quint64>::max();
    quint64 size = 0;
    for (char c : value) {
        if (!isDigit(c))
            return 0;
        const quint64 digit = quint64(c - '0');
        size = size > (max - digit) / 10 ? max : size * 10 + digit;
    }
    return size;
}

int number(QByteArrayView digits)
{
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

// "20261210165100" or "20261210165100.123", in UTC; 0 when it is no such time.
quint32 modifiedAt(QByteArrayView value)
{
    if (value.size() < 14)
        return 0;
    for (qsizetype i = 0; i < 14; ++i)
        if (!isDigit(value[i]))
            return 0;
    if (value.size() > 14 && value[14] != '.')
        return 0;
    const QDate date(number(value.sliced(0, 4)), number(value.sliced(4, 2)), number(value.sliced(6, 2)));
    const QTime time(number(value.sliced(8, 2)), number(value.sliced(10, 2)), number(value.sliced(12, 2)));
    if (!date.isValid() || !time.isValid())
        return 0;
    // The system's zone is read once: the C library's local time would look at /etc/localtime
    // again for every entry of a listing.
    static const QTimeZone localZone = QTimeZone::systemTimeZone();
    const QDateTime local = QDateTime(date, time, QTimeZone::utc()).toTimeZone(localZone);
    return PackedDateTime::pack(local.date().year(), local.date().month(), local.date().day(), local.time().hour(),
                                local.time().minute(), local.time().second());
}

// The type fact: false for the folder itself and its parent, which are no entries.
bool applyType(QByteArrayView value, ListingEntry &entry)
{
    if (sameName(value, "cdir") || sameName(value, "pdir"))
        return false;
    if (sameName(value, "dir"))
        entry.kind = ListingEntry::Directory;
    else if (sameName(value, "OS.unix=symlink") || value.startsWith("OS.unix=slink") || value.startsWith("OS.UNIX=slink"))
        entry.kind = ListingEntry::Link;
    else
        entry.kind = ListingEntry::File;
    return true;
}

} // namespace

std::optional<ListingEntry> ParseMlsdLine(QByteArrayView line)
{
    if (line.size() > MaxListingLineLength)
        return std::nullopt;
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    const qsizetype blank = line.indexOf(' ');
    if (blank < 0)
        return std::nullopt;
    const QByteArrayView name = line.sliced(blank + 1);
    if (!isAcceptableRemoteNameBytes(name))
        return std::nullopt;

    ListingEntry entry;
    QByteArrayView facts = line.first(blank);
    // Not a fact line (an "ls -l" line sent for MLSD, say): no entry rather than a made-up one.
    if (!facts.isEmpty() && !facts.endsWith(';'))
        return std::nullopt;
    while (!facts.isEmpty()) {
        const qsizetype end = facts.indexOf(';');
        const QByteArrayView fact = facts.first(end);
        facts = facts.sliced(end + 1);
        const qsizetype equals = fact.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArrayView key = fact.first(equals);
        const QByteArrayView value = fact.sliced(equals + 1);
        if (sameName(key, "type")) {
            if (!applyType(value, entry))
                return std::nullopt;
        } else if (sameName(key, "size")) {
            entry.size = sizeOf(value);
        } else if (sameName(key, "modify")) {
            entry.dateTime = modifiedAt(value);
        }
    }
    entry.name = decodeRemoteName(name);
    return entry;
}
