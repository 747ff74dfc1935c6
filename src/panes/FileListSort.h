#pragma once

#include <QtGlobal>

#include <vector>

// What the file list's comparison reads of one item, gathered once before a sort.
struct FileListSortItem
{
    bool hasRecord = false;   // false: a tree-node copy (a host or host folder), sorted by name among its own
    bool isDirectory = false;
    quint64 size = 0;
    quint32 dateKey = 0;      // see fileListDateKey
    quint32 nameRank = 0;     // place of the name among all names (case-insensitive collation order)
    quint32 typeRank = 0;     // place of the extension from the last dot (case ignored); 0 without a dot
};

// The fields of a PackedDateTime from year down to the two-second count, as one number that
// orders the same way as comparing the fields one by one.
quint32 fileListDateKey(quint32 packed);

// Compares two items for a sort order (key 0 name, 1 type, 2 size, 3 date; plus 5 descending):
// directories and links come before files in either direction; descending reverses the rest.
// Tree-node copies have no size, date or type: among themselves they compare by name for every
// key; against a listed entry they are equal (such lists do not mix them).
int compareFileListItems(const FileListSortItem &a, const FileListSortItem &b, int sortOrder);

// The positions of items in sorted order; equal items keep their order.
std::vector<int> sortFileListItems(const std::vector<FileListSortItem> &items, int sortOrder);
