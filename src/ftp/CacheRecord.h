#pragma once

#include "ftp/ListingEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// The records of a listing-cache file, one per entry, one after another to the end of the file
// (no header, no count; integers little-endian):
//
//   kind      1 byte   0 file, 1 directory, 2 link; above 2 reads as a file
//   date      2 bytes  low half of the PackedDateTime
//   time      2 bytes  high half
//   size      4 bytes  0xFFFFFFFF means: the size follows in 8 bytes
//  [size      8 bytes  for sizes of 0xFFFFFFFF and above]
//   name      n bytes  as the host sent them (UTF-8, or Latin-1 when they were not UTF-8)
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
