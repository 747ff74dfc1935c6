// Window: the commands that change the host database — a new host folder (or, on a location, a
// new directory), a new host, the host's options, and the removal of a host or an empty folder —
// and keeping every pane's tree and list in step with them.

#include "panes/Window.h"

#include "dialogs/CreateDirectoryDialog.h"
#include "dialogs/DialogRunner.h"
#include "dialogs/DirectoryNameDialog.h"
#include "dialogs/HostFolderDialog.h"
#include "dialogs/HostOptionsSheet.h"
#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/DirWindowNode.h"
#include "panes/FileWindow.h"
#include "platform/LocalDrives.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/HostFolders.h"
#include "settings/HostKeys.h"
#include "settings/SettingsKeys.h"

#include <QFile>
#include <QPointer>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

// Makes one local directory; empty when done, else the system's reason.
QString makeLocalDirectory(const QString &nativePath)
{
    if (::mkdir(QFile::encodeName(nativePath).constData(), 0777) == 0)
        return QString();
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool Window::handleHostCommand(int id)
{
    if (!pool_)
        return false;
    switch (id) {
    case Cmd::NewFolder:
        createHostFolder();
        return true;
    case Cmd::NewHost:
        createHost();
        return true;
    case Cmd::HostOptions:
        editHostOptions();
        return true;
    default:
        return false;
    }
}

bool Window::hostCommandState(int id, CommandState &state)
{
    const QTreeWidgetItem *node = tree_->currentItem();
    switch (id) {
    case Cmd::NewFolder: state.enabled = DirWindow::holdsHosts(node) || showingFiles_; return true;
    case Cmd::NewHost: state.enabled = DirWindow::holdsHosts(node); return true;
    case Cmd::HostOptions: state.enabled = !optionsHost().isEmpty(); return true;
    default: return false;
    }
}

// ---------------------------------------------------------------------------------------------
// New folder, new directory

void Window::createHostFolder()
{
    QTreeWidgetItem *node = tree_->currentItem();
    if (!DirWindow::holdsHosts(node)) {
        createDirectory();
        return;
    }
    const int parent = DirWindow::hostFolderId(node);
    HostFolderDialog dialog(window());
    if (DialogRunner::current().run(dialog) != QDialog::Accepted || dialog.name().isEmpty())
        return;
    const QString name = dialog.name();
    const QString caption = tr("Error Creating Folder");
    if (SettingsStore::instance().keyExists(SettingsKeys::hostKey(name))
        || name.compare(SettingsKeys::MyComputer, Qt::CaseInsensitive) == 0) {
        pool_->prompt().message(tr("Folder must have a unique name throughout the system.  It can not be the same as "
                                   "any host or any other folder"),
                                caption, Prompt::Icon::None);
        return;
    }
    if (const QString problem = HostNameProblem(name); !problem.isEmpty()) {
        pool_->prompt().message(problem, caption, Prompt::Icon::Warning);
        return;
    }
    if (!CreateHostEntry(name, parent, NextFolderId())) {
        pool_->prompt().message(tr("The folder could not be stored (error %1).").arg(SettingsStore::instance().lastError()),
                                caption, Prompt::Icon::Warning);
        return;
    }
    hostEntriesChanged(pool_);
}

// A directory in the folder shown, on a host or on a local disk.
void Window::createDirectory()
{
    const QString host = currentHost();
    const QString path = currentPath();
    if (host.isEmpty() || !showingFiles_)
        return; // "All Disks" holds drives, not directories
    DirectoryNameDialog dialog(window(), path, pool_->prompt());
    if (DialogRunner::current().run(dialog) != QDialog::Accepted)
        return;
    const QString name = dialog.name();
    if (host != DirWindow::MyComputer) {
        // The host's answer adds the directory to every pane (directoryCreated).
        CreateDirectoryDialog::start(window(), *pool_, host, path + name);
        return;
    }
    const QString native = toNativePath(path);
    const QString reason = native.isEmpty() ? tr("%1 is on no drive of this computer.").arg(path)
                                            : makeLocalDirectory(native + name);
    if (!reason.isEmpty()) {
        pool_->prompt().message(tr("Could not create the directory %1: %2").arg(name, reason),
                                tr("Error Creating Directory"), Prompt::Icon::Warning);
        return;
    }
    for (Window *pane : panesOf(pool_))
        pane->tree_->directoryCreated(host, path, name);
    refreshPanesShowing(pool_, host, path);
}

// ---------------------------------------------------------------------------------------------
// New host, host options

void Window::createHost()
{
    QTreeWidgetItem *node = tree_->currentItem();
    if (!DirWindow::holdsHosts(node))
        return;
    const QString name = NewHostName();
    if (!CreateHostEntry(name, DirWindow::hostFolderId(node))) {
        pool_->prompt().message(tr("The host could not be stored (error %1).").arg(SettingsStore::instance().lastError()),
                                tr("Error"), Prompt::Icon::Warning);
        return;
    }
    QPointer<ConnectionManager> pool(pool_);
    HostOptionsSheet sheet(window(), name, pool_->prompt(), [pool](const QString &oldName, const QString &newName) {
        hostRenamed(pool, oldName, newName);
    });
    DialogRunner::current().run(sheet);
    // Nothing applied: the key holds its Parent only.
    DiscardUnappliedHost(name);
    hostEntriesChanged(pool);
}

void Window::editHostOptions()
{
    const QString host = optionsHost();
    if (host.isEmpty())
        return;
    QPointer<ConnectionManager> pool(pool_);
    HostOptionsSheet sheet(window(), host, pool_->prompt(), [pool](const QString &oldName, const QString &newName) {
        hostRenamed(pool, oldName, newName);
    });
    DialogRunner::current().run(sheet);
}

QString Window::optionsHost() const
{
    const QString host = currentHost();
    if (!host.isEmpty() && host != DirWindow::MyComputer)
        return host;
    if (!showingHosts_)
        return QString();
    const QList<int> rows = list_->selectedRows();
    if (rows.isEmpty())
        return QString();
    const QTreeWidgetItem *node = tree_->hostEntryNode(list_->itemText(rows.first()));
    return node && (DirWindow::nodeFlags(node) & DirWindow::HostNode) ? nodeName(node) : QString();
}

// ---------------------------------------------------------------------------------------------
// Removal

void Window::removeHostEntry()
{
    QTreeWidgetItem *current = tree_->currentItem();
    if (!current)
        return;
    const quint32 kinds = DirWindow::HostNode | DirWindow::HostFolder;
    QTreeWidgetItem *target = nullptr;
    if ((DirWindow::nodeFlags(current) & kinds) && tree_->hasFocus()) {
        target = current;
    } else if (DirWindow::holdsHosts(current)) {
        const QList<int> rows = list_->selectedRows();
        if (rows.isEmpty())
            return;
        QTreeWidgetItem *node = tree_->hostEntryNode(list_->itemText(rows.first()));
        if (!node || node->parent() != current)
            return; // "My Computer", or a host the tree no longer holds
        target = node;
    }
    if (!target)
        return;
    const QString name = nodeName(target);
    const bool host = DirWindow::nodeFlags(target) & DirWindow::HostNode;
    // The store is asked too: the command-line program may have filed a host there meanwhile.
    if (!host && (target->childCount() > 0 || !HostFolderChildren(DirWindow::hostFolderId(target)).isEmpty())) {
        pool_->prompt().message(tr("This Folder has sub folders or hosts."), tr("Error"), Prompt::Icon::Warning);
        return;
    }
    const QString question = host ? tr("Are you sure you wish to remove host %1?").arg(name)
                                   : tr("Are you sure you wish to remove host folder %1?").arg(name);
    if (pool_->prompt().ask(question, host ? tr("Removing Host") : tr("Removing Host Folder"), Prompt::Icon::None,
                            Prompt::Yes | Prompt::No)
        != Prompt::Yes)
        return;
    SettingsStore &store = SettingsStore::instance();
    if (!store.deleteKey(SettingsKeys::hostKey(name)) && store.keyExists(SettingsKeys::hostKey(name))) {
        pool_->prompt().message(tr("%1 could not be removed (error %2).").arg(name).arg(store.lastError()), tr("Error"),
                                Prompt::Icon::Warning);
        return;
    }
    hostEntriesChanged(pool_);
}

// ---------------------------------------------------------------------------------------------
// Every pane follows

void Window::hostEntriesChanged(ConnectionManager *pool)
{
    for (Window *pane : panesOf(pool)) {
        DirWindow *tree = pane->tree_;
        if (tree->SyncHostEntries(tree->topNode()) && DirWindow::holdsHosts(tree->currentItem()))
            pane->ShowLocation();
    }
}

void Window::hostRenamed(ConnectionManager *pool, const QString &oldName, const QString &newName)
{
    for (Window *pane : panesOf(pool)) {
        pane->tree_->hostEntryRenamed(oldName, newName);
        if (DirWindow::holdsHosts(pane->tree_->currentItem())) {
            pane->ShowLocation();
        } else {
            const DirWindow::Location location = pane->tree_->GetNodeLocation(pane->tree_->currentItem());
            pane->setListTitleFor(location.host, location.path);
            emit pane->locationChanged(); // the window title names the host
        }
    }
}
