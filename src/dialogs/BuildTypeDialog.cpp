#include "dialogs/BuildTypeDialog.h"

#include "dialogs/BuildDialog.h"
#include "dialogs/Controls.h"
#include "pool/ConnectionManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;

BuildTypeDialog *BuildTypeDialog::open(QWidget *parent, ConnectionManager &pool, const QString &host,
                                       const QString &path)
{
    auto *dialog = new BuildTypeDialog(parent, pool, host, path);
    dialog->show();
    return dialog;
}

BuildTypeDialog::BuildTypeDialog(QWidget *parent, ConnectionManager &pool, const QString &host, const QString &path)
    : CDialog(parent), pool_(&pool), host_(host), path_(path)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(tr("Directory Structure Build"));
    auto *thisConnection = named(new QPushButton(tr("&This Connection")), IdThisConnection);
    auto *newConnection = named(new QPushButton(tr("&New Connection")), IdNewConnection);
    auto *cancel = named(new QPushButton(tr("&Cancel")), IdCancel);
    thisConnection->setDefault(true);
    connect(thisConnection, &QPushButton::clicked, this, [this] { start(false); });
    connect(newConnection, &QPushButton::clicked, this, [this] { start(true); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(thisConnection);
    buttons->addWidget(newConnection);
    buttons->addStretch();
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Perform directory structure build on which connection?")));
    layout->addLayout(buttons);
}

void BuildTypeDialog::start(bool newConnection)
{
    hide();
    if (pool_)
        BuildDialog::startCacheBuild(parentWidget(), *pool_, host_, path_, newConnection);
    close();
}
