#pragma once

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>

class CommandRouter;
class QAction;
class QMainWindow;
class QMenu;
class QShortcut;
class QToolBar;

// The frame's menus, tool bar and keys, built from CommandTable. Every menu item and button is a
// QAction carrying its command id, with the command's hint as status tip; each key of the
// accelerator table is a window-wide shortcut. All of them send their id to run. Check marks and
// enabling come from the router: menus refresh when they open, the tool bar whenever refresh()
// is called.
class FrameActions : public QObject
{
    Q_OBJECT
public:
    FrameActions(QMainWindow *frame, CommandRouter *router, std::function<void(int)> run);

    QAction *action(int id) const { return actions_.value(id); }
    QList<int> commandIds() const { return actions_.keys(); }
    QToolBar *toolBar() const { return toolBar_; }
    QList<QMenu *> menus() const { return menus_; }
    QList<QShortcut *> shortcuts() const { return shortcuts_; }

    // Sets each action's check mark and enabling from the command's current state.
    void refresh();
    // Calls refresh once the current event is done, however often it is asked for meanwhile.
    void scheduleRefresh();

private:
    QAction *commandAction(int id);
    void buildMenus();
    void buildToolBar();
    void buildShortcuts();

    QMainWindow *frame_;
    CommandRouter *router_;
    std::function<void(int)> run_;
    QHash<int, QAction *> actions_;
    QList<QMenu *> menus_;
    QList<QShortcut *> shortcuts_;
    QToolBar *toolBar_ = nullptr;
    bool refreshPending_ = false;
};
