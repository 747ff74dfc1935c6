#pragma once

#include <QString>
#include <QStringList>

// The recent destination directories of each host (and of "My Computer"), kept in the settings
// store under Hosts\<host>\Destinations: one value per directory, named by a decimal number,
// higher numbers more recent, at most MaxEntries of them.
class Destinations
{
public:
    static constexpr int MaxEntries = 10;

    // The stored directories in store order; creates the key when it is missing.
    static QStringList list(const QString &host);

    // Makes directory the most recent destination of host. An equal entry (equal exactly; for "My
    // Computer" the drive letter may differ in case) is taken out and written again as the newest;
    // otherwise the oldest entries go until there is room. False when the host name cannot name a
    // key or the store refused a write.
    static bool record(const QString &host, const QString &directory);

    static QString key(const QString &host);
};
