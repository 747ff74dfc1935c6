// One listing line from a hostile host. The first input byte picks the day the listing is read
// on (that many times three days after 1 January 2024, so that year ends are crossed); the rest
// is the line.
//
// Checks: an entry has an acceptable name whose bytes, sent back as the host sent them, are in
// the line; a kind within range; a link target without control characters; a date that is 0 or
// holds fields in range; a line end left on the line changes nothing; a line over the length
// bound gives no entry.

#include "FuzzCheck.h"
#include "ftp/ListingParser.h"
#include "ftp/PackedDateTime.h"
#include "ftp/RemoteName.h"

namespace {

bool sameEntry(const ListingEntry &a, const ListingEntry &b)
{
    return a.name == b.name && a.size == b.size && a.dateTime == b.dateTime && a.kind == b.kind
           && a.linkTarget == b.linkTarget;
}

void checkDate(quint32 packed)
{
    if (packed == 0)
        return;
    FUZZ_CHECK(PackedDateTime::month(packed) <= 12);
    FUZZ_CHECK(PackedDateTime::day(packed) <= 31);
    FUZZ_CHECK(PackedDateTime::hour(packed) <= 23);
    FUZZ_CHECK(PackedDateTime::minute(packed) <= 59);
    FUZZ_CHECK(PackedDateTime::second(packed) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QDate today = QDate(2024, 1, 1).addDays(3 * data[0]);
    const QByteArray line(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));

    const std::optional<ListingEntry> entry = ParseListingLine(line, today);
    if (line.size() > MaxListingLineLength)
        FUZZ_CHECK(!entry);
    if (!line.endsWith('\r') && !line.endsWith('\n') && line.size() + 2 <= MaxListingLineLength) {
        const std::optional<ListingEntry> ended = ParseListingLine(line + "\r\n", today);
        FUZZ_CHECK(entry.has_value() == ended.has_value());
        FUZZ_CHECK(!entry || sameEntry(*entry, *ended));
    }
    if (!entry)
        return 0;

    FUZZ_CHECK(isAcceptableRemoteName(entry->name));
    const QByteArray nameBytes = encodeRemoteName(entry->name);
    FUZZ_CHECK(line.contains(nameBytes));
    FUZZ_CHECK(decodeRemoteName(nameBytes) == entry->name);
    FUZZ_CHECK(entry->kind <= ListingEntry::Link);
    FUZZ_CHECK(entry->kind == ListingEntry::Link || entry->linkTarget.isEmpty());
    for (QChar c : entry->linkTarget)
        FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7f);
    checkDate(entry->dateTime);
    return 0;
}
