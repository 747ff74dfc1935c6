// The frame's commands: the menu tree with ids and hints, the tool bar, the accelerator keys
// reaching the focused window through item views, the routing from the focus to the pane, the
// splitter and the frame, greying and check marks, and the status bar's line beside the hints
// with a host's text in it.

#include "ShellFixture.h"

#include "support/TestEnvironment.h"

#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"
#include "panes/Window.h"
#include "pool/ConnectionManager.h"
#include "shell/CSplitter.h"
#include "shell/CommandRouter.h"
#include "shell/CommandTable.h"
#include "shell/FTPFrame.h"
#include "shell/FrameActions.h"
#include "shell/StatusBarLine.h"

#include <QAction>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace {

// An item view that takes the commands it is told to and records the ones it ran.
template<typename View>
class RecordingView : public View, public CommandTarget
{
public:
    explicit RecordingView(QWidget *parent) : View(parent)
    {
        this->setGeometry(0, 0, 60, 60);
        this->setFocusPolicy(Qt::StrongFocus);
        this->show();
        this->raise();
    }

    bool handleCommand(int id) override
    {
        if (!states.contains(id))
            return false;
        ran << id;
        return true;
    }
    bool commandState(int id, CommandState &state) override
    {
        if (!states.contains(id))
            return false;
        state = states.value(id);
        return true;
    }

    QHash<int, CommandState> states;
    QList<int> ran;
};

using RecordingTree = RecordingView<QTreeWidget>;
using RecordingList = RecordingView<QListWidget>;

QMenu *findMenu(QMenuBar *bar, const QString &path)
{
    QList<QAction *> actions = bar->actions();
    QMenu *menu = nullptr;
    for (const QString &part : path.split(u'/')) {
        menu = nullptr;
        for (QAction *action : actions) {
            if (action->menu() && action->text() == part)
                menu = action->menu();
        }
        if (!menu)
            return nullptr;
        actions = menu->actions();
    }
    return menu;
}

QString layoutOf(const QList<QAction *> &actions)
{
    QStringList items;
    for (QAction *action : actions)
        items << (action->isSeparator() ? QStringLiteral("-") : action->text() + (action->menu() ? ">" : ""));
    return items.join(u'|');
}

