// The panes browsing a real pyftpdlib host: lists and trees filled as listings arrive, only with
// the listing a list asked for, refreshes seen by both panes, Ctrl+click showing the cache alone,
// directories vanishing under a selection, and panes and lists replaced or destroyed while a
// listing is arriving.

#include "PaneFixture.h"
#include "support/VsftpdFixture.h"

#include "ftp/Connection.h"
#include "panes/CommandIds.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace panetest;

namespace {
constexpr int BigCount = 20000;
}

class TestWindowListings : public QObject, protected PaneFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(setUpRun(), qPrintable(setUpError()));
        // A directory long enough that its listing arrives in many pieces.
        for (int i = 0; i < BigCount; ++i)
            QVERIFY(server_.writeFile(QStringLiteral("big/file%1.dat").arg(i, 5, 10, QLatin1Char('0')), QByteArray()));
        QVERIFY(server_.makeDir(QStringLiteral("big/sub")));
    }

    void init() { setUpTest(); }
    void cleanup() { dropPanes(); }

    // Browsing the host: the list fills and sorts, both trees learn the directories.
    void browseHost()
    {
        makePanes();
        browseRoot();
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/pub/")));
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

    // A host behind a firewall takes passive data connections only: the pane lists it in the
    // program's default mode; told to use active mode for that host, it says why it cannot.
    void browsePassiveOnlyHost_data()
    {
        QTest::addColumn<QString>("dataMode"); // the host's value
        QTest::addColumn<bool>("listed");
        QTest::newRow("the program's default") << "0" << true;
        QTest::newRow("passive") << "2" << true;
        QTest::newRow("active") << "1" << false;
    }

    void browsePassiveOnlyHost()
    {
        QFETCH(QString, dataMode);
        QFETCH(bool, listed);
        VsftpdFixture strict;
        QVERIFY2(strict.start(), qPrintable(strict.errorString()));
        QVERIFY(strict.writeFile(QStringLiteral("pub/a.txt"), "abc") && strict.makeDir(QStringLiteral("pub/sub")));
        panetest::storeHost(QStringLiteral("strict"), strict.port());
        SettingsStore::instance().setValue(SettingsKeys::hostKey(QStringLiteral("strict")), QStringLiteral("DataMode"),
                                           dataMode);
        makePanes();
        QVERIFY(showLocation(pane0_, QStringLiteral("strict"), QStringLiteral("/pub/")));
        if (listed) {
            QTRY_COMPARE_WITH_TIMEOUT(itemTexts(pane0_->list()), (QStringList{"sub", "a.txt"}), Bound);
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(prompt_.contains(QStringLiteral("Error Setting Port"), QStringLiteral("Permission denied")), Bound);
            QTRY_VERIFY_WITH_TIMEOUT(status_.texts().contains(QStringLiteral("List of /pub/ on strict failed")), Bound);
        }
    }

    // A host that keeps no listing cache shows its files all the same.
    void browseHostWithoutCache()
    {
        SettingsStore::instance().setValue(SettingsKeys::hostKey(Site), QStringLiteral("CacheType"), QStringLiteral("0"));
        const auto restore = qScopeGuard([] {
            SettingsStore::instance().setValue(SettingsKeys::hostKey(Site), QStringLiteral("CacheType"), QStringLiteral("1"));
        });
        makePanes();
        browseRoot();
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/pub/")));
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(pane0_->list()),
                                  (QStringList{"docs", "incoming", "image.bin", "readme.txt"}), Bound);
    }

    // A mouse click on a host with a start path lists the start path and highlights its node, not
    // the host's row that was clicked.
    void clickOnHostHighlightsStartPath()
    {
        SettingsStore::instance().setValue(SettingsKeys::hostKey(Site), QStringLiteral("StartPath"),
                                           QStringLiteral("/pub/incoming/"));
        const auto restore = qScopeGuard([] {
            SettingsStore::instance().setValue(SettingsKeys::hostKey(Site), QStringLiteral("StartPath"), QString());
        });
        makePanes();
        DirWindow *tree = pane0_->tree();
        QTreeWidgetItem *host = tree->FindHostNode(tree->topNode(), Site);
        QVERIFY(host);
        tree->scrollToItem(host);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(host).center());
        QTRY_VERIFY_WITH_TIMEOUT(tree->currentItem() && tree->currentItem() != host, Bound);
        QCOMPARE(tree->GetNodeLocation(tree->currentItem()).path, QStringLiteral("/pub/incoming/"));
        QCOMPARE(tree->selectedItems(), QList<QTreeWidgetItem *>{tree->currentItem()});
    }

    // A directory removed on the host leaves both trees at the next refresh.
    void refreshSweepsVanishedDirectories()
    {
        QVERIFY(server_.makeDir(QStringLiteral("pub/old")));
        makePanes();
        browseRoot();
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/pub/")));
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

    // The list moves from one directory to another before the first one's listing is in: the
    // older listing, whether it waits in the queue or is already arriving, does not fill it.
    void listMovesOnBeforeListingEnds_data()
    {
        QTest::addColumn<bool>("waitForFirst");
        QTest::newRow("both queued") << false;
        QTest::newRow("first arriving") << true;
    }

    void listMovesOnBeforeListingEnds()
    {
        QFETCH(bool, waitForFirst);
        makePanes();
        FileWindow *list = pane0_->list();
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/big/")));
        if (waitForFirst)
            QTRY_VERIFY_WITH_TIMEOUT(list->arrivingCount() > 0, Bound);
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/pub/")));
        QTRY_COMPARE_WITH_TIMEOUT(countStatus(status_, QStringLiteral("Finished Retrieving List.")), 2, Bound);
        QCOMPARE(itemTexts(list), (QStringList{"docs", "incoming", "image.bin", "readme.txt"}));
        QCOMPARE(pane0_->listTitle(), QStringLiteral("Files in /pub on site"));
    }

    // Both panes show the same directory; a refresh in one shows what changed in both.
    void refreshReachesOtherPane()
    {
        makePanes();
        for (Window *pane : {pane0_, pane1_}) {
            QVERIFY(showLocation(pane, Site, QStringLiteral("/pub/")));
            QTRY_VERIFY_WITH_TIMEOUT(pane->list()->findItem(QStringLiteral("readme.txt")) >= 0, Bound);
        }
        QVERIFY(server_.writeFile(QStringLiteral("pub/fresh.txt"), "new"));
        const auto removeFresh = qScopeGuard([this] { QFile::remove(server_.pathOf(QStringLiteral("pub/fresh.txt"))); });
        QVERIFY(pane0_->handleCommand(Cmd::RefreshCurrent));
        for (Window *pane : {pane0_, pane1_})
            QTRY_COMPARE_WITH_TIMEOUT(itemTexts(pane->list()),
                                      (QStringList{"docs", "incoming", "fresh.txt", "image.bin", "readme.txt"}),
                                      Bound);
    }

    // A Ctrl+click in the tree shows what the cache holds, even an expired listing, and contacts
    // no host; with nothing cached it shows nothing.
    void ctrlClickShowsCacheOnly()
    {
        const QString key = SettingsKeys::hostKey(Site);
        SettingsStore::instance().setValue(key, QStringLiteral("CacheType"), QStringLiteral("3"));
        SettingsStore::instance().setValue(key, QStringLiteral("CacheMins"), QStringLiteral("0"));
        SettingsStore::instance().setValue(key, QStringLiteral("CacheDays"), QStringLiteral("0"));
        makePanes();
        browseRoot();
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/pub/")));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("readme.txt")) >= 0, Bound);
        clickNode(pane0_, pane0_->tree()->FindHostNode(pane0_->tree()->topNode(), Site));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("top.txt")) >= 0, Bound);
        Connection *browse = pool_->connection(ConnectionManager::Browse, 0);
        QVERIFY(browse);
        QTRY_COMPARE_WITH_TIMEOUT(browse->state(), Connection::Idle, Bound);
        const int lists = int(server_.listingsServed());

        pane0_->handleCommand(Cmd::ShowTree);
        DirWindow *tree = pane0_->tree();
        const auto ctrlClick = [tree](const QString &path) {
            QTreeWidgetItem *node = tree->findLocationNode(Site, path);
            QVERIFY(node);
            tree->scrollToItem(node);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, tree->visualItemRect(node).center());
            QCOMPARE(tree->currentItem(), node);
        };
        ctrlClick(QStringLiteral("/pub/"));
        QCOMPARE(itemTexts(pane0_->list()), (QStringList{"docs", "incoming", "image.bin", "readme.txt"}));
        ctrlClick(QStringLiteral("/incoming/"));
        QCOMPARE(pane0_->listTitle(), QStringLiteral("Files in /incoming on site"));
        QCOMPARE(pane0_->list()->itemCount(), 0);
        QCOMPARE(browse->state(), Connection::Idle);
        QVERIFY(!pool_->listingUnderWay(pane0_->list()->shownListing));

        // A plain click goes to the host.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(tree->findLocationNode(Site, QStringLiteral("/pub/"))).center());
        QTRY_VERIFY_WITH_TIMEOUT(server_.listingsServed() > lists, Bound);
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("readme.txt")) >= 0, Bound);
    }

    // A directory vanishes from the host and another pane's refresh removes its node while this
    // pane shows it or a directory below it, just after a click that did not move the selection:
    // the selection moves to the parent, which is listed once the tree is whole again.
    void selectedNodeSweptAway_data()
    {
        QTest::addColumn<QStringList>("dirs");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("selected");
        QTest::newRow("among others") << QStringList{"near/gone", "near/kept"} << "/near/" << "near/gone"
                                      << "/near/gone/";
        QTest::newRow("only child") << QStringList{"solo/only"} << "/solo/" << "solo/only" << "/solo/only/";
        QTest::newRow("below the removed") << QStringList{"deep/mid/low"} << "/deep/" << "deep/mid"
                                           << "/deep/mid/low/";
    }

    void selectedNodeSweptAway()
    {
        QFETCH(QStringList, dirs);
        QFETCH(QString, parent);
        QFETCH(QString, removed);
        QFETCH(QString, selected);
        for (const QString &dir : dirs)
            QVERIFY(server_.makeDir(dir));
        const QString top = server_.pathOf(parent);
        const auto removeDirs = qScopeGuard([top] { QDir(top).removeRecursively(); });
        makePanes();
        browseRoot();
        for (Window *pane : {pane0_, pane1_}) {
            QVERIFY(showLocation(pane, Site, parent));
            QTRY_VERIFY_WITH_TIMEOUT(pane->tree()->currentItem()->isExpanded(), Bound);
        }
        pane0_->handleCommand(Cmd::ShowTree);
        DirWindow *tree = pane0_->tree();
        tree->selectedByMouse = true;
        QVERIFY(tree->GoToLocation(Site, selected, true));
        QTreeWidgetItem *shown = tree->currentItem();
        QTRY_VERIFY_WITH_TIMEOUT(shown->isExpanded(), Bound);
        tree->scrollToItem(shown);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(shown).center());
        QCOMPARE(tree->currentItem(), shown);

        QVERIFY(QDir(server_.pathOf(removed)).removeRecursively());
        QVERIFY(pane1_->handleCommand(Cmd::RefreshCurrent));
        QTRY_VERIFY_WITH_TIMEOUT(!tree->findLocationNode(Site, selected), Bound);
        QCOMPARE(tree->currentItem(), tree->findLocationNode(Site, parent));
        QString title = parent;
        title.chop(1);
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->listTitle(), QStringLiteral("Files in %1 on site").arg(title), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(pane0_->list()), itemTexts(pane1_->list()), Bound);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // A new view style while a listing is arriving: the new list ends with the whole listing and
    // the tree keeps every directory.
    void styleChangedMidListing()
    {
        makePanes();
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/big/")));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->arrivingCount() > 0, Bound);
        pane0_->handleCommand(Cmd::SmallIcons);
        QCOMPARE(pane0_->list()->style(), int(FileWindow::SmallIcons));
        QTRY_VERIFY_WITH_TIMEOUT(status_.texts().contains(QStringLiteral("Finished Retrieving List.")), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->list()->itemCount(), BigCount + 1, Bound);
        QCOMPARE(pane0_->list()->itemText(0), QStringLiteral("sub"));
        QCOMPARE(childTexts(pane0_->tree()->findLocationNode(Site, QStringLiteral("/big/"))), QStringList{"sub"});
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // The list comes back to a directory whose listing is still arriving: it ends with the whole
    // listing, and the tree keeps the directories that arrive after the return.
    void backToListingUnderWay()
    {
        makePanes();
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/big/")));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->arrivingCount() > 0, Bound);
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/")));
        QVERIFY(showLocation(pane0_, Site, QStringLiteral("/big/")));
        QTRY_VERIFY_WITH_TIMEOUT(status_.texts().contains(QStringLiteral("Finished Retrieving List.")), Bound);
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->list()->itemCount(), BigCount + 1, Bound);
        QCOMPARE(childTexts(pane0_->tree()->findLocationNode(Site, QStringLiteral("/big/"))), QStringList{"sub"});
    }

    // A new view style refills the list from what the pane shows: the hosts, a local folder, a
    // host directory (from the cache, without asking the host again).
    void styleChangeRefills_data()
    {
        QTest::addColumn<QString>("host"); // empty: the hosts
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("hosts") << "" << "" << QStringList{"My Computer", Site};
        QTest::newRow("local folder") << "My Computer" << "C:/styles/" << QStringList{"inner", "a.txt"};
        QTest::newRow("host directory") << Site << "/pub/" << QStringList{"docs", "incoming", "image.bin", "readme.txt"};
    }

    void styleChangeRefills()
    {
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(QStringList, items);
        QVERIFY(QDir(env_.home()).mkpath(QStringLiteral("styles/inner")));
        QFile file(env_.home() + QStringLiteral("/styles/a.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        makePanes();
        if (!host.isEmpty())
            QVERIFY(showLocation(pane0_, host, path));
        QTRY_COMPARE_WITH_TIMEOUT(itemTexts(pane0_->list()), items, Bound);
        const int lists = int(server_.listingsServed());
        for (int id : {Cmd::ListView, Cmd::SmallIcons, Cmd::Details}) {
            QVERIFY(pane0_->handleCommand(id));
            QCOMPARE(itemTexts(pane0_->list()), items);
        }
        QCOMPARE(int(server_.listingsServed()), lists);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // The panes go while a listing is arriving on a real connection; the listing then ends
    // without them.
    void panesDestroyedMidListing()
    {
        makePanes();
        showLocation(pane0_, Site, QStringLiteral("/big/"));
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->arrivingCount() > 0, Bound);
        QVERIFY(!status_.texts().contains(QStringLiteral("Finished Retrieving List.")));
        delete host_; // each pane leaves the pool as it goes
        host_ = nullptr;
        pane0_ = pane1_ = nullptr;
        QVERIFY(pool_->panes().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(status_.texts().contains(QStringLiteral("Finished Retrieving List.")), Bound);
        Connection *browse = pool_->connection(ConnectionManager::Browse, 0);
        QVERIFY(browse);
        QTRY_COMPARE_WITH_TIMEOUT(browse->state(), Connection::Idle, Bound);
    }
};

QTEST_MAIN(TestWindowListings)
#include "tst_windowlistings.moc"
