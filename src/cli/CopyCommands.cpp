// get and put: single files and whole trees between a host and the local disk.

#include "cli/CliHelpers.h"
#include "ftp/RemoteName.h"
#include "cli/CliSession.h"
#include "cli/CliWalk.h"
#include "cli/RemoteFolders.h"
#include "ftp/ListingEntry.h"
#include "platform/Prompt.h"
#include "pool/ListInfo.h"
#include "pool/TransferPlan.h"
#include "pool/TransferStack.h"
#include "settings/AsciiExtensions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

struct Download
{
    QString remotePath;
    QString relativePath; // below the local folder: "name" or "dir/sub/name"
    qint64 size = 0;
    bool ascii = false;
};

enum class Existing { Ask, Resume, Skip, Replace };

// What to do with a local file that is already there; asked on a terminal, else skipped.
Existing askExisting(CliContext &ctx, const QString &path)
{
    if (!isatty(STDIN_FILENO)) {
        *ctx.err << shownText(path) << " exists; skipped (use --resume, --skip or --replace)." << Qt::endl;
        return Existing::Skip;
    }
    *ctx.err << shownText(path) << " Exists. [r]eplace, [c]ontinue, [s]kip? " << Qt::flush;
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return Existing::Skip;
    const QByteArray answer = in.readLine().trimmed().toLower();
    if (answer.startsWith('r'))
        return Existing::Replace;
    if (answer.startsWith('c'))
        return Existing::Resume;
    return Existing::Skip;
}

// The stack line of one download, or nothing when it is skipped (after saying why).
std::optional<QString> downloadLine(CliContext &ctx, const Download &file, const QString &localFolder,
                                    Existing existing, int &refused)
{
    const std::optional<QString> local = LocalPathInside(localFolder, file.relativePath);
    if (!local) {
        *ctx.err << shownText(file.remotePath) << ": its name cannot be used inside " << shownText(localFolder)
                 << "; skipped." << Qt::endl;
        ++refused;
        return std::nullopt;
    }
    const QFileInfo info(*local);
    if (!info.exists())
        return DownloadLine(file.remotePath, *local, file.size, file.ascii);
    if (existing == Existing::Ask)
        existing = askExisting(ctx, *local);
    switch (existing) {
    case Existing::Skip:
    case Existing::Ask:
        return std::nullopt;
    case Existing::Replace:
        return DownloadLine(file.remotePath, *local, file.size, file.ascii);
    case Existing::Resume:
        break;
    }
    const ResumeDecision decision = ContinueInterrupted(info.size(), file.size);
    if (decision.outcome != ResumeDecision::Resume) {
        *ctx.err << shownText(*local)
                 << (decision.outcome == ResumeDecision::AlreadyComplete ? " is already complete"
                                                                          : " is larger than the host's copy")
                 << "; nothing was transferred." << Qt::endl;
        return std::nullopt;
    }
    return ResumedDownloadLine(file.remotePath, *local, decision.remaining, decision.offset, file.ascii);
}

int downloadAll(CliContext &ctx, CliSession &session, const QList<Download> &files, const QString &localFolder,
                Existing existing)
{
    TransferStack stack;
    int refused = 0;
    for (const Download &file : files)
        if (const std::optional<QString> line = downloadLine(ctx, file, localFolder, existing, refused))
            stack.addEntry(*line);
    if (stack.remainingLines().isEmpty())
        return refused ? ExitRefused : ExitDone;
    session.watch(&stack);
    showProgress(ctx, stack);
    session.connection()->TransferFiles(&stack);
    const int result = transferResult(session, stack, ctx);
    return result == ExitDone && refused ? ExitRefused : result;
}

Existing existingChoice(const QStringList &flags)
{
    if (flags.contains(QLatin1String("--resume")))
        return Existing::Resume;
    if (flags.contains(QLatin1String("--skip")))
        return Existing::Skip;
    if (flags.contains(QLatin1String("--replace")))
        return Existing::Replace;
    return Existing::Ask;
}

