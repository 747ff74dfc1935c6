#include "panes/Window.h"

#include "ftp/ListingEntry.h"
#include "dialogs/Controls.h"
#include "panes/ArrowButton.h"
#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/DirWindowNode.h"
#include "panes/FileWindow.h"
#include "panes/PaneImages.h"
#include "platform/LocalDrives.h"
#include "pool/ConnectionManager.h"
#include "pool/ListInfo.h"
#include "settings/AppValues.h"
#include "settings/HostRecord.h"
#include "settings/LeadingInteger.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QTimer>
#include <QTimerEvent>
#include <QUrl>

namespace {

constexpr int TitleHeight = 17;
constexpr int ArrowSize = 20;
constexpr int ArrowOffset = 23;
constexpr int DividerGrab = 4;

bool stackedPanes = false;

// A stored number, or the default when the value is missing or empty.
int storedNumber(const QString &name, int fallback)
{
    QString text;
    if (GetAppValue(name, text, 100) != 0 || text.isEmpty())
        return fallback;
    return LeadingInteger(text);
}

} // namespace

Window::Window(QWidget *parent, int paneNumber, ConnectionManager *pool)
    : QWidget(parent), pool_(pool), paneNumber_(paneNumber)
{
    const QString n = QString::number(paneNumber);
    showButtons_ = paneNumber == 1 && storedNumber(QStringLiteral("ShowButtons"), 1) != 0;
    showTree_ = storedNumber(QStringLiteral("ShowTree") + n, 0) != 0;
    showTitles_ = storedNumber(QStringLiteral("ShowTitles") + n, 0) != 0;
    showDirs_ = storedNumber(QStringLiteral("ShowDirs") + n, 1) != 0;
    listStyle_ = storedNumber(QStringLiteral("ListStyle") + n, FileWindow::Details);

    // Back from another program (the command-line one, say): show the hosts as the store holds them.
    if (paneNumber == 0) {
        connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                hostEntriesChanged(pool_);
        });
    }

    arrowToFirst_ = new ArrowButton(ArrowButton::Left, this);
    arrowToSecond_ = new ArrowButton(ArrowButton::Right, this);
    arrowToFirst_->setObjectName(QStringLiteral("ctl102"));
    arrowToSecond_->setObjectName(QStringLiteral("ctl103"));
    arrowToFirst_->setToolTip(tr("Copy the selected items to the first pane"));
    arrowToSecond_->setToolTip(tr("Copy the selected items of the first pane here"));
    connect(arrowToFirst_, &QAbstractButton::clicked, this, [this] { handleCommand(ArrowToFirst); });
    connect(arrowToSecond_, &QAbstractButton::clicked, this, [this] { handleCommand(ArrowToSecond); });

    tree_ = new DirWindow(this, pool, this);
    tree_->setObjectName(QStringLiteral("ctl100"));
    connect(tree_, &DirWindow::selectionChanged, this, &Window::onTreeSelectionChanged);
    connect(tree_, &DirWindow::labelEdited, this, &Window::renameTreeNode);
    acceptDropsOn(tree_->viewport());
    createList(listStyle_);
    list_->setSortOrder(storedNumber(QStringLiteral("SortBy") + n, 0));

    treeTitle_ = new QLabel(tr("All Folders"), this);
    treeTitle_->setObjectName(QStringLiteral("ctl403"));
    listTitle_ = new QLabel(tr("Files"), this);
    listTitle_->setObjectName(QStringLiteral("ctl404"));
    for (QLabel *title : {treeTitle_, listTitle_}) {
        title->setFrameShape(QFrame::Panel);
        title->setFrameShadow(QFrame::Sunken);
        title->setTextFormat(Qt::PlainText);
    }
    setMouseTracking(true);

    tree_->BuildRoots();
    tree_->selectedByMouse = true;
    tree_->setCurrentItem(tree_->topNode());
    Layout();
}

Window::~Window()
{
    selectionTimer_.stop();
    const QString n = QString::number(paneNumber_);
    if (paneNumber_ == 1)
        SetAppValue(QStringLiteral("ShowButtons"), QString::number(int(showButtons_)));
    SetAppValue(QStringLiteral("ShowTree") + n, QString::number(int(showTree_)));
    SetAppValue(QStringLiteral("ShowTitles") + n, QString::number(int(showTitles_)));
    SetAppValue(QStringLiteral("ShowDirs") + n, QString::number(int(showDirs_)));
    SetAppValue(QStringLiteral("ListStyle") + n, QString::number(listStyle_));
    SetAppValue(QStringLiteral("SortBy") + n, QString::number(list_->sortOrder()));
    if (pool_)
        pool_->removePane(this);
    // The tree may still report selection changes while it is torn down.
    disconnect(tree_, nullptr, this, nullptr);
}

