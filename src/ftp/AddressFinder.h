#pragma once

#include <QHostAddress>
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
    // Emitted once: an address (the first IPv4 one when there is one), or a null address on failure.
    void finished(const QHostAddress &address);

private:
    void lookedUp(const QHostInfo &info);

    int lookupId_ = -1;
    QString errorString_;
};
