#pragma once

#include "ftp/ListingEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// The records of a listing-cache file, one per entry, one after another (no header, no count;
// integers little-endian); the file ends with CacheWriter::endMark(), which the cache takes off
// before the records are read:
//
//   kind      1 byte   0 file, 1 directory, 2 link; above 2 reads as a file
//   date      2 bytes  low half of the PackedDateTime
//   time      2 bytes  high half
//   size      4 bytes  0xFFFFFFFF means: the size follows in 8 bytes
//  [size      8 bytes  for sizes of 0xFFFFFFFF and above]
//   name      n bytes  exactly as the host sent them (RemoteName.h)
//   "\n"
class CacheRecord
{
public:
    static constexpr qsizetype MaxNameBytes = 500;

    // Appends the record of an entry; false, with nothing appended, when the name cannot be kept:
    // longer than MaxNameBytes or not an acceptable remote name.
    static bool append(QByteArray &out, const ListingEntry &entry);

    // Every record of a file's contents, or nullopt when the contents are not a whole, sound
    // listing: a record cut short, a name longer than MaxNameBytes or not acceptable.
    static std::optional<QList<ListingEntry>> readAll(QByteArrayView data);
};