QList<int> everyAcceleratedCommand()
{
    QList<int> ids;
    for (const CommandTable::Accelerator &accelerator : CommandTable::accelerators())
        ids << accelerator.id;
    return ids;
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    std::unique_ptr<ShellFixture> shell_;
    FTPFrame *frame_ = nullptr;

    void activate()
    {
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_));
    }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }

    void init()
    {
        shell_ = std::make_unique<ShellFixture>();
        frame_ = shell_->start().frame();
    }

    void cleanup()
    {
        shell_.reset();
        frame_ = nullptr;
    }

    // --- the menu tree -------------------------------------------------------------------------

    void menuLayout_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("items"); // "-" a separator, ">" after a submenu's text
        QTest::newRow("&File") << QStringLiteral("&File") << QStringLiteral("&New>|&Open\tEnter|-|&Copy\tF8|&Delete\tDel|&Mark Selection>|&Rename\tF7|-|&Close\tAlt+F4");
        QTest::newRow("&File/&New") << QStringLiteral("&File/&New") << QStringLiteral("&Host\tCtrl+H|&Folder\tCtrl+N");
        QTest::newRow("&File/&Mark Selection") << QStringLiteral("&File/&Mark Selection") << QStringLiteral("As &Folder\tCtrl+F|As &Binary\tCtrl+B|As &ASCII\tCtrl+A");
        QTest::newRow("&Edit") << QStringLiteral("&Edit") << QStringLiteral("Select Using &Filter\tCtrl+S|&Unselect All|&Select All\tCtrl+E|&Invert Selection\tCtrl+I");
        QTest::newRow("&View") << QStringLiteral("&View") << QStringLiteral("&Directory Information\tF6|-|Split Windows &Vertically|Show &Transfer Buttons|S&how Titles|&Split Window|Show Di&rectories|Show &Tree|-|S&mall Icons|&List|&Details|-|Arrange &Icons>|-|&Options>");
        QTest::newRow("&View/Arrange &Icons") << QStringLiteral("&View/Arrange &Icons") << QStringLiteral("by &Name|by &Type|by Si&ze|by &Date|-|D&escending|&Ascending");
        QTest::newRow("&View/&Options") << QStringLiteral("&View/&Options") << QStringLiteral("&Program Options>|&Host Options|&Startup Paths...");
        QTest::newRow("&View/&Options/&Program Options") << QStringLiteral("&View/&Options/&Program Options") << QStringLiteral("Store Uploads &Uniquely|&Passive Mode Transfers|&Default Transfer Type>|Edit &ASCII Extensions|Edit &Cache Path|Change &EMail Address");
        QTest::newRow("&View/&Options/&Program Options/&Default Transfer Type") << QStringLiteral("&View/&Options/&Program Options/&Default Transfer Type") << QStringLiteral("&This Connection|&New Connection|&Prompt|-|&Foreground Transfer|&Background Transfer|P&rompt on Host to Host");
        QTest::newRow("&Tools") << QStringLiteral("&Tools") << QStringLiteral("&Go to Folder\tF11|Go &Up\tCtrl+U|-|Refresh &All Sub Folders\tF10|Refresh &Current Folder\tF9|&Search For File...|-|&Empty Connection Buffer|C&lose All Connections|Close This &Host's Connections|-|&Custom Command\tF2|&Watch Connection\tF3");
        QTest::newRow("&Help") << QStringLiteral("&Help") << QStringLiteral("&Help Topics|-|&About");
    }

    void menuLayout()
    {
        QFETCH(QString, path);
        QFETCH(QString, items);
        QMenu *menu = findMenu(frame_->menuBar(), path);
        QVERIFY2(menu, qPrintable(path));
        QCOMPARE(layoutOf(menu->actions()), items);
    }

    void menuBar()
    {
        QCOMPARE(layoutOf(frame_->menuBar()->actions()), QStringLiteral("&File>|&Edit>|&View>|&Tools>|&Help>"));
    }

    void menuItems_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("hint");
        QTest::newRow("11782") << QStringLiteral("&File/&New") << QStringLiteral("&Host\tCtrl+H") << 11782 << QStringLiteral("Create a new host");
        QTest::newRow("30") << QStringLiteral("&File/&New") << QStringLiteral("&Folder\tCtrl+N") << 30 << QStringLiteral("Create a new folder to place hosts or files in.");
        QTest::newRow("1") << QStringLiteral("&File") << QStringLiteral("&Open\tEnter") << 1 << QStringLiteral("Open the specified file or folder");
        QTest::newRow("3") << QStringLiteral("&File") << QStringLiteral("&Copy\tF8") << 3 << QStringLiteral("Copy selected files to a specific location (host and absolute path)");
        QTest::newRow("4") << QStringLiteral("&File") << QStringLiteral("&Delete\tDel") << 4 << QStringLiteral("Delete selected files");
        QTest::newRow("50") << QStringLiteral("&File/&Mark Selection") << QStringLiteral("As &Folder\tCtrl+F") << 50 << QStringLiteral("Mark all selected items as being of type folder");
        QTest::newRow("51") << QStringLiteral("&File/&Mark Selection") << QStringLiteral("As &Binary\tCtrl+B") << 51 << QStringLiteral("Mark all selected items as being binary files");
        QTest::newRow("52") << QStringLiteral("&File/&Mark Selection") << QStringLiteral("As &ASCII\tCtrl+A") << 52 << QStringLiteral("Mark all selected items as being ASCII files");
        QTest::newRow("16294") << QStringLiteral("&File") << QStringLiteral("&Rename\tF7") << 16294 << QStringLiteral("Change the name of a file, folder or host");
        QTest::newRow("10") << QStringLiteral("&File") << QStringLiteral("&Close\tAlt+F4") << 10 << QStringLiteral("Exit the program");
        QTest::newRow("25") << QStringLiteral("&Edit") << QStringLiteral("Select Using &Filter\tCtrl+S") << 25 << QStringLiteral("Select files based on a wild card");
        QTest::newRow("38") << QStringLiteral("&Edit") << QStringLiteral("&Unselect All") << 38 << QStringLiteral("Unselect all items");
        QTest::newRow("2") << QStringLiteral("&Edit") << QStringLiteral("&Select All\tCtrl+E") << 2 << QStringLiteral("Select all items");
        QTest::newRow("11") << QStringLiteral("&Edit") << QStringLiteral("&Invert Selection\tCtrl+I") << 11 << QStringLiteral("Invert current selection");
        QTest::newRow("37") << QStringLiteral("&View") << QStringLiteral("&Directory Information\tF6") << 37 << QStringLiteral("Supply information on the number and size of files in current directory");
        QTest::newRow("41") << QStringLiteral("&View") << QStringLiteral("Split Windows &Vertically") << 41 << QStringLiteral("Split window vertically rather than horizontally");
        QTest::newRow("28") << QStringLiteral("&View") << QStringLiteral("Show &Transfer Buttons") << 28 << QStringLiteral("Show buttons to copy files between each window");
        QTest::newRow("16229") << QStringLiteral("&View") << QStringLiteral("S&how Titles") << 16229 << QStringLiteral("Show titles on tree and list windows");
        QTest::newRow("27698") << QStringLiteral("&View") << QStringLiteral("&Split Window") << 27698 << QStringLiteral("Show an additional file list");
        QTest::newRow("16991") << QStringLiteral("&View") << QStringLiteral("Show Di&rectories") << 16991 << QStringLiteral("Show directories as well as files is list display");
        QTest::newRow("18886") << QStringLiteral("&View") << QStringLiteral("Show &Tree") << 18886 << QStringLiteral("Show directory tree to right of display");
        QTest::newRow("15") << QStringLiteral("&View") << QStringLiteral("S&mall Icons") << 15 << QStringLiteral("Display files using small icons");
        QTest::newRow("16") << QStringLiteral("&View") << QStringLiteral("&List") << 16 << QStringLiteral("Display files as a list");
        QTest::newRow("16627") << QStringLiteral("&View") << QStringLiteral("&Details") << 16627 << QStringLiteral("Display files giving file information");
        QTest::newRow("18") << QStringLiteral("&View/Arrange &Icons") << QStringLiteral("by &Name") << 18 << QStringLiteral("Sort items by name");
        QTest::newRow("19") << QStringLiteral("&View/Arrange &Icons") << QStringLiteral("by &Type") << 19 << QStringLiteral("Sort items by extension");
        QTest::newRow("20") << QStringLiteral("&View/Arrange &Icons") << QStringLiteral("by Si&ze") << 20 << QStringLiteral("Sort items by size");
        QTest::newRow("12003") << QStringLiteral("&View/Arrange &Icons") << QStringLiteral("by &Date") << 12003 << QStringLiteral("Sort items by date");
        QTest::newRow("14") << QStringLiteral("&View/Arrange &Icons") << QStringLiteral("D&escending") << 14 << QStringLiteral("Arrange in descending order");
        QTest::newRow("13") << QStringLiteral("&View/Arrange &Icons") << QStringLiteral("&Ascending") << 13 << QStringLiteral("Arrange in ascending order");
        QTest::newRow("18355") << QStringLiteral("&View/&Options/&Program Options") << QStringLiteral("Store Uploads &Uniquely") << 18355 << QStringLiteral("Host should allocate a unique name for uploads");
        QTest::newRow("18356") << QStringLiteral("&View/&Options/&Program Options") << QStringLiteral("&Passive Mode Transfers") << 18356 << QStringLiteral("Open data connections to the host (PASV) unless a host's options say otherwise");
        QTest::newRow("31") << QStringLiteral("&View/&Options/&Program Options/&Default Transfer Type") << QStringLiteral("&This Connection") << 31 << QStringLiteral("Use this connection when clicking on transfer arrows");
        QTest::newRow("32") << QStringLiteral("&View/&Options/&Program Options/&Default Transfer Type") << QStringLiteral("&New Connection") << 32 << QStringLiteral("Use new connection when clicking on transfer arrows");
        QTest::newRow("33") << QStringLiteral("&View/&Options/&Program Options/&Default Transfer Type") << QStringLiteral("&Prompt") << 33 << QStringLiteral("Prompt for connection type when clicking on transfer arrows");
        QTest::newRow("34") << QStringLiteral("&View/&Options/&Program Options/&Default Transfer Type") << QStringLiteral("&Foreground Transfer") << 34 << QStringLiteral("Use foreground for host to host transfer when clicking on transfer arrows");
        QTest::newRow("35") << QStringLiteral("&View/&Options/&Program Options/&Default Transfer Type") << QStringLiteral("&Background Transfer") << 35 << QStringLiteral("Use background for host to host transfer when clicking on transfer arrows");
        QTest::newRow("11985") << QStringLiteral("&View/&Options/&Program Options/&Default Transfer Type") << QStringLiteral("P&rompt on Host to Host") << 11985 << QStringLiteral("Prompt for transfer type for host to host transfer when clicking on transfer arrows");
        QTest::newRow("18264") << QStringLiteral("&View/&Options/&Program Options") << QStringLiteral("Edit &ASCII Extensions") << 18264 << QStringLiteral("Modify extensions that should be treated as ASCII on transfers");
        QTest::newRow("13004") << QStringLiteral("&View/&Options/&Program Options") << QStringLiteral("Edit &Cache Path") << 13004 << QStringLiteral("Change the path used for caching directory listings");
        QTest::newRow("23") << QStringLiteral("&View/&Options/&Program Options") << QStringLiteral("Change &EMail Address") << 23 << QStringLiteral("Change EMail address sent for anonymous logins");
        QTest::newRow("16715") << QStringLiteral("&View/&Options") << QStringLiteral("&Host Options") << 16715 << QStringLiteral("Change attributes of the currently open host");
        QTest::newRow("39") << QStringLiteral("&Tools") << QStringLiteral("&Go to Folder\tF11") << 39 << QStringLiteral("Go directly to a specific host and folder");
        QTest::newRow("19626") << QStringLiteral("&Tools") << QStringLiteral("Go &Up\tCtrl+U") << 19626 << QStringLiteral("Go up one level");
        QTest::newRow("16997") << QStringLiteral("&Tools") << QStringLiteral("Refresh &All Sub Folders\tF10") << 16997 << QStringLiteral("Retrieve and cache directory listing for all sub folders.");
        QTest::newRow("16711") << QStringLiteral("&Tools") << QStringLiteral("Refresh &Current Folder\tF9") << 16711 << QStringLiteral("Reread current folder.");
        QTest::newRow("40") << QStringLiteral("&Tools") << QStringLiteral("&Empty Connection Buffer") << 40 << QStringLiteral("Clear all waiting operations from selected hosts buffer.");
        QTest::newRow("26") << QStringLiteral("&Tools") << QStringLiteral("C&lose All Connections") << 26 << QStringLiteral("Close all open connections");
        QTest::newRow("27") << QStringLiteral("&Tools") << QStringLiteral("Close This &Host's Connections") << 27 << QStringLiteral("Close all connections open to this host");
        QTest::newRow("29") << QStringLiteral("&Tools") << QStringLiteral("&Custom Command\tF2") << 29 << QStringLiteral("Send a command to current host");
        QTest::newRow("12") << QStringLiteral("&Tools") << QStringLiteral("&Watch Connection\tF3") << 12 << QStringLiteral("Monitor data transferred and received from this host");
        QTest::newRow("22") << QStringLiteral("&Help") << QStringLiteral("&Help Topics") << 22 << QStringLiteral("Contents page for Vemal Ftp help");
        QTest::newRow("17") << QStringLiteral("&Help") << QStringLiteral("&About") << 17 << QStringLiteral("About Vemal Ftp");
    }

    // Each item carries its id and shows its hint in the status bar.
    void menuItems()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QFETCH(int, id);
        QFETCH(QString, hint);
        QMenu *menu = findMenu(frame_->menuBar(), path);
        QVERIFY2(menu, qPrintable(path));
        QAction *item = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->text() == text)
                item = action;
        }
        QVERIFY2(item, qPrintable(text));
        QCOMPARE(item->data().toInt(), id);
        QCOMPARE(item->statusTip(), hint);
        QVERIFY(item->shortcut().isEmpty()); // the keys are the accelerator table's

        item->showStatusText(frame_);
        QCOMPARE(frame_->statusBar()->currentMessage(), hint);
    }

    // --- the tool bar --------------------------------------------------------------------------

    void toolBar()
    {
        QToolBar *bar = frame_->toolBar();
        QStringList gadgets;
        for (QAction *action : bar->actions()) {
            if (QWidget *gap = bar->widgetForAction(action); gap && action->data().isNull()) {
                gadgets << QStringLiteral("gap %1").arg(gap->width());
                continue;
            }
            QVERIFY2(!action->icon().isNull(), qPrintable(action->toolTip()));
            QCOMPARE(action->statusTip(), CommandTable::hint(action->data().toInt()));
            gadgets << QStringLiteral("%1 %2").arg(action->data().toInt()).arg(action->toolTip());
        }
        QCOMPARE(gadgets, QStringList({"1 Open", "gap 6", "3 Copy", "4 Delete", "gap 6", "16711 Refresh Current Folder",
                                       "gap 10", "15 Small Icons", "16 List", "16627 Details", "gap 6", "19626 Go Up"}));
    }

    // The buttons act on the real pane that had the focus last and show its state: Go Up is
    // greyed at the top of the tree and works on pane 1 while pane 0 stays where it is.
    void toolBarActsOnTheLastFocusedPane()
    {
        activate();
        Window *pane0 = frame_->splitter()->pane(0);
        Window *pane1 = frame_->splitter()->pane(1);
        QToolBar *bar = frame_->toolBar();
        QWidget *goUp = bar->widgetForAction(frame_->actions()->action(Cmd::GoUp));
        QWidget *smallIcons = bar->widgetForAction(frame_->actions()->action(Cmd::SmallIcons));
        QTRY_VERIFY(!goUp->isEnabled());

        for (Window *pane : {pane0, pane1}) {
            DirWindow *tree = pane->tree();
            tree->selectedByMouse = true;
            tree->setCurrentItem(tree->FindHostNode(tree->topNode(), DirWindow::MyComputer));
            QVERIFY(!pane->atRoot());
        }
        pane1->list()->view()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), pane1->list()->view());
        QTRY_VERIFY(goUp->isEnabled());

        QTest::mouseClick(smallIcons, Qt::LeftButton);
        QCOMPARE(pane1->listStyle(), int(FileWindow::SmallIcons));
        QCOMPARE(pane0->listStyle(), int(FileWindow::Details));
        // The list pane 1 had the focus in was replaced; the pane still takes the commands.
        QTest::mouseClick(goUp, Qt::LeftButton);
        QTRY_VERIFY(pane1->atRoot());
        QVERIFY(!pane0->atRoot());
        QTRY_VERIFY(!goUp->isEnabled());
    }

    // Command 13 is the pane's Ascending; the frame shows or hides the tool bar with it only when
    // no pane takes it.
    void toolBarToggleWhenNoPaneTakesIt()
    {
        QVERIFY(frame_->toolBarShown());
        CommandState state;
        QVERIFY(frame_->commandState(Cmd::Ascending, state));
        QVERIFY(state.checked);
        QVERIFY(frame_->handleCommand(Cmd::Ascending));
        QVERIFY(!frame_->toolBarShown());
        QVERIFY(frame_->toolBar()->isHidden());
        QVERIFY(frame_->commandState(Cmd::Ascending, state));
        QVERIFY(!state.checked);

        // A pane that takes 13 keeps it from the frame.
        activate();
        auto *view = new RecordingTree(frame_->splitter()->pane(0));
        view->states.insert(Cmd::Ascending, CommandState{});
        view->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), view);
        QVERIFY(frame_->runCommand(Cmd::Ascending));
        QCOMPARE(view->ran, QList<int>{Cmd::Ascending});
        QVERIFY(!frame_->toolBarShown());
    }

    // --- accelerators --------------------------------------------------------------------------

    void accelerators_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("id"); // 0: no command
        QTest::addColumn<bool>("listView");
        const struct
        {
            const char *name;
            int key;
            int modifiers;
            int id;
        } rows[] = {
            {"F8 copy", Qt::Key_F8, 0, Cmd::Copy},
            {"Del delete", Qt::Key_Delete, 0, Cmd::Delete},
            {"F7 rename", Qt::Key_F7, 0, Cmd::Rename},
            {"F2 custom command", Qt::Key_F2, 0, Cmd::CustomCommand},
            {"F3 watch", Qt::Key_F3, 0, Cmd::WatchConnection},
            {"Ctrl+U go up, not unselect", Qt::Key_U, Qt::ControlModifier, Cmd::GoUp},
            {"F6 directory information", Qt::Key_F6, 0, Cmd::DirectoryInformation},
            {"F10 refresh all", Qt::Key_F10, 0, Cmd::RefreshAllSubFolders},
            {"F9 refresh", Qt::Key_F9, 0, Cmd::RefreshCurrent},
            {"F11 go to folder", Qt::Key_F11, 0, Cmd::GoToFolder},
            {"Ctrl+S filter", Qt::Key_S, Qt::ControlModifier, Cmd::SelectUsingFilter},
            {"Ctrl+E select all", Qt::Key_E, Qt::ControlModifier, Cmd::SelectAll},
            {"Ctrl+I invert", Qt::Key_I, Qt::ControlModifier, Cmd::InvertSelection},
            {"Ctrl+H new host", Qt::Key_H, Qt::ControlModifier, Cmd::NewHost},
            {"Ctrl+N new folder", Qt::Key_N, Qt::ControlModifier, Cmd::NewFolder},
            {"Ctrl+F mark folder", Qt::Key_F, Qt::ControlModifier, Cmd::MarkFolder},
            {"Ctrl+B mark binary", Qt::Key_B, Qt::ControlModifier, Cmd::MarkBinary},
            {"Ctrl+A mark ASCII", Qt::Key_A, Qt::ControlModifier, Cmd::MarkAscii},
            {"Backspace goes up", Qt::Key_Backspace, 0, Cmd::GoUp},
            {"Alt+Up goes up", Qt::Key_Up, Qt::AltModifier, Cmd::GoUp},
            {"F5 has no key", Qt::Key_F5, 0, 0},
            {"Ctrl+C has no key", Qt::Key_C, Qt::ControlModifier, 0},
        };
        for (const auto &row : rows) {
            for (bool list : {false, true}) {
                const QString name = QString::fromLatin1(row.name) + (list ? " in a list view" : " in a tree view");
                QTest::newRow(qPrintable(name)) << row.key << row.modifiers << row.id << list;
            }
        }
    }

    // Each key reaches the focused item view as its command; the view does not keep the key.
    void accelerators()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, id);
        QFETCH(bool, listView);
        activate();
        QWidget *pane = frame_->splitter()->pane(0);
        RecordingTree *tree = nullptr;
        RecordingList *list = nullptr;
        QWidget *view = nullptr;
        QHash<int, CommandState> *states = nullptr;
        if (listView) {
            list = new RecordingList(pane);
            list->addItems({"a", "b"});
            view = list;
            states = &list->states;
        } else {
            tree = new RecordingTree(pane);
            tree->addTopLevelItem(new QTreeWidgetItem(QStringList{"a"}));
            view = tree;
            states = &tree->states;
        }
        QList<int> commands = everyAcceleratedCommand();
        commands << Cmd::Open << Cmd::UnselectAll;
        for (int command : commands)
            states->insert(command, CommandState{});
        view->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), view);

        QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const QList<int> ran = listView ? list->ran : tree->ran;
        QCOMPARE(ran, id ? QList<int>{id} : QList<int>{});
    }

    // Ctrl+U in a real pane's file list goes up one level: the list view does not keep the key,
    // and the pane takes it (Unselect All, which shares the key in the table, never gets it).
    void ctrlUGoesUpInThePane()
    {
        activate();
        Window *pane = frame_->splitter()->pane(0);
        DirWindow *tree = pane->tree();
        QTreeWidgetItem *computer = nullptr;
        for (int i = 0; i < tree->topNode()->childCount(); ++i) {
            if (tree->topNode()->child(i)->text(0) == DirWindow::MyComputer)
                computer = tree->topNode()->child(i);
        }
        QVERIFY(computer);
        tree->selectedByMouse = true;
        tree->setCurrentItem(computer);
        QTRY_VERIFY(!pane->atRoot());
        QWidget *list = pane->list()->view() ? static_cast<QWidget *>(pane->list()->view()) : pane->list();
        list->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), list);

        QTest::keyClick(list, Qt::Key_U, Qt::ControlModifier);
        QTRY_COMPARE(tree->currentItem(), tree->topNode());
        QTRY_VERIFY(pane->atRoot());
    }

    // A key whose command is greyed does nothing.
    void greyedCommandIgnoresItsKey()
    {
        activate();
        auto *view = new RecordingTree(frame_->splitter()->pane(0));
        view->states.insert(Cmd::MarkAscii, CommandState{false, false});
        view->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), view);
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(view->ran.isEmpty());
        QVERIFY(!frame_->runCommand(Cmd::MarkAscii));
        frame_->actions()->refresh();
        QVERIFY(!frame_->actions()->action(Cmd::MarkAscii)->isEnabled());
    }

    // --- routing -------------------------------------------------------------------------------

    void focusedPaneTakesTheCommand()
    {
        CSplitter *splitter = frame_->splitter();
        auto *first = new RecordingTree(splitter->pane(0));
        auto *second = new RecordingTree(splitter->pane(1));
        first->states.insert(Cmd::InvertSelection, {});
        second->states.insert(Cmd::InvertSelection, {});
        activate();

        second->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), second);
        frame_->actions()->refresh(); // as a menu does when it opens
        frame_->actions()->action(Cmd::InvertSelection)->trigger();
        QCOMPARE(second->ran, QList<int>{Cmd::InvertSelection});
        QVERIFY(first->ran.isEmpty());

        // With the focus outside the panes the pane that had it last still takes commands.
        auto *outside = new QLineEdit(frame_->statusBar());
        frame_->statusBar()->addPermanentWidget(outside);
        outside->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), outside);
        QVERIFY(frame_->runCommand(Cmd::InvertSelection));
        QCOMPARE(second->ran.size(), 2);
        QVERIFY(first->ran.isEmpty());

        first->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), first);
        QVERIFY(frame_->runCommand(Cmd::InvertSelection));
        QCOMPARE(first->ran, QList<int>{Cmd::InvertSelection});

        // A hidden pane takes nothing: with one pane shown, pane 0 does, from where its focus was.
        second->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), second);
        outside->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), outside);
        QVERIFY(frame_->runCommand(Cmd::SplitWindow));
        QVERIFY(frame_->runCommand(Cmd::InvertSelection));
        QCOMPARE(first->ran.size(), 2);
        QCOMPARE(second->ran.size(), 2);
    }

    void beforeAnyFocusPaneZeroTakesCommands()
    {
        CommandRouter *router = frame_->router();
        QVERIFY(QApplication::focusWidget() == nullptr || !frame_->splitter()->isAncestorOf(QApplication::focusWidget()));
        QWidget *start = router->startWidget();
        QVERIFY(start == frame_->splitter()->pane(0) || frame_->splitter()->pane(0)->isAncestorOf(start));
        const QList<CommandTarget *> chain = router->chain();
        QVERIFY(chain.contains(frame_->splitter()->pane(0)));
        QVERIFY(!chain.contains(frame_->splitter()->pane(1)));
        // The splitter and then the frame come last.
        QCOMPARE(chain.at(chain.size() - 2), static_cast<CommandTarget *>(frame_->splitter()));
        QCOMPARE(chain.last(), static_cast<CommandTarget *>(frame_));
    }

    // Commands of the frame reach it through the panes, the splitter's the splitter.
    void frameCommands_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("about") << int(Cmd::About) << "About Vemal Ftp";
        QTest::newRow("e-mail") << int(Cmd::ChangeEmail) << "Change EMail Address";
        QTest::newRow("cache path") << int(Cmd::EditCachePath) << "Cache Path";
    }

    void frameCommands()
    {
        QFETCH(int, id);
        QFETCH(QString, dialog);
        frame_->actions()->refresh();
        QVERIFY(frame_->actions()->action(id)->isEnabled());
        frame_->actions()->action(id)->trigger();
        QCOMPARE(shell_->dialogs.titles, QStringList{dialog});
    }

    void aboutBox()
    {
        QString version;
        shell_->dialogs.steps << [&version](QDialog &dialog) {
            if (auto *line = dialog.findChild<QLabel *>(QStringLiteral("versionLine")))
                version = line->text();
            ScriptedDialogs::button(dialog, 1)->click();
        };
        QVERIFY(frame_->runCommand(Cmd::About));
        QCOMPARE(shell_->dialogs.titles, QStringList{"About Vemal Ftp"});
        QCOMPARE(version, QStringLiteral("Vemal Ftp v1.1"));
    }

    // The e-mail dialog from the menu replaces the stored address; the cache path is stored for
    // the next start.
    void optionsDialogsStoreTheirValues()
    {
        shell_->dialogs.steps << ScriptedDialogs::type(QStringLiteral("new@example.org"))
                              << ScriptedDialogs::type(QStringLiteral("other"));
        QVERIFY(frame_->runCommand(Cmd::ChangeEmail));
        QVERIFY(frame_->runCommand(Cmd::EditCachePath));
        QCOMPARE(AppValue(QStringLiteral("EMail")), QStringLiteral("new@example.org"));
        QCOMPARE(AppValue(QStringLiteral("CachePath")), QStringLiteral("C:\\other\\"));
    }

    void checkMarksFollowTheState()
    {
        FrameActions *actions = frame_->actions();
        QMenu *view = findMenu(frame_->menuBar(), QStringLiteral("&View"));
        emit view->aboutToShow();
        QVERIFY(actions->action(Cmd::SplitWindow)->isChecked());
        QVERIFY(actions->action(Cmd::SplitVertically)->isChecked());

        actions->action(Cmd::SplitVertically)->trigger();
        emit view->aboutToShow();
        QVERIFY(!actions->action(Cmd::SplitVertically)->isChecked());
        // An unchecked item shows no empty box.
        QVERIFY(!actions->action(Cmd::SplitVertically)->isCheckable());
        QVERIFY(actions->action(Cmd::SplitWindow)->isChecked());

        // A pane's state shows the same way.
        activate();
        auto *pane = new RecordingTree(frame_->splitter()->pane(0));
        pane->states.insert(Cmd::ShowTree, CommandState{true, true});
        pane->states.insert(Cmd::Copy, CommandState{false, false});
        pane->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), pane);
        emit view->aboutToShow();
        QVERIFY(actions->action(Cmd::ShowTree)->isChecked());
        QVERIFY(!actions->action(Cmd::Copy)->isEnabled());
        pane->states.insert(Cmd::Copy, CommandState{true, false});
        // The tool bar follows without a menu being opened.
        QVERIFY(frame_->runCommand(Cmd::ShowTree));
        QTRY_VERIFY(actions->action(Cmd::Copy)->isEnabled());
    }

    void passiveModeItem_data()
    {
        QTest::addColumn<QString>("stored"); // the application value DataMode at start; empty: none
        QTest::addColumn<bool>("checked");
        QTest::newRow("nothing stored: passive") << QString() << true;
        QTest::newRow("1: active") << "1" << false;
        QTest::newRow("2: passive") << "2" << true;
        QTest::newRow("anything else: passive") << "7" << true;
    }

    // The program's data connections: the item shows the stored choice, and each change reaches
    // the pool and is stored at once, for the command line and the next start.
    void passiveModeItem()
    {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        shell_.reset();
        ShellFixture shell;
        if (!stored.isEmpty())
            QVERIFY(SetAppValue(QStringLiteral("DataMode"), stored));
        FTPFrame *frame = shell.start().frame();
        QAction *item = frame->actions()->action(Cmd::PassiveModeTransfers);
        QMenu *options = findMenu(frame->menuBar(), QStringLiteral("&View/&Options/&Program Options"));
        emit options->aboutToShow();
        QCOMPARE(item->isChecked(), checked);
        item->trigger();
        QCOMPARE(shell.app->pool()->dataMode(), checked ? 1 : 2);
        QCOMPARE(AppValue(QStringLiteral("DataMode")), checked ? QStringLiteral("1") : QStringLiteral("2"));
        emit options->aboutToShow();
        QCOMPARE(item->isChecked(), !checked);
        item->trigger();
        QCOMPARE(AppValue(QStringLiteral("DataMode")), checked ? QStringLiteral("2") : QStringLiteral("1"));
    }

    // --- the status bar ------------------------------------------------------------------------

    void statusLineSurvivesHints()
    {
        shell_->app->statusLine().showStatus(QStringLiteral("Finished Retrieving List."));
        QLabel *line = frame_->statusLabel();
        QCOMPARE(line->text(), QStringLiteral("Finished Retrieving List."));
        QVERIFY(line->isVisible());

        frame_->actions()->action(Cmd::GoUp)->showStatusText(frame_);
        QCOMPARE(frame_->statusBar()->currentMessage(), QStringLiteral("Go up one level"));
        QStatusTipEvent leave{QString()};
        QCoreApplication::sendEvent(frame_, &leave);
        QVERIFY(frame_->statusBar()->currentMessage().isEmpty());
        QVERIFY(line->isVisible());
        QCOMPARE(line->text(), QStringLiteral("Finished Retrieving List."));
    }

    // A status text may hold a host's reply or names: it shows with its controls made visible,
    // before the frame exists too.
    void statusLineShowsControlsVisibly()
    {
        StatusBarLine line;
        line.showStatus(QString::fromUtf16(u"550 \x1b]0;owned\x07 \u009b2J \u202egone"));
        const QString shown = QStringLiteral("550 \\x1b]0;owned\\x07 \\x9b2J \\u{202e}gone");
        QCOMPARE(line.text(), shown);
        QLabel label;
        line.attach(&label);
        QCOMPARE(label.text(), shown);
        line.showStatus(QStringLiteral("List of /a\tb/ on site\r"));
        QCOMPARE(label.text(), QStringLiteral("List of /a\tb/ on site\\x0d"));
    }

    void statusBeforeTheFrameIsKept()
    {
        StoreFixture store;
        SetAppValue(QStringLiteral("EMail"), QStringLiteral("x@example.org"));
        SetAppValue(QStringLiteral("CachePath"), QStringLiteral("C:\\cache\\"));
        RecordingPrompt prompt;
        ScriptedDialogs dialogs;
        FTPApp app(prompt, dialogs);
        app.statusLine().showStatus(QStringLiteral("early"));
        app.start();
        QCOMPARE(app.frame()->statusLabel()->text(), QStringLiteral("early"));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
