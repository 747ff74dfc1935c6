#pragma once

#include "cli/CliCommand.h"
#include "ftp/Connection.h"
#include "ftp/SessionMonitor.h"
#include "pool/ConnectionManager.h"

#include <optional>

struct HostRecord;

// Reads "ftp://[user[:password]@]address[:port]" into a host record; anonymous logins use the
// EMail value as password. Returns nothing (and says why in *error) for anything else.
std::optional<HostRecord> hostRecordFromUrl(const QString &url, QString *error);

// The CLI's session monitor: "Sent > ..." and "Received > ..." lines on stderr.
class ConsoleMonitor : public SessionMonitor
{
public:
    explicit ConsoleMonitor(QTextStream &err) : err_(err) {}
    void ShowReceived(const QString &line) override;
    void ShowSent(const QString &line) override;

private:
    QTextStream &err_;
};

// One command's session with its host: the pool, the connection for HOST and waiting on it.
class CliSession
{
public:
    CliSession(CliContext &ctx, Prompt &prompt);
    ~CliSession();

    // Gets the host's connection (kind 0 unless asked otherwise); nullptr after telling why.
    Connection *open(int kind = ConnectionManager::Browse);
    // Runs the event loop until the connection is idle with nothing queued (true) or closed (false).
    bool waitUntilIdle();
    bool loggedIn() const { return loggedIn_; }

private:
    CliContext &ctx_;
    ConnectionManager pool_;
    ConsoleMonitor monitor_;
    Connection *connection_ = nullptr;
    bool loggedIn_ = false;
};
