// The delete record: entries taken from the end so that a tree goes innermost first, the
// current name, cancelling, and the per-entry outcomes.

#include "pool/DeleteList.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Takes every entry; each as "D:path:name" for a directory or "F:path:name" for a file.
QStringList drain(DeleteList &list)
{
    QStringList taken;
    QString path;
    bool directory = false;
    while (list.NextEntry(path, directory))
        taken << (directory ? "D:" : "F:") + path + ":" + list.currentName();
    return taken;
}

} // namespace

class TestDeleteList : public QObject
{
    Q_OBJECT
private slots:
    void takesFromEnd_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("taken");

        QTest::newRow("tree in walk order")
            << QStringList{"DIR: /a", "/a/f", "DIR: /a/b", "/a/b/g"}
            << QStringList{"F:/a/b/g:g", "D:/a/b:b", "F:/a/f:f", "D:/a:a"};
        QTest::newRow("selected files and a directory")
            << QStringList{"DIR: /pub/old", "/pub/x.txt", "/pub/old/y"}
            << QStringList{"F:/pub/old/y:y", "F:/pub/x.txt:x.txt", "D:/pub/old:old"};
        QTest::newRow("path without a slash") << QStringList{"name"} << QStringList{"F:name:name"};
        QTest::newRow("directory with a trailing slash")
            << QStringList{"DIR: /pub/sub/"} << QStringList{"D:/pub/sub:sub"};
        QTest::newRow("prefix without its blank is a file name")
            << QStringList{"DIR:/x"} << QStringList{"F:DIR:/x:x"};
        QTest::newRow("lines naming nothing are passed over")
            << QStringList{"/a", "", "DIR: ", "DIR: /"} << QStringList{"F:/a:a"};
        QTest::newRow("empty") << QStringList{} << QStringList{};
    }

    void takesFromEnd()
    {
        QFETCH(QStringList, lines);
        DeleteList list("host", "/cache/00100001.FTC");
        for (const QString &line : lines)
            list.addLine(line);
        QTEST(drain(list), "taken");
        QVERIFY(list.remainingLines().isEmpty());
    }

    // A cancelled record yields nothing more and keeps what it had not reached.
    void cancelStops()
    {
        DeleteList list("host", QString());
        for (const char *line : {"DIR: /a", "/a/1", "/a/2"})
            list.addLine(line);
        QString path;
        bool directory = false;
        QVERIFY(list.NextEntry(path, directory));
        QCOMPARE(path, QStringLiteral("/a/2"));
        QVERIFY(!list.cancelled());
        list.cancel();
        QVERIFY(list.cancelled());
        QVERIFY(!list.NextEntry(path, directory));
        QCOMPARE(list.remainingLines(), (QStringList{"DIR: /a", "/a/1"}));

        DeleteList before("host", QString());
        before.addLine("/x");
        before.cancel();
        QVERIFY(!before.NextEntry(path, directory));
    }

    void recordsOutcomes()
    {
        DeleteList list("ftp.example.org", "/cache/00100001.FTC");
        QCOMPARE(list.status(), QStringLiteral("Waiting for Connection to Become Available"));
        QCOMPARE(list.host(), QStringLiteral("ftp.example.org"));
        QCOMPARE(list.cacheFilePath(), QStringLiteral("/cache/00100001.FTC"));
        QSignalSpy finished(&list, &DeleteList::entryFinished);
        QSignalSpy ended(&list, &DeleteList::ended);
        list.addLine("DIR: /d");
        list.addLine("/d/locked");
        list.addLine("/d/f");

        QString path;
        bool directory = false;
        list.NextEntry(path, directory);
        list.entryEnded(true, QString());
        list.NextEntry(path, directory);
        list.setStatus("Deleting");
        list.entryEnded(false, "550 Permission denied");
        list.entryEnded(false, "550 Permission denied"); // reported twice, counted once
        list.NextEntry(path, directory);
        QCOMPARE(list.currentName(), QStringLiteral("d"));
        list.entryEnded(true, QString());
        list.operationEnded();

        QCOMPARE(list.status(), QStringLiteral("Deleting"));
        QCOMPARE(list.entriesDeleted(), 2);
        QCOMPARE(list.entriesFailed(), 1);
        QCOMPARE(list.failures(), QStringList{"/d/locked: 550 Permission denied"});
        QCOMPARE(finished.size(), 3);
        QCOMPARE(finished.at(1), (QVariantList{"/d/locked", false, "550 Permission denied"}));
        QCOMPARE(ended.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDeleteList)
#include "tst_deletelist.moc"
