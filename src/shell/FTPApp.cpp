#include "shell/FTPApp.h"

#include "panes/Window.h"
#include "platform/Prompt.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "settings/SettingsKeys.h"
#include "settings/StarterHosts.h"
#include "shell/CSplitter.h"
#include "dialogs/DialogRunner.h"
#include "shell/EmailDialog.h"
#include "shell/FTPFrame.h"
#include "shell/HelpContexts.h"
#include "shell/HelpWindow.h"
#include "shell/ProgramPictures.h"

#include <QApplication>
#include <QMetaObject>

FTPApp::FTPApp(Prompt &prompt, DialogRunner &dialogs, QObject *parent)
    : QObject(parent), prompt_(prompt), dialogs_(dialogs)
{
    // A settings file that could not be used was moved aside; say where before anything else.
    const QString notice = SettingsStore::instance().takeNotice();
    if (!notice.isEmpty())
        prompt_.message(notice, QStringLiteral("Settings"), Prompt::Icon::Warning);
    CreateDefaultHosts();
}

FTPApp::~FTPApp()
{
    // The frame goes first: the splitter and the panes write their values as they are destroyed,
    // and the help window goes with the frame. Then the pool closes every connection.
    frame_.reset();
    delete help_;
    pool_.reset();
}

CSplitter *FTPApp::splitter() const
{
    return frame_ ? frame_->splitter() : nullptr;
}

void FTPApp::start()
{
    helpContexts_ = std::make_unique<HelpContexts>([this](int topic) { showHelp(topic); });
    // The first start keeps listings in the desktop's cache folder without asking; Edit Cache Path
    // changes it.
    pool_ = std::make_unique<ConnectionManager>(prompt_, status_);

    QString email;
    if (GetAppValue(QStringLiteral("EMail"), email, 500) != 0)
        askEmail();

    auto *splitter = new CSplitter(pool_.get());
    FTPFrame::Services services;
    services.pool = pool_.get();
    services.prompt = &prompt_;
    services.dialogs = &dialogs_;
    services.showHelp = [this](int topic) { showHelp(topic); };
    frame_ = std::make_unique<FTPFrame>(splitter, services);
    status_.attach(frame_->statusLabel());
    connect(frame_.get(), &FTPFrame::closed, this, &FTPApp::closed);
    QGuiApplication::setWindowIcon(ProgramPictures::appIcon());
    frame_->show();

    // Both panes exist now; each opens its start location once the event loop runs.
    for (int n : {1, 0})
        QMetaObject::invokeMethod(splitter->pane(n), &Window::startUpNavigation, Qt::QueuedConnection);
}

void FTPApp::askEmail()
{
    // Cancel leaves EMail missing: anonymous logins send an empty address, and the next start
    // asks again.
    EmailDialog dialog(prompt_);
    dialogs_.run(dialog);
}

void FTPApp::showHelp(int topic)
{
    // Help asked for in a modal dialog belongs to that dialog: a window outside it would take no
    // input until the dialog closes. It goes with the dialog.
    QWidget *owner = QApplication::activeModalWidget();
    if (!owner)
        owner = frame_.get();
    if (!help_)
        help_ = new HelpWindow(owner);
    else if (help_->parentWidget() != owner)
        help_->setParent(owner, help_->windowFlags());
    if (topic > 0)
        help_->showTopic(topic);
    else
        help_->showContents();
}
