#pragma once

#include "dialogs/CDialog.h"

#include <QPointer>

class ConnectionManager;

// "Directory Structure Build": asks which connection lists and caches the whole tree below the
// pane's folder, then starts the build and goes. Modeless; it deletes itself when closed.
class BuildTypeDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdThisConnection = 101, IdNewConnection = 102, IdCancel = 2 };

    static BuildTypeDialog *open(QWidget *parent, ConnectionManager &pool, const QString &host, const QString &path);

private:
    BuildTypeDialog(QWidget *parent, ConnectionManager &pool, const QString &host, const QString &path);
    void start(bool newConnection);

    QPointer<ConnectionManager> pool_;
    QString host_;
    QString path_;
};
