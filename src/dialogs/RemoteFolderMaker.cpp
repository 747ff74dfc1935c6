#include "dialogs/RemoteFolderMaker.h"

#include "pool/ConnectionManager.h"
#include "pool/OperationRecord.h"

void RemoteFolderMaker::make(ConnectionManager &pool, const QString &host, const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    auto *maker = new RemoteFolderMaker(pool, host, paths);
    QMetaObject::invokeMethod(maker, &RemoteFolderMaker::next, Qt::QueuedConnection);
}

RemoteFolderMaker::RemoteFolderMaker(ConnectionManager &pool, const QString &host, const QStringList &paths)
    : QObject(&pool), pool_(pool), host_(host), paths_(paths)
{
}

// Each record ends inside the connection's handlers: it goes, and the next is queued, from the
// event loop.
void RemoteFolderMaker::next()
{
    if (record_)
        record_->deleteLater();
    record_ = nullptr;
    if (paths_.isEmpty()) {
        deleteLater();
        return;
    }
    record_ = new MakeDirRecord(host_, paths_.takeFirst(), this);
    connect(record_, &MakeDirRecord::ended, this, [this] {
        QMetaObject::invokeMethod(this, &RemoteFolderMaker::next, Qt::QueuedConnection);
    });
    if (!pool_.RequestMakeDirectory(host_, record_)) {
        paths_.clear(); // no connection: the pool has said why
        next();
    }
}
