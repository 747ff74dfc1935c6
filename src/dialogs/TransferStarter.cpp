#include "dialogs/TransferStarter.h"

#include "dialogs/BuildDialog.h"
#include "dialogs/FileExistDialog.h"
#include "dialogs/HostToHostDialog.h"
#include "dialogs/RemoteFolderMaker.h"
#include "dialogs/TransferDialog.h"
#include "ftp/RemoteName.h"
#include "platform/LocalDrives.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"
#include "pool/Destinations.h"
#include "pool/HostToHostTransfer.h"
#include "pool/TransferStack.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSet>

#include <optional>

namespace {

const QString DirMark = QStringLiteral("DIR: ");
constexpr int MostLinesShown = 20;

QString tr(const char *text)
{
    return QObject::tr(text);
}

bool isLocal(const QString &host)
{
    return host.compare(SettingsKeys::MyComputer, Qt::CaseInsensitive) == 0;
}

QString asDirectory(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

// A copy on its way: the request, the button pressed, and the folders a walk found below the
// source directory (named below it, the selected ones included).
struct Plan
{
    QPointer<QWidget> parent;
    ConnectionManager *pool = nullptr;
    TransferRequest request;
    int kind = 0;
    QStringList folders;
};

// Problems of planning, in one message: a line each, the first few of many.
void tellAll(const Plan &plan, const QString &heading, const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    QString text = heading;
    for (const QString &line : lines.mid(0, MostLinesShown))
        text += QLatin1Char('\n') + shownRemoteName(line);
    if (lines.size() > MostLinesShown)
        text += QLatin1Char('\n') + tr("and %1 more.").arg(lines.size() - MostLinesShown);
    plan.pool->prompt().message(text, tr("File Transfer"), Prompt::Icon::Warning);
}

void run(Plan plan);

// --- walks of selected host folders ----------------------------------------------------------

// The walk's files join the selection; its folders are kept, for the ones no file will make.
void takeWalk(Plan &plan, const QStringList &items)
{
    const QString &source = plan.request.sourceDirectory;
    QSet<QString> selected; // entered by the walk itself, without a size
    for (const QString &directory : std::as_const(plan.request.directories)) {
        plan.folders << directory;
        selected.insert(DirMark + source + directory);
    }
    for (const QString &item : items) {
        if (!item.startsWith(DirMark) || selected.contains(item))
            continue;
        const std::optional<FileItem> folder = ParseFileItem(item.mid(DirMark.size()));
        if (folder && folder->name.size() > source.size() && folder->name.startsWith(source))
            plan.folders << folder->name.mid(source.size());
    }
    for (const QString &item : ItemsBelow(items, source))
        if (const std::optional<FileItem> file = ParseFileItem(item))
            plan.request.files << *file;
    plan.request.directories.clear();
}

void walkFirst(Plan plan)
{
    QStringList paths;
    for (const QString &directory : std::as_const(plan.request.directories))
        paths << plan.request.sourceDirectory + directory;
    const QString host = plan.request.sourceHost;
    const bool newConnection = plan.kind == 1;
    ConnectionManager &pool = *plan.pool;
    QWidget *parent = plan.parent;
    BuildDialog::startTreeWalk(parent, pool, host, paths, false, newConnection,
                               [plan = std::move(plan)](const QStringList &items) mutable {
                                   takeWalk(plan, items);
                                   run(std::move(plan));
                               });
}

// --- between the local disk and a host -------------------------------------------------------

// The stack line of one download, or nothing when the file is left out (skipped by the user,
// complete already, or with a name that cannot be used here: noted).
std::optional<QString> downloadLine(const Plan &plan, const FileItem &file, const QString &base, QStringList &notes)
{
    const TransferRequest &r = plan.request;
    const QString remote = r.sourceDirectory + file.name;
    const std::optional<QString> native = LocalPathInside(base, file.name);
    if (!native) {
        notes << remote + tr(": its name cannot be used inside the destination folder");
        return std::nullopt;
    }
    const QString local = r.destinationDirectory + native->mid(base.endsWith(QLatin1Char('/')) ? base.size() : base.size() + 1);
    const QFileInfo info(*native);
    if (!info.exists())
        return DownloadLine(remote, local, file.size, file.ascii);
    if (info.isDir()) {
        notes << local + tr(": a folder of that name is in the way");
        return std::nullopt;
    }
    switch (FileExistDialog::ask(plan.parent, local)) {
    case FileExistDialog::Skip:
        return std::nullopt;
    case FileExistDialog::Replace:
        return DownloadLine(remote, local, file.size, file.ascii);
    case FileExistDialog::Continue:
        break;
    }
    const ResumeDecision decision = ContinueInterrupted(info.size(), file.size);
    if (decision.outcome == ResumeDecision::Resume)
        return ResumedDownloadLine(remote, local, decision.remaining, decision.offset, file.ascii);
    const QString text = decision.outcome == ResumeDecision::AlreadyComplete
        ? tr("%1 is already complete; nothing was transferred.")
        : tr("%1 is larger than the file on the host, so it is not the same file; it was left alone.");
    plan.pool->prompt().message(text.arg(shownRemoteName(local)), tr("File Exists"), Prompt::Icon::Information);
    return std::nullopt;
}

// The folders a walk found, empty ones too, made inside the destination folder.
void makeLocalFolders(const Plan &plan, const QString &base, QStringList &notes)
{
    for (const QString &folder : plan.folders) {
        const std::optional<QString> native = LocalPathInside(base, folder);
        if (!native)
            notes << plan.request.sourceDirectory + folder + tr(": its name cannot be used inside the destination folder");
        else if (!QDir().mkpath(*native))
            notes << *native + tr(": the folder could not be made");
    }
}

// The native path of the copy's local folder; nothing, after telling the user, when it is on no
// drive of this computer.
std::optional<QString> localFolder(const Plan &plan, const QString &folder)
{
    const QString native = toNativePath(folder);
    if (native.isEmpty()) {
        tellAll(plan, tr("Nothing was transferred:"), {folder + tr(" is on no drive of this computer.")});
        return std::nullopt;
    }
    return native;
}

void download(const Plan &plan)
{
    const TransferRequest &r = plan.request;
    const std::optional<QString> native = localFolder(plan, r.destinationDirectory);
    if (!native)
        return;
    const QString base = QDir::cleanPath(*native);
    QStringList notes, lines;
    makeLocalFolders(plan, base, notes);
    for (const FileItem &file : r.files)
        if (const std::optional<QString> line = downloadLine(plan, file, base, notes))
            lines << *line;
    tellAll(plan, tr("These were not transferred:"), notes);
    if (lines.isEmpty())
        return;
    auto *dialog = new TransferDialog(plan.parent, r.sourceHost);
    for (const QString &line : std::as_const(lines))
        dialog->stack().addEntry(line);
    dialog->start(*plan.pool, plan.kind);
}

void upload(const Plan &plan)
{
    const TransferRequest &r = plan.request;
    const std::optional<QString> native = localFolder(plan, r.sourceDirectory);
    if (!native)
        return;
    const QString &source = *native;
    QStringList lines, names, folders, notes;
    const auto add = [&](const FileItem &file) {
        lines << UploadLine(r.destinationDirectory + file.name, r.sourceDirectory + file.name, file.size, file.ascii);
        names << file.name;
    };
    for (const FileItem &file : r.files) {
        if (isAcceptableRemoteName(file.name))
            add(file);
        else
            notes << r.sourceDirectory + file.name + tr(": its name cannot be sent to a host");
    }
    for (const QString &directory : r.directories) {
        for (const QString &item : ListLocalTree(QDir(source).filePath(directory), &notes, &folders))
            if (const std::optional<FileItem> file = ParseFileItem(item))
                add(*file);
    }
    tellAll(plan, tr("These were not transferred:"), notes);
    QStringList empty;
    for (const QString &folder : FoldersWithoutFiles(folders, names))
        empty << r.destinationDirectory + folder;
    ConnectionManager *pool = plan.pool;
    const QString host = r.destinationHost;
    if (lines.isEmpty()) {
        RemoteFolderMaker::make(*pool, host, empty);
        return;
    }
    auto *dialog = new TransferDialog(plan.parent, host);
    TransferStack *stack = &dialog->stack();
    for (const QString &line : std::as_const(lines))
        stack->addEntry(line);
    if (!empty.isEmpty()) {
        // Only after the files, and not after a transfer the user broke off.
        QObject::connect(stack, &TransferStack::ended, pool, [pool, host, empty, stack] {
            if (stack->remainingLines().isEmpty())
                RemoteFolderMaker::make(*pool, host, empty);
        });
    }
    dialog->start(*pool, plan.kind);
}

// --- between two hosts -----------------------------------------------------------------------

void copyBetweenHosts(const Plan &plan)
{
    const TransferRequest &r = plan.request;
    QList<HostToHostTransfer::Line> lines;
    QStringList names, empty;
    for (const FileItem &file : r.files) {
        lines.append({r.sourceDirectory + file.name, r.destinationDirectory + file.name, !file.ascii});
        names << file.name;
    }
    for (const QString &folder : FoldersWithoutFiles(plan.folders, names))
        empty << r.destinationDirectory + folder;
    ConnectionManager *pool = plan.pool;
    const QString host = r.destinationHost;
    if (lines.isEmpty()) {
        RemoteFolderMaker::make(*pool, host, empty);
        return;
    }
    auto *dialog = new HostToHostDialog(plan.parent, *pool, r.sourceHost, host, plan.kind == 0);
    HostToHostTransfer &transfer = dialog->transfer();
    // Each new line goes on top: the last first, so that the files go in selection order.
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        transfer.insertLine(*it);
    if (!empty.isEmpty())
        QObject::connect(&transfer, &HostToHostTransfer::ended, pool,
                         [pool, host, empty] { RemoteFolderMaker::make(*pool, host, empty); });
    dialog->start();
}

// --- the start -------------------------------------------------------------------------------

void copyLocally(const Plan &plan)
{
    const TransferRequest &r = plan.request;
    QStringList names;
    for (const FileItem &file : r.files)
        names << file.name;
    names << r.directories;
    if (r.copyLocally && !names.isEmpty())
        r.copyLocally(names, r.sourceDirectory, r.destinationDirectory);
}

void run(Plan plan)
{
    const TransferRequest &r = plan.request;
    const bool fromLocal = isLocal(r.sourceHost);
    const bool toLocal = isLocal(r.destinationHost);
    if (fromLocal && toLocal)
        copyLocally(plan);
    else if (!fromLocal && !r.directories.isEmpty())
        walkFirst(std::move(plan));
    else if (fromLocal)
        upload(plan);
    else if (toLocal)
        download(plan);
    else
        copyBetweenHosts(plan);
}

// A copy onto itself would overwrite each file with itself while reading it.
bool sameFolder(const TransferRequest &r)
{
    if (isLocal(r.sourceHost) && isLocal(r.destinationHost)) {
        const QString source = toNativePath(r.sourceDirectory);
        return !source.isEmpty() && QDir::cleanPath(source) == QDir::cleanPath(toNativePath(r.destinationDirectory));
    }
    return r.sourceHost == r.destinationHost && r.sourceDirectory == r.destinationDirectory;
}

} // namespace

void TransferStarter::start(QWidget *parent, ConnectionManager &pool, const TransferRequest &request, int kind)
{
    Plan plan{parent, &pool, request, kind, {}};
    TransferRequest &r = plan.request;
    if (r.destinationHost.isEmpty())
        r.destinationHost = SettingsKeys::MyComputer;
    // Between local folders the second button is "&Cancel".
    if (isLocal(r.sourceHost) && isLocal(r.destinationHost) && kind != 0)
        return;
    r.sourceDirectory = asDirectory(r.sourceDirectory);
    r.destinationDirectory = NormaliseDestination(r.destinationHost, r.destinationDirectory);
    if (sameFolder(r)) {
        tellAll(plan, tr("Nothing was copied:"), {tr("the source and the destination are the same folder.")});
        return;
    }
    Destinations::record(r.destinationHost, r.destinationDirectory);
    run(std::move(plan));
}
