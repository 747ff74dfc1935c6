#include "dialogs/FailureListDialog.h"

#include "dialogs/Controls.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;

FailureListDialog *FailureListDialog::open(QWidget *parent, const QString &caption, const QString &text,
                                           const QStringList &failures)
{
    if (failures.isEmpty())
        return nullptr;
    auto *dialog = new FailureListDialog(parent, caption, text, failures);
    dialog->show();
    return dialog;
}

FailureListDialog::FailureListDialog(QWidget *parent, const QString &caption, const QString &text,
                                     const QStringList &failures)
    : CDialog(parent, true), failures_(failures)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(caption);
    auto *label = named(new QLabel(text), IdText);
    label->setWordWrap(true);
    auto *list = named(new QListWidget, IdList);
    for (const QString &failure : failures)
        list->addItem(Controls::shown(failure));
    auto *ok = named(new QPushButton(tr("OK")), 1);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &FailureListDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list);
    layout->addWidget(ok, 0, Qt::AlignRight);
    resize(520, 260);
}
