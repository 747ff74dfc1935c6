// Copies started the way the panes start them, through TransferDestinationDialog, against a real
// FTP server and real local folders: downloads and uploads with each button and preset, selected
// folders walked and copied whole (empty folders too), host-to-host copies in both modes, the
// file-exists question answered each way, and Skip File and Close Connection on a running or
// waiting transfer window.

#include "DialogTest.h"

#include "dialogs/BuildDialog.h"
#include "dialogs/FailureListDialog.h"
#include "dialogs/HostToHostDialog.h"
#include "dialogs/TransferDestinationDialog.h"
#include "dialogs/TransferDialog.h"
#include "ftp/Connection.h"
#include "pool/Destinations.h"
#include "pool/HostToHostTransfer.h"
#include "pool/TransferStack.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

const QByteArray A = patternBytes(12345, 1);
const QByteArray B = patternBytes(70001, 2);

TransferRequest request(const QString &sourceHost, const QString &sourceDirectory, const QString &destinationHost,
                        const QString &destinationDirectory, int preset)
{
    TransferRequest r;
    r.sourceHost = sourceHost;
    r.sourceDirectory = sourceDirectory;
    r.destinationHost = destinationHost;
    r.destinationDirectory = destinationDirectory;
    r.preset = preset;
    return r;
}

} // namespace

class TestTransferWindows : public DialogTest
{
    Q_OBJECT

    // Waits until no transfer, walk or host-to-host window is left.
    bool copiesOver()
    {
        return QTest::qWaitFor([] {
            return windows<TransferDialog>().isEmpty() && windows<BuildDialog>().isEmpty()
                   && windows<HostToHostDialog>().isEmpty();
        }, Bound);
    }

