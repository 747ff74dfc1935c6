#pragma once

#include "ftp/ConnectionClient.h"

#include <QString>
#include <QtGlobal>

class Connection;

// What a connection asks of the records that drive its operations. The progress dialogs show
// these records; the command-line front end and the tests drive them too. When an operation ends
// the connection calls operationEnded() and forgets the record; the record's owner then
// disposes of it (a dialog closes and deletes itself). A record may also go first: the
// connections that hold it then forget it (see ConnectionClient).

class OperationDriver : public ConnectionClient
{
public:
    // The connection's current step, for the record's status line ("Setting Port", ...).
    virtual void setStatus(const QString &text) = 0;
    virtual void operationEnded() = 0;
};

// One file of a transfer stack.
struct TransferFile
{
    QString localPath;   // native local path
    QString remotePath;  // absolute remote path
    bool retrieve = true;
    bool binary = true;
    qint64 restartOffset = 0; // resumed download: bytes already present locally
    qint64 size = 0;          // expected bytes (remaining ones for a resumed download)
};

class TransferDriver : public OperationDriver
{
public:
    // The connection that serves (or will serve) this record; set when queued or started.
    virtual void setConnection(Connection *connection) = 0;
    // Takes the next file; false when none is left.
    virtual bool NextFile(TransferFile &file) = 0;
    // Files are still waiting (NextFile would give one).
    virtual bool hasMoreFiles() const = 0;
    // The transfer command (RETR, STOR, STOU) was sent: the file's clock starts.
    virtual void RequestSent() = 0;
    virtual void BytesTransferred(qint64 count) = 0;
    // The current file ended: complete, or failed with a reason for the user.
    virtual void fileEnded(bool complete, const QString &reason) = 0;
};

class DeleteDriver : public OperationDriver
{
public:
    virtual bool cancelled() const = 0;
    // Takes the next entry (worked from the end of the list); false when none is left.
    virtual bool NextEntry(QString &path, bool &directory) = 0;
    virtual QString host() const = 0;
    virtual QString currentName() const = 0;
    // The listing-cache file of the directory the delete started in; deleted after each success.
    virtual QString cacheFilePath() const = 0;
    virtual void entryEnded(bool deleted, const QString &reason) = 0;
};

class RenameDriver : public OperationDriver
{
public:
    virtual bool cancelled() const = 0;
    virtual QString directory() const = 0; // absolute, ends in "/"
    virtual QString oldName() const = 0;
    virtual QString newName() const = 0;
    virtual QString host() const = 0;
    virtual void renameEnded(bool done, const QString &reason) = 0;
};

class MakeDirDriver : public OperationDriver
{
public:
    virtual bool cancelled() const = 0;
    virtual QString path() const = 0; // full path of the new directory
    virtual QString host() const = 0;
    virtual void makeDirEnded(bool done, const QString &reason) = 0;
};

class HostToHostDriver : public OperationDriver
{
public:
    // The destination's passive address, as "h1,h2,h3,h4,p1,p2", to be sent to the source in PORT.
    virtual void PassiveAddress(const QString &portText) = 0;
    virtual void StoreSent() = 0;
    virtual void TransferStarted() = 0;
    virtual void TransferComplete() = 0;
    // The current line failed (a refused command); the copy goes on with its next line.
    virtual void Abort(const QString &reason) = 0;
    // A connection of the copy was closed or lost: the copy cannot go on.
    virtual void ConnectionLost(const QString &reason) = 0;
};
