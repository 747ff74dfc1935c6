#include "dialogs/CFileOp.h"

#include "localops/LocalFailure.h"
#include "localops/LocalFileWorker.h"
#include "platform/Prompt.h"
#include "platform/SafeText.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int ShownEveryMs = 50; // progress is shown at most this often
constexpr int MaxFailuresShown = 20;

enum ControlId { IdCancel = 2, IdPath = 101, IdLabel = 15745, IdRemaining = 24567 };

QString controlName(int id)
{
    return QStringLiteral("ctl%1").arg(id);
}

QString labelText(LocalFileWorker::Label label)
{
    switch (label) {
    case LocalFileWorker::Label::Copying:
        return QStringLiteral("Copying File:");
    case LocalFileWorker::Label::Deleting:
        return QStringLiteral("Deleting File:");
    case LocalFileWorker::Label::RemovingDirectory:
        break;
    }
    return QStringLiteral("Removing Directory:");
}

} // namespace

CFileOp *CFileOp::copy(QWidget *parent, Prompt &prompt, const QStringList &names, const QString &sourceDir,
                       const QString &destDir, std::function<void()> finished)
{
    // The worker deletes when it has no destination: an empty one must never reach it here.
    if (sourceDir.isEmpty() || destDir.isEmpty()) {
        prompt.message(tr("The folder is on no drive of this computer: nothing was copied."), tr("Local Copy"));
        return nullptr;
    }
    return start(parent, prompt, names, sourceDir, destDir, std::move(finished));
}

CFileOp *CFileOp::start(QWidget *parent, Prompt &prompt, const QStringList &names, const QString &sourceDir,
                        const QString &destDir, std::function<void()> finished)
{
    auto worker = std::make_unique<LocalFileWorker>(names, sourceDir, destDir);
    LocalFileWorker *started = worker.get();
    auto *op = new CFileOp(parent, prompt, std::move(worker), std::move(finished));
    op->show();
    op->running_.start();
    started->start();
    return op;
}

CFileOp *CFileOp::remove(QWidget *parent, Prompt &prompt, const QStringList &names, const QString &sourceDir,
                         std::function<void()> finished)
{
    if (sourceDir.isEmpty()) {
        prompt.message(tr("The folder is on no drive of this computer: nothing was deleted."), tr("Local Delete"));
        return nullptr;
    }
    return start(parent, prompt, names, sourceDir, QString(), std::move(finished));
}

