#include "HostFolders.h"

#include "LeadingInteger.h"
#include "SettingsKeys.h"
#include "platform/SettingsStore.h"

#include <algorithm>
#include <limits>

namespace {

bool isMyComputer(const QString &name)
{
    return name.compare(SettingsKeys::MyComputer, Qt::CaseInsensitive) == 0;
}

int folderValue(const QString &key, const char *name)
{
    const auto text = SettingsStore::instance().value(key, QLatin1String(name),
                                                      SettingsKeys::FolderValueBuffer);
    return LeadingInteger(text.value_or(QString()));
}

HostEntry entryOf(const QString &storedName)
{
    const QString key = SettingsKeys::hostKey(storedName);
    return HostEntry{storedName, folderValue(key, "This"), folderValue(key, "Parent")};
}

} // namespace

std::optional<HostEntry> ReadHostEntry(const QString &name)
{
    // A backslash would reach a key below an entry (such as its Destinations), not an entry.
    if (isMyComputer(name) || name.contains(QLatin1Char('\\')))
        return std::nullopt;
    const auto storedName = SettingsStore::instance().keyName(SettingsKeys::hostKey(name));
    if (!storedName)
        return std::nullopt;
    return entryOf(*storedName);
}

QList<HostEntry> HostEntries()
{
    QList<HostEntry> entries;
    for (const QString &name : SettingsStore::instance().subkeys(SettingsKeys::Hosts)) {
        if (!isMyComputer(name))
            entries << entryOf(name);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const HostEntry &a, const HostEntry &b) {
        return HostNameLess(a.name, b.name);
    });
    return entries;
}

bool HostNameLess(const QString &a, const QString &b)
{
    const int caseless = a.compare(b, Qt::CaseInsensitive);
    return caseless != 0 ? caseless < 0 : a < b;
}

int FolderIdOf(const QString &name)
{
    const auto entry = ReadHostEntry(name);
    return entry ? entry->folderId : 0;
}

QString NewHostName()
{
    const SettingsStore &store = SettingsStore::instance();
    for (int i = 1;; ++i) {
        const QString name = QStringLiteral("Default Host %1").arg(i);
        if (!store.keyExists(SettingsKeys::hostKey(name)))
            return name;
    }
}

bool CreateHostEntry(const QString &name, int parent, int folderId)
{
    QList<SettingsValue> values{{QStringLiteral("Parent"), QString::number(parent)}};
    if (folderId != 0)
        values.append({QStringLiteral("This"), QString::number(folderId)});
    else
        values.append(NewHostEncryption);
    return SettingsStore::instance().setValues(SettingsKeys::hostKey(name), values);
}

bool DiscardUnappliedHost(const QString &name)
{
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    if (!store.keyExists(key))
        return false;
    const QList<SettingsValue> values = store.values(key);
    const bool applied = std::any_of(values.begin(), values.end(), [](const SettingsValue &value) {
        return value.name != QLatin1String("Parent") && value.name != NewHostEncryption.name;
    });
    return !applied && store.deleteKey(key);
}

QList<HostEntry> HostFolderChildren(int folderId)
{
    QList<HostEntry> children = HostEntries();
    children.removeIf([folderId](const HostEntry &entry) { return entry.parent != folderId; });
    return children;
}

std::optional<HostEntry> HostFolderById(int folderId)
{
    if (folderId == 0)
        return std::nullopt;
    const QList<HostEntry> entries = HostEntries();
    const auto found = std::find_if(entries.begin(), entries.end(), [folderId](const HostEntry &entry) {
        return entry.folderId == folderId;
    });
    return found != entries.end() ? std::optional<HostEntry>(*found) : std::nullopt;
}

int NextFolderId()
{
    int largest = 0;
    for (const HostEntry &entry : HostEntries())
        largest = std::max(largest, entry.folderId);
    // A hand-edited This of the largest int leaves no id above it; never overflow.
    return std::min(largest, std::numeric_limits<int>::max() - 1) + 1;
}
