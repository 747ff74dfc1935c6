// Commands that move or change files on a host: get, put, rm, rmdir, mkdir, rename, fxp.

#include "cli/CliListing.h"
#include "cli/CliSession.h"
#include "ftp/Cache.h"
#include "ftp/PackedDateTime.h"
#include "platform/StatusLine.h"
#include "pool/DeleteList.h"
#include "pool/HostToHostTransfer.h"
#include "pool/OperationRecord.h"
#include "pool/TransferStack.h"
#include "settings/AsciiExtensions.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <unistd.h>

namespace {

// Splits the leading "--flag" options off the arguments; false on an unknown one.
bool takeFlags(QStringList &args, const QStringList &known, QStringList &given, QTextStream &err)
{
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString flag = args.takeFirst();
        if (!known.contains(flag)) {
            err << "unknown option " << flag << Qt::endl;
            return false;
        }
        given << flag;
    }
    return true;
}

QString absoluteRemote(QString path)
{
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    return path;
}

QString remoteParent(const QString &path)
{
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    return last > 0 ? path.left(last + 1) : QStringLiteral("/");
}

QString remoteName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString joinRemote(const QString &directory, const QString &name)
{
    return (directory.endsWith(QLatin1Char('/')) ? directory : directory + QLatin1Char('/')) + name;
}

// Shows the progress of the current file on a terminal.
void showProgress(CliContext &ctx, TransferStack &stack)
{
    if (!isatty(STDERR_FILENO))
        return;
    QObject::connect(&stack, &TransferStack::changed, &stack, [&ctx, &stack] {
        if (stack.fileDone() == 0)
            return;
        *ctx.err << '\r' << stack.currentFile() << "  " << stack.fileDone() << " bytes  " << stack.filePercent()
                 << "%  " << stack.fileRemaining() << " left   " << Qt::flush;
    });
    QObject::connect(&stack, &TransferStack::fileFinished, &stack, [&ctx] { *ctx.err << Qt::endl; });
}

int transferResult(CliSession &session, TransferStack &stack, CliContext &ctx)
{
    const bool ended = session.waitForEnd();
    if (!session.loggedIn())
        return ExitUnreachable;
    for (const QString &failure : stack.failures())
        *ctx.err << failure << Qt::endl;
    return ended && stack.filesFailed() == 0 && stack.remainingLines().isEmpty() ? ExitDone : ExitRefused;
}

// Lists a directory live and returns its entries; nullopt when the listing failed.
std::optional<QList<ListingEntry>> listDirectory(CliSession &session, const QString &directory)
{
    CliListing job;
    QEventLoop loop;
    job.onDone = [&loop] { loop.quit(); };
    session.connection()->ListDir(QString(), &job, directory);
    if (!job.done) {
        QPointer<Connection> c(session.connection());
        QObject::connect(c, &Connection::stateChanged, &loop, [&] {
            if (c->state() == Connection::Closed)
                loop.quit();
        });
        loop.exec();
    }
    if (!job.done)
        return std::nullopt;
    return job.entries;
}

void printEntries(CliContext &ctx, const QList<ListingEntry> &entries)
{
    static const char *const kinds[] = {"file", "dir", "link"};
    for (const ListingEntry &entry : entries)
        *ctx.out << kinds[entry.kind] << '\t' << entry.size << '\t' << PackedDateTime::format(entry.dateTime) << '\t'
                 << entry.name << '\n';
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
    CliListing job;
    session.pool().addPane(&job);
    QEventLoop loop;
    job.onDone = [&loop] { loop.quit(); };
    session.connection()->ListDir(cacheFile, &job, directory);
    QPointer<Connection> c(session.connection());
    QObject::connect(c, &Connection::stateChanged, &loop, [&] {
        if (c->state() == Connection::Closed)
            loop.quit();
    });
    if (!job.done)
        loop.exec();
    session.pool().removePane(&job);
    if (!session.loggedIn())
        return ExitUnreachable;
    printEntries(ctx, job.entries);
    return job.done && job.complete ? ExitDone : ExitRefused;
}

int get(CliContext &ctx)
{
    QStringList flags;
    if (!takeFlags(ctx.args, {QStringLiteral("--resume")}, flags, *ctx.err) || ctx.args.size() != 2)
        return ExitUsage;
    const QString remote = absoluteRemote(ctx.args.at(0));
    const QString name = remoteName(remote);
    const QString localPath = QDir(ctx.args.at(1)).absoluteFilePath(name);
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    const std::optional<QList<ListingEntry>> entries = listDirectory(session, remoteParent(remote));
    if (!entries)
        return session.loggedIn() ? ExitRefused : ExitUnreachable;
    const auto found = std::find_if(entries->begin(), entries->end(),
                                    [&](const ListingEntry &e) { return e.name == name && e.kind == ListingEntry::File; });
    if (found == entries->end()) {
        *ctx.err << "no file " << remote << " on the host" << Qt::endl;
        return ExitRefused;
    }
    const qint64 size = qint64(found->size);
    QString sizeText = QString::number(size);
    const QFileInfo local(localPath);
    if (flags.contains(QLatin1String("--resume")) && local.exists()) {
        const qint64 have = local.size();
        if (have >= size) {
            *ctx.err << localPath << (have == size ? " is already complete" : " is larger than the host's copy")
                     << "; nothing was transferred." << Qt::endl;
            return ExitDone;
        }
        sizeText = QStringLiteral("%1 -R %2").arg(size - have).arg(have);
    }
    TransferStack stack;
    stack.addEntry(remote + QLatin1String(" -> ") + localPath + QLatin1String(" (") + sizeText + QLatin1Char(')')
                   + (IsAsciiExtension(name) ? QLatin1String(" ASCII") : QString()));
    session.watch(&stack);
    showProgress(ctx, stack);
    session.connection()->TransferFiles(&stack);
    return transferResult(session, stack, ctx);
}