CFileOp::CFileOp(QWidget *parent, Prompt &prompt, std::unique_ptr<LocalFileWorker> worker,
                 std::function<void()> finished)
    : CDialog(parent), prompt_(prompt), worker_(std::move(worker)), finished_(std::move(finished)),
      drives_(localDrives())
{
    const bool copying = worker_->copying();
    setWindowTitle(copying ? QStringLiteral("Local Copy") : QStringLiteral("Local Delete"));
    setModal(false);
    label_ = new QLabel(labelText(copying ? LocalFileWorker::Label::Copying : LocalFileWorker::Label::Deleting), this);
    label_->setObjectName(controlName(IdLabel));
    path_ = new QLineEdit(this);
    path_->setObjectName(controlName(IdPath));
    path_->setReadOnly(true);
    path_->setMinimumWidth(360);
    remaining_ = new QLabel(this);
    remaining_->setObjectName(controlName(IdRemaining));
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(controlName(IdCancel));
    connect(cancel_, &QPushButton::clicked, this, &CFileOp::reject);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(remaining_, 1);
    bottom->addWidget(cancel_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(path_);
    layout->addLayout(bottom);

    progressTimer_.setSingleShot(true);
    connect(&progressTimer_, &QTimer::timeout, this, &CFileOp::showProgress);
    // The worker lives on its own thread: these arrive queued, on this window's thread.
    connect(worker_.get(), &LocalFileWorker::progressChanged, this, &CFileOp::progressChanged, Qt::QueuedConnection);
    connect(worker_.get(), &LocalFileWorker::overwriteQuestion, this, &CFileOp::askOverwrite, Qt::QueuedConnection);
    connect(worker_.get(), &QThread::finished, this, &CFileOp::workerEnded, Qt::QueuedConnection);
}

CFileOp::~CFileOp()
{
    // Only when the parent goes first: the worker stops after its current file and is waited for.
    worker_.reset();
}

bool CFileOp::isWorking() const
{
    return !worker_->isFinished();
}

void CFileOp::reject()
{
    worker_->requestStop();
    cancel_->setEnabled(false);
}

void CFileOp::closeEvent(QCloseEvent *event)
{
    if (ending_) {
        CDialog::closeEvent(event);
        return;
    }
    event->ignore(); // the window goes when the worker has ended
    reject();
}

void CFileOp::progressChanged()
{
    if (!sinceShown_.isValid() || sinceShown_.elapsed() >= ShownEveryMs)
        showProgress();
    else if (!progressTimer_.isActive())
        progressTimer_.start(ShownEveryMs - int(sinceShown_.elapsed()));
}

void CFileOp::showProgress()
{
    sinceShown_.start();
    const LocalFileWorker::Progress progress = worker_->takeProgress();
    label_->setText(labelText(progress.label));
    path_->setText(shown(progress.path));
    const QString format = progress.label == LocalFileWorker::Label::RemovingDirectory
                               ? QStringLiteral("%1 directories remaining")
                               : QStringLiteral("%1 files remaining");
    remaining_->setText(format.arg(progress.remaining));
}

void CFileOp::askOverwrite(const QString &path)
{
    asking_ = true;
    const QPointer<CFileOp> self(this);
    const int answer = prompt_.ask(QStringLiteral("File %1 exists.  Overwrite?").arg(shown(path)),
                                   QStringLiteral("File Exists"), Prompt::Icon::Question, Prompt::Yes | Prompt::No);
    if (!self)
        return;
    asking_ = false;
    worker_->answerOverwrite(answer == Prompt::Yes);
    if (workerEnded_)
        end(); // stopped while the question was open
}

void CFileOp::workerEnded()
{
    workerEnded_ = true;
    if (!asking_)
        end();
}

void CFileOp::end()
{
    if (ending_)
        return;
    ending_ = true;
    progressTimer_.stop();
    worker_->wait(); // the thread has left its work: this returns at once
    const QList<LocalFailure> failures = worker_->failures();
    const QPointer<CFileOp> self(this);
    if (const std::function<void()> finished = std::exchange(finished_, {}))
        finished();
    if (!self)
        return;
    hide();
    if (worker_->copying() && !worker_->stopRequested())
        prompt_.workEnded(failures.isEmpty() ? QStringLiteral("Local copy finished")
                                             : QStringLiteral("Local copy ended with problems"),
                          QStringLiteral("Local Copy"), running_.elapsed());
    reportFailures(failures);
    if (self)
        deleteLater();
}

void CFileOp::reportFailures(const QList<LocalFailure> &failures)
{
    if (failures.isEmpty())
        return;
    QStringList lines;
    for (qsizetype i = 0; i < failures.size() && i < MaxFailuresShown; ++i)
        lines.append(failures[i].message(shown(failures[i].path)));
    if (failures.size() > MaxFailuresShown)
        lines.append(QStringLiteral("(%1 more not shown)").arg(failures.size() - MaxFailuresShown));
    if (!failures.first().isRefusal()) {
        lines.prepend(worker_->copying() ? QStringLiteral("Some files or folders could not be copied:")
                                         : QStringLiteral("Some files or folders could not be deleted:"));
    }
    prompt_.message(lines.join(u'\n'), windowTitle(), Prompt::Icon::Warning);
}

QString CFileOp::shown(const QString &nativePath) const
{
    const QString programPath = toProgramPath(nativePath, drives_);
    return safeText(programPath.isEmpty() ? nativePath : programPath);
}
