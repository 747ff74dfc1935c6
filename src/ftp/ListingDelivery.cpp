#include "ftp/ListingDelivery.h"

#include "ftp/CacheWriter.h"
#include "ftp/ListingEntry.h"
#include "ftp/ListingJob.h"
#include "ftp/PaneView.h"

ListingDelivery::ListingDelivery(const QList<PaneView *> &panes, const QString &host, const QString &directory,
                                 int listingId, ListingJob *job, const QString &cachePath)
    : panes_(panes), host_(host), directory_(directory), listingId_(listingId), job_(job), cachePath_(cachePath)
{
}

ListingDelivery::~ListingDelivery()
{
    if (started_ && !ended_)
        end(false);
}

void ListingDelivery::start()
{
    if (started_)
        return;
    started_ = true;
    if (!cachePath_.isEmpty()) {
        cache_ = std::make_unique<CacheWriter>();
        if (!cache_->open(cachePath_))
            cache_.reset(); // the listing still shows; it is just not kept
    }
    for (PaneView *pane : QList<PaneView *>(panes_))
        pane->listingStarted(host_, directory_, listingId_);
}

void ListingDelivery::DeliverEntry(const ListingEntry &entry)
{
    if (cache_ && !cache_->append(entry))
        cache_->remove(), cache_.reset();
    if (job_)
        job_->AddEntry(entry);
    for (PaneView *pane : QList<PaneView *>(panes_))
        pane->listingEntry(host_, directory_, entry);
}

void ListingDelivery::end(bool complete)
{
    if (ended_)
        return;
    ended_ = true;
    if (!started_)
        return; // nothing arrived: the panes keep what they show
    if (cache_) {
        if (complete)
            cache_->close();
        else
            cache_->remove();
        cache_.reset();
    }
    for (PaneView *pane : QList<PaneView *>(panes_))
        pane->listingEnded(host_, directory_, complete);
}
