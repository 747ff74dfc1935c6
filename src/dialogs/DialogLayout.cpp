#include "dialogs/DialogLayout.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

void DialogLayout::build(QDialog *dialog, const QString &text, QWidget *input, const QString &okText,
                         const QString &cancelText)
{
    auto *label = new QLabel(text, dialog);
    label->setWordWrap(true);
    label->setBuddy(input);

    auto *buttons = new QDialogButtonBox(dialog);
    QPushButton *ok = buttons->addButton(okText, QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ctl1"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(cancelText, QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ctl2"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(label);
    layout->addWidget(input);
    layout->addWidget(buttons);
    dialog->setSizeGripEnabled(false);
    // The buttons were made children first: the input comes first all the same, with the focus.
    QWidget::setTabOrder(input, ok);
    QWidget::setTabOrder(ok, cancel);
    input->setFocus();
}
