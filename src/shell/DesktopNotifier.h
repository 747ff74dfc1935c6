#pragma once

#include "shell/NotificationSender.h"

// Desktop notifications through the freedesktop Notifications service
// (org.freedesktop.Notifications Notify) on the session bus. The bus is reached once, at the
// first notification; without a session bus, or without the service on it, nothing is shown and
// nothing is said. A call is sent without waiting for its answer.
class DesktopNotifier : public NotificationSender
{
public:
    // busAddress: the bus to use ("unix:path=..."); empty: the session bus of the environment.
    explicit DesktopNotifier(const QString &busAddress = QString());
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier &) = delete;
    DesktopNotifier &operator=(const DesktopNotifier &) = delete;

    void send(const QString &summary, const QString &body) override;

    // The environment's session bus: DBUS_SESSION_BUS_ADDRESS, else the socket
    // $XDG_RUNTIME_DIR/bus when it exists; empty when there is none to reach. An address that
    // would start a bus ("autolaunch:") counts as none.
    static QString sessionBusAddress();

private:
    bool connected();

    QString address_;
    QString connectionName_;
    bool tried_ = false;
    bool connected_ = false;
};
