#pragma once

#include "platform/SettingsStore.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The changes asked for by `host NAME KEY=VALUE...`, all checked before anything is written so that
// one bad argument changes nothing. KEY is one of the host value names (any case); an empty VALUE
// removes the value so that its default applies again. Passwords are stored encoded.
class HostEdit
{
public:
    static const QStringList &keys();

    // Parses and checks the arguments; false with error() and exitStatus() set on the first problem.
    bool parse(const QStringList &assignments);
    QString error() const { return m_error; }
    int exitStatus() const { return m_exitStatus; }

    // Writes value too unless the arguments set or removed it (a new host's defaults).
    void setDefault(const SettingsValue &value);
    // True when the edit leaves the host with a non-empty Address.
    bool setsAddress() const;
    // Writes the changes into the host's key (created when new); false when the store refused.
    bool apply(const QString &hostKey) const;

    // The id of a host folder given by name, or by number (0 is the top level); nullopt when no
    // folder matches.
    static std::optional<int> folderId(const QString &nameOrNumber);

private:
    bool accept(const QString &key, const QString &value);
    QString problemWith(const QString &key, const QString &value) const;
    bool fail(int status, const QString &message);

    QList<SettingsValue> m_writes;
    QStringList m_removals;
    QString m_error;
    int m_exitStatus = 0;
};
