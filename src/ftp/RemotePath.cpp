#include "ftp/RemotePath.h"

namespace remotepath {

bool holdsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

QString parentOf(const QString &path)
{
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    return last > 0 ? path.left(last) : QStringLiteral("/");
}

QString asDirectory(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

} // namespace remotepath
