#pragma once

#include <QString>

// Where desktop notifications go: the session bus in the program, a recorder in tests.
class NotificationSender
{
public:
    virtual ~NotificationSender() = default;
    // Shows summary and body on the desktop, or nothing at all; never waits, never complains.
    virtual void send(const QString &summary, const QString &body) = 0;
};
