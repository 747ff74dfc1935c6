#pragma once

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <memory>

class ListingDelivery;
class QTcpSocket;

// The data connection of one directory listing: splits what the host sends into lines, parses
// each line and hands the entries on. Lines are bounded, so memory stays flat whatever is sent.
class ListTransfer : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxLineLength = 8 * 1024;

    // machine: the lines are MLSD facts, not "ls -l" lines.
    ListTransfer(QTcpSocket *socket, ListingDelivery &delivery, bool machine, QObject *parent = nullptr);
    ~ListTransfer() override;

    void abort();
    bool ended() const { return ended_; }
    // The host closed the data connection normally (not a reset, not aborted by us).
    bool closedNormally() const { return closedNormally_; }
    qint64 entryCount() const { return entries_; }
    // Lines that held more than a line end, entries or not.
    qint64 lineCount() const { return lines_; }

signals:
    void finished();

private:
    void receive();
    void takeLines();
    void handleLine(QByteArrayView line);
    void socketClosed(bool normally);

    QTcpSocket *socket_;
    ListingDelivery &delivery_;
    bool machine_;
    QByteArray lineBuffer_;
    qsizetype scanFrom_ = 0;
    bool skippingLongLine_ = false;
    bool ended_ = false;
    bool closedNormally_ = false;
    qint64 entries_ = 0;
    qint64 lines_ = 0;
    QDate today_;
    std::unique_ptr<char[]> chunk_;
};
