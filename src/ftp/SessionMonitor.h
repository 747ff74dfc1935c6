#pragma once

#include <QString>

// Receives every line a connection sends and receives, already cleaned for display (the session
// monitor window, the CLI's -v). A sent PASS line arrives masked.
class SessionMonitor
{
public:
    virtual ~SessionMonitor() = default;
    virtual void ShowReceived(const QString &line) = 0;
    virtual void ShowSent(const QString &line) = 0;
    // What the connection itself has to say about the session (the TLS version and cipher).
    virtual void ShowNote(const QString &line) { ShowReceived(line); }
    // The connection lets go of its monitor (it closes or is destroyed); a window closes itself here.
    virtual void monitorDetached() {}
};
