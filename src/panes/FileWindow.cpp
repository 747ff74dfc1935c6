#include "panes/FileWindow.h"

#include "panes/CommandIds.h"
#include "panes/FileListDelegate.h"
#include "panes/FileListModel.h"
#include "panes/MatchFilter.h"
#include "panes/PaneDrag.h"
#include "panes/PaneImages.h"
#include "panes/Window.h"
#include "platform/SettingsStore.h"
#include "platform/StatusLine.h"
#include "pool/ConnectionManager.h"
#include "settings/SettingsKeys.h"
#include "dialogs/SelectWild.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The status line counts an arriving listing at most this often.
constexpr int StatusIntervalMs = 200;

// The sort key of each column of the details view.
constexpr int columnSortKeys[FileListModel::ColumnCount] = {FileWindow::SortName, FileWindow::SortSize,
                                                            FileWindow::SortDate};

// Extension names match as the settings store matches value names: ASCII letters without regard to case.
QString foldAsciiCase(QString text)
{
    for (QChar &c : text) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return text;
}

// The text after the last dot, the whole name when it has none.
QString extensionOf(const QString &name)
{
    return name.mid(name.lastIndexOf(QLatin1Char('.')) + 1);
}

bool isFileIcon(int icon)
{
    return icon == IconBinaryFile || icon == IconAsciiFile;
}

// Consecutive rows (ascending) as selection ranges of the first column.
QItemSelection rowRanges(const QAbstractItemModel *model, const QList<int> &rows)
{
    QItemSelection ranges;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype last = i;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
            ++last;
        ranges.append(QItemSelectionRange(model->index(rows[i], 0), model->index(rows[last], 0)));
        i = last + 1;
    }
    return ranges;
}

} // namespace

FileWindow::FileWindow(Window *pane, bool showDirectories, int style, QWidget *parent)
    : QWidget(parent), pane_(pane), showDirectories_(showDirectories), style_(style)
{
    columnsPane_ = pane_ ? pane_->paneNumber() : -1;
    columnsWriter_.setSingleShot(true);
    columnsWriter_.setInterval(500);
    connect(&columnsWriter_, &QTimer::timeout, this, &FileWindow::writeColumnWidths);
    model_ = new FileListModel(this);
    if (pane_)
        model_->setDragData(QString::fromLatin1(PaneDrag::Format),
                            [pane = QPointer<Window>(pane_)] { return new PaneDrag(pane); });
    createView();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    // A list is created empty; the view focuses its first item when it first takes the focus.
    setFocusProxy(view_);
}

FileWindow::~FileWindow()
{
    if (columnsWriter_.isActive())
        writeColumnWidths();
}

void FileWindow::createView()
{
    if (style_ == LargeIcons || style_ == SmallIcons || style_ == List)
        createIconView();
    else
        createDetailsView();
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The selection may be dragged onto the other pane; the pane takes the drops (Window).
    view_->setDragEnabled(true);
    view_->setDragDropMode(QAbstractItemView::DragOnly);
    view_->setDefaultDropAction(Qt::CopyAction);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    delegate_ = new FileListDelegate([this](int row) { return mayRename(row); }, view_);
    view_->setItemDelegate(delegate_);
    connect(delegate_, &FileListDelegate::editStarted, this, &FileWindow::labelEditStarted);
    connect(delegate_, &FileListDelegate::editCommitted, this, &FileWindow::labelEdited);
    connect(view_, &QAbstractItemView::customContextMenuRequested, this, &FileWindow::showPopupMenu);
    connect(view_, &QAbstractItemView::doubleClicked, this, &FileWindow::activateSelection);
    view_->installEventFilter(this);
}

void FileWindow::createDetailsView()
{
    auto *tree = new QTreeView(this);
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setUniformRowHeights(true);
    tree->setSortingEnabled(false);
    tree->setAllColumnsShowFocus(true);
    tree->setModel(model_);
    QHeaderView *header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) { SortList(column, true, 0); });
    connect(header, &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { columnResized(column, newSize); });
    // Sizes may grow as items arrive, and the free width changes with the view's.
    connect(model_, &QAbstractItemModel::rowsInserted, this, &FileWindow::fitColumns);
    connect(model_, &QAbstractItemModel::modelReset, this, &FileWindow::fitColumns);
    tree->viewport()->installEventFilter(this);
    view_ = tree;
    showSortIndicator();
    readColumnWidths();
}

