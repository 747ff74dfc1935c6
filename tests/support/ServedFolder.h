#pragma once

#include <QByteArray>
#include <QString>

// The folder a test server serves, with small helpers for arranging and checking a test.
// Relative paths may start with a slash ("a/b.txt" or "/a/b.txt"); folders on the way are made;
// nothing is made outside the root.
// With openToAll, folders and files made here are writable by every user (0777 and 0666), for a
// server whose sessions run as another user (vsftpd's anonymous user is "ftp").
class ServedFolder
{
public:
    explicit ServedFolder(const QString &root = QString(), bool openToAll = false);

    // The folder, without a trailing slash.
    QString root() const { return m_root; }
    // Absolute local path of a path relative to the root.
    QString pathOf(const QString &relative) const;

    bool writeFile(const QString &relative, const QByteArray &content) const;
    QByteArray readFile(const QString &relative) const;
    bool makeDir(const QString &relative) const;
    bool exists(const QString &relative) const;

private:
    bool isInside(const QString &path) const;

    QString m_root;
    bool m_openToAll = false;
};
