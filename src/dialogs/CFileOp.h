#pragma once

#include "dialogs/CDialog.h"
#include "platform/LocalDrives.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class LocalFileWorker;
class Prompt;
class QLabel;
class QLineEdit;
class QPushButton;
struct LocalFailure;

// A local copy or delete under way: a small modeless window ("Local Copy" / "Local Delete") over
// a LocalFileWorker thread, showing the entry being worked on and how many are left, with Cancel.
// The overwrite question and, at the end, every failure are asked and shown through the Prompt.
//
// The window owns its worker and never goes while the worker runs: Cancel, Escape or closing
// asks the worker to stop and the window stays (Cancel greyed) until the worker has ended, however
// long the file being copied takes. Then finished runs, failures are shown and the window deletes
// itself. If the parent is destroyed first, the window stops the worker, waits for it and goes
// without calling finished.
class CFileOp : public CDialog
{
    Q_OBJECT
public:
    // Starts a copy of names (entries of sourceDir, files and folders) into destDir, or a delete of
    // them. Native absolute paths ending in "/"; an empty one (a folder on no drive of this
    // computer) is refused with a message, and nothing starts (nullptr). finished runs on the GUI
    // thread after the work ended (also after a cancel), before the window goes; the panes
    // refresh there. prompt must outlive the window.
    static CFileOp *copy(QWidget *parent, Prompt &prompt, const QStringList &names, const QString &sourceDir,
                         const QString &destDir, std::function<void()> finished = {});
    static CFileOp *remove(QWidget *parent, Prompt &prompt, const QStringList &names, const QString &sourceDir,
                           std::function<void()> finished = {});

    ~CFileOp() override;

private:
    static CFileOp *start(QWidget *parent, Prompt &prompt, const QStringList &names, const QString &sourceDir,
                          const QString &destDir, std::function<void()> finished);

public:

    // The worker thread has not ended yet.
    bool isWorking() const;

public slots:
    void reject() override; // Cancel and Escape: stop, and stay until the worker has ended

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    CFileOp(QWidget *parent, Prompt &prompt, std::unique_ptr<LocalFileWorker> worker,
            std::function<void()> finished);

    void progressChanged();
    void showProgress();
    void askOverwrite(const QString &path);
    void workerEnded();
    void end();
    void reportFailures(const QList<LocalFailure> &failures);
    QString shown(const QString &nativePath) const;

    Prompt &prompt_;
    std::unique_ptr<LocalFileWorker> worker_;
    std::function<void()> finished_;
    QList<Drive> drives_; // for showing paths in the program's drive form
    QLabel *label_;
    QLineEdit *path_;
    QLabel *remaining_;
    QPushButton *cancel_;
    QTimer progressTimer_;       // a later look at the progress when it changes faster than shown
    QElapsedTimer sinceShown_;
    QElapsedTimer running_;      // since the work began, for the desktop's notice at its end
    bool asking_ = false;        // the overwrite question is open
    bool workerEnded_ = false;   // the worker's thread has finished
    bool ending_ = false;
};
