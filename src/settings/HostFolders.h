#pragma once

#include "platform/SettingsStore.h"

#include <QList>
#include <QString>

#include <optional>

// One direct subkey of Hosts: a host, or a host folder when its This value reads non-zero.
// The folder tree is recorded only by the Parent values; folder id 0 is the root.
struct HostEntry
{
    QString name;       // as stored
    int folderId = 0;   // This
    int parent = 0;     // Parent

    bool isFolder() const { return folderId != 0; }
    // A folder that names itself as its parent is listed but not opened.
    bool canDescend() const { return isFolder() && folderId != parent; }
};

// The entry of that name (matched without case); nullopt when there is no such key, or the name is
// "My Computer" or holds a backslash.
std::optional<HostEntry> ReadHostEntry(const QString &name);

// Every host and folder without "My Computer", sorted by name without regard to case (names that
// differ only in case in the order of their characters).
QList<HostEntry> HostEntries();

// The order of host and folder names in every list of them.
bool HostNameLess(const QString &a, const QString &b);

// The hosts and folders whose Parent reads as folderId, sorted by name.
QList<HostEntry> HostFolderChildren(int folderId);

// The folder with that id; nullopt for 0 and for ids no folder has.
std::optional<HostEntry> HostFolderById(int folderId);

// The folder id of the entry of that name: 0 for a host, for "All Hosts" and for no entry.
int FolderIdOf(const QString &name);

// "Default Host N" with the lowest N from 1 that no key under Hosts has.
QString NewHostName();

// New hosts encrypt their sessions when the host offers TLS.
inline const SettingsValue NewHostEncryption{QStringLiteral("Encryption"), QStringLiteral("1")};

// Creates the key of a new host (folderId 0, with NewHostEncryption) or folder with its Parent (and
// This); false when the store refused.
bool CreateHostEntry(const QString &name, int parent, int folderId = 0);

// Deletes a new host's key when nothing was written to it beyond what CreateHostEntry wrote; true
// when it went.
bool DiscardUnappliedHost(const QString &name);

// The id for a new folder: the largest This of all entries plus one, at least 1.
int NextFolderId();
