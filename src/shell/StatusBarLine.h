#pragma once

#include "platform/StatusLine.h"

#include <QPointer>
#include <QString>

class QLabel;

// The pool's status line in the frame's status bar. Texts that arrive before the frame exists
// are kept and shown once the label is attached.
class StatusBarLine : public StatusLine
{
public:
    void showStatus(const QString &text) override;
    void attach(QLabel *label);
    QString text() const { return text_; }

private:
    QPointer<QLabel> label_;
    QString text_;
};
