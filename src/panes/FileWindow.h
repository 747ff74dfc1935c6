#pragma once

#include "panes/CommandTarget.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QList>
#include <QModelIndex>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class FileListDelegate;
class FileListModel;
class QAbstractItemView;
class Window;

// What the list keeps of each listed entry (items copied from tree nodes have none).
struct itemdata
{
    quint32 date = 0;   // PackedDateTime; 0 = unknown
    quint64 size = 0;
    QString name;
    bool isDirectory = false; // directories and links
};

// The file list of a pane: the entries of the location shown, with name, size and date, in one of
// four view styles. An item's icon is its type for every command (PaneIcon: 0 binary file, 2 text
// file, others folder-like) and the Mark As commands change it.
//
// Details: Size and Date are as wide as their texts can be, Name takes the rest; a width the user
// drags is kept, and stored for the pane ("ListColumns<pane>": name,size,date; 0 = fitted).
// List and Small Icons size every item for the widest name.
class FileWindow : public QWidget, public CommandTarget
{
    Q_OBJECT
public:
    enum Style { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };
    enum Kind { KindFile = 0, KindDirectory = 1, KindLink = 2 };
    // Sort keys; sortOrder is a key, plus DescendingOffset when descending.
    enum SortKey { SortName = 0, SortType = 1, SortSize = 2, SortDate = 3, KeepKey = 5 };
    static constexpr int DescendingOffset = 5;

    // pane may be null (tests): then commands meant for the pane go out through commandRequested only.
    FileWindow(Window *pane, bool showDirectories, int style, QWidget *parent = nullptr);
    ~FileWindow() override;

    // Adds an entry in front of every item already there; returns 0 when it is not shown ("." and
    // "..", and folders while directories are hidden), else 1. Items added in a row are placed
    // in one step when the list is next read, shown or sorted.
    int AddListItem(const QString &name, quint64 size, quint32 date, int kind);
    // Adds a copy of a tree node (text and icon, no itemdata) in front of every item.
    // shown, when given, is what the item shows instead of its text.
    void addNodeItem(const QString &text, int icon, const QString &shown = QString());
    void ClearList();
    // A listing starts arriving: its items wait out of sight, counted in the pool's status line,
    // until SortList shows them, sorted, in one step.
    void startListing();
    // Items of the listing under way that have arrived and wait to be shown.
    int arrivingCount() const;
    // Takes over the items of another list (a list replaced by one of another style).
    void takeItemsFrom(FileWindow &other);
    // key 0..3, or 5 to keep the key; toggle: key is a column index (header click);
    // direction 0 keep, 1 ascending, 2 descending.
    void SortList(int key, bool toggle, int direction);

    int sortOrder() const { return sortOrder_; }
    void setSortOrder(int order) { sortOrder_ = order; }
    bool showDirectories() const { return showDirectories_; }
    void setShowDirectories(bool show) { showDirectories_ = show; }
    int style() const { return style_; }

    // The listing this list waits for or shows; -2 when it has moved on.
    int shownListing = -2;

    // Items in display order.
    int itemCount() const;
    QString itemText(int row) const;
    int itemIcon(int row) const;
    void setItemIcon(int row, int icon);
    const itemdata *itemData(int row) const; // null for node copies
    QString sizeText(int row) const;
    QString dateText(int row) const;
    bool isSelected(int row) const;
    void setSelected(int row, bool selected);
    // Makes the row the only selected one, with the focus, scrolled into view.
    void showItem(int row);
    QList<int> selectedRows() const;  // ascending
    int focusedRow() const;           // -1 when none
    // The row of the item with this text, -1 when none.
    int findItem(const QString &text) const;
    void removeItem(int row);
    void renameItem(int row, const QString &newText);

    // Selection commands.
    void selectAll();
    void unselectAll();
    void invertSelection();
    // Opens "Select Using Filter" and applies it.
    void selectUsingFilter();
    // Applies a filter as the dialog's OK does.
    void applyFilter(const QString &filter, bool noWildcards, bool caseSensitive, bool unselect);
    // Every selected item's icon becomes icon (Mark As).
    void markSelection(int icon);
    // Starts in-place editing of the first selected item's label, unless the pane refuses it.
    void beginRename();
    bool mayRename(int row) const;

    static bool MatchFilter(const QString &name, const QString &filter, bool noWildcards, bool caseSensitive);
    // Thousands separators: 1000 -> "1,000".
    static QString formatSize(quint64 size);

    QAbstractItemView *view() const { return view_; }

    // The pane whose stored column widths the details view uses (the pane's own by default; -1
    // none), read again at once.
    void setColumnsPane(int paneNumber);
    // The widths of the details view's columns the user set; 0 where the width is fitted.
    std::array<int, 3> userColumnWidths() const { return userWidths_; }

    bool handleCommand(int id) override;
    bool commandState(int id, CommandState &state) override;

signals:
    // A command for the pane: Open or Copy (double click, Ctrl+Enter) or a popup menu item.
    void commandRequested(int id);
    // In-place editing of a label started / ended with a new text (the pane finishes renames).
    void labelEditStarted(int row);
    void labelEdited(int row, const QString &newText);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createView();
    void createDetailsView();
    void createIconView();
    void showPopupMenu(const QPoint &position);
    void sendToPane(int id);
    void activateSelection();
    void showSortIndicator();
    int iconFor(const QString &name, int kind);
    bool isAsciiName(const QString &name);
    void selectRows(const QList<int> &rows, bool select);
    QModelIndex indexOf(int row) const;
    void noteArrival();
    // Details columns.
    void readColumnWidths();
    void writeColumnWidths();
    void fitColumns();
    int fittedWidth(int column) const;
    void columnResized(int column, int newSize);
    // List and Small Icons: the widest name so far, in pixels.
    bool sizesItemsByName() const { return style_ == List || style_ == SmallIcons; }
    int measureName(const QString &name) const;
    void noteName(const QString &name);
    void measureAllNames();

    Window *pane_;
    bool showDirectories_;
    int style_;
    int sortOrder_ = 0;
    FileListModel *model_ = nullptr;
    QAbstractItemView *view_ = nullptr;
    FileListDelegate *delegate_ = nullptr;
    // Items of the listing arriving, and when the status line last counted them.
    int arriving_ = 0;
    QElapsedTimer statusClock_;
    int columnsPane_ = -1;
    std::array<int, 3> userWidths_{};
    bool fittingColumns_ = false;
    QTimer columnsWriter_;
    // Advances of the Latin-1 characters in the view's font, for measuring names quickly.
    std::array<int, 256> advances_{};
    std::optional<QFontMetrics> metrics_;
    int widestName_ = 0;
    // Extensions transferred as text (lower case), read once for each batch of added entries.
    QSet<QString> asciiExtensions_;
    bool asciiExtensionsRead_ = false;
    // The last filter chosen in "Select Using Filter", offered again at the next opening.
    QString lastFilter_;
    bool lastNoWildcards_ = false;
    bool lastCaseSensitive_ = false;
    bool lastUnselect_ = false;
};