    // Downloads a.bin from /pub/ into the local folder at once (preset 1) and gives its window.
    TransferDialog *startDownload(const QStringList &names)
    {
        TransferRequest r = request("site", "/pub/", "My Computer", localDir(), 1);
        for (const QString &name : names)
            r.files << FileItem{name, server_->readFile("pub/" + name).size(), false};
        const QList<TransferDialog *> before = windows<TransferDialog>();
        TransferDestinationDialog::start(nullptr, *pool_, r);
        for (TransferDialog *dialog : windows<TransferDialog>())
            if (!before.contains(dialog))
                return dialog;
        return nullptr;
    }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }
    void init() { QVERIFY(setUpDialogs()); }
    void cleanup() { tearDownDialogs(); }

    void copies_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<int>("preset");
        QTest::addColumn<int>("button"); // preset 0: the button pressed in the dialog
        QTest::addColumn<int>("kind");
        for (const bool upload : {false, true}) {
            const char *way = upload ? "upload" : "download";
            QTest::addRow("%s, This Connection", way) << upload << 0 << int(TransferDestinationDialog::IdFirst) << 0;
            QTest::addRow("%s, New Connection", way) << upload << 0 << int(TransferDestinationDialog::IdSecond) << 1;
            QTest::addRow("%s, Return in the directory", way) << upload << 0 << -1 << 0; // the default button
            QTest::addRow("%s, preset 1", way) << upload << 1 << 0 << 0;
            QTest::addRow("%s, preset 2", way) << upload << 2 << 0 << 1;
        }
    }

    // Two files each way: bytes unchanged, the stack counting their exact sizes, the destination
    // in the host's history, and the connection the button chose (the browse connection for
    // "This Connection", one of its own otherwise).
    void copies()
    {
        QFETCH(bool, upload);
        QFETCH(int, preset);
        QFETCH(int, button);
        QFETCH(int, kind);
        QVERIFY(server_->writeFile("pub/a.bin", A) && server_->writeFile("pub/b.bin", B) && server_->makeDir("in"));
        QVERIFY(writeLocal(localPath("a.bin"), A) && writeLocal(localPath("b.bin"), B));
        const QString destinationHost = upload ? QStringLiteral("site") : QStringLiteral("My Computer");
        const QString destination = upload ? QStringLiteral("/in/") : localDir() + QStringLiteral("got");
        TransferRequest r = upload ? request("My Computer", localDir(), QString(), QString(), preset)
                                   : request("site", "/pub/", QString(), QString(), preset);
        if (preset != 0)
            r.destinationHost = destinationHost, r.destinationDirectory = destination;
        r.files = {FileItem{"a.bin", A.size(), false}, FileItem{"b.bin", B.size(), false}};

        TransferDestinationDialog::start(nullptr, *pool_, r);
        if (preset == 0) {
            auto *dialog = window<TransferDestinationDialog>();
            QVERIFY(dialog);
            auto *hosts = control<QComboBox>(dialog, TransferDestinationDialog::IdHost);
            QCOMPARE(hosts->currentText(), QStringLiteral("My Computer"));
            hosts->setCurrentText(destinationHost);
            QCOMPARE(dialog->firstButton()->text(), QStringLiteral("&This Connection"));
            QCOMPARE(dialog->secondButton()->text(), QStringLiteral("&New Connection"));
            auto *directory = control<QComboBox>(dialog, TransferDestinationDialog::IdDirectory);
            directory->setEditText(destination);
            if (button < 0)
                QTest::keyClick(directory->lineEdit(), Qt::Key_Return);
            else
                click(dialog, button);
        }
        auto *transfer = window<TransferDialog>();
        QVERIFY(transfer);
        QCOMPARE(transfer->stack().totalBytes(), A.size() + B.size());
        QVERIFY(copiesOver());
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        if (upload) {
            QCOMPARE(server_->readFile("in/a.bin"), A);
            QVERIFY(server_->readFile("in/b.bin") == B);
        } else {
            QCOMPARE(readLocal(localPath("got/a.bin")), A);
            QVERIFY(readLocal(localPath("got/b.bin")) == B);
        }
        const QString normalised = upload ? destination : destination + u'/';
        QCOMPARE(Destinations::list(destinationHost), QStringList{normalised});
        QCOMPARE(pool_->connection(ConnectionManager::Browse, 0) != nullptr, kind == 0);
        QVERIFY(windows<FailureListDialog>().isEmpty());
    }

    void foldersCopiedWhole_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("preset");
        QTest::newRow("download") << "site" << "My Computer" << 1;
        QTest::newRow("upload") << "My Computer" << "site" << 2;
        QTest::newRow("host to host, background") << "site" << "other" << 1;
        QTest::newRow("host to host, foreground") << "site" << "other" << 2;
    }

    // A selected folder (walked first when it is on a host) arrives whole: files at every depth,
    // a name the host allows that Windows would not, and a folder without files.
    void foldersCopiedWhole()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, preset);
        FtpServerFixture other;
        QVERIFY2(other.start(), qPrintable(other.errorString()));
        storeTestHost(QStringLiteral("other"), other.port());
        const QStringList tree{"tree/", "tree/.hidden=5", "tree/a:b?.bin=12345", "tree/empty/", "tree/sub/",
                               "tree/sub/deeper/", "tree/sub/deeper/leaf.bin=70001", "tree/sub/inner.bin=5"};
        const auto arrange = [&](const QString &root) {
            return writeLocal(root + "/tree/.hidden", "dot!!") && writeLocal(root + "/tree/a:b?.bin", A)
                   && writeLocal(root + "/tree/sub/deeper/leaf.bin", B) && writeLocal(root + "/tree/sub/inner.bin", "inner")
                   && QDir().mkpath(root + "/tree/empty");
        };
        const QString local = localPath("side");
        QVERIFY(arrange(from == "My Computer" ? local : server_->pathOf("pub")));
        QVERIFY(other.makeDir("in") && server_->makeDir("in") && QDir().mkpath(local));
        const QString sourceDirectory = from == "My Computer" ? localDir() + "side/" : QStringLiteral("/pub/");
        const QString destinationDirectory = to == "My Computer" ? localDir() + "side/" : QStringLiteral("/in/");
        TransferRequest r = request(from, sourceDirectory, to, destinationDirectory, preset);
        r.directories = {"tree"};

        TransferDestinationDialog::start(nullptr, *pool_, r);
        QVERIFY(copiesOver());
        const QString landed = to == "My Computer" ? local : (to == "site" ? server_->pathOf("in") : other.pathOf("in"));
        QTRY_COMPARE_WITH_TIMEOUT(treeOf(landed), tree, Bound); // the empty folder comes last
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QCOMPARE(readLocal(landed + "/tree/sub/deeper/leaf.bin"), B);
    }

    void hostToHostWindow_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<bool>("minimised");
        QTest::newRow("background opens minimised") << 1 << true;
        QTest::newRow("foreground opens in front") << 2 << false;
    }

    // Between hosts the buttons choose the mode; either copies the files whole.
    void hostToHostWindow()
    {
        QFETCH(int, preset);
        QFETCH(bool, minimised);
        FtpServerFixture other;
        QVERIFY2(other.start(), qPrintable(other.errorString()));
        storeTestHost(QStringLiteral("other"), other.port());
        QVERIFY(server_->writeFile("pub/a.bin", A) && server_->writeFile("pub/b.bin", B));
        TransferRequest r = request("site", "/pub/", "other", QString(), 0);
        r.files = {FileItem{"a.bin", A.size(), false}, FileItem{"b.bin", B.size(), false}};
        TransferDestinationDialog::start(nullptr, *pool_, r);
        auto *dialog = window<TransferDestinationDialog>();
        QVERIFY(dialog);
        control<QComboBox>(dialog, TransferDestinationDialog::IdHost)->setCurrentText("other");
        QCOMPARE(dialog->firstButton()->text(), QStringLiteral("&Background Transfer"));
        QCOMPARE(dialog->secondButton()->text(), QStringLiteral("&Foreground Transfer"));
        control<QComboBox>(dialog, TransferDestinationDialog::IdDirectory)->setEditText("/in/new");
        click(dialog, preset == 1 ? TransferDestinationDialog::IdFirst : TransferDestinationDialog::IdSecond);

        auto *copy = window<HostToHostDialog>();
        QVERIFY(copy);
        QCOMPARE(copy->windowTitle(), QStringLiteral("Transferring between site and other"));
        QCOMPARE(copy->isMinimized(), minimised);
        QCOMPARE(copy->transfer().background(), minimised);
        QVERIFY(copiesOver());
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QCOMPARE(other.readFile("in/new/a.bin"), A);
        QVERIFY(other.readFile("in/new/b.bin") == B);
    }

    void localCopiesGoToTheCallback_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("copied");
        QTest::newRow("OK") << 0 << int(TransferDestinationDialog::IdFirst) << true;
        QTest::newRow("the second button is Cancel") << 0 << int(TransferDestinationDialog::IdSecond) << false;
        QTest::newRow("preset 1") << 1 << 0 << true;
        QTest::newRow("preset 2") << 2 << 0 << false;
    }

    // Between local folders the copy is the local worker's: it gets the names and both folders.
    void localCopiesGoToTheCallback()
    {
        QFETCH(int, preset);
        QFETCH(int, button);
        QFETCH(bool, copied);
        TransferRequest r = request("My Computer", "C:/src/", "My Computer", preset ? "C:\\dst" : QString(), preset);
        r.files = {FileItem{"a.bin", 3, false}};
        r.directories = {"tree"};
        QStringList calls;
        r.copyLocally = [&calls](const QStringList &names, const QString &from, const QString &to) {
            calls << names.join(u',') + u'|' + from + u'|' + to;
        };
        TransferDestinationDialog::start(nullptr, *pool_, r);
        if (preset == 0) {
            auto *dialog = window<TransferDestinationDialog>();
            QVERIFY(dialog);
            QCOMPARE(dialog->firstButton()->text(), QStringLiteral("&OK"));
            QCOMPARE(dialog->secondButton()->text(), QStringLiteral("&Cancel"));
            QVERIFY(control<QPushButton>(dialog, TransferDestinationDialog::IdCancel)->isHidden());
            control<QComboBox>(dialog, TransferDestinationDialog::IdDirectory)->setEditText("dst");
            click(dialog, button);
        }
        QCOMPARE(calls, copied ? QStringList{"a.bin,tree|C:/src/|C:/dst/"} : QStringList());
        QCOMPARE(Destinations::list("My Computer"), copied ? QStringList{"C:/dst/"} : QStringList());
    }

    // The walk before a copy shows the directory it lists; Cancel ends it and nothing is fetched.
    void cancelledWalkCopiesNothing()
    {
        QVERIFY(server_->writeFile("pub/tree/a.bin", A) && server_->writeFile("pub/tree/sub/b.bin", B));
        TransferRequest r = request("site", "/pub/", "My Computer", localDir(), 1);
        r.directories = {"tree"};
        TransferDestinationDialog::start(nullptr, *pool_, r);
        auto *walk = window<BuildDialog>();
        QVERIFY(walk);
        QCOMPARE(walk->windowTitle(), QStringLiteral("Building Directory Structure"));
        QCOMPARE(control<QLineEdit>(walk, BuildDialog::IdDirectory)->text(), QStringLiteral("/pub/tree/"));
        click(walk, 2);
        Connection *browse = pool_->connection(ConnectionManager::Browse, 0);
        QVERIFY(browse);
        QVERIFY(copiesOver());
        QTRY_VERIFY_WITH_TIMEOUT(browse->state() == Connection::Idle && browse->queuedCount() == 0, Bound);
        QVERIFY(windows<TransferDialog>().isEmpty());
        QCOMPARE(treeOf(local_->path()), QStringList());
        QVERIFY(!server_->log().contains("RETR"));
    }

    // A copy onto its own folder would overwrite each file with itself while reading it.
    void copyOntoItselfRefused()
    {
        QVERIFY(server_->writeFile("pub/a.bin", A));
        TransferRequest r = request("site", "/pub/", "site", "/pub/", 1);
        r.files = {FileItem{"a.bin", A.size(), false}};
        TransferDestinationDialog::start(nullptr, *pool_, r);
        QVERIFY(windows<HostToHostDialog>().isEmpty());
        QVERIFY2(prompt_.contains("File Transfer", "the same folder"), qPrintable(prompt_.dump()));
        QCOMPARE(server_->readFile("pub/a.bin"), A);
    }

    void fileExists_data()
    {
        const QByteArray remote = patternBytes(5000, 3);
        QTest::addColumn<QByteArray>("local");
        QTest::addColumn<int>("answer"); // the button pressed; 0 closes the question
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<qint64>("fetched"); // bytes the stack counts; -1: no transfer at all
        QTest::addColumn<QString>("message");
        QTest::newRow("replace") << QByteArray("old") << 101 << remote << qint64(5000) << QString();
        QTest::newRow("continue an interrupted download")
            << remote.left(2000) << 102 << remote << qint64(3000) << QString();
        QTest::newRow("continue a complete file") << remote << 102 << remote << qint64(-1) << "is already complete";
        QTest::newRow("continue a larger file")
            << remote + "more" << 102 << remote + "more" << qint64(-1) << "is larger than the file on the host";
        QTest::newRow("skip") << QByteArray("old") << 104 << QByteArray("old") << qint64(-1) << QString();
        QTest::newRow("close the question") << QByteArray("old") << 0 << QByteArray("old") << qint64(-1) << QString();
    }

    // A download onto a local file that is there already asks first; an interrupted one goes on
    // from the local file's end (REST), and one that cannot go on says why and leaves it alone.
    void fileExists()
    {
        QFETCH(QByteArray, local);
        QFETCH(int, answer);
        QFETCH(QByteArray, expected);
        QFETCH(qint64, fetched);
        QFETCH(QString, message);
        QVERIFY(server_->writeFile("pub/a.bin", patternBytes(5000, 3)));
        QVERIFY(writeLocal(localPath("a.bin"), local));
        answers_.answers.enqueue(answer);

        TransferDialog *transfer = startDownload({"a.bin"});
        QCOMPARE(answers_.texts, QStringList{localDir() + "a.bin Exists."});
        QCOMPARE(transfer ? transfer->stack().totalBytes() : -1, fetched);
        QVERIFY(copiesOver());
        QCOMPARE(readLocal(localPath("a.bin")), expected);
        QCOMPARE(server_->log().contains("REST 2000"), fetched == 3000);
        if (message.isEmpty())
            QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        else
            QVERIFY2(prompt_.contains("File Exists", message), qPrintable(prompt_.dump()));
    }

    void skipAndClose_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("skip the running file") << "skip";
        QTest::newRow("close the running transfer") << "close";
    }

    // Pressed as soon as the large file's first bytes are counted: Skip drops that file and goes
    // on with the next, whose window lists the skipped one at the end; Close ends the transfer
    // and its connection, and nothing more is fetched.
    void skipAndClose()
    {
        QFETCH(QString, action);
        const QByteArray big = patternBytes(32 * 1024 * 1024, 4);
        QVERIFY(server_->writeFile("pub/big.bin", big) && server_->writeFile("pub/small.bin", A));
        TransferDialog *transfer = startDownload({"big.bin", "small.bin"});
        QVERIFY(transfer);
        bool pressed = false;
        connect(&transfer->stack(), &TransferStack::changed, transfer, [&, transfer] {
            if (pressed || transfer->stack().fileDone() == 0)
                return;
            pressed = true;
            QTimer::singleShot(0, transfer, action == "skip" ? &TransferDialog::skipFile : &TransferDialog::closeConnection);
        });
        QVERIFY(copiesOver());
        QVERIFY(pressed);
        QVERIFY(QFileInfo(localPath("big.bin")).size() < big.size());
        if (action == "skip") {
            QCOMPARE(readLocal(localPath("small.bin")), A);
            auto *failures = window<FailureListDialog>();
            QVERIFY(failures);
            QCOMPARE(failures->failures(), QStringList{"/pub/big.bin: Skipped"});
        } else {
            QVERIFY(!QFileInfo::exists(localPath("small.bin")));
            QVERIFY(windows<FailureListDialog>().isEmpty());
            QCOMPARE(pool_->connection(ConnectionManager::Browse, 0), nullptr);
        }
    }

    // Closing a transfer that still waits for its connection takes it out of the queue; the
    // transfers queued with it on the same connection still run.
    void closeWaitingTransfer()
    {
        QVERIFY(server_->writeFile("pub/a.bin", A) && server_->writeFile("pub/b.bin", B)
                && server_->writeFile("pub/c.bin", "c"));
        TransferDialog *first = startDownload({"a.bin"});
        TransferDialog *waiting = startDownload({"b.bin"});
        TransferDialog *third = startDownload({"c.bin"});
        QVERIFY(first && waiting && third);
        QVERIFY(!waiting->stack().started());
        QCOMPARE(control<QLabel>(waiting, TransferDialog::IdStatus)->text(),
                 QStringLiteral("Waiting for Connection to Become Available"));
        click(waiting, TransferDialog::IdClose);
        QVERIFY(copiesOver());
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QCOMPARE(readLocal(localPath("a.bin")), A);
        QCOMPARE(readLocal(localPath("c.bin")), QByteArray("c"));
        QVERIFY(!QFileInfo::exists(localPath("b.bin")));
        QVERIFY(!server_->log().contains("RETR b.bin"));
    }
};

QTEST_MAIN(TestTransferWindows)
#include "tst_transferwindows.moc"
