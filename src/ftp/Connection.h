#pragma once

#include "ftp/ReplyReader.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

#include "ftp/ConnectionOperation.h"
#include "ftp/DataChannel.h"
#include "ftp/HostFeatures.h"
#include "ftp/TlsTrust.h"
#include "ftp/OperationDrivers.h"
#include "platform/Prompt.h"

class AddressFinder;
class ConnectionClient;
class ConnectionOwner;
class ListingDelivery;
class ListingJob;
class ListTransfer;
class QSslConfiguration;
class QSslSocket;
class QTcpSocket;
class SessionMonitor;
class QTimer;
class Transfer;

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
        AwaitWalkMkdReply = 23,
        AwaitFileCwdReply = 24,
        // An operation object (delete, rename, create directory, custom commands) runs its
        // command sequence.
        OperationRunning = 26,
        // Passive mode: the host named its data port; the client's connection to it is being made.
        AwaitDataConnect = 27,
        // The end of the login: FEAT, then OPTS UTF8 ON when the host offers UTF-8.
        AwaitFeatReply = 28,
        AwaitOptsReply = 29,
        // An idle connection sent NOOP so that routers keep it; work that arrives waits for the answer.
        AwaitNoopReply = 30,
        // Encryption: AUTH TLS sent; the TLS handshake (and the decision whether to trust the
        // host's certificate); PBSZ 0 and PROT P after the login.
        AwaitAuthReply = 31,
        AwaitHandshake = 32,
        AwaitPbszReply = 33,
        AwaitProtReply = 34,
        // A host-to-host side turns the client's side of TLS on its data connections on or off.
        AwaitSscnReply = 35,
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
        QString text;                   // directory (0), remote path (5, 6) or command text (7)
        ListingJob *listInfo = nullptr; // kind 0: the job that asked for the listing
        QString cacheFile;              // kind 0: cache file for the listing; empty = do not cache
        OperationDriver *job = nullptr; // kinds 1 to 6: the record that drives the operation
        QString portText;               // kind 6: PORT argument
        bool binary = true;             // kinds 5, 6: image type
        int dataTlsRole = PlainData;    // kinds 5, 6
    };

    // The side of TLS a host-to-host side takes on the data connection between the hosts.
    enum DataTlsRole {
        PlainData = 0,     // the data goes in clear: neither host encrypts data connections
        DataTlsClient = 1, // this host connects as the TLS client (CPSV, or SSCN ON)
        DataTlsServer = 2, // this host answers as the TLS server (as with any client; SSCN OFF)
    };

    // Host types: 0 detects the type from the SYST reply.
    enum HostType { DetectHost = 0, UnixHost = 1, VmsHost = 2, WindowsHost = 3 };

    // hostDataMode is the host's own DataMode: 0 takes the owner's, 1 active, 2 passive;
    // encryption its Encryption (0 to 3).
    Connection(const QString &portText, const QString &host, const QString &userName,
               const QString &password, unsigned hostIndex, ConnectionOwner *pool, int hostType,
               int hostDataMode = 0, int encryption = 0);
    ~Connection() override;

    State state() const { return state_; }
    int hostType() const { return hostType_; }
    unsigned hostIndex() const { return hostIndex_; }
    bool closeWhenIdle() const { return closeWhenIdle_; }
    void setCloseWhenIdle(bool on) { closeWhenIdle_ = on; }
    int cacheFileNumber() const { return cacheFileNumber_; }
    qsizetype queuedCount() const { return commands_.size(); }
    // A listing with this id is being fetched or waits in the queue.
    bool hasListing(int listingId) const;
    // The listing with this id is arriving now (its cache file still holds the one before, or none).
    bool isListing(int listingId) const { return listingId >= 0 && cacheFileNumber_ == listingId; }
    const QHostAddress &peerAddress() const { return peerAddress_; }
    // What the host offered in its answer to FEAT (nothing until the login has asked).
    const HostFeatures &features() const { return features_; }
    // How the next data connection is asked for: the host's or the program's mode, and what the
    // host has refused so far.
    DataChannel::Way dataWay() const;
    quint16 peerPort() const { return peerPort_; }

    // The session's data connections are encrypted (PROT P was accepted).
    bool protectsData() const { return protectData_; }
    // Logged in (with encryption, FEAT and the rest settled) since the last connect.
    bool sessionReady() const { return sessionReady_; }

    SessionMonitor *monitor() const { return monitor_; }
    void setMonitor(SessionMonitor *monitor) { monitor_ = monitor; }

    // Queueing operations: each starts at once when the connection is idle, else it is queued.
    void ListDir(const QString &cacheFile, ListingJob *job, const QString &directory);
    void TransferFiles(TransferDriver *driver);
    void DeleteFiles(DeleteDriver *driver);
    void RenameFile(RenameDriver *driver);
    void MakeDir(MakeDirDriver *driver);
    void HostPassiveStore(const QString &remotePath, bool binary, HostToHostDriver *driver,
                          DataTlsRole role = PlainData);
    void HostActiveRetrieve(const QString &remotePath, bool binary, const QString &portText,
                            HostToHostDriver *driver, DataTlsRole role = PlainData);
    // The text is one or more lines, each ending "\r\n", the first of them a CWD.
    void CustomCommands(const QString &text);
    // Starts or queues any operation record (the typed queueing operations build on this).
    void queueCommand(std::unique_ptr<CommandStruct> command);

    // Drops the running file and goes on with the rest of the batch on a fresh login.
    void SkipCurrentFile();
    // Removes the queued records that carry this driver (a transfer closed while it waited).
    void removeQueued(OperationDriver *driver);
    // Drops the control connection at once and logs in again; the queue is emptied.
    void Reconnect();
    // Closes the control connection for good (a walk's own connection when the walk ends); the
    // pool reaps it.
    void close();
    void ClearQueue();
    void CloseAttachedWindows();
    // Ends everything this connection runs and asks the pool to remove it.
    void AbortTransfers();

