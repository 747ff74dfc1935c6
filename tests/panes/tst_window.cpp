// The browser pane: its values at first start and at destruction, its commands with their
// enabling and check marks, titles, start locations, Open, label editing in its list, layout, the
// divider and the arrows, and the selection delay for keyboard movement and Go Up.

#include "PaneFixture.h"

#include "panes/ArrowButton.h"
#include "panes/CommandIds.h"
#include "panes/PaneImages.h"
#include "settings/AppValues.h"

#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTreeWidget>

using namespace panetest;

namespace {

// Takes the URLs the program hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    explicit UrlCatcher(QList<QUrl> *urls) : urls_(urls) {}

public slots:
    void open(const QUrl &url) { urls_->append(url); }

private:
    QList<QUrl> *urls_;
};

} // namespace

class TestWindow : public QObject, protected PaneFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(setUpRun(), qPrintable(setUpError())); }
    void init() { setUpTest(); }
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

    // Enabling and check marks of the pane's commands where it shows the hosts, all disks and a
    // directory.
    void commandStates_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("checked");
        struct Row
        {
            const char *name;
            int id;
            bool enabled;
            bool checked;
        };
        const Row always[] = {
            {"show tree", Cmd::ShowTree, true, false},
            {"show titles", Cmd::ShowTitles, true, false},
            {"show directories", Cmd::ShowDirectories, true, true},
            {"transfer buttons", Cmd::ShowTransferButtons, true, true},
            {"small icons", Cmd::SmallIcons, true, false},
            {"list", Cmd::ListView, true, false},
            {"details", Cmd::Details, true, true},
            {"by name", Cmd::ByName, true, true},
            {"by type", Cmd::ByType, true, false},
            {"by size", Cmd::BySize, true, false},
            {"by date", Cmd::ByDate, true, false},
            {"descending", Cmd::Descending, true, false},
            {"ascending", Cmd::Ascending, true, true},
        };
        struct Place
        {
            const char *name;
            QString host;
            QString path;
            bool goUp;
            bool files; // refresh and the Mark As commands
        };
        const Place places[] = {
            {"hosts", "", "", false, false},
            {"all disks", "My Computer", "", true, false},
            {"drive", "My Computer", "C:/", true, true},
        };
        for (const Place &place : places) {
            const auto row = [&](const char *what, int id, bool enabled, bool checked) {
                QTest::addRow("%s: %s", place.name, what) << place.host << place.path << id << enabled << checked;
            };
            for (const Row &each : always)
                row(each.name, each.id, each.enabled, each.checked);
            row("go up", Cmd::GoUp, place.goUp, false);
            row("refresh", Cmd::RefreshCurrent, place.files, false);
            row("mark folder", Cmd::MarkFolder, place.files, false);
            row("mark binary", Cmd::MarkBinary, place.files, false);
            row("mark ascii", Cmd::MarkAscii, place.files, false);
        }
    }

    void commandStates()
    {
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(int, id);
        makePanes();
        DirWindow *tree = pane0_->tree();
        QTreeWidgetItem *hostNode = tree->FindHostNode(tree->topNode(), host);
        clickNode(pane0_, path.isEmpty() ? hostNode : tree->FindPathNode(hostNode, path));
        QCOMPARE(pane0_->currentPath() + pane0_->currentHost(), (path.isEmpty() ? QStringLiteral("/") : path) + host);
        CommandState state;
        QVERIFY(pane0_->commandState(id, state));
        QTEST(state.enabled, "enabled");
        QTEST(state.checked, "checked");
    }

    // The check marks of the sort commands for every sort order, valid or not.
    void sortChecks_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QList<int>>("checked");
        QTest::newRow("name") << 0 << QList<int>{Cmd::ByName, Cmd::Ascending};
        QTest::newRow("type") << 1 << QList<int>{Cmd::ByType, Cmd::Ascending};
        QTest::newRow("size") << 2 << QList<int>{Cmd::BySize, Cmd::Ascending};
        QTest::newRow("date") << 3 << QList<int>{Cmd::ByDate, Cmd::Ascending};
        QTest::newRow("no such key") << 4 << QList<int>{Cmd::Ascending};
        QTest::newRow("name descending") << 5 << QList<int>{Cmd::ByName, Cmd::Descending};
        QTest::newRow("type descending") << 6 << QList<int>{Cmd::ByType, Cmd::Descending};
        QTest::newRow("size descending") << 7 << QList<int>{Cmd::BySize, Cmd::Descending};
        QTest::newRow("date descending") << 8 << QList<int>{Cmd::ByDate, Cmd::Descending};
        QTest::newRow("out of range") << 9 << QList<int>{Cmd::Descending};
    }

    void sortChecks()
    {
        QFETCH(int, order);
        QFETCH(QList<int>, checked);
        makePanes();
        pane0_->list()->setSortOrder(order);
        QList<int> shown;
        for (int id : {Cmd::ByName, Cmd::ByType, Cmd::BySize, Cmd::ByDate, Cmd::Descending, Cmd::Ascending}) {
            CommandState state;
            QVERIFY(pane0_->commandState(id, state));
            QVERIFY(state.enabled);
            if (state.checked)
                shown << id;
        }
        QCOMPARE(shown, checked);
    }

    // The view commands change what they check; the transfer buttons are pane 1's from either pane;
    // Mark As changes nothing while the pane shows no directory.
    void viewCommandsToggle()
    {
        makePanes();
        const auto checked = [](Window *pane, int id) {
            CommandState state;
            return pane->commandState(id, state) && state.checked;
        };
        for (int id : {Cmd::ShowTree, Cmd::ShowTitles, Cmd::ShowDirectories}) {
            const bool before = checked(pane0_, id);
            QVERIFY(pane0_->handleCommand(id));
            QCOMPARE(checked(pane0_, id), !before);
            QCOMPARE(checked(pane1_, id), before); // the other pane keeps its own
        }
        QVERIFY(pane0_->handleCommand(Cmd::ShowTransferButtons));
        QVERIFY(!pane1_->showButtons());
        QVERIFY(!checked(pane0_, Cmd::ShowTransferButtons) && !checked(pane1_, Cmd::ShowTransferButtons));
        QVERIFY(pane1_->arrowToFirst()->isHidden());
        QVERIFY(pane1_->handleCommand(Cmd::ShowTransferButtons));
        QVERIFY(pane1_->showButtons() && pane1_->arrowToSecond()->isVisible());

        for (int id : {Cmd::SmallIcons, Cmd::ListView, Cmd::Details}) {
            QVERIFY(pane0_->handleCommand(id));
            for (int other : {Cmd::SmallIcons, Cmd::ListView, Cmd::Details})
                QCOMPARE(checked(pane0_, other), other == id);
        }

        FileWindow *list = pane0_->list();
        QCOMPARE(itemTexts(list), (QStringList{"My Computer", Site}));
        list->selectAll();
        QVERIFY(pane0_->handleCommand(Cmd::MarkBinary));
        QCOMPARE(list->itemIcon(0), int(IconComputer));
        QCOMPARE(list->itemIcon(1), int(IconComputer));
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
        QVERIFY(showLocation(pane0_, host, path));
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
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->currentPath(), QStringLiteral("/incoming/"), Bound);
        QCOMPARE(pane1_->tree()->currentItem(), before1);
        QTreeWidgetItem *site1 = pane1_->tree()->FindHostNode(pane1_->tree()->topNode(), Site);
        QVERIFY(childTexts(site1).contains(QStringLiteral("incoming")));
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->listTitle(), QStringLiteral("Files in /incoming on site"), Bound);

        // The second selection of the host lists its root.
        clickNode(pane0_, site0);
        QCOMPARE(pane0_->currentPath(), QStringLiteral("/"));
    }

    // The start location stored for a pane: opened in both trees and selected in that pane only;
    // nothing happens without one or for "All Hosts"; an unknown host is reported once.
    void startUpNavigation_data()
    {
        QTest::addColumn<QString>("host"); // empty: not stored
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title"); // pane 0's list title afterwards
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("local") << "My Computer" << "c:\\start" << "Files in C:/start on My Computer" << QStringList{};
        QTest::newRow("host") << Site << "/pub" << "Files in /pub on site" << QStringList{};
        QTest::newRow("no host") << "" << "/pub" << "Hosts" << QStringList{};
        QTest::newRow("no path") << Site << "" << "Hosts" << QStringList{};
        QTest::newRow("all hosts") << "All Hosts" << "/pub" << "Hosts" << QStringList{};
        QTest::newRow("unknown host") << "nowhere" << "/pub" << "Hosts"
                                      << QStringList{"Could not find host nowhere please check it exists."};
    }

    void startUpNavigation()
    {
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(QString, title);
        QVERIFY(QDir(env_.home()).mkpath(QStringLiteral("start")));
        if (!host.isEmpty())
            QVERIFY(SetAppValue(QStringLiteral("StartHost0"), host));
        if (!path.isEmpty())
            QVERIFY(SetAppValue(QStringLiteral("StartPath0"), path));
        makePanes();
        QTreeWidgetItem *before1 = pane1_->tree()->currentItem();
        pane0_->startUpNavigation();
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->listTitle(), title, Bound);
        QCOMPARE(pane1_->tree()->currentItem(), before1);
        QStringList texts;
        for (const RecordingPrompt::Entry &box : prompt_.entries())
            texts << box.text;
        QTEST(texts, "messages");
        if (title != u"Hosts") {
            const QString shown = pane0_->currentPath();
            QVERIFY(pane1_->tree()->findLocationNode(host, shown));
        }
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
        QVERIFY(showLocation(pane0_, QStringLiteral("My Computer"), QStringLiteral("C:/work/")));
        QCOMPARE(pane0_->listTitle(), QStringLiteral("Files in C:/work on My Computer"));
        QCOMPARE(itemTexts(pane0_->list()), (QStringList{"inner", "notes.txt"}));
        QVERIFY(!pane0_->isRemote());

        const int row = pane0_->list()->findItem(QStringLiteral("inner"));
        pane0_->list()->setSelected(row, true);
        QCOMPARE(pane0_->list()->focusedRow(), row); // selecting gives the focus when no item has it
        pane0_->handleCommand(Cmd::Open);
        QCOMPARE(pane0_->currentPath(), QStringLiteral("C:/work/inner/"));
    }

    // With the tree focused the Edit menu's selection commands still act on the pane's list.
    void selectionCommandsFromTheTree()
    {
        QDir home(env_.home());
        QVERIFY(home.mkpath(QStringLiteral("sel/one")));
        QVERIFY(home.mkpath(QStringLiteral("sel/two")));
        makePanes();
        QVERIFY(showLocation(pane0_, QStringLiteral("My Computer"), QStringLiteral("C:/sel/")));
        FileWindow *list = pane0_->list();
        QCOMPARE(list->itemCount(), 2);
        for (const int id : {Cmd::SelectAll, Cmd::UnselectAll, Cmd::InvertSelection, Cmd::SelectUsingFilter}) {
            CommandState state;
            QVERIFY(pane0_->commandState(id, state));
            QVERIFY(state.enabled);
        }
        QVERIFY(pane0_->handleCommand(Cmd::SelectAll));
        QCOMPARE(list->selectedRows().size(), 2);
        QVERIFY(pane0_->handleCommand(Cmd::UnselectAll));
        QVERIFY(list->selectedRows().isEmpty());
        list->setSelected(list->findItem(QStringLiteral("one")), true);
        QVERIFY(pane0_->handleCommand(Cmd::InvertSelection));
        QCOMPARE(list->selectedRows(), QList<int>{list->findItem(QStringLiteral("two"))});
    }

    // Open on a file: a local one goes to the desktop's program for it, a host's is left to the
    // copy commands; a file marked as a folder has no node to enter.
    void openFiles()
    {
        QList<QUrl> opened;
        UrlCatcher catcher(&opened);
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
        QVERIFY(QDir(env_.home()).mkpath(QStringLiteral("docs")));
        QFile file(env_.home() + QStringLiteral("/docs/plan.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        makePanes();
        const auto open = [this](const QString &name) {
            FileWindow *list = pane0_->list();
            list->unselectAll();
            list->setSelected(list->findItem(name), true);
            QVERIFY(pane0_->handleCommand(Cmd::Open));
        };

        QVERIFY(showLocation(pane0_, QStringLiteral("My Computer"), QStringLiteral("C:/docs/")));
        open(QStringLiteral("plan.txt"));
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(file.fileName())});
        pane0_->list()->markSelection(IconFolder);
        open(QStringLiteral("plan.txt"));
        QCOMPARE(pane0_->currentPath(), QStringLiteral("C:/docs/"));

        browseRoot();
        open(QStringLiteral("top.txt"));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(pane0_->currentPath(), QStringLiteral("/"));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // Label editing in the pane's list: refused for the drives and for "My Computer" among the
    // hosts, by any way of starting it; elsewhere a new text is reported and carried out (the host
    // or the local file is renamed), and an edit cut short by the list being refilled reports
    // nothing.
    void listLabelEditing_data()
    {
        QTest::addColumn<QString>("host"); // empty: the hosts
        QTest::addColumn<QString>("path"); // empty: the host node itself
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("my computer among hosts") << "" << "" << "My Computer" << false;
        QTest::newRow("host") << "" << "" << Site << true;
        QTest::newRow("drive") << "My Computer" << "" << "(C:)" << false;
        QTest::newRow("local file") << "My Computer" << "C:/labels/" << "notes.txt" << true;
    }

    void listLabelEditing()
    {
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(QString, item);
        QFETCH(bool, allowed);
        QVERIFY(QDir(env_.home()).mkpath(QStringLiteral("labels")));
        QFile file(env_.home() + QStringLiteral("/labels/notes.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        makePanes();
        DirWindow *tree = pane0_->tree();
        QTreeWidgetItem *hostNode = tree->FindHostNode(tree->topNode(), host);
        tree->selectedByMouse = true;
        if (path.isEmpty())
            clickNode(pane0_, hostNode);
        else
            QVERIFY(tree->GoToLocation(host, path, true));
        FileWindow *list = pane0_->list();
        const int row = list->findItem(item);
        QVERIFY(row >= 0);
        list->setSelected(row, true);
        QSignalSpy started(list, &FileWindow::labelEditStarted);
        QSignalSpy edited(list, &FileWindow::labelEdited);
        const auto editor = [list]() -> QLineEdit * {
            for (QLineEdit *line : list->view()->viewport()->findChildren<QLineEdit *>())
                if (line->isVisible())
                    return line;
            return nullptr;
        };

        QVERIFY(list->handleCommand(Cmd::Rename));
        if (!allowed) {
            list->view()->edit(list->view()->model()->index(row, 0)); // as a slow second click does
            QCoreApplication::processEvents();
            QVERIFY(!editor());
            QCOMPARE(started.count(), 0);
            return;
        }
        QTRY_VERIFY(editor());
        editor()->setText(QStringLiteral("renamed"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QTRY_COMPARE(edited.count(), 1);
        QCOMPARE(edited.at(0).at(1).toString(), QStringLiteral("renamed"));
        QTRY_VERIFY(list->findItem(QStringLiteral("renamed")) >= 0);
        QCOMPARE(list->findItem(item), -1);
        list->setSelected(list->findItem(QStringLiteral("renamed")), true);

        // The same text again is no rename; Escape is none either.
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            QVERIFY(list->handleCommand(Cmd::Rename));
            QTRY_VERIFY(editor());
            QTest::keyClick(editor(), key);
            QTRY_VERIFY(!editor());
        }
        QCOMPARE(edited.count(), 1);

        // The list is refilled while the label is edited.
        QVERIFY(list->handleCommand(Cmd::Rename));
        QTRY_VERIFY(editor());
        editor()->setText(QStringLiteral("lost"));
        pane0_->ShowLocation();
        QTRY_VERIFY(!editor());
        QCOMPARE(edited.count(), 1);
        QVERIFY(list->findItem(QStringLiteral("renamed")) >= 0);
        QCOMPARE(started.count(), 4);
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

    // With the tree: titles above both views and the arrows beside or above them.
    void layoutWithTree_data()
    {
        QTest::addColumn<int>("pane");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<bool>("titles");
        QTest::addColumn<QList<QRect>>("rects"); // tree title, list title, tree, list, arrows
        QTest::newRow("side by side, titles")
            << 1 << false << true
            << QList<QRect>{{23, 0, 226, 17}, {254, 0, 247, 17}, {23, 20, 227, 279}, {253, 20, 247, 279},
                            {0, 127, 20, 20}, {0, 153, 20, 20}};
        QTest::newRow("stacked, titles")
            << 1 << true << true
            << QList<QRect>{{0, 23, 249, 17}, {254, 23, 247, 17}, {0, 43, 250, 256}, {253, 43, 247, 256},
                            {352, 0, 20, 20}, {378, 0, 20, 20}};
        QTest::newRow("no arrows, no titles")
            << 0 << false << false << QList<QRect>{{}, {}, {0, 0, 250, 299}, {253, 0, 247, 299}, {}, {}};
    }

    void layoutWithTree()
    {
        QFETCH(int, pane);
        QFETCH(bool, stacked);
        QFETCH(bool, titles);
        QFETCH(QList<QRect>, rects);
        makePanes();
        const auto restore = qScopeGuard([] { Window::setPanesStacked(false); });
        Window::setPanesStacked(stacked);
        Window *window = pane == 0 ? pane0_ : pane1_;
        window->handleCommand(Cmd::ShowTree);
        if (titles)
            window->handleCommand(Cmd::ShowTitles);
        window->resize(500, 300);
        window->Layout();
        const QList<QWidget *> parts{window->findChild<QWidget *>(QStringLiteral("ctl403")),
                                     window->findChild<QWidget *>(QStringLiteral("ctl404")),
                                     window->tree(),
                                     window->list(),
                                     window->arrowToFirst(),
                                     window->arrowToSecond()};
        for (qsizetype i = 0; i < parts.size(); ++i) {
            QVERIFY(parts[i]);
            QCOMPARE(parts[i]->isVisible(), !rects[i].isNull());
            if (!rects[i].isNull())
                QCOMPARE(parts[i]->geometry(), rects[i]);
        }
    }

    // The arrows point towards the panes by the split and look greyed unless both this pane and
    // pane 0 show a directory's entries.
    void arrowLooks()
    {
        makePanes();
        const auto restore = qScopeGuard([] { Window::setPanesStacked(false); });
        auto *toFirst = static_cast<ArrowButton *>(pane1_->arrowToFirst());
        auto *toSecond = static_cast<ArrowButton *>(pane1_->arrowToSecond());
        QCOMPARE(toFirst->direction(), ArrowButton::Left);
        QCOMPARE(toSecond->direction(), ArrowButton::Right);
        Window::setPanesStacked(true);
        pane1_->Layout();
        QCOMPARE(toFirst->direction(), ArrowButton::Up);
        QCOMPARE(toSecond->direction(), ArrowButton::Down);

        const auto show = [this](Window *pane, const QString &path) {
            DirWindow *tree = pane->tree();
            QTreeWidgetItem *computer = tree->FindHostNode(tree->topNode(), QStringLiteral("My Computer"));
            clickNode(pane, path.isEmpty() ? computer : tree->FindPathNode(computer, path));
        };
        QVERIFY(toFirst->greyed() && toSecond->greyed());
        show(pane1_, QStringLiteral("C:/"));
        QVERIFY(pane1_->showingFiles());
        QVERIFY(toFirst->greyed() && toSecond->greyed()); // pane 0 shows the hosts
        show(pane0_, QStringLiteral("C:/"));
        QVERIFY(!toFirst->greyed() && !toSecond->greyed());
        show(pane0_, QString()); // all disks
        QVERIFY(toFirst->greyed() && toSecond->greyed());
        show(pane0_, QStringLiteral("C:/"));
        show(pane1_, QString());
        QVERIFY(toFirst->greyed() && toSecond->greyed());

        // Greyed is only a look: the arrow still clicks.
        QSignalSpy clicked(toFirst, &QAbstractButton::clicked);
        QTest::mouseClick(toFirst, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
    }

    void goUpStopsAtTheTop()
    {
        makePanes();
        QVERIFY(pane0_->atRoot());
        CommandState state;
        QVERIFY(pane0_->commandState(Cmd::GoUp, state));
        QVERIFY(!state.enabled);
        QVERIFY(showLocation(pane0_, QStringLiteral("My Computer"), QStringLiteral("C:/")));
        QVERIFY(!pane0_->atRoot());
        // Go Up waits for the selection delay even right after a click.
        pane0_->tree()->selectedByMouse = true;
        pane0_->handleCommand(Cmd::GoUp);
        QCOMPARE(pane0_->listTitle(), QStringLiteral("All Disks"));
        QVERIFY(pane0_->showingFiles());
        QTRY_VERIFY_WITH_TIMEOUT(!pane0_->showingFiles(), Bound);
        QVERIFY(pane0_->list()->findItem(QStringLiteral("(C:)")) >= 0);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
