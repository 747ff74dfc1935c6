#pragma once

#include "cli/CliCommand.h"
#include "ftp/Connection.h"

#include <QPointer>
#include <QStringList>

class CliSession;
class MakeDirRecord;

// Makes folders on a host for the command line's tree copies, one at a time on the host's shared
// connection, waiting for each. A folder the host already has counts as made: its refusal is not
// shown. Any other refusal is shown as the engine words it, with the folder that was not made.
class RemoteFolders
{
public:
    RemoteFolders(CliContext &ctx, CliSession &session, const QString &host);

    // Makes the folders (absolute paths, each after the folders that hold it). Gives ExitDone when
    // all are there, ExitRefused when the host refused one, ExitUnreachable when the connection
    // never logged in.
    int make(const QStringList &paths);
    // Each level of an absolute remote directory: "/a/b/" -> "/a", "/a/b". A copy of a tree
    // without files makes these first, as its files would have.
    static QStringList levelsOf(const QString &directory);

private:
    enum class Outcome { Made, Refused, Closed };
    void watch(Connection *connection);
    Outcome makeOne(Connection *connection, const QString &path);
    bool runRecord(Connection *connection, MakeDirRecord &record);
    bool isFolder(Connection *connection, const QString &path);

    CliContext &ctx_;
    CliSession &session_;
    QString host_;
    QObject guard_; // ends the login watch with this object
    QPointer<Connection> watched_;
    bool loggedIn_ = false;
};
