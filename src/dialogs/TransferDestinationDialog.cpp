#include "dialogs/TransferDestinationDialog.h"

#include "dialogs/Controls.h"
#include "dialogs/TransferStarter.h"
#include "pool/Destinations.h"
#include "settings/HostFolders.h"
#include "settings/SettingsKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;

namespace {

bool isLocal(const QString &host)
{
    return host.compare(SettingsKeys::MyComputer, Qt::CaseInsensitive) == 0;
}

} // namespace

void TransferDestinationDialog::start(QWidget *parent, ConnectionManager &pool, const TransferRequest &request)
{
    TransferRequest r = request;
    if (r.destinationHost.isEmpty())
        r.destinationHost = SettingsKeys::MyComputer;
    if (r.preset == 1 || r.preset == 2) {
        TransferStarter::start(parent, pool, r, r.preset - 1);
        return;
    }
    auto *dialog = new TransferDestinationDialog(parent, pool, r);
    dialog->show();
}

TransferDestinationDialog::TransferDestinationDialog(QWidget *parent, ConnectionManager &pool,
                                                     const TransferRequest &request)
    : CDialog(parent, true), pool_(pool), request_(request)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(tr("File Transfer"));

    hosts_ = named(new QComboBox, IdHost);
    directories_ = named(new QComboBox, IdDirectory);
    directories_->setEditable(true);
    directories_->setInsertPolicy(QComboBox::NoInsert);
    directories_->setMinimumContentsLength(40);
    // Walks for copies always ask the host; the choice is kept for its place in the dialog only.
    refresh_ = named(new QCheckBox(tr("Refresh Cache when searching directories")), IdRefresh);
    refresh_->setChecked(true);
    refresh_->hide();

    auto *form = new QFormLayout;
    form->addRow(tr("&Host:"), hosts_);
    form->addRow(tr("&Directory:"), directories_);

    first_ = named(new QPushButton, IdFirst);
    second_ = named(new QPushButton, IdSecond);
    cancel_ = named(new QPushButton(tr("&Cancel")), IdCancel);
    first_->setDefault(true);
    // An editable combo box keeps Return for itself: in the directory it presses the default button.
    connect(directories_->lineEdit(), &QLineEdit::returnPressed, first_, &QPushButton::click);
    connect(first_, &QPushButton::clicked, this, [this] { pressed(0); });
    connect(second_, &QPushButton::clicked, this, [this] { pressed(1); });
    connect(cancel_, &QPushButton::clicked, this, &TransferDestinationDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(first_);
    buttons->addWidget(second_);
    buttons->addWidget(cancel_);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(refresh_);
    layout->addLayout(buttons);

    fillHosts();
    hostChanged();
    connect(hosts_, &QComboBox::currentIndexChanged, this, &TransferDestinationDialog::hostChanged);
    if (!request_.destinationDirectory.isEmpty())
        directories_->setEditText(request_.destinationDirectory);
    directories_->lineEdit()->selectAll();
    directories_->setFocus();
}

// "My Computer" and every host of the database, the destination host selected.
void TransferDestinationDialog::fillHosts()
{
    hosts_->addItem(SettingsKeys::MyComputer);
    for (const HostEntry &entry : HostEntries())
        if (!entry.isFolder())
            hosts_->addItem(entry.name);
    int index = hosts_->findText(request_.destinationHost, Qt::MatchFixedString);
    if (index < 0) {
        hosts_->addItem(request_.destinationHost); // a host known for this run only
        index = hosts_->count() - 1;
    }
    hosts_->setCurrentIndex(index);
}

// The chosen host's recent destinations, the newest shown, and the buttons named for the copy.
void TransferDestinationDialog::hostChanged()
{
    const QString host = hosts_->currentText();
    directories_->clear();
    directories_->addItems(Destinations::list(host));
    directories_->setCurrentIndex(directories_->count() - 1);
    directories_->lineEdit()->selectAll();

    const bool fromLocal = isLocal(request_.sourceHost);
    const bool toLocal = isLocal(host);
    cancel_->setVisible(!(fromLocal && toLocal));
    if (fromLocal && toLocal) {
        first_->setText(tr("&OK"));
        second_->setText(tr("&Cancel"));
    } else if (!fromLocal && !toLocal) {
        first_->setText(tr("&Background Transfer"));
        second_->setText(tr("&Foreground Transfer"));
    } else {
        first_->setText(tr("&This Connection"));
        second_->setText(tr("&New Connection"));
    }
}

void TransferDestinationDialog::pressed(int kind)
{
    // Once: a Return in the directory reaches the line edit twice, and a button may be pressed
    // again before the dialog is gone.
    if (std::exchange(pressed_, true))
        return;
    TransferRequest request = request_;
    request.destinationHost = hosts_->currentText();
    request.destinationDirectory = directories_->currentText();
    QWidget *parent = parentWidget();
    ConnectionManager &pool = pool_;
    hide();
    deleteLater();
    TransferStarter::start(parent, pool, request, kind);
}
