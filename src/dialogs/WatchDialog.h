#pragma once

#include "dialogs/CDialog.h"
#include "ftp/SessionMonitor.h"

#include <QPointer>

class Connection;
class ConnectionManager;
class QListWidget;

// "Monitoring HOST": the last lines one connection sent and received, and what it noted of the
// session ("Session > Encrypted with …"). Modeless; one per connection. It goes when the user
// closes it or when the connection lets go of it.
class WatchDialog : public CDialog, public SessionMonitor
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 50;

    // The window of the host's browse connection, made or brought to the front; nullptr when the
    // host has no connection to be had.
    static WatchDialog *open(QWidget *parent, ConnectionManager &pool, const QString &host);

    ~WatchDialog() override;

    QStringList lines() const;

    // SessionMonitor
    void ShowReceived(const QString &line) override;
    void ShowSent(const QString &line) override;
    void ShowNote(const QString &line) override;
    void monitorDetached() override;

private:
    WatchDialog(QWidget *parent, Connection *connection, const QString &host);
    void addLine(const QString &line);

    QPointer<Connection> connection_;
    QListWidget *list_;
};
