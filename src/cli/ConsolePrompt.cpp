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

Prompt::Trust ConsolePrompt::trustCertificate(const CertificateQuestion &question)
{
    err_ << "The certificate of " << oneLine(question.host) << " (" << oneLine(question.address)
         << ") is not vouched for by this system's certificate authorities:" << Qt::endl;
    for (const QString &problem : question.problems)
        err_ << "  " << oneLine(problem) << Qt::endl;
    err_ << "  Subject:  " << oneLine(question.subject) << Qt::endl
         << "  Issuer:   " << oneLine(question.issuer) << Qt::endl
         << "  Valid:    " << question.validFrom << " to " << question.validUntil << Qt::endl
         << "  SHA-256:  " << question.sha256 << Qt::endl;
    if (acceptNew_) {
        err_ << "Trusted always (--accept-new-cert); its fingerprint is stored." << Qt::endl;
        return Trust::Always;
    }
    if (!isatty(STDIN_FILENO)) {
        err_ << "Refused: no terminal to ask on. Run again with --accept-new-cert to trust it always." << Qt::endl;
        return Trust::Refuse;
    }
    err_ << "Trust it [o]nce, [a]lways, or [n]ot at all? " << Qt::flush;
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return Trust::Refuse;
    const QByteArray answer = in.readLine().trimmed().toLower();
    if (answer.startsWith('a'))
        return Trust::Always;
    return answer.startsWith('o') ? Trust::Once : Trust::Refuse;
}

void ConsolePrompt::showStatus(const QString &text)
{
    err_ << oneLine(text) << Qt::endl;
}
