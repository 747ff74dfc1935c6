#pragma once

#include "panes/CommandTarget.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

// Finds who takes a command: the focused widget and then its parents up to the main window; the
// first CommandTarget that takes the command runs it. When the focus is not inside a pane (a tool
// button, nothing, another window) the command goes to the pane that had the focus last (the first
// pane before any had it, or when that pane is hidden), starting at the widget that had the
// focus in it.
class CommandRouter : public QObject
{
    Q_OBJECT
public:
    explicit CommandRouter(QWidget *window, QObject *parent = nullptr);

    // The panes, first the one that takes commands before any pane had the focus.
    void setPanes(const QList<QWidget *> &panes);

    // The targets a command visits, in order.
    QList<CommandTarget *> chain() const;
    // The look of the command: the first target that takes it decides; nobody: greyed.
    CommandState state(int id) const;
    // Runs the command. False when nobody takes it or the target that takes it has it greyed.
    bool dispatch(int id);

    // The widget commands start from right now.
    QWidget *startWidget() const;
    // The pane commands go to right now (the focused one, else the last focused), or null.
    QWidget *currentPane() const;

signals:
    // The focus moved; enabling may have changed.
    void focusMoved();

private:
    void onFocusChanged(QWidget *old, QWidget *now);
    QWidget *paneOf(QWidget *widget) const;

    QWidget *window_;
    QList<QPointer<QWidget>> panes_;
    QPointer<QWidget> lastPane_; // the pane that had the focus last
};
