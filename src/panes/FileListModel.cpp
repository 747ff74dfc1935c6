#include "panes/FileListModel.h"

#include "ftp/PackedDateTime.h"
#include "ftp/RemoteName.h"
#include "panes/FileListSort.h"
#include "panes/PaneImages.h"

#include <QHash>

#include <algorithm>
#include <QMetaObject>

namespace {

struct ColumnLook
{
    const char *title;
    Qt::Alignment alignment;
};

constexpr ColumnLook columns[FileListModel::ColumnCount] = {
    {"Name", Qt::AlignLeft | Qt::AlignVCenter},
    {"Size", Qt::AlignRight | Qt::AlignVCenter},
    {"Date", Qt::AlignLeft | Qt::AlignVCenter},
};

// Sorts values and hands each its place in that order; equal values share a place.
template<typename Value, typename Compare, typename Store>
void rankInOrder(std::vector<Value> &values, Compare compare, Store store)
{
    std::sort(values.begin(), values.end(), [&](const Value &a, const Value &b) { return compare(a, b) < 0; });
    quint32 rank = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0 && compare(values[i - 1], values[i]) != 0)
            ++rank;
        store(values[i], rank);
    }
}

} // namespace

FileListModel::FileListModel(QObject *parent) : QAbstractTableModel(parent)
{
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
}

FileListModel::~FileListModel() = default;

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown_);
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == SizeColumn)
            return sizeText(row);
        if (index.column() == DateColumn)
            return dateText(row);
        if (!shownTexts_.isEmpty() && !item(row).hasRecord) {
            if (const auto shown = shownTexts_.constFind(text(row)); shown != shownTexts_.cend())
                return *shown;
        }
        return shownRemoteName(text(row)); // a host's bytes that were no UTF-8 read as Latin-1
    case Qt::EditRole:
        return index.column() == NameColumn ? QVariant(text(row)) : QVariant();
    case Qt::DecorationRole:
        return index.column() == NameColumn ? QVariant(paneImage(icon(row))) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns[index.column()].alignment);
    case IconRole:
        return icon(row);
    default:
        return QVariant();
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(columns[section].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns[section].alignment);
    return QVariant();
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (dragData_)
        result |= Qt::ItemIsDragEnabled;
    if (index.column() == NameColumn)
        result |= Qt::ItemIsEditable;
    return result;
}

QStringList FileListModel::mimeTypes() const
{
    return dragData_ ? QStringList{dragFormat_} : QStringList();
}

QMimeData *FileListModel::mimeData(const QModelIndexList &) const
{
    return dragData_ ? dragData_() : nullptr; // the selection is the pane's, read when dropped
}

void FileListModel::addItem(int icon, const itemdata *record, const QString &text)
{
    Item &added = items_.emplace_back();
    added.icon = icon;
    if (record) {
        added.record = *record;
        added.hasRecord = true;
        largestSize_ = qMax(largestSize_, record->size);
    }
    added.record.name = text;
    forgetRanks();
    if (!held_)
        postFlush();
}

// The view learns of buffered items at the next turn of the event loop at the latest.
void FileListModel::postFlush()
{
    if (flushPosted_)
        return;
    flushPosted_ = true;
    QMetaObject::invokeMethod(this, &FileListModel::flush, Qt::QueuedConnection);
}

void FileListModel::flush()
{
    flushPosted_ = false;
    if (held_ || !hasPending())
        return;
    beginInsertRows(QModelIndex(), 0, int(items_.size() - shown_) - 1);
    shown_ = items_.size();
    endInsertRows();
}

void FileListModel::clear()
{
    beginResetModel();
    items_ = std::vector<Item>();
    shownTexts_.clear();
    shown_ = 0;
    held_ = false;
    largestSize_ = 0;
    forgetRanks();
    endResetModel();
}

void FileListModel::takeItems(FileListModel &other)
{
    other.flush();
    beginResetModel();
    held_ = other.held_;
    shown_ = other.shown_;
    largestSize_ = other.largestSize_;
    items_ = std::move(other.items_);
    shownTexts_ = other.shownTexts_;
    forgetRanks();
    endResetModel();
    other.clear();
    if (hasPending() && !held_)
        postFlush();
}

// Gives every item the place of its name in case-insensitive collation order (equal names share
// a place), so that sorts compare two numbers instead of two names.
void FileListModel::rankNames()
{
    if (namesRanked_)
        return;
    std::vector<Item *> named;
    named.reserve(items_.size());
    for (Item &each : items_)
        named.push_back(&each);
    const auto store = [](Item *each, quint32 rank) { each->nameRank = rank; };
    // The C locale has no collation rules, and its collation keys would not ignore case.
    if (collator_.locale().language() == QLocale::C) {
        std::vector<std::pair<Item *, QString>> folded;
        folded.reserve(named.size());
        for (Item *each : named)
            folded.emplace_back(each, each->record.name.toCaseFolded());
        using Folded = std::pair<Item *, QString>;
        rankInOrder(folded, [](const Folded &a, const Folded &b) { return a.second.compare(b.second); },
                    [&](Folded &each, quint32 rank) { store(each.first, rank); });
    } else {
        for (Item *each : named) {
            if (!each->nameKey)
                each->nameKey = collator_.sortKey(each->record.name);
        }
        rankInOrder(named, [](const Item *a, const Item *b) { return a->nameKey->compare(*b->nameKey); },
                    store);
    }
    namesRanked_ = true;
}

