#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QList>
#include <QString>

// The program keeps local paths in drive form ("C:\dir\sub\" or "C:/dir/sub/") everywhere: in the
// location tree, the settings store, the cache path and the dialogs. These functions map them to
// native paths and back; every file-system call goes through them.
//
//   C:   the user's home directory
//   Z:   the root of the file system, "/"
//   D:.. mounted media (under /media, /run/media, /mnt), network file systems and optical
//        discs, lettered in mount-table order
//
// A drive-form path can never reach outside its drive's root: ".." that would climb above it makes
// the path invalid.

struct Drive
{
    enum Type { Fixed, Removable, Network, CdRom };

    QChar letter;       // upper case
    QString nativeRoot; // absolute, without a trailing "/" except for "/" itself
    Type type = Fixed;
};

// C:, then the mounted drives from /proc/self/mounts, then Z:.
QList<Drive> localDrives();

// What a drive stands for, as the desktop names it: "Home" for C:, "Root" for Z:, else the last
// name of its mount point ("usb-stick" for /media/me/usb-stick).
QString driveLabel(const Drive &drive);

// The drives a mount table (the text of /proc/self/mounts) gives, with C: at home and Z: at "/".
QList<Drive> drivesFromMountTable(QByteArrayView mountTable, const QString &home);

// The native path of a drive-form path, keeping a trailing separator; empty when the path has no
// drive letter, names a drive that does not exist or climbs above its drive's root.
QString toNativePath(const QString &programPath);
QString toNativePath(const QString &programPath, const QList<Drive> &drives);

// The drive form of an absolute native path, on the drive with the longest matching root, with the
// given separator and a trailing separator when the native path had one; empty for a relative path.
QString toProgramPath(const QString &nativePath, QChar separator = u'/');
QString toProgramPath(const QString &nativePath, const QList<Drive> &drives, QChar separator = u'/');

// The cache directory offered when none is stored: $XDG_CACHE_HOME/vemalftp (else
// ~/.cache/vemalftp) as "C:\...\" with backslashes and a trailing backslash.
QString defaultCachePath();
