#include "pool/ListInfo.h"

#include "ftp/Cache.h"
#include "ftp/Connection.h"
#include "ftp/ListingDelivery.h"
#include "ftp/ListingEntry.h"
#include "ftp/PaneView.h"
#include "platform/StatusLine.h"
#include "pool/ConnectionManager.h"
#include "pool/JobObservers.h"
#include "settings/AsciiExtensions.h"

#include <QDir>

namespace {
int depthOf(const QString &path)
{
    return int(path.count(QLatin1Char('/')));
}

// A remote path with "." and ".." resolved; "/" for anything that climbs above the root.
QString resolvedRemote(const QString &path)
{
    QString clean = QDir::cleanPath(QLatin1Char('/') + path);
    while (clean.startsWith(QLatin1String("/..")))
        clean = clean.mid(3).isEmpty() ? QStringLiteral("/") : clean.mid(3);
    return clean;
}
} // namespace

ListInfo::ListInfo(ConnectionManager &pool) : pool_(pool)
{
    pending_.reserve(11);
    items_.reserve(11);
}

ListInfo::~ListInfo()
{
    releaseObservers();
}

JobObserver::~JobObserver()
{
    if (ListInfo *job = std::exchange(job_, nullptr))
        job->cancel();
}

void ListInfo::watchedBy(SearchObserver *search, BuildObserver *build)
{
    searchObserver_ = search;
    buildObserver_ = build;
    for (JobObserver *observer : {static_cast<JobObserver *>(search), static_cast<JobObserver *>(build)})
        if (observer)
            observer->job_ = this;
}

void ListInfo::releaseObservers()
{
    for (JobObserver *observer : {static_cast<JobObserver *>(searchObserver_), static_cast<JobObserver *>(buildObserver_)})
        if (observer && observer->job_ == this)
            observer->job_ = nullptr;
    searchObserver_ = nullptr;
    buildObserver_ = nullptr;
}

