#pragma once

#include <QString>
#include <QStringList>

class QLineEdit;
class QListWidget;
class QWidget;

// Small pieces the operation windows share.
namespace Controls {

// Controls carry their resource id in the object name ("ctl101"), for tests and context help.
template <typename Control>
Control *named(Control *control, int id)
{
    control->setObjectName(QStringLiteral("ctl%1").arg(id));
    return control;
}

// A one-line field the user reads but does not edit.
QLineEdit *readOnlyEdit(int id, const QString &text = QString());

// Brings a list control in line with the lines of a record that are still to do. Records take
// their lines from the front (transfers) or the back (deletes), so a list is normally trimmed at
// one end rather than filled again: a stack of thousands of lines costs nothing per redraw.
void mirrorLines(QListWidget *list, const QStringList &lines);

// A host's text or a name as a window may show it: bytes that were no UTF-8 read as Latin-1,
// control and bidi characters made visible.
QString shown(const QString &text);

} // namespace Controls
