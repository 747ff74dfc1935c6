#pragma once

#include "ftp/ListingEntry.h"
#include "ftp/ListingJob.h"
#include "ftp/PaneView.h"

#include <QList>
#include <functional>

// A listing job for the command line: keeps the entries and says when the listing is over. As a
// pane it learns whether the listing came in whole.
class CliListing : public ListingJob, public PaneView
{
public:
    QList<ListingEntry> entries;
    bool done = false;
    bool complete = false;
    std::function<void()> onDone;

    void AddEntry(const ListingEntry &entry) override { entries.append(entry); }
    void Next() override { finish(); }
    void discard() override { finish(); }

    void listingStarted(const QString &, const QString &, int) override {}
    void listingEntry(const QString &, const QString &, const ListingEntry &) override {}
    void listingEnded(const QString &, const QString &, bool whole) override { complete = whole; }
    void entryRemoved(const QString &, const QString &, const QString &) override {}
    void entryRenamed(const QString &, const QString &, const QString &, const QString &) override {}
    void directoryCreated(const QString &, const QString &, const QString &) override {}

private:
    void finish()
    {
        done = true;
        if (onDone)
            onDone();
    }
};
