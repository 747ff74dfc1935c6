#include "dialogs/DirectoryNameDialog.h"

#include "dialogs/Controls.h"
#include "dialogs/DialogLayout.h"
#include "ftp/RemoteName.h"
#include "platform/Prompt.h"

#include <QLabel>
#include <QLineEdit>

DirectoryNameDialog::DirectoryNameDialog(QWidget *parent, const QString &path, Prompt &prompt)
    : CDialog(parent), prompt_(prompt)
{
    setWindowTitle(tr("Create New Directory"));
    name_ = Controls::named(new QLineEdit, IdName);
    name_->setMaxLength(MaxLength);
    name_->setMinimumWidth(420); // most paths fit on the line above without a break
    QString folder = path;
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    DialogLayout::build(this, tr("Enter directory name to create in directory: %1.").arg(Controls::shown(folder)),
                        name_, tr("&OK"), tr("&Cancel"));
    if (auto *text = findChild<QLabel *>())
        text->setObjectName(QStringLiteral("ctl%1").arg(IdText));
}

QString DirectoryNameDialog::name() const
{
    return name_->text();
}

void DirectoryNameDialog::accept()
{
    if (name().isEmpty())
        return;
    if (!isAcceptableRemoteName(name())) {
        prompt_.message(tr("\"%1\" cannot be the name of a directory: a name holds no \"/\", \"\\\" or control character, and "
                           "is not \".\" or \"..\".")
                            .arg(Controls::shown(name())),
                        tr("Create New Directory"), Prompt::Icon::Warning);
        name_->setFocus();
        return;
    }
    CDialog::accept();
}
