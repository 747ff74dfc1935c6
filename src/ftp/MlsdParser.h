#pragma once

#include "ftp/ListingEntry.h"

#include <QByteArrayView>

#include <optional>

// Reads one line of a machine listing (MLSD), the exact form hosts that offer MLST send:
//
//   type=file;size=1234;modify=20261210165100;perm=r; a.txt
//   type=dir;modify=20261210165100; pub
//   type=OS.unix=symlink;size=7; bin
//   type=cdir; /pub                                           (no entry: the folder itself)
//
// Facts ("name=value", names without regard to case) end with ";"; one blank separates them
// from the name, which is the rest of the line and may hold blanks and ";". type gives the kind
// (file; dir; OS.unix=symlink or OS.unix=slink:target for links; cdir and pdir give no entry; a
// missing or other type is a file); size is the size in bytes (digits; more than 64 bits
// saturate); modify is the time of the last change in UTC (YYYYMMDDHHMMSS, fractions ignored),
// kept as the local time it was. A line without the blank, whose facts do not end with ";"
// (an "ls -l" line, say), or whose name is not acceptable (RemoteName.h), gives no entry. Work is linear in the line length.
std::optional<ListingEntry> ParseMlsdLine(QByteArrayView line);
