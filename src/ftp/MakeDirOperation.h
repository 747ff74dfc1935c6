#pragma once

#include "ftp/ConnectionOperation.h"

#include <QCoreApplication>

class MakeDirDriver;

// Creates one directory: CWD to its parent, then MKD with its name.
class MakeDirOperation : public ConnectionOperation
{
    Q_DECLARE_TR_FUNCTIONS(MakeDirOperation)
public:
    MakeDirOperation(Connection *connection, MakeDirDriver *driver);

    Outcome start() override;
    Outcome handleReply(int code, const QString &line) override;
    OperationDriver *driver() const override;
    void abandon(const QString &reason) override;

private:
    enum class Step { AwaitCwd, AwaitMkd };

    Outcome handleCwdReply(int code, const QString &line);
    Outcome handleMkdReply(int code, const QString &line);

    MakeDirDriver *driver_;
    Step step_ = Step::AwaitCwd;
    QString parent_; // absolute, without a trailing "/"
    QString name_;
};
