// The operations of the panes on a real pyftpdlib host and real folders of the home folder (drive
// C:): the transfer arrows in each direction, the question before copying onto the same folder,
// renames on the host and on the local disk, dragging a selection to the other pane and dropping
// the desktop's files onto a host directory.

#include "PaneFixture.h"

#include "ftp/Connection.h"
#include "panes/CommandIds.h"
#include "dialogs/DialogRunner.h"
#include "pool/Destinations.h"
#include "dialogs/WatchDialog.h"
#include "panes/PaneDrag.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QPointer>
#include <QUrl>

using namespace panetest;

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sends a drag over and a drop on a widget, as the desktop does.
void dropOn(QWidget *viewport, QMimeData *data)
{
    const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
}

} // namespace

class TestPaneOperations : public QObject, protected PaneFixture
{
    Q_OBJECT

    QString local(const QString &relative) const { return env_.home() + u'/' + relative; }

    // Shows a location in a pane and waits for its list to hold an item.
    bool show(Window *pane, const QString &host, const QString &path, const QString &item)
    {
        if (!showLocation(pane, host, path))
            return false;
        return QTest::qWaitFor([&] { return pane->list()->findItem(item) >= 0; }, Bound);
    }

    static void select(Window *pane, const QString &item)
    {
        FileWindow *list = pane->list();
        list->unselectAll();
        list->setSelected(list->findItem(item), true);
    }

private slots:
    void initTestCase() { QVERIFY2(setUpRun(), qPrintable(setUpError())); }

    void init()
    {
        setUpTest();
        QDir(local("work")).removeRecursively();
    }

    void cleanup() { dropPanes(); }

    // The arrows copy the first pane's selection to the second pane's location and back, with the
    // connection the pool's option names: no dialog asks.
    void arrowsCopy_data()
    {
        QTest::addColumn<QString>("from");  // host of the first pane: site or local
        QTest::addColumn<QString>("to");
        QTest::newRow("download") << "site" << "local";
        QTest::newRow("upload") << "local" << "site";
        QTest::newRow("local to local") << "local" << "local";
    }

    void arrowsCopy()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QVERIFY(writeFile(local("work/a/up.bin"), QByteArray(5000, 'u')));
        QVERIFY(QDir().mkpath(local("work/b")));
        QVERIFY(server_.makeDir(QStringLiteral("drop")));
        makePanes();
        pool_->setArrowConnection(1);
        const bool fromHost = from == u"site";
        const bool toHost = to == u"site";
        QVERIFY(fromHost ? show(pane0_, Site, "/pub/", "readme.txt") : show(pane0_, DirWindow::MyComputer, "C:/work/a/", "up.bin"));
        QVERIFY(toHost ? showLocation(pane1_, Site, "/drop/") : showLocation(pane1_, DirWindow::MyComputer, "C:/work/b/"));
        const QString name = fromHost ? QStringLiteral("readme.txt") : QStringLiteral("up.bin");
        select(pane0_, name);

        QVERIFY(pane1_->handleCommand(Window::ArrowToSecond));
        const QByteArray expected = fromHost ? QByteArray(1000, 'r') : QByteArray(5000, 'u');
        if (toHost)
            QTRY_COMPARE_WITH_TIMEOUT(server_.readFile(QStringLiteral("drop/") + name), expected, Bound);
        else
            QTRY_COMPARE_WITH_TIMEOUT(readFile(local("work/b/") + name), expected, Bound);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // Both panes on the same folder: the arrow asks first, and No copies nothing.
    void arrowOntoTheSameFolderAsks()
    {
        QVERIFY(writeFile(local("work/a/f.txt"), "f"));
        makePanes();
        QVERIFY(show(pane0_, DirWindow::MyComputer, "C:/work/a/", "f.txt"));
        QVERIFY(show(pane1_, DirWindow::MyComputer, "C:/work/a/", "f.txt"));
        select(pane0_, QStringLiteral("f.txt"));
        prompt_.queueAnswer(Prompt::No);
        QVERIFY(pane1_->handleCommand(Window::ArrowToSecond));
        QCOMPARE(prompt_.count(), 1);
        QCOMPARE(prompt_.entries().constFirst().caption, QStringLiteral("Source and Destination Identical"));
        QCOMPARE(QDir(local("work/a")).entryList(QDir::Files), QStringList{"f.txt"});
    }

