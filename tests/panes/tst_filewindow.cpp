// The file list of a pane: its items, selection commands, filter selection, the popup menu,
// activation and label editing, driven through the real widgets offscreen.
#include "support/TestEnvironment.h"

#include "FileListFixture.h"
#include "panes/CommandIds.h"
#include "panes/PaneImages.h"
#include "platform/SettingsStore.h"
#include "settings/AppValues.h"
#include "settings/AsciiExtensions.h"
#include "dialogs/SelectWild.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QHeaderView>

using namespace FileListFixture;

class TestFileWindow : public QObject
{
    Q_OBJECT

    TestEnvironment env_;

private slots:
    void initTestCase()
    {
        QVERIFY2(openStoreWithAsciiList(env_), qPrintable(env_.errorString()));
    }

    void formatSize_data()
    {
        QTest::addColumn<quint64>("size");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << quint64(0) << "0";
        QTest::newRow("three digits") << quint64(999) << "999";
        QTest::newRow("one thousand") << quint64(1000) << "1,000";
        QTest::newRow("five digits") << quint64(12345) << "12,345";
        QTest::newRow("one million") << quint64(1000000) << "1,000,000";
        QTest::newRow("inner zeros") << quint64(1002003) << "1,002,003";
        QTest::newRow("32-bit maximum") << quint64(4294967295u) << "4,294,967,295";
        QTest::newRow("above 32 bits") << quint64(4294967296u) << "4,294,967,296";
        QTest::newRow("64-bit maximum") << quint64(18446744073709551615ull) << "18,446,744,073,709,551,615";
    }

    void formatSize()
    {
        QFETCH(quint64, size);
        QFETCH(QString, text);
        QCOMPARE(FileWindow::formatSize(size), text);
        List list = makeList();
        list->AddListItem(QStringLiteral("f"), size, 0, FileWindow::KindFile);
        QCOMPARE(list->sizeText(0), text);
        QCOMPARE(list->view()->model()->index(0, 1).data().toString(), text);
    }

    // The Date column shows month/day/year hour:minute and nothing for an unknown date; copies of
    // tree nodes show neither size nor date and carry no record.
    void columnTexts()
    {
        List list = makeList();
        list->addNodeItem(QStringLiteral("Node"), IconComputer);
        list->AddListItem(QStringLiteral("unknown"), 5, 0, FileWindow::KindFile);
        list->AddListItem(QStringLiteral("dated"), 1000, PackedDateTime::pack(2023, 7, 4, 9, 5, 58),
                          FileWindow::KindFile);
        QCOMPARE(texts(list.get()), QStringList({"dated", "unknown", "Node"}));
        QCOMPARE(list->dateText(0), QStringLiteral("07/04/2023 09:05"));
        QCOMPARE(list->sizeText(0), QStringLiteral("1,000"));
        QCOMPARE(list->dateText(1), QString());
        QCOMPARE(list->sizeText(2), QString());
        QCOMPARE(list->dateText(2), QString());
        QVERIFY(!list->itemData(2));
        QCOMPARE(list->itemIcon(2), int(IconComputer));
        QCOMPARE(list->itemData(0)->size, quint64(1000));
        const QAbstractItemModel *model = list->view()->model();
        QCOMPARE(model->index(1, 2).data().toString(), QString());
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Date"));
        QVERIFY(model->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
        QVERIFY(model->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    }

    void addListItem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("showDirectories");
        QTest::addColumn<int>("icon"); // -1: not shown

        QTest::newRow("dot") << "." << int(FileWindow::KindDirectory) << true << -1;
        QTest::newRow("dot dot") << ".." << int(FileWindow::KindDirectory) << true << -1;
        QTest::newRow("dot as a file") << "." << int(FileWindow::KindFile) << true << -1;
        QTest::newRow("directory") << "pub" << int(FileWindow::KindDirectory) << true << int(IconFolder);
        QTest::newRow("directory hidden") << "pub" << int(FileWindow::KindDirectory) << false << -1;
        QTest::newRow("link") << "lnk" << int(FileWindow::KindLink) << true << int(IconLink);
        QTest::newRow("link hidden") << "lnk" << int(FileWindow::KindLink) << false << -1;
        QTest::newRow("file with folders hidden") << "a.bin" << int(FileWindow::KindFile) << false
                                                  << int(IconBinaryFile);
        QTest::newRow("text extension") << "notes.txt" << int(FileWindow::KindFile) << true << int(IconAsciiFile);
        QTest::newRow("extension in other case") << "notes.TXT" << int(FileWindow::KindFile) << true
                                                 << int(IconAsciiFile);
        QTest::newRow("last extension counts") << "archive.txt.gz" << int(FileWindow::KindFile) << true
                                               << int(IconBinaryFile);
        QTest::newRow("no dot looks up the name") << "readme" << int(FileWindow::KindFile) << true
                                                  << int(IconAsciiFile);
        QTest::newRow("no dot, not listed") << "Makefile" << int(FileWindow::KindFile) << true
                                            << int(IconBinaryFile);
        QTest::newRow("trailing dot") << "notes." << int(FileWindow::KindFile) << true << int(IconBinaryFile);
        QTest::newRow("text-like directory") << "docs.txt" << int(FileWindow::KindDirectory) << true
                                             << int(IconFolder);
    }

    void addListItem()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(bool, showDirectories);
        QFETCH(int, icon);
        List list = makeList(FileWindow::Details, showDirectories);
        QCOMPARE(list->AddListItem(name, 7, PackedDateTime::pack(2001, 2, 3), kind), icon < 0 ? 0 : 1);
        QCOMPARE(list->itemCount(), icon < 0 ? 0 : 1);
        if (icon < 0)
            return;
        QCOMPARE(list->itemIcon(0), icon);
        QCOMPARE(list->itemText(0), name);
        const itemdata *record = list->itemData(0);
        QVERIFY(record);
        QCOMPARE(record->name, name);
        QCOMPARE(record->size, quint64(7));
        QCOMPARE(record->date, PackedDateTime::pack(2001, 2, 3));
        QCOMPARE(record->isDirectory, kind != FileWindow::KindFile);
        if (kind == FileWindow::KindFile)
            QCOMPARE(icon == IconAsciiFile, IsAsciiExtension(name));
    }

