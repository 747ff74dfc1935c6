#include "pool/ConnectionManager.h"

#include "ftp/Connection.h"
#include "ftp/ListingDelivery.h"
#include "ftp/PaneView.h"
#include "platform/LocalDrives.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "settings/AppValues.h"
#include "settings/SettingsKeys.h"
#include "settings/LeadingInteger.h"
#include "settings/HostRecord.h"

namespace {
// Without a dialog to ask with, the cache goes where the dialog would have proposed.
void storeDefaultCachePath()
{
    SetAppValue(QStringLiteral("CachePath"), defaultCachePath());
}
} // namespace

ConnectionManager::ConnectionManager(Prompt &prompt, StatusLine &status, const std::function<void()> &askCachePath,
                                     QObject *parent)
    : QObject(parent)
    , prompt_(prompt)
    , status_(status)
    , cache_(prompt, askCachePath ? askCachePath : std::function<void()>(storeDefaultCachePath))
{
    browseConnections_.reserve(6);
    transferConnections_.reserve(6);
    QString value;
    GetAppValue(QStringLiteral("StoreU"), value, 10);
    storeUnique_ = LeadingInteger(value) != 0;
    arrowConnection_ = GetAppValue(QStringLiteral("TType"), value, 10) == 0 ? LeadingInteger(value) : 1;
    hostTransferMode_ = GetAppValue(QStringLiteral("HostTType"), value, 10) == 0 ? LeadingInteger(value) : 2;
    if (hostTransferMode_ < 0 || hostTransferMode_ > 2)
        hostTransferMode_ = 2;
    if (arrowConnection_ < 0 || arrowConnection_ > 2)
        arrowConnection_ = 0;
    // Seconds without an answer before an operation fails; 0 waits for ever.
    bool number = false;
    const int timeout = AppValue(QStringLiteral("Timeout"), 20).trimmed().toInt(&number);
    timeoutSeconds_ = number && timeout >= 0 ? timeout : 120;
    setDataMode(LeadingInteger(AppValue(QStringLiteral("DataMode"), 10)));
    const int keepAlive = AppValue(QStringLiteral("KeepAlive"), 20).trimmed().toInt(&number);
    keepAliveSeconds_ = number && keepAlive > 0 ? keepAlive : 0;
}

ConnectionManager::~ConnectionManager()
{
    // Every connection goes now, while the pool is still whole, retired ones that wait for the
    // event loop included: a listing cut off here sends its walk on to the next directory, and
    // that walk must find the pool still there and no connection to be had.
    closing_ = true;
    browseConnections_.clear();
    transferConnections_.clear();
    qDeleteAll(findChildren<Connection *>(Qt::FindDirectChildrenOnly));
    SetAppValue(QStringLiteral("StoreU"), QString::number(storeUnique_ ? 1 : 0));
    SetAppValue(QStringLiteral("TType"), QString::number(arrowConnection_));
    SetAppValue(QStringLiteral("HostTType"), QString::number(hostTransferMode_));
}

unsigned ConnectionManager::HostOrdinal(const QString &hostName)
{
    // Whole name against whole name: "ftp" must not match the tail of "myftp".
    const QString entry = hostName + QLatin1Char('\n');
    qsizetype at = 0;
    unsigned ordinal = 0;
    while (at < hostNames_.size()) {
        const qsizetype end = hostNames_.indexOf(QLatin1Char('\n'), at);
        if (QStringView(hostNames_).mid(at, end + 1 - at) == entry)
            return ordinal;
        at = end + 1;
        ++ordinal;
    }
    hostNames_ += entry;
    return ordinal;
}

QString ConnectionManager::hostName(unsigned ordinal) const
{
    return hostNames_.section(QLatin1Char('\n'), int(ordinal), int(ordinal));
}

int ConnectionManager::GetConnection(const QString &hostName, int kind)
{
    if (closing_)
        return -1;
    ReapClosed();
    if (kind < Browse || kind > Persistent)
        return 0;
    const unsigned ordinal = HostOrdinal(hostName);
    if (kind == Browse) {
        for (int slot = 0; slot < browseConnections_.size(); ++slot) {
            Connection *c = browseConnections_.at(slot);
            if (c && c->hostIndex() == ordinal)
                return slot;
        }
    }
    HostRecord record;
    if (!ReadHostRecord(hostName, record))
        return -1;
    return addConnection(record, ordinal, kind);
}

