#include "pool/DeleteList.h"

namespace {

const QString DirectoryMark = QStringLiteral("DIR: ");

} // namespace

DeleteList::DeleteList(const QString &host, const QString &cacheFilePath, QObject *parent)
    : QObject(parent),
      host_(host),
      cacheFilePath_(cacheFilePath),
      status_(QStringLiteral("Waiting for Connection to Become Available"))
{
}

void DeleteList::addLine(const QString &line)
{
    if (line.isEmpty())
        return;
    lines_.append(line);
    emit changed();
}

void DeleteList::cancel()
{
    cancelled_ = true;
    emit changed();
}

void DeleteList::setStatus(const QString &text)
{
    status_ = text;
    emit changed();
}

void DeleteList::operationEnded()
{
    emit ended();
}

bool DeleteList::NextEntry(QString &path, bool &directory)
{
    while (!cancelled_ && !lines_.isEmpty()) {
        const QString line = lines_.takeLast();
        directory = line.startsWith(DirectoryMark);
        path = directory ? line.mid(DirectoryMark.size()) : line;
        // A directory written with a trailing "/" is still removed by its own name.
        while (directory && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        if (path.isEmpty())
            continue; // nothing to name: neither "DELE " nor "RMD " without an argument
        currentPath_ = path;
        currentName_ = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        resultPending_ = true;
        emit changed();
        return true;
    }
    emit changed();
    return false;
}

void DeleteList::entryEnded(bool deleted, const QString &reason)
{
    // One outcome per entry taken, however often the end is reported.
    if (!resultPending_)
        return;
    resultPending_ = false;
    if (deleted) {
        ++deleted_;
    } else {
        ++failed_;
        failures_.append(currentPath_ + QStringLiteral(": ") + reason);
    }
    emit entryFinished(currentPath_, deleted, reason);
}
