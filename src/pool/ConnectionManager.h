#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "ftp/Cache.h"
#include "ftp/ConnectionOwner.h"
#include "settings/HostRecord.h"

#include <functional>

class Connection;
class DeleteDriver;
class MakeDirDriver;
class PaneView;
class RenameDriver;
class TransferDriver;
class Prompt;
class StatusLine;

// The pool through which every part of the program reaches a host. It owns every Connection:
// one shared browse connection per host (kind 0) and transfer connections made per request
// (kind 1 closes itself when its queue runs empty, kind 2 stays open).
class ConnectionManager : public QObject, public ConnectionOwner
{
    Q_OBJECT
public:
    enum Kind { Browse = 0, SingleUse = 1, Persistent = 2 };

    // askCachePath shows the "Cache Path" dialog when no cache directory is stored; without one
    // the default cache directory is stored and used.
    ConnectionManager(Prompt &prompt, StatusLine &status, const std::function<void()> &askCachePath = {},
                      QObject *parent = nullptr);
    ~ConnectionManager() override;

    Prompt &prompt() const override { return prompt_; }
    StatusLine &status() const override { return status_; }

    // The first "Network is Unreachable" of the run also shows a box; this tells whether to.
    bool takeNetworkFailureReport() override { return std::exchange(reportNetworkFailure_, false); }
    // Preferences, read from the application values at construction and written back at
    // destruction: uploads under host-chosen unique names (StoreU); the connection the transfer
    // arrows use, 0 ask, 1 this, 2 new (TType); host-to-host mode, 0 ask, 1 background,
    // 2 foreground (HostTType).
    bool storeUnique() const override { return storeUnique_; }
    void setStoreUnique(bool on) { storeUnique_ = on; }
    int arrowConnection() const { return arrowConnection_; }
    void setArrowConnection(int choice) { arrowConnection_ = choice; }
    int hostTransferMode() const { return hostTransferMode_; }
    void setHostTransferMode(int mode) { hostTransferMode_ = mode; }

    // Routed operations: each gets the host's connection (kind 0 unless given) and queues the
    // record there. A transfer or delete record that finds no connection is ended at once.
    bool RequestTransfer(const QString &host, TransferDriver *record, int kind);
    bool RequestDelete(const QString &host, DeleteDriver *record, int kind);
    bool RequestRename(const QString &host, RenameDriver *record);
    bool RequestMakeDirectory(const QString &host, MakeDirDriver *record);
    bool RequestCommand(const QString &host, const QString &text);
    // Empties the browse connection's queue; -1 when there is no connection.
    int ClearWaiting(const QString &host);
    // The browse connection of the host, for a session monitor to attach to.
    Connection *Monitor(const QString &host);

    // A host known for this run only, by its record (the command line's ftp:// addresses); it is
    // found before the host database.
    void defineHost(const HostRecord &record);

    // A slot index into the browse list (kind 0) or the transfer list (kinds 1, 2); -1 when the
    // host record cannot be read.
    int GetConnection(const QString &hostName, int kind);
    Connection *connection(int kind, int slot) const;
    // GetConnection and the connection in one step; nullptr when the record cannot be read.
    Connection *connectionFor(const QString &hostName, int kind);

    // Host ordinals: the fixed number a host name gets at its first request in this run.
    unsigned HostOrdinal(const QString &hostName);
    QString hostName(unsigned ordinal) const override;
    // A host's CertSha256; for a host known for this run only, the value stored for its address
    // and port under Certificates.
    QString trustedCertificate(unsigned ordinal) const override;
    bool storeTrustedCertificate(unsigned ordinal, const QString &sha256) override;

    void ReapClosed();
    // A listing with this id is being fetched or waits in a queue of any connection.
    bool listingUnderWay(int listingId) const;
    // A listing with this id is arriving on some connection now.
    bool listingArriving(int listingId) const;
    void RemoveConnection(Connection *connection) override;
    bool IsPooled(const void *address) const override;
    bool AllIdle() const;
    void CloseAll();
    void CloseHost(const QString &hostName);

    // Every browser pane; listings and operations report to them.
    const QList<PaneView *> &panes() const { return panes_; }
    void addPane(PaneView *pane) { panes_.append(pane); }
    void removePane(PaneView *pane) { panes_.removeAll(pane); }

    Cache &cache() { return cache_; }

    // Forgets the cached listing of a directory that an operation changed on the host.
    void invalidateListing(const QString &host, const QString &directory) override;

    // What connections report (ConnectionOwner): listings and changes go to every pane.
    int timeoutSeconds() const override { return timeoutSeconds_; }
    void setTimeoutSeconds(int seconds) { timeoutSeconds_ = seconds; }
    // The application value DataMode (1 active, 2 passive; passive when missing or anything else);
    // a host's own DataMode (1 or 2) wins over it, an override (one run of the command line) over both.
    int dataMode() const override { return dataMode_; }
    void setDataMode(int mode) { dataMode_ = mode == 1 ? 1 : 2; }
    int dataModeOverride() const override { return dataModeOverride_; }
    void setDataModeOverride(int mode) { dataModeOverride_ = mode == 1 || mode == 2 ? mode : 0; }
    // The application value KeepAlive: seconds of quiet after which an idle connection sends NOOP.
    int keepAliveSeconds() const override { return keepAliveSeconds_; }
    void setKeepAliveSeconds(int seconds) { keepAliveSeconds_ = std::max(0, seconds); }
    std::unique_ptr<ListingDelivery> listingDelivery(const QString &host, const QString &directory, int listingId,
                                                     ListingJob *job, const QString &cacheFile) override;
    void entryRemoved(const QString &host, const QString &directory, const QString &name) override;
    void entryRenamed(const QString &host, const QString &directory, const QString &oldName,
                      const QString &newName) override;
    void directoryCreated(const QString &host, const QString &parent, const QString &name) override;

    static constexpr int ConnectionsLowCount = 9800;

signals:
    // A pooled connection reached the closed state (failed, refused, or done and closed).
    void connectionClosed(Connection *connection);

private:
    bool ReadHostRecord(const QString &hostName, HostRecord &record);
    const HostRecord *definedHost(const QString &hostName) const;
    int addConnection(const HostRecord &record, unsigned ordinal, int kind);
    void retire(Connection *connection);

    Prompt &prompt_;
    StatusLine &status_;
    Cache cache_;
    bool storeUnique_ = false;
    int arrowConnection_ = 1;
    int hostTransferMode_ = 2;
    bool reportNetworkFailure_ = true;
    int timeoutSeconds_ = 120;
    int dataMode_ = 2;
    int dataModeOverride_ = 0;
    int keepAliveSeconds_ = 0;
    bool closing_ = false; // the pool is being destroyed: no connection is made any more
    QString hostNames_;
    QList<PaneView *> panes_;
    QList<HostRecord> definedHosts_;
    QList<Connection *> browseConnections_;
    QList<Connection *> transferConnections_;
};
