#include "cli/CliCommand.h"

static QList<CliCommand> &registry()
{
    static QList<CliCommand> commands;
    return commands;
}

const QList<CliCommand> &cliCommands()
{
    return registry();
}

CliRegistration::CliRegistration(const CliCommand &command)
{
    registry().append(command);
}
