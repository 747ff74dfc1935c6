#include "cli/CliSession.h"

#include "settings/AppValues.h"
#include "settings/HostRecord.h"

#include <QEventLoop>
#include <QPointer>
#include <QUrl>

std::optional<HostRecord> hostRecordFromUrl(const QString &text, QString *error)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("ftp") || url.host().isEmpty()) {
        *error = QStringLiteral("not an ftp:// address: %1").arg(text);
        return std::nullopt;
    }
    if (url.port() == 0) {
        *error = QStringLiteral("port 0 in %1").arg(text);
        return std::nullopt;
    }
    HostRecord record;
    // The name goes into the listing cache's index on disk: never with the password.
    record.name = url.toString(QUrl::RemovePassword);
    record.address = url.host();
    record.port = QString::number(url.port(21));
    const bool anonymous = url.userName().isEmpty()
                           || (url.userName() == QLatin1String("anonymous") && url.password().isEmpty());
    if (anonymous) {
        record.userName = QStringLiteral("anonymous");
        record.password = AppValue(QStringLiteral("EMail"), 300);
    } else {
        record.userName = url.userName();
        record.password = url.password();
    }
    return record;
}

bool pastLogin(Connection::State state)
{
    switch (state) {
    case Connection::Connecting:
    case Connection::Closed:
    case Connection::AwaitGreeting:
    case Connection::AwaitUserReply:
    case Connection::AwaitPassReply:
    case Connection::AwaitSystReply:
        return false;
    default:
        return true;
    }
}

void ConsoleMonitor::ShowReceived(const QString &line)
{
    err_ << "Received > " << line << Qt::endl;
}

void ConsoleMonitor::ShowSent(const QString &line)
{
    err_ << "Sent > " << line << Qt::endl;
}

int FailureCount::ask(const QString &text, const QString &caption, Icon icon, int buttons)
{
    if (icon == Icon::Warning && holding_ && !(buttons & (Yes | No))) {
        held_.append({text, caption});
        return buttons & Ok ? Ok : Cancel;
    }
    if (icon == Icon::Warning)
        ++warnings;
    return next_.ask(text, caption, icon, buttons);
}

void FailureCount::release(bool show)
{
    holding_ = false;
    const QList<Held> held = std::exchange(held_, {});
    if (show)
        for (const Held &warning : held)
            message(warning.text, warning.caption);
}

CliSession::CliSession(CliContext &ctx, Prompt &prompt)
    : ctx_(ctx), failures_(prompt), pool_(failures_, *ctx.status), monitor_(*ctx.err)
{
    if (ctx.timeoutSeconds >= 0)
        pool_.setTimeoutSeconds(ctx.timeoutSeconds);
}

CliSession::~CliSession()
{
    pool_.CloseAll();
}

bool CliSession::defineHost(const QString &host, QString *name)
{
    *name = host;
    if (!host.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        return true; // a host of the database: the pool reads its record
    QString error;
    const std::optional<HostRecord> record = hostRecordFromUrl(host, &error);
    if (!record) {
        *ctx_.err << error << Qt::endl;
        return false;
    }
    pool_.defineHost(*record);
    *name = record->name;
    return true;
}

Connection *CliSession::open()
{
    const int kind = ctx_.newConnection ? ConnectionManager::SingleUse : ConnectionManager::Browse;
    if (!defineHost(ctx_.host, &hostName_))
        return nullptr;
    const int slot = pool_.GetConnection(hostName_, kind);
    connection_ = pool_.connection(kind, slot);
    if (connection_ && ctx_.verbose)
        connection_->setMonitor(&monitor_);
    if (connection_) {
        QObject::connect(connection_, &Connection::stateChanged, connection_, [this](Connection::State state) {
            if (pastLogin(state))
                loggedIn_ = true;
        });
    }
    return connection_;
}

bool CliSession::waitUntilIdle()
{
    QPointer<Connection> c(connection_);
    auto settled = [&] {
        if (!c || c->state() == Connection::Closed)
            return true;
        return c->state() == Connection::Idle && c->queuedCount() == 0;
    };
    if (!settled()) {
        QEventLoop loop;
        QObject::connect(c, &Connection::stateChanged, &loop, [&] {
            if (settled())
                loop.quit();
        });
        QObject::connect(c, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (c && c->state() == Connection::Idle)
        loggedIn_ = true;
    return c && c->state() == Connection::Idle;
}

bool CliSession::waitForEnd()
{
    QPointer<Connection> c(connection_);
    if (!recordEnded_ && c && c->state() != Connection::Closed) {
        QEventLoop loop;
        quit_ = [&loop] { loop.quit(); };
        QObject::connect(c, &Connection::stateChanged, &loop, [&] {
            if (c->state() == Connection::Closed)
                loop.quit();
        });
        QObject::connect(c, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
        quit_ = nullptr;
    }
    const bool ended = recordEnded_;
    // A connection that closed keeps its queue; the command's records go when it returns.
    if (!ended && c)
        c->ClearQueue();
    return ended;
}

void CliSession::recordEnded()
{
    recordEnded_ = true;
    if (quit_)
        quit_();
}
