#include "shell/MessageBoxPrompt.h"

#include "ftp/RemoteName.h"
#include "platform/SafeText.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(Prompt::Icon icon)
{
    switch (icon) {
    case Prompt::Icon::Information:
        return QMessageBox::Information;
    case Prompt::Icon::Warning:
        return QMessageBox::Warning;
    case Prompt::Icon::Question:
        return QMessageBox::Question;
    case Prompt::Icon::Stop:
        return QMessageBox::Critical;
    case Prompt::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonPair
{
    int prompt;
    QMessageBox::StandardButton box;
};

constexpr ButtonPair kButtons[] = {
    {Prompt::Ok, QMessageBox::Ok},
    {Prompt::Cancel, QMessageBox::Cancel},
    {Prompt::Yes, QMessageBox::Yes},
    {Prompt::No, QMessageBox::No},
};

} // namespace

int MessageBoxPrompt::ask(const QString &text, const QString &caption, Icon icon, int buttons)
{
    QMessageBox::StandardButtons standard;
    for (const ButtonPair &pair : kButtons) {
        if (buttons & pair.prompt)
            standard |= pair.box;
    }
    if (!standard)
        standard = QMessageBox::Ok;
    // A host's reply or name shows as it is: as plain text, with its control characters visible.
    QMessageBox box(boxIcon(icon), safeText(shownRemoteName(caption)), QString(), standard, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setText(safeText(shownRemoteName(text))); // a host's name bytes read as Latin-1, controls visible
    const int chosen = box.exec();
    for (const ButtonPair &pair : kButtons) {
        if (chosen == pair.box)
            return pair.prompt;
    }
    // Closed with Escape or the close box: the box's way out.
    return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
}
