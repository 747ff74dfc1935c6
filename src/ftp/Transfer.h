#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <memory>

class QSslSocket;
class QTcpSocket;

// The data connection of one file. Receiving, it writes what the host sends to the local file
// (appending at the restart offset of a resumed download); sending, it streams the local file to
// the host. Data moves through one fixed buffer; nothing is allocated per chunk.
class Transfer : public QObject
{
    Q_OBJECT
public:
    Transfer(QTcpSocket *socket, const QString &localPath, bool receiving, QObject *parent = nullptr);
    ~Transfer() override;

    // Opens the local file (creating missing directories for a download) and starts moving data;
    // called once the host has accepted the transfer command, so nothing moves for a command the
    // host refuses. A download appends to the local file when restartOffset is not 0 and rewrites
    // it otherwise; the offset is only settled here, as the host may connect before it has
    // answered REST. False when the file cannot be opened; errorText() then names the path and
    // the reason.
    bool start(qint64 restartOffset);
    bool started() const { return started_; }
    // Drops the data connection at once; the local file keeps what was written.
    void abort();

    bool receiving() const { return receiving_; }
    bool ended() const { return ended_; }
    // Every byte reached its destination: for a download, the host closed after sending; for an
    // upload, the whole file was sent. Meaningless until ended().
    bool allMoved() const { return allMoved_; }
    qint64 bytesMoved() const { return moved_; }
    QString errorText() const { return error_; }

    static constexpr qint64 BufferSize = 256 * 1024;

signals:
    void progress(qint64 bytes);
    // The data connection is over (closed, failed or aborted); emitted once.
    void finished();

private:
    void receive();
    // Receives once the event loop is back (see start()).
    void receiveSoon();
    void send();
    void socketClosed();
    // Bytes handed to the socket that have not gone out yet (encrypted or not).
    qint64 unsent() const;
    // An encrypted upload is not closed yet: the host's session ticket has still to be read.
    bool awaitingTicket();
    void fail(const QString &text);
    void end(bool allMoved);

    QTcpSocket *socket_;
    QSslSocket *secure_; // the same socket when the data connection is encrypted, else null
    QFile file_;
    bool receiving_;
    qint64 moved_ = 0;
    bool atEnd_ = false;
    bool started_ = false;
    bool peerClosed_ = false; // the host closed before the transfer was started
    bool ended_ = false;
    bool receivePending_ = false;
    bool ticketRead_ = false;
    QElapsedTimer ticketWait_;
    static constexpr int TicketWaitMs = 1000;
    bool allMoved_ = false;
    QString error_;
    std::unique_ptr<char[]> buffer_;
};
