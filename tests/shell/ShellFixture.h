#pragma once

// What the shell's tests share: a dialog runner that answers the shell's dialogs as a user
// would, by typing into their controls and pressing their buttons, and a fresh settings store
// with a started application.

#include "settings/StoreFixture.h"
#include "support/RecordingPrompt.h"

#include "settings/AppValues.h"
#include "dialogs/DialogRunner.h"
#include "shell/FTPApp.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QQueue>
#include <QStringList>

#include <functional>
#include <memory>

class ScriptedDialogs : public DialogRunner
{
public:
    using Step = std::function<void(QDialog &)>;

    // Each dialog takes the next step; with none left it is cancelled.
    int run(QDialog &dialog) override
    {
        titles << dialog.windowTitle();
        const Step step = steps.isEmpty() ? cancel() : steps.dequeue();
        step(dialog);
        return dialog.result();
    }

    static QAbstractButton *button(QDialog &dialog, int id)
    {
        return dialog.findChild<QAbstractButton *>(QStringLiteral("ctl%1").arg(id));
    }

    // Types text into edit 101 and presses OK.
    static Step type(const QString &text)
    {
        return [text](QDialog &dialog) {
            if (auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("ctl101")))
                edit->setText(text);
            if (QAbstractButton *ok = button(dialog, 1))
                ok->click();
        };
    }
    static Step cancel()
    {
        return [](QDialog &dialog) {
            if (QAbstractButton *cancelButton = button(dialog, 2))
                cancelButton->click();
            else
                dialog.reject();
        };
    }

    QStringList titles;
    QQueue<Step> steps;
};

// A fresh store per test, with the e-mail address and the cache folder stored unless a test
// wants a first start.
struct ShellFixture
{
    explicit ShellFixture(bool seeded = true)
    {
        if (seeded) {
            SetAppValue(QStringLiteral("EMail"), QStringLiteral("tester@example.org"));
            SetAppValue(QStringLiteral("CachePath"), QStringLiteral("C:\\cache\\"));
        }
    }

    FTPApp &start()
    {
        app = std::make_unique<FTPApp>(prompt, dialogs);
        app->start();
        return *app;
    }

    StoreFixture store;
    RecordingPrompt prompt;
    ScriptedDialogs dialogs;
    std::unique_ptr<FTPApp> app;
};
