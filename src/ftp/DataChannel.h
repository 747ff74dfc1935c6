#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>

#include <optional>

class DataListener;
class QSslSocket;
class QTcpSocket;

// The data connection of one listing or one file, every way a client can ask for it: it gives the
// command that asks (PORT or EPRT with a listener of its own in active mode, PASV or EPSV in
// passive mode), reads the host's answer, and hands over the socket once it is there: in active
// mode when the host connects, in passive mode when the client's own connection is made. In
// passive mode the connection always goes to the control connection's peer, whatever address a
// 227 reply names. With a TLS configuration the connection is a QSslSocket whose handshake has
// begun when it is handed over (the host may wait for the transfer command before it answers).
class DataChannel : public QObject
{
    Q_OBJECT
public:
    enum class Way { Port, Eprt, Pasv, Epsv };
    enum class Answer {
        Ready,   // active: the host will connect; passive: connecting now, ready() or failed() follows
        Refused, // the host does not know this way (500, 501, 502, 504, 522): another may do
        Failed,  // any other answer; errorText() says why
    };

    DataChannel(Way way, const QHostAddress &localAddress, const QHostAddress &peerAddress,
                std::optional<QSslConfiguration> tls = std::nullopt, QObject *parent = nullptr);
    ~DataChannel() override;

    Way way() const { return way_; }
    bool passive() const { return way_ == Way::Pasv || way_ == Way::Epsv; }
    // "PORT", "EPRT", "PASV" or "EPSV".
    QString verb() const;

    // The command to send; empty when no listener could be opened (errorText() says why).
    QString command();
    Answer takeReply(int code, const QString &line);

    // Passive mode: stops waiting for the connection; failed() follows with the reason.
    void giveUp(const QString &reason);

    QString errorCaption() const { return errorCaption_; }
    QString errorText() const { return errorText_; }

signals:
    // The data connection is there; the receiver takes the socket (makes it a child of its own).
    void ready(QTcpSocket *socket);
    // The passive connection could not be made; reason in the system's words.
    void failed(const QString &reason);

private:
    void connectTo(quint16 port);
    // Starts TLS on a fresh data connection (when the session encrypts data) and hands it over.
    void handOver(QTcpSocket *socket);

    Way way_;
    QHostAddress localAddress_;
    QHostAddress peerAddress_;
    std::optional<QSslConfiguration> tls_;
    DataListener *listener_ = nullptr;
    QPointer<QTcpSocket> socket_; // passive: the connection being made
    quint16 port_ = 0;
    QString errorCaption_;
    QString errorText_;
};
