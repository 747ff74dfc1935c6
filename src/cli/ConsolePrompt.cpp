#include "cli/ConsolePrompt.h"

#include "cli/CliHelpers.h"

#include <QFile>
#include <unistd.h>

ConsolePrompt::ConsolePrompt(QTextStream &err) : err_(err) {}

// One line of the console, where a host's reply or a name can do nothing to the terminal.
static QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QString()).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return shownText(text.trimmed());
}

int ConsolePrompt::ask(const QString &text, const QString &caption, Icon, int buttons)
{
    err_ << oneLine(caption) << ": " << oneLine(text) << Qt::endl;
    if (!(buttons & (Yes | No)))
        return buttons & Ok ? Ok : Cancel;
    if (!isatty(STDIN_FILENO))
        return buttons & No ? No : Cancel;
    err_ << "[y/n] " << Qt::flush;
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return No;
    const QByteArray answer = in.readLine().trimmed().toLower();
    return answer.startsWith('y') ? Yes : No;
}

void ConsolePrompt::showStatus(const QString &text)
{
    err_ << oneLine(text) << Qt::endl;
}