QString Window::treeTitle() const { return treeTitle_->text(); }
QString Window::listTitle() const { return listTitle_->text(); }
QWidget *Window::arrowToFirst() const { return arrowToFirst_; }
QWidget *Window::arrowToSecond() const { return arrowToSecond_; }

QString Window::currentHost() const
{
    return tree_->GetNodeLocation(tree_->currentItem()).host;
}

QString Window::currentPath() const
{
    return tree_->GetNodeLocation(tree_->currentItem()).path;
}

QString Window::locationText() const
{
    const QTreeWidgetItem *node = tree_->currentItem();
    if (!node)
        return QString();
    const DirWindow::Location location = tree_->GetNodeLocation(node);
    QString text;
    if (location.host.isEmpty())
        text = nodeName(node); // "All Hosts" or a host folder
    else if (location.host == DirWindow::MyComputer && location.path.size() <= 2)
        text = location.host;
    else
        text = location.host + u' ' + location.path;
    return Controls::shown(text);
}

bool Window::panesStacked() { return stackedPanes; }
void Window::setPanesStacked(bool stacked) { stackedPanes = stacked; }

QList<Window *> Window::panesOf(const ConnectionManager *pool)
{
    QList<Window *> panes;
    if (pool) {
        for (PaneView *view : pool->panes())
            if (auto *pane = dynamic_cast<Window *>(view))
                panes.append(pane);
    }
    return panes;
}

QList<Window *> Window::allPanes() const
{
    QList<Window *> panes = panesOf(pool_);
    if (!panes.contains(const_cast<Window *>(this)))
        panes.append(const_cast<Window *>(this));
    return panes;
}

// ---------------------------------------------------------------------------------------------
// Showing a location

void Window::setListTitleFor(const QString &host, const QString &path)
{
    if (host.isEmpty()) {
        listTitle_->setText(tr("Hosts"));
    } else if (host == DirWindow::MyComputer && path.size() <= 2) {
        listTitle_->setText(tr("All Disks"));
    } else {
        QString shown = path;
        if (shown.size() > 3 && shown.endsWith(QLatin1Char('/')))
            shown.chop(1);
        listTitle_->setText(tr("Files in %1 on %2").arg(shown, host));
    }
}

void Window::ShowLocation()
{
    showingHosts_ = true;
    showingFiles_ = false;
    atRoot_ = false;
    list_->shownListing = -2;
    filling_ = false;
    list_->ClearList();

    QTreeWidgetItem *node = tree_->currentItem();
    if (!node)
        return;
    const DirWindow::Location location = tree_->GetNodeLocation(node);
    shownHost_ = location.host;
    shownDirectory_ = location.path;
    setListTitleFor(location.host, location.path);
    if (!location.host.isEmpty()) {
        showingHosts_ = false;
        showingFiles_ = !(location.host == DirWindow::MyComputer && location.path.size() <= 2);
    }
    for (Window *pane : allPanes())
        pane->repaintArrows();

    quint32 flags = DirWindow::nodeFlags(node);
    if (flags & DirWindow::StartPathPending) {
        DirWindow::setNodeFlags(node, flags & ~quint32(DirWindow::StartPathPending));
        QString start;
        if (const std::optional<HostRecord> record = HostRecord::read(location.host))
            start = record->startPath.left(3000);
        if (!start.startsWith(QLatin1Char('/')))
            start.prepend(QLatin1Char('/'));
        if (!start.endsWith(QLatin1Char('/')))
            start.append(QLatin1Char('/'));
        if (start.size() > 2) {
            // Moved once the event that selected the host is over: a mouse press that selected it
            // goes on to select the row it hit, which would take the selection back to the host.
            QTimer::singleShot(0, this, [this, host = location.host, start] {
                for (Window *pane : allPanes())
                    pane->tree_->GoToLocation(host, start, false);
                tree_->selectedByMouse = true;
                tree_->GoToLocation(host, start, true);
            });
            return;
        }
    }
    flags = DirWindow::nodeFlags(node);
    if ((flags & DirWindow::Pending) && DirWindow::nodeIcon(node) == IconPendingFolder)
        DirWindow::setNodeIcons(node, IconFolder, IconFolderOpen);

    if (flags & DirWindow::Container) {
        atRoot_ = node == tree_->topNode();
        // The command-line program may have changed the hosts since they were last shown; the
        // other panes learn of it too.
        if (tree_->SyncHostEntries(node)) {
            hostEntriesChanged(pool_);
            if (tree_->currentItem() != node)
                return; // the folder itself went: its parent is selected and shown instead
        }
        list_->ClearList();
        // Each item goes in at the top: the last child first, so the list reads as the tree does.
        for (int i = node->childCount() - 1; i >= 0; --i) {
            QTreeWidgetItem *child = node->child(i);
            if (!DirWindow::isPlaceholder(child))
                list_->addNodeItem(nodeName(child), DirWindow::nodeIcon(child), child->text(0));
        }
        remote_ = 0;
        repaintArrows();
        emit locationChanged();
        return;
    }
    repaintArrows();
    remote_ = location.remote ? 1 : 0;
    if (location.remote) {
        tree_->ListNode(node, list_, false);
    } else {
        tree_->ScanLocalDirectory(node, list_);
    }
    emit locationChanged();
}

