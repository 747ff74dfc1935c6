// The listing-cache file reader on any file contents, and the writer's records read back.
//
// Checks, reading: every entry read has an acceptable name of at most MaxNameBytes bytes and a
// kind in range; append() takes each of them, and what it writes reads back as the same entries.
// Checks, writing: entries whose names come from host bytes (as the listing parser decodes them)
// are taken exactly when the bytes are an acceptable name within MaxNameBytes, a refused entry
// leaves the output alone, and the records read back equal to what was taken.

#include "FuzzCheck.h"
#include "ftp/CacheRecord.h"
#include "ftp/RemoteName.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

bool sameEntry(const ListingEntry &a, const ListingEntry &b)
{
    return a.name == b.name && a.size == b.size && a.dateTime == b.dateTime && a.kind == b.kind;
}

bool sameEntries(const QList<ListingEntry> &a, const QList<ListingEntry> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!sameEntry(a[i], b[i]))
            return false;
    return true;
}

void checkReading(const QByteArray &contents)
{
    const auto read = CacheRecord::readAll(contents);
    if (!read)
        return;
    QByteArray again;
    for (const ListingEntry &entry : *read) {
        FUZZ_CHECK(isAcceptableRemoteName(entry.name));
        FUZZ_CHECK(encodeRemoteName(entry.name).size() <= CacheRecord::MaxNameBytes);
        FUZZ_CHECK(entry.kind <= ListingEntry::Link);
        FUZZ_CHECK(CacheRecord::append(again, entry));
    }
    const auto reread = CacheRecord::readAll(again);
    FUZZ_CHECK(reread && sameEntries(*read, *reread));
}

quint64 someSize(FuzzedDataProvider &input)
{
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0: return input.ConsumeIntegral<quint32>();
    case 1: return 0xFFFFFFFFull - 2 + input.ConsumeIntegralInRange(0, 4); // around the wide marker
    default: return input.ConsumeIntegral<quint64>();
    }
}

void checkWriting(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    QList<ListingEntry> taken;
    QByteArray out;
    while (input.remaining_bytes() > 0) {
        ListingEntry entry;
        entry.kind = ListingEntry::Kind(input.ConsumeIntegralInRange(0, 2));
        entry.dateTime = input.ConsumeIntegral<quint32>();
        entry.size = someSize(input);
        const std::string name = input.ConsumeRandomLengthString(600);
        const QByteArray bytes(name.data(), qsizetype(name.size()));
        entry.name = decodeRemoteName(bytes);
        const QByteArray before = out;
        const bool acceptable = isAcceptableRemoteNameBytes(bytes) && bytes.size() <= CacheRecord::MaxNameBytes;
        FUZZ_CHECK(CacheRecord::append(out, entry) == acceptable);
        if (acceptable)
            taken.append(entry);
        else
            FUZZ_CHECK(out == before);
    }
    const auto read = CacheRecord::readAll(out);
    FUZZ_CHECK(read && sameEntries(*read, taken));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkReading(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    checkWriting(data, size);
    return 0;
}
