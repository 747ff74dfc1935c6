#include "ServedFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr QFile::Permissions OpenFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
    | QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
    | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
constexpr QFile::Permissions OpenFile = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
    | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;

} // namespace

ServedFolder::ServedFolder(const QString &root, bool openToAll)
    : m_root(root.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(root).absoluteFilePath()))
    , m_openToAll(openToAll)
{
}

QString ServedFolder::pathOf(const QString &relative) const
{
    QString rel = relative;
    while (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);
    return rel.isEmpty() ? m_root : QDir::cleanPath(m_root + QLatin1Char('/') + rel);
}

bool ServedFolder::isInside(const QString &path) const
{
    return path == m_root || path.startsWith(m_root + QLatin1Char('/'));
}

bool ServedFolder::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString path = pathOf(relative);
    if (!isInside(path) || !makeDir(QFileInfo(path).path().mid(m_root.size())))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        return false;
    return !m_openToAll || file.setPermissions(OpenFile);
}

QByteArray ServedFolder::readFile(const QString &relative) const
{
    QFile file(pathOf(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes each missing folder on the way, so that every one gets the permissions.
bool ServedFolder::makeDir(const QString &relative) const
{
    const QString target = pathOf(relative);
    if (!isInside(target) || !QDir().mkpath(m_root))
        return false;
    QString path = m_root;
    const QStringList parts = target.mid(m_root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        if (QFileInfo(path).isDir())
            continue;
        if (!QDir().mkdir(path) || (m_openToAll && !QFile::setPermissions(path, OpenFolder)))
            return false;
    }
    return QFileInfo(path).isDir();
}

bool ServedFolder::exists(const QString &relative) const
{
    return QFileInfo::exists(pathOf(relative));
}
