#pragma once

#include "localops/LocalFailure.h"
#include "localops/LocalTree.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <utility>

#include <sys/types.h>

// Copies local files and folders into another folder, or deletes them, on a thread of its own.
//
// The selection is expanded first (LocalTree: links are copied or deleted as links, never
// followed). A copy recreates every folder, empty ones too, and copies files and links into them;
// a file or link that is there already is replaced only when overwriteQuestion is answered yes.
// A delete removes the files and links, then the folders, each folder after every folder below it.
// A folder selected for a copy into itself, or a file onto itself, stops the copy before anything
// is written. A stop request is honoured between two entries; the file being copied is finished.
// Whatever failed is in failures() once the thread has finished.
//
//     LocalFileWorker worker({"a", "docs"}, "/home/me/", "/media/stick/");
//     connect(&worker, &LocalFileWorker::overwriteQuestion, ..., [&](QString path) { worker.answerOverwrite(ask(path)); });
//     connect(&worker, &QThread::finished, ..., [&] { report(worker.failures()); });
//     worker.start();
class LocalFileWorker : public QThread
{
    Q_OBJECT
public:
    enum class Label { Copying, Deleting, RemovingDirectory };

    struct Progress
    {
        QString path; // the source path of the entry being worked on, native
        Label label = Label::Copying;
        int remaining = 0; // files (or, removing, folders) still to do after this one
    };

    // names: entries of sourceDir; destDir empty for a delete. Folders are native absolute
    // paths ending in "/".
    LocalFileWorker(const QStringList &names, const QString &sourceDir, const QString &destDir,
                    QObject *parent = nullptr);
    // Asks the thread to stop and waits for it.
    ~LocalFileWorker() override;

    bool copying() const { return !destDir_.isEmpty(); }

    // Any thread: stop between two entries; an open question counts as answered No.
    void requestStop();
    bool stopRequested() const { return stop_.load(); }
    // Any thread: the answer to the pending overwriteQuestion.
    void answerOverwrite(bool overwrite);
    // Any thread: the latest progress; progressChanged is sent again once this was taken.
    Progress takeProgress();

    // After the thread finished: what could not be done, in the order it happened.
    QList<LocalFailure> failures() const { return failures_; }

signals:
    // Progress has news (see takeProgress); sent at most once until taken.
    void progressChanged();
    // destPath (native) exists: may it be replaced? The thread waits for answerOverwrite.
    void overwriteQuestion(const QString &destPath);

protected:
    void run() override;

private:
    enum class Answer { None, Pending, Yes, No };

    void runCopy();
    void runDelete();
    bool refuseCopyIntoItself();
    bool makeDestination();
    LocalTree expanded();
    bool copyFolder(const LocalItem &item, QList<std::pair<QByteArray, mode_t>> &created);
    void copyEntry(const LocalItem &item);
    bool mayReplace(const QByteArray &source, const QByteArray &dest);
    bool askOverwrite(const QByteArray &dest);
    void report(const QByteArray &path, Label label, int remaining);
    void fail(LocalFailure::Action action, const QByteArray &path, int error);
    void fail(LocalFailure::Action action, const QByteArray &path, const QString &reason);

    QList<QByteArray> names_;
    QByteArray sourceDir_;
    QByteArray destDir_;
    std::atomic<bool> stop_{false};

    QMutex mutex_; // guards answer_ and progress_
    QWaitCondition answered_;
    Answer answer_ = Answer::None;
    Progress progress_;
    std::atomic<bool> progressPending_{false};

    QList<LocalFailure> failures_; // the thread's own until it finished
};
