#pragma once

// Real folders for the local copy and delete tests, written and read in one small language,
// one entry a line, paths relative to the fixture's root:
//
//     "d src/empty"            a folder
//     "f src/a.txt=alpha"      a file and its content
//     "l src/up->.."           a link and its target ("$ROOT" stands for the root's path)
//     "p src/pipe"             a fifo
//
// treeOf reads a folder back in the same language without following any link.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace localtest {

class LocalTreeFixture
{
public:
    LocalTreeFixture() = default;
    // The root in a fresh folder below parent.
    explicit LocalTreeFixture(const QString &parent) : dir_(parent + QStringLiteral("/tree-XXXXXX")) {}

    bool isValid() const { return dir_.isValid(); }
    QString root() const { return dir_.path(); }
    // The native folder path of relative, ending in "/".
    QString folder(const QString &relative) const { return root() + u'/' + relative + u'/'; }
    QString path(const QString &relative) const { return root() + u'/' + relative; }

    // Writes every entry; false (with the entry in error) when one can't be made.
    bool make(const QStringList &entries)
    {
        for (const QString &entry : entries) {
            if (!makeOne(entry)) {
                error = entry;
                return false;
            }
        }
        return true;
    }

    // Every entry below relative (not following links), sorted, in the fixture's language,
    // with paths relative to relative.
    QStringList treeOf(const QString &relative = QString()) const
    {
        namespace fs = std::filesystem;
        const fs::path base = QFile::encodeName(relative.isEmpty() ? root() : path(relative)).toStdString();
        QStringList lines;
        std::error_code error;
        for (fs::recursive_directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
            const QString name = QFile::decodeName(QByteArray::fromStdString(it->path().lexically_relative(base).string()));
            const fs::file_status status = it->symlink_status();
            if (fs::is_symlink(status))
                lines << QStringLiteral("l %1->%2").arg(name, QFile::decodeName(QByteArray::fromStdString(fs::read_symlink(it->path()).string())));
            else if (fs::is_directory(status))
                lines << QStringLiteral("d %1").arg(name);
            else if (fs::is_fifo(status))
                lines << QStringLiteral("p %1").arg(name);
            else
                lines << QStringLiteral("f %1=%2").arg(name, QString::fromUtf8(content(it->path().string())));
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    QString error;

private:
    static QByteArray content(const std::string &path)
    {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    bool makeOne(const QString &entry)
    {
        const QChar kind = entry.at(0);
        QString rest = entry.mid(2);
        rest.replace(QStringLiteral("$ROOT"), root());
        if (kind == u'd')
            return QDir().mkpath(path(rest));
        if (kind == u'p')
            return QDir().mkpath(QFileInfo(path(rest)).path()) && ::mkfifo(QFile::encodeName(path(rest)).constData(), 0644) == 0;
        const QString separator = kind == u'l' ? QStringLiteral("->") : QStringLiteral("=");
        const qsizetype at = rest.indexOf(separator);
        const QString name = rest.left(at);
        const QString value = rest.mid(at + separator.size());
        QDir().mkpath(QFileInfo(path(name)).path());
        if (kind == u'l')
            return ::symlink(QFile::encodeName(value).constData(), QFile::encodeName(path(name)).constData()) == 0;
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(value.toUtf8()) == value.toUtf8().size();
    }

    QTemporaryDir dir_;
};

} // namespace localtest
