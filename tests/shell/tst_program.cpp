// The whole program as a new user meets it, over three runs on one settings store: the first
// start on an empty store, a run that browses a real FTP server on loopback and the home folder
// in two panes, sorts, filters and marks, and the next start that comes back the way the last one
// ended. The windows run offscreen; the test answers the dialogs and clicks as a user would.
// The slots are one story and run in order: each run starts from what the one before stored.
//
// Also: the program started without a display says so in one line.

#include "ShellFixture.h"

#include "support/FtpServerFixture.h"
#include "support/TestEnvironment.h"
#include "support/TestHosts.h"

#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/PaneImages.h"
#include "panes/Window.h"
#include "platform/LocalDrives.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/AsciiExtensions.h"
#include "settings/SettingsKeys.h"
#include "shell/CSplitter.h"
#include "shell/FTPFrame.h"
#include "dialogs/SelectWild.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>

namespace {

constexpr int Bound = 15000; // ms
const QString Site = QStringLiteral("Loopback");

QStringList itemTexts(const FileWindow *list)
{
    QStringList texts;
    for (int row = 0; row < list->itemCount(); ++row)
        texts << list->itemText(row);
    return texts;
}

QStringList childTexts(const QTreeWidgetItem *node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QTreeWidgetItem *childNamed(const QTreeWidgetItem *node, const QString &text)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == text)
            return node->child(i);
    }
    return nullptr;
}

QWidget *listView(const Window *pane)
{
    return pane->list()->view();
}

// A left click on the node in the pane's (shown) tree.
void clickNode(Window *pane, QTreeWidgetItem *node)
{
    DirWindow *tree = pane->tree();
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
}

