#include "panes/DirWindow.h"

#include "panes/CommandIds.h"
#include "panes/DirWindowNode.h"
#include "panes/FileWindow.h"
#include "panes/PaneImages.h"
#include "panes/Window.h"
#include "platform/LocalDrives.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"
#include "pool/ListInfo.h"
#include "settings/HostFolders.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>

const QString DirWindow::PlaceholderText = QStringLiteral("***...Filler...***");
const QString DirWindow::AllHosts = QStringLiteral("All Hosts");
const QString DirWindow::MyComputer = QStringLiteral("My Computer");

namespace {

constexpr int FlagsRole = Qt::UserRole;
constexpr int IconRole = Qt::UserRole + 1;
constexpr int SelectedIconRole = Qt::UserRole + 2;

int driveIcon(const Drive &drive)
{
    if (drive.letter == u'C')
        return IconHomeDrive;
    if (drive.letter == u'Z')
        return IconRootDrive;
    switch (drive.type) {
    case Drive::Removable:
        return IconRemovableDrive;
    case Drive::Fixed:
        return IconFixedDrive;
    case Drive::Network:
        return IconNetworkDrive;
    case Drive::CdRom:
        return IconCdDrive;
    }
    return IconFolderPlain;
}

// Depth-first below start for the node named host; host folders are searched, hosts and
// "My Computer" are not entered.
QTreeWidgetItem *hostBelow(QTreeWidgetItem *start, const QString &host)
{
    for (int i = 0; i < start->childCount(); ++i) {
        QTreeWidgetItem *child = start->child(i);
        if (DirWindow::isPlaceholder(child))
            continue;
        if (nodeName(child) == host)
            return child;
        if (!(DirWindow::nodeFlags(child) & DirWindow::ComputerNode) && child->childCount() > 0) {
            if (QTreeWidgetItem *found = hostBelow(child, host))
                return found;
        }
    }
    return nullptr;
}

} // namespace

DirWindow::DirWindow(Window *pane, ConnectionManager *pool, QWidget *parent)
    : QTreeWidget(parent), pane_(pane), pool_(pool)
{
    setColumnCount(1);
    setHeaderHidden(true);
    // The top node cannot be collapsed, so it shows no expand button.
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Labels are edited only through the Rename command.
    setEditTriggers(QAbstractItemView::NoEditTriggers);

    connect(this, &QTreeWidget::currentItemChanged, this, &DirWindow::onCurrentItemChanged);
    connect(this, &QTreeWidget::itemExpanded, this, &DirWindow::onItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &DirWindow::onItemCollapsed);
    connect(this, &QTreeWidget::itemChanged, this, &DirWindow::onItemChanged);
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, &DirWindow::onRowsAboutToBeRemoved);
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] { sweeps_.clear(); });
    connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, &DirWindow::onEditorClosed);
}

