// Desktop notifications of finished work: when one is worth sending (more than ten seconds, no
// window of the program active), what the transfer and local copy windows report when they end,
// and the freedesktop call on a private session bus with a small notification service of our
// own, or with no service and no bus at all, where nothing may be said.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"
#include "support/TestHosts.h"

#include "dialogs/CFileOp.h"
#include "dialogs/DialogRunner.h"
#include "dialogs/TransferDestinationDialog.h"
#include "dialogs/TransferRequest.h"
#include "pool/ConnectionManager.h"
#include "settings/StoreFixture.h"
#include "shell/DesktopNotifier.h"
#include "shell/FinishedWorkNotice.h"
#include "shell/MessageBoxPrompt.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int Bound = 20000; // ms: the longest any event below may take
const QString Service = QStringLiteral("org.freedesktop.Notifications");

class RecordingSender : public NotificationSender
{
public:
    void send(const QString &summary, const QString &body) override { sent << summary + QStringLiteral(" | ") + body; }
    QStringList sent;
};

// A prompt that also keeps what finished work was reported, as "summary | body".
class WorkPrompt : public RecordingPrompt
{
public:
    void workEnded(const QString &summary, const QString &body, qint64 elapsedMs) override
    {
        ended << summary + QStringLiteral(" | ") + body;
        elapsed << elapsedMs;
    }
    QStringList ended;
    QList<qint64> elapsed;
};

// A session bus of the test's own: dbus-daemon with a configuration that starts no services.
class PrivateBus
{
public:
    ~PrivateBus()
    {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.kill();
            daemon_.waitForFinished(Bound);
        }
    }

    static QString program() { return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")); }

    // False when dbus-daemon did not start; what it said is in errorString().
    bool start()
    {
        if (!dir_.isValid())
            return false;
        const QString config = dir_.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=" + dir_.path().toUtf8() + "</listen>"
                   "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                   "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        daemon_.start(program(), {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                QStringLiteral("--print-address=1")});
        if (!QTest::qWaitFor([this] { return daemon_.canReadLine() || daemon_.state() == QProcess::NotRunning; }, Bound))
            return false;
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        return !address_.isEmpty();
    }

    QString address() const { return address_; }
    QString errorString() const { return QString::fromLocal8Bit(daemon_.readAllStandardError()); }

private:
    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/vemalbus-XXXXXX")}; // no blank: it goes into an address
    mutable QProcess daemon_;
    QString address_;
};

} // namespace

// The notification service of a desktop, as far as Notify goes.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received; // "application | icon | summary | body"

public slots:
    uint Notify(const QString &application, uint, const QString &icon, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        received << QStringList{application, icon, summary, body}.join(QStringLiteral(" | "));
        return uint(received.size());
    }
};

class TestNotifications : public QObject
{
    Q_OBJECT

    TestEnvironment env_;

