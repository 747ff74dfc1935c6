// The windows of the other operations on a host, against a real FTP server: a delete of folders,
// files and a link through ConfirmDeleteDialog, a rename, a directory creation (and one that
// finds no connection), and progress drawn at most ten times a second.

#include "DialogTest.h"

#include "dialogs/BuildDialog.h"
#include "dialogs/ConfirmDeleteDialog.h"
#include "dialogs/CreateDirectoryDialog.h"
#include "dialogs/DeleteDialog.h"
#include "dialogs/RedrawTimer.h"
#include "dialogs/RenameDialog.h"
#include "dialogs/TransferDialog.h"
#include "pool/TransferPlan.h"
#include "pool/TransferStack.h"

#include <QLineEdit>

class TestOperationWindows : public DialogTest
{
    Q_OBJECT

    bool gone()
    {
        return QTest::qWaitFor([] {
            return windows<ConfirmDeleteDialog>().isEmpty() && windows<BuildDialog>().isEmpty()
                   && windows<DeleteDialog>().isEmpty() && windows<RenameDialog>().isEmpty()
                   && windows<CreateDirectoryDialog>().isEmpty();
        }, Bound);
    }

private slots:
    void initTestCase() { QVERIFY2(env_.setUp(), qPrintable(env_.errorString())); }
    void init() { QVERIFY(setUpDialogs()); }
    void cleanup() { tearDownDialogs(); }

    void deleteTree_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("This Connection") << int(ConfirmDeleteDialog::IdThisConnection);
        QTest::newRow("New Connection") << int(ConfirmDeleteDialog::IdNewConnection);
    }

    // Two folders (one named like a size part), a file and a link to a folder elsewhere: the
    // trees go, each folder after its contents; the link goes as itself and what it leads to stays.
    void deleteTree()
    {
        QFETCH(int, button);
        for (const char *file : {"del/x.bin", "del/tree/a.bin", "del/tree/sub/b.bin", "del/tree/sub/deeper/c.bin",
                                 "del/old (1)/f.bin", "keep/k.bin", "del/stay.bin"})
            QVERIFY(server_->writeFile(file, "data"));
        QVERIFY(server_->makeDir("del/tree/empty"));
        QVERIFY(QFile::link(server_->pathOf("keep"), server_->pathOf("del/lnk")));

        ConfirmDeleteDialog::start(nullptr, *pool_, "site", "/del/", {"x.bin"}, {"tree", "lnk", "old (1)"});
        auto *confirm = window<ConfirmDeleteDialog>();
        QVERIFY(confirm);
        QCOMPARE(confirm->windowTitle(), QStringLiteral("Deleting"));
        QCOMPARE(control<QLabel>(confirm, ConfirmDeleteDialog::IdText)->text(),
                 QStringLiteral("Deleting 4 files in directory /del/ on host site."));
        click(confirm, button);
        QVERIFY(gone());
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QCOMPARE(treeOf(server_->pathOf("del")), QStringList{"stay.bin=4"});
        QCOMPARE(treeOf(server_->pathOf("keep")), QStringList{"k.bin=4"});
        QCOMPARE(server_->log().count("RMD "), 5);
    }

    // A name the host no longer lists is left alone and said so; the rest still goes.
    void deleteOfVanishedFolder()
    {
        QVERIFY(server_->writeFile("del/tree/a.bin", "data") && server_->writeFile("del/x.bin", "data"));
        ConfirmDeleteDialog::start(nullptr, *pool_, "site", "/del/", {"x.bin"}, {"tree", "gone"});
        click(window<ConfirmDeleteDialog>(), ConfirmDeleteDialog::IdThisConnection);
        QVERIFY(gone());
        QCOMPARE(treeOf(server_->pathOf("del")), QStringList());
        QCOMPARE(prompt_.count(), 1);
        QVERIFY2(prompt_.contains("Couldn't Delete File", "/del/gone"), qPrintable(prompt_.dump()));
    }

    void renameAndCreate_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("expected"); // /pub afterwards
        QTest::newRow("rename") << "rename" << QStringList{"new name.txt=4"};
        QTest::newRow("create directory") << "create" << QStringList{"made/", "old.txt=4"};
    }

    // Each window shows what it does, waits for its connection, and goes when the host has done it.
    void renameAndCreate()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, expected);
        QVERIFY(server_->writeFile("pub/old.txt", "data"));
        QWidget *dialog = nullptr;
        if (operation == "rename") {
            dialog = RenameDialog::start(nullptr, *pool_, "site", "/pub/", "old.txt", "new name.txt");
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Renaming File"));
            QCOMPARE(control<QLineEdit>(dialog, RenameDialog::IdFrom)->text(), QStringLiteral("old.txt"));
            QCOMPARE(control<QLineEdit>(dialog, RenameDialog::IdTo)->text(), QStringLiteral("new name.txt"));
            QCOMPARE(control<QLineEdit>(dialog, RenameDialog::IdHost)->text(), QStringLiteral("site"));
            QCOMPARE(control<QLineEdit>(dialog, RenameDialog::IdPath)->text(), QStringLiteral("/pub/"));
        } else {
            dialog = CreateDirectoryDialog::start(nullptr, *pool_, "site", "/pub/made");
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Creating Directory"));
            QCOMPARE(control<QLineEdit>(dialog, CreateDirectoryDialog::IdPath)->text(), QStringLiteral("/pub/made"));
        }
        const int status = operation == "rename" ? int(RenameDialog::IdStatus) : int(CreateDirectoryDialog::IdStatus);
        QCOMPARE(control<QLabel>(dialog, status)->text(), QStringLiteral("Waiting for Connection to Become Available"));
        QVERIFY(gone());
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
        QCOMPARE(treeOf(server_->pathOf("pub")), expected);
    }

    // Without a connection the window waits until it is cancelled; then it goes and nothing is
    // left queued anywhere.
    void createWithoutConnection()
    {
        CreateDirectoryDialog *dialog = CreateDirectoryDialog::start(nullptr, *pool_, "nohost", "/pub/made");
        QVERIFY(dialog->isVisible());
        QCOMPARE(control<QLabel>(dialog, CreateDirectoryDialog::IdStatus)->text(),
                 QStringLiteral("Waiting for Connection to Become Available"));
        click(dialog, 2);
        QVERIFY(gone());
    }

    // However fast a transfer counts its blocks, its window is drawn at most once at once and
    // once more when the interval ends, never per block; the last count is the one shown.
    void progressDrawnAtMostTenTimesASecond()
    {
        TransferDialog dialog(nullptr, "site");
        dialog.stack().addEntry(DownloadLine("/pub/big.bin", localDir() + "big.bin", 100000000, false));
        TransferFile file;
        QVERIFY(dialog.stack().NextFile(file));
        dialog.stack().RequestSent();
        const int before = dialog.redraws();
        for (int block = 0; block < 20000; ++block)
            dialog.stack().BytesTransferred(4096);
        QVERIFY(dialog.redraws() - before <= 1);
        QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(&dialog, TransferDialog::IdStatus)->text(),
                                  QStringLiteral("Transferred 81920000 bytes. 81% Complete."), Bound);
        QVERIFY(dialog.redraws() - before <= 2);
    }
};

QTEST_MAIN(TestOperationWindows)
#include "tst_operationwindows.moc"
