#include "cli/CliSession.h"

#include "cli/CliHelpers.h"
#include "settings/AppValues.h"
#include "settings/HostRecord.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace {

// The user's own text in a message, every control character visible (the line feed too).
QString visible(const QString &text)
{
    return shownText(text)
        .replace(QLatin1Char('\n'), QLatin1String("\\x0a"))
        .replace(QLatin1Char('\t'), QLatin1String("\\x09"));
}

// The address and port of an ftp:// address as typed: what follows the last '@' of the part
// after "://", up to the path, query or fragment.
QString typedAddress(const QString &text)
{
    const qsizetype start = text.indexOf(QLatin1String("://")) + 3;
    qsizetype end = start;
    while (end < text.size() && !QStringLiteral("/?#").contains(text.at(end)))
        ++end;
    const QString authority = text.mid(start, end - start);
    return authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
}

// What QUrl would only call invalid, or take where it should not (a zone or an IPvFuture in
// brackets), said so that the user can mend it; empty when the address part is fine.
QString addressProblem(const QString &address)
{
    if (address.startsWith(QLatin1Char('['))) {
        const qsizetype close = address.indexOf(QLatin1Char(']'));
        if (close < 0)
            return QStringLiteral("the bracket in %1 is not closed: ftp://[::1]:2121/").arg(visible(address));
        const QString literal = address.mid(1, close - 1);
        QHostAddress parsed;
        // A zone (%25eth0) names one of this machine's interfaces and may hold any byte: none taken.
        if (literal.contains(QLatin1Char('%')) || !parsed.setAddress(literal)
            || parsed.protocol() != QAbstractSocket::IPv6Protocol)
            return QStringLiteral("[%1] is not an IPv6 address; a host name or an IPv4 address goes without brackets")
                .arg(visible(literal));
        return QString();
    }
    static const QRegularExpression bareIPv6(QStringLiteral("^[0-9A-Fa-f.]*:[0-9A-Fa-f.]*:[0-9A-Fa-f.:]*$"));
    if (bareIPv6.match(address).hasMatch())
        return QStringLiteral("put an IPv6 address in brackets: ftp://[::1]:2121/");
    return QString();
}

bool holdsControl(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

namespace {
struct Scheme
{
    QLatin1String name;
    int encryption;
    int defaultPort;
};
// ftp:// is plain FTP, ftps:// TLS from the first byte, ftpes:// AUTH TLS with nothing in clear.
constexpr Scheme Schemes[] = {{QLatin1String("ftp"), 0, 21}, {QLatin1String("ftps"), 3, 990}, {QLatin1String("ftpes"), 2, 21}};

const Scheme *schemeOf(const QString &text)
{
    for (const Scheme &scheme : Schemes)
        if (text.startsWith(scheme.name + QLatin1String("://"), Qt::CaseInsensitive))
            return &scheme;
    return nullptr;
}
} // namespace

bool isHostAddress(const QString &text)
{
    return schemeOf(text) != nullptr;
}

std::optional<HostRecord> hostRecordFromUrl(const QString &text, QString *error)
{
    const Scheme *scheme = schemeOf(text);
    if (scheme) {
        *error = addressProblem(typedAddress(text));
        if (!error->isEmpty())
            return std::nullopt;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!scheme || !url.isValid() || url.host().isEmpty()) {
        *error = QStringLiteral("not an ftp://, ftps:// or ftpes:// address: %1").arg(visible(text));
        return std::nullopt;
    }
    if (url.port() == 0) {
        *error = QStringLiteral("port 0 in %1").arg(visible(text));
        return std::nullopt;
    }
    // An encoded line break (%0D%0A) and the like decode to control characters, which no login
    // line may carry.
    if (holdsControl(url.userName()) || holdsControl(url.password()) || holdsControl(url.host())) {
        *error = QStringLiteral("the user name, password or address of %1 holds a control character")
                     .arg(url.toString(QUrl::RemovePassword));
        return std::nullopt;
    }
    HostRecord record;
    // The name goes into the listing cache's index on disk: never with the password.
    record.name = url.toString(QUrl::RemovePassword);
    record.address = url.host(); // an IPv6 address without its brackets
    record.port = QString::number(url.port(scheme->defaultPort));
    record.encryption = scheme->encryption;
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
    case Connection::AwaitFeatReply:
    case Connection::AwaitOptsReply:
    case Connection::AwaitAuthReply:
    case Connection::AwaitHandshake:
    case Connection::AwaitPbszReply:
    case Connection::AwaitProtReply:
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

void ConsoleMonitor::ShowNote(const QString &line)
{
    err_ << "Session > " << line << Qt::endl;
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
    // --active or --passive wins over the host's DataMode and the program's for this run only.
    pool_.setDataModeOverride(ctx.dataMode);
}

CliSession::~CliSession()
{
    pool_.CloseAll();
}

bool CliSession::defineHost(const QString &host, QString *name)
{
    *name = host;
    if (!isHostAddress(host))
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
