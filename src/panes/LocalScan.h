#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Reads one local directory for the location tree and the file list. Paths here are native
// ("/home/me/dir/"); the callers map drive-form paths with toNativePath first.
class LocalScan
{
public:
    struct Entry
    {
        QString name;
        quint64 size = 0;     // 0 for directories
        quint32 date = 0;     // PackedDateTime of the last modification, seconds included
        bool isDirectory = false;
    };

    enum class State { Directory, Missing, Unreadable };

    // Whether the path names a directory that can be listed, nothing (or something that is not a
    // directory), or a directory this user may not list.
    static State stateOf(const QString &nativePath);
    // Every entry but "." and "..", hidden and special files included, in the order the file
    // system gives them.
    static QList<Entry> entries(const QString &nativeDirectory);
    // Whether the directory holds a subdirectory whose name does not start with "."; stops at the
    // first one found.
    static bool hasVisibleSubdirectory(const QString &nativeDirectory);
};
