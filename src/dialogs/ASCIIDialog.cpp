#include "dialogs/ASCIIDialog.h"

#include "dialogs/Controls.h"
#include "settings/AsciiExtensions.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;

ASCIIDialog::ASCIIDialog(QWidget *parent) : CDialog(parent)
{
    setWindowTitle(tr("ASCII Extensions"));
    entry_ = named(new QLineEdit, IdEntry);
    entry_->setMaxLength(MaxEntry);
    auto *label = new QLabel(tr("&Enter Extension:"));
    label->setBuddy(entry_);
    auto *addButton = named(new QPushButton(tr("&Add")), IdAdd);
    list_ = named(new QListWidget, IdList);
    for (const QString &extension : AsciiExtensions())
        insertSorted(extension);
    auto *removeButton = named(new QPushButton(tr("&Remove Selection")), IdRemove);
    auto *done = named(new QPushButton(tr("&Done")), IdDone);
    // Return adds what is typed; Done and Escape close.
    addButton->setDefault(true);
    removeButton->setAutoDefault(false);
    done->setAutoDefault(false);

    auto *layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(entry_, 0, 1);
    layout->addWidget(addButton, 0, 2);
    layout->addWidget(list_, 1, 0, 1, 2);
    auto *side = new QVBoxLayout;
    side->addWidget(removeButton);
    side->addStretch();
    side->addWidget(done);
    layout->addLayout(side, 1, 2);

    connect(addButton, &QPushButton::clicked, this, &ASCIIDialog::add);
    connect(removeButton, &QPushButton::clicked, this, &ASCIIDialog::removeSelection);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    entry_->setFocus();
}

QStringList ASCIIDialog::shownExtensions() const
{
    QStringList names;
    for (int row = 0; row < list_->count(); ++row)
        names << list_->item(row)->text();
    return names;
}

void ASCIIDialog::add()
{
    const QString added = AddAsciiExtension(entry_->text());
    entry_->setFocus();
    if (added.isEmpty())
        return; // nothing to add, or it could not be stored: the text stays
    entry_->clear();
    if (list_->findItems(added, Qt::MatchFixedString).isEmpty())
        insertSorted(added);
}

// The list reads in alphabetical order whatever the case of the letters.
void ASCIIDialog::insertSorted(const QString &extension)
{
    int row = 0;
    while (row < list_->count() && list_->item(row)->text().compare(extension, Qt::CaseInsensitive) < 0)
        ++row;
    list_->insertItem(row, extension);
}

void ASCIIDialog::removeSelection()
{
    QListWidgetItem *item = list_->currentItem();
    if (!item || !item->isSelected())
        return;
    if (RemoveAsciiExtension(item->text()))
        delete item;
}
