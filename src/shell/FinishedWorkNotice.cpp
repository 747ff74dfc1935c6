#include "shell/FinishedWorkNotice.h"

#include "shell/NotificationSender.h"

FinishedWorkNotice::FinishedWorkNotice(NotificationSender &sender, std::function<bool()> windowActive)
    : sender_(sender)
    , windowActive_(std::move(windowActive))
{
}

bool FinishedWorkNotice::workEnded(const QString &summary, const QString &body, qint64 elapsedMs)
{
    if (elapsedMs <= MinimumMs || windowActive_())
        return false;
    sender_.send(summary, body);
    return true;
}