void FileWindow::createIconView()
{
    auto *list = new QListView(this);
    list->setModel(model_);
    list->setModelColumn(FileListModel::NameColumn);
    list->setUniformItemSizes(true);
    list->setLayoutMode(QListView::Batched);
    list->setBatchSize(500);
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setWrapping(true);
    const int small = list->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, list);
    if (style_ == LargeIcons) {
        const int large = list->style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, list);
        list->setViewMode(QListView::IconMode);
        list->setIconSize(QSize(large, large));
        list->setGridSize(QSize(large * 3, large + 2 * fontMetrics().height() + 8));
        list->setWordWrap(true);
    } else {
        list->setViewMode(QListView::ListMode);
        list->setIconSize(QSize(small, small));
        list->setFlow(style_ == SmallIcons ? QListView::LeftToRight : QListView::TopToBottom);
    }
    view_ = list;
    metrics_.emplace(list->font());
    for (int c = 0; c < int(advances_.size()); ++c)
        advances_[size_t(c)] = metrics_->horizontalAdvance(QChar(c));
}

QModelIndex FileWindow::indexOf(int row) const
{
    return model_->index(row, FileListModel::NameColumn);
}

// --- Filling -----------------------------------------------------------------------------

int FileWindow::AddListItem(const QString &name, quint64 size, quint32 date, int kind)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return 0;
    if (kind != KindFile && !showDirectories_)
        return 0;
    itemdata record;
    record.date = date;
    record.size = size;
    record.isDirectory = kind != KindFile;
    model_->addItem(iconFor(name, kind), &record, name);
    noteName(name);
    if (model_->heldBack())
        noteArrival();
    return 1;
}

void FileWindow::addNodeItem(const QString &text, int icon, const QString &shown)
{
    model_->addItem(icon, nullptr, text);
    if (!shown.isEmpty() && shown != text)
        model_->setShownText(text, shown);
    noteName(shown.isEmpty() ? text : shown);
}

void FileWindow::ClearList()
{
    model_->clear();
    asciiExtensionsRead_ = false;
    widestName_ = 0;
    if (delegate_)
        delegate_->setNameWidth(0);
}

void FileWindow::startListing()
{
    model_->holdBack();
    arriving_ = 0;
    statusClock_.start();
}

// Every StatusIntervalMs the pool's status line says how many entries have arrived.
int FileWindow::arrivingCount() const
{
    return model_->heldBack() ? arriving_ : 0;
}

void FileWindow::noteArrival()
{
    ++arriving_;
    if (!pane_ || !pane_->pool() || statusClock_.elapsed() < StatusIntervalMs)
        return;
    statusClock_.restart();
    pane_->pool()->status().showStatus(tr("Receiving List: %1 entries").arg(formatSize(quint64(arriving_))));
}

void FileWindow::takeItemsFrom(FileWindow &other)
{
    model_->takeItems(*other.model_);
    other.asciiExtensionsRead_ = false;
    arriving_ = other.arriving_;
    statusClock_ = other.statusClock_;
    measureAllNames();
    fitColumns();
}

int FileWindow::iconFor(const QString &name, int kind)
{
    if (kind == KindLink)
        return IconLink;
    if (kind != KindFile)
        return IconFolder;
    return isAsciiName(name) ? IconAsciiFile : IconBinaryFile;
}

// The ASCII extension list cannot change in the middle of a batch of entries, so it is read
// once for each batch rather than once for each entry.
bool FileWindow::isAsciiName(const QString &name)
{
    if (!asciiExtensionsRead_ || !model_->hasPending()) {
        asciiExtensions_.clear();
        for (const SettingsValue &value : SettingsStore::instance().values(SettingsKeys::Ascii))
            asciiExtensions_.insert(foldAsciiCase(value.name));
        asciiExtensionsRead_ = true;
    }
    return asciiExtensions_.contains(foldAsciiCase(extensionOf(name)));
}

// --- Sorting -----------------------------------------------------------------------------

void FileWindow::SortList(int key, bool toggle, int direction)
{
    if (sortOrder_ > 8)
        sortOrder_ = 0;
    if (direction == 1 && sortOrder_ >= DescendingOffset)
        sortOrder_ -= DescendingOffset;
    else if (direction == 2 && sortOrder_ < DescendingOffset)
        sortOrder_ += DescendingOffset;
    if (toggle) {
        if (key >= 0 && key < FileListModel::ColumnCount) {
            const int columnKey = columnSortKeys[key];
            if (sortOrder_ == columnKey)
                sortOrder_ += DescendingOffset;
            else if (sortOrder_ == columnKey + DescendingOffset)
                sortOrder_ -= DescendingOffset;
            else
                sortOrder_ = columnKey;
        }
    } else if (key >= SortName && key <= SortDate) {
        sortOrder_ = key + (sortOrder_ >= DescendingOffset ? DescendingOffset : 0);
    }
    model_->sortItems(sortOrder_);
    showSortIndicator();
    fitColumns();
}

