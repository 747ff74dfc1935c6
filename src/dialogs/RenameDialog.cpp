#include "dialogs/RenameDialog.h"

#include "dialogs/Controls.h"
#include "pool/ConnectionManager.h"
#include "pool/OperationRecord.h"

#include <QFormLayout>
#include <QLineEdit>

using Controls::readOnlyEdit;
using Controls::shown;

namespace {
QFormLayout *fieldsOf(const RenameRecord &record)
{
    auto *form = new QFormLayout;
    form->addRow(QObject::tr("From:"), readOnlyEdit(RenameDialog::IdFrom, shown(record.oldName())));
    form->addRow(QObject::tr("To:"), readOnlyEdit(RenameDialog::IdTo, shown(record.newName())));
    form->addRow(QObject::tr("On Host:"), readOnlyEdit(RenameDialog::IdHost, shown(record.host())));
    form->addRow(QObject::tr("Path:"), readOnlyEdit(RenameDialog::IdPath, shown(record.directory())));
    return form;
}
} // namespace

RenameDialog *RenameDialog::start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                  const QString &directory, const QString &oldName, const QString &newName)
{
    auto *dialog = new RenameDialog(parent, new RenameRecord(host, directory, oldName, newName));
    dialog->show();
    dialog->setQueued(pool.RequestRename(host, dialog->record_));
    return dialog;
}

RenameDialog::RenameDialog(QWidget *parent, RenameRecord *record)
    : OperationRecordDialog(parent, record, tr("Renaming File"), fieldsOf(*record), IdStatus, tr("&Cancel")),
      record_(record)
{
}
