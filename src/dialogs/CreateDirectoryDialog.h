#pragma once

#include "dialogs/OperationRecordDialog.h"

class ConnectionManager;
class MakeDirRecord;

// "Creating Directory": one directory creation on a host, with the new directory's path. Without
// a connection it stays, waiting, until the user cancels it.
class CreateDirectoryDialog : public OperationRecordDialog
{
    Q_OBJECT
public:
    enum ControlId { IdPath = 101, IdStatus = 102 };

    // Shows the window and queues the creation of path (absolute) on the host's browse connection.
    static CreateDirectoryDialog *start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                        const QString &path);

    MakeDirRecord &record() { return *record_; }

private:
    CreateDirectoryDialog(QWidget *parent, MakeDirRecord *record);

    MakeDirRecord *record_;
};
