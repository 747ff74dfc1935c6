#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class ListInfo;

// Something a walk reports to. The walk knows it by address; an observer that goes first cancels
// the walk it watches, so that the walk never calls an object that is gone.
class JobObserver
{
public:
    JobObserver() = default;
    JobObserver(const JobObserver &) = delete;
    JobObserver &operator=(const JobObserver &) = delete;
    virtual ~JobObserver();

private:
    friend class ListInfo;
    ListInfo *job_ = nullptr;
};

// What a search job tells the search dialog (or the command line's find).
class SearchObserver : public JobObserver
{
public:
    virtual void setCurrentDirectory(const QString &path) = 0;
    virtual void found(const QString &directory, const QString &name, quint64 size, bool folder) = 0;
    // No connection could be had: the search never started.
    virtual void abort() = 0;
    // The walk is over; the job is gone once this returns.
    virtual void finished() = 0;
};

// What a tree walk tells its build dialog (or the command line).
class BuildObserver : public JobObserver
{
public:
    virtual void setCurrentDirectory(const QString &path) = 0;
    // A branch was not walked; the text says where. incomplete: the branch was too deep, so the
    // walk left out what it holds; not for a link back into the tree, which holds nothing new.
    virtual void walkStopped(const QString &text, bool incomplete) = 0;
    // The walk is over: items holds what it gathered. The job is gone once this returns.
    virtual void finished(const QStringList &items) = 0;
    // The walk could not go on (no connection): what was gathered must not be acted on.
    virtual void aborted() = 0;
};
