#include "HostKeys.h"

#include "Fingerprint.h"

#include "SettingsKeys.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"

#include <sqlite3.h>

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr qsizetype kMaxNameLength = 255;

bool hasControlCharacter(const QString &name)
{
    return std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool isNumber(const QString &text, int maxDigits = 9)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return text.size() <= maxDigits && digits.match(text).hasMatch();
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
        if (!store.copyValues(oldKey, newKey)) {
            const int error = store.lastError();
            store.deleteKey(newKey); // no empty host left behind under the new name
            return error;
        }
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

// Host values are read back with a buffer of 200 bytes: a longer one would silently read as missing.
QString HostValueProblem(const QString &key, const QString &value)
{
    if (value.toUtf8().size() >= SettingsKeys::HostValueBuffer)
        return QStringLiteral("The %1 is too long: at most %2 bytes.").arg(key).arg(SettingsKeys::HostValueBuffer - 1);
    if (hasControlCharacter(value))
        return QStringLiteral("The %1 must not contain control characters.").arg(key);
    if (key == QLatin1String("Port") && (!isNumber(value, 5) || value.toInt() < 1 || value.toInt() > 65535))
        return QStringLiteral("Port must be a number from 1 to 65535.");
    if (key == QLatin1String("Type") && !isNumber(value))
        return QStringLiteral("Type must be the number of a host type (0 is Auto Detect).");
    if (key == QLatin1String("DataMode") && !QStringList{"0", "1", "2"}.contains(value))
        return QStringLiteral("DataMode must be 0 (the program's default), 1 (active, PORT) or 2 (passive, PASV).");
    if (key == QLatin1String("Encryption") && !QStringList{"0", "1", "2", "3"}.contains(value))
        return QStringLiteral("Encryption must be 0 (none), 1 (TLS when the host offers it), 2 (TLS required) "
                              "or 3 (implicit TLS).");
    if (key == QLatin1String("CertSha256") && !isFingerprint(value))
        return QStringLiteral("CertSha256 must be a SHA-256 fingerprint: 64 hexadecimal digits, in pairs "
                              "split by colons or not.");
    if (key == QLatin1String("CacheType") && !QStringList{"0", "1", "2", "3"}.contains(value))
        return QStringLiteral("CacheType must be 0 (no caching), 1 (cache expires at start-up), "
                              "2 (cache never expires) or 3 (cache expires after CacheDays and CacheMins).");
    if ((key == QLatin1String("CacheDays") || key == QLatin1String("CacheMins")) && !isNumber(value))
        return QStringLiteral("%1 must be a whole number.").arg(key);
    return QString();
}
