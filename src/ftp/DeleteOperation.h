#pragma once

#include "ftp/ConnectionOperation.h"

#include <QCoreApplication>

class DeleteDriver;

// Deletes the record's entries one at a time, last first: CWD to the entry's directory, then
// DELE for a file or RMD for a directory. A failed entry is reported and the next one follows.
class DeleteOperation : public ConnectionOperation
{
    Q_DECLARE_TR_FUNCTIONS(DeleteOperation)
public:
    DeleteOperation(Connection *connection, DeleteDriver *driver);

    Outcome start() override;
    Outcome handleReply(int code, const QString &line) override;
    OperationDriver *driver() const override;
    void abandon(const QString &reason) override;

private:
    enum class Step { AwaitCwd, AwaitRemove };

    // Sends the CWD of the next entry that can be sent; Done when none is left or when cancelled.
    Outcome nextEntry();
    Outcome handleCwdReply(int code, const QString &line);
    Outcome handleRemoveReply(int code, const QString &line);

    DeleteDriver *driver_;
    Step step_ = Step::AwaitCwd;
    bool directory_ = false;
    QString name_;   // the entry's name as DELE or RMD sends it
    QString parent_; // its directory: absolute, ends in "/"
};
