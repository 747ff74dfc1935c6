#include "HostKeys.h"

#include "SettingsKeys.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"

#include <sqlite3.h>

#include <algorithm>

namespace {

constexpr qsizetype kMaxNameLength = 255;

bool hasControlCharacter(const QString &name)
{
    return std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

int RenameHostKey(const QString &oldName, const QString &newName, Prompt &prompt)
{
    if (newName == oldName)
        return 0;
    SettingsStore &store = SettingsStore::instance();
    const QString newKey = SettingsKeys::hostKey(newName);
    if (store.keyExists(newKey)) {
        prompt.message(QStringLiteral("Host Name Is Not Unique"), QStringLiteral("Error"), Prompt::Icon::Stop);
        return -1;
    }
    // A backslash would make the new name a key below another entry rather than an entry.
    if (newName.contains(QLatin1Char('\\')))
        return SQLITE_MISUSE;
    if (!store.createKey(newKey))
        return store.lastError();
    const QString oldKey = SettingsKeys::hostKey(oldName);
    if (store.keyExists(oldKey)) {
        // The old key goes only once its values are safe under the new name.
        if (!store.copyValues(oldKey, newKey))
            return store.lastError();
        store.deleteKey(oldKey);
    }
    return 0;
}

QString HostNameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("A host or folder name must not be empty.");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("A host or folder name can have at most %1 characters.").arg(kMaxNameLength);
    if (name.contains(QLatin1Char('\\')))
        return QStringLiteral("A host or folder name must not contain a backslash.");
    if (hasControlCharacter(name))
        return QStringLiteral("A host or folder name must not contain control characters.");
    if (name.compare(SettingsKeys::MyComputer, Qt::CaseInsensitive) == 0)
        return QStringLiteral("\"%1\" stands for the local disks and cannot name a host or folder.")
            .arg(SettingsKeys::MyComputer);
    if (const auto taken = SettingsStore::instance().keyName(SettingsKeys::hostKey(name)))
        return QStringLiteral("The name \"%1\" is already taken by a host or folder.").arg(*taken);
    return QString();
}