void Window::onTreeSelectionChanged(QTreeWidgetItem *node)
{
    if (!node)
        return;
    const DirWindow::Location location = tree_->GetNodeLocation(node);
    setListTitleFor(location.host, location.path);
    selectionTimer_.stop();
    if (tree_->selectedByMouse) {
        tree_->selectedByMouse = false;
        ShowLocation();
        return;
    }
    selectionTimer_.start(SelectionDelayMs, this);
}

void Window::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != selectionTimer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    selectionTimer_.stop();
    ShowLocation();
}

void Window::refreshCurrentFolder()
{
    QTreeWidgetItem *node = tree_->currentItem();
    if (!node || (DirWindow::nodeFlags(node) & DirWindow::Container))
        return;
    const DirWindow::Location location = tree_->GetNodeLocation(node);
    if (location.host.isEmpty())
        return;
    if (!location.remote)
        tree_->ScanLocalDirectory(node, list_);
    else if (pool_)
        ListInfo::ListDirectory(*pool_, location.host, location.path, this, true, true);
}

void Window::startUpNavigation()
{
    const QString n = QString::number(paneNumber_);
    QString host;
    QString path;
    if (GetAppValue(QStringLiteral("StartHost") + n, host, 2000) != 0
        || GetAppValue(QStringLiteral("StartPath") + n, path, 2000) != 0)
        return;
    if (host.isEmpty() || path.isEmpty() || host == DirWindow::AllHosts)
        return;
    // Every tree holds the same hosts: an unknown one is reported once.
    for (Window *pane : allPanes()) {
        if (pane != this && !pane->tree_->GoToLocation(host, path, false))
            return;
    }
    tree_->GoToLocation(host, path, true);
}

void Window::GoUp()
{
    tree_->selectedByMouse = false;
    tree_->GoUp();
}

void Window::openItem()
{
    const int row = list_->focusedRow();
    if (row < 0)
        return;
    QTreeWidgetItem *node = tree_->currentItem();
    if (!node)
        return;
    const QString name = list_->itemText(row);
    const int icon = list_->itemIcon(row);
    if (icon == IconBinaryFile || icon == IconAsciiFile) {
        const DirWindow::Location location = tree_->GetNodeLocation(node);
        if (!location.remote && location.host == DirWindow::MyComputer) {
            const QString native = toNativePath(location.path + name);
            if (!native.isEmpty())
                QDesktopServices::openUrl(QUrl::fromLocalFile(native));
        } else if (location.remote) {
            copySelection(nullptr, 0); // a host's file is copied: the destination dialog asks where
        }
        return;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem *child = node->child(i);
        if (nodeName(child) == name && !DirWindow::isPlaceholder(child)) {
            tree_->selectedByMouse = true;
            tree_->setCurrentItem(child);
            list_->setFocus();
            return;
        }
    }
}

bool Window::mayRenameListItem(const QString &text, bool nodeCopy) const
{
    if (!showingHosts_ && !showingFiles_)
        return false; // the list shows the drives
    return !(showingHosts_ && nodeCopy && text == DirWindow::MyComputer);
}

// ---------------------------------------------------------------------------------------------
// View styles and layout

