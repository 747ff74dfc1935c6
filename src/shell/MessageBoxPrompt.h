#pragma once

#include "platform/Prompt.h"

// The program's message boxes: a modal QMessageBox over the active window.
class MessageBoxPrompt : public Prompt
{
public:
    int ask(const QString &text, const QString &caption, Icon icon, int buttons) override;
};
