#include "shell/FrameActions.h"

#include "shell/CommandRouter.h"
#include "shell/CommandTable.h"
#include "shell/ProgramPictures.h"

#include <QAction>
#include <QFrame>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>

using CommandTable::MenuLine;

FrameActions::FrameActions(QMainWindow *frame, CommandRouter *router, std::function<void(int)> run)
    : QObject(frame), frame_(frame), router_(router), run_(std::move(run))
{
    buildMenus();
    buildToolBar();
    buildShortcuts();
    refresh();
}

QAction *FrameActions::commandAction(int id)
{
    if (QAction *existing = actions_.value(id))
        return existing;
    auto *action = new QAction(CommandTable::menuItemText(id), frame_);
    action->setData(id);
    action->setStatusTip(CommandTable::hint(id));
    action->setToolTip(CommandTable::name(id));
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, id] { run_(id); });
    actions_.insert(id, action);
    return action;
}

void FrameActions::buildMenus()
{
    // menus[d] is the open popup at depth d; a line of depth d goes into menus[d - 1], or
    // into the menu bar at depth 0.
    QList<QMenu *> open;
    for (const MenuLine &line : CommandTable::menuLines()) {
        open.resize(line.depth);
        QMenu *into = line.depth > 0 ? open.at(line.depth - 1) : nullptr;
        switch (line.kind) {
        case MenuLine::Popup: {
            QMenu *menu = into ? into->addMenu(QString::fromLatin1(line.text))
                               : frame_->menuBar()->addMenu(QString::fromLatin1(line.text));
            connect(menu, &QMenu::aboutToShow, this, &FrameActions::refresh);
            menus_.append(menu);
            open.append(menu);
            break;
        }
        case MenuLine::Separator:
            into->addSeparator();
            break;
        case MenuLine::Command:
            into->addAction(commandAction(line.id));
            break;
        }
    }
}

void FrameActions::buildToolBar()
{
    toolBar_ = frame_->addToolBar(QStringLiteral("Tools"));
    toolBar_->setObjectName(QStringLiteral("Tools"));
    toolBar_->setIconSize(QSize(16, 16));
    for (const CommandTable::ToolGadget &gadget : CommandTable::toolGadgets()) {
        if (gadget.id == 0) {
            // A gap of the given width with a thin line in its middle.
            auto *gap = new QFrame(toolBar_);
            gap->setFrameShape(QFrame::VLine);
            gap->setFrameShadow(QFrame::Sunken);
            gap->setFixedWidth(gadget.width);
            toolBar_->addWidget(gap);
            continue;
        }
        QAction *action = commandAction(gadget.id);
        action->setIcon(ProgramPictures::toolPicture(gadget.picture));
        toolBar_->addAction(action);
    }
}

void FrameActions::buildShortcuts()
{
    QList<QKeyCombination> taken;
    for (const CommandTable::Accelerator &accelerator : CommandTable::accelerators()) {
        if (taken.contains(accelerator.key))
            continue; // the earlier entry of the table has the key
        taken.append(accelerator.key);
        auto *shortcut = new QShortcut(QKeySequence(accelerator.key), frame_);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = accelerator.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { run_(id); });
        shortcuts_.append(shortcut);
    }
}

void FrameActions::refresh()
{
    refreshPending_ = false;
    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
        const CommandState state = router_->state(it.key());
        QAction *action = it.value();
        action->setEnabled(state.enabled);
        // Only a checked item shows a check box; an unchecked one shows nothing.
        action->setCheckable(state.checked);
        action->setChecked(state.checked);
    }
}

void FrameActions::scheduleRefresh()
{
    if (refreshPending_)
        return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, &FrameActions::refresh);
}
