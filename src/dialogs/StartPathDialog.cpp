#include "dialogs/StartPathDialog.h"

#include "dialogs/Controls.h"
#include "pool/TransferPlan.h"
#include "settings/AppValues.h"
#include "settings/HostFolders.h"
#include "settings/SettingsKeys.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;

namespace {

const QString kAllHosts = QStringLiteral("All Hosts");

} // namespace

StartPathDialog::StartPathDialog(QWidget *parent) : CDialog(parent, false)
{
    setWindowTitle(tr("Startup Paths"));
    QStringList names{kAllHosts, SettingsKeys::MyComputer};
    for (const HostEntry &entry : HostEntries())
        if (!entry.isFolder())
            names << entry.name;

    auto *layout = new QVBoxLayout(this);
    const int hostIds[2] = {IdHost0, IdHost1};
    const int pathIds[2] = {IdPath0, IdPath1};
    const QString titles[2] = {tr("Start First Window In"), tr("Start Second Window In")};
    for (int pane = 0; pane < 2; ++pane) {
        const QString n = QString::number(pane);
        hosts_[pane] = named(new QComboBox, hostIds[pane]);
        hosts_[pane]->addItems(names);
        const QString stored = AppValue(QStringLiteral("StartHost") + n, MaxPath + 1);
        int index = stored.isEmpty() ? 0 : hosts_[pane]->findText(stored, Qt::MatchFixedString);
        if (index < 0) {
            // A host the database no longer holds stays chosen until the user picks another.
            hosts_[pane]->addItem(stored);
            index = hosts_[pane]->count() - 1;
        }
        hosts_[pane]->setCurrentIndex(index);
        paths_[pane] = named(new QLineEdit(AppValue(QStringLiteral("StartPath") + n, MaxPath + 1)), pathIds[pane]);
        paths_[pane]->setMaxLength(MaxPath);
        paths_[pane]->setMinimumWidth(300);
        auto *group = new QGroupBox(titles[pane]);
        auto *form = new QFormLayout(group);
        form->addRow(tr("&Host:"), hosts_[pane]);
        form->addRow(tr("&Path:"), paths_[pane]);
        layout->addWidget(group);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    named(buttons->button(QDialogButtonBox::Ok), 1)->setText(tr("OK"));
    named(buttons->button(QDialogButtonBox::Cancel), 2)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &StartPathDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString StartPathDialog::storedPath(const QString &host, const QString &typed)
{
    if (host.compare(kAllHosts, Qt::CaseInsensitive) == 0)
        return QString();
    return NormaliseDestination(host, typed.trimmed());
}

void StartPathDialog::accept()
{
    for (int pane = 0; pane < 2; ++pane) {
        const QString n = QString::number(pane);
        const QString host = hosts_[pane]->currentText();
        SetAppValue(QStringLiteral("StartHost") + n, host);
        SetAppValue(QStringLiteral("StartPath") + n, storedPath(host, paths_[pane]->text()));
    }
    CDialog::accept();
}
