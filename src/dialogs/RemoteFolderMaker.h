#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class ConnectionManager;
class MakeDirRecord;

// Makes the folders of a copied tree that no file made (empty ones), one after the other on the
// host's browse connection, once the copy is over. A folder the host refuses is reported by the
// connection as any refused directory is; the others are still made. Lives until the last folder
// is made, or until the pool goes.
class RemoteFolderMaker : public QObject
{
    Q_OBJECT
public:
    // Starts from the event loop: the caller may be inside a connection's handlers.
    static void make(ConnectionManager &pool, const QString &host, const QStringList &paths);

private:
    RemoteFolderMaker(ConnectionManager &pool, const QString &host, const QStringList &paths);
    void next();

    ConnectionManager &pool_;
    QString host_;
    QStringList paths_;
    MakeDirRecord *record_ = nullptr;
};
