#pragma once

#include "dialogs/OperationRecordDialog.h"

class ConnectionManager;
class RenameRecord;

// "Renaming File": one rename on a host, with from, to, host and path.
class RenameDialog : public OperationRecordDialog
{
    Q_OBJECT
public:
    enum ControlId { IdFrom = 101, IdTo = 102, IdHost = 103, IdPath = 104, IdStatus = 105 };

    // Shows the window and queues the rename of oldName to newName in directory (absolute, ending
    // in "/") on the host's browse connection.
    static RenameDialog *start(QWidget *parent, ConnectionManager &pool, const QString &host,
                               const QString &directory, const QString &oldName, const QString &newName);

    RenameRecord &record() { return *record_; }

private:
    RenameDialog(QWidget *parent, RenameRecord *record);

    RenameRecord *record_;
};
