#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;

// The data side of ScriptedFtpServer: one data connection at a time, either made to the
// address a PORT/EPRT named (active) or accepted on a listener that a PASV step opened
// (passive). It sends scripted bytes and closes, or takes bytes until the client closes,
// and reports finished() once the connection is gone. Event-driven; nothing blocks.
class ScriptedDataChannel : public QObject
{
    Q_OBJECT

public:
    enum class Direction { Send, Receive };

    explicit ScriptedDataChannel(QObject *parent = nullptr);
    ~ScriptedDataChannel() override;

    // The next transfer connects to this address; drops any passive listener.
    void setActive(const QHostAddress &address, quint16 port);
    // Opens a fresh loopback listener for the next transfer; returns its port, 0 on failure.
    quint16 listenPassive();
    bool hasTarget() const;
    bool isPassive() const { return m_listener != nullptr; }
    QHostAddress activeAddress() const { return m_address; }
    quint16 activePort() const { return m_port; }

    // Starts one transfer. With holdOpen a Send leaves the connection open after the bytes
    // until close() or abort().
    void start(Direction direction, const QByteArray &bytes, bool holdOpen);
    bool isBusy() const { return m_busy; }

    void close(); // ends the transfer with an orderly close (FIN)
    void abort(); // ends the transfer with a reset

    QByteArray received() const { return m_received; }
    QString errorString() const { return m_error; }

signals:
    void connected();
    void finished();

private:
    void onNewConnection();
    void adopt(QTcpSocket *socket);
    void onConnected();
    void onReadyRead();
    void finish();
    void dropSocket();
    void dropListener();

    QHostAddress m_address;
    quint16 m_port = 0;
    QTcpServer *m_listener = nullptr;
    QPointer<QTcpSocket> m_socket;
    bool m_socketConnected = false;

    bool m_busy = false;
    Direction m_direction = Direction::Send;
    QByteArray m_bytes;
    bool m_holdOpen = false;
    QByteArray m_received;
    QString m_error;
};