void Window::createList(int style)
{
    list_ = new FileWindow(this, showDirs_, style, this);
    list_->setObjectName(QStringLiteral("ctl101"));
    connect(list_, &FileWindow::commandRequested, this, [this](int id) { handleCommand(id); });
    // Carried out once the editor has closed: a rename may refill the list under it.
    connect(list_, &FileWindow::labelEdited, this, [this](int row, const QString &newText) {
        const QString oldText = list_->itemText(row);
        QTimer::singleShot(0, this, [this, oldText, newText] { renameListItem(list_->findItem(oldText), newText); });
    });
    acceptDropsOn(list_->view()->viewport());
    list_->show();
}

void Window::SetListStyle(int style)
{
    FileWindow *old = list_;
    const bool hadFocus = old->isAncestorOf(QApplication::focusWidget());
    listStyle_ = style;
    createList(style);
    list_->setSortOrder(old->sortOrder());
    // A listing on its way into the list keeps coming into the new one: what has arrived moves
    // over. Asking for it again would find its cache file half written.
    const bool arriving = filling_ || (pool_ && pool_->listingUnderWay(old->shownListing));
    if (arriving) {
        list_->takeItemsFrom(*old);
        list_->shownListing = old->shownListing;
    }
    delete old;
    Layout();
    if (hadFocus)
        list_->setFocus();
    if (!arriving)
        refillList();
}

// Fills a new list with what the selected node shows.
void Window::refillList()
{
    QTreeWidgetItem *node = tree_->currentItem();
    if (!node)
        return;
    const DirWindow::Location location = tree_->GetNodeLocation(node);
    if (DirWindow::nodeFlags(node) & DirWindow::Container)
        ShowLocation();
    else if (!location.remote)
        tree_->ScanLocalDirectory(node, list_);
    else if (pool_)
        ListInfo::ListDirectory(*pool_, location.host, location.path, this, false, true);
}

void Window::Layout()
{
    const int W = width();
    const int H = height();
    const int T = treeWidth_;
    int top = 0;
    int left = 0;
    if (showButtons_) {
        if (stackedPanes)
            top = ArrowOffset;
        else
            left = ArrowOffset;
    }
    const int viewTop = showTitles_ ? top + 20 : top;
    const int viewHeight = showTitles_ ? H - 21 - top : H - 1 - top;

    if (!showTree_) {
        tree_->hide();
        treeTitle_->hide();
        listTitle_->setGeometry(left, top, W - left, TitleHeight);
        listTitle_->setVisible(showTitles_);
        list_->setGeometry(left, viewTop, W - left, viewHeight);
    } else {
        treeTitle_->setGeometry(left, top, T - 1 - left, TitleHeight);
        listTitle_->setGeometry(T + 4, top, W - T - 3, TitleHeight);
        treeTitle_->setVisible(showTitles_);
        listTitle_->setVisible(showTitles_);
        tree_->setGeometry(left, viewTop, std::min(T, W) - left, viewHeight);
        tree_->show();
        list_->setGeometry(T + 3, viewTop, W - T - 3, viewHeight);
    }
    list_->show();

    if (!showButtons_) {
        arrowToFirst_->hide();
        arrowToSecond_->hide();
        return;
    }
    const int centre = showTree_ ? T + (W - T) / 2 : W / 2;
    if (stackedPanes) {
        arrowToFirst_->setGeometry(centre - ArrowOffset, 0, ArrowSize, ArrowSize);
        arrowToSecond_->setGeometry(centre + 3, 0, ArrowSize, ArrowSize);
    } else {
        const int middle = H / 2;
        arrowToFirst_->setGeometry(0, middle - ArrowOffset, ArrowSize, ArrowSize);
        arrowToSecond_->setGeometry(0, middle + 3, ArrowSize, ArrowSize);
    }
    arrowToFirst_->show();
    arrowToSecond_->show();
    repaintArrows();
}

void Window::repaintArrows()
{
    arrowToFirst_->setDirection(stackedPanes ? ArrowButton::Up : ArrowButton::Left);
    arrowToSecond_->setDirection(stackedPanes ? ArrowButton::Down : ArrowButton::Right);
    bool firstShowsFiles = showingFiles_;
    for (Window *pane : allPanes())
        if (pane->paneNumber_ == 0)
            firstShowsFiles = pane->showingFiles_;
    const bool greyed = !showingFiles_ || !firstShowsFiles;
    arrowToFirst_->setGreyed(greyed);
    arrowToSecond_->setGreyed(greyed);
}

void Window::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Layout();
}

