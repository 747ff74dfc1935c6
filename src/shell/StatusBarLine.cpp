#include "shell/StatusBarLine.h"

#include <QLabel>

void StatusBarLine::showStatus(const QString &text)
{
    text_ = text;
    if (label_)
        label_->setText(text);
}

void StatusBarLine::attach(QLabel *label)
{
    label_ = label;
    if (label_)
        label_->setText(text_);
}
