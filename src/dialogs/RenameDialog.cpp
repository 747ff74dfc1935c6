#include "dialogs/RenameDialog.h"

#include "dialogs/Controls.h"
#include "pool/ConnectionManager.h"
#include "pool/OperationRecord.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;
using Controls::readOnlyEdit;
using Controls::shown;

RenameDialog *RenameDialog::start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                  const QString &directory, const QString &oldName, const QString &newName)
{
    auto *dialog = new RenameDialog(parent, new RenameRecord(host, directory, oldName, newName));
    dialog->show();
    dialog->queued_ = pool.RequestRename(host, dialog->record_);
    return dialog;
}

RenameDialog::RenameDialog(QWidget *parent, RenameRecord *record) : CDialog(parent, false), record_(record)
{
    record_->setParent(this);
    setModal(false);
    setWindowTitle(tr("Renaming File"));
    auto *form = new QFormLayout;
    form->addRow(tr("From:"), readOnlyEdit(IdFrom, shown(record_->oldName())));
    form->addRow(tr("To:"), readOnlyEdit(IdTo, shown(record_->newName())));
    form->addRow(tr("On Host:"), readOnlyEdit(IdHost, shown(record_->host())));
    form->addRow(tr("Path:"), readOnlyEdit(IdPath, shown(record_->directory())));
    status_ = named(new QLabel(shown(record_->status())), IdStatus);
    auto *cancel = named(new QPushButton(tr("&Cancel")), 2);
    connect(cancel, &QPushButton::clicked, this, &RenameDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(cancel, 0, Qt::AlignRight);

    connect(record_, &OperationRecord::changed, this, [this] { status_->setText(shown(record_->status())); });
    connect(record_, &OperationRecord::ended, this, &RenameDialog::recordEnded);
}

// A record no connection holds goes at once; a queued one waits, hidden, for its connection to
// drop it.
void RenameDialog::reject()
{
    record_->cancel();
    hide();
    if (!queued_ && !record_->finished())
        deleteLater();
}

void RenameDialog::recordEnded()
{
    hide();
    deleteLater();
}