// ---------------------------------------------------------------------------------------------
// The tree/list divider

int Window::dividerTop() const
{
    int y = 0;
    if (showButtons_ && stackedPanes)
        y += 22;
    if (showTitles_)
        y += 18;
    return y;
}

void Window::mousePressEvent(QMouseEvent *event)
{
    const int x = int(event->position().x());
    if (!showTree_ || event->button() != Qt::LeftButton || x < treeWidth_ || x >= treeWidth_ + DividerGrab) {
        QWidget::mousePressEvent(event);
        return;
    }
    splitDragging_ = true;
    grabMouse();
    dragX_ = treeWidth_;
    showDragBar();
}

void Window::mouseMoveEvent(QMouseEvent *event)
{
    const int x = int(event->position().x());
    if (!splitDragging_) {
        const bool over = showTree_ && x >= treeWidth_ && x < treeWidth_ + DividerGrab;
        setCursor(over ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    dragX_ = std::max(DividerMargin, std::min(x, width() - DividerMargin));
    showDragBar();
}

void Window::mouseReleaseEvent(QMouseEvent *event)
{
    if (!splitDragging_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    splitDragging_ = false;
    releaseMouse();
    treeWidth_ = dragX_;
    dragX_ = -1;
    dragBar_->hide();
    Layout();
}

void Window::showDragBar()
{
    if (!dragBar_) {
        dragBar_ = new QWidget(this);
        dragBar_->setAutoFillBackground(true);
        QPalette palette = dragBar_->palette();
        palette.setColor(QPalette::Window, palette.color(QPalette::Dark));
        dragBar_->setPalette(palette);
    }
    const int top = dividerTop();
    dragBar_->setGeometry(dragX_, top, DividerGrab, height() - top);
    dragBar_->raise();
    dragBar_->show();
}

// ---------------------------------------------------------------------------------------------
// Commands

namespace {

// The sort commands of the "Arrange Icons" menu: (key, direction) for SortList.
struct SortCommand
{
    int id;
    int key;
    int direction;
};
constexpr SortCommand sortCommands[] = {
    {Cmd::ByName, FileWindow::SortName, 0}, {Cmd::ByType, FileWindow::SortType, 0},
    {Cmd::BySize, FileWindow::SortSize, 0}, {Cmd::ByDate, FileWindow::SortDate, 0},
    {Cmd::Descending, FileWindow::KeepKey, 2}, {Cmd::Ascending, FileWindow::KeepKey, 1},
};

const SortCommand *sortCommand(int id)
{
    for (const SortCommand &command : sortCommands)
        if (command.id == id)
            return &command;
    return nullptr;
}

int markIcon(int id)
{
    switch (id) {
    case Cmd::MarkFolder: return IconFolder;
    case Cmd::MarkBinary: return IconBinaryFile;
    case Cmd::MarkAscii: return IconAsciiFile;
    default: return -1;
    }
}

} // namespace

Window *Window::secondPane() const
{
    const QList<Window *> panes = allPanes();
    for (Window *pane : panes)
        if (pane->paneNumber_ == 1)
            return pane;
    return nullptr;
}

bool Window::handleCommand(int id)
{
    if (const SortCommand *sort = sortCommand(id)) {
        list_->SortList(sort->key, false, sort->direction);
        return true;
    }
    if (const int icon = markIcon(id); icon >= 0) {
        if (showingFiles_)
            list_->markSelection(icon);
        return true;
    }
    switch (id) {
    case Cmd::ShowTree:
        showTree_ = !showTree_;
        Layout();
        return true;
    case Cmd::ShowTitles:
        showTitles_ = !showTitles_;
        Layout();
        return true;
    case Cmd::ShowDirectories:
        showDirs_ = !showDirs_;
        list_->setShowDirectories(showDirs_);
        ShowLocation();
        return true;
    case Cmd::ShowTransferButtons:
        if (Window *second = secondPane()) {
            second->showButtons_ = !second->showButtons_;
            second->Layout();
        }
        return true;
    case Cmd::SmallIcons:
        SetListStyle(FileWindow::SmallIcons);
        return true;
    case Cmd::ListView:
        SetListStyle(FileWindow::List);
        return true;
    case Cmd::Details:
        SetListStyle(FileWindow::Details);
        return true;
    case Cmd::GoUp:
        if (!atRoot_)
            GoUp();
        return true;
    case Cmd::RefreshCurrent:
        if (showingFiles_)
            refreshCurrentFolder();
        return true;
    case Cmd::Open:
        openItem();
        return true;
    case Cmd::SelectUsingFilter:
    case Cmd::SelectAll:
    case Cmd::UnselectAll:
    case Cmd::InvertSelection:
        // With the tree focused the selection commands still act on the pane's list.
        return list_->handleCommand(id);
    default:
        return handleOperation(id);
    }
}

bool Window::commandState(int id, CommandState &state)
{
    state = CommandState();
    if (sortCommand(id)) {
        const int order = list_->sortOrder();
        const int key = order >= FileWindow::DescendingOffset ? order - FileWindow::DescendingOffset : order;
        if (id == Cmd::Descending)
            state.checked = order > 4;
        else if (id == Cmd::Ascending)
            state.checked = order < 5;
        else
            state.checked = sortCommand(id)->key == key && order <= 8;
        return true;
    }
    if (markIcon(id) >= 0) {
        state.enabled = showingFiles_;
        return true;
    }
    switch (id) {
    case Cmd::ShowTree: state.checked = showTree_; return true;
    case Cmd::ShowTitles: state.checked = showTitles_; return true;
    case Cmd::ShowDirectories: state.checked = showDirs_; return true;
    case Cmd::ShowTransferButtons: {
        const Window *second = secondPane();
        state.checked = second && second->showButtons_;
        return true;
    }
    case Cmd::SmallIcons: state.checked = listStyle_ == FileWindow::SmallIcons; return true;
    case Cmd::ListView: state.checked = listStyle_ == FileWindow::List; return true;
    case Cmd::Details: state.checked = listStyle_ == FileWindow::Details; return true;
    case Cmd::GoUp: state.enabled = !atRoot_; return true;
    case Cmd::RefreshCurrent: state.enabled = showingFiles_; return true;
    case Cmd::Open: return true;
    case Cmd::SelectUsingFilter:
    case Cmd::SelectAll:
    case Cmd::UnselectAll:
    case Cmd::InvertSelection: return list_->commandState(id, state);
    default: return operationState(id, state);
    }
}

// ---------------------------------------------------------------------------------------------
// Listings and operations reported by the engine

void Window::listingRequested(const QString &host, const QString &directory, int listingId)
{
    list_->shownListing = listingId;
    shownHost_ = host;
    shownDirectory_ = directory;
    filling_ = false; // whatever was arriving is not what the list waits for now
}

bool Window::showsListing(const QString &host, const QString &directory) const
{
    return list_->shownListing != -2 && host == shownHost_ && directory == shownDirectory_;
}

void Window::listingStarted(const QString &host, const QString &directory, int listingId)
{
    tree_->listingStarted(host, directory);
    if (list_->shownListing == listingId && showsListing(host, directory)) {
        list_->ClearList();
        list_->startListing(); // shown once, sorted, when it ends
        filling_ = true;
    }
}

void Window::listingEntry(const QString &host, const QString &directory, const ListingEntry &entry)
{
    tree_->listingEntry(host, directory, entry);
    if (filling_ && showsListing(host, directory))
        list_->AddListItem(entry.name, entry.size, entry.dateTime, int(entry.kind));
}

void Window::listingEnded(const QString &host, const QString &directory, bool complete)
{
    tree_->listingEnded(host, directory, complete);
    if (filling_ && showsListing(host, directory)) {
        filling_ = false;
        list_->SortList(FileWindow::KeepKey, false, 0);
        selectPendingItem();
    }
}

void Window::entryRemoved(const QString &host, const QString &directory, const QString &name)
{
    tree_->directoryRemoved(host, directory, name);
    if (!showsListing(host, directory))
        return;
    if (const int row = list_->findItem(name); row >= 0)
        list_->removeItem(row);
}

void Window::entryRenamed(const QString &host, const QString &directory, const QString &oldName,
                          const QString &newName)
{
    tree_->directoryRenamed(host, directory, oldName, newName);
    if (!showsListing(host, directory))
        return;
    if (const int row = list_->findItem(oldName); row >= 0)
        list_->renameItem(row, newName);
}

void Window::directoryCreated(const QString &host, const QString &parent, const QString &name)
{
    tree_->directoryCreated(host, parent, name);
    if (!showsListing(host, parent) || list_->findItem(name) >= 0)
        return;
    list_->AddListItem(name, 0, 0, FileWindow::KindDirectory);
    list_->SortList(FileWindow::KeepKey, false, 0);
}
