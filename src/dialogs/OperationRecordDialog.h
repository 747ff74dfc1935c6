#pragma once

#include "dialogs/CDialog.h"

class OperationRecord;
class QFormLayout;
class QLabel;

// The window of a one-step operation on a host (a rename, a directory creation) over the record it
// owns: the caller's fields, the connection's status line and a cancel button. Cancelling, or
// closing the window, drops the operation if the connection has not reached it yet (it is then
// never sent); the window goes when the connection lets go of the record, or at once when no
// connection ever held it.
class OperationRecordDialog : public CDialog
{
    Q_OBJECT
public:
    // The record was handed to a connection (the pool found one for the host).
    void setQueued(bool queued) { queued_ = queued; }

public slots:
    void reject() override;

protected:
    OperationRecordDialog(QWidget *parent, OperationRecord *record, const QString &title, QFormLayout *fields,
                          int statusId, const QString &cancelText);

private:
    void recordEnded();

    OperationRecord *record_;
    QLabel *status_;
    bool queued_ = false;
};
