#include "dialogs/DeleteDialog.h"

#include "dialogs/Controls.h"
#include "dialogs/FailureListDialog.h"
#include "dialogs/RedrawTimer.h"
#include "pool/ConnectionManager.h"
#include "pool/DeleteList.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;

DeleteDialog *DeleteDialog::start(QWidget *parent, ConnectionManager &pool, const QString &host,
                                  const QString &directory, const QStringList &lines, int kind)
{
    Cache &cache = pool.cache();
    cache.Lookup(host, directory, false);
    auto *dialog = new DeleteDialog(parent, host, cache.GetFilePath());
    for (const QString &line : lines)
        dialog->list_->addLine(line);
    dialog->redraw();
    dialog->show();
    pool.RequestDelete(host, dialog->list_, kind == 0 ? ConnectionManager::Browse : ConnectionManager::SingleUse);
    return dialog;
}

DeleteDialog::DeleteDialog(QWidget *parent, const QString &host, const QString &cacheFile)
    : CDialog(parent, false), list_(new DeleteList(host, cacheFile, this))
{
    setModal(false);
    setWindowTitle(tr("Deleting Files"));
    list_->setListingId(Cache::ListingId(cacheFile));

    lines_ = named(new QListWidget, IdList);
    currentFile_ = Controls::readOnlyEdit(IdCurrentFile);
    status_ = named(new QLabel, IdStatus);
    auto *cancel = named(new QPushButton(tr("Cancel")), 2);
    connect(cancel, &QPushButton::clicked, this, &DeleteDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Files Awaiting Deletion")));
    layout->addWidget(lines_, 1);
    auto *form = new QFormLayout;
    form->addRow(tr("Current File"), currentFile_);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    resize(480, 360);

    redrawTimer_ = new RedrawTimer(this, [this] { redraw(); });
    connect(list_, &DeleteList::changed, redrawTimer_, &RedrawTimer::request);
    connect(list_, &DeleteList::ended, this, &DeleteDialog::listEnded);
}

void DeleteDialog::redraw()
{
    Controls::mirrorLines(lines_, list_->remainingLines());
    currentFile_->setText(Controls::shown(list_->currentName()));
    status_->setText(Controls::shown(list_->status()));
}

// The connection stops at the next entry and lets go of the list; until then the window waits
// out of sight.
void DeleteDialog::reject()
{
    list_->cancel();
    hide();
}

void DeleteDialog::listEnded()
{
    if (ended_)
        return;
    ended_ = true;
    redraw();
    FailureListDialog::open(parentWidget(), tr("Delete Problems"), tr("These were not deleted:"), list_->failures());
    hide();
    deleteLater();
}
