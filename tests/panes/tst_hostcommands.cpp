// The host database from the panes, on a real store and a real pyftpdlib host: new hosts and
// folders, the host options and renames, removals and their questions, the command-line program
// changing the same store, new directories on a host and on the local disk, and the tools that
// walk a host (search, directory-structure build), the ASCII list and the start paths.

#include "PaneFixture.h"

#include "cli/CliRun.h"
#include "dialogs/ASCIIDialog.h"
#include "dialogs/BuildDialog.h"
#include "dialogs/BuildTypeDialog.h"
#include "dialogs/CacheDetails.h"
#include "dialogs/DialogRunner.h"
#include "dialogs/DirectoryNameDialog.h"
#include "dialogs/HostDetails.h"
#include "dialogs/HostFolderDialog.h"
#include "dialogs/HostOptionsSheet.h"
#include "dialogs/SearchDialog.h"
#include "dialogs/StartPathDialog.h"
#include "panes/CommandIds.h"
#include "settings/AppValues.h"
#include "settings/AsciiExtensions.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTreeWidget>

using namespace panetest;

namespace {

// Runs each modal dialog through the test's step.
struct StepRunner : DialogRunner
{
    std::function<void(QDialog &)> step;
    QStringList titles;
    int run(QDialog &dialog) override
    {
        titles << dialog.windowTitle();
        if (step)
            step(dialog);
        return dialog.result();
    }
};

template <typename Control = QLineEdit>
Control *control(const QWidget &dialog, int id)
{
    return dialog.findChild<Control *>(QStringLiteral("ctl%1").arg(id));
}

template <typename Dialog>
Dialog *shownDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<Dialog *>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

QString hostValue(const QString &host, const QString &name)
{
    return SettingsStore::instance().value(SettingsKeys::hostKey(host), name).value_or(QStringLiteral("<missing>"));
}

bool hostExists(const QString &name)
{
    return SettingsStore::instance().keyExists(SettingsKeys::hostKey(name));
}

} // namespace

class TestHostCommands : public QObject, protected PaneFixture
{
    Q_OBJECT

    StepRunner runner_;

    QTreeWidgetItem *entryNode(Window *pane, const QString &name) const
    {
        return pane->tree()->hostEntryNode(name);
    }
    // The user comes back to the program from another one.
    static void backFromAnotherProgram()
    {
        emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
    }
    void selectInList(Window *pane, const QString &text)
    {
        const int row = pane->list()->findItem(text);
        QVERIFY2(row >= 0, qPrintable(itemTexts(pane->list()).join(u',')));
        pane->list()->showItem(row);
    }

private slots:
    void initTestCase() { QVERIFY2(setUpRun(), qPrintable(setUpError())); }

    void init()
    {
        setUpTest();
        QVERIFY(SetAppValue(QStringLiteral("EMail"), QStringLiteral("me@example.org")));
        QDir(env_.home() + QStringLiteral("/work")).removeRecursively();
        runner_.step = nullptr;
        runner_.titles.clear();
        DialogRunner::install(&runner_);
        makePanes();
    }

    void cleanup()
    {
        DialogRunner::install(nullptr);
        dropPanes();
    }

    // --- new hosts -----------------------------------------------------------------------------

