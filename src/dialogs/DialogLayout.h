#pragma once

#include <QString>

class QDialog;
class QWidget;

// The layout of the shell's one-question dialogs: a wrapped text, one input control, then the
// OK and Cancel buttons (object names "ctl1" and "ctl2", OK the default button).
class DialogLayout
{
public:
    static void build(QDialog *dialog, const QString &text, QWidget *input, const QString &okText,
                      const QString &cancelText);
};
