#include "dialogs/CreateDirectoryDialog.h"

#include "dialogs/Controls.h"
#include "pool/ConnectionManager.h"
#include "pool/OperationRecord.h"

#include <QFormLayout>
#include <QLineEdit>

namespace {
QFormLayout *fieldsOf(const MakeDirRecord &record)
{
    auto *form = new QFormLayout;
    form->addRow(QObject::tr("Creating Directory:"),
                 Controls::readOnlyEdit(CreateDirectoryDialog::IdPath, Controls::shown(record.path())));
    return form;
}
} // namespace

CreateDirectoryDialog *CreateDirectoryDialog::start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                                    const QString &path)
{
    auto *dialog = new CreateDirectoryDialog(parent, new MakeDirRecord(host, path));
    dialog->show();
    dialog->setQueued(pool.RequestMakeDirectory(host, dialog->record_));
    return dialog;
}

CreateDirectoryDialog::CreateDirectoryDialog(QWidget *parent, MakeDirRecord *record)
    : OperationRecordDialog(parent, record, tr("Creating Directory"), fieldsOf(*record), IdStatus, tr("Cancel")),
      record_(record)
{
}
