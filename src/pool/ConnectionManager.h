#pragma once

#include <QList>
#include <QObject>
#include <QString>

class Connection;
class Prompt;
class StatusLine;
struct HostRecord;

// The pool through which every part of the program reaches a host. It owns every Connection:
// one shared browse connection per host (kind 0) and transfer connections made per request
// (kind 1 closes itself when its queue runs empty, kind 2 stays open).
class ConnectionManager : public QObject
{
    Q_OBJECT
public:
    enum Kind { Browse = 0, SingleUse = 1, Persistent = 2 };

    ConnectionManager(Prompt &prompt, StatusLine &status, QObject *parent = nullptr);
    ~ConnectionManager() override;

    Prompt &prompt() const { return prompt_; }
    StatusLine &status() const { return status_; }

    // The first "Network is Unreachable" of the run also shows a box; this tells whether to.
    bool takeNetworkFailureReport() { return std::exchange(reportNetworkFailure_, false); }
    bool storeUnique() const { return storeUnique_; }

    // A slot index into the browse list (kind 0) or the transfer list (kinds 1, 2); -1 when the
    // host record cannot be read.
    int GetConnection(const QString &hostName, int kind);
    // As GetConnection, for a host given by its record rather than by the host database.
    int GetConnection(const HostRecord &record, int kind);
    Connection *connection(int kind, int slot) const;

    // Host ordinals: the fixed number a host name gets at its first request in this run.
    unsigned HostOrdinal(const QString &hostName);
    QString hostName(unsigned ordinal) const;

    void ReapClosed();
    void RemoveConnection(Connection *connection);
    bool IsPooled(const void *address) const;
    bool AllIdle() const;
    void CloseAll();
    void CloseHost(const QString &hostName);

    static constexpr int ConnectionsLowCount = 9800;

private:
    int getConnection(const QString &hostName, int kind, const HostRecord *given);
    bool ReadHostRecord(const QString &hostName, HostRecord &record);
    int addConnection(const HostRecord &record, unsigned ordinal, int kind);
    void retire(Connection *connection);

    Prompt &prompt_;
    StatusLine &status_;
    bool storeUnique_ = false;
    bool reportNetworkFailure_ = true;
    QString hostNames_;
    QList<Connection *> browseConnections_;
    QList<Connection *> transferConnections_;
};
