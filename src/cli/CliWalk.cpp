#include "cli/CliWalk.h"

#include "ftp/Connection.h"
#include "ftp/RemoteName.h"
#include "cli/CliHelpers.h"
#include "pool/ConnectionManager.h"

#include <QEventLoop>

bool CliWalk::run(const std::function<bool()> &start)
{
    QEventLoop loop;
    quit_ = [&loop] { loop.quit(); };
    // A connection that closes before the walk ends (login refused, host gone) ends the wait.
    QObject::connect(&pool_, &ConnectionManager::connectionClosed, &loop, &QEventLoop::quit);
    // A starter gives no job both when it could not start and when the walk already ended.
    if (!start() && !ended_)
        return false;
    if (!ended_)
        loop.exec();
    quit_ = nullptr;
    return ended_ && whole_;
}

void CliWalk::setCurrentDirectory(const QString &path)
{
    if (ctx_.verbose)
        *ctx_.err << "Current Directory: " << shownText(path) << Qt::endl;
}

void CliWalk::walkStopped(const QString &text, bool incomplete)
{
    ++stopped;
    cutShort += incomplete ? 1 : 0;
    *ctx_.err << shownText(text) << Qt::endl;
}

void CliWalk::finished(const QStringList &gathered)
{
    items = gathered;
    done(true);
}

void CliWalk::aborted()
{
    done(false);
}

void CliWalk::found(const QString &directory, const QString &name, quint64, bool folder)
{
    const QString path = shownRemoteName(directory + name) + (folder ? QStringLiteral("/") : QString());
    matches << path;
    *ctx_.out << shownText(path) << Qt::endl;
}

void CliWalk::done(bool whole)
{
    ended_ = true;
    whole_ = whole;
    if (quit_)
        quit_();
}