// Makes a local folder and those above it; false after saying why it could not be made.
bool makeLocalFolder(CliContext &ctx, const QString &path)
{
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(path).toStdString(), error);
    if (!error)
        return true;
    *ctx.err << "Couldn't create the folder " << shownText(path) << ": " << QString::fromStdString(error.message())
             << Qt::endl;
    return false;
}

// Makes the local counterparts of the walked folders below base, empty ones too; gives how many
// could not be made.
int makeLocalFolders(CliContext &ctx, const QStringList &items, const QString &base, const QString &localFolder)
{
    int failed = 0;
    for (const QString &item : items) {
        if (!item.startsWith(QLatin1String("DIR: ")))
            continue;
        const QString path = item.mid(5, item.lastIndexOf(QLatin1String(" (")) - 5);
        if (const std::optional<QString> local = LocalPathInside(localFolder, path.mid(base.size())))
            failed += makeLocalFolder(ctx, *local) ? 0 : 1;
    }
    return failed;
}

int getTree(CliContext &ctx, CliSession &session, const QString &remoteDirectory, const QString &localFolder,
            Existing existing)
{
    CliWalk walk(ctx, session.pool());
    const QString directory = withoutSlash(remoteDirectory);
    const bool whole = walk.run([&] {
        return ListInfo::StartTreeBuild(session.pool(), session.hostName(), {directory}, false, ctx.newConnection,
                                        true, &walk);
    });
    if (!whole)
        return session.loggedIn() ? ExitRefused : ExitUnreachable;
    // What could be listed is fetched even when the host refused some of the listings; when it
    // refused the folder itself there is nothing, not even an empty folder, to make.
    const bool listingRefused = session.failuresShown() > 0;
    if (listingRefused && walk.items.isEmpty())
        return ExitRefused;
    const bool incomplete = listingRefused || walk.cutShort > 0; // the copy leaves something out
    // The tree lands under the local folder with its own name, as cp -r does; the root folder,
    // which has no name, lands in the local folder itself.
    const QString base = remoteParent(directory);
    const std::optional<QString> top = LocalPathInside(localFolder, remoteName(directory));
    if (top && !makeLocalFolder(ctx, *top))
        return ExitRefused; // nothing could land
    const int foldersFailed = makeLocalFolders(ctx, walk.items, base, localFolder);
    QList<Download> files;
    for (const QString &item : ItemsBelow(walk.items, base)) {
        if (const std::optional<FileItem> file = ParseFileItem(item))
            files.append({base + file->name, file->name, file->size, file->ascii});
    }
    const int result = downloadAll(ctx, session, files, localFolder, existing);
    return result == ExitDone && (incomplete || foldersFailed > 0) ? ExitRefused : result;
}

int get(CliContext &ctx)
{
    QStringList flags;
    const QStringList known{QStringLiteral("-r"), QStringLiteral("--resume"), QStringLiteral("--skip"),
                            QStringLiteral("--replace")};
    if (!takeFlags(ctx.args, known, flags, *ctx.err) || ctx.args.size() != 2)
        return ExitUsage;
    const QString remote = absoluteRemote(ctx.args.at(0));
    const QString localFolder = QDir(ctx.args.at(1)).absolutePath();
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    if (flags.contains(QLatin1String("-r")))
        return getTree(ctx, session, remote, localFolder, existingChoice(flags));

    const std::optional<QList<ListingEntry>> entries = listDirectory(session, remoteParent(remote));
    if (!entries)
        return session.loggedIn() ? ExitRefused : ExitUnreachable;
    // The name as listed, or the one listed name shown as the typed one (bytes that are no UTF-8).
    const QString typed = remoteName(remote);
    const auto isFile = [](const ListingEntry &e) { return e.kind == ListingEntry::File; };
    auto found = std::find_if(entries->begin(), entries->end(),
                              [&](const ListingEntry &e) { return isFile(e) && e.name == typed; });
    if (found == entries->end())
        found = std::find_if(entries->begin(), entries->end(),
                             [&](const ListingEntry &e) { return isFile(e) && shownRemoteName(e.name) == typed; });
    if (found == entries->end()) {
        *ctx.err << "no file " << shownText(remote) << " on the host" << Qt::endl;
        return ExitRefused;
    }
    const QString name = found->name;
    return downloadAll(ctx, session, {{remoteParent(remote) + name, name, qint64(found->size), IsAsciiExtension(name)}},
                       localFolder, existingChoice(flags));
}

