#include "panes/FileListSort.h"

#include "ftp/PackedDateTime.h"

#include <algorithm>
#include <numeric>

namespace {

template<typename Number>
int compareNumbers(Number a, Number b)
{
    return a == b ? 0 : (a < b ? -1 : 1);
}

int compareNames(const FileListSortItem &a, const FileListSortItem &b)
{
    return compareNumbers(a.nameRank, b.nameRank);
}

// Names without an extension come first, among themselves by name; equal extensions tie.
int compareTypes(const FileListSortItem &a, const FileListSortItem &b)
{
    if (a.typeRank == 0 && b.typeRank == 0)
        return compareNames(a, b);
    return compareNumbers(a.typeRank, b.typeRank);
}

int compareByKey(const FileListSortItem &a, const FileListSortItem &b, int key)
{
    switch (key) {
    case 1:
        return compareTypes(a, b);
    case 2:
        return a.size != b.size ? compareNumbers(a.size, b.size) : compareNames(a, b);
    case 3:
        return a.dateKey != b.dateKey ? compareNumbers(a.dateKey, b.dateKey) : compareNames(a, b);
    default:
        return compareNames(a, b);
    }
}

} // namespace

quint32 fileListDateKey(quint32 packed)
{
    using namespace PackedDateTime;
    return quint32(year(packed) - MinYear) << 25 | quint32(month(packed)) << 21
        | quint32(day(packed)) << 16 | quint32(hour(packed)) << 11 | quint32(minute(packed)) << 5
        | quint32(second(packed) / 2);
}

int compareFileListItems(const FileListSortItem &a, const FileListSortItem &b, int sortOrder)
{
    if (a.hasRecord != b.hasRecord)
        return 0;
    const bool descending = sortOrder >= 5;
    int result = 0;
    if (!a.hasRecord) {
        result = compareNames(a, b);
    } else {
        if (a.isDirectory != b.isDirectory)
            return a.isDirectory ? -1 : 1;
        result = compareByKey(a, b, descending ? sortOrder - 5 : sortOrder);
    }
    return descending ? -result : result;
}

std::vector<int> sortFileListItems(const std::vector<FileListSortItem> &items, int sortOrder)
{
    std::vector<int> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    // Node copies and entries compare equal to one another, which only a stable sort tolerates.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compareFileListItems(items[size_t(a)], items[size_t(b)], sortOrder) < 0;
    });
    return order;
}