void FileWindow::showSortIndicator()
{
    auto *tree = qobject_cast<QTreeView *>(view_);
    if (!tree)
        return;
    const bool descending = sortOrder_ >= DescendingOffset;
    const int key = descending ? sortOrder_ - DescendingOffset : sortOrder_;
    const auto column = std::find(std::begin(columnSortKeys), std::end(columnSortKeys), key);
    const int section = column == std::end(columnSortKeys) ? -1 : int(column - std::begin(columnSortKeys));
    tree->header()->setSortIndicator(section, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

// --- Items -------------------------------------------------------------------------------

int FileWindow::itemCount() const
{
    model_->flush();
    return model_->rowCount();
}

QString FileWindow::itemText(int row) const
{
    return row >= 0 && row < itemCount() ? model_->text(row) : QString();
}

int FileWindow::itemIcon(int row) const
{
    return row >= 0 && row < itemCount() ? model_->icon(row) : -1;
}

void FileWindow::setItemIcon(int row, int icon)
{
    if (row >= 0 && row < itemCount())
        model_->setIcon(row, icon);
}

const itemdata *FileWindow::itemData(int row) const
{
    return row >= 0 && row < itemCount() ? model_->record(row) : nullptr;
}

QString FileWindow::sizeText(int row) const
{
    return row >= 0 && row < itemCount() ? model_->sizeText(row) : QString();
}

QString FileWindow::dateText(int row) const
{
    return row >= 0 && row < itemCount() ? model_->dateText(row) : QString();
}

int FileWindow::findItem(const QString &text) const
{
    model_->flush();
    return model_->find(text);
}

void FileWindow::removeItem(int row)
{
    if (row >= 0 && row < itemCount())
        model_->remove(row);
}

void FileWindow::renameItem(int row, const QString &newText)
{
    if (row < 0 || row >= itemCount())
        return;
    model_->rename(row, newText);
    const int widest = widestName_;
    noteName(newText);
    if (widestName_ != widest)
        view_->doItemsLayout();
}

QString FileWindow::formatSize(quint64 size)
{
    return FileListModel::formatSize(size);
}

// --- Selection ---------------------------------------------------------------------------

bool FileWindow::isSelected(int row) const
{
    return row >= 0 && row < itemCount() && view_->selectionModel()->isSelected(indexOf(row));
}

// An item selected while no item has the focus takes it, as it would by a click.
void FileWindow::setSelected(int row, bool selected)
{
    if (row < 0 || row >= itemCount())
        return;
    selectRows({row}, selected);
    QItemSelectionModel *selection = view_->selectionModel();
    if (selected && !selection->currentIndex().isValid())
        selection->setCurrentIndex(indexOf(row), QItemSelectionModel::NoUpdate);
}

void FileWindow::showItem(int row)
{
    if (row < 0 || row >= itemCount())
        return;
    const QModelIndex index = indexOf(row);
    view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
}

QList<int> FileWindow::selectedRows() const
{
    model_->flush();
    QList<int> rows;
    for (const QItemSelectionRange &range : view_->selectionModel()->selection()) {
        if (range.left() > FileListModel::NameColumn)
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int FileWindow::focusedRow() const
{
    model_->flush();
    const QModelIndex current = view_->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

// rows ascending; one selection change for all of them.
void FileWindow::selectRows(const QList<int> &rows, bool select)
{
    if (rows.isEmpty())
        return;
    const QItemSelectionModel::SelectionFlags command =
        (select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows;
    view_->selectionModel()->select(rowRanges(model_, rows), command);
}

void FileWindow::selectAll()
{
    const int count = itemCount();
    if (count == 0)
        return;
    view_->selectionModel()->select(QItemSelection(indexOf(0), indexOf(count - 1)),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void FileWindow::unselectAll()
{
    model_->flush();
    view_->selectionModel()->clearSelection();
}

void FileWindow::invertSelection()
{
    const QList<int> selected = selectedRows();
    const int count = itemCount();
    QList<int> others;
    others.reserve(count - selected.size());
    qsizetype next = 0;
    for (int row = 0; row < count; ++row) {
        if (next < selected.size() && selected[next] == row)
            ++next;
        else
            others.append(row);
    }
    view_->selectionModel()->select(rowRanges(model_, others),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void FileWindow::selectUsingFilter()
{
    auto *dialog = new SelectWild(this, lastFilter_, lastNoWildcards_, lastCaseSensitive_, lastUnselect_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        lastFilter_ = dialog->filter();
        lastNoWildcards_ = dialog->noWildcards();
        lastCaseSensitive_ = dialog->caseSensitive();
        lastUnselect_ = dialog->unselect();
        applyFilter(lastFilter_, lastNoWildcards_, lastCaseSensitive_, lastUnselect_);
    });
    dialog->open();
}

// Matching items are selected (the first of them focused) or, with unselect, deselected; the
// others keep their state.
void FileWindow::applyFilter(const QString &filter, bool noWildcards, bool caseSensitive, bool unselect)
{
    QList<int> matching;
    const int count = itemCount();
    for (int row = 0; row < count; ++row) {
        if (MatchFilter(model_->text(row), filter, noWildcards, caseSensitive))
            matching.append(row);
    }
    selectRows(matching, !unselect);
    if (!unselect && !matching.isEmpty())
        view_->selectionModel()->setCurrentIndex(indexOf(matching.first()), QItemSelectionModel::NoUpdate);
}

void FileWindow::markSelection(int icon)
{
    model_->setIcons(selectedRows(), icon);
}

bool FileWindow::mayRename(int row) const
{
    return !pane_ || pane_->mayRenameListItem(itemText(row), itemData(row) == nullptr);
}

void FileWindow::beginRename()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const QModelIndex index = indexOf(rows.first());
    view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    view_->scrollTo(index);
    view_->setFocus();
    view_->edit(index);
}

// --- Filter matching ---------------------------------------------------------------------

bool FileWindow::MatchFilter(const QString &name, const QString &filter, bool noWildcards, bool caseSensitive)
{
    return matchFilter(name, filter, noWildcards, caseSensitive);
}

// --- Commands ----------------------------------------------------------------------------

bool FileWindow::handleCommand(int id)
{
    switch (id) {
    case Cmd::SelectAll:
        selectAll();
        return true;
    case Cmd::UnselectAll:
        unselectAll();
        return true;
    case Cmd::InvertSelection:
        invertSelection();
        return true;
    case Cmd::SelectUsingFilter:
        selectUsingFilter();
        return true;
    case Cmd::Rename:
        beginRename();
        return true;
    default:
        return false;
    }
}

bool FileWindow::commandState(int id, CommandState &state)
{
    switch (id) {
    case Cmd::SelectAll:
    case Cmd::UnselectAll:
    case Cmd::InvertSelection:
    case Cmd::SelectUsingFilter:
        state.enabled = true;
        return true;
    case Cmd::Rename:
        model_->flush();
        state.enabled = view_->selectionModel()->hasSelection();
        return true;
    default:
        return false;
    }
}

// A command for the pane, which listens to commandRequested.
void FileWindow::sendToPane(int id)
{
    emit commandRequested(id);
}

// Double click and Ctrl+Enter: a file is copied, anything folder-like is opened.
void FileWindow::activateSelection()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    sendToPane(isFileIcon(model_->icon(rows.first())) ? Cmd::Copy : Cmd::Open);
}

void FileWindow::showPopupMenu(const QPoint &position)
{
    if (selectedRows().isEmpty())
        return;
    // No parent: a command may end up destroying this list while the menu is still closing.
    auto *menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [this, menu](const QString &text, int id) {
        connect(menu->addAction(text), &QAction::triggered, this, [this, id] { sendToPane(id); });
    };
    // The keys that run the same commands, in the shortcut column as in the main menus.
    add(QStringLiteral("&Open\tEnter"), Cmd::Open);
    add(QStringLiteral("&Copy\tF8"), Cmd::Copy);
    add(QStringLiteral("&Delete\tDel"), Cmd::Delete);
    menu->addSeparator();
    add(QStringLiteral("Mark As &Binary\tCtrl+B"), Cmd::MarkBinary);
    add(QStringLiteral("Mark As &ASCII\tCtrl+A"), Cmd::MarkAscii);
    add(QStringLiteral("Mark As &Folder\tCtrl+F"), Cmd::MarkFolder);
    menu->popup(view_->viewport()->mapToGlobal(position));
}

// Enter (with or without Ctrl) activates the selection like a double click; the details view's
// columns follow its width.
bool FileWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (view_ && watched == view_->viewport() && event->type() == QEvent::Resize && qobject_cast<QTreeView *>(view_))
        fitColumns();
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // Not the Enter that ends a label edit: that one comes up from the editor, which has the focus.
        if (enter && view_->hasFocus() && !(key->modifiers() & (Qt::AltModifier | Qt::ShiftModifier))) {
            activateSelection();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
