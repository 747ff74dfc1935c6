#pragma once

#include "cli/CliCommand.h"

#include <QList>
#include <optional>

class CliSession;
class Connection;
class ConnectionManager;
class TransferStack;
struct ListingEntry;

// Text that may hold a host's words or names, as the terminal gets it: bytes of a name that were
// no UTF-8 read as Latin-1, control characters made visible.
QString shownText(const QString &text);

// Splits the leading "--flag" options off the arguments; false (after saying so) on an unknown one.
bool takeFlags(QStringList &args, const QStringList &known, QStringList &given, QTextStream &err);

// Remote paths as the user types them: made absolute, and split.
QString absoluteRemote(QString path);
QString remoteParent(const QString &path); // ends in "/"
QString remoteName(const QString &path);
QString joinRemote(const QString &directory, const QString &name);
// A remote directory path without its trailing "/" (the root stays "/").
QString withoutSlash(QString path);

// The name in a folder of the host that the user means by a typed name: the listed name itself, or
// the one listed name that is shown as the typed one (a host's Latin-1 "caf\xe9.txt" typed as
// "café.txt"), which goes back to the host in its own bytes. Names typed in ASCII are taken as
// they are without asking the host; a name nothing matches stays as typed.
QString listedName(CliSession &session, const QString &directory, const QString &typed);
// The same for the last name of a typed path.
QString listedPath(CliSession &session, const QString &typedPath);

// Shows the current file's progress on stderr when it is a terminal.
void showProgress(CliContext &ctx, TransferStack &stack);
// Runs the stack's transfer to its end and gives the exit status.
int transferResult(CliSession &session, TransferStack &stack, CliContext &ctx);

// Lists a directory live, writing the cache file when one is given; nullopt unless the listing
// came in whole.
std::optional<QList<ListingEntry>> listDirectory(CliSession &session, const QString &directory,
                                                 const QString &cacheFile = QString());
// The same on a given connection of the pool.
std::optional<QList<ListingEntry>> listDirectory(ConnectionManager &pool, Connection *connection,
                                                 const QString &directory, const QString &cacheFile = QString());
