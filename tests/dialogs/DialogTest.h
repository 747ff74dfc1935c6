#pragma once

// What the operation windows' tests share: a fresh settings store with the host "site" on a real
// pyftpdlib server, a pool over a recording prompt, a dialog runner that answers modal questions
// from a queue, local folders under the redirected home ("C:"), and ways to find the windows.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"
#include "support/TestHosts.h"

#include "dialogs/CDialog.h"
#include "dialogs/DialogRunner.h"
#include "pool/ConnectionManager.h"
#include "settings/StoreFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QQueue>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

constexpr int Bound = 30000; // ms: the longest any copy below may take

// Answers each modal question by pressing the button with the next queued id; 0, or an empty
// queue, closes the window. Keeps the text (control 100) of every question.
class QueuedAnswers : public DialogRunner
{
public:
    int run(QDialog &dialog) override
    {
        if (auto *label = dialog.findChild<QLabel *>(QStringLiteral("ctl100")))
            texts << label->text();
        const int id = answers.isEmpty() ? 0 : answers.dequeue();
        auto *button = dialog.findChild<QAbstractButton *>(QStringLiteral("ctl%1").arg(id));
        if (button)
            button->click();
        else
            dialog.reject();
        return dialog.result();
    }

    QQueue<int> answers;
    QStringList texts;
};

inline QByteArray patternBytes(qsizetype size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + i / 257 + seed) & 0xff);
    return bytes;
}

// Every file and folder below root, "dir/" for folders, "name=size" for files, sorted.
inline QStringList treeOf(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = QDir(root).relativeFilePath(it.filePath());
        entries << (it.fileInfo().isDir() ? relative + u'/' : relative + u'=' + QString::number(it.fileInfo().size()));
    }
    entries.sort();
    return entries;
}

inline bool writeLocal(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray readLocal(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class DialogTest : public QObject
{
protected:
    TestEnvironment env_;
    std::unique_ptr<StoreFixture> store_;
    std::unique_ptr<FtpServerFixture> server_;
    RecordingPrompt prompt_;
    RecordingStatus status_;
    QueuedAnswers answers_;
    std::unique_ptr<ConnectionManager> pool_;
    std::unique_ptr<QTemporaryDir> local_;

    // For init(): everything fresh; the host "site" serves server_'s root.
    bool setUpDialogs()
    {
        store_ = std::make_unique<StoreFixture>();
        server_ = std::make_unique<FtpServerFixture>();
        if (!server_->start())
            return false;
        storeTestHost(QStringLiteral("site"), server_->port());
        prompt_.clear();
        answers_ = QueuedAnswers();
        DialogRunner::install(&answers_);
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        pool_->setStoreUnique(false);
        local_ = std::make_unique<QTemporaryDir>(env_.home() + QStringLiteral("/localXXXXXX"));
        return local_->isValid();
    }

    // For cleanup(): the pool goes first (its connections end the records, their windows go),
    // then whatever window is left.
    void tearDownDialogs()
    {
        pool_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qDeleteAll(windows<CDialog>());
        DialogRunner::install(nullptr);
        server_.reset();
        local_.reset();
        store_.reset();
    }

    // The local folder in the program's drive form ("C:/localXXXXXX/") and natively.
    QString localDir() const { return QStringLiteral("C:/") + QDir(env_.home()).relativeFilePath(local_->path()) + u'/'; }
    QString localPath(const QString &relative) const { return local_->filePath(relative); }

    template <class Window>
    static QList<Window *> windows()
    {
        QList<Window *> found;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *window = qobject_cast<Window *>(widget))
                found << window;
        return found;
    }

    template <class Window>
    static Window *window()
    {
        const QList<Window *> found = windows<Window>();
        return found.size() == 1 ? found.first() : nullptr;
    }

    template <class Control>
    static Control *control(QWidget *window, int id)
    {
        return window ? window->findChild<Control *>(QStringLiteral("ctl%1").arg(id)) : nullptr;
    }

    static void click(QWidget *window, int id)
    {
        if (auto *button = control<QAbstractButton>(window, id))
            button->click();
        else
            QFAIL(qPrintable(QStringLiteral("no button %1").arg(id)));
    }
};