int put(CliContext &ctx)
{
    QStringList flags;
    if (!takeFlags(ctx.args, {QStringLiteral("--unique")}, flags, *ctx.err) || ctx.args.size() != 2)
        return ExitUsage;
    const QFileInfo local(ctx.args.at(0));
    if (!local.isFile()) {
        *ctx.err << "no file " << local.filePath() << Qt::endl;
        return ExitUsage;
    }
    const QString remote = joinRemote(absoluteRemote(ctx.args.at(1)), local.fileName());
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    // The option is for this upload only: the stored preference stays as it was.
    const bool storedUnique = session.pool().storeUnique();
    session.pool().setStoreUnique(flags.contains(QLatin1String("--unique")));
    TransferStack stack;
    stack.addEntry(remote + QLatin1String(" <- ") + local.absoluteFilePath() + QLatin1String(" (")
                   + QString::number(local.size()) + QLatin1Char(')')
                   + (IsAsciiExtension(local.fileName()) ? QLatin1String(" ASCII") : QString()));
    session.watch(&stack);
    showProgress(ctx, stack);
    session.connection()->TransferFiles(&stack);
    const int result = transferResult(session, stack, ctx);
    session.pool().setStoreUnique(storedUnique);
    return result;
}

int deletePaths(CliContext &ctx, bool directories)
{
    if (ctx.args.isEmpty() || (directories && ctx.args.size() != 1))
        return ExitUsage;
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    DeleteList list(session.hostName(), QString());
    // The list is worked from its end: keep the order the user gave.
    for (auto it = ctx.args.crbegin(); it != ctx.args.crend(); ++it)
        list.addLine((directories ? QStringLiteral("DIR: ") : QString()) + absoluteRemote(*it));
    session.watch(&list);
    session.connection()->DeleteFiles(&list);
    const bool ended = session.waitForEnd();
    if (!session.loggedIn())
        return ExitUnreachable;
    for (const QString &failure : list.failures())
        *ctx.err << failure << Qt::endl;
    return ended && list.entriesFailed() == 0 ? ExitDone : ExitRefused;
}

int rm(CliContext &ctx) { return deletePaths(ctx, false); }
int rmdir(CliContext &ctx) { return deletePaths(ctx, true); }

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
    RenameRecord record(session.hostName(), absoluteRemote(ctx.args.at(0)), ctx.args.at(1), ctx.args.at(2));
    return runRecord(session, record, [&] { session.connection()->RenameFile(&record); });
}

int fxp(CliContext &ctx)
{
    if (ctx.args.size() != 3)
        return ExitUsage;
    const QString source = absoluteRemote(ctx.args.at(0));
    CliSession session(ctx, *ctx.prompt);
    QString sourceHost, destinationHost;
    if (!session.defineHost(ctx.host, &sourceHost) || !session.defineHost(ctx.args.at(1), &destinationHost))
        return ExitUsage;
    HostToHostTransfer transfer(session.pool(), sourceHost, destinationHost, false);
    transfer.insertLine({source, joinRemote(absoluteRemote(ctx.args.at(2)), remoteName(source)),
                         !IsAsciiExtension(remoteName(source))});
    QEventLoop loop;
    QObject::connect(&transfer, &HostToHostTransfer::ended, &loop, &QEventLoop::quit);
    transfer.takeNextLine();
    if (!transfer.finished())
        loop.exec();
    for (const QString &failure : transfer.failures())
        *ctx.err << failure << Qt::endl;
    return transfer.filesFailed() == 0 && transfer.filesCompleted() > 0 ? ExitDone : ExitRefused;
}

const CliRegistration registrations[] = {
    CliRegistration{{QStringLiteral("ls"), true, QStringLiteral("ls [--refresh] DIR"), &ls}},
    CliRegistration{{QStringLiteral("get"), true, QStringLiteral("get [--resume] REMOTE_FILE LOCAL_DIR"), &get}},
    CliRegistration{{QStringLiteral("put"), true, QStringLiteral("put [--unique] LOCAL_FILE REMOTE_DIR"), &put}},
    CliRegistration{{QStringLiteral("rm"), true, QStringLiteral("rm REMOTE_FILE..."), &rm}},
    CliRegistration{{QStringLiteral("rmdir"), true, QStringLiteral("rmdir REMOTE_DIR"), &rmdir}},
    CliRegistration{{QStringLiteral("mkdir"), true, QStringLiteral("mkdir REMOTE_DIR"), &mkdir}},
    CliRegistration{{QStringLiteral("rename"), true, QStringLiteral("rename REMOTE_DIR OLD NEW"), &rename}},
    CliRegistration{{QStringLiteral("fxp"), true, QStringLiteral("fxp REMOTE_FILE DSTHOST DST_DIR"), &fxp}},
};

} // namespace
