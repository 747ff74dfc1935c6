// Commands over the settings store: hosts, config, host, folder.

#include "cli/CliCommand.h"
#include "cli/HostEdit.h"
#include "platform/SettingsStore.h"
#include "settings/AppValues.h"
#include "settings/HostFolders.h"
#include "settings/HostKeys.h"
#include "settings/HostRecord.h"
#include "settings/SettingsKeys.h"
#include "settings/StarterHosts.h"

#include <QRegularExpression>
#include <QSet>

namespace {

int usage(CliContext &ctx, const char *line)
{
    *ctx.err << "usage: vemalftp-cli " << line << Qt::endl;
    return ExitUsage;
}

int refuse(CliContext &ctx, const QString &message)
{
    *ctx.err << message << Qt::endl;
    return ExitRefused;
}

// A store that could not be opened reads as empty; say so rather than show nothing.
bool storeOpen(CliContext &ctx)
{
    SettingsStore &store = SettingsStore::instance();
    if (!store.isOpen())
        *ctx.err << "The settings file " << store.filePath() << " cannot be opened." << Qt::endl;
    return store.isOpen();
}

int writeFailed(CliContext &ctx)
{
    return refuse(ctx, QStringLiteral("Could not write to the settings file %1.")
                           .arg(SettingsStore::instance().filePath()));
}

// The host database commands see what the program sees on its first start.
bool openHostDatabase(CliContext &ctx)
{
    if (!storeOpen(ctx))
        return false;
    CreateDefaultHosts();
    return true;
}

bool isMyComputer(const QString &name)
{
    return name.compare(SettingsKeys::MyComputer, Qt::CaseInsensitive) == 0;
}

// ---- hosts ----

void printFolder(QTextStream &out, const QList<HostEntry> &entries, int folderId, int depth,
                 QSet<int> &opened)
{
    const QString indent(depth * 2, QLatin1Char(' '));
    for (const HostEntry &entry : entries) {
        if (entry.parent != folderId)
            continue;
        if (!entry.isFolder()) {
            const auto address = SettingsStore::instance().value(
                SettingsKeys::hostKey(entry.name), QStringLiteral("Address"), SettingsKeys::HostValueBuffer);
            out << indent << entry.name << '\t' << address.value_or(QString()) << Qt::endl;
            continue;
        }
        out << indent << entry.name << '/' << Qt::endl;
        // Folder ids are unique, but a hand-edited store might repeat one: never loop.
        if (entry.canDescend() && !opened.contains(entry.folderId)) {
            opened.insert(entry.folderId);
            printFolder(out, entries, entry.folderId, depth + 1, opened);
        }
    }
}

int hosts(CliContext &ctx)
{
    if (!ctx.args.isEmpty())
        return usage(ctx, "hosts");
    if (!openHostDatabase(ctx))
        return ExitRefused;
    QSet<int> opened{0};
    printFolder(*ctx.out, HostEntries(), 0, 0, opened);
    return ExitDone;
}

// ---- config ----

// The smallest buffer any reader of these values uses: a longer text would read as missing.
int appValueBuffer(const QString &name)
{
    static const QList<std::pair<QString, int>> buffers{
        {QStringLiteral("EMail"), 300}, {QStringLiteral("CachePath"), 500},
        {QStringLiteral("Left"), 10}, {QStringLiteral("Top"), 10}, {QStringLiteral("Width"), 10},
        {QStringLiteral("Height"), 10}, {QStringLiteral("SplitterPos"), 10}};
    for (const auto &[known, size] : buffers) {
        if (known.compare(name, Qt::CaseInsensitive) == 0)
            return size;
    }
    return 0;
}

int listConfig(CliContext &ctx)
{
    for (const SettingsValue &value : SettingsStore::instance().values(SettingsKeys::Root))
        *ctx.out << value.name << '\t' << value.text << Qt::endl;
    return ExitDone;
}

int showConfig(CliContext &ctx, const QString &name)
{
    const auto text = SettingsStore::instance().value(SettingsKeys::Root, name);
    if (!text)
        return refuse(ctx, QStringLiteral("There is no application value \"%1\".").arg(name));
    *ctx.out << *text << Qt::endl;
    return ExitDone;
}

// The values the connections read as numbers, in their proper spelling: text they could not read
// would silently stand for the default.
const QStringList checkedAppValues{QStringLiteral("DataMode"), QStringLiteral("KeepAlive"), QStringLiteral("Timeout")};

QString appValueProblem(const QString &name, const QString &text)
{
    static const QRegularExpression seconds(QStringLiteral("^[0-9]{1,9}$"));
    if (name == QLatin1String("DataMode") && text != QLatin1String("1") && text != QLatin1String("2"))
        return QStringLiteral("DataMode must be 1 (active, PORT) or 2 (passive, PASV).");
    if (name == QLatin1String("KeepAlive") && !seconds.match(text).hasMatch())
        return QStringLiteral("KeepAlive must be a whole number of seconds, 0 or more (0: no keep-alive).");
    if (name == QLatin1String("Timeout") && !seconds.match(text).hasMatch())
        return QStringLiteral("Timeout must be a whole number of seconds, 0 or more (0: wait for ever).");
    return QString();
}

int writeConfig(CliContext &ctx, QString name, const QString &text)
{
    for (const QString &known : checkedAppValues) {
        if (known.compare(name, Qt::CaseInsensitive) == 0)
            name = known;
    }
    if (name.isEmpty()) {
        *ctx.err << "The value name must not be empty." << Qt::endl;
        return ExitUsage;
    }
    if (const QString problem = appValueProblem(name, text); !problem.isEmpty()) {
        *ctx.err << problem << Qt::endl;
        return ExitUsage;
    }
    const int buffer = appValueBuffer(name);
    if (buffer > 0 && text.toUtf8().size() >= buffer) {
        *ctx.err << name << " can hold at most " << buffer - 1 << " bytes." << Qt::endl;
        return ExitUsage;
    }
    return SetAppValue(name, text) ? ExitDone : writeFailed(ctx);
}

int config(CliContext &ctx)
{
    if (ctx.args.size() > 2)
        return usage(ctx, "config [NAME [VALUE]]");
    if (!storeOpen(ctx))
        return ExitRefused;
    if (ctx.args.isEmpty())
        return listConfig(ctx);
    if (ctx.args.size() == 1)
        return showConfig(ctx, ctx.args.first());
    return writeConfig(ctx, ctx.args.at(0), ctx.args.at(1));
}

// ---- host ----

int showHost(CliContext &ctx, const HostRecord &host)
{
    QTextStream &out = *ctx.out;
    out << "Name\t" << host.name << Qt::endl;
    out << "Address\t" << host.address << Qt::endl;
    out << "Username\t" << host.userName << Qt::endl;
    out << "Password\t" << QString(host.password.isEmpty() ? 0 : 8, QLatin1Char('*')) << Qt::endl;
    out << "Port\t" << host.port << Qt::endl;
    out << "StartPath\t" << host.startPath << Qt::endl;
    out << "Type\t" << host.hostType << Qt::endl;
    out << "DataMode\t" << host.dataMode << Qt::endl;
    out << "Encryption\t" << host.encryption << Qt::endl;
    out << "CertSha256\t" << host.certSha256 << Qt::endl;
    out << "CacheType\t" << host.cachePolicy << Qt::endl;
    out << "CacheDays\t" << host.cacheDays << Qt::endl;
    out << "CacheMins\t" << host.cacheMinutes << Qt::endl;
    out << "Parent\t" << host.parentFolder << Qt::endl;
    return ExitDone;
}

int deleteHost(CliContext &ctx, const HostEntry &entry)
{
    if (!SettingsStore::instance().deleteKey(SettingsKeys::hostKey(entry.name)))
        return writeFailed(ctx);
    return ExitDone;
}

int editHost(CliContext &ctx, const QString &name, const std::optional<HostEntry> &existing)
{
    HostEdit edit;
    if (!edit.parse(ctx.args.mid(1))) {
        *ctx.err << edit.error() << Qt::endl;
        return edit.exitStatus();
    }
    if (!existing) {
        const QString problem = HostNameProblem(name);
        if (!problem.isEmpty())
            return refuse(ctx, problem);
        if (!edit.setsAddress()) {
            *ctx.err << "A new host needs an address: host " << name << " Address=HOST_ADDRESS" << Qt::endl;
            return ExitUsage;
        }
        edit.setDefault(NewHostEncryption);
    }
    const QString key = SettingsKeys::hostKey(existing ? existing->name : name);
    return edit.apply(key) ? ExitDone : writeFailed(ctx);
}

int host(CliContext &ctx)
{
    if (ctx.args.isEmpty())
        return usage(ctx, "host NAME [KEY=VALUE...] | host NAME --delete");
    if (!openHostDatabase(ctx))
        return ExitRefused;
    const QString name = ctx.args.first();
    if (isMyComputer(name))
        return refuse(ctx, QStringLiteral("\"%1\" stands for the local disks, not a host.").arg(name));
    const auto entry = ReadHostEntry(name);
    if (entry && entry->isFolder())
        return refuse(ctx, QStringLiteral("\"%1\" is a host folder, not a host.").arg(entry->name));
    const bool deleting = ctx.args.contains(QLatin1String("--delete"));
    if (deleting && ctx.args.size() != 2)
        return usage(ctx, "host NAME --delete");
    if (ctx.args.size() > 1 && !deleting)
        return editHost(ctx, name, entry);
    if (!entry)
        return refuse(ctx, QStringLiteral("There is no host \"%1\".").arg(name));
    if (deleting)
        return deleteHost(ctx, *entry);
    return showHost(ctx, *HostRecord::read(entry->name));
}

// ---- folder ----

int folder(CliContext &ctx)
{
    if (ctx.args.isEmpty() || ctx.args.size() > 2)
        return usage(ctx, "folder NAME [PARENT_FOLDER]");
    if (!openHostDatabase(ctx))
        return ExitRefused;
    const QString name = ctx.args.first();
    const QString problem = HostNameProblem(name);
    if (!problem.isEmpty())
        return refuse(ctx, problem);
    std::optional<int> parent = 0;
    if (ctx.args.size() == 2 && !(parent = HostEdit::folderId(ctx.args.at(1))))
        return refuse(ctx, QStringLiteral("There is no host folder \"%1\".").arg(ctx.args.at(1)));
    const bool written = CreateHostEntry(name, *parent, NextFolderId());
    return written ? ExitDone : writeFailed(ctx);
}

const CliRegistration hostsCommand{{QStringLiteral("hosts"), false, QStringLiteral("hosts"), &hosts}};
const CliRegistration configCommand{
    {QStringLiteral("config"), false, QStringLiteral("config [NAME [VALUE]]"), &config}};
const CliRegistration hostCommand{
    {QStringLiteral("host"), false, QStringLiteral("host NAME [KEY=VALUE...] | host NAME --delete"), &host}};
const CliRegistration folderCommand{
    {QStringLiteral("folder"), false, QStringLiteral("folder NAME [PARENT_FOLDER]"), &folder}};

} // namespace
