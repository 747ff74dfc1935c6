#pragma once

#include "dialogs/CDialog.h"

class ConnectionManager;
class QLabel;
class RenameRecord;

// "Renaming File": the window of one rename on a host, over the record it owns: from, to, host and
// path, and the connection's status line. "&Cancel" or closing the window drops the rename if the
// connection has not reached it yet (it is then never sent); the window goes when the connection
// lets go of the record.
class RenameDialog : public CDialog
{
    Q_OBJECT
public:
    enum ControlId { IdFrom = 101, IdTo = 102, IdHost = 103, IdPath = 104, IdStatus = 105 };

    // Shows the window and queues the rename of oldName to newName in directory (absolute, ending
    // in "/") on the host's browse connection.
    static RenameDialog *start(QWidget *parent, ConnectionManager &pool, const QString &host,
                               const QString &directory, const QString &oldName, const QString &newName);

    RenameRecord &record() { return *record_; }

public slots:
    void reject() override;

private:
    RenameDialog(QWidget *parent, RenameRecord *record);
    void recordEnded();

    RenameRecord *record_;
    QLabel *status_;
    bool queued_ = false;
};
