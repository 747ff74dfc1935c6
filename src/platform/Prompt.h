#pragma once

#include <QString>

// Message boxes, as the engine asks for them. The windows show a QMessageBox; the command-line
// front end prints one line; tests script the answers and record the texts.
class Prompt
{
public:
    enum class Icon { None, Information, Warning, Question, Stop };
    // HostOptions offers "Host Options…" beside the other buttons, for a failure that the host's
    // options can mend. A prompt that cannot open them leaves the button out; when it is chosen,
    // the asker calls editHost.
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8, HostOptions = 0x10 };

    virtual ~Prompt() = default;

    // Shows text with caption, icon and the given buttons (an OR of Button); returns the button chosen.
    virtual int ask(const QString &text, const QString &caption, Icon icon, int buttons) = 0;

    // Opens the options of a host, after a box answered with HostOptions. Nothing by default.
    virtual void editHost(const QString &hostName) { Q_UNUSED(hostName); }

    // Long work (a transfer, a local copy) has ended after elapsedMs: summary and body say what
    // it was. The windows may tell the desktop; nothing by default.
    virtual void workEnded(const QString &summary, const QString &body, qint64 elapsedMs)
    {
        Q_UNUSED(summary);
        Q_UNUSED(body);
        Q_UNUSED(elapsedMs);
    }

    // An OK box; most failures are reported this way.
    void message(const QString &text, const QString &caption, Icon icon = Icon::Warning)
    {
        ask(text, caption, icon, Ok);
    }
};
