// The location tree kept in step with directory contents: host listings (live or from the
// cache), scans of local directories and the changes operations report.
#include "panes/DirWindow.h"
#include "panes/DirWindowNode.h"

#include "ftp/ListingEntry.h"
#include "panes/FileWindow.h"
#include "panes/LocalScan.h"
#include "panes/PaneImages.h"
#include "platform/LocalDrives.h"

#include <optional>

namespace {

QString sweepKey(const QString &host, const QString &directory)
{
    return host + u'\n' + directory;
}

bool isNodeName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/');
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Mark and sweep

QHash<QString, QTreeWidgetItem *> DirWindow::childrenByText(const QTreeWidgetItem *node)
{
    QHash<QString, QTreeWidgetItem *> children;
    children.reserve(node->childCount());
    // Backwards, so that of two equal texts the first child wins.
    for (int i = node->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *child = node->child(i);
        if (!isPlaceholder(child))
            children.insert(nodeName(child), child);
    }
    return children;
}

void DirWindow::clearSeen(QTreeWidgetItem *node)
{
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem *child = node->child(i);
        setNodeFlags(child, nodeFlags(child) & ~Seen);
    }
}

// Marks a child met in a listing or scan. A node made by Go To becomes a plain directory; true
// when that node has no children yet, so that the caller decides on its placeholder.
bool DirWindow::markSeen(QTreeWidgetItem *node, int icon)
{
    const quint32 flags = nodeFlags(node);
    setNodeFlags(node, (flags & ~Pending) | Seen);
    if ((flags & Pending) || nodeIcon(node) != icon)
        setNodeIcons(node, icon, IconFolderOpen);
    // A pending node with no children wants a placeholder so that it can be opened, unless its
    // own listing already opened it (empty): there the placeholder would show.
    return (flags & Pending) && node->childCount() == 0 && !node->isExpanded();
}

void DirWindow::removeUnseenChildren(QTreeWidgetItem *node)
{
    // From the back, so that removing one child moves as few others as possible.
    for (int i = node->childCount() - 1; i >= 0; --i) {
        if (!(nodeFlags(node->child(i)) & Seen))
            delete node->takeChild(i);
    }
}

void DirWindow::sortNode(QTreeWidgetItem *node)
{
    for (int i = 1; i < node->childCount(); ++i) {
        if (*node->child(i) < *node->child(i - 1)) {
            node->sortChildren(0, Qt::AscendingOrder);
            return;
        }
    }
}

