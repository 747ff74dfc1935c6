#pragma once

#include "ftp/ConnectionOperation.h"

#include <QCoreApplication>

// The user's own command lines, sent at once (the first a CWD). Every final reply answers one of
// them, whatever its code; the replies after the first are shown, one box each.
class CustomCommandsOperation : public ConnectionOperation
{
    Q_DECLARE_TR_FUNCTIONS(CustomCommandsOperation)
public:
    // The text is one or more lines, each ending "\r\n".
    CustomCommandsOperation(Connection *connection, const QString &text);

    Outcome start() override;
    Outcome handleReply(int code, const QString &line) override;
    OperationDriver *driver() const override;
    void abandon(const QString &reason) override;
    bool takesEveryReply() const override;

private:
    QString text_;
    int lines_ = 0;
    int replies_ = 0;
};
