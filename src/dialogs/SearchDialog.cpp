#include "dialogs/SearchDialog.h"

#include "dialogs/Controls.h"
#include "pool/ConnectionManager.h"
#include "pool/ListInfo.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using Controls::named;

namespace {

enum Column { NameColumn, FolderColumn, SizeColumn };
constexpr int DirectoryRole = Qt::UserRole;
constexpr int NameRole = Qt::UserRole + 1;

} // namespace

SearchDialog *SearchDialog::open(QWidget *parent, ConnectionManager &pool, const QString &host, const QString &path,
                                 GoTo goTo)
{
    auto *dialog = new SearchDialog(parent, pool, host, path, std::move(goTo));
    dialog->show();
    return dialog;
}

SearchDialog::SearchDialog(QWidget *parent, ConnectionManager &pool, const QString &host, const QString &path,
                           GoTo goTo)
    : CDialog(parent), pool_(&pool), host_(host), goTo_(std::move(goTo))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(tr("Search For File"));
    named_ = named(new QLineEdit, IdNamed);
    named_->setMaxLength(MaxText);
    lookIn_ = named(new QLineEdit(path), IdLookIn);
    lookIn_->setMaxLength(MaxDirectory);
    subFolders_ = named(new QCheckBox(tr("Search &Sub Folders")), IdSubFolders);
    subFolders_->setChecked(true);
    followLinks_ = named(new QCheckBox(tr("Follow &Links")), IdFollowLinks);
    refresh_ = named(new QCheckBox(tr("Refresh &Cache")), IdRefreshCache);
    thisConnection_ = named(new QPushButton(tr("&This Connection")), IdThisConnection);
    newConnection_ = named(new QPushButton(tr("&New Connection")), IdNewConnection);
    auto *cancel = named(new QPushButton(tr("&Cancel")), IdCancel);
    thisConnection_->setDefault(true);

    auto *form = new QFormLayout;
    form->addRow(tr("&Named:"), named_);
    form->addRow(tr("&Look In:"), lookIn_);
    auto *options = new QHBoxLayout;
    for (QCheckBox *box : {subFolders_, followLinks_, refresh_})
        options->addWidget(box);
    options->addStretch();
    auto *using_ = new QGroupBox(tr("Search Using"));
    auto *usingLayout = new QHBoxLayout(using_);
    usingLayout->addWidget(thisConnection_);
    usingLayout->addWidget(newConnection_);

    results_ = named(new QTreeWidget, IdResults);
    results_->setHeaderLabels({tr("Name"), tr("In Folder"), tr("Size")});
    results_->setRootIsDecorated(false);
    results_->setUniformRowHeights(true);
    results_->setSortingEnabled(false);
    results_->header()->setSectionResizeMode(NameColumn, QHeaderView::Interactive);
    results_->header()->resizeSection(NameColumn, 220);
    results_->header()->resizeSection(FolderColumn, 260);
    status_ = named(new QLabel, IdStatus);

    auto *top = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    left->addLayout(form);
    left->addLayout(options);
    top->addLayout(left, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(using_);
    right->addWidget(cancel, 0, Qt::AlignRight);
    right->addStretch();
    top->addLayout(right);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(results_, 1);
    layout->addWidget(status_);
    resize(640, 420);

    connect(thisConnection_, &QPushButton::clicked, this, [this] { start(false); });
    connect(newConnection_, &QPushButton::clicked, this, [this] { start(true); });
    connect(cancel, &QPushButton::clicked, this, &SearchDialog::reject);
    connect(results_, &QTreeWidget::itemActivated, this, &SearchDialog::showMatch);
    named_->setFocus();
}

SearchDialog::~SearchDialog()
{
    stop();
}

int SearchDialog::matchCount() const
{
    return results_->topLevelItemCount();
}

void SearchDialog::start(bool newConnection)
{
    const QString text = named_->text();
    const QString directory = lookIn_->text().trimmed();
    if (text.isEmpty() || directory.isEmpty() || !pool_) {
        (text.isEmpty() ? named_ : lookIn_)->setFocus();
        return;
    }
    stop();
    results_->clear();
    ListInfo::SearchRequest request;
    request.host = host_;
    request.directory = directory.startsWith(QLatin1Char('/')) ? directory : QLatin1Char('/') + directory;
    request.text = text;
    request.subFolders = subFolders_->isChecked();
    request.followLinks = followLinks_->isChecked();
    request.refresh = refresh_->isChecked();
    request.newConnection = newConnection;
    thisConnection_->setEnabled(false);
    newConnection_->setEnabled(false);
    status_->setText(tr("Searching..."));
    // A search answered wholly from the cache is over before this returns.
    job_ = ListInfo::StartSearch(*pool_, request, this);
}

void SearchDialog::stop()
{
    if (ListInfo *job = std::exchange(job_, nullptr))
        job->cancel();
}

void SearchDialog::setCurrentDirectory(const QString &path)
{
    status_->setText(tr("Searching %1 - %n found", nullptr, matchCount()).arg(Controls::shown(path)));
}

void SearchDialog::found(const QString &directory, const QString &name, quint64 size, bool folder)
{
    auto *item = new QTreeWidgetItem(results_);
    item->setText(NameColumn, Controls::shown(name));
    item->setText(FolderColumn, Controls::shown(directory));
    item->setText(SizeColumn, folder ? QString() : QLocale().toString(size));
    item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setData(NameColumn, DirectoryRole, directory);
    item->setData(NameColumn, NameRole, name);
}

void SearchDialog::abort()
{
    job_ = nullptr;
    searchEnded(matchCount() == 0
                    ? tr("The search could not go on: no connection to %1.").arg(Controls::shown(host_))
                    : tr("The search stopped: the connection to %1 was lost - %n found", nullptr, matchCount())
                          .arg(Controls::shown(host_)));
}

void SearchDialog::finished()
{
    job_ = nullptr;
    searchEnded(tr("Search complete - %n found", nullptr, matchCount()));
}

void SearchDialog::searchEnded(const QString &status)
{
    thisConnection_->setEnabled(true);
    newConnection_->setEnabled(true);
    status_->setText(status);
}

// Cancel stops a running search and keeps what it found; with none running it closes.
void SearchDialog::reject()
{
    if (job_) {
        stop();
        searchEnded(tr("Search stopped - %n found", nullptr, matchCount()));
        return;
    }
    CDialog::reject();
}

// Closing the window always ends the search with it.
void SearchDialog::closeEvent(QCloseEvent *event)
{
    stop();
    CDialog::closeEvent(event);
}

void SearchDialog::showMatch()
{
    const QTreeWidgetItem *item = results_->currentItem();
    if (item && goTo_)
        goTo_(item->data(NameColumn, DirectoryRole).toString(), item->data(NameColumn, NameRole).toString());
}
