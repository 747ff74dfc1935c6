#include "shell/CommandRouter.h"

#include <QApplication>
#include <QWidget>

CommandRouter::CommandRouter(QWidget *window, QObject *parent) : QObject(parent), window_(window)
{
    connect(qApp, &QApplication::focusChanged, this, &CommandRouter::onFocusChanged);
}

void CommandRouter::setPanes(const QList<QWidget *> &panes)
{
    panes_.clear();
    for (QWidget *pane : panes)
        panes_.append(pane);
    lastPane_.clear();
}

QWidget *CommandRouter::paneOf(QWidget *widget) const
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        for (const QPointer<QWidget> &pane : panes_) {
            if (pane == w)
                return w;
        }
        if (w == window_)
            break;
    }
    return nullptr;
}

void CommandRouter::onFocusChanged(QWidget *, QWidget *now)
{
    if (QWidget *pane = now ? paneOf(now) : nullptr)
        lastPane_ = pane;
    emit focusMoved();
}

QWidget *CommandRouter::currentPane() const
{
    return paneOf(startWidget());
}

QWidget *CommandRouter::startWidget() const
{
    QWidget *focus = QApplication::focusWidget();
    if (focus && paneOf(focus))
        return focus;
    QWidget *pane = lastPane_;
    // A pane that was hidden since (the second pane when one is shown) no longer takes commands.
    if (!pane || !pane->isVisibleTo(window_)) {
        pane = nullptr;
        for (const QPointer<QWidget> &each : panes_) {
            if (each && each->isVisibleTo(window_)) {
                pane = each;
                break;
            }
        }
    }
    if (!pane)
        return window_;
    // The widget of the pane that had the focus last, if any.
    QWidget *inside = pane->focusWidget();
    return inside && pane->isAncestorOf(inside) && inside->isVisibleTo(pane) ? inside : pane;
}

QList<CommandTarget *> CommandRouter::chain() const
{
    QList<CommandTarget *> targets;
    for (QWidget *w = startWidget(); w; w = w->parentWidget()) {
        if (auto *target = dynamic_cast<CommandTarget *>(w))
            targets.append(target);
        if (w == window_)
            break;
    }
    return targets;
}

CommandState CommandRouter::state(int id) const
{
    for (CommandTarget *target : chain()) {
        CommandState state;
        if (target->commandState(id, state))
            return state;
    }
    return CommandState{false, false};
}

bool CommandRouter::dispatch(int id)
{
    for (CommandTarget *target : chain()) {
        CommandState state;
        if (target->commandState(id, state) && !state.enabled)
            return false;
        if (target->handleCommand(id))
            return true;
    }
    return false;
}
