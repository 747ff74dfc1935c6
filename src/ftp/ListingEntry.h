#pragma once

#include <QString>
#include <QtGlobal>

// One entry of a directory listing, as parsed from the host or read back from the cache.
struct ListingEntry
{
    enum Kind : quint8 { File = 0, Directory = 1, Link = 2 };

    QString name;          // for links, the part before " -> "; bytes that were no UTF-8 kept (RemoteName.h)
    quint64 size = 0;
    quint32 dateTime = 0;  // PackedDateTime: date in the low 16 bits, time in the high 16 bits; 0 = unknown
    Kind kind = File;
    QString linkTarget;    // for links: the text after " -> " (empty when none)

    bool isFolderLike() const { return kind != File; }
};