    // The new host is named in the sheet and shows at once, by name, in every pane.
    void newHostShowsInEveryPane()
    {
        storeHost(QStringLiteral("alpha"), server_.port());
        clickNode(pane0_, pane0_->tree()->topNode());
        clickNode(pane1_, pane1_->tree()->topNode());
        QString sheetHost;
        runner_.step = [&](QDialog &dialog) {
            auto &sheet = static_cast<HostOptionsSheet &>(dialog);
            sheetHost = sheet.hostName();
            control(dialog, HostDetails::IdName)->setText(QStringLiteral("Mine"));
            control(dialog, HostDetails::IdAddress)->setText(QStringLiteral("127.0.0.1"));
            sheet.pages()->setCurrentIndex(1);
            control(dialog, CacheDetails::IdPort)->setText(QString::number(server_.port()));
            dialog.accept();
        };
        CommandState state;
        QVERIFY(pane0_->commandState(Cmd::NewHost, state) && state.enabled);
        QVERIFY(pane0_->handleCommand(Cmd::NewHost));

        QCOMPARE(sheetHost, QStringLiteral("Default Host 1"));
        QVERIFY(!hostExists(QStringLiteral("Default Host 1")));
        QCOMPARE(hostValue(QStringLiteral("Mine"), QStringLiteral("Parent")), QStringLiteral("0"));
        QCOMPARE(hostValue(QStringLiteral("Mine"), QStringLiteral("Port")), QString::number(server_.port()));
        for (Window *pane : {pane0_, pane1_}) {
            QCOMPARE(childTexts(pane->tree()->topNode()), (QStringList{"My Computer", "alpha", "Mine", "site"}));
            QCOMPARE(itemTexts(pane->list()), (QStringList{"My Computer", "alpha", "Mine", "site"}));
        }
        // And it works: its root lists.
        clickNode(pane1_, entryNode(pane1_, QStringLiteral("Mine")));
        QTRY_VERIFY_WITH_TIMEOUT(pane1_->list()->findItem(QStringLiteral("top.txt")) >= 0, Bound);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    void newHostNotApplied_data()
    {
        QTest::addColumn<bool>("okFirst");
        QTest::newRow("cancel") << false;
        QTest::newRow("OK without an address, then cancel") << true;
    }

    // Nothing applied: the temporary key goes and no pane shows it.
    void newHostNotApplied()
    {
        QFETCH(bool, okFirst);
        clickNode(pane0_, pane0_->tree()->topNode());
        runner_.step = [&](QDialog &dialog) {
            if (okFirst) {
                dialog.accept(); // refused: the sheet stays
                QCOMPARE(dialog.result(), int(QDialog::Rejected));
            }
            dialog.reject();
        };
        QVERIFY(pane0_->handleCommand(Cmd::NewHost));
        QCOMPARE(runner_.titles, QStringList{"Host Options"});
        QVERIFY(!hostExists(QStringLiteral("Default Host 1")));
        QVERIFY(!entryNode(pane0_, QStringLiteral("Default Host 1")));
        QCOMPARE(prompt_.contains(QStringLiteral("Error"), QStringLiteral("You must enter an Address")), okFirst);
    }

    // In a folder the new host is filed there; on a host's directory New Host does nothing.
    void newHostInFolder()
    {
        storeFolder(QStringLiteral("Archive"), 4);
        backFromAnotherProgram();
        clickNode(pane0_, entryNode(pane0_, QStringLiteral("Archive")));
        runner_.step = [](QDialog &dialog) {
            control(dialog, HostDetails::IdAddress)->setText(QStringLiteral("ftp.example.org"));
            dialog.accept();
        };
        QVERIFY(pane0_->handleCommand(Cmd::NewHost));
        QCOMPARE(hostValue(QStringLiteral("Default Host 1"), QStringLiteral("Parent")), QStringLiteral("4"));
        QCOMPARE(childTexts(entryNode(pane1_, QStringLiteral("Archive"))), QStringList{"Default Host 1"});
        QCOMPARE(itemTexts(pane0_->list()), QStringList{"Default Host 1"});

        browseRoot();
        runner_.titles.clear();
        CommandState state;
        QVERIFY(pane0_->commandState(Cmd::NewHost, state) && !state.enabled);
        QVERIFY(pane0_->handleCommand(Cmd::NewHost));
        QVERIFY(runner_.titles.isEmpty());
    }

    // --- new folders ---------------------------------------------------------------------------

    void newFolder()
    {
        storeFolder(QStringLiteral("Old"), 5);
        backFromAnotherProgram();
        clickNode(pane0_, pane0_->tree()->topNode());
        QString typed = QStringLiteral("Archive");
        runner_.step = [&](QDialog &dialog) {
            control(dialog, HostFolderDialog::IdName)->setText(typed);
            dialog.accept();
        };
        QVERIFY(pane0_->handleCommand(Cmd::NewFolder));
        QCOMPARE(runner_.titles, QStringList{"Create New Host Folder"});
        QCOMPARE(hostValue(typed, QStringLiteral("Parent")), QStringLiteral("0"));
        QCOMPARE(hostValue(typed, QStringLiteral("This")), QStringLiteral("6")); // one above the largest
        QVERIFY(entryNode(pane1_, typed));
        QVERIFY(itemTexts(pane0_->list()).contains(typed));

        // Inside the new folder.
        clickNode(pane0_, entryNode(pane0_, typed));
        typed = QStringLiteral("Inner");
        QVERIFY(pane0_->handleCommand(Cmd::NewFolder));
        QCOMPARE(hostValue(typed, QStringLiteral("Parent")), QStringLiteral("6"));
        QCOMPARE(childTexts(entryNode(pane1_, QStringLiteral("Archive"))), QStringList{"Inner"});
    }

    void newFolderRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString unique = QStringLiteral("Folder must have a unique name throughout the system.  It can not be the "
                                              "same as any host or any other folder");
        QTest::newRow("a host's name") << "site" << unique;
        QTest::newRow("a host's name in other case") << "SITE" << unique;
        QTest::newRow("the local disks") << "My Computer" << unique;
        QTest::newRow("a backslash") << "a\\b" << "backslash";
        QTest::newRow("a line break") << "a\nb" << "control characters";
    }

