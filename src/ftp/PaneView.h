#pragma once

#include <QString>
#include <QtGlobal>

struct ListingEntry;

// A browser pane as the engine sees it: listings arrive for a (host, directory) and operations
// report what they changed. Each pane decides for itself whether it shows that host or directory.
// Directories are absolute and end in "/".
class PaneView
{
public:
    virtual ~PaneView() = default;

    // This pane asked for the listing of (host, directory) that will arrive with listingId: it is
    // the listing the pane shows from now on.
    virtual void listingRequested(const QString &host, const QString &directory, int listingId)
    {
        Q_UNUSED(host);
        Q_UNUSED(directory);
        Q_UNUSED(listingId);
    }
    virtual void listingStarted(const QString &host, const QString &directory, int listingId) = 0;
    virtual void listingEntry(const QString &host, const QString &directory, const ListingEntry &entry) = 0;
    // complete is false when the listing broke off; the pane still sweeps what it did not see.
    virtual void listingEnded(const QString &host, const QString &directory, bool complete) = 0;

    virtual void entryRemoved(const QString &host, const QString &directory, const QString &name) = 0;
    virtual void entryRenamed(const QString &host, const QString &directory, const QString &oldName,
                              const QString &newName) = 0;
    virtual void directoryCreated(const QString &host, const QString &parent, const QString &name) = 0;
};
