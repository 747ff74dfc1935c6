#pragma once

#include "cli/CliCommand.h"
#include "pool/JobObservers.h"

#include <QStringList>
#include <functional>

class ConnectionManager;

// Waits for a tree walk or a search of the command line: collects what it reports and runs the
// event loop until it ends, or until a connection of the pool closes under it.
class CliWalk : public BuildObserver, public SearchObserver
{
public:
    CliWalk(CliContext &ctx, ConnectionManager &pool) : ctx_(ctx), pool_(pool) {}

    // start() begins the walk; it returns false when the walk could not start or already ended.
    // True when the walk ran to its end.
    bool run(const std::function<bool()> &start);

    QStringList items;
    QStringList matches;
    int stopped = 0;
    // Branches left out for being too deep: the walk did not gather the whole tree.
    int cutShort = 0;

    // BuildObserver and SearchObserver
    void setCurrentDirectory(const QString &path) override;
    void walkStopped(const QString &text, bool incomplete) override;
    void finished(const QStringList &gathered) override;
    void aborted() override;
    void found(const QString &directory, const QString &name, quint64 size, bool folder) override;
    void abort() override { aborted(); }
    void finished() override { finished(QStringList()); }

private:
    void done(bool whole);

    CliContext &ctx_;
    ConnectionManager &pool_;
    bool ended_ = false;
    bool whole_ = false;
    std::function<void()> quit_;
};
