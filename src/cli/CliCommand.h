#pragma once

#include <QStringList>
#include <QTextStream>

class Prompt;
class StatusLine;

// Exit statuses of vemalftp-cli.
enum CliExit { ExitDone = 0, ExitRefused = 1, ExitUsage = 2, ExitUnreachable = 3 };

// What a command gets: its arguments (after the command word), the host argument when the command
// takes one, the -v flag and the console's prompt and status line.
struct CliContext
{
    QString host;       // empty for commands that need no host
    QStringList args;
    bool verbose = false;
    bool newConnection = false; // --new: a connection of its own instead of the host's shared one
    int timeoutSeconds = -1;    // --timeout N: seconds without an answer before giving up; -1: the stored value
    int dataMode = 0;           // --active 1, --passive 2: data connections of this run; 0: as set
    Prompt *prompt = nullptr;
    StatusLine *status = nullptr;
    QTextStream *out = nullptr; // stdout
    QTextStream *err = nullptr; // stderr
};

// One command of the front end. Each source file registers its commands with a static
// CliRegistration, so adding a command touches no central table.
struct CliCommand
{
    QString name;
    bool needsHost;
    QString usage; // one line, shown by the usage text
    int (*run)(CliContext &);
};

const QList<CliCommand> &cliCommands();

struct CliRegistration
{
    explicit CliRegistration(const CliCommand &command);
};