void DirWindow::onRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    // A listing under way keeps its children by name: forget the ones that go.
    for (Sweep &sweep : sweeps_) {
        if (!sweep.node.isValid() || sweep.node != parent)
            continue;
        const QTreeWidgetItem *node = itemFromIndex(parent);
        for (int row = first; row <= last; ++row) {
            QTreeWidgetItem *child = node->child(row);
            const auto found = sweep.children.find(nodeName(child));
            if (found != sweep.children.end() && found.value() == child)
                sweep.children.erase(found);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Host listings

void DirWindow::listingStarted(const QString &host, const QString &directory)
{
    const QString key = sweepKey(host, directory);
    sweeps_.remove(key);
    QTreeWidgetItem *node = findLocationNode(host, directory);
    if (!node)
        return;
    clearSeen(node);
    Sweep sweep;
    sweep.node = QPersistentModelIndex(indexFromItem(node));
    sweep.children = childrenByText(node);
    sweeps_.insert(key, sweep);
}

void DirWindow::listingEntry(const QString &host, const QString &directory, const ListingEntry &entry)
{
    if (entry.kind == ListingEntry::File || !isNodeName(entry.name))
        return;
    const auto found = sweeps_.find(sweepKey(host, directory));
    if (found == sweeps_.end())
        return;
    Sweep &sweep = found.value();
    QTreeWidgetItem *node = sweep.node.isValid() ? itemFromIndex(sweep.node) : nullptr;
    if (!node)
        return; // the node left the tree while its listing was arriving
    if (!sweep.placeholderRemoved) {
        sweep.placeholderRemoved = true;
        for (int i = node->childCount() - 1; i >= 0; --i) {
            if (isPlaceholder(node->child(i)))
                delete node->takeChild(i);
        }
    }
    const int icon = entry.kind == ListingEntry::Link ? IconLink : IconFolder;
    if (QTreeWidgetItem *child = sweep.children.value(entry.name)) {
        if (markSeen(child, icon))
            addPlaceholder(child);
        return;
    }
    QTreeWidgetItem *child = addNode(node, entry.name, DirectoryData, icon, IconFolderOpen);
    addPlaceholder(child); // a host directory is listed when it is opened
    sweep.children.insert(entry.name, child);
}

void DirWindow::listingEnded(const QString &host, const QString &directory, bool complete)
{
    const auto found = sweeps_.find(sweepKey(host, directory));
    if (found == sweeps_.end())
        return;
    const QPersistentModelIndex index = found.value().node;
    sweeps_.erase(found);
    QTreeWidgetItem *node = index.isValid() ? itemFromIndex(index) : nullptr;
    if (!node)
        return;
    if (complete) {
        removeUnseenChildren(node); // gone from the host; a placeholder left over goes too
    } else {
        // A listing that broke off says nothing about what it did not reach: keep those nodes.
        for (int i = 0; i < node->childCount(); ++i) {
            QTreeWidgetItem *child = node->child(i);
            if (!isPlaceholder(child) && !(nodeFlags(child) & Pending))
                setNodeFlags(child, nodeFlags(child) | Seen);
        }
    }
    sortNode(node);
    if (!isPlaceholder(node->child(0)))
        setExpandedQuietly(node, true);
}

// ---------------------------------------------------------------------------------------------
// Changes made by operations

void DirWindow::directoryRemoved(const QString &host, const QString &directory, const QString &name)
{
    QTreeWidgetItem *node = findLocationNode(host, directory);
    if (QTreeWidgetItem *child = node ? exactChild(node, name) : nullptr)
        delete child;
}

void DirWindow::directoryRenamed(const QString &host, const QString &directory, const QString &oldName,
                                 const QString &newName)
{
    if (oldName == newName || !isNodeName(newName))
        return;
    QTreeWidgetItem *node = findLocationNode(host, directory);
    QTreeWidgetItem *child = node ? exactChild(node, oldName) : nullptr;
    if (!child)
        return;
    child->setText(0, newName);
    const QModelIndex parent = indexFromItem(node);
    for (Sweep &sweep : sweeps_) {
        if (sweep.node == parent && sweep.children.value(oldName) == child) {
            sweep.children.remove(oldName);
            sweep.children.insert(newName, child);
        }
    }
    sortNode(node);
}

void DirWindow::directoryCreated(const QString &host, const QString &parent, const QString &name)
{
    QTreeWidgetItem *node = findLocationNode(host, parent);
    // A directory not listed yet shows the new one when it is listed.
    if (!node || !isNodeName(name) || exactChild(node, name) || isPlaceholder(node->child(0)))
        return;
    QTreeWidgetItem *child = addNode(node, name, DirectoryData, IconFolder, IconFolderOpen);
    if (host != MyComputer)
        addPlaceholder(child); // a new local directory is empty; a host's is listed when opened
    sortNode(node);
}

// ---------------------------------------------------------------------------------------------
// Local directories

void DirWindow::ScanLocalDirectory(QTreeWidgetItem *node, FileWindow *list)
{
    scanLocal(node, list);
}

// False when the directory could not be read (the user has been told); its node is unchanged.
bool DirWindow::scanLocal(QTreeWidgetItem *node, FileWindow *list)
{
    if (list)
        list->ClearList();
    const Location location = GetNodeLocation(node);
    if (!node || location.remote || location.host.isEmpty())
        return false;
    QString path = location.path;
    if (path.endsWith(u'/'))
        path.chop(1);
    if (path.isEmpty()) {
        // "My Computer" itself: its children are the drives, which no scan replaces.
        if (list)
            list->SortList(FileWindow::KeepKey, false, 0);
        return true;
    }
    const QString native = toNativePath(path + u'/');
    switch (LocalScan::stateOf(native)) {
    case LocalScan::State::Missing:
        tellUser(tr("Couldn't find directory"), tr("Error"));
        return false;
    case LocalScan::State::Unreadable:
        tellUser(tr("Couldn't read directory"), tr("Error"));
        return false;
    case LocalScan::State::Directory:
        break;
    }
    applyLocalEntries(node, location.path, native, list);
    return true;
}

void DirWindow::applyLocalEntries(QTreeWidgetItem *node, const QString &path, const QString &nativeDirectory,
                                  FileWindow *list)
{
    // This node and the node of the same directory in every other pane's tree, with their
    // children by name; a tree that does not hold the directory is left alone.
    struct Target
    {
        QTreeWidgetItem *node;
        QHash<QString, QTreeWidgetItem *> children;
    };
    QList<Target> targets;
    for (DirWindow *tree : allTrees()) {
        QTreeWidgetItem *same = tree == this ? node : tree->findLocationNode(MyComputer, path);
        if (same) {
            clearSeen(same);
            targets.append({same, childrenByText(same)});
        }
    }
    bool expanded = false;
    const QList<LocalScan::Entry> entries = LocalScan::entries(nativeDirectory);
    for (const LocalScan::Entry &entry : entries) {
        if (list)
            list->AddListItem(entry.name, entry.size, entry.date,
                              entry.isDirectory ? FileWindow::KindDirectory : FileWindow::KindFile);
        if (!entry.isDirectory)
            continue;
        std::optional<bool> openable; // asked at most once per directory
        for (Target &target : targets) {
            QTreeWidgetItem *child = target.children.value(entry.name);
            const bool decide = child ? markSeen(child, IconFolder) : true;
            if (!child) {
                child = addNode(target.node, entry.name, DirectoryData, IconFolder, IconFolderOpen);
                target.children.insert(entry.name, child);
            }
            if (decide && !openable)
                openable = LocalScan::hasVisibleSubdirectory(nativeDirectory + entry.name + u'/');
            if (decide && *openable)
                addPlaceholder(child);
        }
        if (!list && !expanded) {
            expanded = true;
            setExpandedQuietly(node, true);
        }
    }
    for (const Target &target : std::as_const(targets)) {
        removeUnseenChildren(target.node); // vanished from the disk; placeholders go as well
        sortNode(target.node);
    }
    if (list)
        list->SortList(FileWindow::KeepKey, false, 0);
}
