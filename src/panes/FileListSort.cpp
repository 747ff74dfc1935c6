#include "panes/FileListSort.h"

#include "ftp/PackedDateTime.h"

#include <algorithm>
#include <numeric>

namespace {

int sign(qint64 value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

int compareNames(const FileListSortItem &a, const FileListSortItem &b)
{
    return a.nameRank == b.nameRank ? 0 : (a.nameRank < b.nameRank ? -1 : 1);
}

// Extensions (dot included) without regard to case; names without one come first.
int compareTypes(const FileListSortItem &a, const FileListSortItem &b)
{
    if (a.dot >= 0 && b.dot >= 0)
        return sign(a.name.mid(a.dot).compare(b.name.mid(b.dot), Qt::CaseInsensitive));
    if (b.dot >= 0)
        return -1;
    if (a.dot >= 0)
        return 1;
    return compareNames(a, b);
}

int compareByKey(const FileListSortItem &a, const FileListSortItem &b, int key)
{
    switch (key) {
    case 1:
        return compareTypes(a, b);
    case 2:
        if (a.size != b.size)
            return a.size < b.size ? -1 : 1;
        return compareNames(a, b);
    case 3:
        if (a.dateKey != b.dateKey)
            return a.dateKey < b.dateKey ? -1 : 1;
        return compareNames(a, b);
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
    if (!a.hasRecord || !b.hasRecord)
        return 0;
    if (a.isDirectory != b.isDirectory)
        return a.isDirectory ? -1 : 1;
    const bool descending = sortOrder >= 5;
    const int result = compareByKey(a, b, descending ? sortOrder - 5 : sortOrder);
    return descending ? -result : result;
}

std::vector<int> sortFileListItems(const std::vector<FileListSortItem> &items, int sortOrder)
{
    std::vector<int> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    // Items without a record compare equal to everything, which only a stable sort tolerates.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compareFileListItems(items[size_t(a)], items[size_t(b)], sortOrder) < 0;
    });
    return order;
}
