// The application shell from start to end: the first start on an empty store, the stored window
// rectangle, what is written at shutdown, the close question while connections are busy, and the
// splitter's layout, dragging and toggles. Runs the real frame offscreen over a real settings
// store; the dialogs are answered by the test.

#include "ShellFixture.h"

#include "support/FtpServerFixture.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"
#include "support/TestHosts.h"

#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/Window.h"
#include "platform/LocalDrives.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/LeadingInteger.h"
#include "settings/SettingsKeys.h"
#include "shell/CSplitter.h"
#include "shell/FTPFrame.h"

#include <QLabel>
#include <QRubberBand>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

namespace {

constexpr int Bound = 10000; // ms

QString stored(const QString &name)
{
    return AppValue(name, 1000);
}

bool isStored(const QString &name)
{
    QString text;
    return GetAppValue(name, text, 1000) == 0;
}

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &at, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// A splitter with its two panes over a fresh store and pool, 600 by 400 and shown; the stored
// values are set before it reads them.
struct SplitterRig
{
    StoreFixture store;
    RecordingPrompt prompt;
    RecordingStatus status;
    std::unique_ptr<ConnectionManager> pool;
    std::unique_ptr<CSplitter> splitter;

    SplitterRig(bool vertical, int position, bool showTwo = true)
    {
        SetAppValue(QStringLiteral("CachePath"), QStringLiteral("C:\\cache\\"));
        SetAppValue(QStringLiteral("ShowTwo"), showTwo ? QStringLiteral("1") : QStringLiteral("0"));
        SetAppValue(QStringLiteral("SplitVertical"), vertical ? QStringLiteral("1") : QStringLiteral("0"));
        if (position >= 0)
            SetAppValue(QStringLiteral("SplitterPos"), QString::number(position)); // else none stored
        pool = std::make_unique<ConnectionManager>(prompt, status);
        splitter = std::make_unique<CSplitter>(pool.get());
        splitter->resize(600, 400);
        splitter->show();
    }
    ~SplitterRig() { splitter.reset(); } // the panes go before the pool
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

    TestEnvironment env_;

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    // --- start-up ------------------------------------------------------------------------------

    void firstStartOnEmptyStore()
    {
        ShellFixture shell(false);
        QVERIFY(!SettingsStore::instance().keyExists(SettingsKeys::Hosts));
        shell.dialogs.steps << ScriptedDialogs::type(QStringLiteral("me@example.org"));
        FTPApp &app = shell.start();

        // Only the address is asked for: listings are kept in the desktop's cache folder.
        QCOMPARE(shell.dialogs.titles, QStringList({QStringLiteral("Change EMail Address")}));
        QCOMPARE(stored(QStringLiteral("CachePath")), defaultCachePath());
        QVERIFY(QFileInfo(env_.cacheHome() + QStringLiteral("/vemalftp")).isDir());
        QCOMPARE(stored(QStringLiteral("EMail")), QStringLiteral("me@example.org"));
        QVERIFY(!SettingsStore::instance().subkeys(SettingsKeys::Hosts).isEmpty());
        QVERIFY2(shell.prompt.isEmpty(), qPrintable(shell.prompt.dump()));

        FTPFrame *frame = app.frame();
        // The title says where the pane that takes commands is.
        QTRY_COMPARE(frame->windowTitle(), QStringLiteral("Vemal Ftp - All Hosts"));
        QVERIFY(frame->isVisible());
        QVERIFY(!frame->placedFromStore());
        QCOMPARE(frame->toolBar()->windowTitle(), QStringLiteral("Tools"));
        QVERIFY(frame->toolBarShown());
        QVERIFY(frame->statusBar()->isVisible());
        QVERIFY(!frame->windowIcon().isNull());

        // Two panes side by side, pane 0 on the left, the bar in the middle.
        CSplitter *splitter = app.splitter();
        QVERIFY(splitter->showTwo());
        QVERIFY(splitter->splitVertical());
        QVERIFY(!Window::panesStacked());
        const int w = splitter->width();
        const int h = splitter->height();
        QVERIFY(w > 300);
        const int middle = (w - CSplitter::BarWidth) / 2;
        QCOMPARE(splitter->position(), middle);
        QCOMPARE(splitter->pane(0)->geometry(), QRect(0, 0, middle, h));
        QCOMPARE(splitter->pane(1)->geometry(), QRect(middle + 3, 0, w - middle - 3, h));
        QVERIFY(splitter->pane(1)->isVisible());
        const QList<PaneView *> panes = app.pool()->panes();
        QCOMPARE(panes.size(), 2);
        QVERIFY(panes.contains(splitter->pane(0)));
        QVERIFY(panes.contains(splitter->pane(1)));
    }

