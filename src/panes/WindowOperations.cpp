// Window: the commands that act on the selection and on the location shown — Open, Copy, Delete,
// rename by label editing, the transfer arrows, dragging between panes and dropping from the
// desktop, and the commands that hand the host to the pool (close connections, empty its queue,
// the pool's options).

#include "panes/Window.h"

#include "dialogs/CFileOp.h"
#include "dialogs/ConfirmDeleteDialog.h"
#include "dialogs/RenameDialog.h"
#include "dialogs/TransferDestinationDialog.h"
#include "dialogs/TransferRequest.h"
#include "ftp/RemoteName.h"
#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/DirWindowNode.h"
#include "panes/FileWindow.h"
#include "panes/PaneDrag.h"
#include "panes/PaneImages.h"
#include "platform/LocalDrives.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "settings/AsciiExtensions.h"
#include "settings/HostKeys.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMap>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace {

bool isFileIcon(int icon)
{
    return icon == IconBinaryFile || icon == IconAsciiFile;
}

// Renames a local entry without ever replacing what the new name already names (rename() would
// silently overwrite a file there). Empty when done, else the system's reason.
QString renameLocalEntry(const QString &nativeDirectory, const QString &oldName, const QString &newName)
{
    const QByteArray from = QFile::encodeName(nativeDirectory + oldName);
    const QByteArray to = QFile::encodeName(nativeDirectory + newName);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return QString();
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The program's default for data connections, for the hosts that leave it to the program. It is
// stored at once so that the command line and the next start see it too.
void togglePassiveMode(ConnectionManager &pool)
{
    pool.setDataMode(pool.dataMode() == 2 ? 1 : 2);
    if (!SetAppValue(QStringLiteral("DataMode"), QString::number(pool.dataMode())))
        pool.prompt().message(QObject::tr("The data connection setting could not be stored; it holds until the "
                                          "program ends."),
                              QObject::tr("Program Options"), Prompt::Icon::Warning);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Commands

bool Window::handleOperation(int id)
{
    switch (id) {
    case Cmd::Copy:
        if (showingFiles_)
            copySelection(nullptr, 0);
        return true;
    case Cmd::Delete:
        // A host or folder selected in the focused tree is removed from the host database.
        if (showingHosts_ || (tree_->hasFocus() && (DirWindow::nodeFlags(tree_->currentItem())
                                                    & (DirWindow::HostNode | DirWindow::HostFolder))))
            removeHostEntry();
        else if (showingFiles_)
            deleteSelection();
        return true;
    case ArrowToFirst:
    case ArrowToSecond:
        arrowCopy(id);
        return true;
    case Cmd::CloseAllConnections:
        if (pool_ && ask(tr("Are you sure you wish to close all open connections - cancelling all operations."),
                         tr("Closing  Connections"), Prompt::Icon::Question))
            pool_->CloseAll();
        return true;
    case Cmd::CloseHostConnections:
        if (pool_ && remote_
            && ask(tr("Are you sure you wish to close all open connections to the current host - cancelling all "
                      "operations."),
                   tr("Closing  Connections"), Prompt::Icon::Question))
            pool_->CloseHost(currentHost());
        return true;
    case Cmd::EmptyConnectionBuffer:
        if (pool_ && remote_
            && ask(tr("Are you sure you wish to clear all waiting operations from this host?"), tr("Clearing Buffer"),
                   Prompt::Icon::Warning))
            pool_->ClearWaiting(currentHost());
        return true;
    case Cmd::ThisConnection:
    case Cmd::NewConnection:
    case Cmd::PromptConnection:
        if (pool_)
            pool_->setArrowConnection(id == Cmd::ThisConnection ? 1 : id == Cmd::NewConnection ? 2 : 0);
        return true;
    case Cmd::ForegroundTransfer:
    case Cmd::BackgroundTransfer:
    case Cmd::PromptHostToHost:
        if (pool_)
            pool_->setHostTransferMode(id == Cmd::ForegroundTransfer ? 2 : id == Cmd::BackgroundTransfer ? 1 : 0);
        return true;
    case Cmd::StoreUploadsUniquely:
        if (pool_)
            pool_->setStoreUnique(!pool_->storeUnique());
        return true;
    case Cmd::PassiveModeTransfers:
        if (pool_)
            togglePassiveMode(*pool_);
        return true;
    default:
        return handleHostCommand(id) || handleToolCommand(id);
    }
}

bool Window::operationState(int id, CommandState &state)
{
    state = CommandState();
    switch (id) {
    case Cmd::Copy: state.enabled = showingFiles_; return true;
    case Cmd::Delete: state.enabled = showingFiles_ || showingHosts_; return true;
    case ArrowToFirst:
    case ArrowToSecond:
    case Cmd::CloseAllConnections: return true;
    case Cmd::CloseHostConnections:
    case Cmd::EmptyConnectionBuffer: state.enabled = remote_ != 0; return true;
    case Cmd::ThisConnection: state.checked = pool_ && pool_->arrowConnection() == 1; return true;
    case Cmd::NewConnection: state.checked = pool_ && pool_->arrowConnection() == 2; return true;
    case Cmd::PromptConnection: state.checked = pool_ && pool_->arrowConnection() == 0; return true;
    case Cmd::ForegroundTransfer: state.checked = pool_ && pool_->hostTransferMode() == 2; return true;
    case Cmd::BackgroundTransfer: state.checked = pool_ && pool_->hostTransferMode() == 1; return true;
    case Cmd::PromptHostToHost: state.checked = pool_ && pool_->hostTransferMode() == 0; return true;
    case Cmd::StoreUploadsUniquely: state.checked = pool_ && pool_->storeUnique(); return true;
    case Cmd::PassiveModeTransfers: state.checked = pool_ && pool_->dataMode() == 2; return true;
    default: return hostCommandState(id, state) || toolCommandState(id, state);
    }
}

bool Window::ask(const QString &text, const QString &caption, Prompt::Icon icon) const
{
    return pool_ && pool_->prompt().ask(text, caption, icon, Prompt::Yes | Prompt::No) == Prompt::Yes;
}

// ---------------------------------------------------------------------------------------------
// Copy

TransferRequest Window::selectionRequest(const QList<int> &rows) const
{
    TransferRequest request;
    request.sourceHost = currentHost();
    request.sourceDirectory = currentPath();
    for (const int row : rows) {
        const QString name = list_->itemText(row);
        if (isFileIcon(list_->itemIcon(row))) {
            const itemdata *data = list_->itemData(row);
            request.files.append({name, data ? qint64(data->size) : 0, list_->itemIcon(row) == IconAsciiFile});
        } else {
            request.directories << name;
        }
    }
    QPointer<ConnectionManager> pool(pool_);
    QWidget *owner = window();
    request.copyLocally = [pool, owner](const QStringList &names, const QString &sourceDir, const QString &destDir) {
        if (!pool)
            return;
        CFileOp::copy(owner, pool->prompt(), names, toNativePath(sourceDir), toNativePath(destDir),
                      [pool, destDir, sourceDir] {
                          refreshPanesShowing(pool, DirWindow::MyComputer, sourceDir);
                          refreshPanesShowing(pool, DirWindow::MyComputer, destDir);
                      });
    };
    return request;
}

void Window::copySelection(Window *destination, int preset)
{
    const QList<int> rows = list_->selectedRows();
    if (!pool_ || rows.isEmpty() || currentHost().isEmpty() || !showingFiles_)
        return;
    TransferRequest request = selectionRequest(rows);
    if (destination) {
        request.destinationHost = destination->currentHost();
        request.destinationDirectory = destination->currentPath();
    }
    request.preset = preset;
    TransferDestinationDialog::start(window(), *pool_, request);
}

// The arrows belong to the second pane: the one towards the first pane copies from the second,
// the other from the first.
void Window::arrowCopy(int id)
{
    const QList<Window *> panes = allPanes();
    Window *first = nullptr;
    Window *second = nullptr;
    for (Window *pane : panes)
        (pane->paneNumber_ == 0 ? first : second) = pane;
    if (!first || !second)
        return;
    Window *source = id == ArrowToFirst ? second : first;
    Window *destination = id == ArrowToFirst ? first : second;
    copyBetween(source, destination);
}

void Window::copyBetween(Window *source, Window *destination)
{
    const QString sourceHost = source->currentHost();
    const QString destinationHost = destination->currentHost();
    if (sourceHost.isEmpty() || destinationHost.isEmpty() || source->list_->selectedRows().isEmpty())
        return;
    if (sourceHost == destinationHost && source->currentPath() == destination->currentPath()
        && !ask(tr("Are you sure you wish to copy files onto themselves?"), tr("Source and Destination Identical"),
                Prompt::Icon::Warning))
        return;
    const bool sourceLocal = sourceHost == DirWindow::MyComputer;
    const bool destinationLocal = destinationHost == DirWindow::MyComputer;
    int preset = 1;
    if (sourceLocal != destinationLocal)
        preset = pool_->arrowConnection();
    else if (!sourceLocal)
        preset = pool_->hostTransferMode();
    source->copySelection(destination, preset);
}

// ---------------------------------------------------------------------------------------------
// Delete

void Window::deleteSelection()
{
    const QList<int> rows = list_->selectedRows();
    if (!pool_ || rows.isEmpty())
        return;
    const QString host = currentHost();
    const QString path = currentPath();
    if (host == DirWindow::MyComputer) {
        QStringList names;
        for (const int row : rows)
            names << list_->itemText(row);
        if (!ask(tr("Are you sure you wish to delete all selected files and directories."), tr("Delete Files"),
                 Prompt::Icon::Question))
            return;
        QPointer<ConnectionManager> pool(pool_);
        CFileOp::remove(window(), pool_->prompt(), names, toNativePath(path),
                        [pool, path] { refreshPanesShowing(pool, DirWindow::MyComputer, path); });
        return;
    }
    QStringList files, directories;
    for (const int row : rows)
        (isFileIcon(list_->itemIcon(row)) ? files : directories) << list_->itemText(row);
    ConfirmDeleteDialog::start(window(), *pool_, host, path, files, directories);
}

// ---------------------------------------------------------------------------------------------
// Rename

void Window::renameListItem(int row, const QString &newText)
{
    if (row < 0 || row >= list_->itemCount())
        return;
    const QString oldText = list_->itemText(row);
    if (newText == oldText || newText.isEmpty())
        return;
    const QString host = currentHost();
    if (host.isEmpty() || !showingFiles_) {
        renameHostEntry(oldText, newText); // the host folder view: a host or a folder
        return;
    }
    renameEntry(host, currentPath(), oldText, newText);
}

void Window::renameTreeNode(QTreeWidgetItem *node, const QString &newText)
{
    if (!node || newText.isEmpty() || newText == nodeName(node))
        return;
    const quint32 flags = DirWindow::nodeFlags(node);
    if (flags & (DirWindow::HostNode | DirWindow::HostFolder)) {
        renameHostEntry(nodeName(node), newText);
        return;
    }
    QTreeWidgetItem *parent = node->parent();
    if (!parent)
        return;
    const DirWindow::Location location = tree_->GetNodeLocation(parent);
    if (!location.host.isEmpty())
        renameEntry(location.host, location.path, nodeName(node), newText);
}

void Window::renameEntry(const QString &host, const QString &directory, const QString &oldName,
                         const QString &newName)
{
    if (!isAcceptableRemoteName(newName)) {
        pool_->prompt().message(tr("Rename Failed: \"%1\" cannot be a name (it holds \"/\", \"\\\" or a control character, or is "
                                   "\".\" or \"..\").")
                                    .arg(newName),
                                tr("Error"), Prompt::Icon::Warning);
        return;
    }
    if (host != DirWindow::MyComputer) {
        // The host's answer renames the item in every pane (entryRenamed).
        RenameDialog::start(window(), *pool_, host, directory, oldName, newName);
        return;
    }
    const QString native = toNativePath(directory);
    if (native.isEmpty()) {
        pool_->prompt().message(tr("Rename Failed: %1 is on no drive of this computer.").arg(directory), tr("Error"),
                                Prompt::Icon::Warning);
        return;
    }
    const QString reason = renameLocalEntry(native, oldName, newName);
    if (!reason.isEmpty()) {
        pool_->prompt().message(tr("Rename Failed") + QLatin1String(": ") + reason, tr("Error"),
                                Prompt::Icon::Warning);
        return;
    }
    // Every pane's tree, and the list of every pane that shows this folder, follow.
    for (Window *pane : allPanes()) {
        pane->tree_->directoryRenamed(host, directory, oldName, newName);
        if (pane->currentHost() != host || pane->currentPath() != directory)
            continue;
        if (const int row = pane->list_->findItem(oldName); row >= 0)
            pane->list_->renameItem(row, newName);
    }
}

void Window::renameHostEntry(const QString &oldName, const QString &newName)
{
    if (oldName == DirWindow::MyComputer || RenameHostKey(oldName, newName, pool_->prompt()) != 0)
        return;
    hostRenamed(pool_, oldName, newName);
}

// ---------------------------------------------------------------------------------------------
// Drag and drop

void Window::acceptDropsOn(QWidget *viewport)
{
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
}

bool Window::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QWidget::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    if (!dropAcceptable(drop->mimeData())) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        // Acted on once the drag is over: the copy may ask questions, which must not run inside
        // the drag's own event loop. What the drop carries is read now.
        const auto *drag = qobject_cast<const PaneDrag *>(drop->mimeData());
        QPointer<Window> source = drag ? drag->source() : nullptr;
        const QList<QUrl> urls = drag ? QList<QUrl>() : drop->mimeData()->urls();
        QTimer::singleShot(0, this, [this, source, urls, fromPane = drag != nullptr] {
            if (fromPane) {
                if (source)
                    copyBetween(source, this);
            } else {
                uploadDropped(urls);
            }
        });
    }
    return true;
}

