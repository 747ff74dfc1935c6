// Window: the tools of the location shown — directory information, custom commands, the session
// monitor, going to a folder, the directory-structure build, the search, the ASCII extensions and
// the start paths.

#include "panes/Window.h"

#include "dialogs/ASCIIDialog.h"
#include "dialogs/BuildTypeDialog.h"
#include "dialogs/CustomCommandDialog.h"
#include "dialogs/DialogRunner.h"
#include "dialogs/DirInfoDialog.h"
#include "dialogs/GoToFolderDialog.h"
#include "dialogs/SearchDialog.h"
#include "dialogs/StartPathDialog.h"
#include "dialogs/WatchDialog.h"
#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/PaneImages.h"
#include "pool/ConnectionManager.h"

#include <QPointer>

namespace {

bool isFileIcon(int icon)
{
    return icon == IconBinaryFile || icon == IconAsciiFile;
}

} // namespace

bool Window::handleToolCommand(int id)
{
    switch (id) {
    case Cmd::DirectoryInformation:
        if (showingFiles_) {
            DirInfoDialog dialog(window(), currentPath(), listStats());
            DialogRunner::current().run(dialog);
        }
        return true;
    case Cmd::WatchConnection:
        if (pool_ && remote_)
            WatchDialog::open(window(), *pool_, currentHost());
        return true;
    case Cmd::CustomCommand:
        if (pool_ && remote_)
            customCommand();
        return true;
    case Cmd::GoToFolder:
        goToFolder();
        return true;
    case Cmd::RefreshAllSubFolders:
        if (pool_ && remote_)
            BuildTypeDialog::open(window(), *pool_, currentHost(), currentPath());
        return true;
    case Cmd::Search:
        if (pool_ && remote_ && showingFiles_)
            search();
        return true;
    case Cmd::EditAsciiExtensions: {
        ASCIIDialog dialog(window());
        DialogRunner::current().run(dialog);
        return true;
    }
    case Cmd::StartupPaths: {
        StartPathDialog dialog(window());
        DialogRunner::current().run(dialog);
        return true;
    }
    default:
        return false;
    }
}

bool Window::toolCommandState(int id, CommandState &state)
{
    switch (id) {
    case Cmd::DirectoryInformation: state.enabled = showingFiles_; return true;
    case Cmd::GoToFolder:
    case Cmd::EditAsciiExtensions:
    case Cmd::StartupPaths: return true;
    case Cmd::WatchConnection:
    case Cmd::CustomCommand:
    case Cmd::RefreshAllSubFolders: state.enabled = remote_ != 0; return true;
    // Searches walk a host's folders; the local disks have the desktop's own search.
    case Cmd::Search: state.enabled = remote_ != 0 && showingFiles_; return true;
    default: return false;
    }
}

void Window::search()
{
    const QString host = currentHost();
    QPointer<Window> pane(this);
    SearchDialog::open(window(), *pool_, host, currentPath(), [pane, host](const QString &directory, const QString &name) {
        if (pane)
            pane->showFound(host, directory, name);
    });
}

// Goes to the folder of a match and selects it there, now or once its listing has arrived.
void Window::showFound(const QString &host, const QString &directory, const QString &name)
{
    for (Window *pane : allPanes())
        if (pane != this)
            pane->tree_->GoToLocation(host, directory, false);
    selectWhenListed_ = name;
    selectHost_ = host;
    selectDirectory_ = directory;
    tree_->selectedByMouse = true;
    if (!tree_->GoToLocation(host, directory, true)) {
        selectWhenListed_.clear();
        return;
    }
    if (!filling_)
        selectPendingItem();
}

void Window::selectPendingItem()
{
    if (selectWhenListed_.isEmpty())
        return;
    if (currentHost() != selectHost_ || currentPath() != selectDirectory_) {
        selectWhenListed_.clear(); // the pane went elsewhere first
        return;
    }
    if (const int row = list_->findItem(selectWhenListed_); row >= 0) {
        list_->showItem(row);
        selectWhenListed_.clear();
    }
}

// Every pane's tree learns the folder; this pane goes there.
void Window::goToFolder()
{
    const QString host = currentHost();
    const bool hosts = host.isEmpty(); // the host folders are shown: start on the local disk
    GoToFolderDialog dialog(window(), hosts ? DirWindow::MyComputer : host,
                            hosts ? QStringLiteral("C:/") : currentPath());
    if (DialogRunner::current().run(dialog) != QDialog::Accepted)
        return;
    const QString chosenHost = dialog.host();
    const QString path = dialog.path();
    for (Window *pane : allPanes())
        if (pane != this)
            pane->tree_->GoToLocation(chosenHost, path, false);
    tree_->selectedByMouse = true;
    tree_->GoToLocation(chosenHost, path, true);
}

DirectoryStats Window::listStats() const
{
    DirectoryStats stats;
    for (int row = 0; row < list_->itemCount(); ++row) {
        const int icon = list_->itemIcon(row);
        DirectoryStats::Count &count = icon == IconAsciiFile   ? stats.ascii
                                       : icon == IconBinaryFile ? stats.binary
                                       : icon == IconLink       ? stats.links
                                                                : stats.directories;
        const bool selected = list_->isSelected(row);
        ++count.total;
        count.selected += selected ? 1 : 0;
        if (isFileIcon(icon)) {
            const itemdata *data = list_->itemData(row);
            const quint64 size = data ? data->size : 0;
            stats.totalBytes += size;
            stats.selectedBytes += selected ? size : 0;
        }
    }
    return stats;
}

void Window::customCommand()
{
    const QString host = currentHost();
    const QString path = currentPath();
    CustomCommandDialog dialog(window());
    if (DialogRunner::current().run(dialog) != QDialog::Accepted)
        return;
    const QString text = CustomCommandDialog::commandText(path, dialog.typed());
    if (!text.isEmpty() && pool_)
        pool_->RequestCommand(host, text);
}

