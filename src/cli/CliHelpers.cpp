#include "cli/CliHelpers.h"

#include "ftp/RemoteName.h"
#include "platform/SafeText.h"

#include "cli/CliListing.h"
#include "cli/CliSession.h"
#include "pool/TransferStack.h"

#include <QEventLoop>
#include <QPointer>
#include <unistd.h>

// One flag a word, before the other arguments.
bool takeFlags(QStringList &args, const QStringList &known, QStringList &given, QTextStream &err)
{
    while (!args.isEmpty() && args.first().startsWith(QLatin1Char('-')) && args.first().size() > 1) {
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
        *ctx.err << '\r' << shownText(stack.currentFile()) << "  " << stack.fileDone() << " bytes  "
                 << stack.filePercent() << "%  " << stack.fileRemaining() << " left   " << Qt::flush;
    });
    QObject::connect(&stack, &TransferStack::fileFinished, &stack, [&ctx] { *ctx.err << Qt::endl; });
}

int transferResult(CliSession &session, TransferStack &stack, CliContext &ctx)
{
    const bool ended = session.waitForEnd();
    if (!session.loggedIn())
        return ExitUnreachable;
    for (const QString &failure : stack.failures())
        *ctx.err << shownText(failure) << Qt::endl;
    return ended && stack.filesFailed() == 0 && stack.remainingLines().isEmpty() ? ExitDone : ExitRefused;
}

QString shownText(const QString &text)
{
    return safeText(shownRemoteName(text));
}

QString listedName(CliSession &session, const QString &directory, const QString &typed)
{
    const bool ascii = std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return typed;
    const std::optional<QList<ListingEntry>> entries = listDirectory(session, directory);
    if (!entries)
        return typed;
    QStringList shownAlike;
    for (const ListingEntry &entry : *entries) {
        if (entry.name == typed)
            return typed;
        if (shownRemoteName(entry.name) == typed)
            shownAlike << entry.name;
    }
    return shownAlike.size() == 1 ? shownAlike.first() : typed;
}

QString listedPath(CliSession &session, const QString &typedPath)
{
    const QString parent = remoteParent(typedPath);
    return parent + listedName(session, parent, remoteName(typedPath));
}

// Lists a directory live and returns its entries; nullopt when the listing failed.
std::optional<QList<ListingEntry>> listDirectory(CliSession &session, const QString &directory,
                                                 const QString &cacheFile)
{
    return listDirectory(session.pool(), session.connection(), directory, cacheFile);
}

std::optional<QList<ListingEntry>> listDirectory(ConnectionManager &pool, Connection *connection,
                                                 const QString &directory, const QString &cacheFile)
{
    CliListing job;
    pool.addPane(&job); // as a pane it learns whether the listing came in whole
    QEventLoop loop;
    job.onDone = [&loop] { loop.quit(); };
    connection->ListDir(cacheFile, &job, directory);
    QPointer<Connection> c(connection);
    if (!job.done) {
        QObject::connect(c, &Connection::stateChanged, &loop, [&] {
            if (c->state() == Connection::Closed)
                loop.quit();
        });
        loop.exec();
    }
    // The connection closed with the listing still queued; the job ends here.
    if (!job.done && c)
        c->ClearQueue();
    pool.removePane(&job);
    if (!job.done || !job.complete)
        return std::nullopt;
    return job.entries;
}

QString withoutSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}
