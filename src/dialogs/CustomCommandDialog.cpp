#include "dialogs/CustomCommandDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CustomCommandDialog::CustomCommandDialog(QWidget *parent) : CDialog(parent)
{
    setWindowTitle(tr("Custom Command"));
    auto *text = new QLabel(tr("Enter a Custom Command - You may enter more than one by separating each by a new line."));
    text->setWordWrap(true);
    edit_ = new QPlainTextEdit;
    edit_->setObjectName(QStringLiteral("ctl101"));
    edit_->setTabChangesFocus(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ctl1"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("&Cancel"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("ctl2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CustomCommandDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
}

QString CustomCommandDialog::typed() const
{
    return edit_->toPlainText().left(MaxLength);
}

// OK with nothing typed keeps the dialog open.
void CustomCommandDialog::accept()
{
    if (typed().trimmed().isEmpty())
        return;
    CDialog::accept();
}

QString CustomCommandDialog::commandText(const QString &directory, const QString &typed)
{
    if (directory.contains(QLatin1Char('\r')) || directory.contains(QLatin1Char('\n')))
        return QString();
    QString lines;
    for (QString line : typed.split(QLatin1Char('\n'))) {
        line.remove(QLatin1Char('\r'));
        if (!line.trimmed().isEmpty())
            lines += line + QLatin1String("\r\n");
    }
    if (lines.isEmpty())
        return QString();
    return QLatin1String("CWD ") + directory + QLatin1String("\r\n") + lines;
}
