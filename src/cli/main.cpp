// vemalftp-cli: the command-line front end over the engine.
//
//   vemalftp-cli [-v] COMMAND ARGS...          commands that need no host (hosts, config, ...)
//   vemalftp-cli [-v] HOST COMMAND ARGS...     commands run against HOST (login, quote, ...)

#include "cli/CliCommand.h"
#include "cli/CliSession.h"
#include "cli/ConsolePrompt.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>

static const CliCommand *findCommand(const QString &name)
{
    for (const CliCommand &command : cliCommands())
        if (command.name == name)
            return &command;
    return nullptr;
}

// The options a command run against a host takes before HOST.
static const char *const hostOptions = "[-v] [--new] [--timeout N] [--active|--passive] [--accept-new-cert] HOST ";

static int usage(QTextStream &err)
{
    err << "usage:" << Qt::endl;
    for (const CliCommand &command : cliCommands())
        err << "  vemalftp-cli " << (command.needsHost ? hostOptions : "") << command.usage << Qt::endl;
    err << "HOST is a host name from the database or ftp://[user[:password]@]address[:port]," << Qt::endl
        << "an IPv6 address in brackets: ftp://[::1]:2121/" << Qt::endl
        << "ftps:// is TLS from the first byte (port 990), ftpes:// requires TLS after AUTH TLS (port 21)" << Qt::endl;
    return ExitUsage;
}

// The usage line of one command, after the command itself said what was wrong (if it did).
static int commandUsage(QTextStream &err, const CliCommand &command)
{
    err << "usage: vemalftp-cli " << hostOptions << command.usage << Qt::endl;
    return ExitUsage;
}

// Takes the options in front of the command or HOST off args into ctx; false after saying what was
// wrong, and for --help (the caller shows the usage).
static bool takeOptions(QStringList &args, CliContext &ctx, ConsolePrompt &console, QTextStream &err)
{
    while (!args.isEmpty() && args.first().startsWith(QLatin1Char('-')) && args.first() != QLatin1String("-")) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("-v")) {
            ctx.verbose = true;
        } else if (option == QLatin1String("--new")) {
            ctx.newConnection = true;
        } else if (option == QLatin1String("--timeout")) {
            bool number = false;
            ctx.timeoutSeconds = args.isEmpty() ? -1 : args.takeFirst().toInt(&number);
            if (!number || ctx.timeoutSeconds < 0) {
                err << "--timeout takes a number of seconds (0: wait for ever)" << Qt::endl;
                return false;
            }
        } else if (option == QLatin1String("--accept-new-cert")) {
            console.setAcceptNewCertificates(true);
        } else if (option == QLatin1String("--active") || option == QLatin1String("--passive")) {
            const int mode = option == QLatin1String("--active") ? 1 : 2;
            if (ctx.dataMode != 0 && ctx.dataMode != mode) {
                err << "--active and --passive exclude each other" << Qt::endl;
                return false;
            }
            ctx.dataMode = mode;
        } else {
            if (option != QLatin1String("-h") && option != QLatin1String("--help"))
                err << "unknown option " << option << Qt::endl;
            return false;
        }
    }
    return true;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vemalftp"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    ConsolePrompt console(err);

    QStringList args = app.arguments().mid(1);
    CliContext ctx;
    ctx.prompt = &console;
    ctx.status = &console;
    ctx.out = &out;
    ctx.err = &err;
    if (!takeOptions(args, ctx, console, err))
        return usage(err);
    if (args.isEmpty())
        return usage(err);

    const QString notice = SettingsStore::instance().takeNotice();
    if (!notice.isEmpty())
        err << notice << Qt::endl;

    const CliCommand *command = findCommand(args.first());
    if (command && !command->needsHost) {
        args.removeFirst();
    } else {
        if (args.size() < 2)
            return usage(err);
        ctx.host = args.takeFirst();
        command = findCommand(args.first());
        if (!command || !command->needsHost) {
            err << "unknown command " << args.first() << Qt::endl;
            return usage(err);
        }
        args.removeFirst();
    }
    // --new may also follow the command word.
    ctx.newConnection = args.removeAll(QStringLiteral("--new")) > 0 || ctx.newConnection;
    ctx.args = args;
    if (command->needsHost && isHostAddress(ctx.host)) {
        QString error;
        if (!hostRecordFromUrl(ctx.host, &error)) {
            err << error << Qt::endl;
            return commandUsage(err, *command);
        }
    }
    const int status = command->run(ctx);
    if (status == ExitUsage && command->needsHost)
        commandUsage(err, *command);
    out.flush();
    err.flush();
    return status;
}
