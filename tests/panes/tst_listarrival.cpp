// A long listing arriving from a real pyftpdlib host into a pane: whatever the list shows while
// it arrives is in sorted order (folders first, names without regard to case), and the whole
// listing joins the list in one insertion, the first time, on a refresh and from the cache.

#include "PaneFixture.h"

#include "panes/CommandIds.h"

#include <QAbstractItemView>
#include <QCollator>
#include <QSignalSpy>

using namespace panetest;

namespace {

constexpr int Count = 3000;

// Names whose order on the host (as the disk keeps them) has nothing to do with the sorted
// order, in both cases, every seventh a folder.
QString entryName(int i)
{
    return QStringLiteral("%1%2-%3")
        .arg(i % 2 ? QStringLiteral("item") : QStringLiteral("Item"))
        .arg((i * 7919) % Count, 5, 10, QLatin1Char('0'))
        .arg(i % 7 ? QStringLiteral("file") : QStringLiteral("dir"));
}

// Empty when the list's rows are in sorted order, else the first pair out of order.
QString outOfOrder(const FileWindow *list)
{
    const QAbstractItemModel *model = list->view()->model();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (int row = 1; row < model->rowCount(); ++row) {
        const itemdata *before = list->itemData(row - 1);
        const itemdata *after = list->itemData(row);
        if (before->isDirectory != after->isDirectory) {
            if (!before->isDirectory)
                return QStringLiteral("%1 before %2").arg(before->name, after->name);
            continue;
        }
        if (collator.compare(before->name, after->name) > 0)
            return QStringLiteral("%1 before %2").arg(before->name, after->name);
    }
    return QString();
}

} // namespace

class TestListArrival : public QObject, protected PaneFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(setUpRun(), qPrintable(setUpError()));
        for (int i = 0; i < Count; ++i) {
            const QString path = QStringLiteral("many/") + entryName(i);
            QVERIFY(i % 7 ? server_.writeFile(path, QByteArray()) : server_.makeDir(path));
        }
    }

    void init() { setUpTest(); }
    void cleanup() { dropPanes(); }

    void arrivingListingShowsSorted_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("first listing") << 0;
        QTest::newRow("refresh") << 1;
        QTest::newRow("from the cache") << 2;
    }

    void arrivingListingShowsSorted()
    {
        QFETCH(int, how);
        makePanes();
        FileWindow *list = pane0_->list();
        const QString folder = QStringLiteral("/many/");
        if (how > 0) {
            QVERIFY(showLocation(pane0_, Site, folder));
            QTRY_COMPARE_WITH_TIMEOUT(list->itemCount(), Count, Bound);
            if (how == 2) {
                QVERIFY(showLocation(pane0_, Site, QStringLiteral("/")));
                QTRY_VERIFY_WITH_TIMEOUT(list->itemCount() < Count, Bound);
            }
        }
        // Every change the model reports is checked as it happens.
        QStringList faults;
        int insertions = 0;
        QAbstractItemModel *model = list->view()->model();
        const auto check = [&] {
            if (const QString fault = outOfOrder(list); !fault.isEmpty())
                faults << fault;
        };
        QObject watcher;
        connect(model, &QAbstractItemModel::rowsInserted, &watcher, [&] { ++insertions, check(); });
        connect(model, &QAbstractItemModel::layoutChanged, &watcher, check);
        connect(model, &QAbstractItemModel::dataChanged, &watcher, check);
        const int finished = countStatus(status_, QStringLiteral("Finished"));
        if (how == 1)
            QVERIFY(pane0_->handleCommand(Cmd::RefreshCurrent));
        else
            QVERIFY(showLocation(pane0_, Site, folder));
        QTRY_VERIFY_WITH_TIMEOUT(countStatus(status_, QStringLiteral("Finished")) > finished, Bound);
        QTRY_COMPARE_WITH_TIMEOUT(list->itemCount(), Count, Bound);
        QCOMPARE(faults, QStringList());
        QCOMPARE(insertions, 1);
        QCOMPARE(outOfOrder(list), QString());
        QCOMPARE(list->itemText(0), QStringLiteral("Item00000-dir"));
        QCOMPARE(childTexts(pane0_->tree()->findLocationNode(Site, folder)).size(), (Count + 6) / 7);
        QVERIFY2(prompt_.isEmpty(), qPrintable(prompt_.dump()));
    }
};

QTEST_MAIN(TestListArrival)
#include "tst_listarrival.moc"
