// Commands that move or change files on a host: get, put, rm, rmdir, mkdir, rename, fxp.

#include "cli/CliHelpers.h"
#include "cli/CliWalk.h"
#include "cli/RemoteFolders.h"
#include "pool/ListInfo.h"
#include "pool/TransferPlan.h"
#include "cli/CliSession.h"
#include "ftp/Cache.h"
#include "ftp/PackedDateTime.h"
#include "ftp/RemoteName.h"
#include "platform/StatusLine.h"
#include "pool/DeleteList.h"
#include "pool/HostToHostTransfer.h"
#include "pool/OperationRecord.h"
#include "pool/TransferStack.h"
#include "settings/AsciiExtensions.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <unistd.h>

namespace {

void printEntries(CliContext &ctx, const QList<ListingEntry> &entries)
{
    static const QLatin1String kinds[] = {QLatin1String("file\t"), QLatin1String("dir\t"), QLatin1String("link\t")};
    // Lines are gathered and written in large pieces: the stream's own formatting of each field
    // cost more than the listing itself on folders of 100 000 entries.
    QString text;
    text.reserve(64 * 1024);
    for (const ListingEntry &entry : entries) {
        text += kinds[entry.kind];
        text += QString::number(entry.size);
        text += QLatin1Char('\t');
        text += PackedDateTime::format(entry.dateTime);
        text += QLatin1Char('\t');
        text += shownText(entry.name);
        text += QLatin1Char('\n');
        if (text.size() >= 60 * 1024) {
            *ctx.out << text;
            text.clear();
        }
    }
    *ctx.out << text;
    ctx.out->flush();
}

// The listing through the cache, as the host's cache policy allows; --refresh asks the host.
int ls(CliContext &ctx)
{
    QStringList flags;
    if (!takeFlags(ctx.args, {QStringLiteral("--refresh")}, flags, *ctx.err) || ctx.args.size() != 1)
        return ExitUsage;
    QString directory = absoluteRemote(ctx.args.at(0));
    if (!directory.endsWith(QLatin1Char('/')))
        directory += QLatin1Char('/');
    CliSession session(ctx, *ctx.prompt);
    QString host;
    if (!session.defineHost(ctx.host, &host))
        return ExitUsage;
    Cache &cache = session.pool().cache();
    const bool usable = cache.Lookup(host, directory, false);
    if (usable && !flags.contains(QLatin1String("--refresh"))) {
        if (const std::optional<QList<ListingEntry>> entries = cache.ReadListing()) {
            ctx.status->showStatus(QStringLiteral("Finished Listing"));
            printEntries(ctx, *entries);
            return ExitDone;
        }
    }
    const QString cacheFile = cache.enabled() ? cache.GetFilePath() : QString();
    if (!session.open())
        return ExitUnreachable;
    const std::optional<QList<ListingEntry>> entries = listDirectory(session, directory, cacheFile);
    if (!session.loggedIn())
        return ExitUnreachable;
    if (!entries)
        return ExitRefused;
    printEntries(ctx, *entries);
    return ExitDone;
}

// Deletes the lines (worked from the end of the list) and gives the exit status.
int deleteLines(CliContext &ctx, CliSession &session, const QStringList &lines)
{
    DeleteList list(session.hostName(), QString());
    for (const QString &line : lines)
        list.addLine(line);
    session.watch(&list);
    session.connection()->DeleteFiles(&list);
    const bool ended = session.waitForEnd();
    if (!session.loggedIn())
        return ExitUnreachable;
    for (const QString &failure : list.failures())
        *ctx.err << shownText(failure) << Qt::endl;
    return ended && list.entriesFailed() == 0 ? ExitDone : ExitRefused;
}

int depthOf(const QString &line)
{
    return int(line.count(QLatin1Char('/')));
}

// rm -r: the walk gathers the tree; each directory is removed only after everything below it.
int removeTree(CliContext &ctx, CliSession &session, const QString &directory)
{
    CliWalk walk(ctx, session.pool());
    const bool whole = walk.run([&] {
        return ListInfo::StartTreeBuild(session.pool(), session.hostName(), {directory}, true, ctx.newConnection,
                                        true, &walk);
    });
    if (!whole)
        return session.loggedIn() ? ExitRefused : ExitUnreachable;
    QStringList lines{QStringLiteral("DIR: ") + directory};
    for (const QString &item : std::as_const(walk.items)) {
        const qsizetype size = item.lastIndexOf(QLatin1String(" ("));
        lines << (size < 0 ? item : item.left(size));
    }
    // The list is worked from its end: shallower entries first in the list means every entry is
    // deleted before the directory that holds it, whatever order the walk found them in.
    std::stable_sort(lines.begin(), lines.end(),
                     [](const QString &a, const QString &b) { return depthOf(a) < depthOf(b); });
    return deleteLines(ctx, session, lines);
}

int rm(CliContext &ctx)
{
    QStringList flags;
    if (!takeFlags(ctx.args, {QStringLiteral("-r")}, flags, *ctx.err) || ctx.args.isEmpty())
        return ExitUsage;
    const bool tree = flags.contains(QLatin1String("-r"));
    if (tree && ctx.args.size() != 1)
        return ExitUsage;
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    if (tree)
        return removeTree(ctx, session, withoutSlash(absoluteRemote(ctx.args.at(0))));
    QStringList lines;
    // The list is worked from its end: keep the order the user gave.
    for (auto it = ctx.args.crbegin(); it != ctx.args.crend(); ++it)
        lines << listedPath(session, absoluteRemote(*it));
    return deleteLines(ctx, session, lines);
}

int rmdir(CliContext &ctx)
{
    if (ctx.args.size() != 1)
        return ExitUsage;
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    return deleteLines(ctx, session, {QStringLiteral("DIR: ") + withoutSlash(absoluteRemote(ctx.args.at(0)))});
}

template <class Record, class Start>
int runRecord(CliSession &session, Record &record, Start start)
{
    session.watch(&record);
    start();
    const bool ended = session.waitForEnd();
    if (!session.loggedIn())
        return ExitUnreachable;
    return ended && record.done() ? ExitDone : ExitRefused;
}

int mkdir(CliContext &ctx)
{
    if (ctx.args.size() != 1)
        return ExitUsage;
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    MakeDirRecord record(session.hostName(), absoluteRemote(ctx.args.at(0)));
    return runRecord(session, record, [&] { session.connection()->MakeDir(&record); });
}

int rename(CliContext &ctx)
{
    if (ctx.args.size() != 3)
        return ExitUsage;
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    const QString directory = absoluteRemote(ctx.args.at(0));
    RenameRecord record(session.hostName(), directory, listedName(session, directory, ctx.args.at(1)), ctx.args.at(2));
    return runRecord(session, record, [&] { session.connection()->RenameFile(&record); });
}

// The connections the pool holds for transfers.
QSet<Connection *> transferConnections(ConnectionManager &pool)
{
    QSet<Connection *> connections;
    for (int slot = 0; Connection *c = pool.connection(ConnectionManager::Persistent, slot); ++slot)
        connections.insert(c);
    return connections;
}

// Runs the host-to-host transfer to its end: every line copied or failed, or a connection closed
// (the copy then ends and says why). A connection that never logged in makes the host unreachable.
int runHostToHost(CliContext &ctx, CliSession &session, HostToHostTransfer &transfer)
{
    const QSet<Connection *> before = transferConnections(session.pool());
    QEventLoop loop;
    QObject::connect(&transfer, &HostToHostTransfer::ended, &loop, &QEventLoop::quit);
    transfer.takeNextLine();
    QHash<Connection *, bool> loggedIn; // the transfer's own connections
    bool closed = false;
    for (Connection *c : transferConnections(session.pool()) - before) {
        loggedIn.insert(c, pastLogin(c->state()));
        QObject::connect(c, &Connection::stateChanged, &loop, [&, c](Connection::State state) {
            if (pastLogin(state))
                loggedIn[c] = true;
            closed = closed || state == Connection::Closed;
        });
    }
    if (!transfer.finished())
        loop.exec();
    for (const QString &failure : transfer.failures())
        *ctx.err << shownText(failure) << Qt::endl;
    if (closed)
        for (const bool in : std::as_const(loggedIn))
            if (!in)
                return ExitUnreachable;
    return transfer.filesFailed() == 0 && !closed ? ExitDone : ExitRefused;
}

// The folders of a walked tree (the top one and each "DIR: " item below base) as destination
// paths, without the folders that files will make.
QStringList emptyFolders(const QStringList &items, const QString &source, const QString &destination)
{
    const QString base = remoteParent(source);
    QStringList folders{remoteName(source)}, files;
    for (const QString &item : items) {
        if (!item.startsWith(QLatin1String("DIR: ")))
            continue;
        const QString path = item.mid(5, item.lastIndexOf(QLatin1String(" (")) - 5);
        if (path.startsWith(base) && path.size() > base.size())
            folders << path.mid(base.size());
    }
    for (const QString &item : ItemsBelow(items, base))
        if (const std::optional<FileItem> file = ParseFileItem(item))
            files << file->name;
    QStringList paths;
    if (files.isEmpty())
        paths << RemoteFolders::levelsOf(destination);
    for (const QString &folder : FoldersWithoutFiles(folders, files))
        if (!folder.isEmpty())
            paths << joinRemote(destination, folder);
    return paths;
}

int fxp(CliContext &ctx)
{
    QStringList flags;
    if (!takeFlags(ctx.args, {QStringLiteral("-r")}, flags, *ctx.err) || ctx.args.size() != 3)
        return ExitUsage;
    const QString source = withoutSlash(absoluteRemote(ctx.args.at(0)));
    const QString destination = absoluteRemote(ctx.args.at(2));
    CliSession session(ctx, *ctx.prompt);
    QString sourceHost, destinationHost;
    if (!session.defineHost(ctx.host, &sourceHost) || !session.defineHost(ctx.args.at(1), &destinationHost))
        return ExitUsage;
    HostToHostTransfer transfer(session.pool(), sourceHost, destinationHost, false);
    QList<HostToHostTransfer::Line> lines;
    QStringList folders; // made after the files: those that no file makes
    bool listingRefused = false;
    bool cutShort = false; // a branch too deep to walk was left out
    if (flags.contains(QLatin1String("-r"))) {
        CliWalk walk(ctx, session.pool());
        const bool whole = walk.run([&] {
            return ListInfo::StartTreeBuild(session.pool(), sourceHost, {source}, false, ctx.newConnection, true,
                                            &walk);
        });
        if (!whole)
            return ExitUnreachable;
        // What could be listed is copied even when the host refused some of the listings; when it
        // refused the folder itself there is nothing, not even an empty folder, to make.
        listingRefused = session.failuresShown() > 0;
        cutShort = walk.cutShort > 0;
        const QString base = remoteParent(source);
        for (const QString &item : ItemsBelow(walk.items, base))
            if (const std::optional<FileItem> file = ParseFileItem(item))
                lines.append({base + file->name, joinRemote(destination, file->name), !file->ascii});
        if (!(listingRefused && walk.items.isEmpty()))
            folders = emptyFolders(walk.items, source, destination);
    } else {
        lines.append({source, joinRemote(destination, remoteName(source)), !IsAsciiExtension(remoteName(source))});
    }
    int result = ExitDone;
    if (!lines.isEmpty()) {
        // Each new line goes on top: insert the last first so the files go in walk order.
        for (auto it = lines.crbegin(); it != lines.crend(); ++it)
            transfer.insertLine(*it);
        result = runHostToHost(ctx, session, transfer);
        if (result == ExitUnreachable)
            return result;
    }
    if (!folders.isEmpty()) {
        const int made = RemoteFolders(ctx, session, destinationHost).make(folders);
        result = result == ExitDone ? made : result;
    }
    return result == ExitDone && (listingRefused || cutShort) ? ExitRefused : result;
}

int find(CliContext &ctx)
{
    QStringList flags;
    const QStringList known{QStringLiteral("--subdirs"), QStringLiteral("--links"), QStringLiteral("--refresh")};
    if (!takeFlags(ctx.args, known, flags, *ctx.err) || ctx.args.size() != 2 || ctx.args.at(1).isEmpty())
        return ExitUsage;
    CliSession session(ctx, *ctx.prompt);
    QString host;
    if (!session.defineHost(ctx.host, &host))
        return ExitUsage;
    ListInfo::SearchRequest request;
    request.host = host;
    request.directory = absoluteRemote(ctx.args.at(0));
    request.text = ctx.args.at(1);
    request.subFolders = flags.contains(QLatin1String("--subdirs"));
    request.followLinks = flags.contains(QLatin1String("--links"));
    request.refresh = flags.contains(QLatin1String("--refresh"));
    request.newConnection = ctx.newConnection;
    CliWalk walk(ctx, session.pool());
    const bool whole = walk.run([&] { return ListInfo::StartSearch(session.pool(), request, &walk); });
    if (!whole)
        return ExitUnreachable;
    return session.failuresShown() > 0 || walk.cutShort > 0 ? ExitRefused : ExitDone;
}

int cacheBuild(CliContext &ctx)
{
    if (ctx.args.size() != 1)
        return ExitUsage;
    CliSession session(ctx, *ctx.prompt);
    QString host;
    if (!session.defineHost(ctx.host, &host))
        return ExitUsage;
    CliWalk walk(ctx, session.pool());
    const bool whole = walk.run([&] {
        return ListInfo::StartCacheBuild(session.pool(), host, absoluteRemote(ctx.args.at(0)), ctx.newConnection,
                                         &walk);
    });
    if (!whole)
        return ExitUnreachable;
    return session.failuresShown() > 0 || walk.cutShort > 0 ? ExitRefused : ExitDone;
}

const CliRegistration registrations[] = {
    CliRegistration{{QStringLiteral("ls"), true, QStringLiteral("ls [--refresh] DIR"), &ls}},
    CliRegistration{{QStringLiteral("rm"), true, QStringLiteral("rm REMOTE_FILE... | rm -r REMOTE_DIR"), &rm}},
    CliRegistration{{QStringLiteral("rmdir"), true, QStringLiteral("rmdir REMOTE_DIR"), &rmdir}},
    CliRegistration{{QStringLiteral("mkdir"), true, QStringLiteral("mkdir REMOTE_DIR"), &mkdir}},
    CliRegistration{{QStringLiteral("rename"), true, QStringLiteral("rename REMOTE_DIR OLD NEW"), &rename}},
    CliRegistration{{QStringLiteral("fxp"), true, QStringLiteral("fxp [-r] REMOTE_PATH DSTHOST DST_DIR"), &fxp}},
    CliRegistration{{QStringLiteral("find"), true, QStringLiteral("find [--subdirs] [--links] [--refresh] DIR TEXT"),
                     &find}},
    CliRegistration{{QStringLiteral("cache-build"), true, QStringLiteral("cache-build DIR"), &cacheBuild}},
};

} // namespace
