#pragma once

#include "ftp/ConnectionOperation.h"

#include <QCoreApplication>

class RenameDriver;

// Renames one entry: CWD to its directory, RNFR with the old name, RNTO with the new one.
class RenameOperation : public ConnectionOperation
{
    Q_DECLARE_TR_FUNCTIONS(RenameOperation)
public:
    RenameOperation(Connection *connection, RenameDriver *driver);

    Outcome start() override;
    Outcome handleReply(int code, const QString &line) override;
    OperationDriver *driver() const override;
    void abandon(const QString &reason) override;

private:
    enum class Step { AwaitCwd, AwaitRnfr, AwaitRnto };

    Outcome handleCwdReply(int code, const QString &line);
    Outcome handleRnfrReply(int code, const QString &line);
    Outcome handleRntoReply(int code, const QString &line);

    RenameDriver *driver_;
    Step step_ = Step::AwaitCwd;
};
