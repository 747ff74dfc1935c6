#include "dialogs/HostToHostDialog.h"

#include "dialogs/Controls.h"
#include "dialogs/FailureListDialog.h"
#include "dialogs/RedrawTimer.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"
#include "pool/HostToHostTransfer.h"
#include "pool/TransferPlan.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;
using Controls::shown;

HostToHostDialog::HostToHostDialog(QWidget *parent, ConnectionManager &pool, const QString &sourceHost,
                                   const QString &destinationHost, bool background)
    : CDialog(parent, false), transfer_(new HostToHostTransfer(pool, sourceHost, destinationHost, background, this))
    , prompt_(pool.prompt())
{
    setModal(false);
    setWindowTitle(tr("Transferring between %1 and %2").arg(shown(sourceHost), shown(destinationHost)));
    auto *form = new QFormLayout;
    form->addRow(tr("Source:"), named(new QLabel(shown(sourceHost)), IdSourceHost));
    form->addRow(tr("Destination:"), named(new QLabel(shown(destinationHost)), IdDestinationHost));
    busyHost_ = named(new QLabel, IdBusyHost);
    form->addRow(tr("Waiting on:"), busyHost_);
    status_ = named(new QLabel, IdStatus);
    lines_ = named(new QListWidget, IdLines);
    currentFile_ = Controls::readOnlyEdit(IdCurrentFile);
    auto *cancel = named(new QPushButton(tr("&Cancel")), IdCancel);
    connect(cancel, &QPushButton::clicked, this, &HostToHostDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(lines_, 1);
    auto *current = new QFormLayout;
    current->addRow(tr("Current File:"), currentFile_);
    layout->addLayout(current);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    resize(520, 380);

    redrawTimer_ = new RedrawTimer(this, [this] { redraw(); });
    connect(transfer_, &HostToHostTransfer::changed, redrawTimer_, &RedrawTimer::request);
    connect(transfer_, &HostToHostTransfer::ended, this, &HostToHostDialog::transferEnded);
}

void HostToHostDialog::start()
{
    running_.start();
    redraw();
    if (transfer_->background()) {
        showMinimized();
    } else {
        show();
        raise();
        activateWindow();
    }
    transfer_->takeNextLine();
}

void HostToHostDialog::redraw()
{
    QStringList lines;
    for (const HostToHostTransfer::Line &line : transfer_->lines())
        lines << HostToHostLine(line.sourcePath, line.destinationPath);
    Controls::mirrorLines(lines_, lines);
    busyHost_->setText(shown(transfer_->busyHost()));
    status_->setText(shown(transfer_->status()));
    currentFile_->setText(shown(transfer_->currentFile()));
}

// The record goes with the window; the connections that held it forget it.
void HostToHostDialog::reject()
{
    ended_ = true;
    hide();
    deleteLater();
}

void HostToHostDialog::transferEnded()
{
    if (ended_)
        return;
    ended_ = true;
    redraw();
    prompt_.workEnded(transfer_->failures().isEmpty() ? tr("Host to host copy finished")
                                                      : tr("Host to host copy ended with problems"),
                      tr("%1 to %2").arg(transfer_->sourceHost(), transfer_->destinationHost()), running_.elapsed());
    FailureListDialog::open(parentWidget(), tr("Host to Host Problems"), tr("These files were not copied:"),
                            transfer_->failures());
    hide();
    deleteLater();
}
