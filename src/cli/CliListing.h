#pragma once

#include "ftp/ListingEntry.h"
#include "ftp/ListingJob.h"

#include <QList>
#include <functional>

// A listing job for the command line: keeps the entries and says when the listing is over.
class CliListing : public ListingJob
{
public:
    QList<ListingEntry> entries;
    bool done = false;
    std::function<void()> onDone;

    void AddEntry(const ListingEntry &entry) override { entries.append(entry); }
    void Next() override { finish(); }
    void discard() override { finish(); }

private:
    void finish()
    {
        done = true;
        if (onDone)
            onDone();
    }
};