    // Closing the connections asks first; No leaves them, Yes closes every one of them.
    void closeAllConnectionsAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("no") << int(Prompt::No);
        QTest::newRow("yes") << int(Prompt::Yes);
    }

    void closeAllConnectionsAsks()
    {
        QFETCH(int, answer);
        makePanes();
        QVERIFY(show(pane0_, Site, "/pub/", "readme.txt"));
        QPointer<Connection> browse = pool_->connection(ConnectionManager::Browse, 0);
        QVERIFY(browse);
        CommandState state;
        QVERIFY(pane0_->commandState(Cmd::CloseAllConnections, state) && state.enabled);
        prompt_.queueAnswer(answer);
        QVERIFY(pane0_->handleCommand(Cmd::CloseAllConnections));
        QCOMPARE(prompt_.entries().constFirst().caption, QStringLiteral("Closing  Connections"));
        if (answer == Prompt::Yes)
            QTRY_VERIFY_WITH_TIMEOUT(!browse, Bound);
        else
            QCOMPARE(pool_->connection(ConnectionManager::Browse, 0), browse.data());
    }

    // F6 counts the list by kind, selected and in total; F2 sends the typed lines after a CWD to
    // the folder shown; F3 shows what the connection sends and receives.
    void toolsOfTheFolder()
    {
        makePanes();
        QVERIFY(show(pane0_, Site, "/pub/", "readme.txt"));
        select(pane0_, QStringLiteral("readme.txt"));
        for (const int id : {int(Cmd::DirectoryInformation), int(Cmd::WatchConnection), int(Cmd::CustomCommand)}) {
            CommandState state;
            QVERIFY(pane0_->commandState(id, state) && state.enabled);
        }

        struct Runner : DialogRunner
        {
            std::function<void(QDialog &)> step;
            int run(QDialog &dialog) override
            {
                step(dialog);
                return dialog.result();
            }
        } runner;
        DialogRunner::install(&runner);
        const auto uninstall = qScopeGuard([] { DialogRunner::install(nullptr); });

        QStringList stats;
        runner.step = [&](QDialog &dialog) {
            stats << dialog.windowTitle();
            for (QLabel *label : dialog.findChildren<QLabel *>())
                stats << label->text();
            dialog.accept();
        };
        QVERIFY(pane0_->handleCommand(Cmd::DirectoryInformation));
        QCOMPARE(stats.value(0), QStringLiteral("Directory Stats for /pub/"));
        // Rows after the two headings: title, selected, total.
        QCOMPARE(stats.mid(3, 3), (QStringList{"ASCII Files:", "0", "0"}));
        QCOMPARE(stats.mid(6, 3), (QStringList{"Binary Files:", "1", "2"})); // readme.txt selected, image.bin
        QCOMPARE(stats.mid(12, 3), (QStringList{"Directories:", "0", "2"}));
        QCOMPARE(stats.mid(22, 3), (QStringList{"Total:", "1,000", "1,999"}));

        QVERIFY(pane0_->handleCommand(Cmd::WatchConnection));
        auto *watch = host_->findChild<WatchDialog *>();
        QVERIFY(watch);
        QCOMPARE(watch->windowTitle(), QStringLiteral("Monitoring site"));
        runner.step = [](QDialog &dialog) {
            dialog.findChild<QPlainTextEdit *>(QStringLiteral("ctl101"))->setPlainText(QStringLiteral("NOOP"));
            dialog.accept();
        };
        QVERIFY(pane0_->handleCommand(Cmd::CustomCommand));
        QTRY_VERIFY_WITH_TIMEOUT(watch->lines().contains(QStringLiteral("Sent > NOOP")), Bound);
        QVERIFY(watch->lines().contains(QStringLiteral("Sent > CWD /pub/")));
        QTRY_VERIFY_WITH_TIMEOUT(watch->lines().filter(QStringLiteral("Received > 200")).size() >= 1, Bound);

        QPointer<WatchDialog> gone(watch);
        pool_->CloseAll(); // the connection goes, and its window with it
        QTRY_VERIFY_WITH_TIMEOUT(!gone, Bound);
    }

    // F11 takes a host and a folder: both trees learn it, this pane goes there, and the folder
    // joins the host's recent destinations; from the host folders it starts on the local disk.
    void goToFolder_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("path");
        QTest::newRow("a host folder") << "site" << "pub\\docs" << "/pub/docs/";
        QTest::newRow("a local folder") << "My Computer" << "work" << "C:/work/";
    }

    void goToFolder()
    {
        QFETCH(QString, host);
        QFETCH(QString, typed);
        QFETCH(QString, path);
        QVERIFY(QDir().mkpath(local("work")));
        makePanes();
        struct Runner : DialogRunner
        {
            QString host, typed, shownHost;
            int run(QDialog &dialog) override
            {
                auto *hosts = dialog.findChild<QComboBox *>(QStringLiteral("ctl102"));
                shownHost = hosts->currentText();
                hosts->setCurrentText(host);
                dialog.findChild<QComboBox *>(QStringLiteral("ctl101"))->setEditText(typed);
                dialog.accept();
                return dialog.result();
            }
        } runner;
        runner.host = host;
        runner.typed = typed;
        DialogRunner::install(&runner);
        const auto uninstall = qScopeGuard([] { DialogRunner::install(nullptr); });

        QVERIFY(pane0_->handleCommand(Cmd::GoToFolder));
        QCOMPARE(runner.shownHost, QStringLiteral("My Computer")); // the pane showed the host folders
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->currentPath(), path, Bound);
        QCOMPARE(pane0_->currentHost(), host);
        QVERIFY(pane1_->tree()->findLocationNode(host, path));
        QCOMPARE(Destinations::list(host), QStringList{path});
    }

    // A rename typed in the list: on the host through the host, locally without ever replacing
    // a file that has the new name already.
    void renameInTheList_data()
    {
        QTest::addColumn<bool>("onHost");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<bool>("done");
        QTest::newRow("on the host") << true << "renamed.txt" << true;
        QTest::newRow("locally") << false << "renamed.txt" << true;
        QTest::newRow("locally onto an existing file") << false << "other.txt" << false;
        QTest::newRow("a name with a slash") << false << "sub/x.txt" << false;
    }

    void renameInTheList()
    {
        QFETCH(bool, onHost);
        QFETCH(QString, newName);
        QFETCH(bool, done);
        QVERIFY(server_.writeFile(QStringLiteral("ren/old.txt"), "old"));
        QVERIFY(writeFile(local("work/ren/old.txt"), "old") && writeFile(local("work/ren/other.txt"), "other"));
        makePanes();
        QVERIFY(onHost ? show(pane0_, Site, "/ren/", "old.txt") : show(pane0_, DirWindow::MyComputer, "C:/work/ren/", "old.txt"));

        pane0_->renameListItem(pane0_->list()->findItem(QStringLiteral("old.txt")), newName);
        if (onHost) {
            QTRY_COMPARE_WITH_TIMEOUT(server_.readFile(QStringLiteral("ren/") + newName), QByteArray("old"), Bound);
            QVERIFY(!server_.exists(QStringLiteral("ren/old.txt")));
        } else {
            if (done)
                QCOMPARE(readFile(local("work/ren/") + newName), QByteArray("old"));
            QCOMPARE(QFileInfo::exists(local("work/ren/old.txt")), !done);
            QCOMPARE(readFile(local("work/ren/other.txt")), QByteArray("other")); // never replaced
            QCOMPARE(prompt_.count(), done ? 0 : 1);
        }
        if (done)
            QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(newName) >= 0, Bound);
        else
            QVERIFY(pane0_->list()->findItem(QStringLiteral("old.txt")) >= 0);
    }

    // Dragging the selection onto the other pane copies it as the arrow towards that pane does.
    void dragToTheOtherPane()
    {
        QVERIFY(QDir().mkpath(local("work/b")));
        makePanes();
        pool_->setArrowConnection(1);
        QVERIFY(show(pane0_, Site, "/pub/", "image.bin"));
        QVERIFY(showLocation(pane1_, DirWindow::MyComputer, "C:/work/b/"));
        select(pane0_, QStringLiteral("image.bin"));
        PaneDrag data(pane0_);
        dropOn(pane1_->list()->view()->viewport(), &data);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(local("work/b/image.bin")), QByteArray(999, 'b'), Bound);
    }

    // Files and folders dropped from the desktop onto a host directory go up there; onto a local
    // folder nothing happens (the desktop copies those itself).
    void dropFromTheDesktop()
    {
        QVERIFY(writeFile(local("work/desk/one.txt"), "one") && writeFile(local("work/desk/tree/two.txt"), "two"));
        QVERIFY(server_.makeDir(QStringLiteral("up")));
        makePanes();
        pool_->setArrowConnection(1);
        QVERIFY(showLocation(pane1_, Site, "/up/"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(local("work/desk/one.txt")), QUrl::fromLocalFile(local("work/desk/tree"))});
        dropOn(pane1_->list()->view()->viewport(), &data);
        QTRY_COMPARE_WITH_TIMEOUT(server_.readFile(QStringLiteral("up/one.txt")), QByteArray("one"), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(server_.readFile(QStringLiteral("up/tree/two.txt")), QByteArray("two"), Bound);
    }
};

QTEST_MAIN(TestPaneOperations)
#include "tst_paneoperations.moc"
