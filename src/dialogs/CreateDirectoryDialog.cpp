#include "dialogs/CreateDirectoryDialog.h"

#include "dialogs/Controls.h"
#include "pool/ConnectionManager.h"
#include "pool/OperationRecord.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;
using Controls::shown;

CreateDirectoryDialog *CreateDirectoryDialog::start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                                    const QString &path)
{
    auto *dialog = new CreateDirectoryDialog(parent, new MakeDirRecord(host, path));
    dialog->show();
    dialog->queued_ = pool.RequestMakeDirectory(host, dialog->record_);
    return dialog;
}

CreateDirectoryDialog::CreateDirectoryDialog(QWidget *parent, MakeDirRecord *record)
    : CDialog(parent, false), record_(record)
{
    record_->setParent(this);
    setModal(false);
    setWindowTitle(tr("Creating Directory"));
    auto *form = new QFormLayout;
    form->addRow(tr("Creating Directory:"), Controls::readOnlyEdit(IdPath, shown(record_->path())));
    status_ = named(new QLabel(shown(record_->status())), IdStatus);
    auto *cancel = named(new QPushButton(tr("Cancel")), 2);
    connect(cancel, &QPushButton::clicked, this, &CreateDirectoryDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(cancel, 0, Qt::AlignRight);

    connect(record_, &OperationRecord::changed, this, [this] { status_->setText(shown(record_->status())); });
    connect(record_, &OperationRecord::ended, this, &CreateDirectoryDialog::recordEnded);
}

// A record no connection holds goes at once; a queued one waits, hidden, for its connection to
// drop it.
void CreateDirectoryDialog::reject()
{
    record_->cancel();
    hide();
    if (!queued_ && !record_->finished())
        deleteLater();
}

void CreateDirectoryDialog::recordEnded()
{
    hide();
    deleteLater();
}
