// The browser pane: its values at first start and at destruction, titles, layout and the divider,
// the selection delay for keyboard movement, the start path of hosts, and browsing a real
// pyftpdlib host and the local disks with two panes kept in step.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"

#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/PaneImages.h"
#include "panes/Window.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QTest>
#include <QTreeWidget>

namespace {

constexpr int Bound = 15000;

const QString Site = QStringLiteral("site");

void storeHost(const QString &name, quint16 port, const QString &startPath = QString(), int parent = 0)
{
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    store.deleteKey(key);
    store.createKey(key);
    store.setValue(key, QStringLiteral("Address"), QStringLiteral("127.0.0.1"));
    store.setValue(key, QStringLiteral("Port"), QString::number(port));
    store.setValue(key, QStringLiteral("Type"), QStringLiteral("1"));
    store.setValue(key, QStringLiteral("CacheType"), QStringLiteral("1"));
    store.setValue(key, QStringLiteral("Parent"), QString::number(parent));
    store.setValue(key, QStringLiteral("This"), QStringLiteral("0"));
    if (!startPath.isEmpty())
        store.setValue(key, QStringLiteral("StartPath"), startPath);
}

void storeFolder(const QString &name, int id)
{
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    store.createKey(key);
    store.setValue(key, QStringLiteral("Parent"), QStringLiteral("0"));
    store.setValue(key, QStringLiteral("This"), QString::number(id));
}

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

int countStatus(const RecordingStatus &status, const QString &prefix)
{
    int count = 0;
    for (const QString &line : status.texts())
        count += line.startsWith(prefix) ? 1 : 0;
    return count;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    FtpServerFixture server_;
    RecordingPrompt prompt_;
    RecordingStatus status_;
    std::unique_ptr<ConnectionManager> pool_;
    QWidget *host_ = nullptr; // parent of the panes, shown offscreen
    Window *pane0_ = nullptr;
    Window *pane1_ = nullptr;

    // Two panes registered with a fresh pool, side by side in a shown window.
    void makePanes(QSize size = {800, 400})
    {
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
        host_ = new QWidget;
        host_->resize(size);
        pane1_ = new Window(host_, 1, pool_.get());
        pane0_ = new Window(host_, 0, pool_.get());
        pool_->addPane(pane0_);
        pool_->addPane(pane1_);
        pane0_->setGeometry(0, 0, size.width() / 2, size.height());
        pane1_->setGeometry(size.width() / 2 + 3, 0, size.width() / 2 - 3, size.height());
        host_->show();
        QVERIFY(QTest::qWaitForWindowExposed(host_));
    }

    void dropPanes()
    {
        delete host_;
        host_ = nullptr;
        pane0_ = pane1_ = nullptr;
        pool_.reset();
    }

    // Selects the node as a mouse click does: shown at once.
    static void clickNode(Window *pane, QTreeWidgetItem *node)
    {
        pane->tree()->selectedByMouse = true;
        pane->tree()->fetch = true;
        pane->tree()->setCurrentItem(node);
    }

    // Lists the host's root in pane 0, so that both trees hold its directories.
    void browseRoot()
    {
        clickNode(pane0_, pane0_->tree()->FindHostNode(pane0_->tree()->topNode(), Site));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("top.txt")) >= 0, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(pane1_->tree()->findLocationNode(Site, QStringLiteral("/pub/")), Bound);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(env_.setUp(), qPrintable(env_.errorString()));
        QVERIFY2(server_.start(), qPrintable(server_.errorString()));
        QVERIFY(server_.makeDir(QStringLiteral("pub/incoming")));
        QVERIFY(server_.makeDir(QStringLiteral("pub/docs")));
        QVERIFY(server_.writeFile(QStringLiteral("pub/readme.txt"), QByteArray(1000, 'r')));
        QVERIFY(server_.writeFile(QStringLiteral("pub/image.bin"), QByteArray(999, 'b')));
        QVERIFY(server_.makeDir(QStringLiteral("incoming")));
        QVERIFY(server_.writeFile(QStringLiteral("top.txt"), "x"));
    }

    void init()
    {
        SettingsStore::instance().deleteKey(SettingsKeys::Root);
        storeHost(Site, server_.port());
        prompt_.clear();
        status_.clear();
    }

    void cleanup() { dropPanes(); }

