#include "CacheIndex.h"

#include "ftp/RemoteName.h"

#include <QFile>

namespace {

bool canBeKey(const QByteArray &key)
{
    return !key.isEmpty() && key.size() < CacheIndex::MaxLineBytes && !key.contains('\n') && !key.contains('\r')
        && !key.contains('\0');
}

struct Scan
{
    int lines = 0;           // physical lines in the file, a last one without "\n" included
    int match = -1;          // line number of the key
    bool endsInLineEnd = true;
};

Scan scan(QFile &file, const QByteArray &key)
{
    Scan result;
    bool inLongLine = false;
    while (!file.atEnd()) {
        const QByteArray piece = file.readLine(CacheIndex::MaxLineBytes + 1);
        if (piece.isEmpty())
            break;
        const bool complete = piece.endsWith('\n');
        const qsizetype length = complete ? piece.size() - 1 : piece.size();
        if (!inLongLine && result.match < 0 && length == key.size() && piece.startsWith(key))
            result.match = result.lines;
        inLongLine = !complete;
        result.endsInLineEnd = complete;
        if (complete)
            ++result.lines;
    }
    if (!result.endsInLineEnd)
        ++result.lines; // a last line cut short still holds its number
    return result;
}

bool appendKey(const QString &nativePath, const QByteArray &key, bool needsLineEnd)
{
    QFile file(nativePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray line = (needsLineEnd ? QByteArray("\n") : QByteArray()) + key + '\n';
    const bool written = file.write(line) == line.size() && file.flush();
    file.close();
    return written;
}

} // namespace

std::optional<CacheIndex::Number> CacheIndex::numberOf(const QString &nativePath, const QString &key)
{
    const QByteArray keyBytes = encodeRemoteName(key); // folders whose names differ in raw bytes differ here too
    if (nativePath.isEmpty() || !canBeKey(keyBytes))
        return std::nullopt;
    Scan found;
    QFile file(nativePath);
    if (file.open(QIODevice::ReadOnly))
        found = scan(file, keyBytes);
    else if (file.exists())
        return std::nullopt; // numbering on from an unreadable file would reuse numbers
    file.close();
    if (found.match >= 0)
        return Number{found.match, false};
    if (!appendKey(nativePath, keyBytes, !found.endsInLineEnd))
        return std::nullopt;
    return Number{found.lines, true};
}
