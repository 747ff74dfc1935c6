#include "ftp/ListTransfer.h"

#include "ftp/ListingDelivery.h"
#include "ftp/ListingEntry.h"
#include "ftp/ListingParser.h"
#include "ftp/MlsdParser.h"
#include "platform/SocketClose.h"

#include <QTcpSocket>

namespace {
constexpr qint64 ChunkSize = 64 * 1024;
}

ListTransfer::ListTransfer(QTcpSocket *socket, ListingDelivery &delivery, bool machine, QObject *parent)
    : QObject(parent), socket_(socket), delivery_(delivery), machine_(machine), today_(QDate::currentDate()), chunk_(new char[ChunkSize])
{
    socket_->setParent(this);
    connect(socket_, &QTcpSocket::readyRead, this, &ListTransfer::receive);
    connect(socket_, &QTcpSocket::disconnected, this, [this] { socketClosed(true); });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            socketClosed(false);
    });
}

ListTransfer::~ListTransfer()
{
    socket_->disconnect(this);
    socket_->abort();
}

void ListTransfer::receive()
{
    for (;;) {
        const qint64 n = socket_->read(chunk_.get(), ChunkSize);
        if (n <= 0)
            return;
        lineBuffer_.append(chunk_.get(), n);
        takeLines();
    }
}

// Lines end in "\r\n"; a bare "\n" is taken as a line end too, as some hosts send it.
void ListTransfer::takeLines()
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = lineBuffer_.indexOf('\n', std::max(start, scanFrom_));
        if (end < 0)
            break;
        QByteArrayView line(lineBuffer_.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (skippingLongLine_)
            skippingLongLine_ = false; // the rest of an overlong line
        else
            handleLine(line);
        start = end + 1;
        scanFrom_ = start;
    }
    lineBuffer_.remove(0, start);
    scanFrom_ = lineBuffer_.size();
    if (lineBuffer_.size() > MaxLineLength) {
        // Not a listing line: drop it up to its end.
        lineBuffer_.clear();
        scanFrom_ = 0;
        skippingLongLine_ = true;
    }
}

void ListTransfer::handleLine(QByteArrayView line)
{
    if (line.size() <= 2)
        return;
    ++lines_;
    if (std::optional<ListingEntry> entry = machine_ ? ParseMlsdLine(line) : ParseListingLine(line, today_)) {
        ++entries_;
        delivery_.start(); // no-op once the listing has begun
        delivery_.DeliverEntry(*entry);
    }
}

void ListTransfer::socketClosed(bool normally)
{
    if (ended_)
        return;
    receive();
    // A last line without a line end still counts.
    if (normally && !lineBuffer_.isEmpty() && !skippingLongLine_) {
        QByteArrayView rest(lineBuffer_);
        if (rest.endsWith('\r'))
            rest.chop(1);
        handleLine(rest);
    }
    lineBuffer_.clear();
    ended_ = true;
    closedNormally_ = normally;
    emit finished();
}

void ListTransfer::abort()
{
    if (ended_)
        return;
    socket_->disconnect(this);
    abortiveClose(socket_);
    ended_ = true;
    closedNormally_ = false;
    emit finished();
}