    void startsWithoutDialogsWhenBothValuesAreStored()
    {
        ShellFixture shell;
        shell.start();
        QVERIFY2(shell.dialogs.titles.isEmpty(), qPrintable(shell.dialogs.titles.join(u',')));
    }

    // A cancelled e-mail prompt: the program runs without an address and asks at the next start.
    void cancelledEmailIsAskedAgain()
    {
        ShellFixture shell;
        SettingsStore::instance().deleteValue(SettingsKeys::Root, QStringLiteral("EMail"));
        shell.dialogs.steps << ScriptedDialogs::cancel();
        shell.start();
        QCOMPARE(shell.dialogs.titles, QStringList{QStringLiteral("Change EMail Address")});
        QVERIFY(shell.app->frame()->isVisible());
        QVERIFY(!isStored(QStringLiteral("EMail")));

        shell.app.reset();
        shell.dialogs.titles.clear();
        shell.dialogs.steps << ScriptedDialogs::type(QStringLiteral("later@example.org"));
        shell.start();
        QCOMPARE(shell.dialogs.titles, QStringList{QStringLiteral("Change EMail Address")});
        QCOMPARE(stored(QStringLiteral("EMail")), QStringLiteral("later@example.org"));
    }

    void storedRectangle_data()
    {
        QTest::addColumn<QStringList>("values"); // Left, Top, Width, Height; "-" leaves one out
        QTest::addColumn<bool>("placed");
        QTest::newRow("all four") << QStringList{"40", "30", "700", "500"} << true;
        QTest::newRow("no height") << QStringList{"40", "30", "700", "-"} << false;
        QTest::newRow("no left") << QStringList{"-", "30", "700", "500"} << false;
        QTest::newRow("digits then text") << QStringList{"41px", "31", "702x", "503"} << true;
    }

    void storedRectangle()
    {
        QFETCH(QStringList, values);
        QFETCH(bool, placed);
        ShellFixture shell;
        const char *names[] = {"Left", "Top", "Width", "Height"};
        for (int i = 0; i < 4; ++i) {
            if (values.at(i) != QLatin1String("-"))
                SetAppValue(QString::fromLatin1(names[i]), values.at(i));
        }
        FTPFrame *frame = shell.start().frame();
        QCOMPARE(frame->placedFromStore(), placed);
        if (placed) {
            QTRY_COMPARE_WITH_TIMEOUT(frame->frameGeometry(),
                                      QRect(LeadingInteger(values[0]), LeadingInteger(values[1]),
                                            LeadingInteger(values[2]), LeadingInteger(values[3])),
                                      Bound);
        } else {
            QVERIFY(frame->width() >= 640);
        }
    }

    // --- shutdown ------------------------------------------------------------------------------

    void shutdownWritesLayout_data()
    {
        QTest::addColumn<bool>("showTwo");
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<QString>("splitterPos");
        QTest::newRow("two panes side by side") << true << true << "400";
        QTest::newRow("two panes stacked") << true << false << "400";
        // The position of a single pane is not written: the last one with two panes stays.
        QTest::newRow("one pane") << false << true << "333";
    }