DirWindow::~DirWindow()
{
    // The items go with the model after this part of the object is gone: hear nothing of it.
    disconnect(model(), nullptr, this, nullptr);
    disconnect(this, nullptr, this, nullptr);
    if (itemDelegate())
        disconnect(itemDelegate(), nullptr, this, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Node data

quint32 DirWindow::nodeFlags(const QTreeWidgetItem *node)
{
    return node ? node->data(0, FlagsRole).toUInt() : 0;
}

void DirWindow::setNodeFlags(QTreeWidgetItem *node, quint32 flags)
{
    if (nodeFlags(node) != flags || !node->data(0, FlagsRole).isValid())
        node->setData(0, FlagsRole, flags);
}

int DirWindow::nodeIcon(const QTreeWidgetItem *node)
{
    const QVariant icon = node ? node->data(0, IconRole) : QVariant();
    return icon.isValid() ? icon.toInt() : -1;
}

int DirWindow::nodeSelectedIcon(const QTreeWidgetItem *node)
{
    const QVariant icon = node ? node->data(0, SelectedIconRole) : QVariant();
    return icon.isValid() ? icon.toInt() : -1;
}

void DirWindow::setNodeIcons(QTreeWidgetItem *node, int icon, int selectedIcon)
{
    node->setData(0, IconRole, icon);
    node->setData(0, SelectedIconRole, selectedIcon);
    const QTreeWidget *tree = node->treeWidget();
    const bool current = tree && tree->currentItem() == node;
    node->setIcon(0, paneImage(current ? selectedIcon : icon));
}

bool DirWindow::isPlaceholder(const QTreeWidgetItem *node)
{
    // Every real node has pictures; a directory that happens to bear the placeholder's name is
    // therefore still told apart.
    return node && nodeName(node) == PlaceholderText && !node->data(0, IconRole).isValid();
}

QTreeWidgetItem *DirWindow::topNode() const
{
    return topLevelItem(0);
}

QTreeWidgetItem *DirWindow::addNode(QTreeWidgetItem *parent, const QString &text, quint32 flags, int icon,
                                    int selectedIcon)
{
    auto *node = new DirWindowNode(text);
    setNodeFlags(node, flags);
    setNodeIcons(node, icon, selectedIcon);
    parent->addChild(node);
    return node;
}

void DirWindow::addPlaceholder(QTreeWidgetItem *node)
{
    auto *placeholder = new DirWindowNode(PlaceholderText);
    setNodeFlags(placeholder, 0);
    // Never a location: it cannot be selected or made current.
    placeholder->setFlags(Qt::NoItemFlags);
    node->addChild(placeholder);
}

QTreeWidgetItem *DirWindow::exactChild(const QTreeWidgetItem *parent, const QString &text)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem *child = parent->child(i);
        if (nodeName(child) == text && !isPlaceholder(child))
            return child;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The fixed nodes

void DirWindow::BuildRoots()
{
    clear();
    auto *top = new DirWindowNode(AllHosts);
    setNodeFlags(top, TopData);
    setNodeIcons(top, IconFolder, IconFolderOpen);
    addTopLevelItem(top);
    QTreeWidgetItem *computer = addNode(top, MyComputer, MyComputerData, IconComputer, IconComputer);
    AddDrives(computer);
    setExpandedQuietly(top, true);
    AddHostEntries(top, 0);
}

void DirWindow::AddHostEntries(QTreeWidgetItem *parent, int folderId)
{
    QList<int> openFolders;
    addHostEntries(parent, folderId, HostEntries(), openFolders);
}

void DirWindow::addHostEntries(QTreeWidgetItem *parent, int folderId, const QList<HostEntry> &entries,
                               QList<int> &openFolders)
{
    // openFolders holds the folder ids on the way down: a store whose Parent values form a
    // loop would otherwise nest folders without end.
    openFolders.append(folderId);
    for (const HostEntry &entry : entries) {
        if (entry.parent != folderId)
            continue;
        if (!entry.isFolder()) {
            addPlaceholder(addNode(parent, entry.name, HostData, IconComputer, IconComputer));
            continue;
        }
        QTreeWidgetItem *folder = addNode(parent, entry.name, HostFolderData, IconFolder, IconFolderOpen);
        if (entry.canDescend() && !openFolders.contains(entry.folderId))
            addHostEntries(folder, entry.folderId, entries, openFolders);
    }
    openFolders.removeLast();
}

void DirWindow::AddDrives(QTreeWidgetItem *node)
{
    QList<Drive> drives = localDrives();
    std::sort(drives.begin(), drives.end(), [](const Drive &a, const Drive &b) { return a.letter < b.letter; });
    for (const Drive &drive : std::as_const(drives)) {
        if (!QFileInfo(drive.nativeRoot).isDir())
            continue; // a mount point that is gone
        const int icon = driveIcon(drive);
        QTreeWidgetItem *driveNode = addNode(node, QStringLiteral("(%1:)").arg(drive.letter), DriveData, icon, icon);
        driveNode->setData(0, DirWindowNode::LabelRole, driveLabel(drive));
        addPlaceholder(driveNode);
    }
}

// ---------------------------------------------------------------------------------------------
// Locations

DirWindow::Location DirWindow::GetNodeLocation(const QTreeWidgetItem *node) const
{
    Location location;
    if (!node)
        return location;
    QStringList texts;
    const QTreeWidgetItem *at = node;
    while (at && !(nodeFlags(at) & ComputerNode)) {
        texts.prepend(nodeName(at));
        at = at->parent();
    }
    location.path = QStringLiteral("/");
    if (!at)
        return location; // a container above the hosts
    location.host = nodeName(at);
    location.remote = !(nodeFlags(at) & MyComputerNode);
    if (texts.isEmpty())
        return location;
    if (location.remote) {
        location.path = u'/' + texts.join(u'/') + u'/';
        return location;
    }
    // "(C:)" gives "C:": its fourth character goes, then its first.
    QString drive = texts.takeFirst();
    if (drive.size() >= 4)
        drive.remove(3, 1);
    if (drive.startsWith(u'('))
        drive.remove(0, 1);
    location.path = drive + u'/';
    if (!texts.isEmpty())
        location.path += texts.join(u'/') + u'/';
    return location;
}

QTreeWidgetItem *DirWindow::FindHostNode(QTreeWidgetItem *start, const QString &host) const
{
    if (!start)
        return nullptr;
    QTreeWidgetItem *found = hostBelow(start, host);
    return found ? found : start;
}

QTreeWidgetItem *DirWindow::FindPathNode(QTreeWidgetItem *hostNode, const QString &path) const
{
    return nodeAtPath(hostNode, path, false);
}

QTreeWidgetItem *DirWindow::findLocationNode(const QString &host, const QString &path) const
{
    QTreeWidgetItem *top = topNode();
    QTreeWidgetItem *hostNode = FindHostNode(top, host);
    if (!hostNode || hostNode == top || !(nodeFlags(hostNode) & ComputerNode))
        return nullptr;
    return nodeAtPath(hostNode, path, true);
}

// The node below hostNode that the path's components lead to. A component below "My Computer"
// names the drive node "(" component ")". When a component is missing: null if exact, else the
// deepest node found.
QTreeWidgetItem *DirWindow::nodeAtPath(QTreeWidgetItem *hostNode, const QString &path, bool exact) const
{
    if (!hostNode)
        return nullptr;
    QTreeWidgetItem *at = hostNode;
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const bool drive = nodeFlags(at) & MyComputerNode;
        QTreeWidgetItem *next = exactChild(at, drive ? u'(' + part + u')' : part);
        if (!next)
            return exact ? nullptr : at;
        at = next;
    }
    return at;
}

QTreeWidgetItem *DirWindow::EnsureChildNode(QTreeWidgetItem *parent, const QString &name, bool expand,
                                            bool caseSensitive)
{
    if (!parent)
        return nullptr;
    for (int i = parent->childCount() - 1; i >= 0; --i) {
        if (isPlaceholder(parent->child(i)))
            delete parent->takeChild(i);
    }
    // Local names are case-sensitive on this system too: an exact match wins, and a node that is
    // made keeps the case it was typed in.
    QTreeWidgetItem *found = exactChild(parent, name);
    for (int i = 0; !found && !caseSensitive && i < parent->childCount(); ++i) {
        if (nodeName(parent->child(i)).compare(name, Qt::CaseInsensitive) == 0)
            found = parent->child(i);
    }
    if (!found)
        found = addNode(parent, name, PendingData, IconPendingFolder, IconPendingFolderOpen);
    if (expand)
        setExpandedQuietly(parent, true);
    return found;
}

// A local path in the form of the drive nodes: "c:\dos" -> "(c:)/dos", "/temp" -> "(C:)/temp",
// "windows" -> "(C:)/windows" (backslashes are already slashes here).
QString DirWindow::localDriveForm(QString path)
{
    const auto hasDrive = [&path] { return path.size() > 1 && path.at(1) == u':'; };
    if (!path.startsWith(u'/') && !hasDrive())
        path.prepend(u'/');
    if (!hasDrive())
        path.prepend(QStringLiteral("C:"));
    if (!path.startsWith(u'/') && hasDrive()) {
        path.insert(2, u')');
        path.prepend(u'(');
    }
    if (path.size() == 4 || (path.size() > 4 && path.at(4) != u'/'))
        path.insert(4, u'/');
    return path;
}

bool DirWindow::GoToLocation(const QString &host, const QString &path, bool select)
{
    if (host == AllHosts) {
        if (select)
            setCurrentItem(topNode());
        return true;
    }
    QString where = path;
    where.replace(u'\\', u'/');
    const bool local = host == MyComputer;
    if (local)
        where = localDriveForm(where);
    if (where.startsWith(u'/'))
        where.remove(0, 1);

    QTreeWidgetItem *top = topNode();
    QTreeWidgetItem *at = FindHostNode(top, host);
    if (!at || at == top || !(nodeFlags(at) & ComputerNode)) {
        tellUser(tr("Could not find host %1 please check it exists.").arg(host), tr("Error Finding Host"));
        return false;
    }
    const QStringList parts = where.split(u'/', Qt::SkipEmptyParts);
    for (const QString &part : parts)
        at = EnsureChildNode(at, part, select, !local);
    if (select) {
        setCurrentItem(at);
        scrollToItem(at);
    }
    return true;
}

void DirWindow::GoUp()
{
    QTreeWidgetItem *node = currentItem();
    if (!node || node == topNode() || !node->parent())
        return;
    node->setExpanded(false);
    setCurrentItem(node->parent());
}

// ---------------------------------------------------------------------------------------------
// Listing a node

bool DirWindow::ListNode(QTreeWidgetItem *node, FileWindow *list, bool expansion)
{
    // The list moves on to this node: a listing under way for it may no longer fill it. A plain
    // expansion leaves the list alone, so that what it is filling is shown whole.
    if (list)
        list->shownListing = -2;
    if (!node || (!expansion && !list))
        return true;
    if (!list && !isPlaceholder(node->child(0)))
        return true; // already listed
    const Location location = GetNodeLocation(node);
    if (location.host.isEmpty())
        return true;
    if (!location.remote)
        return scanLocal(node, list);
    if (!pool_)
        return false;
    PaneView *requester = list ? static_cast<PaneView *>(pane_) : nullptr;
    ListInfo::ListDirectory(*pool_, location.host, location.path, requester, false, fetch);
    return false;
}

void DirWindow::setExpandedQuietly(QTreeWidgetItem *node, bool expanded)
{
    if (!node || node->isExpanded() == expanded)
        return;
    QScopedValueRollback<bool> quiet(quiet_, true);
    node->setExpanded(expanded);
}

void DirWindow::onItemExpanded(QTreeWidgetItem *node)
{
    if (quiet_ || !node)
        return;
    setNodeFlags(node, nodeFlags(node) & ~StartPathPending);
    const QPersistentModelIndex index(indexFromItem(node));
    if (ListNode(node, nullptr, true))
        return;
    // Refused: the node waits for its listing, which expands it. A listing that came from the
    // cache at once has already replaced the placeholder; the node then stays open.
    QTreeWidgetItem *still = index.isValid() ? itemFromIndex(index) : nullptr;
    if (still && isPlaceholder(still->child(0)))
        setExpandedQuietly(still, false);
}

// A selection on a node that goes, or below it, moves to that node's parent first. The pane shows
// it after the selection delay even after a click: showing it at once would list into the tree
// while it is still being changed.
void DirWindow::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    for (QModelIndex at = currentIndex(); at.isValid(); at = at.parent()) {
        if (at.parent() == parent && at.row() >= start && at.row() <= end) {
            QScopedValueRollback<bool> removing(removing_, true);
            setCurrentIndex(parent);
            break;
        }
    }
    QTreeWidget::rowsAboutToBeRemoved(parent, start, end);
}

