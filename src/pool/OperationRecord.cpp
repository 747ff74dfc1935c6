#include "pool/OperationRecord.h"

OperationRecord::OperationRecord(const QString &host, QObject *parent)
    : QObject(parent), host_(host), status_(tr("Waiting for Connection to Become Available"))
{
}

void OperationRecord::setStatusText(const QString &text)
{
    status_ = text;
    emit changed();
}

void OperationRecord::record(bool done, const QString &reason)
{
    done_ = done;
    failure_ = reason;
    emit changed();
}

void OperationRecord::end()
{
    if (finished_)
        return;
    finished_ = true;
    emit ended();
}

RenameRecord::RenameRecord(const QString &host, const QString &directory, const QString &oldName,
                           const QString &newName, QObject *parent)
    : OperationRecord(host, parent), directory_(directory), oldName_(oldName), newName_(newName)
{
}

MakeDirRecord::MakeDirRecord(const QString &host, const QString &path, QObject *parent)
    : OperationRecord(host, parent), path_(path)
{
}
