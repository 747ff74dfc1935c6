#include "dialogs/OperationRecordDialog.h"

#include "dialogs/Controls.h"
#include "pool/OperationRecord.h"

#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;
using Controls::shown;

OperationRecordDialog::OperationRecordDialog(QWidget *parent, OperationRecord *record, const QString &title,
                                             QFormLayout *fields, int statusId, const QString &cancelText)
    : CDialog(parent, false), record_(record)
{
    record_->setParent(this);
    setModal(false);
    setWindowTitle(title);
    status_ = named(new QLabel(shown(record_->status())), statusId);
    auto *cancel = named(new QPushButton(cancelText), 2);
    connect(cancel, &QPushButton::clicked, this, &OperationRecordDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(status_);
    layout->addWidget(cancel, 0, Qt::AlignRight);

    connect(record_, &OperationRecord::changed, this, [this] { status_->setText(shown(record_->status())); });
    connect(record_, &OperationRecord::ended, this, &OperationRecordDialog::recordEnded);
}

// A record no connection holds goes at once; a queued one waits, hidden, for its connection to
// drop it.
void OperationRecordDialog::reject()
{
    record_->cancel();
    hide();
    if (!queued_ && !record_->finished())
        deleteLater();
}

void OperationRecordDialog::recordEnded()
{
    hide();
    deleteLater();
}
