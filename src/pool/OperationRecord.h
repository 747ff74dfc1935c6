#pragma once

#include "ftp/OperationDrivers.h"

#include <QObject>

// The records of the one-step operations on a host: a rename and a directory creation. The
// dialogs show them; the command-line front end waits on them.
class OperationRecord : public QObject
{
    Q_OBJECT
public:
    explicit OperationRecord(const QString &host, QObject *parent = nullptr);

    QString host() const { return host_; }
    QString status() const { return status_; }
    bool cancelled() const { return cancelled_; }
    void cancel() { cancelled_ = true; }
    bool done() const { return done_; }       // the host carried it out
    bool finished() const { return finished_; } // the connection let go of it
    QString failure() const { return failure_; }

signals:
    void changed();
    void ended();

protected:
    void setStatusText(const QString &text);
    void record(bool done, const QString &reason);
    void end();

private:
    QString host_;
    QString status_;
    QString failure_;
    bool cancelled_ = false;
    bool done_ = false;
    bool finished_ = false;
};

class RenameRecord : public OperationRecord, public RenameDriver
{
    Q_OBJECT
public:
    RenameRecord(const QString &host, const QString &directory, const QString &oldName, const QString &newName,
                 QObject *parent = nullptr);

    bool cancelled() const override { return OperationRecord::cancelled(); }
    QString directory() const override { return directory_; }
    QString oldName() const override { return oldName_; }
    QString newName() const override { return newName_; }
    QString host() const override { return OperationRecord::host(); }
    void renameEnded(bool done, const QString &reason) override { record(done, reason); }
    void setStatus(const QString &text) override { setStatusText(text); }
    void operationEnded() override { end(); }

private:
    QString directory_, oldName_, newName_;
};

class MakeDirRecord : public OperationRecord, public MakeDirDriver
{
    Q_OBJECT
public:
    MakeDirRecord(const QString &host, const QString &path, QObject *parent = nullptr);

    bool cancelled() const override { return OperationRecord::cancelled(); }
    QString path() const override { return path_; }
    QString host() const override { return OperationRecord::host(); }
    void makeDirEnded(bool done, const QString &reason) override { record(done, reason); }
    void setStatus(const QString &text) override { setStatusText(text); }
    void operationEnded() override { end(); }

private:
    QString path_;
};
