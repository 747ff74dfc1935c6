#pragma once

#include "shell/HelpWindow.h"
#include "shell/StatusBarLine.h"

#include <QObject>
#include <QPointer>

#include <memory>

class ConnectionManager;
class CSplitter;
class DialogRunner;
class FTPFrame;
class HelpContexts;
class Prompt;

// The application object: starts everything in order and stops it in order. Owns the
// connection pool for the whole run, the main frame with its splitter and panes, and the help
// window with the context-help table of every window.
//
// Start-up: starter hosts on a first start; the pool, whose listing cache asks with the
// "Cache Path" dialog when no path is stored; "Change EMail Address" when no address is stored;
// the splitter with its panes; the frame at its stored rectangle; then each pane's start-up
// navigation, posted. Shutdown (destructor): the frame and the splitter with its panes write
// their values, then the pool closes every connection and writes its own.
class FTPApp : public QObject
{
    Q_OBJECT
public:
    FTPApp(Prompt &prompt, DialogRunner &dialogs, QObject *parent = nullptr);
    ~FTPApp() override;

    // Runs the start-up and shows the frame.
    void start();

    ConnectionManager *pool() const { return pool_.get(); }
    FTPFrame *frame() const { return frame_.get(); }
    CSplitter *splitter() const;
    StatusBarLine &statusLine() { return status_; }
    // The help window once help was asked for.
    HelpWindow *helpWindow() const { return help_; }

    // Opens the help window at a topic, or at the contents for 0 and unknown topics.
    void showHelp(int topic);

signals:
    // The frame accepted a close request.
    void closed();

private:
    void askEmail();

    Prompt &prompt_;
    DialogRunner &dialogs_;
    StatusBarLine status_;
    std::unique_ptr<ConnectionManager> pool_;
    std::unique_ptr<FTPFrame> frame_;
    std::unique_ptr<HelpContexts> helpContexts_;
    QPointer<HelpWindow> help_;
};
