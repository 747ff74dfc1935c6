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
    for (qsizetype at = 0; at + 4 <= head.size(); ++at) {
        const QStringView token = head.mid(at, 4);
        if (token == DownloadArrow)
            arrows.append({at, true});
        else if (token == UploadArrow)
            arrows.append({at, false});
    }
    return arrows;
}

// The arrow is the last one on the line, as long as local names cannot hold "<" or ">": a
// downloaded file's local name has them replaced. A Linux file being uploaded can hold them, so
// when several arrows are present the one that leaves the same name on both sides wins (an
// upload keeps its name); with none such the last arrow stands.
std::optional<Arrow> chooseArrow(QStringView head)
{
    const QList<Arrow> arrows = findArrows(head);
    if (arrows.isEmpty())
        return std::nullopt;
    for (qsizetype i = arrows.size() - 1; i >= 0 && arrows.size() > 1; --i) {
        const qsizetype at = arrows[i].at;
        if (nameOf(head.left(at)) == nameOf(head.mid(at + 4)))
            return arrows[i];
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
