#pragma once

#include "ftp/ListingEntry.h"

#include <QByteArrayView>
#include <QDate>

#include <optional>

// Reads one line of a directory listing. Most hosts send the UNIX long form ("ls -l"); Windows
// hosts send the DOS form, recognised by the date it starts with, whatever the host's type:
//
//   12-10-26  04:51PM       <DIR>          pub
//   12-10-26  04:51PM            1234 a.txt
//
// The UNIX form:
//
//   drwxr-xr-x   2 user     group         512 Jan  5  1995 pub
//   -rw-r--r--   1 user     group        1024 Mar 10 12:34 a.txt
//   lrwxrwxrwx   1 user     group           7 Jun  1  1996 bin -> usr/bin
//   total 42                                                  (no entry)
//
// Fields are separated by runs of blanks and tabs. The first character gives the kind ("-" file,
// "l" link, anything else a directory); four fields are skipped; then come the size, the month
// (recognised by its first letters), the day, a time of day or a year, and the name, which is the
// rest of the line. A link's name ends before " -> "; the rest is its target.
//
// A line yields no entry when it is too short or too long, lacks a field, or its name is empty,
// "." or "..", or holds "/", "\" or a control character. Work is linear in the line length; the
// entry's name is the only allocation.

constexpr qsizetype MaxListingLineLength = 8 * 1024;

// The entry a line describes. A line ending ("\r\n" or "\n") left on it is ignored. today dates
// entries that show a time of day instead of a year: they are in today's year, or the year
// before when that would put them more than a day ahead of today.
std::optional<ListingEntry> ParseListingLine(QByteArrayView line, const QDate &today);
