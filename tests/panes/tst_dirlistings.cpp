// The location tree kept in step with directory contents: local scans of real folders (C: is the
// test's own home folder), listings applied with mark and sweep, changes reported by operations,
// and expansion of drives, folders and of a host listed by pyftpdlib through a real pool.

#include "DirTreeFixture.h"

#include "support/FtpServerFixture.h"

#include "ftp/PackedDateTime.h"
#include "panes/FileWindow.h"
#include "panes/PaneImages.h"
#include "panes/Window.h"

#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QTest>

#include <unistd.h>

using namespace dirtest;

class TestDirListings : public QObject, protected DirTreeFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(setUpRun(), qPrintable(env_.errorString())); }
    void init() { QVERIFY(setUpTest()); }
    void cleanup() { tearDownTest(); }

    // --- local scans ---------------------------------------------------------------------------

    // Directories become nodes, hidden ones included; a node can be opened only when it holds a
    // subdirectory whose name does not start with ".".
    void scanBuildsNodes()
    {
        QVERIFY(makeDirs({"scan/beta/inner", "scan/alpha/.git", "scan/.config", "scan/Gamma"}));
        QVERIFY(QFile(home("scan/file.txt")).open(QIODevice::WriteOnly));
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan"), false));
        QTreeWidgetItem *scan = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan"));
        tree->ScanLocalDirectory(scan, nullptr);

        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QCOMPARE(childTexts(scan), (QStringList{".config", "alpha", "beta", "Gamma"}));
        QVERIFY(scan->isExpanded());
        QCOMPARE(childTexts(scan->child(2)), QStringList{Filler});
        for (int i : {0, 1, 3})
            QCOMPARE(scan->child(i)->childCount(), 0);
        for (int i = 0; i < scan->childCount(); ++i) {
            QCOMPARE(DirWindow::nodeFlags(scan->child(i)), DirWindow::DirectoryData);
            QCOMPARE(DirWindow::nodeIcon(scan->child(i)), int(IconFolder));
            QCOMPARE(DirWindow::nodeSelectedIcon(scan->child(i)), int(IconFolderOpen));
        }
    }

    // A folder gone from the disk goes from the tree, a new one appears, an existing node keeps
    // its children and whether it is open, and a node Go To made for a folder that does not
    // exist is removed while one that does exist becomes a plain directory.
    void rescanFollowsTheDisk()
    {
        QVERIFY(makeDirs({"scan/keep/sub/deeper", "scan/gone"}));
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan/later"), false));
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan/ghost"), false));
        QTreeWidgetItem *scan = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan"));
        tree->ScanLocalDirectory(scan, nullptr);
        QCOMPARE(childTexts(scan), (QStringList{"gone", "keep"}));
        QTreeWidgetItem *keep = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan/keep"));
        tree->ScanLocalDirectory(keep, nullptr);
        QCOMPARE(childTexts(keep), QStringList{"sub"});

        QVERIFY(QDir(home("scan/gone")).removeRecursively());
        QVERIFY(makeDirs({"scan/new/child", "scan/later"}));
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan/later"), false));
        tree->ScanLocalDirectory(scan, nullptr);

        QCOMPARE(childTexts(scan), (QStringList{"keep", "later", "new"}));
        QCOMPARE(nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan/keep")), keep);
        QVERIFY(keep->isExpanded());
        QCOMPARE(childTexts(keep), QStringList{"sub"});
        QTreeWidgetItem *later = scan->child(1);
        QCOMPARE(DirWindow::nodeFlags(later), DirWindow::DirectoryData);
        QCOMPARE(DirWindow::nodeIcon(later), int(IconFolder));
        QCOMPARE(childTexts(scan->child(2)), QStringList{Filler});
    }

    void scanOfMissingDirectory()
    {
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/nothere/below"), false));
        QTreeWidgetItem *node = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/nothere"));
        tree->ScanLocalDirectory(node, nullptr);
        QCOMPARE(prompt_.count(), 1);
        QCOMPARE(prompt_.lastText(), QStringLiteral("Couldn't find directory"));
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error"));
        QCOMPARE(prompt_.entries().last().icon, Prompt::Icon::Warning);
        QCOMPARE(childTexts(node), QStringList{"below"});
    }

    // A directory this user may not read is not taken for an empty one: its nodes stay.
    void scanOfUnreadableDirectory()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every directory");
        QVERIFY(makeDirs({"scan/locked/inside"}));
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan/locked"), false));
        QTreeWidgetItem *locked = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan/locked"));
        tree->ScanLocalDirectory(locked, nullptr);
        QCOMPARE(childTexts(locked), QStringList{"inside"});

        QVERIFY(QFile::setPermissions(home("scan/locked"), QFileDevice::WriteOwner));
        tree->ScanLocalDirectory(locked, nullptr);
        QVERIFY(QFile::setPermissions(home("scan/locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                 | QFileDevice::ExeOwner));
        QCOMPARE(prompt_.lastText(), QStringLiteral("Couldn't read directory"));
        QCOMPARE(childTexts(locked), QStringList{"inside"});
    }

    // The scan updates the same directory in every pane's tree, and only there: a tree that
    // holds just a parent of the directory is left alone.
    void scanReachesEveryPaneTree()
    {
        QVERIFY(makeDirs({"scan/a/one", "scan/a/two"}));
        Window first(nullptr, 0, pool_.get());
        Window second(nullptr, 1, pool_.get());
        Window third(nullptr, 2, pool_.get());
        for (Window *pane : {&first, &second, &third})
            pool_->addPane(pane);
        QVERIFY(second.tree()->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan/a/old"), false));
        QVERIFY(third.tree()->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan/b"), false));
        const QString thirdBefore = dump(third.tree()->topNode());

        QVERIFY(first.tree()->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan/a"), false));
        first.tree()->ScanLocalDirectory(
            nodeAt(*first.tree(), QStringLiteral("All Hosts/My Computer/(C:)/scan/a")), nullptr);

        for (Window *pane : {&first, &second}) {
            QTreeWidgetItem *a = nodeAt(*pane->tree(), QStringLiteral("All Hosts/My Computer/(C:)/scan/a"));
            QCOMPARE(childTexts(a), (QStringList{"one", "two"}));
        }
        QCOMPARE(dump(third.tree()->topNode()), thirdBefore);
    }

    // Every entry reaches the list, hidden ones and files included, with its size and its time of
    // modification to the second; what the list showed before goes.
    void scanFillsList()
    {
        QVERIFY(makeDirs({"scan/sub", "scan/.hidden", "other/x"}));
        QFile file(home("scan/data.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("12345") == 5 && file.flush());
        const QDateTime written(QDate(2021, 3, 4), QTime(5, 6, 8));
        QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
        file.close();
        const auto tree = newTree();
        FileWindow list(nullptr, true, FileWindow::Details);
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/other"), false));
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan"), false));
        tree->ScanLocalDirectory(nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/other")), &list);
        tree->ScanLocalDirectory(nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan")), &list);

        QMap<QString, const itemdata *> items;
        for (int row = 0; row < list.itemCount(); ++row)
            items.insert(list.itemText(row), list.itemData(row));
        QCOMPARE(items.keys(), (QStringList{".hidden", "data.bin", "sub"}));
        QVERIFY(items.value("data.bin") && items.value("sub"));
        QCOMPARE(items.value("data.bin")->size, 5u);
        QCOMPARE(items.value("data.bin")->date, PackedDateTime::pack(2021, 3, 4, 5, 6, 8));
        QVERIFY(!items.value("data.bin")->isDirectory);
        QVERIFY(items.value("sub")->isDirectory);
    }

    // --- listings ------------------------------------------------------------------------------

    void listingAddsDirectoriesAndLinks()
    {
        const auto tree = newTree();
        QTreeWidgetItem *site = nodeAt(*tree, QStringLiteral("All Hosts/site"));
        feed(*tree, QStringLiteral("/"),
             {entry(QStringLiteral("readme"), ListingEntry::File), entry(QStringLiteral("zeta")),
              entry(QStringLiteral("bin"), ListingEntry::Link), entry(QStringLiteral("Alpha"))});
        QCOMPARE(childTexts(site), (QStringList{"Alpha", "bin", "zeta"}));
        QVERIFY(site->isExpanded());
        QTreeWidgetItem *bin = site->child(1);
        QCOMPARE(DirWindow::nodeFlags(bin), DirWindow::DirectoryData);
        QCOMPARE(DirWindow::nodeIcon(bin), int(IconLink));
        QCOMPARE(DirWindow::nodeSelectedIcon(bin), int(IconFolderOpen));
        QCOMPARE(DirWindow::nodeIcon(site->child(0)), int(IconFolder));
        for (int i = 0; i < site->childCount(); ++i)
            QCOMPARE(childTexts(site->child(i)), QStringList{Filler});
    }

    // A second listing keeps the nodes it sees again (with their children and opening), removes
    // those it does not and adds new ones; a listing that broke off removes nothing.
    void listingSweep_data()
    {
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QStringList>("children");
        QTest::newRow("complete") << true << QStringList{"new", "pub"};
        QTest::newRow("broke off") << false << QStringList{"lnk", "new", "pub"};
    }

    void listingSweep()
    {
        QFETCH(bool, complete);
        const auto tree = newTree();
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("pub")), entry(QStringLiteral("lnk"), ListingEntry::Link)});
        feed(*tree, QStringLiteral("/pub/"), {entry(QStringLiteral("incoming"))});
        QTreeWidgetItem *pub = nodeAt(*tree, QStringLiteral("All Hosts/site/pub"));
        QVERIFY(pub->isExpanded());

        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("pub")), entry(QStringLiteral("new"))}, complete);
        QTreeWidgetItem *site = nodeAt(*tree, QStringLiteral("All Hosts/site"));
        QTEST(childTexts(site), "children");
        QCOMPARE(nodeAt(*tree, QStringLiteral("All Hosts/site/pub")), pub);
        QVERIFY(pub->isExpanded());
        QCOMPARE(childTexts(pub), QStringList{"incoming"});
        for (int i = 0; i < site->childCount(); ++i)
            QCOMPARE(DirWindow::nodeFlags(site->child(i)), DirWindow::DirectoryData);
    }

    void emptyListingRemovesPlaceholder_data()
    {
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QStringList>("children");
        QTest::addColumn<bool>("expanded");
        QTest::newRow("complete") << true << QStringList{} << true;
        // Nothing arrived: the host still has to be listed when it is opened.
        QTest::newRow("broke off") << false << QStringList{Filler} << false;
    }

    void emptyListingRemovesPlaceholder()
    {
        QFETCH(bool, complete);
        const auto tree = newTree();
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("a.txt"), ListingEntry::File)}, complete);
        QTreeWidgetItem *site = nodeAt(*tree, QStringLiteral("All Hosts/site"));
        QTEST(childTexts(site), "children");
        QTEST(site->isExpanded(), "expanded");
    }

    // Nodes Go To made: one the listing confirms becomes a directory that can be opened, one it
    // does not is removed.
    void listingConfirmsPendingNodes()
    {
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(Site, QStringLiteral("/pub/real"), false));
        QVERIFY(tree->GoToLocation(Site, QStringLiteral("/pub/typo"), false));
        QVERIFY(tree->GoToLocation(Site, QStringLiteral("/pub/deep/er"), false));
        feed(*tree, QStringLiteral("/pub/"), {entry(QStringLiteral("real")), entry(QStringLiteral("deep"))});
        QTreeWidgetItem *pub = nodeAt(*tree, QStringLiteral("All Hosts/site/pub"));
        QCOMPARE(childTexts(pub), (QStringList{"deep", "real"}));
        QTreeWidgetItem *real = pub->child(1);
        QCOMPARE(DirWindow::nodeFlags(real), DirWindow::DirectoryData);
        QCOMPARE(DirWindow::nodeIcon(real), int(IconFolder));
        QCOMPARE(childTexts(real), QStringList{Filler});
        QCOMPARE(childTexts(pub->child(0)), QStringList{"er"});
    }

    // A node Go To made and its own listing opened (empty) gets no placeholder from a later
    // listing of its parent: the placeholder would show under the open node.
    void listedPendingNodeGetsNoPlaceholder()
    {
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(Site, QStringLiteral("/pub/leaf"), false));
        feed(*tree, QStringLiteral("/pub/leaf/"), {entry(QStringLiteral("notes.txt"), ListingEntry::File)});
        QTreeWidgetItem *leaf = nodeAt(*tree, QStringLiteral("All Hosts/site/pub/leaf"));
        QVERIFY(leaf->isExpanded());
        feed(*tree, QStringLiteral("/pub/"), {entry(QStringLiteral("leaf"))});
        QCOMPARE(nodeAt(*tree, QStringLiteral("All Hosts/site/pub/leaf")), leaf);
        QCOMPARE(childTexts(leaf), QStringList{});
        QCOMPARE(DirWindow::nodeFlags(leaf), DirWindow::DirectoryData);
    }

    // A listing of a directory the tree does not show changes nothing.
    void listingOfUnknownDirectory()
    {
        const auto tree = newTree();
        const QString before = dump(tree->topNode());
        feed(*tree, QStringLiteral("/elsewhere/"), {entry(QStringLiteral("x"))});
        tree->listingStarted(QStringLiteral("stranger"), QStringLiteral("/"));
        tree->listingEntry(QStringLiteral("stranger"), QStringLiteral("/"), entry(QStringLiteral("x")));
        tree->listingEnded(QStringLiteral("stranger"), QStringLiteral("/"), true);
        QCOMPARE(dump(tree->topNode()), before);
    }

    // Nodes removed while their listing is arriving: the listed node itself (its parent's listing
    // dropped it) and one of its children (an operation removed it).
    void nodesRemovedDuringListing()
    {
        const auto tree = newTree();
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("pub")), entry(QStringLiteral("tmp"))});
        feed(*tree, QStringLiteral("/tmp/"), {entry(QStringLiteral("old")), entry(QStringLiteral("keep"))});

        tree->listingStarted(Site, QStringLiteral("/pub/"));
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("tmp"))});
        tree->listingEntry(Site, QStringLiteral("/pub/"), entry(QStringLiteral("lost")));
        tree->listingEnded(Site, QStringLiteral("/pub/"), true);
        QCOMPARE(childTexts(nodeAt(*tree, QStringLiteral("All Hosts/site"))), QStringList{"tmp"});

        tree->listingStarted(Site, QStringLiteral("/tmp/"));
        tree->directoryRemoved(Site, QStringLiteral("/tmp/"), QStringLiteral("old"));
        tree->listingEntry(Site, QStringLiteral("/tmp/"), entry(QStringLiteral("old")));
        tree->listingEntry(Site, QStringLiteral("/tmp/"), entry(QStringLiteral("keep")));
        tree->listingEnded(Site, QStringLiteral("/tmp/"), true);
        QCOMPARE(childTexts(nodeAt(*tree, QStringLiteral("All Hosts/site/tmp"))), (QStringList{"keep", "old"}));
    }

    // --- changes reported by operations --------------------------------------------------------

    void operationsUpdateNodes_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("node");
        QTest::addColumn<QStringList>("children");
        QTest::newRow("removed") << "remove" << "/" << "pub" << "" << "All Hosts/site" << QStringList{"tmp"};
        QTest::newRow("removed file") << "remove" << "/" << "a.txt" << "" << "All Hosts/site" << QStringList{"pub", "tmp"};
        QTest::newRow("renamed") << "rename" << "/" << "tmp" << "Archive" << "All Hosts/site"
                                 << QStringList{"Archive", "pub"};
        QTest::newRow("created") << "create" << "/" << "new" << "" << "All Hosts/site"
                                 << QStringList{"new", "pub", "tmp"};
        QTest::newRow("created again") << "create" << "/" << "pub" << "" << "All Hosts/site"
                                       << QStringList{"pub", "tmp"};
        QTest::newRow("created where not listed") << "create" << "/pub/" << "new" << "" << "All Hosts/site/pub"
                                                  << QStringList{Filler};
        QTest::newRow("created with slash") << "create" << "/" << "a/b" << "" << "All Hosts/site"
                                            << QStringList{"pub", "tmp"};
    }

    void operationsUpdateNodes()
    {
        QFETCH(QString, change);
        QFETCH(QString, directory);
        QFETCH(QString, name);
        QFETCH(QString, newName);
        QFETCH(QString, node);
        const auto tree = newTree();
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("pub")), entry(QStringLiteral("tmp"))});
        if (change == u"remove")
            tree->directoryRemoved(Site, directory, name);
        else if (change == u"rename")
            tree->directoryRenamed(Site, directory, name, newName);
        else
            tree->directoryCreated(Site, directory, name);
        QTreeWidgetItem *at = nodeAt(*tree, node);
        QTEST(childTexts(at), "children");
        if (change == u"create" && name == u"new" && directory == u"/")
            QCOMPARE(childTexts(at->child(0)), QStringList{Filler});
    }

    void localDirectoryCreatedHasNoPlaceholder()
    {
        const auto tree = newTree();
        QTreeWidgetItem *scan = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)"));
        tree->ScanLocalDirectory(scan, nullptr);
        tree->directoryCreated(DirWindow::MyComputer, QStringLiteral("C:/"), QStringLiteral("fresh"));
        QTreeWidgetItem *fresh = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/fresh"));
        QVERIFY(fresh);
        QCOMPARE(fresh->childCount(), 0);
    }

    // --- expansion -----------------------------------------------------------------------------

    // Opening a host asks for the listing of "/" and leaves the host closed until the listing has
    // arrived; a pane made later opens it from the cache at once and it stays open.
    void expandingHostListsIt()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        QVERIFY(server.makeDir("pub") && server.makeDir("incoming") && server.writeFile("readme", "hi"));
        storeServer(QStringLiteral("ftp1"), server.port());
        Window pane(nullptr, 0, pool_.get());
        pool_->addPane(&pane);

        QTreeWidgetItem *host = nodeAt(*pane.tree(), QStringLiteral("All Hosts/ftp1"));
        host->setExpanded(true);
        QVERIFY(!host->isExpanded());
        QCOMPARE(DirWindow::nodeFlags(host), quint32(DirWindow::ComputerNode | DirWindow::HostNode));
        QTRY_VERIFY_WITH_TIMEOUT(host->isExpanded(), Bound);
        QCOMPARE(childTexts(host), (QStringList{"incoming", "pub"}));
        QCOMPARE(childTexts(host->child(1)), QStringList{Filler});
        QCOMPARE(listCommands(server), 1);

        Window later(nullptr, 1, pool_.get());
        pool_->addPane(&later);
        QTreeWidgetItem *again = nodeAt(*later.tree(), QStringLiteral("All Hosts/ftp1"));
        again->setExpanded(true);
        QVERIFY(again->isExpanded());
        QCOMPARE(childTexts(again), (QStringList{"incoming", "pub"}));
        QCOMPARE(listCommands(server), 1);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // With fetch off (a Ctrl+click) and nothing cached no host is contacted: the host stays
    // closed with its placeholder.
    void expandingWithoutFetchContactsNoHost()
    {
        FtpServerFixture server;
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        storeServer(QStringLiteral("ftp1"), server.port());
        Window pane(nullptr, 0, pool_.get());
        pool_->addPane(&pane);
        pane.tree()->fetch = false;
        QTreeWidgetItem *host = nodeAt(*pane.tree(), QStringLiteral("All Hosts/ftp1"));
        host->setExpanded(true);
        QVERIFY(!host->isExpanded());
        QCOMPARE(childTexts(host), QStringList{Filler});
        QCOMPARE(pool_->connection(ConnectionManager::Browse, 0), nullptr);
        QVERIFY(!server.log().contains(QStringLiteral("USER")));
    }

    void expandingDriveScansIt()
    {
        QVERIFY(makeDirs({"scan/x"}));
        const auto tree = newTree();
        QTreeWidgetItem *drive = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)"));
        drive->setExpanded(true);
        QVERIFY(drive->isExpanded());
        QVERIFY(childTexts(drive).contains(QStringLiteral("scan")));
        QVERIFY(!childTexts(drive).contains(Filler));
        QCOMPARE(childTexts(nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan"))), QStringList{Filler});
    }

    // A folder that vanished since its parent was scanned: the user is told, the node closes again.
    void expandingVanishedFolderClosesIt()
    {
        QVERIFY(makeDirs({"scan/gone/sub"}));
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/scan"), false));
        tree->ScanLocalDirectory(nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan")), nullptr);
        QTreeWidgetItem *gone = nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan/gone"));
        QCOMPARE(childTexts(gone), QStringList{Filler});
        QVERIFY(QDir(home("scan/gone")).removeRecursively());
        gone->setExpanded(true);
        QCOMPARE(prompt_.lastText(), QStringLiteral("Couldn't find directory"));
        QVERIFY(!gone->isExpanded());
    }
};

QTEST_MAIN(TestDirListings)
#include "tst_dirlistings.moc"