bool Window::dropAcceptable(const QMimeData *data) const
{
    if (!pool_ || currentHost().isEmpty() || !showingFiles_)
        return false;
    if (const auto *drag = qobject_cast<const PaneDrag *>(data)) {
        const Window *source = drag->source();
        return source && source != this && source->pool_ == pool_;
    }
    // Files and folders from the desktop go up to the host directory shown here.
    if (!remote_ || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::all_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

// Each folder the dropped entries come from makes one upload of the entries it holds.
void Window::uploadDropped(const QList<QUrl> &urls)
{
    QMap<QString, QList<QFileInfo>> byFolder;
    for (const QUrl &url : urls) {
        const QFileInfo entry(url.toLocalFile());
        if (entry.exists() || entry.isSymLink())
            byFolder[entry.absolutePath()].append(entry);
    }
    for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it) {
        const QString folder = toProgramPath(it.key());
        if (folder.isEmpty())
            continue; // not on any drive the program knows
        TransferRequest request;
        request.sourceHost = DirWindow::MyComputer;
        request.sourceDirectory = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        for (const QFileInfo &entry : it.value()) {
            if (entry.isDir() && !entry.isSymLink())
                request.directories << entry.fileName();
            else if (entry.isFile())
                request.files.append({entry.fileName(), entry.size(), IsAsciiExtension(entry.fileName())});
        }
        if (request.files.isEmpty() && request.directories.isEmpty())
            continue; // links and special files are not uploaded
        request.destinationHost = currentHost();
        request.destinationDirectory = currentPath();
        request.preset = pool_->arrowConnection();
        TransferDestinationDialog::start(window(), *pool_, request);
    }
}

// ---------------------------------------------------------------------------------------------
// After a local copy or delete

void Window::refreshPanesShowing(ConnectionManager *pool, const QString &host, const QString &directory)
{
    for (Window *pane : panesOf(pool))
        if (pane->currentHost() == host && pane->currentPath().compare(directory, Qt::CaseSensitive) == 0)
            pane->refreshCurrentFolder();
}