signals:
    void stateChanged(Connection::State state);

private:
    friend class ConnectionClient;
    friend class ConnectionOperation;
    // A record or job this connection holds is being destroyed: every pointer to it goes, and an
    // operation that was running for it is given up.
    void forgetClient(ConnectionClient *client);
    void takeOn(OperationDriver *driver, ListingJob *job);
    // The control connection was closed, reset or timed out: the running operation fails with
    // text, everything queued is ended, and the connection is closed.
    void connectionLost(const QString &text, const QString &caption = QString());
    void failRunningOperation(const QString &text);
    // The listing under way ends incomplete and its job is given up.
    void discardListing();
    // While a box shows, neither the timeout nor the keep-alive runs: the time the user takes is
    // not the host's, and no NOOP may slip in while the operation behind the box waits.
    void holdTimers();
    void resumeTimers();
    // Drops the control connection and logs in again, keeping the queue.
    void restartSession();
    void dropSocket(bool orderly);
    // The timeout: armed while the connection waits for the host, re-armed by every byte.
    void armWatchdog();
    void watchdogExpired();
    // Something came from the host (a reply, data) or went to it: the timeout starts again.
    void noteActivity() { activity_.restart(); }
    // Ends every queued operation: lost, the connection is gone (a host-to-host copy cannot go
    // on); otherwise the queue was only emptied (a host-to-host line fails, the copy goes on).
    void endQueue(bool lost, const QString &text);
    // Connecting and login.
    void addressesFound(const QList<QHostAddress> &addresses);
    // The next of the host's addresses after one could not be reached; false when none is left.
    bool tryNextAddress();
    void startConnect();
    void socketConnected();
    void socketError();
    void socketClosed();
    // The connection could not be made: the box (when box) names the host, its address and port
    // and the system's reason; the queue ends. Returns the text.
    QString connectFailed(const QString &what, const QString &caption, const QString &reason, bool box);
    // "name (address, port n)": where the connection goes, for failure messages.
    QString peerText() const;
    // A refused login; mendable ones offer the host's options beside OK.
    void loginFailed(const QString &text, const QString &caption, bool mendable = false);
    void setState(State state);

    // Replies.
    void readReplies();
    void dispatchReply(int code, const QString &line);
    void handleGreeting(int code);
    void handleUserReply(int code);
    void handlePassReply(int code);
    void handleSystReply(int code, const QString &line);
    // The end of the login: FEAT once in the connection's life, OPTS UTF8 ON in every session.
    void featureStep();
    void handleFeatReply(int code, const QString &line);
    void utf8Step();
    // Encryption (ConnectionSecurity.cpp).
    void sendUser();
    void handleAuthReply(int code, const QString &line);
    void startTls();
    // The handshake is done: whether the host's certificate is trusted is settled (asking the
    // user where no authority vouches for it) before anything else is sent.
    void decideTrust();
    bool certificateTrusted();
    // The session ends before login without a box (the user refused the certificate).
    void refuseSession(const QString &text);
    void afterLogin();
    void handlePbszReply(int code, const QString &line);
    void handleProtReply(int code, const QString &line);
    void dataProtectionRefused(const QString &line);
    // The TLS set-up of a data connection: the control session's, to be resumed; none when data
    // goes in clear.
    std::optional<QSslConfiguration> dataTls() const;
    // A data connection showed a certificate other than the control connection's.
    void foreignDataCertificate(const QString &fingerprint);
    void armKeepAlive();
    void keepAliveDue();
    void handleOperationReply(int code, const QString &line);
    // Stray greetings and login replies say nothing about the operation under way.
    static bool isStrayReply(int code);

    // Operation starts (ConnectionOperations.cpp).
    void startListDir(const CommandStruct &command);
    void startTransferFiles(TransferDriver *driver);
    void startPassiveStore(const CommandStruct &command);
    void startActiveRetrieve(const CommandStruct &command);
    // The operation object for a queued delete, rename, create directory or custom commands; null
    // for other kinds and for a record of the wrong kind.
    std::shared_ptr<ConnectionOperation> operationFor(const CommandStruct &command);
    void startOperation(std::shared_ptr<ConnectionOperation> operation);
    void runOperationReply(int code, const QString &line);
    // Acts on what the operation answered: waits, or ends it and takes the next command.
    void settle(const std::shared_ptr<ConnectionOperation> &operation, ConnectionOperation::Outcome outcome);
    // The record (if any is still to be told) is told its operation ended; the queue goes on.
    void endOperation(OperationDriver *driver);
    void handlePasvReply(int code, const QString &line);
    // The host-to-host side's data connection command (PASV, CPSV or PORT), after SSCN when its
    // TLS role needs it.
    void hostToHostDataStep();
    void handleSscnReply(int code, const QString &line);

    // Data transfers (ConnectionTransfers.cpp).
    // Asks the host for the data connection of the listing or file under way. False when nothing
    // could be sent; why is then in *why, after a box when box.
    bool beginDataStep(QString *why = nullptr);
    void dataReady(QTcpSocket *socket);
    void dataConnectFailed(const QString &reason);
    void handlePortReply(int code, const QString &line);
    // The control connection goes over IPv6 (not an IPv4 address in IPv6 form).
    bool overIpv6() const;
    // The host refused a way of opening data connections: it is not asked that way again. False
    // when no way is left.
    bool fallBackFrom(DataChannel::Way way);
    // The listing, file or host-to-host side under way failed at a step before its data moved.
    void itemFailed(const QString &text);
    void destinationStep();
    void handleDestCwdReply(int code, const QString &line);
    void handleWalkMkdReply(int code, const QString &line);
    void typeStep();
    void handleTypeReply(int code, const QString &line);
    void handleFileCwdReply(int code, const QString &line);
    void handleRestReply(int code, const QString &line);
    void sendTransferCommand();
    void handleTransferStart(int code, const QString &line);
    void handleTransferring(int code, const QString &line);
    void dataFinished();
    void tryFinishData();
    QString transferFailure(bool hostOk) const;
    void fileFailed(const QString &text, const QString &caption);
    void finishListing(bool complete, const QString &failure);
    // The listing is over; complete or not, the status line says so.
    void endListing(bool complete = false);
    void NextFileOfBatch();
    bool startNextFile();
    void abortHostToHost(const QString &reason);
    void dropDataObjects();
    void setDriverStatus(const QString &text);

    // Shows a failure box (the host's reply from its fifth character on) and tells whether this
    // connection still exists afterwards.
    bool replyFailed(const QString &line, const QString &caption);
    // Shows a host's answer in a box with OK and tells whether this connection still exists.
    bool informed(const QString &text, const QString &caption);
    bool failed(const QString &text, const QString &caption, Prompt::Icon icon = Prompt::Icon::Warning);
    void invalidateListing(const QString &directory);
    QString hostName() const;

    // Commands.
    bool sendCommand(const QString &command);
    void sendRaw(const QByteArray &bytes, const QString &shown);
    void TakeNextCommand();
    void startCommand(const CommandStruct &command);
    bool alive() const;

    void showMessage(const QString &text, const QString &caption);
    void showStatus(const QString &text);
    // "text (host)": a failure message that names the host.
    QString withHost(const QString &text) const;

    QList<CommandStruct *> commands_;
    // Records being told that their queue ended; a record destroyed meanwhile is taken out here.
    QList<CommandStruct *> ending_;

    // The operation under way.
    QString argument_;
    QString remotePath_;
    qsizetype pathPos_ = 0;
    qint64 restartOffset_ = 0;
    bool binary_ = true;
    bool retrieve_ = true;
    bool listing_ = false;
    bool hostToHost_ = false;
    bool checkingDestination_ = false;
    bool transferActive_ = false;
    TransferFile file_;
    ListingJob *listJob_ = nullptr;
    std::unique_ptr<ListingDelivery> delivery_;
    TransferDriver *transferDriver_ = nullptr;
    HostToHostDriver *hostToHostDriver_ = nullptr;
    // The running operation object; the call that hands it a reply holds it too.
    std::shared_ptr<ConnectionOperation> operation_;
    DataChannel *channel_ = nullptr;
    // The ways the host refused (kept for the connection's life) and what it offers.
    bool passiveRefused_ = false;
    bool epsvRefused_ = false;
    bool eprtRefused_ = false;
    bool mlsdRefused_ = false;
    bool featuresKnown_ = false;
    HostFeatures features_;
    // The listing under way is asked for with MLSD.
    bool machineListing_ = false;
    Transfer *transfer_ = nullptr;
    ListTransfer *listTransfer_ = nullptr;
    // A data transfer is over only when its data connection has ended and the host's final
    // reply has come; both are recorded here.
    bool dataDone_ = false;
    bool finalReplied_ = false;
    bool dataEndedEarly_ = false;
    int finalCode_ = 0;
    QString finalLine_;
    int cacheFileNumber_ = -1;
    ConnectionOwner *pool_;
    int hostType_;
    unsigned hostIndex_;
    QString userName_;
    QString password_;
    QString address_; // the host's address as its record gives it
    int hostDataMode_ = 0;
    bool closeWhenIdle_ = false;
    QPointer<AddressFinder> addressFinder_;
    SessionMonitor *monitor_ = nullptr;
    QHostAddress peerAddress_;
    // Every address of the host; peerAddress_ is the one tried last (and the one that answered).
    QList<QHostAddress> addresses_;
    qsizetype addressIndex_ = 0;
    QTimer *keepAlive_ = nullptr;
    quint16 peerPort_ = 21;
    State state_ = Connecting;
    QSslSocket *socket_ = nullptr;
    Encryption encryption_ = Encryption::None;
    bool tlsActive_ = false;
    bool protectData_ = false;
    bool sessionReady_ = false;
    // SSCN is on for this session; the host-to-host side under way takes this TLS role.
    bool sscnOn_ = false;
    DataTlsRole hostToHostRole_ = PlainData;
    QString hostToHostPort_; // the active side's PORT argument
    // The fingerprint of the control connection's certificate (every data connection must show
    // the same) and of one the user trusted for this connection's life.
    QString controlFingerprint_;
    QString trustedOnce_;
    ReplyReader reader_;
    QString replyText_;
    // The size a 150/125 reply announced for a download ("(100000 bytes)"); -1 when none.
    qint64 announcedSize_ = -1;
    QTimer *watchdog_ = nullptr;
    QElapsedTimer activity_;
    bool destroying_ = false;
    // The client of the running operation was destroyed: replies are ignored until the session
    // has been restarted.
    bool orphaned_ = false;
};

// A host's address as its record gives it, without blanks around it and without the brackets an
// IPv6 address may be typed in: what names it to the resolver and to its certificate.
QString hostAddressText(const QString &address);

// Display form of a protocol line: cut at the first line end, tabs become three spaces and other
// control characters blanks. PASS arguments are masked.
QString monitorLine(const QString &line, bool sent);
