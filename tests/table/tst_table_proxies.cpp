// The row window and the column range that views put between a list model and the screen.
#include "table/qpage_model_sorter.h"
#include "table/qtable_model_proxy.h"

#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>

class TestTableProxies : public QObject {
    Q_OBJECT
private slots:
    void rowWindow_data();
    void rowWindow();
    void columnRange_data();
    void columnRange();
};

void TestTableProxies::rowWindow_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("firstShown");
    QTest::newRow("window over the end") << 12 << 10 << 5 << 2 << 10;
    QTest::newRow("whole window") << 12 << 0 << 5 << 5 << 0;
    QTest::newRow("past the end") << 12 << 20 << 5 << 0 << -1;
    QTest::newRow("empty source") << 0 << 0 << 5 << 0 << -1;
}

void TestTableProxies::rowWindow() {
    QFETCH(int, rows);
    QFETCH(int, start);
    QFETCH(int, size);
    QStandardItemModel source(rows, 1);
    for (int r = 0; r < rows; ++r)
        source.setItem(r, 0, new QStandardItem(QString::number(r)));
    QPageModelSorter sorter;
    sorter.setSourceModel(&source);
    QCOMPARE(sorter.srcCount(), rows);
    QSignalSpy counts(&sorter, &QPageModelSorter::countChanged);
    sorter.setStartIndex(start);
    sorter.setPageSize(size);
    sorter.updateShow();
    QTEST(sorter.count(), "count");
    QVERIFY(!counts.isEmpty());
    QFETCH(int, firstShown);
    if (firstShown >= 0)
        QCOMPARE(sorter.index(0, 0).data().toString(), QString::number(firstShown));
    // A row added to the source outside the window still shows in srcCount.
    QSignalSpy sources(&sorter, &QPageModelSorter::srcCountChanged);
    source.appendRow(new QStandardItem("x"));
    QCOMPARE(sorter.srcCount(), rows + 1);
    QVERIFY(!sources.isEmpty());
}

void TestTableProxies::columnRange_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::newRow("middle columns") << 2 << 4 << 0 << 3 << 7;
    QTest::newRow("fixed part") << 0 << 1 << 0 << 2 << 7;
    QTest::newRow("end past the last") << 5 << 99 << 0 << 5 << 7;
    QTest::newRow("on its side") << 0 << 9 << 1 << 10 << 10;
}

void TestTableProxies::columnRange() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, style);
    QStandardItemModel source(7, 10);
    for (int c = 0; c < 10; ++c)
        source.setItem(0, c, new QStandardItem(QString::number(c)));
    QTableModelProxy proxy;
    proxy.setStartColumn(start);
    proxy.setEndColumn(end);
    proxy.setStyle(style);
    proxy.setSourceModel(&source);
    QTEST(proxy.columnCount(), "columns");
    QTEST(proxy.rowCount(), "rows");
    QCOMPARE(proxy.index(0, 0).data().toString(), QString::number(start));
    // A new range applies once asked for.
    proxy.setStartColumn(0);
    proxy.setEndColumn(0);
    proxy.updateColumns();
    QCOMPARE(proxy.columnCount(), 1);
}

QTEST_GUILESS_MAIN(TestTableProxies)
#include "tst_table_proxies.moc"
