// The index tiles, the concept ranking and the multi-security list against a real server:
// what the home view and the nine-chart view are fed with.
#include "live_quote_server.h"
#include "quote/index_board_model.h"
#include "quote/multi_stock_model.h"
#include "quote/quote_proxy.h"
#include "tests/support/whole_list.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

// The view's query as the multi-security view builds it: list fields, first row, nine rows.
QString pageText(const QString& list, int row) {
    QJsonObject o = QJsonDocument::fromJson(list.toUtf8()).object();
    o["fields_"] = QJsonArray{0, o.value("sort_").toObject().value("field").toInt()};
    o["page_"] = QJsonObject{{"no", row}, {"length", 9}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QStringList codesOf(const QVariant& data) {
    QStringList out;
    for (const QJsonValue& v : data.toJsonArray())
        out << v.toObject().value("code").toString();
    return out;
}

}  // namespace

class TestBoardModelsLive : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void indexTiles();
    void conceptRanking();
    void multiStockPages_data();
    void multiStockPages();
    void cleanupTestCase();

private:
    LiveQuoteServer server_;
};

void TestBoardModelsLive::initTestCase() {
    QVERIFY2(server_.startServer(), qPrintable(server_.log()));
    QVERIFY2(server_.startEngine(), qPrintable(server_.log()));
}

void TestBoardModelsLive::cleanupTestCase() {
    server_.stopEngine();
    server_.stopServer();
}

void TestBoardModelsLive::indexTiles() {
    IndexBoardModel model;
    model.getIndexData();
    QVERIFY(LiveQuoteServer::waitUntil([&] { return model.board(4)->close() > 0; }, &model,
                                       &IndexBoardModel::dataChanged));
    // The five main indices in their fixed order, each with a price and its previous close.
    const QStringList codes{"1A0001", "399001", "399006", "399005", "1A0004"};
    for (int i = 0; i < 5; ++i) {
        IndexBoard* b = model.board(i);
        QCOMPARE(b->code(), codes[i]);
        QVERIFY(!b->name().isEmpty());
        QVERIFY(b->preClose() > 0);
        // The change is quoted to the cent.
        QVERIFY(qAbs(b->rfValue() - (b->close() - b->preClose())) < 0.006f);
    }
    QCOMPARE(model.mode(), 0);
}

void TestBoardModelsLive::conceptRanking() {
    IndexBoardModel model;
    model.getConceptData(0, 1, 20);
    QCOMPARE(model.boardCount(), 20);
    QVERIFY(LiveQuoteServer::waitUntil([&] { return !model.board(19)->code().isEmpty(); }, &model,
                                       &IndexBoardModel::dataChanged));
    // Concept blocks only, the ten strongest first, then the ten weakest, each half falling.
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(model.board(i)->market(), 90);
        QVERIFY2(model.board(i)->code().startsWith("BK"), qPrintable(model.board(i)->code()));
        if (i > 0 && i != 10)
            QVERIFY(model.board(i - 1)->rfRate() >= model.board(i)->rfRate());
    }
    QVERIFY(model.board(9)->rfRate() >= model.board(10)->rfRate());
    model.cancel();
}

void TestBoardModelsLive::multiStockPages_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("keys");  // paging after the first page: "D" down, "U" up
    QTest::addColumn<int>("first");     // the list row of the first cell at the end (-1: last 5)
    QTest::addColumn<int>("length");
    QTest::newRow("opened from row 4") << 4 << QString() << 4 << 9;
    QTest::newRow("page down") << 4 << "D" << 13 << 9;
    QTest::newRow("page up stops at the top") << 4 << "U" << 0 << 9;
    QTest::newRow("a last page of five") << -1 << QString() << -1 << 5;
    QTest::newRow("no page past the last") << -1 << "D" << -1 << 5;
}

void TestBoardModelsLive::multiStockPages() {
    QFETCH(int, row);
    QFETCH(QString, keys);
    QFETCH(int, first);
    QFETCH(int, length);
    WholeList list(1110);
    QVERIFY(LiveQuoteServer::waitUntil([&] { return list.answered; }, &list, &WholeList::arrived));
    QVERIFY(list.codes.size() > 30);
    const int lastFive = list.codes.size() - 5;
    MultiStockModel model;
    QSignalSpy pages(&model, &MultiStockModel::dataChange);
    model.setCtx(pageText(list.context(20), row < 0 ? lastFive : row));
    QVERIFY(pages.wait(10000));
    for (const QChar key : keys) {
        const int before = pages.count();
        key == 'D' ? model.pageDown() : model.pageUp();
        // Paging past the end asks nothing; anything else answers with a new page.
        if (!pages.wait(row < 0 ? 1000 : 10000))
            QCOMPARE(pages.count(), before);
    }
    const QStringList shown = codesOf(pages.last().at(0));
    const int from = first < 0 ? lastFive : first;
    QCOMPARE(shown, list.codes.mid(from, length));
}

QTEST_MAIN(TestBoardModelsLive)
#include "tst_board_models_live.moc"
