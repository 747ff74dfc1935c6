// Commands that talk to a host: login, quote.

#include "cli/CliSession.h"
#include "settings/LeadingInteger.h"
#include "platform/Prompt.h"
#include "cli/CliHelpers.h"

namespace {

// Passes boxes to the console, except custom-command results, which are the command's output.
class QuotePrompt : public Prompt
{
public:
    QuotePrompt(Prompt &console, QTextStream &out) : console_(console), out_(out) {}

    int ask(const QString &text, const QString &caption, Icon icon, int buttons) override
    {
        if (!caption.startsWith(QLatin1String("Custom Command ")))
            return console_.ask(text, caption, icon, buttons);
        out_ << shownText(text) << Qt::endl;
        const QString finalLine = text.section(QLatin1Char('\n'), -1);
        if (LeadingInteger(finalLine) >= 400)
            ++refused;
        ++completed;
        return Ok;
    }

    Trust trustCertificate(const CertificateQuestion &question) override
    {
        return console_.trustCertificate(question);
    }

    int completed = 0;
    int refused = 0;

private:
    Prompt &console_;
    QTextStream &out_;
};

int login(CliContext &ctx)
{
    if (!ctx.args.isEmpty())
        return ExitUsage;
    CliSession session(ctx, *ctx.prompt);
    if (!session.open())
        return ExitUnreachable;
    return session.waitUntilIdle() ? ExitDone : ExitUnreachable;
}

int quote(CliContext &ctx)
{
    if (ctx.args.isEmpty())
        return ExitUsage;
    QString text = QStringLiteral("CWD /\r\n");
    for (const QString &line : std::as_const(ctx.args)) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n'))) {
            *ctx.err << "a command line may not hold a line break" << Qt::endl;
            return ExitUsage;
        }
        text += line + QLatin1String("\r\n");
    }
    QuotePrompt prompt(*ctx.prompt, *ctx.out);
    CliSession session(ctx, prompt);
    Connection *connection = session.open();
    if (!connection)
        return ExitUnreachable;
    connection->CustomCommands(text);
    const bool idle = session.waitUntilIdle();
    if (!session.loggedIn())
        return ExitUnreachable;
    if (!idle || prompt.completed < ctx.args.size() || prompt.refused > 0)
        return ExitRefused;
    return ExitDone;
}

const CliRegistration loginCommand{{QStringLiteral("login"), true, QStringLiteral("login"), &login}};
const CliRegistration quoteCommand{{QStringLiteral("quote"), true, QStringLiteral("quote LINE..."), &quote}};

} // namespace