int ConnectionManager::addConnection(const HostRecord &record, unsigned ordinal, int kind)
{
    // The record decides what its port text means ("08" or " 2121" is port 21), not the connection.
    auto *c = new Connection(QString::number(record.portNumber()), record.address, record.userName,
                             record.password, ordinal, this, record.hostType, record.dataMode,
                             record.encryption);
    c->setParent(this);
    connect(c, &Connection::stateChanged, this, [this, c](Connection::State state) {
        if (state == Connection::Closed)
            emit connectionClosed(c);
    });
    if (kind == Browse) {
        browseConnections_.append(c);
        return int(browseConnections_.size() - 1);
    }
    c->setCloseWhenIdle(kind == SingleUse);
    transferConnections_.append(c);
    return int(transferConnections_.size() - 1);
}

Connection *ConnectionManager::connectionFor(const QString &hostName, int kind)
{
    return connection(kind, GetConnection(hostName, kind));
}

bool ConnectionManager::RequestTransfer(const QString &host, TransferDriver *record, int kind)
{
    Connection *c = connectionFor(host, kind);
    if (!c) {
        record->operationEnded();
        return false;
    }
    c->TransferFiles(record);
    return true;
}

bool ConnectionManager::RequestDelete(const QString &host, DeleteDriver *record, int kind)
{
    Connection *c = connectionFor(host, kind);
    if (!c) {
        record->operationEnded();
        return false;
    }
    c->DeleteFiles(record);
    return true;
}

bool ConnectionManager::RequestRename(const QString &host, RenameDriver *record)
{
    Connection *c = connectionFor(host, Browse);
    if (c)
        c->RenameFile(record);
    return c;
}

bool ConnectionManager::RequestMakeDirectory(const QString &host, MakeDirDriver *record)
{
    // Without a connection the record stays, waiting, until its owner cancels it.
    Connection *c = connectionFor(host, Browse);
    if (c)
        c->MakeDir(record);
    return c;
}

bool ConnectionManager::RequestCommand(const QString &host, const QString &text)
{
    Connection *c = connectionFor(host, Browse);
    if (c)
        c->CustomCommands(text);
    return c;
}

int ConnectionManager::ClearWaiting(const QString &host)
{
    Connection *c = connectionFor(host, Browse);
    if (!c)
        return -1;
    c->ClearQueue();
    return 0;
}

Connection *ConnectionManager::Monitor(const QString &host)
{
    return connectionFor(host, Browse);
}

Connection *ConnectionManager::connection(int kind, int slot) const
{
    const QList<Connection *> &list = kind == Browse ? browseConnections_ : transferConnections_;
    return slot >= 0 && slot < list.size() ? list.at(slot) : nullptr;
}

void ConnectionManager::defineHost(const HostRecord &record)
{
    definedHosts_.removeIf([&](const HostRecord &r) { return r.name == record.name; });
    definedHosts_.append(record);
}

const HostRecord *ConnectionManager::definedHost(const QString &hostName) const
{
    for (const HostRecord &defined : definedHosts_)
        if (defined.name == hostName)
            return &defined;
    return nullptr;
}

namespace {
// Where the certificate of a host known for this run only is kept: its address and port.
QString certificateSlot(const HostRecord &record)
{
    const QString address = record.address.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(record.address)
                                                                      : record.address;
    return QStringLiteral("%1:%2").arg(address.toLower()).arg(record.portNumber());
}
} // namespace

QString ConnectionManager::trustedCertificate(unsigned ordinal) const
{
    const QString name = hostName(ordinal);
    if (const HostRecord *defined = definedHost(name))
        return SettingsStore::instance().value(SettingsKeys::Certificates, certificateSlot(*defined)).value_or(QString());
    const std::optional<HostRecord> stored = HostRecord::read(name);
    return stored ? stored->certSha256 : QString();
}

bool ConnectionManager::storeTrustedCertificate(unsigned ordinal, const QString &sha256)
{
    const QString name = hostName(ordinal);
    SettingsStore &store = SettingsStore::instance();
    if (const HostRecord *defined = definedHost(name))
        return store.setValue(SettingsKeys::Certificates, certificateSlot(*defined), sha256);
    return HostRecord::read(name) && store.setValue(SettingsKeys::hostKey(name), QStringLiteral("CertSha256"), sha256);
}

bool ConnectionManager::ReadHostRecord(const QString &hostName, HostRecord &record)
{
    if (const HostRecord *defined = definedHost(hostName)) {
        record = *defined;
        return true;
    }
    std::optional<HostRecord> stored = HostRecord::read(hostName);
    if (!stored) {
        prompt_.message(tr("Couldn't Find Host Details"), tr("Registry Error"));
        return false;
    }
    if (stored->address.isEmpty()) {
        prompt_.message(tr("Couldn't Find Host Address"), tr("Registry Error"));
        return false;
    }
    record = *stored;
    return true;
}