    // The extension list is read once per batch of entries: a change made in between shows in
    // the next listing.
    void asciiListReadPerListing()
    {
        List list = makeList();
        list->AddListItem(QStringLiteral("a.xyz"), 1, 0, FileWindow::KindFile);
        QCOMPARE(list->itemIcon(0), int(IconBinaryFile));
        QVERIFY(!AddAsciiExtension(QStringLiteral("xyz")).isEmpty());
        list->ClearList();
        list->AddListItem(QStringLiteral("a.xyz"), 1, 0, FileWindow::KindFile);
        QCOMPARE(list->itemIcon(0), int(IconAsciiFile));
        QVERIFY(RemoveAsciiExtension(QStringLiteral("xyz")));
    }

    // Every item goes before the ones already there, and a batch joins the view in one insertion.
    void itemsPrecedeEarlierOnes()
    {
        List list = makeList();
        QSignalSpy inserted(list->view()->model(), &QAbstractItemModel::rowsInserted);
        addEntries(list.get(), {"first", "second/", "third"});
        list->addNodeItem(QStringLiteral("node"), IconFolder);
        QTRY_COMPARE(list->view()->model()->rowCount(), 4);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(texts(list.get()), QStringList({"node", "third", "second", "first"}));
        addEntries(list.get(), {"fourth", "fifth"});
        QCOMPARE(texts(list.get()), QStringList({"fifth", "fourth", "node", "third", "second", "first"}));
        QCOMPARE(inserted.size(), 2);
        list->ClearList();
        QCOMPARE(list->itemCount(), 0);
        QCOMPARE(list->view()->model()->rowCount(), 0);
    }

    void findRemoveRename()
    {
        List list = makeList();
        addEntries(list.get(), {"Readme:3", "readme:4", "b:5"});
        QCOMPARE(list->findItem(QStringLiteral("readme")), 1);
        QCOMPARE(list->findItem(QStringLiteral("Readme")), 2);
        QCOMPARE(list->findItem(QStringLiteral("README")), -1);
        list->removeItem(1);
        QCOMPARE(texts(list.get()), QStringList({"b", "Readme"}));
        list->renameItem(1, QStringLiteral("a"));
        QCOMPARE(list->itemText(1), QStringLiteral("a"));
        QCOMPARE(list->itemData(1)->size, quint64(3));
        // The new name is the one sorted by.
        list->SortList(FileWindow::SortName, false, 0);
        QCOMPARE(texts(list.get()), QStringList({"a", "b"}));
        // Rows out of range are ignored.
        list->removeItem(5);
        list->renameItem(-1, QStringLiteral("x"));
        QCOMPARE(list->itemCount(), 2);
        QCOMPARE(list->itemData(9), nullptr);
    }

    void matchFilter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("noWildcards");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("matches");

