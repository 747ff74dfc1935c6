// The transfer stack record: reading its lines, the progress arithmetic against a controlled
// clock, the stack total after short files, and the per-file outcomes.

#include "pool/TransferStack.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <limits>

namespace {

// A stack with a clock the test sets by hand.
struct Fixture
{
    TransferStack stack;
    qint64 now = 0;

    Fixture()
    {
        stack.setClock([this] { return now; });
    }

    TransferFile take()
    {
        TransferFile file;
        if (!stack.NextFile(file))
            qFatal("the stack yielded no file");
        return file;
    }

    // Starts the next file at the given time.
    void startNext(qint64 at)
    {
        take();
        now = at;
        stack.RequestSent();
    }

    // Two blocks: one display update.
    void moveBlocks(qint64 at, qint64 first, qint64 second)
    {
        now = at;
        stack.BytesTransferred(first);
        stack.BytesTransferred(second);
    }
};

QString downloadLine(const QString &name, qint64 size)
{
    return QStringLiteral("/pub/%1 -> C:/dl/%1 (%2)").arg(name).arg(size);
}

} // namespace

class TestTransferStack : public QObject
{
    Q_OBJECT
private slots:
    void readsLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("download");
        QTest::addColumn<bool>("binary");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<QString>("shownName");

        QTest::newRow("download")
            << "/pub/readme -> C:/dl/readme (1200)" << "/pub/readme" << "C:/dl/readme" << true << true
            << qint64(1200) << qint64(0) << "1200" << "readme";
        QTest::newRow("upload")
            << "/in/site.tar <- C:/work/site.tar (77)" << "/in/site.tar" << "C:/work/site.tar" << false
            << true << qint64(77) << qint64(0) << "77" << "site.tar";
        QTest::newRow("text mode")
            << "/pub/notes.txt -> C:/dl/notes.txt (10) ASCII" << "/pub/notes.txt" << "C:/dl/notes.txt"
            << true << false << qint64(10) << qint64(0) << "10" << "notes.txt";
        QTest::newRow("text mode on an upload")
            << "/in/a.txt <- C:/a.txt (3) ASCII" << "/in/a.txt" << "C:/a.txt" << false << false
            << qint64(3) << qint64(0) << "3" << "a.txt";
        QTest::newRow("unknown mode text is binary")
            << "/pub/x -> C:/dl/x (3) EBCDIC" << "/pub/x" << "C:/dl/x" << true << true << qint64(3)
            << qint64(0) << "3" << "x";
        QTest::newRow("resumed download")
            << "/pub/big.iso -> C:/dl/big.iso (5000 -R 3000)" << "/pub/big.iso" << "C:/dl/big.iso"
            << true << true << qint64(5000) << qint64(3000) << "5000" << "big.iso";
        QTest::newRow("thousands separators")
            << "/pub/a -> C:/dl/a (1,234,567)" << "/pub/a" << "C:/dl/a" << true << true
            << qint64(1234567) << qint64(0) << "1,234,567" << "a";
        QTest::newRow("separators in a resumed entry")
            << "/pub/a -> C:/dl/a (1,000 -R 2,000) ASCII" << "/pub/a" << "C:/dl/a" << true << false
            << qint64(1000) << qint64(2000) << "1,000" << "a";
        QTest::newRow("over 4 GiB")
            << "/pub/disk.img -> C:/dl/disk.img (6442450944)" << "/pub/disk.img" << "C:/dl/disk.img"
            << true << true << qint64(6442450944) << qint64(0) << "6442450944" << "disk.img";
        QTest::newRow("resumed at an offset over 4 GiB")
            << "/pub/disk.img -> C:/dl/disk.img (1000000000 -R 5000000000)" << "/pub/disk.img"
            << "C:/dl/disk.img" << true << true << qint64(1000000000) << qint64(5000000000)
            << "1000000000" << "disk.img";
        QTest::newRow("an upload never resumes")
            << "/in/a <- C:/a (50 -R 20)" << "/in/a" << "C:/a" << false << true << qint64(50)
            << qint64(0) << "50" << "a";
        QTest::newRow("parentheses in the names")
            << "/pub/report (1).txt -> C:/dl/report (1).txt (500)" << "/pub/report (1).txt"
            << "C:/dl/report (1).txt" << true << true << qint64(500) << qint64(0) << "500"
            << "report (1).txt";
        QTest::newRow("angle brackets in a remote name")
            << "/pub/a>b<c -> C:/dl/a_b_c (9)" << "/pub/a>b<c" << "C:/dl/a_b_c" << true << true
            << qint64(9) << qint64(0) << "9" << "a>b<c";
        QTest::newRow("arrow text in a downloaded name")
            << "/pub/x -> y -> C:/dl/x -_ y (4)" << "/pub/x -> y" << "C:/dl/x -_ y" << true << true
            << qint64(4) << qint64(0) << "4" << "x -> y";
        QTest::newRow("bracket in an uploaded local name")
            << "/in/x>y <- C:/up/x>y (7)" << "/in/x>y" << "C:/up/x>y" << false << true << qint64(7)
            << qint64(0) << "7" << "x>y";
        QTest::newRow("arrow text in an uploaded name")
            << "/in/p <- q <- C:/up/p <- q (8)" << "/in/p <- q" << "C:/up/p <- q" << false << true
            << qint64(8) << qint64(0) << "8" << "p <- q";
        QTest::newRow("download arrow text in an uploaded name")
            << "/in/p -> q <- C:/up/p -> q (8)" << "/in/p -> q" << "C:/up/p -> q" << false << true
            << qint64(8) << qint64(0) << "8" << "p -> q";
        QTest::newRow("uploaded name that is an arrow")
            << "/in/ ->  <- C:/up/ ->  (5)" << "/in/ -> " << "C:/up/ -> " << false << true << qint64(5)
            << qint64(0) << "5" << " -> ";
        QTest::newRow("host folder ending in the local name and an arrow")
            << "/a_b -> /q/a<b -> C:/dl/a_b (5)" << "/a_b -> /q/a<b" << "C:/dl/a_b" << true << true
            << qint64(5) << qint64(0) << "5" << "a<b";
        QTest::newRow("host folder holding an upload arrow")
            << "/a_b <- /q/a<b -> C:/dl/a_b (5)" << "/a_b <- /q/a<b" << "C:/dl/a_b" << true << true
            << qint64(5) << qint64(0) << "5" << "a<b";
        QTest::newRow("native local path")
            << "/pub/a -> b -> /home/u/dl/a -_ b (5)" << "/pub/a -> b" << "/home/u/dl/a -_ b" << true << true
            << qint64(5) << qint64(0) << "5" << "a -> b";
        QTest::newRow("unreadable size counts zero")
            << "/pub/a -> C:/dl/a (unknown)" << "/pub/a" << "C:/dl/a" << true << true << qint64(0)
            << qint64(0) << "unknown" << "a";
        QTest::newRow("size beyond 64 bits stays at the largest")
            << "/pub/a -> C:/dl/a (99999999999999999999999)" << "/pub/a" << "C:/dl/a" << true << true
            << std::numeric_limits<qint64>::max() << qint64(0) << "99999999999999999999999" << "a";
    }

    // Each line as the connection receives it and as the record shows it.
    void readsLine()
    {
        QFETCH(QString, line);
        Fixture f;
        f.stack.addEntry(line);
        QFETCH(qint64, size);
        QCOMPARE(f.stack.totalBytes(), size);

        TransferFile file;
        QVERIFY(f.stack.NextFile(file));
        QTEST(file.remotePath, "remote");
        QTEST(file.localPath, "local");
        QTEST(file.retrieve, "download");
        QTEST(file.binary, "binary");
        QCOMPARE(file.size, size);
        QTEST(file.restartOffset, "offset");
        QTEST(f.stack.direction(), "download");
        QCOMPARE(f.stack.fileSize(), size);
        QTEST(f.stack.sizeText(), "sizeText");
        QTEST(f.stack.currentFile(), "shownName");
        QVERIFY(f.stack.lastTaken());
        QVERIFY(f.stack.remainingLines().isEmpty());
    }

    void dropsMalformedLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("no arrow") << "/pub/a C:/dl/a (5)";
        QTest::newRow("arrow without blanks") << "/pub/a->C:/dl/a (5)";
        QTest::newRow("no size part") << "/pub/a -> C:/dl/a";
        QTest::newRow("size part not closed") << "/pub/a -> C:/dl/a (5";
        QTest::newRow("size part reversed") << "/pub/a -> C:/dl/a )5(";
        QTest::newRow("arrow only in the size part") << "/pub/a C:/dl/a ( -> 5)";
        QTest::newRow("no remote path") << " -> C:/dl/a (5)";
        QTest::newRow("no local path") << "/pub/a ->  (5)";
        QTest::newRow("bare arrow") << " -> ";
        QTest::newRow("single bracket") << ">";
        QTest::newRow("single parenthesis") << "(";
        QTest::newRow("size at the start") << "(5) -> x";
    }

    // An unreadable line leaves the stack with no entry, counted as a failed file; the lines after
    // it stay listed.
    void dropsMalformedLine()
    {
        QFETCH(QString, line);
        Fixture f;
        f.stack.addEntry(line);
        f.stack.addEntry(downloadLine("next", 5));
        QVERIFY(!f.stack.hasMoreFiles());
        TransferFile file;
        QVERIFY(!f.stack.NextFile(file));
        QCOMPARE(f.stack.remainingLines(), QStringList{downloadLine("next", 5)});
        QCOMPARE(f.stack.filesFailed(), 1);
        QCOMPARE(f.stack.failures().size(), 1);
        QVERIFY(f.stack.failures().first().startsWith(line));
    }

    // Every cut and every character dropped from valid lines either reads or is dropped, within
    // bounds, and an entry that reads keeps both paths.
    void survivesNoise()
    {
        const QStringList samples{
            "/pub/a (1)>b -> C:/dl/a (1)_b (1,234 -R 99) ASCII",
            "/in/x>y <- z <- C:/up/x>y <- z (5000000000)",
        };
        QStringList lines;
        for (const QString &sample : samples) {
            for (qsizetype i = 0; i <= sample.size(); ++i) {
                lines << sample.left(i) << sample.mid(i);
                lines << QString(sample).remove(i, 1);
            }
        }
        QRandomGenerator random(1234);
        const QString alphabet = QStringLiteral("<>()-R ,/aA19");
        for (int n = 0; n < 2000; ++n) {
            QString noise;
            for (int i = random.bounded(24); i > 0; --i)
                noise += alphabet[random.bounded(int(alphabet.size()))];
            lines << noise;
        }
        for (const QString &line : lines) {
            Fixture f;
            f.stack.addEntry(line);
            TransferFile file;
            if (f.stack.NextFile(file)) {
                QVERIFY2(!file.remotePath.isEmpty() && !file.localPath.isEmpty(), qPrintable(line));
                QVERIFY(file.size >= 0 && file.restartOffset >= 0);
            }
            QVERIFY(!f.stack.NextFile(file));
        }
    }

    // Lines are taken from the top in the order added; the record is started by the first take.
    void takesLinesInOrder()
    {
        Fixture f;
        QVERIFY(!f.stack.started());
        f.stack.addEntry(downloadLine("one", 1));
        f.stack.addEntry(QString());
        f.stack.addEntry(downloadLine("two", 2));
        QCOMPARE(f.stack.remainingLines().size(), 2);
        QCOMPARE(f.stack.totalBytes(), qint64(3));

        QCOMPARE(f.take().remotePath, QStringLiteral("/pub/one"));
        QVERIFY(f.stack.started());
        QVERIFY(!f.stack.lastTaken());
        QVERIFY(f.stack.hasMoreFiles());
        QCOMPARE(f.take().remotePath, QStringLiteral("/pub/two"));
        QVERIFY(f.stack.lastTaken());
        QVERIFY(!f.stack.hasMoreFiles());
        TransferFile file;
        QVERIFY(!f.stack.NextFile(file));
    }

    // Sizes as large as a line may claim add up to the largest total, never wrap below zero (the
    // sanitizer build fails on the overflow itself).
    void hugeSizesSaturate()
    {
        Fixture f;
        f.stack.addEntry(downloadLine("one", std::numeric_limits<qint64>::max()));
        f.stack.addEntry(downloadLine("two", std::numeric_limits<qint64>::max()));
        QCOMPARE(f.stack.totalBytes(), std::numeric_limits<qint64>::max());
        f.take();
        f.take(); // the first file settles: its missing bytes leave the total
        QVERIFY(f.stack.totalBytes() >= 0);
    }

    void mapsLocalPath()
    {
        Fixture f;
        f.stack.setLocalPathMapper([](const QString &path) { return "/home/u/" + path.mid(3); });
        f.stack.addEntry("/pub/a -> C:/dl/a (1)");
        QCOMPARE(f.take().localPath, QStringLiteral("/home/u/dl/a"));
    }

    void progress_data()
    {
        QTest::addColumn<qint64>("fileSize");
        QTest::addColumn<qint64>("otherSize");
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("second");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("fileLeft");
        QTest::addColumn<QString>("stackLeft");

        // The stack holds the file and one other; the file started at 100.
        QTest::newRow("half way") << qint64(1000) << qint64(3000) << qint64(10) << qint64(250)
                                  << qint64(250) << 50 << "00:00:10" << "00:01:10";
        QTest::newRow("truncated") << qint64(1000) << qint64(3000) << qint64(10) << qint64(333)
                                   << qint64(0) << 33 << "00:00:20" << "00:01:50";
        QTest::newRow("hours, minutes, seconds") << qint64(1000) << qint64(3000) << qint64(3661)
                                                 << qint64(250) << qint64(250) << 50 << "01:01:01"
                                                 << "07:07:07";
        QTest::newRow("more than 99 hours") << qint64(1000) << qint64(0) << qint64(3600) << qint64(1)
                                            << qint64(1) << 0 << "499:00:00" << "499:00:00";
        QTest::newRow("done") << qint64(1000) << qint64(3000) << qint64(10) << qint64(500)
                              << qint64(500) << 100 << "00:00:00" << "00:00:30";
        QTest::newRow("more than listed") << qint64(1000) << qint64(3000) << qint64(10)
                                          << qint64(600) << qint64(600) << 100 << "00:00:00"
                                          << "00:00:23";
        QTest::newRow("whole stack passed") << qint64(1000) << qint64(0) << qint64(10) << qint64(600)
                                            << qint64(600) << 100 << "00:00:00" << "00:00:00";
        QTest::newRow("nothing counted yet") << qint64(1000) << qint64(3000) << qint64(10)
                                             << qint64(0) << qint64(0) << 0 << "00:00:00"
                                             << "00:00:00";
        QTest::newRow("no time passed") << qint64(1000) << qint64(3000) << qint64(0) << qint64(250)
                                        << qint64(250) << 50 << "00:00:00" << "00:00:00";
        QTest::newRow("empty file") << qint64(0) << qint64(3000) << qint64(10) << qint64(0)
                                    << qint64(0) << 100 << "00:00:00" << "00:00:00";
        QTest::newRow("over 4 GiB") << qint64(6442450944) << qint64(2147483648) << qint64(100)
                                    << qint64(1610612736) << qint64(1610612736) << 50 << "00:01:40"
                                    << "00:02:46";
        QTest::newRow("one byte short of 2^60")
            << (qint64(1) << 60) << qint64(0) << qint64(10) << (qint64(1) << 59)
            << (qint64(1) << 59) - 1 << 99 << "00:00:00" << "00:00:00";
    }

    void progress()
    {
        QFETCH(qint64, fileSize);
        QFETCH(qint64, otherSize);
        QFETCH(qint64, elapsed);
        QFETCH(qint64, first);
        QFETCH(qint64, second);
        QFETCH(int, percent);
        Fixture f;
        f.stack.addEntry(downloadLine("file", fileSize));
        if (otherSize > 0)
            f.stack.addEntry(downloadLine("other", otherSize));
        f.startNext(100);
        QSignalSpy changed(&f.stack, &TransferStack::changed);
        f.moveBlocks(100 + elapsed, first, second);

        QCOMPARE(changed.size(), 1);
        QCOMPARE(f.stack.filePercent(), percent);
        QTEST(f.stack.fileRemaining(), "fileLeft");
        QTEST(f.stack.stackRemaining(), "stackLeft");
        QCOMPARE(f.stack.status(), QStringLiteral("Transferred %1 bytes. %2% Complete.")
                                       .arg(first + second)
                                       .arg(percent));
    }

    // The counts grow with every block; what is shown changes with every second one.
    void displayEverySecondBlock()
    {
        Fixture f;
        f.stack.addEntry(downloadLine("file", 1000));
        f.startNext(0);
        f.stack.setStatus("Transferring File");
        f.now = 10;
        const qint64 blocks[] = {100, 100, 100, 100};
        const int shown[] = {0, 20, 20, 40};
        for (int i = 0; i < 4; ++i) {
            f.stack.BytesTransferred(blocks[i]);
            QCOMPARE(f.stack.fileDone(), 100 * (i + 1));
            QCOMPARE(f.stack.filePercent(), shown[i]);
        }
        f.stack.BytesTransferred(100);
        QCOMPARE(f.stack.status(), QStringLiteral("Transferred 400 bytes. 40% Complete."));
    }

    // The stack clock starts with the first file only, even when that is at clock time 0, and the
    // stack's counts carry on across files.
    void stackTimingSpansFiles()
    {
        Fixture f;
        f.stack.addEntry(downloadLine("a", 1000));
        f.stack.addEntry(downloadLine("b", 3000));
        f.startNext(0);
        f.moveBlocks(10, 500, 500);
        f.stack.fileEnded(true, QString());
        f.startNext(10);
        f.moveBlocks(30, 750, 750);

        QCOMPARE(f.stack.totalDone(), qint64(2500));
        QCOMPARE(f.stack.fileDone(), qint64(1500));
        QCOMPARE(f.stack.fileRemaining(), QStringLiteral("00:00:20"));
        QCOMPARE(f.stack.stackRemaining(), QStringLiteral("00:00:18"));
        QCOMPARE(f.stack.filePercent(), 50);
    }

    void settlesTotalAfterFile_data()
    {
        QTest::addColumn<bool>("started");
        QTest::addColumn<qint64>("moved");
        QTest::addColumn<qint64>("total");
        QTest::newRow("skipped after 400 bytes") << true << qint64(400) << qint64(2400);
        QTest::newRow("complete") << true << qint64(1000) << qint64(3000);
        QTest::newRow("longer than listed") << true << qint64(1200) << qint64(3200);
        QTest::newRow("failed before any data") << false << qint64(0) << qint64(2000);
    }

    // Taking the next file makes the total count what the last one really moved.
    void settlesTotalAfterFile()
    {
        QFETCH(bool, started);
        QFETCH(qint64, moved);
        Fixture f;
        f.stack.addEntry(downloadLine("a", 1000));
        f.stack.addEntry(downloadLine("b", 2000));
        f.take();
        if (started) {
            f.stack.RequestSent();
            f.moveBlocks(5, moved / 2, moved - moved / 2);
        }
        QCOMPARE(f.stack.totalBytes(), qint64(3000));
        f.take();
        QTEST(f.stack.totalBytes(), "total");
        QCOMPARE(f.stack.fileDone(), qint64(0));
        QCOMPARE(f.stack.fileSize(), qint64(2000));
    }

    // A skip keeps the remaining-time estimate consistent with the smaller total.
    void skipKeepsStackEstimate()
    {
        Fixture f;
        f.stack.addEntry(downloadLine("a", 1000));
        f.stack.addEntry(downloadLine("b", 2000));
        f.startNext(0);
        f.moveBlocks(4, 200, 200);
        f.stack.fileEnded(false, "Skipped");
        f.startNext(4);
        f.moveBlocks(12, 400, 400);
        // 1200 of 2400 in 12 seconds: 12 more to go (without the skip's correction: 18).
        QCOMPARE(f.stack.stackRemaining(), QStringLiteral("00:00:12"));
    }

    void recordsOutcomes()
    {
        Fixture f;
        QCOMPARE(f.stack.status(), QStringLiteral("Waiting for Connection to Become Available"));
        QCOMPARE(f.stack.connection(), nullptr);
        QSignalSpy finished(&f.stack, &TransferStack::fileFinished);
        QSignalSpy ended(&f.stack, &TransferStack::ended);
        f.stack.addEntry(downloadLine("a", 1));
        f.stack.addEntry(downloadLine("b", 2));
        f.stack.addEntry(downloadLine("c", 3));

        f.take();
        f.stack.fileEnded(true, QString());
        f.take();
        f.stack.fileEnded(false, "Permission Denied");
        f.stack.fileEnded(false, "Permission Denied"); // reported twice, counted once
        f.take();
        f.stack.fileEnded(true, QString());
        f.stack.operationEnded();

        QCOMPARE(f.stack.filesCompleted(), 2);
        QCOMPARE(f.stack.filesFailed(), 1);
        QCOMPARE(f.stack.failures(), QStringList{"/pub/b: Permission Denied"});
        QCOMPARE(finished.size(), 3);
        QCOMPARE(finished.at(1), (QVariantList{"/pub/b", false, "Permission Denied"}));
        QCOMPARE(ended.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTransferStack)
#include "tst_transferstack.moc"
