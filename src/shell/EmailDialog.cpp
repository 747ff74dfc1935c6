#include "shell/EmailDialog.h"

#include "platform/Prompt.h"
#include "settings/AppValues.h"
#include "dialogs/DialogLayout.h"

#include <QLineEdit>

EmailDialog::EmailDialog(Prompt &prompt, QWidget *parent) : CDialog(parent), prompt_(prompt)
{
    setWindowTitle(QStringLiteral("Change EMail Address"));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("ctl101"));
    edit_->setMaxLength(999);
    edit_->setText(AppValue(QStringLiteral("EMail"), 1000));
    edit_->setMinimumWidth(320);
    DialogLayout::build(this,
                        QStringLiteral("Please enter the Email address you wish to have sent for anonymous logins."),
                        edit_, QStringLiteral("&OK"), QStringLiteral("&Cancel"));
}

void EmailDialog::accept()
{
    const QString address = edit_->text();
    if (address.isEmpty()) {
        prompt_.message(QStringLiteral("You must enter an EMail address or anonymous logins will not work."),
                        QStringLiteral("Error"), Prompt::Icon::Warning);
        return;
    }
    // The address goes out as the PASS line of anonymous logins: a line break in it would let
    // it end that command and start another.
    if (address.contains(QLatin1Char('\r')) || address.contains(QLatin1Char('\n'))) {
        prompt_.message(QStringLiteral("The EMail address may not contain a line break."), QStringLiteral("Error"),
                        Prompt::Icon::Warning);
        return;
    }
    if (!SetAppValue(QStringLiteral("EMail"), address)) {
        prompt_.message(QStringLiteral("The EMail address could not be saved in the settings."),
                        QStringLiteral("Error"), Prompt::Icon::Warning);
        return;
    }
    CDialog::accept();
}