    // Serves Notify on the bus at address for as long as the returned connection's name is in use.
    static bool serve(const QString &address, const QString &name, FakeNotifications &service)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        return bus.isConnected() && bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                                       QDBusConnection::ExportAllSlots)
               && bus.registerService(Service);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(env_.setUp(), qPrintable(env_.errorString()));
        QCoreApplication::setApplicationName(QStringLiteral("Vemal Ftp"));
    }

    // --- when a notice is worth sending -----------------------------------------------------------

    void decision_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<bool>("windowActive");
        QTest::addColumn<bool>("sent");
        QTest::newRow("long, user elsewhere") << qint64(10001) << false << true;
        QTest::newRow("an hour, user elsewhere") << qint64(3600000) << false << true;
        QTest::newRow("exactly ten seconds") << qint64(10000) << false << false;
        QTest::newRow("short") << qint64(800) << false << false;
        QTest::newRow("long, window active") << qint64(60000) << true << false;
        QTest::newRow("short, window active") << qint64(10) << true << false;
    }

    void decision()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(bool, windowActive);
        QFETCH(bool, sent);
        RecordingSender sender;
        FinishedWorkNotice notice(sender, [windowActive] { return windowActive; });
        QCOMPARE(notice.workEnded(QStringLiteral("Transfer finished"), QStringLiteral("site"), elapsedMs), sent);
        QCOMPARE(sender.sent, sent ? QStringList{"Transfer finished | site"} : QStringList());
    }

    // The program's prompt asks whether one of its windows is the active one.
    void promptLooksAtActiveWindow_data()
    {
        QTest::addColumn<bool>("windowActive");
        QTest::newRow("no window active") << false;
        QTest::newRow("a window active") << true;
    }

    void promptLooksAtActiveWindow()
    {
        QFETCH(bool, windowActive);
        auto sender = std::make_unique<RecordingSender>();
        RecordingSender *recorder = sender.get();
        MessageBoxPrompt prompt(std::move(sender));
        QWidget window;
        if (windowActive) {
            window.show();
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
        }
        QCOMPARE(QApplication::activeWindow() != nullptr, windowActive);
        prompt.workEnded(QStringLiteral("Local copy finished"), QStringLiteral("Local Copy"), 30000);
        QCOMPARE(recorder->sent.size(), windowActive ? 0 : 1);
    }

    // --- what the windows report when their work ends ---------------------------------------------

    void localCopyReportsItsEnd_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QStringList>("ended");
        QTest::newRow("copy") << true << QStringList{"Local copy finished | Local Copy"};
        QTest::newRow("delete") << false << QStringList(); // only copies are waited for
    }

    void localCopyReportsItsEnd()
    {
        QFETCH(bool, copy);
        QFETCH(QStringList, ended);
        QTemporaryDir dir(env_.home() + QStringLiteral("/copyXXXXXX"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("src")) && QDir(dir.path()).mkpath(QStringLiteral("dst")));
        QFile file(dir.filePath(QStringLiteral("src/a.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("some bytes") == 10);
        file.close();
        const QString source = dir.filePath(QStringLiteral("src/")), destination = dir.filePath(QStringLiteral("dst/"));

        WorkPrompt prompt;
        QPointer<CFileOp> op = copy ? CFileOp::copy(nullptr, prompt, {"a.txt"}, source, destination)
                                    : CFileOp::remove(nullptr, prompt, {"a.txt"}, source);
        QVERIFY(op);
        QTRY_VERIFY_WITH_TIMEOUT(op.isNull(), Bound);
        QCOMPARE(prompt.ended, ended);
        QCOMPARE(QFile::exists(destination + QStringLiteral("a.txt")), copy);
        for (qint64 elapsed : std::as_const(prompt.elapsed))
            QVERIFY(elapsed >= 0 && elapsed < Bound);
    }

    void transferReportsItsEnd()
    {
        StoreFixture store;
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.makeDir(QStringLiteral("pub")) && server.writeFile(QStringLiteral("pub/a.bin"), "0123456789"));
        storeTestHost(QStringLiteral("site"), server.port());
        QTemporaryDir local(env_.home() + QStringLiteral("/localXXXXXX"));
        WorkPrompt prompt;
        RecordingStatus status;
        ConnectionManager pool(prompt, status);

        TransferRequest r;
        r.sourceHost = QStringLiteral("site");
        r.sourceDirectory = QStringLiteral("/pub/");
        r.destinationHost = QStringLiteral("My Computer");
        r.destinationDirectory = QStringLiteral("C:/") + QDir(env_.home()).relativeFilePath(local.path()) + u'/';
        r.preset = 1; // at once, no questions
        r.files << FileItem{QStringLiteral("a.bin"), 10, false};
        TransferDestinationDialog::start(nullptr, pool, r);

        QTRY_COMPARE_WITH_TIMEOUT(prompt.ended, QStringList{"Transfer finished | site"}, Bound);
        QCOMPARE(QFile(local.filePath(QStringLiteral("a.bin"))).size(), 10);
        QVERIFY2(prompt.isEmpty(), qPrintable(prompt.dump()));
    }

    // --- the freedesktop call ----------------------------------------------------------------------

    void notificationReachesTheService()
    {
        if (PrivateBus::program().isEmpty())
            QSKIP("dbus-daemon is not installed here; the decision is tested without a bus");
        PrivateBus bus;
        QVERIFY2(bus.start(), qPrintable(bus.errorString()));
        FakeNotifications service;
        QVERIFY(serve(bus.address(), QStringLiteral("fake-service"), service));

        DesktopNotifier notifier(bus.address());
        notifier.send(QStringLiteral("Transfer finished"), QStringLiteral("site"));
        QTRY_COMPARE_WITH_TIMEOUT(service.received, QStringList{"Vemal Ftp | vemalftp | Transfer finished | site"}, Bound);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-service"));
    }

    // A bus with no notification service: the call goes nowhere and nothing is said. The service
    // that starts afterwards gets the next notice only, which shows the first was dealt with.
    void noServiceIsQuiet()
    {
        if (PrivateBus::program().isEmpty())
            QSKIP("dbus-daemon is not installed here; the decision is tested without a bus");
        PrivateBus bus;
        QVERIFY2(bus.start(), qPrintable(bus.errorString()));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        DesktopNotifier notifier(bus.address());
        notifier.send(QStringLiteral("first"), QStringLiteral("nobody listens"));

        FakeNotifications service;
        QVERIFY(serve(bus.address(), QStringLiteral("late-service"), service));
        notifier.send(QStringLiteral("second"), QStringLiteral("heard"));
        QTRY_COMPARE_WITH_TIMEOUT(service.received, QStringList{"Vemal Ftp | vemalftp | second | heard"}, Bound);
        QDBusConnection::disconnectFromBus(QStringLiteral("late-service"));
    }

    void noBusIsQuiet()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QTemporaryDir dir;
        DesktopNotifier notifier(QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus")));
        notifier.send(QStringLiteral("Transfer finished"), QStringLiteral("site"));
        notifier.send(QStringLiteral("Transfer finished"), QStringLiteral("again")); // not tried twice
    }

    void sessionBusAddress_data()
    {
        QTest::addColumn<QString>("given");      // DBUS_SESSION_BUS_ADDRESS; "-" unset
        QTest::addColumn<bool>("runtimeSocket"); // $XDG_RUNTIME_DIR/bus exists
        QTest::addColumn<QString>("address");    // "%R": the runtime folder
        QTest::newRow("given") << "unix:path=/run/user/1000/bus" << false << "unix:path=/run/user/1000/bus";
        QTest::newRow("given wins over the runtime socket") << "unix:abstract=x" << true << "unix:abstract=x";
        QTest::newRow("runtime socket") << "-" << true << "unix:path=%R/bus";
        QTest::newRow("none") << "-" << false << "";
        QTest::newRow("one that would start a bus") << "autolaunch:" << false << "";
    }

    void sessionBusAddress()
    {
        QFETCH(QString, given);
        QFETCH(bool, runtimeSocket);
        QFETCH(QString, address);
        const QByteArray savedAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS"), savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const bool hadAddress = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
        const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        QTemporaryDir runtime;
        if (runtimeSocket) {
            QFile socket(runtime.filePath(QStringLiteral("bus"))); // only its presence is looked at
            QVERIFY(socket.open(QIODevice::WriteOnly));
        }
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        if (given == QLatin1String("-"))
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS", given.toUtf8());
        const QString found = DesktopNotifier::sessionBusAddress();
        hadAddress ? qputenv("DBUS_SESSION_BUS_ADDRESS", savedAddress) : qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        hadRuntime ? qputenv("XDG_RUNTIME_DIR", savedRuntime) : qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(found, address.replace(QLatin1String("%R"), runtime.path()));
    }
};

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
