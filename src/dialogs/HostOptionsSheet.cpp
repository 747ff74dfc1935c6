#include "dialogs/HostOptionsSheet.h"

#include "dialogs/CacheDetails.h"
#include "dialogs/Controls.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using Controls::named;

HostOptionsSheet::HostOptionsSheet(QWidget *parent, const QString &hostName, Prompt &prompt,
                                   HostDetails::Renamed renamed)
    : CDialog(parent), hostName_(hostName)
{
    setWindowTitle(tr("Host Options"));
    hostPage_ = new HostDetails(hostName_, prompt, std::move(renamed));
    cachePage_ = new CacheDetails(hostName_, prompt);
    pages_ = new QTabWidget;
    pages_->addTab(hostPage_, tr("Host"));
    pages_->addTab(cachePage_, tr("Cache and Connection"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply);
    named(buttons->button(QDialogButtonBox::Ok), 1)->setText(tr("OK"));
    named(buttons->button(QDialogButtonBox::Cancel), 2)->setText(tr("Cancel"));
    applyButton_ = named(buttons->button(QDialogButtonBox::Apply), IdApply);
    applyButton_->setText(tr("&Apply"));
    applyButton_->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &HostOptionsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton_, &QPushButton::clicked, this, &HostOptionsSheet::apply);
    const auto enableApply = [this] { applyButton_->setEnabled(true); };
    connect(hostPage_, &HostDetails::changed, this, enableApply);
    connect(cachePage_, &CacheDetails::changed, this, enableApply);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);

    connect(pages_, &QTabWidget::currentChanged, this, &HostOptionsSheet::pageShown);
    pageShown(0);
    hostPage_->findChild<QWidget *>(QStringLiteral("ctl%1").arg(HostDetails::IdName))->setFocus();
}

void HostOptionsSheet::pageShown(int index)
{
    if (index == 0 && !hostPage_->isSetUp())
        hostPage_->setUp();
    if (index == 1 && !cachePage_->isSetUp())
        cachePage_->setUp();
}

bool HostOptionsSheet::apply()
{
    if (hostPage_->isSetUp() && !hostPage_->apply()) {
        pages_->setCurrentWidget(hostPage_);
        return false;
    }
    if (cachePage_->isSetUp() && !cachePage_->apply()) {
        pages_->setCurrentWidget(cachePage_);
        return false;
    }
    applyButton_->setEnabled(false);
    return true;
}

void HostOptionsSheet::accept()
{
    if (apply())
        CDialog::accept();
}
