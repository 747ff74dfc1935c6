#pragma once

#include "dialogs/CDialog.h"

#include <QStringList>

class ConnectionManager;
class DeleteList;
class QLabel;
class QLineEdit;
class QListWidget;
class RedrawTimer;

// "Deleting Files": the window of one deletion on a host, over the list record it owns: the paths
// still to delete ("DIR: " for directories), the current file and the connection's status line.
// "Cancel" or closing the window stops the deletion at its next entry; the window hides and goes
// when the connection lets go of the list. What the host refused is shown at the end.
class DeleteDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdList = 101, IdCurrentFile = 103, IdStatus = 104 };

    // Shows the window and queues the lines (worked from the end) on the host's browse connection
    // (kind 0) or a new one (kind 1). directory is where the delete started: its cached listing is
    // forgotten after each entry deleted.
    static DeleteDialog *start(QWidget *parent, ConnectionManager &pool, const QString &host,
                               const QString &directory, const QStringList &lines, int kind);

    DeleteList &list() { return *list_; }

public slots:
    void reject() override;

private:
    DeleteDialog(QWidget *parent, const QString &host, const QString &cacheFile);
    void redraw();
    void listEnded();

    DeleteList *list_;
    RedrawTimer *redrawTimer_;
    QListWidget *lines_;
    QLineEdit *currentFile_;
    QLabel *status_;
    bool ended_ = false;
};