    void shutdownWritesLayout()
    {
        QFETCH(bool, showTwo);
        QFETCH(bool, vertical);
        QFETCH(QString, splitterPos);
        ShellFixture shell;
        SetAppValue(QStringLiteral("SplitterPos"), QStringLiteral("333"));
        FTPApp &app = shell.start();
        FTPFrame *frame = app.frame();
        frame->setGeometry(50, 60, 800, 600);
        CSplitter *splitter = app.splitter();
        QCOMPARE(splitter->position(), 333);
        if (!vertical)
            QVERIFY(frame->runCommand(Cmd::SplitVertically));
        // Drag the bar to 400 while both panes are shown.
        const QPoint grab = vertical ? QPoint(334, 100) : QPoint(100, 334);
        sendMouse(splitter, QEvent::MouseButtonPress, grab, Qt::LeftButton);
        sendMouse(splitter, QEvent::MouseMove, vertical ? QPoint(400, 100) : QPoint(100, 400), Qt::LeftButton);
        sendMouse(splitter, QEvent::MouseButtonRelease, vertical ? QPoint(400, 100) : QPoint(100, 400), Qt::NoButton);
        QCOMPARE(splitter->position(), 400);
        if (!showTwo)
            QVERIFY(frame->runCommand(Cmd::SplitWindow));

        QSignalSpy closed(&app, &FTPApp::closed);
        QVERIFY(frame->close());
        QCOMPARE(closed.size(), 1);
        const QRect outer = frame->frameGeometry();
        QCOMPARE(stored(QStringLiteral("Left")), QString::number(outer.x()));
        QCOMPARE(stored(QStringLiteral("Top")), QString::number(outer.y()));
        QCOMPARE(stored(QStringLiteral("Width")), QString::number(outer.width()));
        QCOMPARE(stored(QStringLiteral("Height")), QString::number(outer.height()));

        shell.app.reset();
        QCOMPARE(stored(QStringLiteral("SplitterPos")), splitterPos);
        QCOMPARE(stored(QStringLiteral("ShowTwo")), QString::number(showTwo ? 1 : 0));
        QCOMPARE(stored(QStringLiteral("SplitVertical")), QString::number(vertical ? 1 : 0));
        // The pool wrote its preferences as it went.
        QVERIFY(isStored(QStringLiteral("TType")));

        // The next start comes back the same way.
        shell.start();
        QCOMPARE(shell.app->splitter()->showTwo(), showTwo);
        QCOMPARE(shell.app->splitter()->splitVertical(), vertical);
        QCOMPARE(shell.app->splitter()->position(), splitterPos.toInt());
        QVERIFY(shell.app->frame()->placedFromStore());
    }

    void closeWhileConnectionsAreBusy()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ShellFixture shell;
        storeTestHost(QStringLiteral("busyhost"), server.port());
        FTPApp &app = shell.start();
        FTPFrame *frame = app.frame();
        QSignalSpy closed(&app, &FTPApp::closed);

        QVERIFY(app.pool()->connectionFor(QStringLiteral("busyhost"), ConnectionManager::Browse));
        QVERIFY(!app.pool()->AllIdle()); // logging in
        shell.prompt.queueAnswer(Prompt::No);
        QVERIFY(!frame->close());
        QCOMPARE(shell.prompt.count(), 1);
        const RecordingPrompt::Entry asked = shell.prompt.entries().first();
        QCOMPARE(asked.caption, QStringLiteral("Closing"));
        QCOMPARE(asked.text, QStringLiteral("Connections are still open and busy.  Do you wish to close all "
                                            "connections and abort all operations in progress?"));
        QCOMPARE(asked.icon, Prompt::Icon::Warning);
        QCOMPARE(asked.buttons, Prompt::Yes | Prompt::No);
        // No keeps everything: the frame, the connection, and nothing written yet.
        QVERIFY(frame->isVisible());
        QCOMPARE(closed.size(), 0);
        QVERIFY(!app.pool()->AllIdle());
        QVERIFY(!isStored(QStringLiteral("Left")));

        // Once the login is done nothing is busy: the frame closes without asking.
        QTRY_VERIFY_WITH_TIMEOUT(app.pool()->AllIdle(), Bound);
        QVERIFY(frame->close());
        QCOMPARE(shell.prompt.count(), 1);
        QCOMPARE(closed.size(), 1);
        QVERIFY(isStored(QStringLiteral("Left")));
    }

