#pragma once

#include "dialogs/CDialog.h"

class ConnectionManager;
class MakeDirRecord;
class QLabel;

// "Creating Directory": the window of one directory creation on a host, over the record it owns:
// the new directory's path and the connection's status line. Without a connection it stays,
// waiting, until the user cancels it. "Cancel" or closing the window drops the creation if the
// connection has not reached it yet; the window goes when the connection lets go of the record.
class CreateDirectoryDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdPath = 101, IdStatus = 102 };

    // Shows the window and queues the creation of path (absolute) on the host's browse connection.
    static CreateDirectoryDialog *start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                        const QString &path);

    MakeDirRecord &record() { return *record_; }

public slots:
    void reject() override;

private:
    CreateDirectoryDialog(QWidget *parent, MakeDirRecord *record);
    void recordEnded();

    MakeDirRecord *record_;
    QLabel *status_;
    bool queued_ = false;
};
