#pragma once

#include <QString>
#include <memory>

class Connection;
class ListingDelivery;
class ListingJob;
class Prompt;
class StatusLine;

// What a connection needs from whoever owns it (the pool): where to show boxes and status texts,
// what its host is called, whether it is still wanted, and where listings and the changes that
// operations make go. The connection knows nothing else of its owner.
class ConnectionOwner
{
public:
    virtual ~ConnectionOwner() = default;

    virtual Prompt &prompt() const = 0;
    virtual StatusLine &status() const = 0;
    // The connection is still held by its owner: a handler that showed a box (during which the
    // owner may have let it go) checks this before it goes on.
    virtual bool IsPooled(const void *address) const = 0;
    // The connection has ended everything it ran and asks to be let go.
    virtual void RemoveConnection(Connection *connection) = 0;
    // The first "Network is Unreachable" of the run also shows a box; this tells whether to.
    virtual bool takeNetworkFailureReport() = 0;
    virtual QString hostName(unsigned ordinal) const = 0;
    // Uploads under host-chosen unique names (STOU instead of STOR).
    virtual bool storeUnique() const = 0;
    // Seconds a connection waits for a reply or for data before it gives up; 0 = never.
    virtual int timeoutSeconds() const = 0;

    // How data connections are opened unless the host says otherwise: 1 active (PORT), 2 passive.
    virtual int dataMode() const = 0;
    // How data connections are opened whatever the host says (one run of the command line); 0 none.
    virtual int dataModeOverride() const { return 0; }
    // Seconds an idle connection waits before it sends NOOP so that routers keep it; 0 = never.
    virtual int keepAliveSeconds() const { return 0; }

    // The SHA-256 fingerprint of the certificate the user chose to trust always for this host
    // (its CertSha256); empty when none.
    virtual QString trustedCertificate(unsigned ordinal) const
    {
        Q_UNUSED(ordinal);
        return QString();
    }
    // Keeps that choice; false when it could not be stored.
    virtual bool storeTrustedCertificate(unsigned ordinal, const QString &sha256)
    {
        Q_UNUSED(ordinal);
        Q_UNUSED(sha256);
        return false;
    }

    // Where the entries of one listing go (the cache file, the job, the panes).
    virtual std::unique_ptr<ListingDelivery> listingDelivery(const QString &host, const QString &directory,
                                                             int listingId, ListingJob *job,
                                                             const QString &cacheFile) = 0;
    // The cached listing of a directory that an operation changed on the host is out of date.
    virtual void invalidateListing(const QString &host, const QString &directory) = 0;
    // What operations changed on the host; directories are absolute and end in "/".
    virtual void entryRemoved(const QString &host, const QString &directory, const QString &name) = 0;
    virtual void entryRenamed(const QString &host, const QString &directory, const QString &oldName,
                              const QString &newName) = 0;
    virtual void directoryCreated(const QString &host, const QString &parent, const QString &name) = 0;
};
