#include "ftp/Transfer.h"

#include "platform/SocketClose.h"

#include <QFileInfo>
#include <QSslSocket>
#include <QTimer>
#include <QTcpSocket>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {
// An upload keeps at most this much queued in the socket, so memory stays flat for any file size.
constexpr qint64 SendHighWater = 2 * Transfer::BufferSize;

QString systemReason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

// Writes all of data to the file; 0, or the error number of the write that failed. A write that
// is cut short (the disk filled up) is followed by another, which says why; QFile would give
// "Unknown error" for the short write.
int writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        size -= n;
    }
    return 0;
}

} // namespace

Transfer::Transfer(QTcpSocket *socket, const QString &localPath, bool receiving, QObject *parent)
    : QObject(parent)
    , socket_(socket)
    , secure_(qobject_cast<QSslSocket *>(socket))
    , file_(localPath)
    , receiving_(receiving)
    , buffer_(new char[BufferSize])
{
    socket_->setParent(this);
    connect(socket_, &QTcpSocket::disconnected, this, &Transfer::socketClosed);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::RemoteHostClosedError:
            return;
        case QAbstractSocket::SslHandshakeFailedError:
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:
            // Whatever the host says afterwards, the data did not arrive intact.
            fail(tr("The encrypted data connection failed: %1").arg(socket_->errorString()));
            return;
        default:
            socketClosed();
        }
    });
}

Transfer::~Transfer()
{
    socket_->disconnect(this);
    socket_->abort();
}

bool Transfer::start(qint64 restartOffset)
{
    if (started_ || ended_)
        return !ended_;
    started_ = true;
    if (receiving_) {
        const QString folder = QFileInfo(file_.fileName()).absolutePath();
        std::error_code error; // says why, where QDir::mkpath would not
        std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
        if (error) {
            fail(tr("Couldn't create the folder %1: %2").arg(folder, QString::fromStdString(error.message())));
            return false;
        }
        const QIODevice::OpenMode mode = restartOffset > 0 ? QIODevice::Append : QIODevice::Truncate;
        if (!file_.open(QIODevice::WriteOnly | mode | QIODevice::Unbuffered)) {
            fail(tr("Couldn't write %1: %2").arg(file_.fileName(), file_.errorString()));
            return false;
        }
        if (secure_) {
            // TLS hands its data over in 4 KiB records, each with a readyRead of its own, all within
            // one pass of the event loop. Taking them once that pass is over writes the file in
            // large blocks and reports progress once per block.
            connect(socket_, &QTcpSocket::readyRead, this, &Transfer::receiveSoon);
        } else {
            connect(socket_, &QTcpSocket::readyRead, this, &Transfer::receive);
        }
    } else {
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            fail(tr("Couldn't read %1: %2").arg(file_.fileName(), file_.errorString()));
            return false;
        }
        connect(socket_, &QTcpSocket::bytesWritten, this, [this](qint64 n) {
            moved_ += n;
            emit progress(n);
            send();
        });
        // A TLS socket encrypts at once into a buffer of its own; that one is what drains.
        if (secure_)
            connect(secure_, &QSslSocket::encryptedBytesWritten, this, &Transfer::send);
    }
    if (receiving_)
        receive(); // bytes may have arrived before the file was open
    else
        send();
    if (peerClosed_)
        socketClosed();
    return !error_.isEmpty() ? false : true;
}

void Transfer::receiveSoon()
{
    if (std::exchange(receivePending_, true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        receivePending_ = false;
        receive();
    }, Qt::QueuedConnection);
}

void Transfer::receive()
{
    if (ended_)
        return;
    for (;;) {
        const qint64 n = socket_->read(buffer_.get(), BufferSize);
        if (n <= 0)
            return;
        if (const int error = writeAll(file_.handle(), buffer_.get(), n)) {
            fail(tr("Couldn't write %1: %2").arg(file_.fileName(), systemReason(error)));
            return;
        }
        moved_ += n;
        emit progress(n);
    }
}

void Transfer::send()
{
    if (ended_)
        return;
    while (!atEnd_ && unsent() < SendHighWater) {
        const qint64 n = file_.read(buffer_.get(), BufferSize);
        if (n < 0) {
            fail(tr("Couldn't read %1: %2").arg(file_.fileName(), file_.errorString()));
            return;
        }
        if (n == 0) {
            atEnd_ = true;
            break;
        }
        socket_->write(buffer_.get(), n);
    }
    if (atEnd_ && unsent() == 0 && !awaitingTicket())
        socket_->disconnectFromHost(); // the orderly close tells the host the file is complete
}

bool Transfer::awaitingTicket()
{
    // A TLS 1.3 host sends its session ticket after the handshake. Closing before it has been
    // read makes the kernel reset the connection, and the host loses the end of the file. The
    // close waits for the ticket, or a second for a host that sends none.
    if (!secure_ || ticketRead_ || secure_->sessionProtocol() != QSsl::TlsV1_3)
        return false;
    if (!ticketWait_.isValid()) {
        ticketWait_.start();
        // Queued: the signal comes from inside the TLS library's read, where closing is not safe.
        connect(
            secure_, &QSslSocket::newSessionTicketReceived, this,
            [this] {
                ticketRead_ = true;
                send();
            },
            Qt::QueuedConnection);
        QTimer::singleShot(TicketWaitMs, this, [this] {
            ticketRead_ = true;
            send();
        });
    }
    return true;
}

qint64 Transfer::unsent() const
{
    return socket_->bytesToWrite() + (secure_ ? secure_->encryptedBytesToWrite() : 0);
}

void Transfer::socketClosed()
{
    if (ended_)
        return;
    if (!started_) {
        peerClosed_ = true; // what it sent waits in the socket until start()
        return;
    }
    if (receiving_) {
        receive(); // what is still buffered belongs to the file
        if (ended_)
            return;
        end(true);
    } else {
        end(atEnd_ && unsent() == 0);
    }
}

void Transfer::fail(const QString &text)
{
    error_ = text;
    abort();
}

void Transfer::abort()
{
    if (ended_)
        return;
    socket_->disconnect(this);
    abortiveClose(socket_);
    end(false);
}

void Transfer::end(bool allMoved)
{
    ended_ = true;
    allMoved_ = allMoved && error_.isEmpty();
    file_.close();
    emit finished();
}
