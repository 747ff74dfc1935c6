#pragma once

#include "panes/FileWindow.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <QCollatorSortKey>
#include <QHash>

#include <functional>
#include <optional>
#include <vector>

// The items of a file list: icon, text and, for listed entries, their itemdata. Built for long
// listings: items added in a row wait in a buffer and join the list in one insertion (the next
// turn of the event loop, or sooner when the list is read through flush()); display texts are
// made when asked for; a sort compares names and extensions by their places among all names and
// extensions, worked out once for each set of names.
//
// Items are stored newest first from the end: display row r is items_[shown_ - 1 - r], so
// putting an item before all others is an append.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn = 0, SizeColumn = 1, DateColumn = 2, ColumnCount = 3 };
    // The item's icon index as an int.
    static constexpr int IconRole = Qt::UserRole + 1;

    explicit FileListModel(QObject *parent = nullptr);
    ~FileListModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    // Items may be dragged; what a drag carries comes from make.
    void setDragData(const QString &format, std::function<QMimeData *()> make)
    {
        dragFormat_ = format;
        dragData_ = std::move(make);
    }

    // Puts an item before every item there (once flushed). record is null for tree-node copies.
    void addItem(int icon, const itemdata *record, const QString &text);
    // A tree-node copy shows this instead of its text (a drive: "Home (C:)" for "(C:)").
    void setShownText(const QString &text, const QString &shown) { shownTexts_.insert(text, shown); }
    // Items added but not yet in the list.
    bool hasPending() const { return items_.size() > shown_; }
    // Places the buffered items before all others in one insertion (not while held back).
    void flush();
    // Items added from now on wait out of the list until the next sortItems() or clear(): an
    // arriving listing joins the list once, sorted.
    void holdBack() { held_ = true; }
    bool heldBack() const { return held_; }
    // The largest size of the listed entries (buffered ones included).
    quint64 largestSize() const { return largestSize_; }
    void clear();
    // Takes over every item of other, in its order; other is left empty.
    void takeItems(FileListModel &other);
    // Stable sort by a sort order of the list (key, plus 5 when descending). Buffered items join
    // the list first; into an empty list they go in one insertion, already sorted.
    void sortItems(int sortOrder);

    QString text(int row) const { return item(row).record.name; }
    int icon(int row) const { return item(row).icon; }
    void setIcon(int row, int icon);
    // Gives every row in rows the icon, with one change notification.
    void setIcons(const QList<int> &rows, int icon);
    const itemdata *record(int row) const;
    QString sizeText(int row) const;
    QString dateText(int row) const;
    int find(const QString &text) const;
    // Calls visit with the text of every item, buffered ones included.
    void forEachText(const std::function<void(const QString &)> &visit) const
    {
        for (const Item &each : items_)
            visit(each.record.name);
    }
    void remove(int row);
    void rename(int row, const QString &text);

    static QString formatSize(quint64 size);
    // "MM/DD/YYYY HH:MM", empty for 0.
    static QString formatDate(quint32 packed);

private:
    QString dragFormat_;
    std::function<QMimeData *()> dragData_;

    struct Item
    {
        itemdata record; // name is the item's text; the other fields count only with hasRecord
        int icon = 0;
        bool hasRecord = false;
        quint32 nameRank = 0; // see rankNames()
        quint32 typeRank = 0; // see rankTypes()
        std::optional<QCollatorSortKey> nameKey; // made at the first sort, unless the locale is C
    };

    Item &item(int row) { return items_[shown_ - 1 - size_t(row)]; }
    const Item &item(int row) const { return items_[shown_ - 1 - size_t(row)]; }
    void postFlush();
    void rankNames();
    void rankTypes();
    void forgetRanks();
    std::vector<int> sortedOrder(int sortOrder);
    void applyOrder(const std::vector<int> &order);
    void reorder(const std::vector<int> &order);

    std::vector<Item> items_;
    QHash<QString, QString> shownTexts_; // few: only node copies have one
    size_t shown_ = 0;        // items_[0, shown_) are in the list; the rest wait for flush()
    bool flushPosted_ = false;
    bool held_ = false;
    quint64 largestSize_ = 0;
    bool namesRanked_ = false;
    bool typesRanked_ = false;
    QCollator collator_;
};
