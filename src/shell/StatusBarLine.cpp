#include "shell/StatusBarLine.h"

#include "ftp/RemoteName.h"
#include "platform/SafeText.h"

#include <QLabel>

void StatusBarLine::showStatus(const QString &text)
{
    text_ = safeText(shownRemoteName(text)); // it may hold a host's reply or names
    if (label_)
        label_->setText(text_);
}

void StatusBarLine::attach(QLabel *label)
{
    label_ = label;
    if (label_)
        label_->setText(text_);
}