// The files of a local tree as upload lines, and in *folders the remote folders that no file
// will make, each after the folders that hold it.
void planTree(CliContext &ctx, const QFileInfo &local, const QString &remoteDirectory, TransferStack &stack,
              QStringList *folders)
{
    QStringList problems, localFolders, files;
    const QString parent = local.absoluteDir().absolutePath() + QLatin1Char('/');
    for (const QString &item : ListLocalTree(local.absoluteFilePath(), &problems, &localFolders)) {
        if (const std::optional<FileItem> file = ParseFileItem(item)) {
            stack.addEntry(UploadLine(joinRemote(remoteDirectory, file->name), parent + file->name, file->size,
                                      file->ascii));
            files << file->name;
        }
    }
    for (const QString &problem : std::as_const(problems))
        *ctx.err << shownText(problem) << Qt::endl;
    if (files.isEmpty() && !localFolders.isEmpty())
        *folders << RemoteFolders::levelsOf(remoteDirectory);
    for (const QString &folder : FoldersWithoutFiles(localFolders, files))
        *folders << joinRemote(remoteDirectory, folder);
}

// Uploads the stack, then makes the folders that received no file: the upload makes the others.
int upload(CliContext &ctx, TransferStack &stack, const QStringList &folders, bool unique)
{
    CliSession session(ctx, *ctx.prompt);
    int result = ExitDone;
    if (!stack.remainingLines().isEmpty()) {
        if (!session.open())
            return ExitUnreachable;
        // The option is for this upload only: the stored preference stays as it was.
        const bool storedUnique = session.pool().storeUnique();
        session.pool().setStoreUnique(unique);
        session.watch(&stack);
        showProgress(ctx, stack);
        session.connection()->TransferFiles(&stack);
        result = transferResult(session, stack, ctx);
        session.pool().setStoreUnique(storedUnique);
        if (result == ExitUnreachable)
            return result;
    }
    if (folders.isEmpty())
        return result;
    QString host;
    if (!session.defineHost(ctx.host, &host))
        return ExitUsage;
    const int made = RemoteFolders(ctx, session, host).make(folders);
    return result == ExitDone ? made : result;
}

int put(CliContext &ctx)
{
    QStringList flags;
    if (!takeFlags(ctx.args, {QStringLiteral("-r"), QStringLiteral("--unique")}, flags, *ctx.err)
        || ctx.args.size() != 2)
        return ExitUsage;
    const QFileInfo local(ctx.args.at(0));
    const bool tree = flags.contains(QLatin1String("-r"));
    if (tree ? !local.isDir() : !local.isFile()) {
        *ctx.err << "no " << (tree ? "folder " : "file ") << shownText(local.filePath()) << Qt::endl;
        return ExitUsage;
    }
    const QString remoteDirectory = absoluteRemote(ctx.args.at(1));
    TransferStack stack;
    QStringList folders;
    if (tree)
        planTree(ctx, local, remoteDirectory, stack, &folders);
    else
        stack.addEntry(UploadLine(joinRemote(remoteDirectory, local.fileName()), local.absoluteFilePath(),
                                  local.size(), IsAsciiExtension(local.fileName())));
    return upload(ctx, stack, folders, flags.contains(QLatin1String("--unique")));
}

const CliRegistration registrations[] = {
    CliRegistration{{QStringLiteral("get"), true,
                     QStringLiteral("get [-r] [--resume|--skip|--replace] REMOTE_PATH LOCAL_DIR"), &get}},
    CliRegistration{{QStringLiteral("put"), true, QStringLiteral("put [-r] [--unique] LOCAL_PATH REMOTE_DIR"), &put}},
};

} // namespace