    void firstStartDefaults()
    {
        makePanes();
        for (Window *pane : {pane0_, pane1_}) {
            QVERIFY(!pane->showTree());
            QVERIFY(!pane->showTitles());
            QVERIFY(pane->showDirs());
            QCOMPARE(pane->listStyle(), int(FileWindow::Details));
            QCOMPARE(pane->list()->sortOrder(), 0);
            QVERIFY(pane->tree()->isHidden());
        }
        QVERIFY(!pane0_->showButtons());
        QVERIFY(pane1_->showButtons());
        QVERIFY(pane1_->arrowToFirst()->isVisible());
        QVERIFY(!pane0_->arrowToFirst()->isVisible());
        QCOMPARE(pane0_->currentHost(), QString());
        QCOMPARE(pane0_->listTitle(), QStringLiteral("Hosts"));
    }

    void valuesWrittenAtDestruction()
    {
        makePanes();
        pane0_->handleCommand(Cmd::ShowTree);
        pane0_->handleCommand(Cmd::SmallIcons);
        pane0_->handleCommand(Cmd::BySize);
        pane0_->handleCommand(Cmd::Descending);
        pane1_->handleCommand(Cmd::ShowTransferButtons); // hides pane 1's arrows
        dropPanes();
        QCOMPARE(AppValue(QStringLiteral("ShowTree0")), QStringLiteral("1"));
        QCOMPARE(AppValue(QStringLiteral("ListStyle0")), QStringLiteral("1"));
        QCOMPARE(AppValue(QStringLiteral("SortBy0")), QStringLiteral("7"));
        QCOMPARE(AppValue(QStringLiteral("ShowTree1")), QStringLiteral("0"));
        QCOMPARE(AppValue(QStringLiteral("ShowButtons")), QStringLiteral("0"));
        QCOMPARE(AppValue(QStringLiteral("ShowDirs1")), QStringLiteral("1"));

        makePanes();
        QVERIFY(pane0_->showTree());
        QCOMPARE(pane0_->listStyle(), int(FileWindow::SmallIcons));
        QCOMPARE(pane0_->list()->sortOrder(), 7);
        QVERIFY(!pane1_->showButtons());
    }

