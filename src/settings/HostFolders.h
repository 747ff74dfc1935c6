#pragma once

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

// Every host and folder, in the store's order, without "My Computer".
QList<HostEntry> HostEntries();

// The hosts and folders whose Parent reads as folderId, in the store's order.
QList<HostEntry> HostFolderChildren(int folderId);

// The folder with that id; nullopt for 0 and for ids no folder has.
std::optional<HostEntry> HostFolderById(int folderId);

// The id for a new folder: the largest This of all entries plus one, at least 1.
int NextFolderId();
