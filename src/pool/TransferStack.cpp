#include "pool/TransferStack.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString ZeroTime = QStringLiteral("00:00:00");

// Seconds still to go at the rate seen so far: elapsed / done * size - elapsed, truncated.
// Nothing counted yet, or more than the listed size, shows zero.
QString remainingText(qint64 elapsed, qint64 done, qint64 size)
{
    if (done <= 0 || done > size)
        return ZeroTime;
    const double seconds = std::trunc(double(elapsed) / double(done) * double(size) - double(elapsed));
    // Bounded before the conversion: a tiny rate over a huge file must not overflow.
    const qint64 left = qint64(std::clamp(seconds, 0.0, double(std::numeric_limits<int>::max())));
    return QString::asprintf("%02lld:%02lld:%02lld", left / 3600, left / 60 % 60, left % 60);
}

int percentOf(qint64 done, qint64 size)
{
    if (done >= size)
        return 100;
    if (done <= std::numeric_limits<qint64>::max() / 100)
        return int(done * 100 / size);
    return std::min(99, int(double(done) / double(size) * 100));
}

// Sizes read from stack lines may be as large as a qint64 holds: totals stop at its limit instead
// of wrapping.
qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}
} // namespace

TransferStack::TransferStack(QObject *parent)
    : QObject(parent),
      clock_([] { return QDateTime::currentSecsSinceEpoch(); }),
      status_(QStringLiteral("Waiting for Connection to Become Available"))
{
}

void TransferStack::setClock(Clock clock)
{
    clock_ = std::move(clock);
}

void TransferStack::setLocalPathMapper(LocalPathMapper mapper)
{
    mapLocalPath_ = std::move(mapper);
}

void TransferStack::addEntry(const QString &line)
{
    if (line.isEmpty())
        return;
    lines_.append(line);
    if (const auto entry = TransferStackLine::parse(line))
        totalBytes_ = saturatingAdd(totalBytes_, entry->size);
    emit changed();
}

void TransferStack::setStatus(const QString &text)
{
    status_ = text;
    emit changed();
}

void TransferStack::operationEnded()
{
    emit ended();
}

void TransferStack::setConnection(Connection *connection)
{
    connection_ = connection;
    emit changed();
}

bool TransferStack::NextFile(TransferFile &file)
{
    started_ = true;
    settleFinishedFile();
    if (lines_.isEmpty()) {
        emit changed();
        return false;
    }
    const QString line = lines_.takeFirst();
    const auto entry = TransferStackLine::parse(line);
    if (!entry) {
        // An unreadable line ends the stack, like an empty one; the rest stays listed.
        recordResult(line, false, QStringLiteral("Unreadable transfer line"));
        emit changed();
        return false;
    }
    takeEntry(*entry, file);
    emit changed();
    return true;
}

// True when NextFile would give a file: the top line is there and readable.
bool TransferStack::hasMoreFiles() const
{
    return !lines_.isEmpty() && TransferStackLine::parse(lines_.first()).has_value();
}

// The total counts what the finished file really moved: a skipped or short file gives back its
// missing bytes, a file longer than listed adds its extra ones.
void TransferStack::settleFinishedFile()
{
    totalBytes_ = std::max<qint64>(0, saturatingAdd(totalBytes_, fileDone_ - fileSize_));
    fileSize_ = 0;
    fileDone_ = 0;
}

void TransferStack::takeEntry(const TransferStackLine &entry, TransferFile &file)
{
    current_ = entry;
    lastTaken_ = lines_.isEmpty();
    resultPending_ = true;
    direction_ = entry.download;
    currentFile_ = entry.fileName();
    fileSize_ = entry.size;
    filePercent_ = 0;
    fileRemaining_ = ZeroTime;

    file.remotePath = entry.remotePath;
    file.localPath = mapLocalPath_ ? mapLocalPath_(entry.localPath) : entry.localPath;
    file.retrieve = entry.download;
    file.binary = !entry.ascii;
    file.restartOffset = entry.restartOffset;
    file.size = entry.size;
}

void TransferStack::RequestSent()
{
    fileStart_ = clock_();
    if (!stackTimed_) {
        stackTimed_ = true;
        stackStart_ = fileStart_;
        totalDone_ = 0;
    }
    fileDone_ = 0;
}

void TransferStack::BytesTransferred(qint64 count)
{
    count = std::max<qint64>(0, count);
    ++updateCount_;
    fileDone_ += count;
    totalDone_ += count;
    // Redrawing after every block would cost more than the transfer; every second one will do.
    if (updateCount_ < 2)
        return;
    updateCount_ = 0;
    updateDisplay();
}

void TransferStack::updateDisplay()
{
    const qint64 now = clock_();
    filePercent_ = percentOf(fileDone_, fileSize_);
    fileRemaining_ = remainingText(now - fileStart_, fileDone_, fileSize_);
    stackRemaining_ = remainingText(now - stackStart_, totalDone_, totalBytes_);
    status_ = QString::asprintf("Transferred %lld bytes. %i%% Complete.", fileDone_, filePercent_);
    emit changed();
}

void TransferStack::fileEnded(bool complete, const QString &reason)
{
    // One outcome per file taken, however often the end is reported.
    if (!resultPending_)
        return;
    resultPending_ = false;
    recordResult(current_.remotePath, complete, reason);
}

void TransferStack::recordResult(const QString &remotePath, bool complete, const QString &reason)
{
    if (complete) {
        ++filesCompleted_;
    } else {
        ++filesFailed_;
        failures_.append(remotePath + QStringLiteral(": ") + reason);
    }
    emit fileFinished(remotePath, complete, reason);
}
