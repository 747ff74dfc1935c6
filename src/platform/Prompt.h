#pragma once

#include <QString>

// Message boxes, as the engine asks for them. The windows show a QMessageBox; the command-line
// front end prints one line; tests script the answers and record the texts.
class Prompt
{
public:
    enum class Icon { None, Information, Warning, Question, Stop };
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };

    virtual ~Prompt() = default;

    // Shows text with caption, icon and the given buttons (an OR of Button); returns the button chosen.
    virtual int ask(const QString &text, const QString &caption, Icon icon, int buttons) = 0;

    // An OK box; most failures are reported this way.
    void message(const QString &text, const QString &caption, Icon icon = Icon::Warning)
    {
        ask(text, caption, icon, Ok);
    }
};
