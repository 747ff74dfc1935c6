#include "panes/LocalScan.h"

#include "ftp/PackedDateTime.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

LocalScan::State LocalScan::stateOf(const QString &nativePath)
{
    if (nativePath.isEmpty())
        return State::Missing;
    const QFileInfo info(nativePath);
    if (!info.exists() || !info.isDir())
        return State::Missing;
    // Listing a directory needs read permission; entering its entries needs search permission.
    if (!info.isReadable() || !info.isExecutable())
        return State::Unreadable;
    return State::Directory;
}

QList<LocalScan::Entry> LocalScan::entries(const QString &nativeDirectory)
{
    QList<Entry> found;
    QDirIterator it(nativeDirectory, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        Entry entry;
        entry.name = info.fileName();
        entry.isDirectory = info.isDir();
        entry.size = entry.isDirectory ? 0 : quint64(std::max<qint64>(info.size(), 0));
        entry.date = PackedDateTime::fromDateTime(info.lastModified());
        found.append(entry);
    }
    return found;
}

bool LocalScan::hasVisibleSubdirectory(const QString &nativeDirectory)
{
    QDirIterator it(nativeDirectory, QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        if (!it.nextFileInfo().fileName().startsWith(QLatin1Char('.')))
            return true;
    }
    return false;
}
