#include "cli/RemoteFolders.h"

#include "cli/CliHelpers.h"
#include "cli/CliSession.h"
#include "pool/OperationRecord.h"

#include <QEventLoop>
#include <QPointer>

RemoteFolders::RemoteFolders(CliContext &ctx, CliSession &session, const QString &host)
    : ctx_(ctx), session_(session), host_(host)
{
}

int RemoteFolders::make(const QStringList &paths)
{
    int refused = 0;
    for (const QString &path : paths) {
        Connection *connection = session_.pool().connectionFor(host_, ConnectionManager::Browse);
        if (!connection)
            return ExitUnreachable; // the host's record could not be read; the pool said why
        watch(connection);
        const Outcome outcome = makeOne(connection, path);
        if (outcome == Outcome::Closed) {
            *ctx_.err << "The connection closed before the folders were made." << Qt::endl;
            return loggedIn_ ? ExitRefused : ExitUnreachable;
        }
        if (outcome == Outcome::Refused)
            ++refused;
    }
    return refused ? ExitRefused : ExitDone;
}

// Notes whether the connection gets past its login, once for each connection the pool gives.
void RemoteFolders::watch(Connection *connection)
{
    if (watched_ == connection)
        return;
    watched_ = connection;
    loggedIn_ = loggedIn_ || pastLogin(connection->state());
    QObject::connect(connection, &Connection::stateChanged, &guard_, [this](Connection::State state) {
        if (pastLogin(state))
            loggedIn_ = true;
    });
}

QStringList RemoteFolders::levelsOf(const QString &directory)
{
    QStringList levels;
    QString path;
    for (const QString &part : directory.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        levels << path;
    }
    return levels;
}

RemoteFolders::Outcome RemoteFolders::makeOne(Connection *connection, const QString &path)
{
    QPointer<Connection> c(connection);
    MakeDirRecord record(host_, path);
    FailureCount &failures = session_.failures();
    // A refusal may only mean the folder is there already: its warning waits until that is known.
    failures.hold();
    const bool ended = runRecord(connection, record);
    const bool made = ended && (record.done() || (c && isFolder(c, path)));
    failures.release(!made);
    if (made)
        return Outcome::Made;
    if (!ended || !c || c->state() == Connection::Closed)
        return Outcome::Closed;
    *ctx_.err << "The folder " << shownText(path) << " was not made." << Qt::endl;
    return Outcome::Refused;
}

// Runs the record to its end (true) or until the connection closes (false).
bool RemoteFolders::runRecord(Connection *connection, MakeDirRecord &record)
{
    QPointer<Connection> c(connection);
    QEventLoop loop;
    QObject::connect(&record, &MakeDirRecord::ended, &loop, &QEventLoop::quit);
    QObject::connect(connection, &Connection::stateChanged, &loop, [&] {
        if (c->state() == Connection::Closed)
            loop.quit();
    });
    QObject::connect(connection, &QObject::destroyed, &loop, &QEventLoop::quit);
    session_.pool().RequestMakeDirectory(host_, &record);
    if (!record.finished())
        loop.exec();
    // A connection that closed keeps its queue; the record goes when this returns.
    if (!record.finished() && c)
        c->ClearQueue();
    return record.finished();
}

// Whether the path is a folder on the host: it can be listed.
bool RemoteFolders::isFolder(Connection *connection, const QString &path)
{
    if (connection->state() == Connection::Closed)
        return false;
    return listDirectory(session_.pool(), connection, path + QLatin1Char('/')).has_value();
}