    void titles_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("drive") << "My Computer" << "C:/" << "Files in C:/ on My Computer";
        QTest::newRow("host directory") << Site << "/pub/" << "Files in /pub on site";
        QTest::newRow("host root") << Site << "/" << "Files in / on site";
    }

    void titles()
    {
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(QString, title);
        makePanes();
        pane0_->tree()->selectedByMouse = true;
        QVERIFY(pane0_->tree()->GoToLocation(host, path, true));
        QCOMPARE(pane0_->listTitle(), title);
        QCOMPARE(pane0_->currentPath(), path);
    }

    void myComputerTitle()
    {
        makePanes();
        clickNode(pane0_, pane0_->tree()->FindHostNode(pane0_->tree()->topNode(), QStringLiteral("My Computer")));
        QCOMPARE(pane0_->listTitle(), QStringLiteral("All Disks"));
        QVERIFY(!pane0_->showingFiles());
        QVERIFY(pane0_->list()->itemCount() >= 2); // at least the home drive and the root
    }

    // Moving through ten hosts with the arrow key lists only the one the user stops at.
    void keyboardMovementListsOnce()
    {
        storeFolder(QStringLiteral("Lab"), 5);
        for (int i = 0; i < 10; ++i)
            storeHost(QStringLiteral("h%1").arg(i), server_.port(), QStringLiteral("/"), 5);
        makePanes();
        pane0_->handleCommand(Cmd::ShowTree);
        QTreeWidgetItem *folder = pane0_->tree()->FindHostNode(pane0_->tree()->topNode(), QStringLiteral("Lab"));
        QVERIFY(folder && folder->text(0) == QLatin1String("Lab"));
        clickNode(pane0_, folder);
        QCOMPARE(pane0_->list()->itemCount(), 10);
        folder->setExpanded(true);
        pane0_->tree()->setFocus();
        for (int i = 0; i < 10; ++i)
            QTest::keyClick(pane0_->tree(), Qt::Key_Down);
        QCOMPARE(pane0_->tree()->currentItem()->text(0), QStringLiteral("h9"));
        QCOMPARE(pane0_->listTitle(), QStringLiteral("Files in / on h9"));
        QTRY_COMPARE_WITH_TIMEOUT(countStatus(status_, QStringLiteral("List registered")), 1, Bound);
        QVERIFY(status_.texts().contains(QStringLiteral("List registered on h9 for /")));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("top.txt")) >= 0, Bound);
        QCOMPARE(countStatus(status_, QStringLiteral("List registered")), 1);
    }

    // A host seen for the first time goes to its start path in both trees; only this pane selects it.
    void startPathMovesBothTrees()
    {
        storeHost(Site, server_.port(), QStringLiteral("incoming"));
        makePanes();
        QTreeWidgetItem *site0 = pane0_->tree()->FindHostNode(pane0_->tree()->topNode(), Site);
        QTreeWidgetItem *before1 = pane1_->tree()->currentItem();
        clickNode(pane0_, site0);
        QCOMPARE(pane0_->currentPath(), QStringLiteral("/incoming/"));
        QCOMPARE(pane1_->tree()->currentItem(), before1);
        QTreeWidgetItem *site1 = pane1_->tree()->FindHostNode(pane1_->tree()->topNode(), Site);
        QVERIFY(childTexts(site1).contains(QStringLiteral("incoming")));
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->listTitle(), QStringLiteral("Files in /incoming on site"), Bound);

        // The second selection of the host lists its root.
        clickNode(pane0_, site0);
        QCOMPARE(pane0_->currentPath(), QStringLiteral("/"));
    }

    // Browsing the host: the list fills and sorts, both trees learn the directories.
    void browseHost()
    {
        makePanes();
        browseRoot();
        pane0_->tree()->selectedByMouse = true;
        QVERIFY(pane0_->tree()->GoToLocation(Site, QStringLiteral("/pub/"), true));
        FileWindow *list = pane0_->list();
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(list),
                                  (QStringList{"docs", "incoming", "image.bin", "readme.txt"}), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(status_.texts().contains(QStringLiteral("Finished Retrieving List.")), Bound);
        QCOMPARE(list->sizeText(list->findItem(QStringLiteral("readme.txt"))), QStringLiteral("1,000"));
        QCOMPARE(list->sizeText(list->findItem(QStringLiteral("image.bin"))), QStringLiteral("999"));
        QVERIFY(pane0_->showingFiles());
        QVERIFY(pane0_->isRemote());
        for (Window *pane : {pane0_, pane1_}) {
            QTreeWidgetItem *pub = pane->tree()->findLocationNode(Site, QStringLiteral("/pub/"));
            QVERIFY(pub);
            QCOMPARE(childTexts(pub), (QStringList{"docs", "incoming"}));
        }
        QVERIFY(prompt_.isEmpty());
        QCOMPARE(pane1_->list()->findItem(QStringLiteral("readme.txt")), -1); // pane 1 shows the hosts

        // Hiding directories shows the files only.
        pane0_->handleCommand(Cmd::ShowDirectories);
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(list), (QStringList{"image.bin", "readme.txt"}), Bound);
    }

    // A directory removed on the host leaves both trees at the next refresh.
    void refreshSweepsVanishedDirectories()
    {
        QVERIFY(server_.makeDir(QStringLiteral("pub/old")));
        makePanes();
        browseRoot();
        pane0_->tree()->selectedByMouse = true;
        QVERIFY(pane0_->tree()->GoToLocation(Site, QStringLiteral("/pub/"), true));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("old")) >= 0, Bound);
        QVERIFY(childTexts(pane1_->tree()->findLocationNode(Site, QStringLiteral("/pub/"))).contains("old"));
        QVERIFY(QDir(server_.pathOf(QStringLiteral("pub/old"))).removeRecursively());
        pane0_->handleCommand(Cmd::RefreshCurrent);
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("old")) < 0
                                     && pane0_->list()->findItem(QStringLiteral("docs")) >= 0,
                                 Bound);
        for (Window *pane : {pane0_, pane1_})
            QVERIFY(!childTexts(pane->tree()->findLocationNode(Site, QStringLiteral("/pub/"))).contains("old"));
    }

    // The local disks: a folder in the home drive, entered with Open.
    void browseLocalAndOpen()
    {
        QDir home(env_.home());
        QVERIFY(home.mkpath(QStringLiteral("work/inner")));
        QFile file(home.filePath(QStringLiteral("work/notes.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("12345");
        file.close();
        makePanes();
        pane0_->tree()->selectedByMouse = true;
        QVERIFY(pane0_->tree()->GoToLocation(QStringLiteral("My Computer"), QStringLiteral("C:/work/"), true));
        QCOMPARE(pane0_->listTitle(), QStringLiteral("Files in C:/work on My Computer"));
        QCOMPARE(itemTexts(pane0_->list()), (QStringList{"inner", "notes.txt"}));
        QVERIFY(!pane0_->isRemote());

        const int row = pane0_->list()->findItem(QStringLiteral("inner"));
        pane0_->list()->setSelected(row, true);
        QVERIFY(pane0_->list()->focusedRow() == row || pane0_->list()->focusedRow() >= 0);
        pane0_->handleCommand(Cmd::Open);
        QCOMPARE(pane0_->currentPath(), QStringLiteral("C:/work/inner/"));
    }

    // A folder made by going to a path looks pending until it is shown, then like any folder.
    void pendingFolderBecomesFolder()
    {
        QVERIFY(QDir(env_.home()).mkpath(QStringLiteral("later")));
        makePanes();
        DirWindow *tree = pane0_->tree();
        QVERIFY(tree->GoToLocation(QStringLiteral("My Computer"), QStringLiteral("C:/later/"), false));
        QTreeWidgetItem *node = tree->findLocationNode(QStringLiteral("My Computer"), QStringLiteral("C:/later/"));
        QVERIFY(node);
        QCOMPARE(DirWindow::nodeIcon(node), int(IconPendingFolder));
        clickNode(pane0_, node);
        QCOMPARE(DirWindow::nodeIcon(node), int(IconFolder));
        QCOMPARE(DirWindow::nodeSelectedIcon(node), int(IconFolderOpen));
    }

    void dividerClamps_data()
    {
        QTest::addColumn<int>("dragTo");
        QTest::addColumn<int>("width");
        QTest::newRow("far left") << 10 << 60;
        QTest::newRow("inside") << 200 << 200;
        QTest::newRow("far right") << 395 << 340;
    }

    void dividerClamps()
    {
        QFETCH(int, dragTo);
        QFETCH(int, width);
        makePanes();
        pane0_->handleCommand(Cmd::ShowTree);
        pane0_->resize(400, 300);
        const int start = pane0_->treeWidth();
        QTest::mousePress(pane0_, Qt::LeftButton, {}, QPoint(start + 1, 150));
        QMouseEvent move(QEvent::MouseMove, QPointF(dragTo, 150), pane0_->mapToGlobal(QPointF(dragTo, 150)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pane0_, &move);
        QTest::mouseRelease(pane0_, Qt::LeftButton, {}, QPoint(dragTo, 150));
        QCOMPARE(pane0_->treeWidth(), width);
        QCOMPARE(pane0_->list()->geometry().x(), width + 3);
        QCOMPARE(pane0_->tree()->geometry().width(), width);
    }

    // Without the tree the list fills the pane; stacked panes centre the arrows above it.
    void layoutWithoutTree()
    {
        makePanes();
        Window::setPanesStacked(true);
        pane1_->resize(500, 300);
        pane1_->Layout();
        QCOMPARE(pane1_->list()->geometry(), QRect(0, 23, 500, 300 - 1 - 23));
        QCOMPARE(pane1_->arrowToFirst()->geometry(), QRect(250 - 23, 0, 20, 20));
        QCOMPARE(pane1_->arrowToSecond()->geometry(), QRect(253, 0, 20, 20));
        Window::setPanesStacked(false);
        pane1_->Layout();
        QCOMPARE(pane1_->list()->geometry(), QRect(23, 0, 477, 299));
        QCOMPARE(pane1_->arrowToFirst()->geometry(), QRect(0, 150 - 23, 20, 20));
    }

    void goUpStopsAtTheTop()
    {
        makePanes();
        QVERIFY(pane0_->atRoot());
        CommandState state;
        QVERIFY(pane0_->commandState(Cmd::GoUp, state));
        QVERIFY(!state.enabled);
        pane0_->tree()->selectedByMouse = true;
        QVERIFY(pane0_->tree()->GoToLocation(QStringLiteral("My Computer"), QStringLiteral("C:/"), true));
        QVERIFY(!pane0_->atRoot());
        pane0_->handleCommand(Cmd::GoUp);
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->listTitle(), QStringLiteral("All Disks"), Bound);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
