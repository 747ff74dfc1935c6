#pragma once

#include "panes/CommandTarget.h"

#include <QMainWindow>

#include <functional>

class CommandRouter;
class ConnectionManager;
class CSplitter;
class DialogRunner;
class FrameActions;
class Prompt;
class QLabel;
class QToolBar;

// The main window "Vemal Ftp": menus, the "Tools" tool bar, the status bar and the splitter with
// the two panes. Routes every command to the focused window and up (CommandRouter) and takes the
// ones that are its own: Close, Help Topics, About, the e-mail and cache path dialogs and, when
// no pane takes it, command 13 to show or hide the tool bar. Placed at the stored rectangle when
// all four values are there; writes the rectangle when it closes.
class FTPFrame : public QMainWindow, public CommandTarget
{
    Q_OBJECT
public:
    struct Services
    {
        ConnectionManager *pool = nullptr;
        Prompt *prompt = nullptr;
        DialogRunner *dialogs = nullptr;
        std::function<void(int)> showHelp; // a topic, or 0 for the contents
    };

    FTPFrame(CSplitter *splitter, const Services &services);
    ~FTPFrame() override;

    CSplitter *splitter() const { return splitter_; }
    CommandRouter *router() const { return router_; }
    FrameActions *actions() const { return actions_; }
    QToolBar *toolBar() const;
    bool toolBarShown() const;
    QLabel *statusLabel() const { return statusLabel_; }
    // True when the stored rectangle was applied.
    bool placedFromStore() const { return placedFromStore_; }

    // Runs a command as a menu item, button or key would: routed, and only when not greyed.
    bool runCommand(int id);

    bool handleCommand(int id) override;
    bool commandState(int id, CommandState &state) override;

signals:
    // The frame accepted a close request; the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void placeFromStore();
    void updateTitle();
    void writeRectangle() const;
    void registerHelp();
    void fitFrameToStoredSize();

    CSplitter *splitter_;
    Services services_;
    CommandRouter *router_ = nullptr;
    FrameActions *actions_ = nullptr;
    QLabel *statusLabel_ = nullptr;
    bool placedFromStore_ = false;
    // The stored outer size while the desktop's frame around the window is not known yet, and
    // the inner size given meanwhile.
    QSize storedOuterSize_;
    QSize provisionalSize_;
};