// A double click on the list's item of that text.
void doubleClickItem(Window *pane, const QString &text)
{
    QAbstractItemView *view = pane->list()->view();
    const QModelIndex index = view->model()->index(pane->list()->findItem(text), 0);
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &at, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void dragSplitterBar(CSplitter *splitter, int to)
{
    const int y = splitter->height() / 2;
    sendMouse(splitter, QEvent::MouseButtonPress, QPoint(splitter->position() + 1, y), Qt::LeftButton);
    sendMouse(splitter, QEvent::MouseMove, QPoint(to, y), Qt::LeftButton);
    sendMouse(splitter, QEvent::MouseButtonRelease, QPoint(to, y), Qt::NoButton);
}


QString stored(const QString &name)
{
    return AppValue(name, 1000);
}

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

    TestEnvironment env_; // HOME too: drive C: is a fresh folder
    FtpServerFixture server_;
    std::unique_ptr<ShellFixture> shell_;

    FTPApp &startProgram()
    {
        shell_->dialogs.titles.clear();
        shell_->prompt.clear();
        return shell_->start();
    }

    // Closes the frame as the user does and ends the program.
    void endProgram()
    {
        QVERIFY(shell_->app->frame()->close());
        QVERIFY2(shell_->prompt.isEmpty(), qPrintable(shell_->prompt.dump()));
        shell_->app.reset();
    }

    void focusList(Window *pane)
    {
        FTPFrame *frame = shell_->app->frame();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        listView(pane)->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), listView(pane));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(env_.setUp(), qPrintable(env_.errorString()));
        QVERIFY2(server_.start(), qPrintable(server_.errorString()));
        QVERIFY(server_.makeDir(QStringLiteral("Gamma")));
        QVERIFY(server_.writeFile(QStringLiteral("beta.txt"), QByteArray(300, 'b')));
        QVERIFY(server_.writeFile(QStringLiteral("alpha.bin"), QByteArray(5000, 'a')));
        QVERIFY(server_.writeFile(QStringLiteral("delta.txt"), QByteArray(10, 'd')));
        QDir home(env_.home());
        QVERIFY(home.mkpath(QStringLiteral("photos")));
        QFile notes(home.filePath(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("notes") == 5);
        notes.close();
        shell_ = std::make_unique<ShellFixture>(false); // an empty store
    }

    void cleanupTestCase() { shell_.reset(); }

    // The first start asks for the e-mail address only (listings go to the desktop's cache folder),
    // writes the starter hosts and shows two panes side by side.
    void firstStart()
    {
        QVERIFY(!SettingsStore::instance().keyExists(SettingsKeys::Hosts));
        shell_->dialogs.steps << ScriptedDialogs::type(QStringLiteral("newuser@example.org"));
        FTPApp &app = startProgram();
        QCOMPARE(shell_->dialogs.titles, QStringList{QStringLiteral("Change EMail Address")});
        QVERIFY2(shell_->prompt.isEmpty(), qPrintable(shell_->prompt.dump()));
        QCOMPARE(stored(QStringLiteral("CachePath")), defaultCachePath());

        FTPFrame *frame = app.frame();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        QTRY_COMPARE(frame->windowTitle(), QStringLiteral("Vemal Ftp - All Hosts"));
        const int middle = (app.splitter()->width() - CSplitter::BarWidth) / 2;
        QCOMPARE(app.splitter()->position(), middle);
        QCOMPARE(app.splitter()->pane(1)->geometry().left(), middle + CSplitter::BarWidth);

        // The starter folders and hosts are in both trees; the lists show the top level.
        for (int n = 0; n < 2; ++n) {
            DirWindow *tree = app.splitter()->pane(n)->tree();
            const QStringList top = childTexts(tree->topNode());
            QVERIFY2(top.contains(DirWindow::MyComputer) && top.contains(QStringLiteral("Software Archives")),
                     qPrintable(top.join(u',')));
            QVERIFY(childTexts(childNamed(tree->topNode(), QStringLiteral("Software Archives")))
                        .contains(QStringLiteral("GNU Project")));
            QTRY_VERIFY(app.splitter()->pane(n)->list()->findItem(QStringLiteral("Software Archives")) >= 0);
            QCOMPARE(app.splitter()->pane(n)->listTitle(), QStringLiteral("Hosts"));
        }
        endProgram();
        QVERIFY(!SettingsStore::instance().value(SettingsKeys::Root, QStringLiteral("SplitterPos"))); // not moved
        QCOMPARE(stored(QStringLiteral("ShowTwo")), QStringLiteral("1"));
    }

    // Browsing: the host in pane 0, the home folder in pane 1, sorting, filtering and marking.
    void browseHostAndHome()
    {
        QVERIFY2(SettingsStore::instance().keyExists(SettingsKeys::Hosts), "runs after firstStart");
        storeTestHost(Site, server_.port());
        QVERIFY(!AddAsciiExtension(QStringLiteral("txt")).isEmpty());
        FTPApp &app = startProgram();
        QVERIFY2(shell_->dialogs.titles.isEmpty(), qPrintable(shell_->dialogs.titles.join(u',')));
        FTPFrame *frame = app.frame();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        Window *pane0 = app.splitter()->pane(0);
        Window *pane1 = app.splitter()->pane(1);

        // Pane 0: show its tree and click the host.
        focusList(pane0);
        QVERIFY(frame->runCommand(Cmd::ShowTree));
        QVERIFY(pane0->tree()->isVisible());
        QTreeWidgetItem *host = pane0->tree()->FindHostNode(pane0->tree()->topNode(), Site);
        QVERIFY(host && host->text(0) == Site);
        clickNode(pane0, host);
        FileWindow *list0 = pane0->list();
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(list0), (QStringList{"Gamma", "alpha.bin", "beta.txt", "delta.txt"}),
                                  Bound);
        QTRY_COMPARE_WITH_TIMEOUT(frame->statusLabel()->text(), QStringLiteral("Finished Retrieving List."), Bound);
        QCOMPARE(pane0->listTitle(), QStringLiteral("Files in / on Loopback"));
        QCOMPARE(list0->sizeText(list0->findItem(QStringLiteral("alpha.bin"))), QStringLiteral("5,000"));
        QCOMPARE(list0->itemIcon(list0->findItem(QStringLiteral("beta.txt"))), int(IconAsciiFile));
        QVERIFY(childTexts(host).contains(QStringLiteral("Gamma")));

        // Pane 1: My Computer, then drive C:, which is the home folder.
        focusList(pane1);
        doubleClickItem(pane1, DirWindow::MyComputer);
        QTRY_COMPARE(pane1->listTitle(), QStringLiteral("All Disks"));
        const int drive = pane1->list()->findItem(QStringLiteral("(C:)"));
        QVERIFY(drive >= 0);
        // Shown with what it stands for; "(C:)" stays its name.
        QCOMPARE(pane1->list()->view()->model()->index(drive, 0).data().toString(), QStringLiteral("Home (C:)"));
        doubleClickItem(pane1, QStringLiteral("(C:)"));
        QTRY_COMPARE(pane1->listTitle(), QStringLiteral("Files in C:/ on My Computer"));
        QTRY_COMPARE(frame->windowTitle(), QStringLiteral("Vemal Ftp - My Computer C:/"));
        QCOMPARE(itemTexts(pane1->list()), (QStringList{"photos", "notes.txt"}));

        // By size, from the menu while pane 0 has the focus; pane 1 keeps its order.
        focusList(pane0);
        QVERIFY(frame->runCommand(Cmd::BySize));
        QCOMPARE(itemTexts(list0), (QStringList{"Gamma", "delta.txt", "beta.txt", "alpha.bin"}));
        QCOMPARE(list0->sortOrder(), int(FileWindow::SortSize));
        QCOMPARE(pane1->list()->sortOrder(), int(FileWindow::SortName));

        // Select Using Filter: the dialog answered with *.TXT, without regard to case.
        QVERIFY(frame->runCommand(Cmd::SelectUsingFilter));
        auto *filter = list0->findChild<SelectWild *>();
        QVERIFY(filter);
        filter->findChild<QLineEdit *>(QStringLiteral("ctl102"))->setText(QStringLiteral("*.TXT"));
        ScriptedDialogs::button(*filter, 1)->click();
        QCOMPARE(list0->selectedRows(), (QList<int>{1, 2}));

        // Mark As Binary changes the two icons only: the items keep their places.
        QVERIFY(frame->runCommand(Cmd::MarkBinary));
        QCOMPARE(list0->itemIcon(list0->findItem(QStringLiteral("beta.txt"))), int(IconBinaryFile));
        QCOMPARE(list0->itemIcon(list0->findItem(QStringLiteral("delta.txt"))), int(IconBinaryFile));
        QCOMPARE(list0->itemIcon(list0->findItem(QStringLiteral("Gamma"))), int(IconFolder));
        QCOMPARE(itemTexts(list0), (QStringList{"Gamma", "delta.txt", "beta.txt", "alpha.bin"}));

        dragSplitterBar(app.splitter(), 333);
        QCOMPARE(app.splitter()->position(), 333);
        QVERIFY(app.pool()->AllIdle());
        endProgram();
        QCOMPARE(stored(QStringLiteral("SortBy0")), QStringLiteral("2"));
        QCOMPARE(stored(QStringLiteral("SortBy1")), QStringLiteral("0"));
        QCOMPARE(stored(QStringLiteral("ShowTree0")), QStringLiteral("1"));
        QCOMPARE(stored(QStringLiteral("SplitterPos")), QStringLiteral("333"));
    }

    // The next start reads back what the last one wrote: window, bar, tree and sort order.
    void nextStartComesBackTheSame()
    {
        QVERIFY2(SettingsStore::instance().keyExists(SettingsKeys::hostKey(Site)), "runs after browseHostAndHome");
        const QRect outer(stored(QStringLiteral("Left")).toInt(), stored(QStringLiteral("Top")).toInt(),
                          stored(QStringLiteral("Width")).toInt(), stored(QStringLiteral("Height")).toInt());
        FTPApp &app = startProgram();
        QVERIFY2(shell_->dialogs.titles.isEmpty(), qPrintable(shell_->dialogs.titles.join(u',')));
        FTPFrame *frame = app.frame();
        QVERIFY(frame->placedFromStore());
        QTRY_COMPARE_WITH_TIMEOUT(frame->frameGeometry(), outer, Bound);
        QCOMPARE(app.splitter()->position(), 333);
        Window *pane0 = app.splitter()->pane(0);
        QVERIFY(pane0->showTree());
        QCOMPARE(pane0->list()->sortOrder(), int(FileWindow::SortSize));

        QTreeWidgetItem *host = pane0->tree()->FindHostNode(pane0->tree()->topNode(), Site);
        clickNode(pane0, host);
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(pane0->list()),
                                  (QStringList{"Gamma", "delta.txt", "beta.txt", "alpha.bin"}), Bound);
        endProgram();
    }

    // --- without a display ---------------------------------------------------------------------

    void noDisplaySaysSoInOneLine_data()
    {
        QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM; empty: unset
        QTest::newRow("nothing set") << QString();
        QTest::newRow("X11 asked for, no DISPLAY") << QStringLiteral("xcb");
        QTest::newRow("Wayland, then X11, neither there") << QStringLiteral("wayland;xcb");
    }

    void noDisplaySaysSoInOneLine()
    {
        QFETCH(QString, platform);
        const QString program = QStringLiteral(VEMAL_APP_PATH);
        if (!QFileInfo::exists(program))
            QSKIP("the vemalftp program is not built");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        if (!platform.isEmpty())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, {});
        QVERIFY(process.waitForFinished(Bound));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY(process.exitCode() != 0);
        const QString said = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(said.count(u'\n'), 1);
        QVERIFY2(said.contains(QStringLiteral("no display")), qPrintable(said));
    }
};

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
