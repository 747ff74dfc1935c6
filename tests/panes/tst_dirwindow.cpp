// The location tree: the fixed nodes from a real settings store, node locations and searches, Go
// To on hosts and local disks, local scans of real folders (C: is the test's own home folder),
// listings applied with mark and sweep, expansion of a host listed by pyftpdlib through a real
// pool, and the tree's input and commands.

#include "support/FtpServerFixture.h"
#include "support/RecordingPrompt.h"
#include "support/RecordingStatus.h"
#include "support/TestEnvironment.h"

#include "ftp/ListingEntry.h"
#include "panes/CommandIds.h"
#include "panes/DirWindow.h"
#include "panes/PaneImages.h"
#include "panes/Window.h"
#include "platform/SettingsStore.h"
#include "pool/ConnectionManager.h"
#include "settings/AppValues.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

constexpr int Bound = 20000; // ms: the longest a listing from the server may take
const QString Site = QStringLiteral("site");
const QString Filler = QStringLiteral("***...Filler...***");

// A host or host folder under Hosts; folderId 0 makes a host.
void storeEntry(const QString &name, int parent, int folderId = 0)
{
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    store.createKey(key);
    store.setValue(key, QStringLiteral("Parent"), QString::number(parent));
    if (folderId != 0)
        store.setValue(key, QStringLiteral("This"), QString::number(folderId));
}

void storeServer(const QString &name, quint16 port)
{
    storeEntry(name, 0);
    SettingsStore &store = SettingsStore::instance();
    const QString key = SettingsKeys::hostKey(name);
    store.setValue(key, QStringLiteral("Address"), QStringLiteral("127.0.0.1"));
    store.setValue(key, QStringLiteral("Port"), QString::number(port));
    store.setValue(key, QStringLiteral("Type"), QStringLiteral("1"));
}

ListingEntry entry(const QString &name, ListingEntry::Kind kind = ListingEntry::Directory)
{
    ListingEntry e;
    e.name = name;
    e.kind = kind;
    return e;
}

QStringList childTexts(const QTreeWidgetItem *node)
{
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

// The node reached from the top by exact texts: "All Hosts/site/pub".
QTreeWidgetItem *nodeAt(const DirWindow &tree, const QString &textPath)
{
    QTreeWidgetItem *at = nullptr;
    for (const QString &text : textPath.split(u'/')) {
        QTreeWidgetItem *next = nullptr;
        if (!at)
            next = tree.topNode() && tree.topNode()->text(0) == text ? tree.topNode() : nullptr;
        for (int i = 0; at && i < at->childCount() && !next; ++i)
            if (at->child(i)->text(0) == text)
                next = at->child(i);
        if (!next)
            return nullptr;
        at = next;
    }
    return at;
}

QString textPath(const QTreeWidgetItem *node)
{
    QStringList texts;
    for (; node; node = node->parent())
        texts.prepend(node->text(0));
    return texts.join(u'/');
}

// Every node with its data word and whether it is open, for "nothing changed" checks.
QString dump(const QTreeWidgetItem *node, int depth = 0)
{
    if (!node)
        return {};
    QString text = QString(depth * 2, u' ') + node->text(0) + u' ' + QString::number(DirWindow::nodeFlags(node), 16)
        + (node->isExpanded() ? QStringLiteral(" +\n") : QStringLiteral("\n"));
    for (int i = 0; i < node->childCount(); ++i)
        text += dump(node->child(i), depth + 1);
    return text;
}

int listCommands(const FtpServerFixture &server)
{
    return int(server.log().count(QRegularExpression(QStringLiteral("<- LIST"))));
}

void feed(DirWindow &tree, const QString &directory, const QList<ListingEntry> &entries, bool complete = true)
{
    tree.listingStarted(Site, directory);
    for (const ListingEntry &e : entries)
        tree.listingEntry(Site, directory, e);
    tree.listingEnded(Site, directory, complete);
}

} // namespace

class TestDirWindow : public QObject
{
    Q_OBJECT

    TestEnvironment env_;
    RecordingPrompt prompt_;
    RecordingStatus status_;
    std::unique_ptr<ConnectionManager> pool_;
    int caches_ = 0;

    QString home(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? env_.home() : env_.home() + u'/' + relative;
    }
    bool makeDirs(const QStringList &relatives) const
    {
        for (const QString &relative : relatives)
            if (!QDir().mkpath(home(relative)))
                return false;
        return true;
    }

    // A tree over the store and this test's pool, built as the pane builds it.
    std::unique_ptr<DirWindow> newTree()
    {
        auto tree = std::make_unique<DirWindow>(nullptr, pool_.get());
        tree->BuildRoots();
        return tree;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(env_.setUp(), qPrintable(env_.errorString()));
        SettingsStore::reopen();
        QVERIFY(SettingsStore::instance().isOpen());
        QVERIFY(SetAppValue(QStringLiteral("EMail"), QStringLiteral("guest@example.org")));
    }

    // Each test: the host "site" alone in the store, an empty scan folder in the home folder,
    // and a pool with a cache folder of its own.
    void init()
    {
        SettingsStore::instance().deleteKey(SettingsKeys::Hosts);
        storeEntry(Site, 0);
        QDir(home(QStringLiteral("scan"))).removeRecursively();
        QVERIFY(makeDirs({QStringLiteral("scan")}));
        prompt_.clear();
        status_.clear();
        QVERIFY(SetAppValue(QStringLiteral("CachePath"), QStringLiteral("C:\\.cache%1\\").arg(++caches_)));
        pool_ = std::make_unique<ConnectionManager>(prompt_, status_);
    }

    void cleanup()
    {
        pool_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

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
        QCOMPARE(childTexts(top), (QStringList{"My Computer", "zeta", "Work", "alpha"}));

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

    void drivesInLetterOrder()
    {
        const auto tree = newTree();
        QTreeWidgetItem *computer = nodeAt(*tree, QStringLiteral("All Hosts/My Computer"));
        const QStringList drives = childTexts(computer);
        QVERIFY2(drives.size() >= 2, qPrintable(drives.join(u' ')));
        QCOMPARE(drives.first(), QStringLiteral("(C:)"));
        QCOMPARE(drives.last(), QStringLiteral("(Z:)"));
        QStringList sortedDrives = drives;
        sortedDrives.sort();
        QCOMPARE(drives, sortedDrives);
        for (int i = 0; i < computer->childCount(); ++i) {
            QTreeWidgetItem *drive = computer->child(i);
            QVERIFY(QRegularExpression(QStringLiteral("^\\([A-Z]:\\)$")).match(drive->text(0)).hasMatch());
            QCOMPARE(DirWindow::nodeFlags(drive), 0x4u);
            QCOMPARE(DirWindow::nodeIcon(drive), DirWindow::nodeSelectedIcon(drive));
            QVERIFY(DirWindow::nodeIcon(drive) >= IconFolderPlain && DirWindow::nodeIcon(drive) <= IconCdDrive);
            QCOMPARE(childTexts(drive), QStringList{Filler});
        }
        QCOMPARE(DirWindow::nodeIcon(computer->child(0)), int(IconFixedDrive));
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

    // --- input and commands --------------------------------------------------------------------

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
};

QTEST_MAIN(TestDirWindow)
#include "tst_dirwindow.moc"
