// Transfer-stack lines: the input as a line of text, and the input as the choices behind a line
// written the way the program writes them.
//
// Any text: a line that reads has both paths, counts that are not negative, no resume offset on
// an upload, and is the text of its parts ("remote arrow local (size...)...").
//
// Written lines read back to what was written. A download's remote path is the host's (any
// names); its local path is a local folder plus the remote names as they are stored locally
// (with "<>?*|:" replaced and no leading dot). An upload keeps its names: the remote folder is
// the host's, the names below it are the local ones. The local folder itself is a plain one:
// a local folder name ending in an arrow (optionally followed by a drive) makes a line that two
// readings fit, which the format cannot tell apart.

#include "FuzzCheck.h"
#include "pool/TransferStackLine.h"

#include <QRegularExpression>
#include <QStringList>

#include <limits>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

const QString LocalFolders[] = {QStringLiteral("C:/dl"), QStringLiteral("/home/u/in"), QStringLiteral("D:/a b (1)")};

QString arrow(bool download)
{
    return download ? QStringLiteral(" -> ") : QStringLiteral(" <- ");
}

void checkAnyText(const QString &line)
{
    const auto read = TransferStackLine::parse(line);
    if (!read)
        return;
    FUZZ_CHECK(!read->remotePath.isEmpty() && !read->localPath.isEmpty());
    FUZZ_CHECK(read->size >= 0 && read->restartOffset >= 0);
    FUZZ_CHECK(read->download || read->restartOffset == 0);
    FUZZ_CHECK(line.startsWith(read->remotePath + arrow(read->download) + read->localPath + QStringLiteral(" (")
                               + read->sizeText));
}

// A name as a host or a local disk may have it: no "/", no control character, not "." or "..".
QString someName(FuzzedDataProvider &input)
{
    QString name = QString::fromUtf8(input.ConsumeRandomLengthString(40));
    name.removeIf([](QChar c) { return c == QLatin1Char('/') || c.unicode() < 0x20 || c.unicode() == 0x7f; });
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("n");
    return name;
}

// The name a downloaded file gets on the local disk.
QString storedLocally(QString name)
{
    if (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    for (QChar &c : name)
        if (QStringLiteral("<>?*|:").contains(c))
            c = QLatin1Char('_');
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ? QStringLiteral("n") : name;
}

QStringList someNames(FuzzedDataProvider &input, int least)
{
    QStringList names;
    for (int count = input.ConsumeIntegralInRange(least, 3); count > 0; --count)
        names << someName(input);
    return names;
}

void checkWrittenLine(FuzzedDataProvider &input)
{
    const bool download = input.ConsumeBool();
    const QString localFolder = LocalFolders[input.ConsumeIntegralInRange(0, 2)];
    const QStringList hostFolders = someNames(input, 0);
    const QStringList below = someNames(input, 1);
    const qint64 size = input.ConsumeIntegralInRange<qint64>(0, std::numeric_limits<qint64>::max());
    const qint64 offset = download && input.ConsumeBool()
                              ? input.ConsumeIntegralInRange<qint64>(1, std::numeric_limits<qint64>::max())
                              : 0;
    const bool ascii = input.ConsumeBool();

    const QString remote = QLatin1Char('/') + (hostFolders + below).join(QLatin1Char('/'));
    QStringList localBelow = below;
    if (download) {
        for (QString &name : localBelow)
            name = storedLocally(name);
    }
    const QString local = localFolder + QLatin1Char('/') + localBelow.join(QLatin1Char('/'));
    if (!download) {
        // Local folder names that end like an arrow are left out (see above).
        static const QRegularExpression arrowEnd(QStringLiteral(" (->|<-) ([A-Za-z]:)?$"));
        for (qsizetype i = 0; i + 1 < below.size(); ++i)
            if (below[i].contains(arrowEnd))
                return;
    }
    QString sizePart = QString::number(size);
    if (offset > 0)
        sizePart += QStringLiteral(" -R ") + QString::number(offset);
    const QString line = remote + arrow(download) + local + QStringLiteral(" (") + sizePart + QLatin1Char(')')
                         + (ascii ? QStringLiteral(" ASCII") : QString());

    const QByteArray lineText = line.toUtf8();
    const char *about = lineText.constData();
    const auto read = TransferStackLine::parse(line);
    FUZZ_CHECK_ABOUT(read, about);
    FUZZ_CHECK_ABOUT(read->remotePath == remote, about);
    FUZZ_CHECK_ABOUT(read->localPath == local, about);
    FUZZ_CHECK_ABOUT(read->download == download, about);
    FUZZ_CHECK_ABOUT(read->size == size, about);
    FUZZ_CHECK_ABOUT(read->restartOffset == offset, about);
    FUZZ_CHECK_ABOUT(read->ascii == ascii, about);
    FUZZ_CHECK_ABOUT(read->fileName() == below.last(), about);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkAnyText(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    FuzzedDataProvider input(data, size);
    checkWrittenLine(input);
    return 0;
}
