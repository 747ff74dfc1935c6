#include "shell/DesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString DesktopEntry = QStringLiteral("vemalftp");
} // namespace

DesktopNotifier::DesktopNotifier(const QString &busAddress)
    : address_(busAddress)
    , connectionName_(QStringLiteral("vemalftp-notifications-%1").arg(quintptr(this), 0, 16))
{
}

DesktopNotifier::~DesktopNotifier()
{
    if (connected_)
        QDBusConnection::disconnectFromBus(connectionName_);
}

QString DesktopNotifier::sessionBusAddress()
{
    const QString given = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!given.isEmpty())
        return given.startsWith(QLatin1String("autolaunch:")) ? QString() : given;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtime + QLatin1String("/bus");
    if (runtime.isEmpty() || !QFileInfo::exists(socket))
        return QString();
    return QStringLiteral("unix:path=") + socket;
}

bool DesktopNotifier::connected()
{
    if (std::exchange(tried_, true))
        return connected_;
    const QString address = address_.isEmpty() ? sessionBusAddress() : address_;
    if (address.isEmpty())
        return false;
    // A connection of our own: the process-wide session bus would try to start a bus when none runs.
    connected_ = true;
    if (QDBusConnection::connectToBus(address, connectionName_).isConnected())
        return true;
    QDBusConnection::disconnectFromBus(connectionName_);
    connected_ = false;
    return false;
}

void DesktopNotifier::send(const QString &summary, const QString &body)
{
    if (!connected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), DesktopEntry}};
    call << QCoreApplication::applicationName() << uint(0) << DesktopEntry << summary << body << QStringList()
         << hints << int(-1);
    // No answer is waited for: a missing service costs nothing.
    QDBusConnection(connectionName_).send(call);
}
