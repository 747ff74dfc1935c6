#pragma once

#include "ftp/Connection.h"
#include "ftp/OperationDrivers.h"

#include <QList>
#include <QObject>
#include <QPointer>

class ConnectionManager;

// Copies files from one host to another without the data passing through this client: the
// destination listens (PASV), the source is told to connect there (PORT) and sends (RETR) while
// the destination stores (STOR). Works through its lines one at a time on two connections of its
// own. Each line waits until both hosts report the file done, in either mode: "background" only
// tells the window to open minimised, out of the way. A line the hosts refuse fails and the copy
// goes on with the next over fresh logins; a connection that closes ends the copy.
class HostToHostTransfer : public QObject, public HostToHostDriver
{
    Q_OBJECT
public:
    struct Line
    {
        QString sourcePath;
        QString destinationPath;
        bool binary = true;
    };

    HostToHostTransfer(ConnectionManager &pool, const QString &sourceHost, const QString &destinationHost,
                       bool background, QObject *parent = nullptr);

    // Puts a line at the top of the list ("source -> destination"), as the copy command does.
    void insertLine(const Line &line);
    // Takes the top line and starts it; with none left the transfer ends.
    void takeNextLine();

    QList<Line> lines() const { return lines_; }
    bool background() const { return background_; }
    QString sourceHost() const { return sourceHost_; }
    QString destinationHost() const { return destinationHost_; }
    QString status() const { return status_; }
    QString busyHost() const { return busyHost_; }
    QString currentFile() const { return currentFile_; }
    int filesCompleted() const { return completed_; }
    int filesFailed() const { return failed_; }
    QStringList failures() const { return failures_; }
    bool finished() const { return finished_; }

    // HostToHostDriver
    void setStatus(const QString &text) override;
    void operationEnded() override {}
    void PassiveAddress(const QString &portText) override;
    void StoreSent() override;
    void TransferStarted() override;
    void TransferComplete() override;
    void Abort(const QString &reason) override;
    void ConnectionLost(const QString &reason) override;

signals:
    void changed();
    void ended();

private:
    bool getConnections();
    void sideChanged(Connection::State state);
    void lineDone(bool complete, const QString &reason);
    void goOn();
    void finish();
    // The TLS side each host takes on the data connection between them; false with the reason
    // when the copy cannot be made without sending data in clear.
    bool planEncryption(QString *reason);
    // The copy cannot be made at all: every line fails with reason, and the user is told.
    void refuse(const QString &reason);

    ConnectionManager &pool_;
    QString sourceHost_, destinationHost_;
    bool background_;
    QList<Line> lines_;
    Line current_;
    bool lineActive_ = false;
    // The next line waits until both hosts have logged in (and shown how they encrypt).
    bool waitingForSessions_ = false;
    Connection::DataTlsRole sourceRole_ = Connection::PlainData;
    Connection::DataTlsRole destinationRole_ = Connection::PlainData;
    bool resetSides_ = false; // the sides start fresh sessions before the next line
    int sidesComplete_ = 0;
    QPointer<Connection> source_, destination_;
    QString status_, busyHost_, currentFile_;
    QString passiveAddress_;
    int completed_ = 0, failed_ = 0;
    QStringList failures_;
    bool finished_ = false;
};