void DirWindow::onItemCollapsed(QTreeWidgetItem *node)
{
    if (node && node == topNode())
        setExpandedQuietly(node, true);
}

void DirWindow::onCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous)
{
    if (previous)
        previous->setIcon(0, paneImage(nodeIcon(previous)));
    if (current)
        current->setIcon(0, paneImage(nodeSelectedIcon(current)));
    if (removing_)
        selectedByMouse = false;
    emit selectionChanged(current);
}

void DirWindow::tellUser(const QString &text, const QString &caption)
{
    if (pool_)
        pool_->prompt().message(text, caption, Prompt::Icon::Warning);
    else
        QMessageBox::warning(this, caption, text);
}

QList<DirWindow *> DirWindow::allTrees() const
{
    QList<DirWindow *> trees{const_cast<DirWindow *>(this)};
    for (Window *window : Window::panesOf(pool_))
        if (!trees.contains(window->tree()))
            trees.append(window->tree());
    return trees;
}

// ---------------------------------------------------------------------------------------------
// Input and commands

void DirWindow::keyPressEvent(QKeyEvent *event)
{
    fetch = true;
    selectedByMouse = false;
    QTreeWidget::keyPressEvent(event);
}

void DirWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        // Ctrl+click shows what the cache holds, even an expired copy, without going to the host.
        fetch = !(event->modifiers() & Qt::ControlModifier);
        selectedByMouse = true;
    }
    QTreeWidget::mousePressEvent(event);
}

