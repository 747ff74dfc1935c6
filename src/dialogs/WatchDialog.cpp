#include "dialogs/WatchDialog.h"

#include "ftp/Connection.h"
#include "pool/ConnectionManager.h"

#include <QListWidget>
#include <QVBoxLayout>

WatchDialog *WatchDialog::open(QWidget *parent, ConnectionManager &pool, const QString &host)
{
    Connection *connection = pool.Monitor(host);
    if (!connection)
        return nullptr;
    auto *window = dynamic_cast<WatchDialog *>(connection->monitor());
    if (!window)
        window = new WatchDialog(parent, connection, host);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

WatchDialog::WatchDialog(QWidget *parent, Connection *connection, const QString &host)
    : CDialog(parent), connection_(connection)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(tr("Monitoring %1").arg(host));
    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("ctl101"));
    list_->setUniformItemSizes(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    resize(560, 320);
    connection->setMonitor(this);
}

WatchDialog::~WatchDialog()
{
    // The connection must not report to a window that is gone.
    if (connection_ && connection_->monitor() == this)
        connection_->setMonitor(nullptr);
}

QStringList WatchDialog::lines() const
{
    QStringList out;
    for (int i = 0; i < list_->count(); ++i)
        out << list_->item(i)->text();
    return out;
}

void WatchDialog::ShowReceived(const QString &line)
{
    addLine(QStringLiteral("Received > ") + line);
}

void WatchDialog::ShowSent(const QString &line)
{
    addLine(QStringLiteral("Sent > ") + line);
}

// The connection's own words (the session's encryption), told apart from the host's.
void WatchDialog::ShowNote(const QString &line)
{
    addLine(QStringLiteral("Session > ") + line);
}

void WatchDialog::addLine(const QString &line)
{
    list_->addItem(line);
    while (list_->count() > MaxLines)
        delete list_->takeItem(0);
    list_->scrollToBottom();
}

// The connection closes or goes: so does its window.
void WatchDialog::monitorDetached()
{
    connection_ = nullptr;
    close();
}
