#include "dialogs/HostFolderDialog.h"

#include "dialogs/Controls.h"
#include "dialogs/DialogLayout.h"

#include <QLineEdit>

HostFolderDialog::HostFolderDialog(QWidget *parent) : CDialog(parent, false)
{
    setWindowTitle(tr("Create New Host Folder"));
    name_ = Controls::named(new QLineEdit, IdName);
    name_->setMaxLength(MaxLength);
    name_->setMinimumWidth(300);
    DialogLayout::build(this, tr("Please enter the name for the new host folder"), name_, tr("OK"), tr("Cancel"));
}

QString HostFolderDialog::name() const
{
    return name_->text();
}
