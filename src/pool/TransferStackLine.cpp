#include "pool/TransferStackLine.h"

#include <QList>
#include <QStringView>

#include <limits>

namespace {

const QString DownloadArrow = QStringLiteral(" -> ");
const QString UploadArrow = QStringLiteral(" <- ");
const QString RestartMark = QStringLiteral(" -R ");

struct Arrow
{
    qsizetype at;
    qsizetype nameStart; // where the name in front of the arrow begins (after its last "/")
    bool download;
};

QStringView nameOf(QStringView path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// A byte count written with optional leading blanks and thousands separators; reading stops at
// the first other character. Counts too large for 64 bits stay at the largest value.
qint64 readCount(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && text[at] == QLatin1Char(' '))
        ++at;
    constexpr qint64 Largest = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c == QLatin1Char(','))
            continue;
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        const int digit = c.unicode() - '0';
        value = value > (Largest - digit) / 10 ? Largest : value * 10 + digit;
    }
    return value;
}

// Every arrow token in front of the size part, in line order.
QList<Arrow> findArrows(QStringView head)
{
    QList<Arrow> arrows;
    qsizetype nameStart = 0;
    for (qsizetype at = 0; at + 4 <= head.size(); ++at) {
        if (head[at] == QLatin1Char('/'))
            nameStart = at + 1;
        const QStringView token = head.mid(at, 4);
        if (token == DownloadArrow)
            arrows.append({at, nameStart, true});
        else if (token == UploadArrow)
            arrows.append({at, nameStart, false});
    }
    return arrows;
}

// A local path is absolute: "/..." or a drive, "C:/...".
bool startsLikeLocalPath(QStringView text)
{
    if (text.startsWith(QLatin1Char('/')))
        return true;
    return text.size() >= 3 && text[0].unicode() < 0x80 && text[0].isLetter() && text[1] == QLatin1Char(':')
           && text[2] == QLatin1Char('/');
}

// Names may hold arrow text, so the arrow is the last one that fits the line it would make: the
// local path after it is absolute, and either it is a download (whose local path never holds an
// arrow: LocalName refuses such names, so the host's names, all before the real arrow, cannot
// move it) or an upload that keeps its name on both sides. With none that fits, the last arrow
// stands.
std::optional<Arrow> chooseArrow(QStringView head)
{
    const QList<Arrow> arrows = findArrows(head);
    if (arrows.isEmpty())
        return std::nullopt;
    const QStringView localName = nameOf(head);
    for (qsizetype i = arrows.size() - 1; i >= 0; --i) {
        const Arrow &arrow = arrows[i];
        if (!startsLikeLocalPath(head.mid(arrow.at + 4)))
            continue;
        if (arrow.download || head.mid(arrow.nameStart, arrow.at - arrow.nameStart) == localName)
            return arrow;
    }
    return arrows.last();
}

} // namespace

std::optional<TransferStackLine> TransferStackLine::parse(const QString &line)
{
    const qsizetype open = line.lastIndexOf(QLatin1Char('('));
    const qsizetype close = line.lastIndexOf(QLatin1Char(')'));
    // The size part is " (" ... ")" after the local path.
    if (open < 1 || close < open || line[open - 1] != QLatin1Char(' '))
        return std::nullopt;
    const QStringView head = QStringView(line).left(open - 1);
    const auto arrow = chooseArrow(head);
    if (!arrow)
        return std::nullopt;

    TransferStackLine entry;
    entry.download = arrow->download;
    entry.remotePath = head.left(arrow->at).toString();
    entry.localPath = head.mid(arrow->at + 4).toString();
    if (entry.remotePath.isEmpty() || entry.localPath.isEmpty())
        return std::nullopt;

    const QStringView inner = QStringView(line).mid(open + 1, close - open - 1);
    const qsizetype restart = inner.indexOf(RestartMark);
    entry.sizeText = (restart < 0 ? inner : inner.left(restart)).toString();
    entry.size = readCount(entry.sizeText);
    // Only a download resumes: an upload always sends the whole file.
    if (restart >= 0 && entry.download)
        entry.restartOffset = readCount(inner.mid(restart + RestartMark.size()));
    entry.ascii = QStringView(line).mid(close + 1).trimmed() == QLatin1String("ASCII");
    return entry;
}

QString TransferStackLine::fileName() const
{
    return nameOf(remotePath).toString();
}