    void newFolderRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        clickNode(pane0_, pane0_->tree()->topNode());
        const QStringList before = SettingsStore::instance().subkeys(SettingsKeys::Hosts);
        runner_.step = [&](QDialog &dialog) {
            control(dialog, HostFolderDialog::IdName)->setText(name);
            dialog.accept();
        };
        QVERIFY(pane0_->handleCommand(Cmd::NewFolder));
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error Creating Folder"));
        QVERIFY2(prompt_.lastText().contains(message), qPrintable(prompt_.dump()));
        QCOMPARE(SettingsStore::instance().subkeys(SettingsKeys::Hosts), before);
    }

    // --- removal -------------------------------------------------------------------------------

    // A folder that holds a host is refused; the host goes after its question, then the folder.
    void removeFolderAndHost()
    {
        storeFolder(QStringLiteral("Box"), 3);
        storeHost(QStringLiteral("inbox"), server_.port(), QString(), 3);
        QVERIFY(SettingsStore::instance().setValue(SettingsKeys::hostKey(QStringLiteral("inbox")) + "\\Destinations",
                                                   QStringLiteral("0"), QStringLiteral("/pub/")));
        clickNode(pane0_, pane0_->tree()->topNode());
        clickNode(pane1_, pane1_->tree()->topNode());
        backFromAnotherProgram();
        CommandState state;
        QVERIFY(pane0_->commandState(Cmd::Delete, state) && state.enabled);

        selectInList(pane0_, QStringLiteral("Box"));
        QVERIFY(pane0_->handleCommand(Cmd::Delete));
        QCOMPARE(prompt_.lastText(), QStringLiteral("This Folder has sub folders or hosts."));
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Error"));
        QVERIFY(hostExists(QStringLiteral("Box")));

        clickNode(pane0_, entryNode(pane0_, QStringLiteral("Box")));
        selectInList(pane0_, QStringLiteral("inbox"));
        prompt_.queueAnswer(Prompt::No);
        QVERIFY(pane0_->handleCommand(Cmd::Delete));
        QCOMPARE(prompt_.lastText(), QStringLiteral("Are you sure you wish to remove host inbox?"));
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Removing Host"));
        QVERIFY(hostExists(QStringLiteral("inbox")));
        QVERIFY(pane0_->handleCommand(Cmd::Delete)); // Yes
        QVERIFY(!hostExists(QStringLiteral("inbox")));
        QVERIFY(!SettingsStore::instance().keyExists(SettingsKeys::hostKey(QStringLiteral("inbox")) + "\\Destinations"));
        QVERIFY(!entryNode(pane1_, QStringLiteral("inbox")));
        QVERIFY(itemTexts(pane0_->list()).isEmpty());

        clickNode(pane0_, pane0_->tree()->topNode());
        selectInList(pane0_, QStringLiteral("Box"));
        QVERIFY(pane0_->handleCommand(Cmd::Delete));
        QCOMPARE(prompt_.lastText(), QStringLiteral("Are you sure you wish to remove host folder Box?"));
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Removing Host Folder"));
        QVERIFY(!hostExists(QStringLiteral("Box")));
        QCOMPARE(itemTexts(pane1_->list()), (QStringList{"My Computer", "site"}));

        // "My Computer" is never removed.
        const int asked = prompt_.count();
        selectInList(pane0_, QStringLiteral("My Computer"));
        QVERIFY(pane0_->handleCommand(Cmd::Delete));
        QCOMPARE(prompt_.count(), asked);
    }

    // With the tree focused, Delete removes the selected host; the pane shows its folder then.
    void removeHostFromTheTree()
    {
        storeHost(QStringLiteral("doomed"), server_.port());
        dropPanes(); // a pane stores its options when it goes
        QVERIFY(SetAppValue(QStringLiteral("ShowTree1"), QStringLiteral("1")));
        makePanes();
        clickNode(pane1_, entryNode(pane1_, QStringLiteral("doomed")));
        QTRY_VERIFY_WITH_TIMEOUT(pane1_->list()->findItem(QStringLiteral("top.txt")) >= 0, Bound);
        host_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host_));
        pane1_->tree()->setFocus();
        QTRY_VERIFY(pane1_->tree()->hasFocus());
        QVERIFY(pane1_->handleCommand(Cmd::Delete));
        QCOMPARE(prompt_.lastCaption(), QStringLiteral("Removing Host"));
        QVERIFY(!hostExists(QStringLiteral("doomed")));
        QVERIFY(!entryNode(pane0_, QStringLiteral("doomed")));
        QCOMPARE(pane1_->tree()->currentItem(), pane1_->tree()->topNode());
        QTRY_VERIFY(!itemTexts(pane1_->list()).contains(QStringLiteral("doomed")));
    }

    // --- options and renames -------------------------------------------------------------------

    // A rename in the sheet moves the host's node in every pane, with the folders listed below it.
    void renameThroughOptions()
    {
        browseRoot();
        clickNode(pane1_, pane1_->tree()->topNode());
        CommandState state;
        QVERIFY(pane1_->commandState(Cmd::HostOptions, state) && !state.enabled); // no host selected
        selectInList(pane1_, Site);
        QVERIFY(pane1_->commandState(Cmd::HostOptions, state) && state.enabled);

        runner_.step = [](QDialog &dialog) {
            control(dialog, HostDetails::IdName)->setText(QStringLiteral("Renamed"));
            dialog.accept();
        };
        QVERIFY(pane0_->handleCommand(Cmd::HostOptions));
        QVERIFY(!hostExists(Site));
        QCOMPARE(hostValue(QStringLiteral("Renamed"), QStringLiteral("Address")), QStringLiteral("127.0.0.1"));
        QCOMPARE(pane0_->currentHost(), QStringLiteral("Renamed"));
        QCOMPARE(pane0_->currentPath(), QStringLiteral("/"));
        QVERIFY(pane1_->tree()->findLocationNode(QStringLiteral("Renamed"), QStringLiteral("/pub/")));
        QCOMPARE(itemTexts(pane1_->list()), (QStringList{"My Computer", "Renamed"}));
    }

    // Hosts written by the command-line program while the program runs show the next time a folder
    // of hosts is shown; removed ones go.
    void storeSharedWithTheCli()
    {
        clickNode(pane0_, pane0_->tree()->topNode());
        QCOMPARE(runCli({"host", "from cli", "Address=127.0.0.1", "Port=" + QString::number(server_.port())}).exitCode, 0);
        backFromAnotherProgram();
        QCOMPARE(itemTexts(pane0_->list()), (QStringList{"My Computer", "from cli", "site"}));
        QVERIFY(entryNode(pane0_, QStringLiteral("from cli")));

        // Or at the latest when the folder is shown again.
        QCOMPARE(runCli({"host", "site", "--delete"}).exitCode, 0);
        clickNode(pane1_, entryNode(pane1_, QStringLiteral("from cli")));
        clickNode(pane1_, pane1_->tree()->topNode());
        QCOMPARE(itemTexts(pane1_->list()), (QStringList{"My Computer", "from cli"}));
        QVERIFY(!entryNode(pane1_, Site));
    }

    // A folder the command-line program removed, clicked before the tree heard of it, goes from
    // the tree; it is never filled with the hosts of the top.
    void removedFolderClicked()
    {
        storeFolder(QStringLiteral("Gone"), 7);
        backFromAnotherProgram();
        QTreeWidgetItem *gone = entryNode(pane1_, QStringLiteral("Gone"));
        QVERIFY(gone);
        browseRoot();
        QVERIFY(SettingsStore::instance().deleteKey(SettingsKeys::hostKey(QStringLiteral("Gone"))));
        clickNode(pane1_, gone);
        QVERIFY(!entryNode(pane1_, QStringLiteral("Gone")));
        QTRY_COMPARE(pane1_->tree()->currentItem(), pane1_->tree()->topNode());
        QTRY_COMPARE(itemTexts(pane1_->list()), (QStringList{"My Computer", "site"}));
    }

    // --- new directories -----------------------------------------------------------------------

    void newDirectory_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message"); // empty: made
        QTest::newRow("on the host") << true << "made" << "";
        QTest::newRow("on the local disk") << false << "made" << "";
        QTest::newRow("local, with spaces") << false << "two words" << "";
        QTest::newRow("local, taken") << false << "taken" << "File exists";
        QTest::newRow("a slash") << false << "a/b" << "cannot be the name of a directory";
        // Local paths take "\\" as a separator too: this one would leave the folder.
        QTest::newRow("a backslash") << false << "..\\x" << "cannot be the name of a directory";
        QTest::newRow("dot dot") << true << ".." << "cannot be the name of a directory";
        QTest::newRow("a line break") << true << "a\r\nDELE x" << "cannot be the name of a directory";
    }

    void newDirectory()
    {
        QFETCH(bool, remote);
        QFETCH(QString, name);
        QFETCH(QString, message);
        const QString work = env_.home() + QStringLiteral("/work");
        QVERIFY(QDir().mkpath(work + QStringLiteral("/taken")));
        const QString host = remote ? Site : DirWindow::MyComputer;
        const QString path = remote ? QStringLiteral("/pub/") : QStringLiteral("C:/work/");
        QVERIFY(showLocation(pane0_, host, path));
        if (remote)
            QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->findItem(QStringLiteral("readme.txt")) >= 0, Bound);
        QVERIFY(showLocation(pane1_, host, path));
        QString prompt;
        runner_.step = [&](QDialog &dialog) {
            prompt = dialog.findChild<QLabel *>(QStringLiteral("ctl%1").arg(DirectoryNameDialog::IdText))->text();
            control(dialog, DirectoryNameDialog::IdName)->setText(name);
            dialog.accept();
            if (dialog.result() != QDialog::Accepted)
                dialog.reject();
        };
        QVERIFY(pane0_->handleCommand(Cmd::NewFolder));
        QCOMPARE(runner_.titles, QStringList{"Create New Directory"});
        QCOMPARE(prompt, "Enter directory name to create in directory: " + path.chopped(1) + '.');
        if (!message.isEmpty()) {
            QVERIFY2(prompt_.lastText().contains(message), qPrintable(prompt_.dump()));
            QCOMPARE(QDir(work).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"taken"});
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(pane1_->list()->findItem(name) >= 0, Bound);
        QVERIFY(pane0_->list()->findItem(name) >= 0);
        QVERIFY(pane1_->tree()->findLocationNode(host, path + name + u'/'));
        QVERIFY(remote ? server_.exists("pub/" + name) : QFileInfo(work + u'/' + name).isDir());
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // "All Disks" holds drives: no directory is made there.
    void newDirectoryNotOnAllDisks()
    {
        clickNode(pane0_, entryNode(pane0_, DirWindow::MyComputer) ? entryNode(pane0_, DirWindow::MyComputer)
                                                                    : pane0_->tree()->topNode()->child(0));
        QVERIFY(pane0_->handleCommand(Cmd::NewFolder));
        QVERIFY(runner_.titles.isEmpty());
    }

    // --- the tools that walk a host ------------------------------------------------------------

    // Every match is listed in the window as it is found, with no box to click; a double click
    // shows it in the pane.
    void searchListsMatches()
    {
        QVERIFY(server_.writeFile(QStringLiteral("pub/docs/manual.txt"), "m"));
        browseRoot();
        CommandState state;
        QVERIFY(pane0_->commandState(Cmd::Search, state) && state.enabled);
        QVERIFY(pane0_->handleCommand(Cmd::Search));
        auto *search = shownDialog<SearchDialog>();
        QVERIFY(search);
        QCOMPARE(control(*search, SearchDialog::IdLookIn)->text(), QStringLiteral("/"));
        control(*search, SearchDialog::IdNamed)->setText(QStringLiteral(".txt"));
        control<QPushButton>(*search, SearchDialog::IdThisConnection)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!search->searching(), Bound);
        auto *results = control<QTreeWidget>(*search, SearchDialog::IdResults);
        QStringList found;
        for (int i = 0; i < results->topLevelItemCount(); ++i)
            found << results->topLevelItem(i)->text(1) + results->topLevelItem(i)->text(0);
        found.sort();
        QCOMPARE(found, (QStringList{"/pub/docs/manual.txt", "/pub/readme.txt", "/top.txt"}));
        QVERIFY(control<QLabel>(*search, SearchDialog::IdStatus)->text().contains(QStringLiteral("3 found")));
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));

        QTreeWidgetItem *manual = results->findItems(QStringLiteral("manual.txt"), Qt::MatchExactly).value(0);
        QVERIFY(manual);
        results->setCurrentItem(manual);
        emit results->itemActivated(manual, 0);
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->currentPath(), QStringLiteral("/pub/docs/"), Bound);
        QTRY_VERIFY_WITH_TIMEOUT(pane0_->list()->selectedRows() == QList<int>{pane0_->list()->findItem("manual.txt")},
                                 Bound);
        search->close();
        QTRY_VERIFY(!shownDialog<SearchDialog>());
    }

    // F10 asks which connection, then lists the whole tree into the cache and every tree.
    void directoryStructureBuild()
    {
        QVERIFY(server_.makeDir(QStringLiteral("pub/docs/deep/deeper")));
        browseRoot();
        QVERIFY(!pane1_->tree()->findLocationNode(Site, QStringLiteral("/pub/docs/deep/")));
        QVERIFY(pane0_->handleCommand(Cmd::RefreshAllSubFolders));
        auto *choice = shownDialog<BuildTypeDialog>();
        QVERIFY(choice);
        control<QPushButton>(*choice, BuildTypeDialog::IdThisConnection)->click();
        QTRY_VERIFY_WITH_TIMEOUT(pane1_->tree()->findLocationNode(Site, QStringLiteral("/pub/docs/deep/deeper/")),
                                 Bound);
        QTRY_VERIFY_WITH_TIMEOUT(!shownDialog<BuildDialog>() && !shownDialog<BuildTypeDialog>(), Bound);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }

    // --- program options -----------------------------------------------------------------------

    void startupPaths()
    {
        storeHost(QStringLiteral("Alpha"), server_.port());
        storeFolder(QStringLiteral("A folder"), 8);
        QStringList hosts;
        runner_.step = [&](QDialog &dialog) {
            auto *first = control<QComboBox>(dialog, StartPathDialog::IdHost0);
            for (int i = 0; i < first->count(); ++i)
                hosts << first->itemText(i);
            first->setCurrentText(Site);
            control(dialog, StartPathDialog::IdPath0)->setText(QStringLiteral("pub\\docs"));
            control<QComboBox>(dialog, StartPathDialog::IdHost1)->setCurrentText(DirWindow::MyComputer);
            control(dialog, StartPathDialog::IdPath1)->clear();
            dialog.accept();
        };
        QVERIFY(pane0_->handleCommand(Cmd::StartupPaths));
        QCOMPARE(hosts, (QStringList{"All Hosts", "My Computer", "Alpha", "site"}));
        QCOMPARE(AppValue(QStringLiteral("StartPath0")), QStringLiteral("/pub/docs/"));
        QCOMPARE(AppValue(QStringLiteral("StartHost1")), DirWindow::MyComputer);
        QCOMPARE(AppValue(QStringLiteral("StartPath1")), QStringLiteral("C:/"));

        // The next start opens there.
        dropPanes();
        makePanes();
        pane0_->startUpNavigation();
        pane1_->startUpNavigation();
        QTRY_COMPARE_WITH_TIMEOUT(pane0_->currentPath(), QStringLiteral("/pub/docs/"), Bound);
        QCOMPARE(pane0_->currentHost(), Site);
        QCOMPARE(pane1_->currentHost(), DirWindow::MyComputer);
        QCOMPARE(pane1_->currentPath(), QStringLiteral("C:/"));
    }

    void asciiExtensions()
    {
        const QStringList before = AsciiExtensions();
        QStringList shown;
        runner_.step = [&](QDialog &dialog) {
            auto *entry = control(dialog, ASCIIDialog::IdEntry);
            for (const char *typed : {"notes.Md", "csv", "", "archive.tar.", "CSV"}) {
                entry->setText(QString::fromLatin1(typed));
                control<QPushButton>(dialog, ASCIIDialog::IdAdd)->click();
            }
            // Return in the entry adds; it does not close the window.
            dialog.show();
            entry->setText(QStringLiteral("server.log"));
            QTest::keyClick(entry, Qt::Key_Return);
            QVERIFY(dialog.isVisible());
            QVERIFY(entry->text().isEmpty());
            auto *list = control<QListWidget>(dialog, ASCIIDialog::IdList);
            list->setCurrentItem(list->findItems(QStringLiteral("txt"), Qt::MatchFixedString).value(0));
            control<QPushButton>(dialog, ASCIIDialog::IdRemove)->click();
            shown = static_cast<ASCIIDialog &>(dialog).shownExtensions();
            control<QPushButton>(dialog, ASCIIDialog::IdDone)->click();
        };
        QVERIFY(pane0_->handleCommand(Cmd::EditAsciiExtensions));
        QStringList expected = before;
        expected.removeAll(QStringLiteral("txt"));
        expected << QStringLiteral("Md") << QStringLiteral("csv") << QStringLiteral("log");
        QCOMPARE(AsciiExtensions(), expected);
        QStringList sorted = expected;
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(shown, sorted);
    }
};

QTEST_MAIN(TestHostCommands)
#include "tst_hostcommands.moc"
