// Sorting the file list: the sort order steps of menu commands and column clicks, the comparison
// of items, and a long listing sorted.
#include "support/TestEnvironment.h"

#include "FileListFixture.h"
#include "panes/PaneImages.h"
#include "platform/SettingsStore.h"
#include "settings/AsciiExtensions.h"

#include <QCollator>

#include <algorithm>
#include <QHeaderView>
#include <QLocale>
#include <QScopeGuard>
#include <QTreeView>

using namespace FileListFixture;

class TestFileListSort : public QObject
{
    Q_OBJECT

    TestEnvironment env_;

private slots:
    void initTestCase()
    {
        QVERIFY2(openStoreWithAsciiList(env_), qPrintable(env_.errorString()));
    }

    void sortOrderSteps_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("steps"); // cN column click N, kN key N, desc, asc
        QTest::addColumn<QList<int>>("orders");

        QTest::newRow("size clicked twice, then name") << 0 << "c1 c1 c0" << QList<int>{2, 7, 0};
        QTest::newRow("size clicked from size") << 2 << "c1 c1" << QList<int>{7, 2};
        QTest::newRow("date column from type") << 1 << "c2" << QList<int>{3};
        QTest::newRow("date column descending to ascending") << 8 << "c2" << QList<int>{3};
        QTest::newRow("name column from size descending") << 7 << "c0" << QList<int>{0};
        QTest::newRow("descending after date, then name") << 0 << "k3 desc k0" << QList<int>{3, 8, 5};
        QTest::newRow("ascending keeps the key") << 7 << "asc asc" << QList<int>{2, 2};
        QTest::newRow("descending twice") << 1 << "desc desc" << QList<int>{6, 6};
        QTest::newRow("key keeps descending") << 6 << "k2 k1" << QList<int>{7, 6};
        QTest::newRow("keep key") << 3 << "k5" << QList<int>{3};
        QTest::newRow("stored value above 8") << 12 << "k5" << QList<int>{0};
        QTest::newRow("stored 9, then descending") << 9 << "desc" << QList<int>{5};
        QTest::newRow("stored 9, then a click") << 9 << "c0" << QList<int>{5};
    }

    void sortOrderSteps()
    {
        QFETCH(int, start);
        QFETCH(QString, steps);
        QFETCH(QList<int>, orders);
        List list = makeList();
        list->setSortOrder(start);
        const QStringList words = steps.split(QLatin1Char(' '));
        QCOMPARE(words.size(), orders.size());
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QString &step = words[i];
            if (step == QLatin1String("desc"))
                list->SortList(FileWindow::KeepKey, false, 2);
            else if (step == QLatin1String("asc"))
                list->SortList(FileWindow::KeepKey, false, 1);
            else
                list->SortList(step.mid(1).toInt(), step.startsWith(QLatin1Char('c')), 0);
            QVERIFY2(list->sortOrder() == orders[i], qPrintable(QStringLiteral("after %1: %2")
                                                                    .arg(step).arg(list->sortOrder())));
        }
    }

    void comparison_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("sortOrder");
        QTest::addColumn<QStringList>("sorted");

        const QStringList mixed = {"b", "A", "z/", "C@", "a.txt", "B.txt", "Y/"};
        QTest::newRow("name: folders first, case ignored")
            << mixed << 0 << QStringList{"C", "Y", "z", "A", "a.txt", "b", "B.txt"};
        QTest::newRow("name descending: folders still first")
            << mixed << 5 << QStringList{"z", "Y", "C", "B.txt", "b", "a.txt", "A"};
        QTest::newRow("type: no extension first, then by extension")
            << QStringList{"b.txt", "d", "c.DOC", "a", "e.doc.gz"} << 1
            << QStringList{"a", "d", "c.DOC", "e.doc.gz", "b.txt"};
        QTest::newRow("type descending")
            << QStringList{"b.txt", "d", "c.DOC", "a", "e.doc.gz"} << 6
            << QStringList{"b.txt", "e.doc.gz", "c.DOC", "d", "a"};
        QTest::newRow("type keeps folders first") << QStringList{"x.c", "dir.a/", "y"} << 1
                                                  << QStringList{"dir.a", "y", "x.c"};
        const QStringList sized = {"b:10", "c:5", "a:10", "big:5000000000", "d/:99"};
        QTest::newRow("size, ties by name") << sized << 2 << QStringList{"d", "c", "a", "b", "big"};
        QTest::newRow("size descending") << sized << 7 << QStringList{"d", "big", "b", "a", "c"};
        const QStringList dated = {"y:0:2020-01-31 00:00:00", "x:0", "w:0:2019-12-01 23:59:58",
                                   "v:0:2020-01-31 00:00:02", "u:0:2020-01-31 00:00:00"};
        QTest::newRow("date: unknown earliest, fields, ties by name")
            << dated << 3 << QStringList{"x", "w", "u", "y", "v"};
        QTest::newRow("date descending") << dated << 8 << QStringList{"v", "y", "u", "w", "x"};
    }

    // The C locale and locales with collation rules order names by different means.
    void comparison()
    {
        QFETCH(QStringList, entries);
        QFETCH(int, sortOrder);
        QFETCH(QStringList, sorted);
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
        for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::German, QLocale::Germany)}) {
            QLocale::setDefault(locale);
            List list = makeList();
            addEntries(list.get(), entries);
            list->setSortOrder(sortOrder);
            list->SortList(FileWindow::KeepKey, false, 0);
            QCOMPARE(list->sortOrder(), sortOrder);
            QVERIFY2(texts(list.get()) == sorted,
                     qPrintable(locale.name() + QStringLiteral(": ") + texts(list.get()).join(QLatin1Char(' '))));
        }
    }

    // Extensions differing only in case tie; both still follow the names without one.
    void typeTiesIgnoreCase()
    {
        List list = makeList();
        addEntries(list.get(), {"a.TXT", "b.txt", "c"});
        list->SortList(FileWindow::SortType, false, 0);
        QCOMPARE(list->itemText(0), QStringLiteral("c"));
        QCOMPARE(QSet<QString>({list->itemText(1), list->itemText(2)}), QSet<QString>({"a.TXT", "b.txt"}));
    }

    // Copies of tree nodes (hosts, host folders) have no size, date or type: every key sorts
    // them by name, case ignored; descending reverses it.
    void nodeCopiesSortByName_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("expected");
        const QStringList ascending{"alpha", "Beta", "beta host", "gamma.example.org"};
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        QTest::newRow("name") << int(FileWindow::SortName) << ascending;
        QTest::newRow("type") << int(FileWindow::SortType) << ascending;
        QTest::newRow("size") << int(FileWindow::SortSize) << ascending;
        QTest::newRow("date") << int(FileWindow::SortDate) << ascending;
        QTest::newRow("name descending") << FileWindow::SortName + FileWindow::DescendingOffset << descending;
        QTest::newRow("date descending") << FileWindow::SortDate + FileWindow::DescendingOffset << descending;
    }

    void nodeCopiesSortByName()
    {
        QFETCH(int, order);
        QFETCH(QStringList, expected);
        List list = makeList();
        for (const char *name : {"beta host", "gamma.example.org", "Beta", "alpha"})
            list->addNodeItem(QString::fromLatin1(name), IconFolder);
        list->SortList(order % FileWindow::DescendingOffset, false, order >= FileWindow::DescendingOffset ? 2 : 1);
        QCOMPARE(list->sortOrder(), order);
        QCOMPARE(texts(list.get()), expected);
    }

    // A host folder's list (node copies, as the pane fills it) sorts by a click on Name: the
    // first click turns the ascending name order into descending, the next back.
    void hostListSortsByNameClick()
    {
        List list = makeList();
        QVERIFY(showList(list.get()));
        for (const char *name : {"zeta", "Alpha folder", "mid.example.org", "beta"})
            list->addNodeItem(QString::fromLatin1(name), IconComputer);
        QCOMPARE(texts(list.get()), QStringList({"beta", "mid.example.org", "Alpha folder", "zeta"}));
        QHeaderView *header = qobject_cast<QTreeView *>(list->view())->header();
        const QPoint name(header->sectionViewportPosition(0) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
        QCOMPARE(texts(list.get()), QStringList({"zeta", "mid.example.org", "beta", "Alpha folder"}));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
        QCOMPARE(texts(list.get()), QStringList({"Alpha folder", "beta", "mid.example.org", "zeta"}));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    }

    void headerClickSorts()
    {
        List list = makeList();
        QVERIFY(showList(list.get()));
        addEntries(list.get(), {"a:30", "b:10", "c:20"});
        auto *tree = qobject_cast<QTreeView *>(list->view());
        QVERIFY(tree);
        QHeaderView *header = tree->header();
        const QPoint size(header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, size);
        QCOMPARE(list->sortOrder(), 2);
        QCOMPARE(texts(list.get()), QStringList({"b", "c", "a"}));
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, size);
        QCOMPARE(list->sortOrder(), 7);
        QCOMPARE(texts(list.get()), QStringList({"a", "c", "b"}));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void selectionFollowsItemsThroughSort()
    {
        List list = makeList();
        addEntries(list.get(), {"d", "a", "c", "b", "e"});
        list->setSelected(list->findItem(QStringLiteral("a")), true);
        list->setSelected(list->findItem(QStringLiteral("d")), true);
        list->view()->selectionModel()->setCurrentIndex(list->view()->model()->index(list->findItem("c"), 0),
                                                        QItemSelectionModel::NoUpdate);
        list->SortList(FileWindow::SortName, false, 0);
        QCOMPARE(texts(list.get()), QStringList({"a", "b", "c", "d", "e"}));
        QCOMPARE(selectedTexts(list.get()), QStringList({"a", "d"}));
        QCOMPARE(list->itemText(list->focusedRow()), QStringLiteral("c"));
        list->SortList(FileWindow::KeepKey, false, 2);
        QCOMPARE(selectedTexts(list.get()), QStringList({"d", "a"}));
        QCOMPARE(list->itemText(list->focusedRow()), QStringLiteral("c"));
    }

    // A listing of 100 000 entries ends up complete and in order (correctness only: speed is
    // measured by the list benchmark).
    void longListing()
    {
        List list = makeList();
        QVERIFY(showList(list.get()));
        constexpr int count = 100000;
        for (int i = 0; i < count; ++i) {
            const bool directory = i % 10 == 0;
            const QChar initial((i % 2 ? u'a' : u'A') + (i * 7) % 26);
            const QString name = QStringLiteral("%1item%2.%3").arg(initial).arg(i)
                                     .arg(i % 3 ? QStringLiteral("txt") : QStringLiteral("Dat"));
            list->AddListItem(name, quint64(i % 1000) * 4099,
                              PackedDateTime::pack(1990 + i % 30, 1 + i % 12, 1 + i % 28),
                              directory ? FileWindow::KindDirectory : FileWindow::KindFile);
        }
        list->SortList(FileWindow::SortName, false, 0);
        QCOMPARE(list->itemCount(), count);
        QCOMPARE(list->view()->model()->rowCount(), count);
        QCOMPARE(list->itemIcon(count - 1), list->itemText(count - 1).endsWith(QLatin1String("txt"))
                                                ? int(IconAsciiFile) : int(IconBinaryFile));
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        int directories = 0;
        for (int row = 0; row < count; ++row) {
            const itemdata *current = list->itemData(row);
            directories += current->isDirectory;
            if (row == 0)
                continue;
            const itemdata *previous = list->itemData(row - 1);
            QVERIFY(previous->isDirectory >= current->isDirectory);
            if (previous->isDirectory == current->isDirectory)
                QVERIFY2(collator.compare(previous->name, current->name) <= 0, qPrintable(current->name));
        }
        QCOMPARE(directories, count / 10);

        list->SortList(FileWindow::SortSize, false, 2);
        for (int row = directories + 1; row < count; ++row)
            QVERIFY(list->itemData(row - 1)->size >= list->itemData(row)->size);

        const auto extension = [&](int row) { return list->itemText(row).section(QLatin1Char('.'), -1); };
        list->SortList(FileWindow::SortType, false, 1);
        QCOMPARE(list->sortOrder(), int(FileWindow::SortType));
        for (int row = directories + 1; row < count; ++row)
            QVERIFY(extension(row - 1).compare(extension(row), Qt::CaseInsensitive) <= 0);
    }};

QTEST_MAIN(TestFileListSort)
#include "tst_filelistsort.moc"
