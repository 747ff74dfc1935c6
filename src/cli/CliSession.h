#pragma once

#include "cli/CliCommand.h"
#include "ftp/Connection.h"
#include "ftp/SessionMonitor.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"

#include <functional>
#include <optional>

struct HostRecord;

// Reads "ftp://[user[:password]@]address[:port]" into a host record named by the address without
// its password; anonymous logins use the EMail value as password. Returns nothing (and says why in
// *error) for anything else.
std::optional<HostRecord> hostRecordFromUrl(const QString &url, QString *error);
// The text is an ftp://, ftps:// or ftpes:// address rather than a host of the database.
bool isHostAddress(const QString &text);

// True for every state a connection reaches only after its login went through.
bool pastLogin(Connection::State state);

// The CLI's session monitor: "Sent > ..." and "Received > ..." lines on stderr.
class ConsoleMonitor : public SessionMonitor
{
public:
    explicit ConsoleMonitor(QTextStream &err) : err_(err) {}
    void ShowReceived(const QString &line) override;
    void ShowSent(const QString &line) override;
    void ShowNote(const QString &line) override;

private:
    QTextStream &err_;
};

// Passes every box on and counts the warnings among them: the failures the hosts' replies caused,
// which the engine shows and then goes on.
//
// While held, plain warnings (nothing to answer) wait instead: a step that may fail harmlessly,
// such as making a folder the host already has, decides afterwards whether they are shown.
class FailureCount : public Prompt
{
public:
    explicit FailureCount(Prompt &next) : next_(next) {}
    int ask(const QString &text, const QString &caption, Icon icon, int buttons) override;
    Trust trustCertificate(const CertificateQuestion &question) override { return next_.trustCertificate(question); }
    void hold() { holding_ = true; }
    // Ends the hold: the waiting warnings are shown and counted when show is true, else dropped.
    void release(bool show);
    int warnings = 0;

private:
    struct Held
    {
        QString text, caption;
    };
    Prompt &next_;
    bool holding_ = false;
    QList<Held> held_;
};

// One command's session with its host: the pool, the connection for HOST and waiting on it.
class CliSession
{
public:
    CliSession(CliContext &ctx, Prompt &prompt);
    ~CliSession();

    // Gets the host's connection (kind 0 unless asked otherwise); nullptr after telling why.
    Connection *open();
    // Makes another host known to the pool (a database name or an ftp:// address); false after
    // telling why. Returns the pool's name for it in *name.
    bool defineHost(const QString &host, QString *name);
    // Runs the event loop until the connection is idle with nothing queued (true) or closed (false).
    bool waitUntilIdle();
    // Watches an operation record: waitForEnd() returns once it emits ended().
    template <class Record>
    void watch(Record *record)
    {
        recordEnded_ = false;
        QObject::connect(record, &Record::ended, record, [this] { recordEnded(); });
    }
    // Runs the event loop until the watched record ended (true) or the connection closed (false).
    // In the second case the connection's queue is emptied, since the record goes with the command.
    bool waitForEnd();
    bool loggedIn() const { return loggedIn_; }
    // How many failures were shown so far (a refused listing in a walk, for one).
    int failuresShown() const { return failures_.warnings; }
    FailureCount &failures() { return failures_; }
    ConnectionManager &pool() { return pool_; }
    Connection *connection() const { return connection_; }
    // The pool's name for HOST.
    QString hostName() const { return hostName_; }

private:
    CliContext &ctx_;
    FailureCount failures_;
    ConnectionManager pool_;
    ConsoleMonitor monitor_;
    Connection *connection_ = nullptr;
    QString hostName_;
    bool loggedIn_ = false;
    bool recordEnded_ = false;
    std::function<void()> quit_;

    void recordEnded();
};
