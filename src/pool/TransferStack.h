#pragma once

#include "ftp/OperationDrivers.h"
#include "pool/TransferStackLine.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// The record of one transfer between a host and the local disk: the stack of file lines still to
// move, the progress of the current file and of the whole stack, and the outcome of each file.
// A connection works from it through TransferDriver; the progress dialog and the command-line
// front end show it through the getters and changed().
class TransferStack : public QObject, public TransferDriver
{
    Q_OBJECT
public:
    // The clock in whole seconds.
    using Clock = std::function<qint64()>;
    // Turns a local path as written in the stack into the path the file system is given.
    using LocalPathMapper = std::function<QString(const QString &)>;

    explicit TransferStack(QObject *parent = nullptr);

    void setClock(Clock clock);
    void setLocalPathMapper(LocalPathMapper mapper);

    // Appends a line to the stack and its size to the stack's total; empty lines are ignored.
    void addEntry(const QString &line);

    // TransferDriver
    void setStatus(const QString &text) override;
    void operationEnded() override;
    void setConnection(Connection *connection) override;
    bool NextFile(TransferFile &file) override;
    bool hasMoreFiles() const override;
    void RequestSent() override;
    void BytesTransferred(qint64 count) override;
    void fileEnded(bool complete, const QString &reason) override;

    // What the record shows.
    QStringList remainingLines() const { return lines_; }
    bool started() const { return started_; }
    Connection *connection() const { return connection_; }
    bool direction() const { return direction_; } // true for a download
    bool lastTaken() const { return lastTaken_; }  // the current file was the stack's last line
    QString currentFile() const { return currentFile_; }
    QString currentRemotePath() const { return current_.remotePath; }
    QString sizeText() const { return current_.sizeText; }
    int filePercent() const { return filePercent_; }
    QString fileRemaining() const { return fileRemaining_; }
    QString stackRemaining() const { return stackRemaining_; }
    QString status() const { return status_; }

    qint64 totalBytes() const { return totalBytes_; }
    qint64 totalDone() const { return totalDone_; }
    qint64 fileSize() const { return fileSize_; }
    qint64 fileDone() const { return fileDone_; }

    // Outcomes, for the command-line front end's exit status.
    int filesCompleted() const { return filesCompleted_; }
    int filesFailed() const { return filesFailed_; }
    QStringList failures() const { return failures_; } // "remote path: reason"

signals:
    void changed();
    void fileFinished(const QString &remotePath, bool complete, const QString &reason);
    void ended();

private:
    void settleFinishedFile();
    void takeEntry(const TransferStackLine &entry, TransferFile &file);
    void recordResult(const QString &remotePath, bool complete, const QString &reason);
    void updateDisplay();

    Clock clock_;
    LocalPathMapper mapLocalPath_;
    QStringList lines_;
    Connection *connection_ = nullptr;
    bool started_ = false;
    bool direction_ = true;
    bool lastTaken_ = false;
    bool resultPending_ = false;
    TransferStackLine current_;
    QString currentFile_;
    int filePercent_ = 0;
    QString fileRemaining_;
    QString stackRemaining_;
    QString status_;

    qint64 totalBytes_ = 0;
    qint64 totalDone_ = 0;
    qint64 fileSize_ = 0;
    qint64 fileDone_ = 0;
    qint64 fileStart_ = 0;
    qint64 stackStart_ = 0;
    bool stackTimed_ = false;
    int updateCount_ = 0;

    int filesCompleted_ = 0;
    int filesFailed_ = 0;
    QStringList failures_;
};
