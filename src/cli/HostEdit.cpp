#include "HostEdit.h"

#include "cli/CliCommand.h"
#include "settings/HostFolders.h"
#include "settings/HostKeys.h"
#include "settings/PasswordCoding.h"
#include "settings/SettingsKeys.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

bool isNumber(const QString &text, int maxDigits = 9)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return text.size() <= maxDigits && digits.match(text).hasMatch();
}

} // namespace

const QStringList &HostEdit::keys()
{
    static const QStringList names{
        QStringLiteral("Address"), QStringLiteral("Username"), QStringLiteral("Password"),
        QStringLiteral("Port"), QStringLiteral("StartPath"), QStringLiteral("Type"),
        QStringLiteral("DataMode"), QStringLiteral("Encryption"), QStringLiteral("CertSha256"),
        QStringLiteral("CacheType"), QStringLiteral("CacheDays"),
        QStringLiteral("CacheMins"), QStringLiteral("Parent")};
    return names;
}

bool HostEdit::fail(int status, const QString &message)
{
    m_exitStatus = status;
    m_error = message;
    return false;
}

bool HostEdit::parse(const QStringList &assignments)
{
    for (const QString &assignment : assignments) {
        const qsizetype equals = assignment.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return fail(ExitUsage, QStringLiteral("Expected KEY=VALUE, got \"%1\".").arg(assignment));
        const QString typed = assignment.left(equals);
        const auto known = std::find_if(keys().begin(), keys().end(), [&](const QString &key) {
            return key.compare(typed, Qt::CaseInsensitive) == 0;
        });
        if (known == keys().end())
            return fail(ExitUsage, QStringLiteral("Unknown host setting \"%1\"; the settings are %2.")
                                       .arg(typed, keys().join(QLatin1String(", "))));
        if (!accept(*known, assignment.mid(equals + 1)))
            return false;
    }
    return true;
}

bool HostEdit::accept(const QString &key, const QString &value)
{
    m_writes.removeIf([&](const SettingsValue &write) { return write.name == key; });
    m_removals.removeAll(key);
    if (value.isEmpty()) {
        m_removals << key;
        return true;
    }
    const QString problem = problemWith(key, value);
    if (!problem.isEmpty())
        return fail(ExitUsage, problem);
    QString stored = value;
    if (key == QLatin1String("Parent")) {
        const auto id = folderId(value);
        if (!id)
            return fail(ExitRefused, QStringLiteral("There is no host folder \"%1\".").arg(value));
        stored = QString::number(*id);
    } else if (key == QLatin1String("Password")) {
        EncodePassword(stored);
    }
    m_writes << SettingsValue{key, stored};
    return true;
}

QString HostEdit::problemWith(const QString &key, const QString &value) const
{
    return HostValueProblem(key, value);
}

void HostEdit::setDefault(const SettingsValue &value)
{
    const bool given = m_removals.contains(value.name) || std::any_of(m_writes.begin(), m_writes.end(), [&](const SettingsValue &write) {
        return write.name == value.name;
    });
    if (!given)
        m_writes << value;
}

bool HostEdit::setsAddress() const
{
    return std::any_of(m_writes.begin(), m_writes.end(), [](const SettingsValue &write) {
        return write.name == QLatin1String("Address");
    });
}

bool HostEdit::apply(const QString &hostKey) const
{
    SettingsStore &store = SettingsStore::instance();
    if (!store.setValues(hostKey, m_writes))
        return false;
    for (const QString &name : m_removals)
        store.deleteValue(hostKey, name);
    return store.keyExists(hostKey);
}

std::optional<int> HostEdit::folderId(const QString &nameOrNumber)
{
    // A folder's own name wins over reading the text as a number.
    if (const auto entry = ReadHostEntry(nameOrNumber); entry && entry->isFolder())
        return entry->folderId;
    if (!isNumber(nameOrNumber))
        return std::nullopt;
    const int id = nameOrNumber.toInt();
    if (id == 0 || HostFolderById(id))
        return id;
    return std::nullopt;
}