QString ListInfo::asDirectory(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

// ---------------------------------------------------------------------------------------------
// Starters

void ListInfo::ListDirectory(ConnectionManager &pool, const QString &host, const QString &path, PaneView *requester,
                             bool refresh, bool fetch)
{
    pool.status().showStatus(QObject::tr("List registered on %1 for %2").arg(host, path));
    auto *job = new ListInfo(pool);
    job->host_ = host;
    job->path_ = asDirectory(path);
    job->root_ = job->path_;
    RequestListing(pool, host, job->path_, job, refresh, requester, false, -1, fetch);
}

bool ListInfo::useConnection(bool newConnection)
{
    if (newConnection) {
        connIndex_ = pool_.GetConnection(host_, ConnectionManager::SingleUse);
        return connIndex_ >= 0;
    }
    connIndex_ = -1;
    return pool_.GetConnection(host_, ConnectionManager::Browse) >= 0;
}

ListInfo *ListInfo::StartSearch(ConnectionManager &pool, const SearchRequest &request, SearchObserver *observer)
{
    auto *job = new ListInfo(pool);
    job->watchedBy(observer, nullptr);
    job->host_ = request.host;
    job->path_ = asDirectory(request.directory);
    job->root_ = job->path_;
    job->pattern_ = request.text;
    job->collectDirs_ = request.subFolders;
    job->followLinks_ = request.followLinks;
    job->refresh_ = request.refresh;
    job->dedupe_ = true;
    if (!job->useConnection(request.newConnection)) {
        delete job;
        if (observer)
            observer->abort();
        return nullptr;
    }
    if (observer)
        observer->setCurrentDirectory(job->path_);
    return job->begin(true);
}

ListInfo *ListInfo::StartTreeBuild(ConnectionManager &pool, const QString &host, const QStringList &directories,
                                   bool forDelete, bool newConnection, bool refresh, BuildObserver *observer)
{
    if (directories.isEmpty())
        return nullptr;
    auto *job = new ListInfo(pool);
    job->watchedBy(nullptr, observer);
    job->host_ = host;
    job->path_ = asDirectory(directories.first());
    job->root_ = job->path_;
    for (qsizetype i = 1; i < directories.size(); ++i) {
        QString directory = directories.at(i);
        while (directory.size() > 1 && directory.endsWith(QLatin1Char('/')))
            directory.chop(1);
        job->pending_.append(directory);
        job->items_.append(QStringLiteral("DIR: ") + directory);
    }
    job->collectDirs_ = true;
    job->collectFiles_ = true;
    job->dedupe_ = true;
    // A delete acts on what the host holds now, never on a cached listing: one made from a machine
    // listing may show a link as a folder.
    job->refresh_ = refresh || forDelete;
    job->forDelete_ = forDelete;
    if (forDelete)
        job->followLinks_ = false; // deleting through a link would empty the folder it points to
    if (!job->useConnection(newConnection)) {
        delete job;
        return nullptr;
    }
    if (observer)
        observer->setCurrentDirectory(job->path_);
    return job->begin(false);
}

ListInfo *ListInfo::StartCacheBuild(ConnectionManager &pool, const QString &host, const QString &path,
                                    bool newConnection, BuildObserver *observer)
{
    auto *job = new ListInfo(pool);
    job->watchedBy(nullptr, observer);
    job->host_ = host;
    job->path_ = asDirectory(path);
    job->root_ = job->path_;
    job->collectDirs_ = true;
    job->refresh_ = true;
    if (!job->useConnection(newConnection)) {
        delete job;
        return nullptr;
    }
    if (observer)
        observer->setCurrentDirectory(job->path_);
    return job->begin(false);
}

ListInfo *ListInfo::begin(bool dedupe)
{
    walk_ = true;
    // Listings that come from the cache arrive at once, so the walk may be over before
    // RequestListing returns; the caller must not be handed a job that is gone.
    bool ended = false;
    endedFlag_ = &ended;
    RequestListing(pool_, host_, path_, this, refresh_, nullptr, dedupe, connIndex_, true);
    if (ended)
        return nullptr;
    endedFlag_ = nullptr;
    return this;
}

// ---------------------------------------------------------------------------------------------
// One listing

void ListInfo::RequestListing(ConnectionManager &pool, const QString &host, QString path, ListInfo *job,
                              bool refresh, PaneView *requester, bool dedupe, int connIndex, bool fetch)
{
    pool.ReapClosed();
    const qsizetype arrow = path.indexOf(QLatin1String(" -> "));
    if (arrow >= 0) {
        // A link's entry text: list its target, which a relative link names from its own folder.
        QString target = path.mid(arrow + 4);
        if (target.endsWith(QLatin1Char('/')))
            target.chop(1);
        if (!target.startsWith(QLatin1Char('/'))) {
            const QString link = path.left(arrow);
            target.prepend(link.left(link.lastIndexOf(QLatin1Char('/')) + 1));
        }
        path = asDirectory(resolvedRemote(target));
    }
    Cache &cache = pool.cache();
    bool useCache = false;
    if (cache.Lookup(host, path, false))
        useCache = !refresh;
    else if (!fetch)
        useCache = cache.Lookup(host, path, true);
    QString cacheFile = cache.GetFilePath();
    // A host that keeps no cache gets its listing without a cache file, and so without an id: the
    // pane that asks must wait for that listing, not for the file's number.
    const bool caching = cache.enabled();
    job->listingId_ = cacheFile.isEmpty() || !caching ? -1 : Cache::ListingId(cacheFile);
    const bool underWay = pool.listingUnderWay(job->listingId_);
    // While a listing arrives its cache file still holds the one before it: never replay that.
    const bool arriving = pool.listingArriving(job->listingId_);
    if (arriving)
        useCache = false;
    // A walk takes its own copy rather than wait; so does a pane that asks while the listing is
    // arriving, since what already arrived went by before it asked. A pane that asks while the
    // listing only waits in a queue is filled by it when it comes.
    const bool ownCopy = underWay && (dedupe || (arriving && requester));
    if (ownCopy) {
        // Someone else's copy is on its way: fetch ours without touching the cache.
        cacheFile.clear();
        job->listingId_ = -1;
    }
    if (requester)
        requester->listingRequested(host, path, job->listingId_);

    if (useCache && (!dedupe || !underWay)) {
        if (const std::optional<QList<ListingEntry>> entries = cache.ReadListing()) {
            ListingDelivery delivery(pool.panes(), host, path, job->listingId_, job, QString());
            delivery.start();
            for (const ListingEntry &entry : *entries)
                delivery.DeliverEntry(entry);
            delivery.end(true);
            pool.status().showStatus(QObject::tr("Finished Listing"));
            job->Next();
            return;
        }
        // The cache file was not a sound listing (it is gone now): ask the host instead, if
        // the caller lets us go to the host at all.
        useCache = false;
    }
    if (!fetch && !useCache) {
        job->Next();
        return;
    }
    if (underWay && !ownCopy) {
        pool.status().showStatus(QObject::tr("List of %1 on %2 already awaiting processing").arg(path, host));
        job->Next();
        return;
    }
    if (!cacheFile.isEmpty()) {
        cache.DeleteFile();
        if (!caching)
            cacheFile.clear();
    }
    Connection *connection = nullptr;
    if (connIndex < 0) {
        const int slot = pool.GetConnection(host, ConnectionManager::Browse);
        connection = pool.connection(ConnectionManager::Browse, slot);
    } else {
        connection = pool.connection(ConnectionManager::SingleUse, connIndex);
    }
    if (!connection) {
        job->abandon();
        return;
    }
    connection->ListDir(cacheFile, job, path);
}

// ---------------------------------------------------------------------------------------------
// Entries and the walk

// A link is not walked when it leads back to its own directory or above it: that tree never ends.
bool ListInfo::mayWalkInto(const ListingEntry &entry)
{
    if (entry.kind == ListingEntry::Link) {
        if (!followLinks_)
            return false;
        if (!entry.linkTarget.isEmpty()) {
            const QString target = resolvedRemote(entry.linkTarget.startsWith(QLatin1Char('/'))
                                                      ? entry.linkTarget
                                                      : path_ + entry.linkTarget);
            const QString here = resolvedRemote(path_);
            if (here == target || here.startsWith(asDirectory(target)) || target == QLatin1String("/")) {
                if (buildObserver_)
                    buildObserver_->walkStopped(
                        QObject::tr("%1%2 leads back to %3; it was not entered.").arg(path_, entry.name, target),
                        false);
                return false;
            }
        }
    }
    if (depthOf(path_) - depthOf(root_) + 1 > MaxDepth) {
        if (buildObserver_)
            buildObserver_->walkStopped(
                QObject::tr("%1%2 is more than %3 levels deep; it was not entered.").arg(path_, entry.name).arg(MaxDepth),
                true);
        return false;
    }
    return true;
}

void ListInfo::AddEntry(const ListingEntry &entry)
{
    const bool folder = entry.kind == ListingEntry::Directory
                        || (entry.kind == ListingEntry::Link && !forDelete_);
    if (collectDirs_ && entry.kind != ListingEntry::File && mayWalkInto(entry))
        pending_.append(path_ + entry.name);
    if (collectFiles_) {
        items_.append((folder ? QStringLiteral("DIR: ") : QString()) + path_ + entry.name + QLatin1String(" (")
                      + QString::number(entry.size) + QLatin1Char(')')
                      + (IsAsciiExtension(entry.name) ? QLatin1String(" ASCII") : QString()));
    }
    if (pattern_ && searchObserver_ && entry.name.contains(*pattern_))
        searchObserver_->found(path_, entry.name, entry.size, entry.kind != ListingEntry::File);
}

void ListInfo::Next()
{
    if (pending_.isEmpty()) {
        end();
        return;
    }
    QString next = pending_.takeFirst();
    if (next.endsWith(QLatin1Char('/')))
        next.chop(1);
    path_ = next + QLatin1Char('/');
    if (buildObserver_)
        buildObserver_->setCurrentDirectory(path_);
    if (searchObserver_)
        searchObserver_->setCurrentDirectory(path_);
    RequestListing(pool_, host_, path_, this, refresh_, nullptr, dedupe_, connIndex_, true);
}

void ListInfo::end()
{
    if (connIndex_ >= 0) {
        if (Connection *connection = pool_.connection(ConnectionManager::SingleUse, connIndex_))
            connection->close();
    }
    SearchObserver *search = searchObserver_;
    BuildObserver *build = buildObserver_;
    releaseObservers(); // an observer that goes away when told must not cancel a job being deleted
    if (search)
        search->finished();
    else if (build)
        build->finished(items_);
    if (endedFlag_)
        *endedFlag_ = true;
    delete this;
}

void ListInfo::abandon()
{
    // "List registered on ..." no longer holds.
    pool_.status().showStatus(QObject::tr("List of %1 on %2 failed").arg(path_, host_));
    pending_.clear();
    SearchObserver *search = searchObserver_;
    BuildObserver *build = buildObserver_;
    releaseObservers();
    if (search)
        search->abort();
    else if (build)
        build->aborted();
    if (endedFlag_)
        *endedFlag_ = true;
    delete this;
}

void ListInfo::discard()
{
    abandon();
}

void ListInfo::cancel()
{
    // The listing on its way still arrives: it must not refill pending.
    collectDirs_ = false;
    collectFiles_ = false;
    pending_.clear();
    releaseObservers();
}
