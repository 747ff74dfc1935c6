#include "dialogs/TransferDialog.h"

#include "dialogs/Controls.h"
#include "dialogs/FailureListDialog.h"
#include "dialogs/RedrawTimer.h"
#include "ftp/Connection.h"
#include "platform/LocalDrives.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"
#include "pool/TransferStack.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;
using Controls::readOnlyEdit;

TransferDialog::TransferDialog(QWidget *parent, const QString &host)
    : CDialog(parent, false), host_(host), stack_(new TransferStack(this))
{
    setModal(false);
    setWindowTitle(tr("Transferring between %1 and My Computer").arg(Controls::shown(host)));
    stack_->setLocalPathMapper([](const QString &path) { return toNativePath(path); });

    lines_ = named(new QListWidget, IdStack);
    stackRemaining_ = readOnlyEdit(IdStackRemaining);
    auto *stackBox = new QGroupBox(tr("Transfer Stack"));
    auto *stackLayout = new QFormLayout(stackBox);
    stackLayout->addRow(lines_);
    stackLayout->addRow(tr("Time Remaining:"), stackRemaining_);

    currentFile_ = readOnlyEdit(IdCurrentFile);
    fileSize_ = readOnlyEdit(IdFileSize);
    fileRemaining_ = readOnlyEdit(IdFileRemaining);
    gauge_ = named(new QProgressBar, IdGauge);
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    auto *fileBox = new QGroupBox(tr("Current File"));
    auto *fileLayout = new QFormLayout(fileBox);
    fileLayout->addRow(tr("Name:"), currentFile_);
    fileLayout->addRow(tr("Size:"), fileSize_);
    fileLayout->addRow(tr("Time Remaining:"), fileRemaining_);
    fileLayout->addRow(gauge_);

    status_ = named(new QLabel, IdStatus);
    auto *skip = named(new QPushButton(tr("&Skip File")), IdSkip);
    auto *close = named(new QPushButton(tr("&Close Connection")), IdClose);
    connect(skip, &QPushButton::clicked, this, &TransferDialog::skipFile);
    connect(close, &QPushButton::clicked, this, &TransferDialog::closeConnection);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(skip);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(stackBox, 1);
    layout->addWidget(fileBox);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    resize(560, 420);

    redrawTimer_ = new RedrawTimer(this, [this] { redraw(); });
    connect(stack_, &TransferStack::changed, this, [this] {
        // Kept at every change: the connection that holds the stack may change (a skipped file
        // goes on over a fresh login), and the button must reach the one that holds it now.
        if (!ended_ && stack_->connection() != connection_.data())
            connection_ = stack_->connection();
        redrawTimer_->request();
    });
    connect(stack_, &TransferStack::ended, this, &TransferDialog::stackEnded);
}

void TransferDialog::start(ConnectionManager &pool, int kind)
{
    prompt_ = &pool.prompt();
    running_.start();
    redraw();
    show();
    pool.RequestTransfer(host_, stack_, kind == 0 ? ConnectionManager::Browse : ConnectionManager::SingleUse);
}

int TransferDialog::redraws() const
{
    return redrawTimer_->redraws();
}

void TransferDialog::redraw()
{
    Controls::mirrorLines(lines_, stack_->remainingLines());
    currentFile_->setText(Controls::shown(stack_->currentFile()));
    fileSize_->setText(stack_->sizeText());
    gauge_->setValue(stack_->filePercent());
    fileRemaining_->setText(stack_->fileRemaining());
    stackRemaining_->setText(stack_->stackRemaining());
    status_->setText(Controls::shown(stack_->status()));
}

void TransferDialog::skipFile()
{
    if (!ended_ && stack_->started() && connection_)
        connection_->SkipCurrentFile();
}

void TransferDialog::closeConnection()
{
    if (!ended_) {
        closedByUser_ = true;
        if (stack_->started() && connection_)
            connection_->AbortTransfers(); // ends the stack: the window goes with it
        else if (connection_)
            connection_->removeQueued(stack_);
    }
    if (!ended_) {
        ended_ = true;
        deleteLater();
    }
    hide();
}

void TransferDialog::reject()
{
    closeConnection();
}

// The connection is still inside its own handlers: the window (and the stack with it) goes from
// the event loop.
void TransferDialog::stackEnded()
{
    if (ended_)
        return;
    ended_ = true;
    redraw();
    if (!closedByUser_ && prompt_)
        prompt_->workEnded(stack_->failures().isEmpty() ? tr("Transfer finished") : tr("Transfer ended with problems"),
                           host_, running_.elapsed());
    if (!closedByUser_)
        FailureListDialog::open(parentWidget(), tr("Transfer Problems"),
                                tr("These files were not transferred in full:"), stack_->failures());
    hide();
    deleteLater();
}
