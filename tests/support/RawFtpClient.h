#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <memory>

class QTcpServer;
class QTcpSocket;

// A bare FTP client for tests that check a server rather than the program: it sends the
// lines it is given and returns the raw reply bytes. Every wait runs the event loop with a
// bound, so it works against a server in the same thread (ScriptedFtpServer) as well as
// against a child process (FtpServerFixture).
//
//     RawFtpClient ftp;
//     QVERIFY(ftp.connectTo(server.port()));
//     QCOMPARE(RawFtpClient::code(ftp.readReply()), 220);
//     QCOMPARE(RawFtpClient::code(ftp.command("USER anonymous")), 331);
class RawFtpClient
{
public:
    static constexpr int TimeoutMs = 5000;

    RawFtpClient();
    ~RawFtpClient();

    RawFtpClient(const RawFtpClient &) = delete;
    RawFtpClient &operator=(const RawFtpClient &) = delete;

    // Connects the control connection to 127.0.0.1 (or address); does not read the greeting.
    bool connectTo(quint16 port, int timeoutMs = TimeoutMs);
    bool connectTo(const QHostAddress &address, quint16 port, int timeoutMs = TimeoutMs);
    bool isConnected() const;
    QString errorString() const;

    void sendLine(const QByteArray &line); // adds CRLF
    void sendRaw(const QByteArray &bytes);
    // One whole reply, every line of a multi-line reply included, as received; empty on timeout.
    QByteArray readReply(int timeoutMs = TimeoutMs);
    QByteArray command(const QByteArray &line, int timeoutMs = TimeoutMs);
    // Exactly count bytes as received (fewer if the time runs out or the server closes).
    QByteArray readBytes(qsizetype count, int timeoutMs = TimeoutMs);
    // Bytes received and not yet returned (without waiting).
    QByteArray pending();
    // True once the server has closed the control connection.
    bool waitForClosed(int timeoutMs = TimeoutMs);
    void close();

    // Three-digit code of a reply, 0 if there is none.
    static int code(const QByteArray &reply);
    // Address and port of a 227 reply.
    static bool parsePasv(const QByteArray &reply, QHostAddress *address, quint16 *port);
    // Port of a 229 reply, "229 Entering Extended Passive Mode (|||PORT|)"; 0 if there is none.
    static quint16 parseEpsv(const QByteArray &reply);

    // Data side. Active: opens a loopback listener and returns "PORT 127,0,0,1,p1,p2" to send.
    QByteArray listenActive();
    // The same on address (127.0.0.1 or ::1); returns "EPRT |1|127.0.0.1|PORT|" or "EPRT |2|::1|PORT|".
    QByteArray listenExtended(const QHostAddress &address);
    quint16 activePort() const;
    // Passive: connects to the address a 227 reply named (or the control peer's, for 229).
    bool connectPassive(const QHostAddress &address, quint16 port, int timeoutMs = TimeoutMs);
    // Sends verb (PASV or EPSV) and connects to the port its reply names on address, the control
    // connection's peer; the address a 227 names is only handed back in *named. Empty on success,
    // else why not.
    QString openPassive(const QByteArray &verb, const QHostAddress &address, QHostAddress *named = nullptr);
    // The server's port of the passive data connection; 0 when there is none.
    quint16 passivePort() const;
    // Takes the data connection (accepting it in active mode), reads until the server closes it.
    QByteArray receiveData(int timeoutMs = TimeoutMs);
    // Takes the data connection, writes bytes and closes it.
    bool sendData(const QByteArray &bytes, int timeoutMs = TimeoutMs);
    // Takes the data connection; it stays open for the calls above and below.
    bool waitForDataConnection(int timeoutMs = TimeoutMs);
    // Exactly count bytes from the data connection, which stays open (fewer on timeout or close).
    QByteArray readData(qsizetype count, int timeoutMs = TimeoutMs);
    // True once the server has closed the data connection.
    bool waitForDataClosed(int timeoutMs = TimeoutMs);
    void closeData();

private:
    void readControl();
    qsizetype replyLength() const;

    std::unique_ptr<QTcpSocket> m_control;
    QByteArray m_buffer;
    std::unique_ptr<QTcpServer> m_listener;
    std::unique_ptr<QTcpSocket> m_data;
};
