#include "dialogs/GoToFolderDialog.h"

#include "pool/Destinations.h"
#include "pool/TransferPlan.h"
#include "settings/HostFolders.h"
#include "settings/SettingsKeys.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

GoToFolderDialog::GoToFolderDialog(QWidget *parent, const QString &host, const QString &path) : CDialog(parent)
{
    setWindowTitle(tr("Go To Folder"));
    auto *text = new QLabel(tr("Please select the host and enter the absolute path of the folder you wish to go to.  "
                               "Remember hosts are generally case sensitive."));
    text->setWordWrap(true);
    hosts_ = new QComboBox;
    hosts_->setObjectName(QStringLiteral("ctl%1").arg(IdHost));
    hosts_->addItem(SettingsKeys::MyComputer);
    for (const HostEntry &entry : HostEntries()) // by name
        if (!entry.isFolder())
            hosts_->addItem(entry.name);
    directories_ = new QComboBox;
    directories_->setObjectName(QStringLiteral("ctl%1").arg(IdDirectory));
    directories_->setEditable(true);
    directories_->setInsertPolicy(QComboBox::NoInsert);
    directories_->setMinimumContentsLength(40);

    auto *form = new QFormLayout;
    form->addRow(tr("Host:"), hosts_);
    form->addRow(tr("Directory:"), directories_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ctl1"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("&Cancel"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("ctl2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &GoToFolderDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // An editable combo box keeps Return for itself: in the directory it means OK.
    connect(directories_->lineEdit(), &QLineEdit::returnPressed, this, &GoToFolderDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(buttons);

    const int index = hosts_->findText(host, Qt::MatchFixedString);
    hosts_->setCurrentIndex(index < 0 ? 0 : index);
    hostChanged();
    connect(hosts_, &QComboBox::currentIndexChanged, this, &GoToFolderDialog::hostChanged);
    if (!path.isEmpty())
        directories_->setEditText(path);
    directories_->lineEdit()->selectAll();
    directories_->setFocus();
}

// The chosen host's recent destinations, the newest at the top.
void GoToFolderDialog::hostChanged()
{
    directories_->clear();
    for (const QString &directory : Destinations::list(host()))
        directories_->insertItem(0, directory);
    directories_->setCurrentIndex(0);
    directories_->lineEdit()->selectAll();
}

QString GoToFolderDialog::host() const
{
    return hosts_->currentText();
}

QString GoToFolderDialog::path() const
{
    return NormaliseDestination(host(), directories_->currentText());
}

void GoToFolderDialog::accept()
{
    if (result() == QDialog::Accepted || directories_->currentText().trimmed().isEmpty())
        return; // once; an empty folder goes nowhere
    Destinations::record(host(), path());
    CDialog::accept();
}
