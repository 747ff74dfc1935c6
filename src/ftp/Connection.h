#pragma once

#include "ftp/ReplyReader.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>

class AddressFinder;
class ConnectionManager;
class ListInfo;
class QTcpSocket;
class SessionMonitor;

// One FTP control connection to one host: resolves the name without blocking, connects, logs in
// (USER, PASS, SYST), then serves a queue of operations one at a time, newest first. Each
// operation is a small state machine driven by the host's replies.
class Connection : public QObject
{
    Q_OBJECT
public:
    enum State {
        AwaitGreeting = 0,
        AwaitUserReply = 1,
        AwaitPassReply = 2,
        AwaitDeleteReply = 3,
        AwaitRnfrReply = 5,
        AwaitRntoReply = 6,
        AwaitMkdReply = 7,
        AwaitTransferStart = 9,
        Transferring = 10,
        Idle = 11,
        AwaitPortReply = 12,
        AwaitTypeReply = 13,
        AwaitPasvReply = 14,
        AwaitRestReply = 15,
        Connecting = 16,
        Closed = 17,
        AwaitDestCwdReply = 18,
        AwaitSystReply = 19,
        AwaitRenameCwdReply = 20,
        AwaitDeleteCwdReply = 21,
        AwaitMkdirCwdReply = 22,
        AwaitWalkMkdReply = 23,
        AwaitFileCwdReply = 24,
        CustomRunning = 25,
    };
    Q_ENUM(State)

    enum Kind {
        ListDirKind = 0,
        TransferFilesKind = 1,
        DeleteFilesKind = 2,
        RenameFileKind = 3,
        MakeDirKind = 4,
        HostPassiveStoreKind = 5,
        HostActiveRetrieveKind = 6,
        CustomCommandsKind = 7,
    };

    // One queued operation; the queue owns it until it is taken.
    struct CommandStruct
    {
        int type = CustomCommandsKind;
        QString text;               // directory (0), remote path (5, 6) or command text (7)
        ListInfo *listInfo = nullptr; // kind 0: the job that asked for the listing
        QString cacheFile;          // kind 0: cache file for the listing; empty = do not cache
        QObject *job = nullptr;     // kinds 1 to 6: the record that drives the operation
        QString portText;           // kind 6: PORT argument
        bool binary = true;         // kinds 5, 6: image type
    };

    Connection(const QString &portText, const QString &host, const QString &userName,
               const QString &password, unsigned hostIndex, ConnectionManager *pool, int hostType);
    ~Connection() override;

    State state() const { return state_; }
    int hostType() const { return hostType_; }
    unsigned hostIndex() const { return hostIndex_; }
    bool closeWhenIdle() const { return closeWhenIdle_; }
    void setCloseWhenIdle(bool on) { closeWhenIdle_ = on; }
    int cacheFileNumber() const { return cacheFileNumber_; }
    qsizetype queuedCount() const { return commands_.size(); }
    const QHostAddress &peerAddress() const { return peerAddress_; }
    quint16 peerPort() const { return peerPort_; }

    SessionMonitor *monitor() const { return monitor_; }
    void setMonitor(SessionMonitor *monitor) { monitor_ = monitor; }

    // Queueing: start at once when idle, else queue. The text is one or more lines, each ending
    // "\r\n", the first of them a CWD.
    void CustomCommands(const QString &text);
    // Starts or queues any operation record (the typed queueing operations build on this).
    void queueCommand(std::unique_ptr<CommandStruct> command);

    // Drops the control connection at once and logs in again; the queue is emptied.
    void Reconnect();
    void ClearQueue();
    void CloseAttachedWindows();
    // Ends everything this connection runs and asks the pool to remove it.
    void AbortTransfers();

signals:
    void stateChanged(Connection::State state);

private:
    // Connecting and login.
    void addressFound(const QHostAddress &address);
    void startConnect();
    void socketConnected();
    void socketError();
    void socketClosed();
    void loginFailed(const QString &text, const QString &caption);
    void setState(State state);

    // Replies.
    void readReplies();
    void dispatchReply(int code, const QString &line);
    void handleGreeting(int code);
    void handleUserReply(int code);
    void handlePassReply(int code);
    void handleSystReply(int code, const QString &line);
    void handleCustomReply(int code, const QString &line);
    void handleOperationReply(int code, const QString &line);

    // Commands.
    bool sendCommand(const QString &command);
    void sendRaw(const QByteArray &bytes, const QString &shown);
    void TakeNextCommand();
    void startCommand(const CommandStruct &command);
    void startCustomCommands(const QString &text);
    bool alive() const;

    void showMessage(const QString &text, const QString &caption);
    void showStatus(const QString &text);

    QList<CommandStruct *> commands_;
    int cacheFileNumber_ = -1;
    ConnectionManager *pool_;
    int hostType_;
    unsigned hostIndex_;
    QString userName_;
    QString password_;
    bool swallow226_ = false;
    bool closeWhenIdle_ = false;
    QPointer<AddressFinder> addressFinder_;
    SessionMonitor *monitor_ = nullptr;
    QHostAddress peerAddress_;
    quint16 peerPort_ = 21;
    State state_ = Connecting;
    QTcpSocket *socket_ = nullptr;
    ReplyReader reader_;
    QString replyText_;
    int customLines_ = 0;
    int customReplies_ = 0;
};

// Display form of a protocol line: cut at the first line end, tabs become three spaces and other
// control characters blanks. PASS arguments are masked.
QString monitorLine(const QString &line, bool sent);
