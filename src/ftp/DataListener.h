#pragma once

#include <QHostAddress>
#include <QObject>

class QTcpServer;
class QTcpSocket;

// The listening socket for one active-mode data connection (a listing or a file). It listens on
// the local address of the control connection, so the PORT or EPRT it announces is one the host can
// reach, and it accepts one connection, only from the host's own address.
class DataListener : public QObject
{
    Q_OBJECT
public:
    static constexpr int Attempts = 100;

    // secure: the accepted connection is a QSslSocket (not yet encrypted), for PROT P sessions.
    DataListener(const QHostAddress &localAddress, const QHostAddress &peerAddress, bool secure = false,
                 QObject *parent = nullptr);

    // Listens on a port of 1024 or above, trying up to Attempts times; the port, or 0 on failure
    // (errorText() then says why, in the program's words).
    quint16 Listen();
    QString errorCaption() const { return errorCaption_; }
    QString errorText() const { return errorText_; }

    // "PORT h1,h2,h3,h4,p1,p2" for the listening address (IPv4 only).
    QString portCommand() const;
    // "EPRT |1|address|port|" or "EPRT |2|address|port|" for the listening address.
    QString eprtCommand() const;

signals:
    // The host connected; the receiver takes ownership of the socket. The listener stops listening.
    void accepted(QTcpSocket *socket);

private:
    void takeConnection();

    QTcpServer *server_ = nullptr;
    QHostAddress localAddress_;
    QHostAddress peerAddress_;
    bool secure_ = false;
    QString errorCaption_;
    QString errorText_;
};

// The PORT argument for an IPv4 address and port: "h1,h2,h3,h4,p1,p2".
QString portArgument(const QHostAddress &address, quint16 port);