bool DirWindow::canRename(const QTreeWidgetItem *node)
{
    return node && !isPlaceholder(node) && !(nodeFlags(node) & (Top | MyComputerNode | DriveNode));
}

bool DirWindow::handleCommand(int id)
{
    QTreeWidgetItem *node = currentItem();
    if (id == Cmd::Open) {
        if (node)
            node->setExpanded(true);
        return true;
    }
    if (id == Cmd::Rename) {
        if (canRename(node))
            startLabelEdit(node);
        return true;
    }
    return false;
}

bool DirWindow::commandState(int id, CommandState &state)
{
    if (id == Cmd::Open) {
        state.enabled = currentItem() != nullptr;
        return true;
    }
    if (id == Cmd::Rename) {
        state.enabled = canRename(currentItem());
        return true;
    }
    return false;
}

void DirWindow::startLabelEdit(QTreeWidgetItem *node)
{
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    editing_ = QPersistentModelIndex(indexFromItem(node));
    editingText_ = nodeName(node);
    emit labelEditStarted(node);
    editItem(node, 0);
}

void DirWindow::onItemChanged(QTreeWidgetItem *node, int column)
{
    if (column != 0 || !editing_.isValid() || indexFromItem(node) != editing_)
        return;
    const QString newText = nodeName(node);
    if (newText == editingText_)
        return;
    // The label keeps its old text until the pane has carried the rename out.
    node->setText(0, editingText_);
    const QPersistentModelIndex index = editing_;
    // Told once the editor has closed, so that the pane's messages do not appear over it.
    QTimer::singleShot(0, this, [this, index, newText] {
        if (index.isValid())
            emit labelEdited(itemFromIndex(index), newText);
    });
}

void DirWindow::onEditorClosed()
{
    const QPersistentModelIndex index = editing_;
    editing_ = QPersistentModelIndex();
    if (QTreeWidgetItem *node = index.isValid() ? itemFromIndex(index) : nullptr)
        node->setFlags(node->flags() & ~Qt::ItemIsEditable);
}
