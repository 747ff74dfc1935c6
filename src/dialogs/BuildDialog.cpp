#include "dialogs/BuildDialog.h"

#include "dialogs/Controls.h"
#include "platform/Prompt.h"
#include "pool/ConnectionManager.h"
#include "pool/ListInfo.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using Controls::named;

BuildDialog *BuildDialog::startTreeWalk(QWidget *parent, ConnectionManager &pool, const QString &host,
                                        const QStringList &directories, bool forDelete, bool newConnection,
                                        Resume resume)
{
    auto *dialog = new BuildDialog(parent, pool, std::move(resume));
    dialog->show();
    // Tree walks for copies and deletes always ask the host: a stale cache would leave files out.
    dialog->job_ = ListInfo::StartTreeBuild(pool, host, directories, forDelete, newConnection, true, dialog);
    if (dialog->job_ || dialog->ended_)
        return dialog;
    delete dialog; // no connection: the walk never started
    return nullptr;
}

BuildDialog *BuildDialog::startCacheBuild(QWidget *parent, ConnectionManager &pool, const QString &host,
                                          const QString &path, bool newConnection)
{
    auto *dialog = new BuildDialog(parent, pool, nullptr);
    dialog->show();
    dialog->job_ = ListInfo::StartCacheBuild(pool, host, path, newConnection, dialog);
    if (dialog->job_ || dialog->ended_)
        return dialog;
    delete dialog;
    return nullptr;
}

BuildDialog::BuildDialog(QWidget *parent, ConnectionManager &pool, Resume resume)
    : CDialog(parent, true), pool_(pool), resume_(std::move(resume))
{
    setModal(false);
    setWindowTitle(tr("Building Directory Structure"));
    directory_ = Controls::readOnlyEdit(IdDirectory);
    auto *form = new QFormLayout;
    form->addRow(tr("Current Directory:"), directory_);
    auto *cancel = named(new QPushButton(tr("Cancel")), 2);
    connect(cancel, &QPushButton::clicked, this, &BuildDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    resize(420, height());
}

BuildDialog::~BuildDialog()
{
    if (ListInfo *job = std::exchange(job_, nullptr))
        job->cancel();
}

void BuildDialog::setCurrentDirectory(const QString &path)
{
    directory_->setText(Controls::shown(path));
}

void BuildDialog::walkStopped(const QString &text, bool)
{
    notes_ << Controls::shown(text);
}

// Called from inside the walk: the operation resumes from the event loop.
void BuildDialog::finished(const QStringList &items)
{
    job_ = nullptr;
    ended_ = true;
    items_ = items;
    QMetaObject::invokeMethod(this, &BuildDialog::resume, Qt::QueuedConnection);
}

void BuildDialog::aborted()
{
    job_ = nullptr;
    end();
}

void BuildDialog::reject()
{
    if (ListInfo *job = std::exchange(job_, nullptr))
        job->cancel();
    end();
}

void BuildDialog::resume()
{
    hide();
    if (!notes_.isEmpty())
        pool_.prompt().message(notes_.join(QLatin1Char('\n')), tr("Building Directory Structure"),
                               Prompt::Icon::Warning);
    if (resume_)
        std::exchange(resume_, nullptr)(items_);
    end();
}

void BuildDialog::end()
{
    ended_ = true;
    resume_ = nullptr;
    hide();
    deleteLater();
}
