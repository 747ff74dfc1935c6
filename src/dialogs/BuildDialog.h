#pragma once

#include "dialogs/CDialog.h"
#include "pool/JobObservers.h"

#include <QStringList>

#include <functional>

class ConnectionManager;
class ListInfo;
class QLineEdit;

// "Building Directory Structure": the small window of a tree walk: one that goes before a copy or
// a delete of selected host folders, or one that lists a whole tree into the cache. It shows the directory being listed; "Cancel" or closing it
// ends the walk and nothing further happens. When the walk has gathered the whole tree, the
// window hands what it gathered to the operation waiting for it (from the event loop, never from
// inside the connection's handlers) and goes. Branches the walk could not enter are reported
// first, in one message.
class BuildDialog : public CDialog, public BuildObserver
{
    Q_OBJECT
public:
    enum ControlId { IdDirectory = 101 };
    using Resume = std::function<void(const QStringList &items)>;

    // Walks the trees below directories (full paths) on host (a delete walk never enters a link)
    // on the host's browse connection or a new one. The window lives on by itself until the walk
    // ends; nullptr when no connection could be had (the pool has said why).
    static BuildDialog *startTreeWalk(QWidget *parent, ConnectionManager &pool, const QString &host,
                                      const QStringList &directories, bool forDelete, bool newConnection,
                                      Resume resume);

    // Lists and caches every directory below path on host. nullptr when no connection could be had.
    static BuildDialog *startCacheBuild(QWidget *parent, ConnectionManager &pool, const QString &host,
                                        const QString &path, bool newConnection);

    ~BuildDialog() override;

    // BuildObserver
    void setCurrentDirectory(const QString &path) override;
    void walkStopped(const QString &text, bool incomplete) override;
    void finished(const QStringList &items) override;
    void aborted() override;

public slots:
    void reject() override;

private:
    BuildDialog(QWidget *parent, ConnectionManager &pool, Resume resume);
    void resume();
    void end();

    ConnectionManager &pool_;
    Resume resume_;
    ListInfo *job_ = nullptr; // while the walk runs
    QLineEdit *directory_;
    QStringList items_;
    QStringList notes_;
    bool ended_ = false;
};
