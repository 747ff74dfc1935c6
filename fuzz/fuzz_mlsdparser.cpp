// One machine-listing (MLSD) line from a hostile host, and the same bytes read as a passive-mode
// reply and as a FEAT reply.
//
// Checks: an entry has an acceptable name whose bytes are in the line; a kind within
// range; a date that is 0 or holds fields in range; a line end left on the line changes nothing;
// a passive reply's port is never 0; a FEAT reply offers nothing unless some line starts with a
// blank.

#include "FuzzCheck.h"
#include "ftp/HostFeatures.h"
#include "ftp/ListingParser.h"
#include "ftp/MlsdParser.h"
#include "ftp/PackedDateTime.h"
#include "ftp/PassiveReply.h"
#include "ftp/RemoteName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char *>(data), qsizetype(size));

    if (const auto port = PasvReplyPort(line))
        FUZZ_CHECK(*port > 0);
    if (const auto port = EpsvReplyPort(line))
        FUZZ_CHECK(*port > 0);

    const QString feat = QString::fromUtf8(line);
    const HostFeatures features = ParseFeatReply(feat);
    if (!feat.startsWith(QLatin1Char(' ')) && !feat.contains(QLatin1String("\n ")))
        FUZZ_CHECK(!features.utf8 && !features.mlst && !features.epsv && !features.authTls);

    const std::optional<ListingEntry> entry = ParseMlsdLine(line);
    if (!line.endsWith('\r') && !line.endsWith('\n') && line.size() + 2 <= MaxListingLineLength) {
        const std::optional<ListingEntry> ended = ParseMlsdLine(line + "\r\n");
        FUZZ_CHECK(entry.has_value() == ended.has_value());
        FUZZ_CHECK(!entry || (entry->name == ended->name && entry->size == ended->size
                              && entry->dateTime == ended->dateTime && entry->kind == ended->kind));
    }
    if (!entry)
        return 0;
    FUZZ_CHECK(isAcceptableRemoteName(entry->name));
    FUZZ_CHECK(line.contains(encodeRemoteName(entry->name)));
    FUZZ_CHECK(entry->kind <= ListingEntry::Link);
    if (entry->dateTime != 0) {
        FUZZ_CHECK(PackedDateTime::month(entry->dateTime) >= 1 && PackedDateTime::month(entry->dateTime) <= 12);
        FUZZ_CHECK(PackedDateTime::hour(entry->dateTime) <= 23);
        FUZZ_CHECK(PackedDateTime::minute(entry->dateTime) <= 59);
    }
    return 0;
}