// The same for the extensions (from the last dot, compared without regard to case); names
// without one get 0, ahead of every extension. Listings hold few distinct extensions, so only
// those are sorted.
void FileListModel::rankTypes()
{
    if (typesRanked_)
        return;
    std::vector<std::pair<Item *, QString>> typed;
    QHash<QString, quint32> ranks;
    for (Item &each : items_) {
        const qsizetype dot = each.record.name.lastIndexOf(QLatin1Char('.'));
        each.typeRank = 0;
        if (!each.hasRecord || dot < 0)
            continue;
        typed.emplace_back(&each, QStringView(each.record.name).mid(dot).toString().toCaseFolded());
        ranks.insert(typed.back().second, 0);
    }
    QStringList extensions = ranks.keys();
    std::sort(extensions.begin(), extensions.end());
    for (qsizetype i = 0; i < extensions.size(); ++i)
        ranks[extensions[i]] = quint32(i + 1);
    for (const auto &[item, extension] : typed)
        item->typeRank = ranks.value(extension);
    typesRanked_ = true;
}

void FileListModel::forgetRanks()
{
    namesRanked_ = false;
    typesRanked_ = false;
}

void FileListModel::sortItems(int sortOrder)
{
    held_ = false;
    if (shown_ == 0 && hasPending()) {
        // Nothing shown yet: sort the buffered items where they are, then show them in one step.
        shown_ = items_.size();
        reorder(sortedOrder(sortOrder));
        shown_ = 0;
        flush();
        return;
    }
    flush();
    applyOrder(sortedOrder(sortOrder));
}

// The old rows of the shown items in sorted order.
std::vector<int> FileListModel::sortedOrder(int sortOrder)
{
    rankNames();
    const int key = sortOrder >= 5 ? sortOrder - 5 : sortOrder;
    if (key == 1)
        rankTypes();
    const int count = int(shown_);
    std::vector<FileListSortItem> keys(shown_);
    for (int row = 0; row < count; ++row) {
        const Item &each = item(row);
        FileListSortItem &key = keys[size_t(row)];
        key.hasRecord = each.hasRecord;
        key.isDirectory = each.record.isDirectory;
        key.size = each.record.size;
        key.dateKey = fileListDateKey(each.record.date);
        key.nameRank = each.nameRank;
        key.typeRank = each.typeRank;
    }
    return sortFileListItems(keys, sortOrder);
}

// Puts the shown items in the order, without telling the views.
void FileListModel::reorder(const std::vector<int> &order)
{
    const size_t count = order.size();
    std::vector<Item> sorted(count);
    for (size_t newRow = 0; newRow < count; ++newRow)
        sorted[count - 1 - newRow] = std::move(item(order[newRow]));
    std::move(sorted.begin(), sorted.end(), items_.begin());
}

// order[newRow] is the old row of the item that goes to newRow. Selection and current item stay
// with their items through the persistent indexes.
void FileListModel::applyOrder(const std::vector<int> &order)
{
    const int count = int(order.size());
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    for (int newRow = 0; newRow < count; ++newRow)
        newRowOf[size_t(order[size_t(newRow)])] = newRow;
    reorder(order);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &old : from)
        to.append(index(newRowOf[size_t(old.row())], old.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FileListModel::setIcon(int row, int icon)
{
    item(row).icon = icon;
    const QModelIndex changed = index(row, NameColumn);
    emit dataChanged(changed, changed, {Qt::DecorationRole, IconRole});
}

void FileListModel::setIcons(const QList<int> &rows, int icon)
{
    if (rows.isEmpty())
        return;
    int first = rows.first();
    int last = first;
    for (int row : rows) {
        item(row).icon = icon;
        first = qMin(first, row);
        last = qMax(last, row);
    }
    emit dataChanged(index(first, NameColumn), index(last, NameColumn), {Qt::DecorationRole, IconRole});
}

const itemdata *FileListModel::record(int row) const
{
    const Item &each = item(row);
    return each.hasRecord ? &each.record : nullptr;
}

QString FileListModel::sizeText(int row) const
{
    const Item &each = item(row);
    return each.hasRecord ? formatSize(each.record.size) : QString();
}

QString FileListModel::dateText(int row) const
{
    const Item &each = item(row);
    return each.hasRecord ? formatDate(each.record.date) : QString();
}

int FileListModel::find(const QString &text) const
{
    for (int row = 0; row < int(shown_); ++row) {
        if (item(row).record.name == text)
            return row;
    }
    return -1;
}

void FileListModel::remove(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    items_.erase(items_.begin() + qsizetype(shown_ - 1 - size_t(row)));
    --shown_;
    endRemoveRows();
}

// The listed name follows the text, so that a renamed entry sorts under its new name.
void FileListModel::rename(int row, const QString &text)
{
    Item &each = item(row);
    each.record.name = text;
    each.nameKey.reset();
    forgetRanks();
    emit dataChanged(index(row, NameColumn), index(row, NameColumn), {Qt::DisplayRole, Qt::EditRole});
}

QString FileListModel::formatSize(quint64 size)
{
    QString text = QString::number(size);
    for (qsizetype at = text.size() - 3; at > 0; at -= 3)
        text.insert(at, QLatin1Char(','));
    return text;
}

QString FileListModel::formatDate(quint32 packed)
{
    if (packed == 0)
        return QString();
    using namespace PackedDateTime;
    return QString::asprintf("%02d/%02d/%04d %02d:%02d", month(packed), day(packed), year(packed),
                             hour(packed), minute(packed));
}