void ConnectionManager::ReapClosed()
{
    if (browseConnections_.size() > ConnectionsLowCount || transferConnections_.size() > ConnectionsLowCount)
        prompt_.message(tr("You are getting dangerously low on available connection, please select "
                           "\"Close All Connections\" from the tools menu when it is next convenient"),
                        tr("Connections Low"));
    for (QList<Connection *> *list : {&browseConnections_, &transferConnections_}) {
        for (Connection *&c : *list) {
            if (c && c->state() == Connection::Closed)
                retire(std::exchange(c, nullptr));
        }
    }
}

void ConnectionManager::retire(Connection *connection)
{
    // A connection may be inside one of its own handlers; it goes once the event loop is back.
    // Its windows go now: whoever showed them may be gone before the event loop comes back.
    connection->CloseAttachedWindows();
    connection->disconnect();
    connection->deleteLater();
}

void ConnectionManager::RemoveConnection(Connection *connection)
{
    bool held = false;
    for (QList<Connection *> *list : {&browseConnections_, &transferConnections_}) {
        for (Connection *&c : *list) {
            if (c == connection) {
                c = nullptr;
                held = true;
            }
        }
    }
    if (held)
        retire(connection);
}

bool ConnectionManager::listingUnderWay(int listingId) const
{
    if (listingId < 0)
        return false;
    for (const QList<Connection *> *list : {&browseConnections_, &transferConnections_})
        for (const Connection *c : *list)
            if (c && c->hasListing(listingId))
                return true;
    return false;
}

bool ConnectionManager::listingArriving(int listingId) const
{
    for (const QList<Connection *> *list : {&browseConnections_, &transferConnections_})
        for (const Connection *c : *list)
            if (c && c->isListing(listingId))
                return true;
    return false;
}

bool ConnectionManager::IsPooled(const void *address) const
{
    if (!address)
        return false;
    for (const QList<Connection *> *list : {&browseConnections_, &transferConnections_})
        for (const Connection *c : *list)
            if (c == address)
                return true;
    return false;
}

bool ConnectionManager::AllIdle() const
{
    for (const QList<Connection *> *list : {&browseConnections_, &transferConnections_})
        for (const Connection *c : *list)
            if (c && c->state() != Connection::Idle && c->state() != Connection::Closed)
                return false;
    return true;
}

void ConnectionManager::CloseAll()
{
    for (QList<Connection *> *list : {&browseConnections_, &transferConnections_}) {
        for (Connection *c : *list)
            if (c)
                retire(c);
        list->clear();
    }
}

void ConnectionManager::CloseHost(const QString &hostName)
{
    const QString entry = hostName + QLatin1Char('\n');
    if (!(hostNames_.startsWith(entry) || hostNames_.contains(QLatin1Char('\n') + entry)))
        return;
    const unsigned ordinal = HostOrdinal(hostName);
    for (QList<Connection *> *list : {&browseConnections_, &transferConnections_}) {
        for (Connection *&c : *list)
            if (c && c->hostIndex() == ordinal)
                retire(std::exchange(c, nullptr));
    }
}

void ConnectionManager::invalidateListing(const QString &host, const QString &directory)
{
    Cache lookup = cache_; // a copy, so the pool's last lookup stays as it was
    lookup.Lookup(host, directory, true);
    lookup.DeleteFile();
}

std::unique_ptr<ListingDelivery> ConnectionManager::listingDelivery(const QString &host, const QString &directory,
                                                                    int listingId, ListingJob *job,
                                                                    const QString &cacheFile)
{
    return std::make_unique<ListingDelivery>(panes_, host, directory, listingId, job, cacheFile);
}

void ConnectionManager::entryRemoved(const QString &host, const QString &directory, const QString &name)
{
    for (PaneView *pane : QList<PaneView *>(panes_))
        pane->entryRemoved(host, directory, name);
}

void ConnectionManager::entryRenamed(const QString &host, const QString &directory, const QString &oldName,
                                     const QString &newName)
{
    for (PaneView *pane : QList<PaneView *>(panes_))
        pane->entryRenamed(host, directory, oldName, newName);
}

void ConnectionManager::directoryCreated(const QString &host, const QString &parent, const QString &name)
{
    for (PaneView *pane : QList<PaneView *>(panes_))
        pane->directoryCreated(host, parent, name);
}
