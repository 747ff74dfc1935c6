// DirWindow: the host database below "All Hosts" kept in step with the store, which the host
// commands of any pane and the command-line program change.

#include "panes/DirWindow.h"

#include "panes/DirWindowNode.h"
#include "panes/PaneImages.h"
#include "settings/HostFolders.h"

namespace {

quint32 entryKind(const HostEntry &entry)
{
    return entry.isFolder() ? DirWindow::HostFolder : DirWindow::HostNode;
}

} // namespace

bool DirWindow::holdsHosts(const QTreeWidgetItem *node)
{
    return node && (nodeFlags(node) & (Top | HostFolder));
}

int DirWindow::hostFolderId(const QTreeWidgetItem *node)
{
    return node && (nodeFlags(node) & HostFolder) ? FolderIdOf(nodeName(node)) : 0;
}

QTreeWidgetItem *DirWindow::hostEntryNode(const QString &name) const
{
    QTreeWidgetItem *top = topNode();
    QTreeWidgetItem *found = FindHostNode(top, name);
    return found != top && (nodeFlags(found) & (HostNode | HostFolder)) ? found : nullptr;
}

bool DirWindow::SyncHostEntries(QTreeWidgetItem *container)
{
    if (!holdsHosts(container))
        return false;
    // A folder that is gone from the store (or is no folder now) must not be filled as the top:
    // the whole tree is brought in line, which removes it.
    if ((nodeFlags(container) & HostFolder) && !ReadHostEntry(nodeName(container)).value_or(HostEntry{}).isFolder())
        container = topNode();
    QList<int> openFolders;
    return syncHostEntries(container, hostFolderId(container), HostEntries(), openFolders);
}

// Removes the nodes whose entries are gone (or changed kind), adds the new ones, and goes down
// into the folders; nodes that stay keep their children, so listed directories of a host stay.
bool DirWindow::syncHostEntries(QTreeWidgetItem *node, int folderId, const QList<HostEntry> &entries,
                                QList<int> &openFolders)
{
    bool changed = false;
    openFolders.append(folderId);
    QList<HostEntry> wanted = entries;
    wanted.removeIf([folderId](const HostEntry &entry) { return entry.parent != folderId; });
    for (int i = node->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *child = node->child(i);
        const quint32 kind = nodeFlags(child) & (HostNode | HostFolder);
        if (isPlaceholder(child) || kind == 0)
            continue; // "My Computer"
        const bool kept = std::any_of(wanted.begin(), wanted.end(), [&](const HostEntry &entry) {
            return entry.name == nodeName(child) && entryKind(entry) == kind;
        });
        if (!kept) {
            delete child;
            changed = true;
        }
    }
    bool added = false;
    for (const HostEntry &entry : std::as_const(wanted)) {
        QTreeWidgetItem *child = exactChild(node, entry.name);
        if (!child) {
            added = true;
            if (!entry.isFolder()) {
                addPlaceholder(addNode(node, entry.name, HostData, IconComputer, IconComputer));
                continue;
            }
            child = addNode(node, entry.name, HostFolderData, IconFolder, IconFolderOpen);
        }
        if (entry.isFolder() && entry.canDescend() && !openFolders.contains(entry.folderId))
            changed = syncHostEntries(child, entry.folderId, entries, openFolders) || changed;
    }
    if (added)
        sortNode(node);
    openFolders.removeLast();
    return changed || added;
}

void DirWindow::hostEntryRenamed(const QString &oldName, const QString &newName)
{
    QTreeWidgetItem *node = hostEntryNode(oldName);
    if (!node)
        return;
    node->setText(0, newName);
    if (QTreeWidgetItem *parent = node->parent())
        sortNode(parent);
}