    // No in the middle of a listing: the listing goes on to its end and fills the list.
    void closeAnsweredNoKeepsAListingGoing()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.writeFile(QStringLiteral("one.txt"), "1"));
        QVERIFY(server.writeFile(QStringLiteral("two.txt"), "22"));
        ShellFixture shell;
        storeTestHost(QStringLiteral("busyhost"), server.port());
        FTPApp &app = shell.start();
        Window *pane = app.splitter()->pane(0);
        QTreeWidgetItem *host = pane->tree()->FindHostNode(pane->tree()->topNode(), QStringLiteral("busyhost"));
        QVERIFY(host);
        pane->tree()->selectedByMouse = true;
        pane->tree()->setCurrentItem(host);
        QVERIFY(!app.pool()->AllIdle());

        shell.prompt.queueAnswer(Prompt::No);
        QVERIFY(app.frame()->runCommand(Cmd::Close)); // the Close command asks as the close box does
        QCOMPARE(shell.prompt.lastCaption(), QStringLiteral("Closing"));
        QVERIFY(app.frame()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(pane->list()->itemCount(), 2, Bound);
        QCOMPARE(pane->list()->itemText(0), QStringLiteral("one.txt"));
        QTRY_COMPARE_WITH_TIMEOUT(app.frame()->statusLabel()->text(), QStringLiteral("Finished Retrieving List."),
                                  Bound);
        QCOMPARE(shell.prompt.count(), 1);
    }

    void closeWhileBusyAnsweredYes()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        ShellFixture shell;
        storeTestHost(QStringLiteral("busyhost"), server.port());
        FTPApp &app = shell.start();
        QSignalSpy closed(&app, &FTPApp::closed);
        QVERIFY(app.pool()->connectionFor(QStringLiteral("busyhost"), ConnectionManager::Browse));
        shell.prompt.queueAnswer(Prompt::Yes);
        // The Close command asks the same question.
        QVERIFY(app.frame()->runCommand(Cmd::Close));
        QCOMPARE(shell.prompt.count(), 1);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!app.frame()->isVisible());
        shell.app.reset(); // the pool closes the connection still logging in
        QVERIFY(isStored(QStringLiteral("ShowTwo")));
    }

    // --- splitter ------------------------------------------------------------------------------

    void splitterLayout_data()
    {
        QTest::addColumn<bool>("showTwo");
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<int>("position");
        QTest::addColumn<QRect>("pane0");
        QTest::addColumn<QRect>("pane1"); // null: hidden
        // The splitter is 600 by 400.
        QTest::newRow("side by side") << true << true << 270 << QRect(0, 0, 270, 400) << QRect(273, 0, 327, 400);
        QTest::newRow("stacked") << true << false << 150 << QRect(0, 0, 600, 150) << QRect(0, 153, 600, 247);
        QTest::newRow("one pane") << false << true << 270 << QRect(0, 0, 600, 400) << QRect();
        QTest::newRow("one pane stacked") << false << false << 150 << QRect(0, 0, 600, 400) << QRect();
        // Nothing stored: the bar stays in the middle.
        QTest::newRow("side by side, no position") << true << true << -1 << QRect(0, 0, 298, 400)
                                                   << QRect(301, 0, 299, 400);
        QTest::newRow("stacked, no position") << true << false << -1 << QRect(0, 0, 600, 198) << QRect(0, 201, 600, 199);
        // A stored position beyond the window: pane 0 takes all of it, pane 1 has no room.
        QTest::newRow("bar beyond the edge") << true << true << 700 << QRect(0, 0, 600, 400) << QRect(703, 0, 0, 400);
    }

    void splitterLayout()
    {
        QFETCH(bool, showTwo);
        QFETCH(bool, vertical);
        QFETCH(int, position);
        QFETCH(QRect, pane0);
        QFETCH(QRect, pane1);
        SplitterRig rig(vertical, position, showTwo);
        CSplitter &splitter = *rig.splitter;
        QCOMPARE(Window::panesStacked(), !vertical);
        QCOMPARE(splitter.pane(0)->geometry(), pane0);
        QCOMPARE(splitter.pane(1)->isVisible(), !pane1.isNull());
        if (!pane1.isNull())
            QCOMPARE(splitter.pane(1)->geometry(), pane1);
    }

    void splitterDrag_data()
    {
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<int>("grabAt");   // along the split axis
        QTest::addColumn<int>("dragTo");
        QTest::addColumn<bool>("grabbed");
        QTest::addColumn<int>("expected"); // the position afterwards
        // The splitter is 600 by 400; the bar starts at 200, its grab zone is 200 to 203.
        QTest::newRow("within") << true << 201 << 350 << true << 350;
        QTest::newRow("last pixel of the zone") << true << 203 << 250 << true << 250;
        QTest::newRow("to the left edge") << true << 200 << 10 << true << 60;
        QTest::newRow("beyond the right edge") << true << 202 << 900 << true << 540;
        QTest::newRow("stacked, to the top") << false << 201 << -20 << true << 60;
        QTest::newRow("stacked, beyond the bottom") << false << 201 << 390 << true << 340;
        QTest::newRow("next to the zone") << true << 204 << 350 << false << 200;
        QTest::newRow("just before the zone") << true << 199 << 350 << false << 200;
    }

    void splitterDrag()
    {
        QFETCH(bool, vertical);
        QFETCH(int, grabAt);
        QFETCH(int, dragTo);
        QFETCH(bool, grabbed);
        QFETCH(int, expected);
        SplitterRig rig(vertical, 200);
        CSplitter &splitter = *rig.splitter;
        const auto point = [vertical](int along) { return vertical ? QPoint(along, 100) : QPoint(100, along); };
        const QRect before = splitter.pane(0)->geometry();

        sendMouse(&splitter, QEvent::MouseButtonPress, point(grabAt), Qt::LeftButton);
        QCOMPARE(splitter.dragging(), grabbed);
        sendMouse(&splitter, QEvent::MouseMove, point(dragTo), Qt::LeftButton);
        if (grabbed) {
            // A bar follows the pointer; the panes wait for the release.
            const QRect bar = splitter.trackingBar();
            QVERIFY(splitter.findChild<QRubberBand *>()->isVisible());
            QCOMPARE(vertical ? bar.left() : bar.top(), expected);
            QCOMPARE(vertical ? bar.width() : bar.height(), 4);
            QCOMPARE(splitter.pane(0)->geometry(), before);
        }
        sendMouse(&splitter, QEvent::MouseButtonRelease, point(dragTo), Qt::NoButton);
        QVERIFY(!splitter.dragging());
        QVERIFY(splitter.trackingBar().isNull());
        QCOMPARE(splitter.position(), expected);
        const QRect pane0 = splitter.pane(0)->geometry();
        QCOMPARE(vertical ? pane0.width() : pane0.height(), expected);
        const QRect pane1 = splitter.pane(1)->geometry();
        QCOMPARE(vertical ? pane1.left() : pane1.top(), expected + 3);
    }

    void sizingCursorOverTheBar_data()
    {
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("shape");
        QTest::newRow("on the bar") << true << 201 << int(Qt::SizeHorCursor);
        QTest::newRow("last pixel of the zone") << true << 203 << int(Qt::SizeHorCursor);
        QTest::newRow("stacked, on the bar") << false << 200 << int(Qt::SizeVerCursor);
        QTest::newRow("away from the bar") << true << 230 << int(Qt::ArrowCursor);
    }

    void sizingCursorOverTheBar()
    {
        QFETCH(bool, vertical);
        QFETCH(int, at);
        QFETCH(int, shape);
        SplitterRig rig(vertical, 200);
        CSplitter &splitter = *rig.splitter;
        sendMouse(&splitter, QEvent::MouseMove, QPoint(201, 201), Qt::NoButton);
        sendMouse(&splitter, QEvent::MouseMove, vertical ? QPoint(at, 50) : QPoint(50, at), Qt::NoButton);
        QCOMPARE(int(splitter.cursor().shape()), shape);
    }

    void splitterCommands()
    {
        ShellFixture shell;
        FTPApp &app = shell.start();
        FTPFrame *frame = app.frame();
        CSplitter *splitter = app.splitter();
        const auto checked = [splitter](int id) {
            CommandState state;
            return splitter->commandState(id, state) && state.enabled && state.checked;
        };
        QVERIFY(checked(Cmd::SplitWindow));
        QVERIFY(checked(Cmd::SplitVertically));

        QVERIFY(frame->runCommand(Cmd::SplitWindow));
        QVERIFY(!splitter->showTwo());
        QVERIFY(!checked(Cmd::SplitWindow));
        QVERIFY(!splitter->pane(1)->isVisible());
        QCOMPARE(splitter->pane(0)->geometry(), splitter->rect());

        QVERIFY(frame->runCommand(Cmd::SplitVertically));
        QVERIFY(Window::panesStacked());
        QVERIFY(!checked(Cmd::SplitVertically));
        QVERIFY(frame->runCommand(Cmd::SplitWindow));
        QCOMPARE(splitter->pane(1)->geometry().top(), splitter->position() + 3);
        QCOMPARE(splitter->pane(0)->width(), splitter->width());

        QVERIFY(frame->runCommand(Cmd::SplitVertically));
        QVERIFY(!Window::panesStacked());
        QCOMPARE(splitter->pane(1)->geometry().left(), splitter->position() + 3);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
