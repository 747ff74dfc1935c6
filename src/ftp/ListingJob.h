#pragma once

#include "ftp/ConnectionClient.h"

struct ListingEntry;

// The job behind a directory listing: it takes the entries and is told when the listing of its
// directory has ended (completely or not), so that it can go on with its next directory.
class ListingJob : public ConnectionClient
{
public:
    virtual void AddEntry(const ListingEntry &entry) = 0;
    // The listing ended, completely or not; the job goes on or finishes (and may delete itself).
    virtual void Next() = 0;
    // The listing request was dropped before it ran (a cleared queue): the job is given up.
    virtual void discard() = 0;
    // The job must see links as links: it walks a tree, to search, copy or delete it. Such listings are
    // asked for with LIST, since hosts may show a link in a machine listing (MLSD) as what it
    // points to, and a walk that took it for a folder would copy or delete the folder it names.
    virtual bool needsLinks() const { return false; }
};
