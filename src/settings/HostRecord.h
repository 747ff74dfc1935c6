#pragma once

#include <QString>

#include <optional>

// One host as read from its key under Hosts, with the readers' defaults filled in. Read afresh at
// each use; nobody keeps one across edits.
struct HostRecord
{
    QString name;           // the key's name as stored
    QString address;        // empty when the host has none: it cannot be connected
    QString userName;       // "anonymous" when missing
    QString password;       // decoded; the application EMail value when missing
    QString port;           // the stored text; "21" when missing ("990" for implicit TLS)
    int hostType = 0;
    int dataMode = 0;       // 0: the program's default, 1: active (PORT), 2: passive (PASV)
    int encryption = 0;     // 0 none, 1 TLS when offered, 2 TLS required, 3 implicit TLS
    QString certSha256;     // the fingerprint of a certificate trusted always; empty when none
    QString startPath;      // "/" when missing
    int cachePolicy = 1;    // 0 to 3
    int cacheDays = 0;
    int cacheMinutes = 0;
    int parentFolder = 0;

    // The host's record, or nullopt when it has no key (or the name holds a backslash).
    static std::optional<HostRecord> read(const QString &hostName);

    // The TCP port to connect to: 21 unless the text starts with a digit 1 to 9 and reads as a
    // number up to 65535.
    quint16 portNumber() const;
};
