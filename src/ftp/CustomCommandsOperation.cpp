#include "ftp/CustomCommandsOperation.h"

CustomCommandsOperation::CustomCommandsOperation(Connection *connection, const QString &text)
    : ConnectionOperation(connection)
    , text_(text)
{
}

OperationDriver *CustomCommandsOperation::driver() const
{
    return nullptr; // no record: the replies go to boxes
}

void CustomCommandsOperation::abandon(const QString &)
{
}

bool CustomCommandsOperation::takesEveryReply() const
{
    return true;
}

ConnectionOperation::Outcome CustomCommandsOperation::start()
{
    lines_ = int(text_.mid(1).count(QLatin1Char('\n')));
    replies_ = 0;
    clearReplyText();
    sendLines(text_);
    return lines_ == 0 ? Outcome::Done : Outcome::GoOn;
}

ConnectionOperation::Outcome CustomCommandsOperation::handleReply(int, const QString &line)
{
    ++replies_;
    // The first reply answers the CWD.
    if (replies_ > 1 && !inform(replyText() + line, tr("Custom Command %1 Completed").arg(replies_ - 1)))
        return Outcome::Gone;
    return replies_ >= lines_ ? Outcome::Done : Outcome::GoOn;
}
