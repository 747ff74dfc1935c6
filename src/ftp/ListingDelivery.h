#pragma once

#include <QList>
#include <QString>
#include <memory>

class CacheWriter;
class ListingJob;
class PaneView;
struct ListingEntry;

// Hands the entries of one directory listing to everyone who wants them: the listing-cache file
// (live listings only), the job that asked, and every pane. Used for live listings and for
// listings replayed from the cache.
class ListingDelivery
{
public:
    // cachePath empty: nothing is written to the cache. panes is the pool's live list, read at
    // every step, so that a pane closed while the listing arrives is not called.
    ListingDelivery(const QList<PaneView *> &panes, const QString &host, const QString &directory,
                    int listingId, ListingJob *job, const QString &cachePath);
    // The list is kept by reference: a temporary one would be gone at the first entry.
    ListingDelivery(QList<PaneView *> &&panes, const QString &, const QString &, int, ListingJob *,
                    const QString &) = delete;
    ~ListingDelivery();

    const QString &host() const { return host_; }
    const QString &directory() const { return directory_; }
    // The job is gone: the entries still go to the cache and the panes.
    void forgetJob() { job_ = nullptr; }

    // The listing begins: its new cache file is started, the panes clear what they show of it.
    void start();
    void DeliverEntry(const ListingEntry &entry);
    // The listing is over: a complete one takes the cache file's place; an incomplete one leaves
    // no cache file.
    void end(bool complete);

private:
    const QList<PaneView *> &panes_;
    QString host_;
    QString directory_;
    int listingId_;
    ListingJob *job_;
    QString cachePath_;
    std::unique_ptr<CacheWriter> cache_;
    bool started_ = false;
    bool ended_ = false;
};
