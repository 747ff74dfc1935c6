#include "dialogs/SelectWild.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Controls carry their resource id in the object name, for tests and context help.
template<typename Control>
Control *named(Control *control, int id)
{
    control->setObjectName(QStringLiteral("ctl%1").arg(id));
    return control;
}

QCheckBox *checkBox(const QString &text, int id, bool checked)
{
    QCheckBox *box = named(new QCheckBox(text), id);
    box->setChecked(checked);
    return box;
}

} // namespace

SelectWild::SelectWild(QWidget *parent, const QString &filter, bool noWildcards, bool caseSensitive,
                       bool unselect)
    : CDialog(parent, true),
      filter_(filter),
      noWildcards_(noWildcards),
      caseSensitive_(caseSensitive),
      unselect_(unselect)
{
    setWindowTitle(QStringLiteral("Select Using Filter"));

    filterEdit_ = named(new QLineEdit, IdFilter);
    filterEdit_->setMaxLength(MaxFilterLength);
    filterEdit_->setText(filter);
    filterEdit_->selectAll();
    auto *prompt = new QLabel(QStringLiteral("Please enter &filter for selecting files."));
    prompt->setBuddy(filterEdit_);

    noWildcardsBox_ = checkBox(QStringLiteral("Don't &Expand Wildcards"), IdNoWildcards, noWildcards);
    caseSensitiveBox_ = checkBox(QStringLiteral("&Case Sensitive"), IdCaseSensitive, caseSensitive);
    unselectBox_ = checkBox(QStringLiteral("Unselect matching files"), IdUnselect, unselect);

    QPushButton *ok = named(new QPushButton(QStringLiteral("&OK")), 1);
    QPushButton *cancel = named(new QPushButton(QStringLiteral("&Cancel")), 2);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &SelectWild::accept);
    connect(cancel, &QPushButton::clicked, this, &SelectWild::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(filterEdit_);
    layout->addWidget(noWildcardsBox_);
    layout->addWidget(caseSensitiveBox_);
    layout->addWidget(unselectBox_);
    layout->addLayout(buttons);
    filterEdit_->setFocus();
}

void SelectWild::accept()
{
    filter_ = filterEdit_->text();
    noWildcards_ = noWildcardsBox_->isChecked();
    caseSensitive_ = caseSensitiveBox_->isChecked();
    unselect_ = unselectBox_->isChecked();
    CDialog::accept();
}
