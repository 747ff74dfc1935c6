#pragma once

#include <QString>

#include <functional>

class NotificationSender;

// Tells the desktop that long work has ended while the user is elsewhere: a transfer or a local
// copy that took more than ten seconds, ended while none of the program's windows is active.
class FinishedWorkNotice
{
public:
    static constexpr qint64 MinimumMs = 10000;

    // windowActive tells whether one of the program's windows is the active one now.
    FinishedWorkNotice(NotificationSender &sender, std::function<bool()> windowActive);

    // Sends the notification when it is worth it; tells whether it was sent.
    bool workEnded(const QString &summary, const QString &body, qint64 elapsedMs);

private:
    NotificationSender &sender_;
    std::function<bool()> windowActive_;
};
