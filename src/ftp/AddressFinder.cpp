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
    QHostAddress found;
    if (info.error() == QHostInfo::NoError) {
        const QList<QHostAddress> addresses = info.addresses();
        for (const QHostAddress &address : addresses) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                found = address;
                break;
            }
        }
        if (found.isNull() && !addresses.isEmpty())
            found = addresses.first();
    }
    if (found.isNull())
        errorString_ = info.error() == QHostInfo::NoError ? tr("No address found") : info.errorString();
    emit finished(found);
}
