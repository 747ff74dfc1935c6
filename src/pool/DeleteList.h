#pragma once

#include "ftp/OperationDrivers.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The record of one deletion on a host: the paths still to delete, one a line, directories as
// "DIR: " plus the path. Lines are taken from the end, so the contents a tree walk gathered after
// a directory's line go before that directory. A connection works from it through DeleteDriver;
// the progress dialog and the command-line front end show it through the getters and changed().
class DeleteList : public QObject, public DeleteDriver
{
    Q_OBJECT
public:
    DeleteList(const QString &host, const QString &cacheFilePath, QObject *parent = nullptr);

    // Appends a path ("DIR: " + path for a directory); empty lines are ignored.
    void addLine(const QString &line);
    // The connection stops at the next entry.
    void cancel();

    // The listing the delete started from, whose items go as their entries are deleted.
    void setListingId(qint64 id) { listingId_ = id; }
    qint64 listingId() const { return listingId_; }

    // DeleteDriver
    void setStatus(const QString &text) override;
    void operationEnded() override;
    bool cancelled() const override { return cancelled_; }
    bool NextEntry(QString &path, bool &directory) override;
    QString host() const override { return host_; }
    QString currentName() const override { return currentName_; }
    QString cacheFilePath() const override { return cacheFilePath_; }
    void entryEnded(bool deleted, const QString &reason) override;

    QStringList remainingLines() const { return lines_; }
    QString currentPath() const { return currentPath_; }
    QString status() const { return status_; }

    // Outcomes, for the command-line front end's exit status.
    int entriesDeleted() const { return deleted_; }
    int entriesFailed() const { return failed_; }
    QStringList failures() const { return failures_; } // "path: reason"

signals:
    void changed();
    void entryFinished(const QString &path, bool deleted, const QString &reason);
    void ended();

private:
    QString host_;
    QString cacheFilePath_;
    qint64 listingId_ = -1;
    QStringList lines_;
    bool cancelled_ = false;
    bool resultPending_ = false;
    QString currentPath_;
    QString currentName_;
    QString status_;
    int deleted_ = 0;
    int failed_ = 0;
    QStringList failures_;
};
