// The location tree: the fixed nodes from a real settings store, node locations and searches, Go
// To on hosts and local disks, and the tree's input and commands.

#include "DirTreeFixture.h"

#include "panes/CommandIds.h"
#include "panes/PaneImages.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace dirtest;

class TestDirWindow : public QObject, protected DirTreeFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(setUpRun(), qPrintable(env_.errorString())); }
    void init() { QVERIFY(setUpTest()); }
    void cleanup() { tearDownTest(); }

    // --- the fixed nodes ----------------------------------------------------------------------

    void rootsFollowTheStore()
    {
        SettingsStore::instance().deleteKey(SettingsKeys::Hosts);
        storeEntry(QStringLiteral("zeta"), 0);
        storeEntry(QStringLiteral("Work"), 0, 1);
        storeEntry(QStringLiteral("alpha"), 0);
        storeEntry(QStringLiteral("inner"), 1);
        // Names itself as its parent: shown inside Work, never opened.
        storeEntry(QStringLiteral("Self"), 1, 1);
        storeEntry(QStringLiteral("My Computer"), 0);
        storeEntry(QStringLiteral("orphan"), 7);
        const auto tree = newTree();

        QVERIFY(tree->isHeaderHidden());
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem *top = tree->topNode();
        QCOMPARE(top->text(0), QStringLiteral("All Hosts"));
        QCOMPARE(DirWindow::nodeFlags(top), 0x38u);
        QVERIFY(top->isExpanded());
        // "My Computer" first, then by name without regard to case.
        QCOMPARE(childTexts(top), (QStringList{"My Computer", "alpha", "Work", "zeta"}));

        QTreeWidgetItem *computer = top->child(0);
        QCOMPARE(DirWindow::nodeFlags(computer), 0x10Au);
        QCOMPARE(DirWindow::nodeIcon(computer), int(IconComputer));
        QCOMPARE(DirWindow::nodeSelectedIcon(computer), int(IconComputer));

        QTreeWidgetItem *work = nodeAt(*tree, QStringLiteral("All Hosts/Work"));
        QCOMPARE(DirWindow::nodeFlags(work), 0x68u);
        QCOMPARE(DirWindow::nodeIcon(work), int(IconFolder));
        QCOMPARE(DirWindow::nodeSelectedIcon(work), int(IconFolderOpen));
        QCOMPARE(childTexts(work), (QStringList{"inner", "Self"}));
        QCOMPARE(work->child(1)->childCount(), 0);

        QTreeWidgetItem *zeta = nodeAt(*tree, QStringLiteral("All Hosts/zeta"));
        QCOMPARE(DirWindow::nodeFlags(zeta), 0x10000082u);
        QCOMPARE(DirWindow::nodeIcon(zeta), int(IconComputer));
        QCOMPARE(childTexts(zeta), QStringList{Filler});
        QVERIFY(DirWindow::isPlaceholder(zeta->child(0)));
        QCOMPARE(DirWindow::nodeFlags(zeta->child(0)), 0u);
    }

    // Hosts and folders that another program added, removed or turned into the other kind are
    // brought in; nodes that stay keep their children and their place in the order.
    void syncFollowsTheStore()
    {
        SettingsStore::instance().deleteKey(SettingsKeys::Hosts);
        storeEntry(QStringLiteral("Work"), 0, 1);
        storeEntry(QStringLiteral("kept"), 0);
        storeEntry(QStringLiteral("gone"), 1);
        storeEntry(QStringLiteral("becomes folder"), 0);
        const auto tree = newTree();
        QTreeWidgetItem *kept = nodeAt(*tree, QStringLiteral("All Hosts/kept"));
        QTreeWidgetItem *listed = tree->EnsureChildNode(kept, QStringLiteral("pub"), false, true);
        QVERIFY(listed);

        SettingsStore &store = SettingsStore::instance();
        store.deleteKey(SettingsKeys::hostKey(QStringLiteral("gone")));
        store.deleteKey(SettingsKeys::hostKey(QStringLiteral("becomes folder")));
        storeEntry(QStringLiteral("becomes folder"), 0, 2);
        storeEntry(QStringLiteral("Added"), 1);
        storeEntry(QStringLiteral("also added"), 0);
        storeEntry(QStringLiteral("inside new folder"), 2);
        tree->SyncHostEntries(tree->topNode());

        QCOMPARE(childTexts(tree->topNode()),
                 (QStringList{"My Computer", "also added", "becomes folder", "kept", "Work"}));
        QCOMPARE(childTexts(nodeAt(*tree, QStringLiteral("All Hosts/Work"))), QStringList{"Added"});
        QTreeWidgetItem *folder = nodeAt(*tree, QStringLiteral("All Hosts/becomes folder"));
        QCOMPARE(DirWindow::nodeFlags(folder), DirWindow::HostFolderData);
        QCOMPARE(childTexts(folder), QStringList{"inside new folder"});
        QCOMPARE(nodeAt(*tree, QStringLiteral("All Hosts/kept")), kept);
        QVERIFY(kept->indexOfChild(listed) >= 0);
    }

    void drivesInLetterOrder()
    {
        const auto tree = newTree();
        QTreeWidgetItem *computer = nodeAt(*tree, QStringLiteral("All Hosts/My Computer"));
        QStringList drives;
        for (int i = 0; i < computer->childCount(); ++i)
            drives << nodeName(computer->child(i));
        QVERIFY2(drives.size() >= 2, qPrintable(drives.join(u' ')));
        QCOMPARE(drives.first(), QStringLiteral("(C:)"));
        QCOMPARE(drives.last(), QStringLiteral("(Z:)"));
        // Shown with what they stand for; the letters stay the names paths are built from.
        QCOMPARE(computer->child(0)->text(0), QStringLiteral("Home (C:)"));
        QCOMPARE(computer->child(computer->childCount() - 1)->text(0), QStringLiteral("Root (Z:)"));
        QCOMPARE(DirWindow::nodeIcon(computer->child(0)), int(IconHomeDrive));
        QStringList sortedDrives = drives;
        sortedDrives.sort();
        QCOMPARE(drives, sortedDrives);
        for (int i = 0; i < computer->childCount(); ++i) {
            QTreeWidgetItem *drive = computer->child(i);
            QVERIFY(QRegularExpression(QStringLiteral("^\\([A-Z]:\\)$")).match(nodeName(drive)).hasMatch());
            QCOMPARE(DirWindow::nodeFlags(drive), 0x4u);
            QCOMPARE(DirWindow::nodeIcon(drive), DirWindow::nodeSelectedIcon(drive));
            QVERIFY(DirWindow::nodeIcon(drive) >= IconFolderPlain && DirWindow::nodeIcon(drive) <= IconRootDrive);
            QCOMPARE(childTexts(drive), QStringList{Filler});
        }
        QCOMPARE(DirWindow::nodeIcon(computer->child(computer->childCount() - 1)), int(IconRootDrive));
    }

    // Host folders whose Parent values lead round in a circle end the descent instead of nesting
    // without end.
    void folderLoopEnds()
    {
        SettingsStore::instance().deleteKey(SettingsKeys::Hosts);
        storeEntry(QStringLiteral("A"), 0, 5);
        storeEntry(QStringLiteral("B"), 5, 6);
        storeEntry(QStringLiteral("C"), 6, 5); // a second folder 5, inside B
        const auto tree = newTree();
        QTreeWidgetItem *c = nodeAt(*tree, QStringLiteral("All Hosts/A/B/C"));
        QVERIFY(c);
        QCOMPARE(c->childCount(), 0);
    }

    // --- locations -----------------------------------------------------------------------------

    void nodeLocation_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("remote");
        QTest::newRow("top") << "All Hosts" << "" << "/" << false;
        QTest::newRow("host") << "All Hosts/site" << "site" << "/" << true;
        QTest::newRow("host dir") << "All Hosts/site/pub/incoming" << "site" << "/pub/incoming/" << true;
        QTest::newRow("my computer") << "All Hosts/My Computer" << "My Computer" << "/" << false;
        QTest::newRow("drive") << "All Hosts/My Computer/(C:)" << "My Computer" << "C:/" << false;
        QTest::newRow("local dir") << "All Hosts/My Computer/(C:)/dir/sub" << "My Computer" << "C:/dir/sub/" << false;
    }

    void nodeLocation()
    {
        QFETCH(QString, node);
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(Site, QStringLiteral("/pub/incoming/"), false));
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/dir/sub/"), false));
        const DirWindow::Location location = tree->GetNodeLocation(nodeAt(*tree, node));
        QTEST(location.host, "host");
        QTEST(location.path, "path");
        QTEST(location.remote, "remote");
    }

    void findNodes_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("deepest"); // FindPathNode
        QTest::addColumn<QString>("exact");   // findLocationNode; empty: none
        QTest::newRow("host root") << "site" << "/" << "All Hosts/site" << "All Hosts/site";
        QTest::newRow("host dir") << "site" << "/pub/incoming/" << "All Hosts/site/pub/incoming"
                                  << "All Hosts/site/pub/incoming";
        QTest::newRow("host dir missing") << "site" << "/pub/none/" << "All Hosts/site/pub" << "";
        QTest::newRow("case differs") << "site" << "/Pub/" << "All Hosts/site" << "";
        QTest::newRow("drive") << "My Computer" << "C:/" << "All Hosts/My Computer/(C:)"
                               << "All Hosts/My Computer/(C:)";
        QTest::newRow("local dir") << "My Computer" << "C:/dir/" << "All Hosts/My Computer/(C:)/dir"
                                   << "All Hosts/My Computer/(C:)/dir";
        QTest::newRow("unknown drive") << "My Computer" << "Q:/dir/" << "All Hosts/My Computer" << "";
        QTest::newRow("unknown host") << "nowhere" << "/" << "All Hosts" << "";
    }

    void findNodes()
    {
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(QString, deepest);
        QFETCH(QString, exact);
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(Site, QStringLiteral("/pub/incoming/"), false));
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/dir/"), false));
        QTreeWidgetItem *hostNode = tree->FindHostNode(tree->topNode(), host);
        QCOMPARE(textPath(tree->FindPathNode(hostNode, path)), deepest);
        QCOMPARE(textPath(tree->findLocationNode(host, path)), exact);
    }

    void hostInsideFolderIsFound()
    {
        storeEntry(QStringLiteral("Work"), 0, 3);
        storeEntry(QStringLiteral("deep"), 3);
        const auto tree = newTree();
        QCOMPARE(textPath(tree->FindHostNode(tree->topNode(), QStringLiteral("deep"))),
                 QStringLiteral("All Hosts/Work/deep"));
        QVERIFY(tree->GoToLocation(QStringLiteral("deep"), QStringLiteral("/x"), true));
        QCOMPARE(textPath(tree->currentItem()), QStringLiteral("All Hosts/Work/deep/x"));
    }

    // --- Go To ---------------------------------------------------------------------------------

    void goToLocal_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("pending"); // texts of the nodes made for it
        QTest::newRow("drive and backslashes") << "c:\\Windows\\System" << "All Hosts/My Computer/(C:)/Windows/System"
                                               << QStringList{"Windows", "System"};
        QTest::newRow("no drive") << "/temp" << "All Hosts/My Computer/(C:)/temp" << QStringList{"temp"};
        QTest::newRow("bare name") << "notes" << "All Hosts/My Computer/(C:)/notes" << QStringList{"notes"};
        QTest::newRow("drive root") << "z:" << "All Hosts/My Computer/(Z:)" << QStringList{};
        QTest::newRow("drive without slash") << "C:scan" << "All Hosts/My Computer/(C:)/scan" << QStringList{};
        QTest::newRow("exact case wins") << "C:/scan/Data" << "All Hosts/My Computer/(C:)/scan/Data" << QStringList{};
        QTest::newRow("other case found") << "C:/SCAN/DATA/x" << "All Hosts/My Computer/(C:)/scan/DATA/x"
                                          << QStringList{"x"};
        QTest::newRow("one case of two") << "C:/scan/data" << "All Hosts/My Computer/(C:)/scan/data" << QStringList{};
    }

    void goToLocal()
    {
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        QFETCH(QStringList, pending);
        // On disk: scan/Data, scan/data and scan/DATA, three different folders.
        QVERIFY(makeDirs({"scan/Data", "scan/data", "scan/DATA"}));
        const auto tree = newTree();
        tree->ScanLocalDirectory(nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)")), nullptr);
        tree->ScanLocalDirectory(nodeAt(*tree, QStringLiteral("All Hosts/My Computer/(C:)/scan")), nullptr);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));

        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, typed, true));
        QTreeWidgetItem *node = tree->currentItem();
        QCOMPARE(textPath(node), selected);
        QStringList made;
        for (; node; node = node->parent())
            if (DirWindow::nodeFlags(node) == DirWindow::PendingData) {
                made.prepend(node->text(0));
                QCOMPARE(DirWindow::nodeIcon(node), int(IconPendingFolder));
                QCOMPARE(DirWindow::nodeSelectedIcon(node), int(IconPendingFolderOpen));
            }
        QCOMPARE(made, pending);
        QVERIFY(tree->currentItem()->parent()->isExpanded());
    }

    void goToRemote_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("siteChildren");
        QTest::newRow("existing") << "/pub" << "All Hosts/site/pub" << QStringList{"pub"};
        QTest::newRow("no leading slash") << "pub/" << "All Hosts/site/pub" << QStringList{"pub"};
        QTest::newRow("backslashes") << "\\pub\\incoming" << "All Hosts/site/pub/incoming" << QStringList{"pub"};
        QTest::newRow("other case is another node") << "/Pub" << "All Hosts/site/Pub" << QStringList{"pub", "Pub"};
        QTest::newRow("root") << "/" << "All Hosts/site" << QStringList{"pub"};
    }

    void goToRemote()
    {
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        const auto tree = newTree();
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("pub"))});
        QVERIFY(tree->GoToLocation(Site, typed, true));
        QCOMPARE(textPath(tree->currentItem()), selected);
        QTEST(childTexts(nodeAt(*tree, QStringLiteral("All Hosts/site"))), "siteChildren");
    }

    void goToUnknownHost()
    {
        const auto tree = newTree();
        tree->setCurrentItem(nodeAt(*tree, QStringLiteral("All Hosts/site")));
        const QString before = dump(tree->topNode());
        QVERIFY(!tree->GoToLocation(QStringLiteral("elsewhere"), QStringLiteral("/pub"), true));
        QCOMPARE(prompt_.count(), 1);
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error Finding Host"));
        QCOMPARE(prompt_.lastText(), QStringLiteral("Could not find host elsewhere please check it exists."));
        QCOMPARE(dump(tree->topNode()), before);
        QCOMPARE(tree->currentItem()->text(0), Site);
    }

    void goToAllHostsSelectsTop()
    {
        const auto tree = newTree();
        tree->setCurrentItem(nodeAt(*tree, QStringLiteral("All Hosts/site")));
        QVERIFY(tree->GoToLocation(DirWindow::AllHosts, QStringLiteral("/anything"), true));
        QCOMPARE(tree->currentItem(), tree->topNode());
        QVERIFY(prompt_.isEmpty());
    }

    // --- input and commands --------------------------------------------------------------------

    void topCannotCollapse()
    {
        const auto tree = newTree();
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree.get()));
        QTreeWidgetItem *top = tree->topNode();
        tree->collapseItem(top);
        QVERIFY(top->isExpanded());
        tree->setCurrentItem(top);
        QTest::keyClick(tree.get(), Qt::Key_Left);
        QVERIFY(top->isExpanded());
        tree->GoUp();
        QCOMPARE(tree->currentItem(), top);
    }

    void inputSetsFetchAndMouseFlags()
    {
        const auto tree = newTree();
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree.get()));
        QTreeWidgetItem *site = nodeAt(*tree, QStringLiteral("All Hosts/site"));
        const QPoint at = tree->visualItemRect(site).center();

        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, at);
        QVERIFY(!tree->fetch);
        QVERIFY(tree->selectedByMouse);
        QCOMPARE(tree->currentItem(), site);

        QTest::keyClick(tree.get(), Qt::Key_Up);
        QVERIFY(tree->fetch);
        QVERIFY(!tree->selectedByMouse);

        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, at);
        QVERIFY(!tree->fetch);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QVERIFY(tree->fetch);
        QVERIFY(tree->selectedByMouse);
    }

    void selectionChangesAreTold()
    {
        const auto tree = newTree();
        QSignalSpy spy(tree.get(), &DirWindow::selectionChanged);
        QTreeWidgetItem *site = nodeAt(*tree, QStringLiteral("All Hosts/site"));
        tree->setCurrentItem(site);
        QVERIFY(tree->GoToLocation(Site, QStringLiteral("/pub"), true));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).value<QTreeWidgetItem *>(), site);
        QCOMPARE(spy.at(1).at(0).value<QTreeWidgetItem *>(), tree->currentItem());
        tree->GoUp();
        QCOMPARE(tree->currentItem(), site);
        QCOMPARE(spy.count(), 3);
    }

    void commandStates_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<bool>("renamable");
        QTest::newRow("top") << "All Hosts" << false;
        QTest::newRow("my computer") << "All Hosts/My Computer" << false;
        QTest::newRow("drive") << "All Hosts/My Computer/(C:)" << false;
        QTest::newRow("host") << "All Hosts/site" << true;
        QTest::newRow("directory") << "All Hosts/site/pub" << true;
    }

    void commandStates()
    {
        QFETCH(QString, node);
        QFETCH(bool, renamable);
        const auto tree = newTree();
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("pub"))});
        tree->setCurrentItem(nodeAt(*tree, node));
        CommandState state;
        QVERIFY(tree->commandState(Cmd::Rename, state));
        QCOMPARE(state.enabled, renamable);
        QVERIFY(tree->commandState(Cmd::Open, state));
        QVERIFY(state.enabled);
        QVERIFY(!tree->commandState(Cmd::Copy, state));
        QVERIFY(!tree->handleCommand(Cmd::Copy));

        QSignalSpy started(tree.get(), &DirWindow::labelEditStarted);
        QVERIFY(tree->handleCommand(Cmd::Rename));
        QCOMPARE(started.count(), renamable ? 1 : 0);
    }

    void openExpandsSelectedNode()
    {
        QVERIFY(makeDirs({"scan/x"}));
        const auto tree = newTree();
        QVERIFY(tree->GoToLocation(DirWindow::MyComputer, QStringLiteral("C:/"), true));
        QTreeWidgetItem *drive = tree->currentItem();
        QVERIFY(!drive->isExpanded());
        QVERIFY(tree->handleCommand(Cmd::Open));
        QVERIFY(drive->isExpanded());
        QVERIFY(childTexts(drive).contains(QStringLiteral("scan")));
    }

    // The edited label keeps its old text; the new one goes to the pane, which renames.
    void renameEditsLabel()
    {
        const auto tree = newTree();
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree.get()));
        QTreeWidgetItem *site = nodeAt(*tree, QStringLiteral("All Hosts/site"));
        tree->setCurrentItem(site);
        QSignalSpy edited(tree.get(), &DirWindow::labelEdited);

        QVERIFY(tree->handleCommand(Cmd::Rename));
        QLineEdit *editor = tree->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("renamed"));
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(edited.wait(Bound));
        QCOMPARE(edited.at(0).at(0).value<QTreeWidgetItem *>(), site);
        QCOMPARE(edited.at(0).at(1).toString(), QStringLiteral("renamed"));
        QCOMPARE(site->text(0), Site);
        QVERIFY(!(site->flags() & Qt::ItemIsEditable));

        QVERIFY(tree->handleCommand(Cmd::Rename));
        editor = tree->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("dropped"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QCoreApplication::processEvents();
        QCOMPARE(edited.count(), 1);
        QCOMPARE(site->text(0), Site);
    }

    // A node whose label is being edited leaves the tree (its directory vanished): the edit ends
    // without a report, and the next edit works as before.
    void editedNodeRemoved()
    {
        const auto tree = newTree();
        tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(tree.get()));
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("pub")), entry(QStringLiteral("tmp"))});
        tree->setCurrentItem(nodeAt(*tree, QStringLiteral("All Hosts/site/pub")));
        QSignalSpy edited(tree.get(), &DirWindow::labelEdited);
        const auto editor = [&tree]() -> QLineEdit * {
            for (QLineEdit *line : tree->viewport()->findChildren<QLineEdit *>())
                if (line->isVisible())
                    return line;
            return nullptr;
        };
        QVERIFY(tree->handleCommand(Cmd::Rename));
        QVERIFY(editor());
        editor()->setText(QStringLiteral("pub2"));
        feed(*tree, QStringLiteral("/"), {entry(QStringLiteral("tmp"))});
        QTRY_VERIFY(!editor());
        QCoreApplication::processEvents();
        QCOMPARE(edited.count(), 0);
        QTreeWidgetItem *tmp = nodeAt(*tree, QStringLiteral("All Hosts/site/tmp"));
        QCOMPARE(tree->currentItem(), tmp->parent());

        tree->setCurrentItem(tmp);
        QVERIFY(tree->handleCommand(Cmd::Rename));
        QVERIFY(editor());
        editor()->setText(QStringLiteral("temp"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QVERIFY(edited.wait(Bound));
        QCOMPARE(edited.at(0).at(0).value<QTreeWidgetItem *>(), tmp);
        QCOMPARE(edited.at(0).at(1).toString(), QStringLiteral("temp"));
        QCOMPARE(tmp->text(0), QStringLiteral("tmp"));
    }
};

QTEST_MAIN(TestDirWindow)
#include "tst_dirwindow.moc"
