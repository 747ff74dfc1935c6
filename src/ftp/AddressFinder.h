#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>

class QHostInfo;

// Owns one asynchronous host-name lookup. The answer arrives on the event loop; destroying the
// finder while the lookup is pending cancels it, so the answer never arrives.
class AddressFinder : public QObject
{
    Q_OBJECT
public:
    explicit AddressFinder(const QString &hostName, QObject *parent = nullptr);
    ~AddressFinder() override;

    bool pending() const { return lookupId_ >= 0; }
    // Why the lookup found no address, in the system's words ("Host not found"); empty otherwise.
    const QString &errorString() const { return errorString_; }

signals:
    // Emitted once: every address of the host in the order the resolver gives them (IPv6 and IPv4
    // alike, each once), or none on failure.
    void finished(const QList<QHostAddress> &addresses);

private:
    void lookedUp(const QHostInfo &info);

    int lookupId_ = -1;
    QString errorString_;
};
