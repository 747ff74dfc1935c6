#pragma once

#include <QString>

// The test behind "Select Using Filter": does a file list item's name match the filter?
//
// Without wildcards (noWildcards, or a filter holding neither "*" nor "?") the filter matches
// anywhere in the name. With them the filter must cover the whole name: "?" is one character,
// "*" jumps to the first occurrence of the filter character after it, in one pass without
// backtracking, so *.txt does not match a.b.txt; a run of wildcards reads as its "?" followed by
// one "*" ("**" as "*", "*?" as "?*"). Needs no widget.
bool matchFilter(const QString &name, const QString &filter, bool noWildcards, bool caseSensitive);
