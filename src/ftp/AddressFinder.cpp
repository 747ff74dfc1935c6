#include "ftp/AddressFinder.h"

#include <QHostInfo>

AddressFinder::AddressFinder(const QString &hostName, QObject *parent) : QObject(parent)
{
    lookupId_ = QHostInfo::lookupHost(hostName, this, &AddressFinder::lookedUp);
}

AddressFinder::~AddressFinder()
{
    if (pending())
        QHostInfo::abortHostLookup(lookupId_);
}

void AddressFinder::lookedUp(const QHostInfo &info)
{
    lookupId_ = -1;
    QList<QHostAddress> found;
    if (info.error() == QHostInfo::NoError) {
        for (const QHostAddress &address : info.addresses())
            if (!address.isNull() && !found.contains(address))
                found.append(address);
    }
    if (found.isEmpty())
        errorString_ = info.error() == QHostInfo::NoError ? tr("No address found") : info.errorString();
    emit finished(found);
}
