#pragma once

#include <QString>

// Where things live in the settings store.
namespace SettingsKeys {

inline const QString Root = QStringLiteral("Software\\Vemal\\Portolan");
inline const QString Hosts = QStringLiteral("Software\\Vemal\\Portolan\\Hosts");
// Certificates trusted always for hosts that are not in the database (command-line addresses):
// one value per "address:port".
inline const QString Certificates = QStringLiteral("Software\\Vemal\\Portolan\\Certificates");
inline const QString Ascii = QStringLiteral("Software\\Vemal\\Portolan\\ASCII");

// The name under Hosts that stands for the local disks: neither host nor folder.
inline const QString MyComputer = QStringLiteral("My Computer");

// Reader buffer sizes in bytes, counting the terminating NUL.
constexpr int HostValueBuffer = 200;
constexpr int FolderValueBuffer = 20;
constexpr int EMailBuffer = 1000;

// The key of a host or host folder.
inline QString hostKey(const QString &entryName)
{
    return Hosts + QLatin1Char('\\') + entryName;
}

} // namespace SettingsKeys