        QTest::newRow("star extension") << "readme.txt" << "*.txt" << false << false << true;
        QTest::newRow("star stops at the first dot") << "a.b.txt" << "*.txt" << false << false << false;
        QTest::newRow("trailing star needs a character") << "ab" << "ab*" << false << false << false;
        QTest::newRow("trailing star") << "abc" << "ab*" << false << false << true;
        QTest::newRow("question mark") << "abc" << "a?c" << false << false << true;
        QTest::newRow("question mark needs a character") << "ac" << "a?c" << false << false << false;
        QTest::newRow("pattern shorter than the name") << "abcd" << "a?c" << false << false << false;
        QTest::newRow("star in the middle") << "report-2020.doc" << "r*2020.doc" << false << false << true;
        QTest::newRow("star, character absent") << "abc" << "a*x" << false << false << false;
        QTest::newRow("case ignored") << "README.TXT" << "*.txt" << false << false << true;
        QTest::newRow("case sensitive") << "README.TXT" << "*.txt" << false << true << false;
        QTest::newRow("plain substring") << "mytxtfile.doc" << "txt" << false << false << true;
        QTest::newRow("plain substring absent") << "notes.doc" << "txt" << false << false << false;
        QTest::newRow("plain substring, case sensitive") << "MyTxt" << "txt" << false << true << false;
        QTest::newRow("no expansion: substring") << "ab.txt" << "b.t" << true << false << true;
        QTest::newRow("no expansion: literal star") << "a.txt" << "*.txt" << true << false << false;
        QTest::newRow("no expansion: name with a star") << "x*.txt" << "*.txt" << true << false << true;
        QTest::newRow("double star is one star") << "abc" << "**" << false << false << true;
        QTest::newRow("star before question mark") << "ab.txt" << "*?.txt" << false << false << true;
        QTest::newRow("star, question mark, star") << "abc" << "*?*" << false << false << true;
        QTest::newRow("empty filter matches everything") << "abc" << "" << false << false << true;
    }

    void matchFilter()
    {
        QFETCH(QString, name);
        QFETCH(QString, filter);
        QFETCH(bool, noWildcards);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, matches);
        QCOMPARE(FileWindow::MatchFilter(name, filter, noWildcards, caseSensitive), matches);
    }

    void applyFilter()
    {
        List list = makeList();
        addEntries(list.get(), {"d.txt", "c.txt", "b.doc", "a.txt", "a.b.txt"});
        list->setSelected(list->findItem(QStringLiteral("b.doc")), true);
        list->applyFilter(QStringLiteral("*.TXT"), false, false, false);
        QCOMPARE(selectedTexts(list.get()), QStringList({"a.txt", "b.doc", "c.txt", "d.txt"}));
        QCOMPARE(list->focusedRow(), list->findItem(QStringLiteral("a.txt")));
        list->applyFilter(QStringLiteral("c."), false, false, true);
        QCOMPARE(selectedTexts(list.get()), QStringList({"a.txt", "b.doc", "d.txt"}));
        list->applyFilter(QStringLiteral("*.TXT"), false, true, false);
        QCOMPARE(selectedTexts(list.get()), QStringList({"a.txt", "b.doc", "d.txt"}));
        list->applyFilter(QStringLiteral(".b."), true, false, false);
        QCOMPARE(selectedTexts(list.get()), QStringList({"a.b.txt", "a.txt", "b.doc", "d.txt"}));
    }

    void selectUsingFilterDialog()
    {
        List list = makeList();
        QVERIFY(showList(list.get()));
        addEntries(list.get(), {"one.txt", "TWO.TXT", "three.doc"});
        QVERIFY(list->handleCommand(Cmd::SelectUsingFilter));
        SelectWild *dialog = nullptr;
        QTRY_VERIFY((dialog = list->findChild<SelectWild *>()) && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Select Using Filter"));
        QVERIFY(dialog->isModal());
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("ctl102"));
        auto *noWildcards = dialog->findChild<QCheckBox *>(QStringLiteral("ctl101"));
        auto *caseSensitive = dialog->findChild<QCheckBox *>(QStringLiteral("ctl103"));
        auto *unselect = dialog->findChild<QCheckBox *>(QStringLiteral("ctl104"));
        auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("ctl1"));
        auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("ctl2"));
        QVERIFY(edit && noWildcards && caseSensitive && unselect && ok && cancel);
        QCOMPARE(noWildcards->text(), QStringLiteral("Don't &Expand Wildcards"));
        QCOMPARE(caseSensitive->text(), QStringLiteral("&Case Sensitive"));
        QCOMPARE(unselect->text(), QStringLiteral("Unselect matching files"));
        QCOMPARE(ok->text(), QStringLiteral("&OK"));
        QCOMPARE(cancel->text(), QStringLiteral("&Cancel"));
        QCOMPARE(edit->maxLength(), 499);
        bool prompted = false;
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            prompted |= label->text() == QLatin1String("Please enter &filter for selecting files.")
                && label->buddy() == edit;
        QVERIFY(prompted);

        QTest::keyClicks(edit, QStringLiteral("*.txt"));
        caseSensitive->setChecked(true);
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(selectedTexts(list.get()), QStringList({"one.txt"}));
        QTRY_VERIFY(!list->findChild<SelectWild *>());

        // The next opening offers the last choice; Cancel changes nothing.
        list->selectUsingFilter();
        QTRY_VERIFY((dialog = list->findChild<SelectWild *>()) && dialog->isVisible());
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("ctl102"))->text(), QStringLiteral("*.txt"));
        QVERIFY(dialog->findChild<QCheckBox *>(QStringLiteral("ctl103"))->isChecked());
        QVERIFY(!dialog->findChild<QCheckBox *>(QStringLiteral("ctl104"))->isChecked());
        dialog->findChild<QCheckBox *>(QStringLiteral("ctl103"))->setChecked(false);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("ctl2")), Qt::LeftButton);
        QTRY_VERIFY(!list->findChild<SelectWild *>());
        QCOMPARE(selectedTexts(list.get()), QStringList({"one.txt"}));
        list->selectUsingFilter();
        QTRY_VERIFY((dialog = list->findChild<SelectWild *>()) && dialog->isVisible());
        QVERIFY(dialog->findChild<QCheckBox *>(QStringLiteral("ctl103"))->isChecked());
        dialog->reject();
    }

    void selectionCommands()
    {
        List list = makeList();
        addEntries(list.get(), {"a", "b", "c", "d"});
        CommandState state;
        QVERIFY(list->commandState(Cmd::Rename, state));
        QVERIFY(!state.enabled);
        for (int id : {int(Cmd::SelectAll), int(Cmd::UnselectAll), int(Cmd::InvertSelection),
                       int(Cmd::SelectUsingFilter)}) {
            state = CommandState{false, false};
            QVERIFY(list->commandState(id, state));
            QVERIFY(state.enabled);
        }
        // Commands of the pane pass on.
        for (int id : {int(Cmd::Open), int(Cmd::Copy), int(Cmd::Delete), int(Cmd::MarkBinary),
                       int(Cmd::ByName), int(Cmd::Descending), int(Cmd::RefreshCurrent)}) {
            QVERIFY(!list->handleCommand(id));
            QVERIFY(!list->commandState(id, state));
        }

        QCOMPARE(list->focusedRow(), -1);
        QVERIFY(list->handleCommand(Cmd::SelectAll));
        QCOMPARE(list->selectedRows(), QList<int>({0, 1, 2, 3}));
        QVERIFY(list->commandState(Cmd::Rename, state));
        QVERIFY(state.enabled);
        QVERIFY(list->handleCommand(Cmd::UnselectAll));
        QCOMPARE(list->selectedRows(), QList<int>());
        // The first item selected takes the focus while no item has it.
        list->setSelected(1, true);
        list->setSelected(3, true);
        QCOMPARE(list->focusedRow(), 1);
        QVERIFY(list->handleCommand(Cmd::InvertSelection));
        QCOMPARE(list->selectedRows(), QList<int>({0, 2}));
        QVERIFY(list->isSelected(2));
        QVERIFY(!list->isSelected(3));
        QVERIFY(list->handleCommand(Cmd::InvertSelection));
        QCOMPARE(list->selectedRows(), QList<int>({1, 3}));
        list->setSelected(1, false);
        QCOMPARE(list->selectedRows(), QList<int>({3}));
    }

    // Mark As changes the icon only: the record, and so the sort position, stay.
    void markChangesOnlyTheIcon()
    {
        List list = makeList();
        addEntries(list.get(), {"zdir/:0", "a.txt:5", "b:7"});
        list->setSelected(list->findItem(QStringLiteral("zdir")), true);
        list->setSelected(list->findItem(QStringLiteral("a.txt")), true);
        list->markSelection(IconBinaryFile);
        QCOMPARE(list->itemIcon(list->findItem(QStringLiteral("zdir"))), int(IconBinaryFile));
        QCOMPARE(list->itemIcon(list->findItem(QStringLiteral("a.txt"))), int(IconBinaryFile));
        QCOMPARE(list->itemIcon(list->findItem(QStringLiteral("b"))), int(IconBinaryFile));
        QVERIFY(list->itemData(list->findItem(QStringLiteral("zdir")))->isDirectory);
        list->SortList(FileWindow::SortName, false, 0);
        QCOMPARE(texts(list.get()), QStringList({"zdir", "a.txt", "b"}));
        list->unselectAll();
        list->setSelected(2, true);
        list->markSelection(IconFolder);
        QCOMPARE(list->itemIcon(2), int(IconFolder));
        QVERIFY(!list->itemData(2)->isDirectory);
    }

    void activation_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("markAs"); // -1: keep the icon
        QTest::addColumn<int>("command");
        QTest::newRow("binary file") << "a.bin" << -1 << int(Cmd::Copy);
        QTest::newRow("text file") << "a.txt" << -1 << int(Cmd::Copy);
        QTest::newRow("directory") << "dir/" << -1 << int(Cmd::Open);
        QTest::newRow("link") << "lnk@" << -1 << int(Cmd::Open);
        QTest::newRow("directory marked binary") << "dir/" << int(IconBinaryFile) << int(Cmd::Copy);
        QTest::newRow("file marked folder") << "a.bin" << int(IconFolder) << int(Cmd::Open);
    }

    // A double click or Ctrl+Enter copies a file and opens anything folder-like, by the icon.
    void activation()
    {
        QFETCH(QString, entry);
        QFETCH(int, markAs);
        QFETCH(int, command);
        for (int style : {int(FileWindow::Details), int(FileWindow::List)}) {
            List list = makeList(style);
            QVERIFY(showList(list.get()));
            addEntries(list.get(), {"other.txt", entry, "other.bin"});
            list->setSelected(1, true);
            if (markAs >= 0)
                list->markSelection(markAs);
            QSignalSpy requested(list.get(), &FileWindow::commandRequested);
            doubleClick(list->view()->viewport(), centreOf(list.get(), 1));
            QCOMPARE(list->selectedRows(), QList<int>({1}));
            QTest::keyClick(list->view(), Qt::Key_Return, Qt::ControlModifier);
            QTest::keyClick(list->view(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
            QCOMPARE(requested.size(), 3);
            for (const QList<QVariant> &signal : requested)
                QCOMPARE(signal.at(0).toInt(), command);
        }
    }

    void activationNeedsSelection()
    {
        List list = makeList();
        QVERIFY(showList(list.get()));
        addEntries(list.get(), {"a", "b/"});
        QSignalSpy requested(list.get(), &FileWindow::commandRequested);
        list->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(list.get()));
        list->view()->setFocus();
        QTRY_VERIFY(list->view()->hasFocus());
        QTest::keyClick(list->view(), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(list->view(), Qt::Key_Return);
        QCOMPARE(requested.size(), 0);
        // Enter, as Ctrl+Enter, opens the selection as a double click does.
        list->setSelected(list->findItem(QStringLiteral("b")), true);
        QTest::keyClick(list->view(), Qt::Key_Return);
        QCOMPARE(requested.size(), 1);
        QCOMPARE(requested.at(0).at(0).toInt(), int(Cmd::Open));
    }

    void popupMenu()
    {
        List list = makeList();
        QVERIFY(showList(list.get()));
        addEntries(list.get(), {"a", "b/"});
        QSignalSpy requested(list.get(), &FileWindow::commandRequested);
        QWidget *viewport = list->view()->viewport();
        const QPoint at = centreOf(list.get(), 0);
        QContextMenuEvent withoutSelection(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &withoutSelection);
        QCoreApplication::processEvents();
        QVERIFY(!QApplication::activePopupWidget());

        const QList<int> ids = {Cmd::Open, Cmd::Copy, Cmd::Delete, Cmd::MarkBinary, Cmd::MarkAscii, Cmd::MarkFolder};
        for (int id : ids) {
            list->setSelected(1, true);
            QContextMenuEvent click(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &click);
            QMenu *menu = nullptr;
            QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
            QStringList items;
            for (const QAction *action : menu->actions())
                items << (action->isSeparator() ? QStringLiteral("-") : action->text());
            QCOMPARE(items, QStringList({"&Open\tEnter", "&Copy\tF8", "&Delete\tDel", "-", "Mark As &Binary\tCtrl+B",
                                         "Mark As &ASCII\tCtrl+A", "Mark As &Folder\tCtrl+F"}));
            QList<QAction *> commands = menu->actions();
            commands.removeIf([](const QAction *action) { return action->isSeparator(); });
            commands.at(ids.indexOf(id))->trigger();
            menu->close();
            QTRY_VERIFY(!QApplication::activePopupWidget());
        }
        QCOMPARE(requested.size(), ids.size());
        for (qsizetype i = 0; i < ids.size(); ++i)
            QCOMPARE(requested.at(i).at(0).toInt(), ids[i]);
    }

    // Rename edits the first selected label; the new text is reported, not applied.
    void renameByLabelEditing()
    {
        List list = makeList();
        QVERIFY(showList(list.get()));
        addEntries(list.get(), {"c", "b", "a"});
        QSignalSpy started(list.get(), &FileWindow::labelEditStarted);
        QSignalSpy edited(list.get(), &FileWindow::labelEdited);
        QVERIFY(list->handleCommand(Cmd::Rename));
        QCOMPARE(started.size(), 0);

        list->setSelected(2, true);
        list->setSelected(1, true);
        QVERIFY(list->handleCommand(Cmd::Rename));
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.at(0).at(0).toInt(), 1);
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = list->view()->viewport()->findChild<QLineEdit *>()) && editor->isVisible());
        QCOMPARE(editor->text(), QStringLiteral("b"));
        editor->setText(QStringLiteral("renamed"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(edited.size(), 1);
        QCOMPARE(edited.at(0).at(0).toInt(), 1);
        QCOMPARE(edited.at(0).at(1).toString(), QStringLiteral("renamed"));
        QCOMPARE(list->itemText(1), QStringLiteral("b"));

        // Escape ends the editing without a new text.
        QVERIFY(list->handleCommand(Cmd::Rename));
        QTRY_VERIFY((editor = list->view()->viewport()->findChild<QLineEdit *>()) && editor->isVisible());
        editor->setText(QStringLiteral("other"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(!list->view()->viewport()->findChild<QLineEdit *>()
                    || !list->view()->viewport()->findChild<QLineEdit *>()->isVisible());
        QCOMPARE(started.size(), 2);
        QCOMPARE(edited.size(), 1);
        QCOMPARE(list->itemText(1), QStringLiteral("b"));
    }

    void viewStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("details");
        QTest::addColumn<int>("viewMode");
        QTest::addColumn<int>("flow");
        QTest::newRow("large icons") << 0 << false << int(QListView::IconMode) << int(QListView::LeftToRight);
        QTest::newRow("small icons") << 1 << false << int(QListView::ListMode) << int(QListView::LeftToRight);
        QTest::newRow("list") << 2 << false << int(QListView::ListMode) << int(QListView::TopToBottom);
        QTest::newRow("details") << 3 << true << 0 << 0;
    }

    void viewStyles()
    {
        QFETCH(int, style);
        QFETCH(bool, details);
        QFETCH(int, viewMode);
        QFETCH(int, flow);
        List list = makeList(style);
        QVERIFY(showList(list.get()));
        QCOMPARE(list->style(), style);
        QAbstractItemView *view = list->view();
        QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
        if (details) {
            auto *tree = qobject_cast<QTreeView *>(view);
            QVERIFY(tree);
            QVERIFY(!tree->rootIsDecorated());
            QVERIFY(tree->uniformRowHeights());
            QVERIFY(!tree->isSortingEnabled());
        } else {
            auto *listView = qobject_cast<QListView *>(view);
            QVERIFY(listView);
            QCOMPARE(int(listView->viewMode()), viewMode);
            QCOMPARE(int(listView->flow()), flow);
            QVERIFY(listView->isWrapping());
            QVERIFY(listView->uniformItemSizes());
        }
        // Ctrl and Shift clicks extend the selection in every style.
        addEntries(list.get(), {"c", "b", "a", "d"});
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(list.get(), 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, centreOf(list.get(), 2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(list.get(), 1));
        QCOMPARE(list->selectedRows(), QList<int>({0, 2}));
        QCOMPARE(list->view()->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 paneImage(IconBinaryFile).cacheKey());
    }

    // Details: Size is as wide as the widest size text, Date as the date, both at least their
    // header's width; Name takes what is left of the view, and follows it when the view grows.
    void detailsColumnsFit()
    {
        List list = makeList();
        QVERIFY(showList(list.get()));
        addEntries(list.get(), {"a:5:2021-12-31 23:59:00", "b:12345678901:2020-01-02 03:04:06", "c/"});
        list->SortList(FileWindow::KeepKey, false, 0);
        auto *tree = qobject_cast<QTreeView *>(list->view());
        QHeaderView *header = tree->header();
        const QFontMetrics metrics(tree->font());
        for (int row = 0; row < list->itemCount(); ++row) {
            QVERIFY(header->sectionSize(1) > metrics.horizontalAdvance(list->sizeText(row)));
            QVERIFY(header->sectionSize(2) > metrics.horizontalAdvance(list->dateText(row)));
        }
        QVERIFY(header->sectionSize(1) >= header->sectionSizeHint(1));
        QVERIFY(header->sectionSize(1) < 150); // fitted to "12,345,678,901", not to any size
        QCOMPARE(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2), tree->viewport()->width());
        const int name = header->sectionSize(0);
        list->resize(list->width() + 200, list->height());
        QTRY_COMPARE(header->sectionSize(0), name + 200);
    }

    // Widths the user drags are stored for the pane and come back with its next list, whatever
    // its width; another pane's columns stay fitted, and the other columns keep fitting.
    void columnWidthsStoredPerPane_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("width");
        QTest::newRow("name") << 0 << 111;
        QTest::newRow("size") << 1 << 150;
        QTest::newRow("date") << 2 << 40;
    }

    void columnWidthsStoredPerPane()
    {
        QFETCH(int, column);
        QFETCH(int, width);
        const auto header = [](const List &list) { return qobject_cast<QTreeView *>(list->view())->header(); };
        SetAppValue(QStringLiteral("ListColumns7"), QString());
        SetAppValue(QStringLiteral("ListColumns8"), QString());
        {
            List list = makeList();
            list->setColumnsPane(7);
            QVERIFY(showList(list.get()));
            header(list)->resizeSection(column, width); // as a drag of the divider does
            QCOMPARE(header(list)->sectionSize(column), width);
        } // written at the latest when the list goes
        std::array<int, 3> expected{};
        expected[size_t(column)] = width;
        QCOMPARE(AppValue(QStringLiteral("ListColumns7")),
                 QStringLiteral("%1,%2,%3").arg(expected[0]).arg(expected[1]).arg(expected[2]));

        List restored = makeList();
        restored->setColumnsPane(7);
        restored->resize(700, 300);
        QVERIFY(showList(restored.get()));
        QCOMPARE(restored->userColumnWidths(), expected);
        QCOMPARE(header(restored)->sectionSize(column), width);
        QTreeView *tree = qobject_cast<QTreeView *>(restored->view());
        const int total = header(restored)->sectionSize(0) + header(restored)->sectionSize(1)
            + header(restored)->sectionSize(2);
        if (column == 0)
            QVERIFY(total < tree->viewport()->width()); // the user's Name width is kept
        else
            QCOMPARE(total, tree->viewport()->width());

        List other = makeList();
        other->setColumnsPane(8);
        QVERIFY(showList(other.get()));
        QCOMPARE(other->userColumnWidths(), (std::array<int, 3>{}));
    }

    // A stored value that is not three widths in range is ignored: every column is fitted.
    void storedColumnWidthsChecked_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("used");
        QTest::newRow("good") << "0,70,0" << true;
        QTest::newRow("spaces") << " 0, 70 ,0" << true;
        QTest::newRow("two values") << "100,70" << false;
        QTest::newRow("four values") << "100,70,80,90" << false;
        QTest::newRow("negative") << "-100,70,80" << false;
        QTest::newRow("huge") << "100,70,99999999" << false;
        QTest::newRow("text") << "wide,70,80" << false;
        QTest::newRow("empty") << "" << false;
    }

    void storedColumnWidthsChecked()
    {
        QFETCH(QString, stored);
        QFETCH(bool, used);
        QVERIFY(SetAppValue(QStringLiteral("ListColumns9"), stored));
        List list = makeList();
        list->setColumnsPane(9);
        QCOMPARE(list->userColumnWidths(), used ? (std::array<int, 3>{0, 70, 0}) : (std::array<int, 3>{}));
    }

    // List and Small Icons size every item alike (uniform sizes), but for the widest name, also
    // when it arrives in a later batch or comes from a rename: no name is cut.
    void listStylesShowWholeNames_data()
    {
        QTest::addColumn<int>("style");
        QTest::newRow("small icons") << int(FileWindow::SmallIcons);
        QTest::newRow("list") << int(FileWindow::List);
    }

    void listStylesShowWholeNames()
    {
        QFETCH(int, style);
        List list = makeList(style);
        QVERIFY(showList(list.get()));
        auto *view = qobject_cast<QListView *>(list->view());
        QVERIFY(view->uniformItemSizes());
        const QFontMetrics metrics(view->font());
        const auto check = [&](const QString &longest) {
            const int needed = view->iconSize().width() + metrics.horizontalAdvance(longest);
            for (int row = 0; row < list->itemCount(); ++row) {
                const QRect rect = view->visualRect(view->model()->index(row, 0));
                if (rect.width() < needed)
                    return QStringLiteral("row %1: %2 < %3").arg(row).arg(rect.width()).arg(needed);
            }
            return QString();
        };
        addEntries(list.get(), {"big.bin", "Shareware Heaven WWW mirror.zip", "cac"});
        list->SortList(FileWindow::KeepKey, false, 0);
        QTRY_COMPARE(check(QStringLiteral("Shareware Heaven WWW mirror.zip")), QString());
        addEntries(list.get(), {"an even longer name, arriving later, Ωmega.tar.gz"});
        QTRY_COMPARE(check(QStringLiteral("an even longer name, arriving later, Ωmega.tar.gz")), QString());
        list->renameItem(list->findItem(QStringLiteral("cac")), QStringLiteral("MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM"));
        QTRY_COMPARE(check(QStringLiteral("MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM")), QString());
        // A new list of short names is sized for them again.
        list->ClearList();
        addEntries(list.get(), {"a", "b"});
        QTRY_COMPARE(list->view()->model()->rowCount(), 2);
        QTRY_VERIFY(view->visualRect(view->model()->index(0, 0)).width()
                    < view->iconSize().width() + metrics.horizontalAdvance(QStringLiteral("Shareware Heaven")));
        // Items taken over from a details list in the middle of a listing (a style change).
        const QString taken = QStringLiteral("taken over while arriving, and long enough to be cut.dat");
        List details = makeList();
        details->startListing();
        addEntries(details.get(), {"x", taken});
        list->takeItemsFrom(*details);
        list->SortList(FileWindow::KeepKey, false, 0);
        QCOMPARE(list->itemCount(), 2);
        QTRY_COMPARE(check(taken), QString());
    }

    // An arriving listing is not shown item by item (nor backwards): the items join the list
    // once, sorted, when it ends; a model watcher never sees another order.
    void arrivingListingShownOnceSorted_data()
    {
        QTest::addColumn<int>("style");
        QTest::newRow("details") << int(FileWindow::Details);
        QTest::newRow("list") << int(FileWindow::List);
    }

    void arrivingListingShownOnceSorted()
    {
        QFETCH(int, style);
        List list = makeList(style);
        QVERIFY(showList(list.get()));
        addEntries(list.get(), {"old"});
        QTRY_COMPARE(list->view()->model()->rowCount(), 1);
        list->ClearList();
        list->startListing();
        QSignalSpy inserted(list->view()->model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy reordered(list->view()->model(), &QAbstractItemModel::layoutChanged);
        addEntries(list.get(), {"file047199", "file047198", "dir/", "a.txt"});
        QCoreApplication::processEvents(); // the turn that would have shown a batch
        list->repaint();
        QCOMPARE(list->itemCount(), 0);
        QCOMPARE(list->view()->model()->rowCount(), 0);
        addEntries(list.get(), {"B.txt"});
        QCoreApplication::processEvents();
        QCOMPARE(inserted.size(), 0);
        list->SortList(FileWindow::KeepKey, false, 0);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(reordered.size(), 0);
        QCOMPARE(texts(list.get()), QStringList({"dir", "a.txt", "B.txt", "file047198", "file047199"}));
        // Later single additions (a new folder) show at once again.
        list->AddListItem(QStringLiteral("new"), 0, 0, FileWindow::KindDirectory);
        QTRY_COMPARE(list->view()->model()->rowCount(), 6);
    }

    void modelConsistency()
    {
        List list = makeList();
        QAbstractItemModelTester tester(list->view()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        addEntries(list.get(), {"b:3", "a/", "c.txt:1"});
        QTRY_COMPARE(list->view()->model()->rowCount(), 3);
        list->setSelected(0, true);
        for (int order : {0, 1, 2, 3, 5, 6, 7, 8})
            list->SortList(order, false, 0);
        list->addNodeItem(QStringLiteral("node"), IconComputer);
        list->renameItem(list->findItem(QStringLiteral("b")), QStringLiteral("bb"));
        list->setSelected(1, true);
        list->markSelection(IconAsciiFile);
        list->removeItem(0);
        addEntries(list.get(), {"d", "e"});
        list->SortList(FileWindow::SortName, false, 0);
        QCOMPARE(list->itemCount(), 5);
        list->ClearList();
        addEntries(list.get(), {"f"});
        QTRY_COMPARE(list->view()->model()->rowCount(), 1);
    }
};

QTEST_MAIN(TestFileWindow)
#include "tst_filewindow.moc"
