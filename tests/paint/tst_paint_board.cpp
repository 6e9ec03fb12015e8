// The drawing board's placing rules, damaged drawing files, and the level geometry of the
// analysis tools.
#include "paint/cpaint_levels.h"
#include "paint/cpaint_regression.h"
#include "paint_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

using namespace paint_test;

namespace {

QByteArray segment(uint time0, uint time1) {
    return QStringLiteral(
               "{\"type\":\"PaintSegment\",\"kstart_time\":\"%1\",\"kstart_price\":"
               "\"20.00\",\"kend_time\":\"%2\",\"kend_price\":\"25.00\"}")
        .arg(time0)
        .arg(time1)
        .toUtf8();
}

uint dayTime(int bar) {
    return uint(fixture::kDay0 + bar * fixture::kDay);
}

// Press, drag and release through the chart's invocable operations, as the views call them.
void drag(QChart& c, QPoint a, QPoint b) {
    c.onLButtonDown(0, a.x(), a.y());
    c.onMousePaintBoard(1, b.x(), b.y());
    c.onLButtonUp(0, b.x(), b.y());
}

}  // namespace

class TestPaintBoard : public QObject {
    Q_OBJECT
private slots:
    void damagedFiles_data();
    void damagedFiles();
    void heldBackDrawingsReturnWithTheirBars();
    void placingEdgeCases_data();
    void placingEdgeCases();
    void threeClickPlacement();
    void rightPressCancelsChosenTool();
    void sameSecurityLoadsOnce();
    void switchingSecuritySavesUnsavedDrawings();
    void unsafeCodesNameNoFile_data();
    void unsafeCodesNameNoFile();
    void levelRows_data();
    void levelRows();
    void singleBarRegression();
    void drawingsFollowTheWindow();
};

void TestPaintBoard::damagedFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("loaded");
    QTest::addColumn<int>("held");

    const QByteArray a = segment(dayTime(100), dayTime(120));
    const QByteArray b = segment(dayTime(130), dayTime(150));
    QTest::newRow("valid") << "{\"paintArray\":[" + a + "," + b + "]}" << 2 << 0;
    QTest::newRow("truncated") << "{\"paintArray\":[" + a + "," + b + ",{\"type\":\"PaintLi" << 2
                               << 0;
    QTest::newRow("not json") << QByteArray("\x01\x02 not a drawing file") << 0 << 0;
    QTest::newRow("empty") << QByteArray() << 0 << 0;
    QTest::newRow("no array") << QByteArray("{\"other\":[]}") << 0 << 0;
    QTest::newRow("unknown kind") << "{\"paintArray\":[" + a +
                                         ",{\"type\":\"PaintSpiral\",\"turns\":\"3\"}]}"
                                  << 1 << 1;
    QTest::newRow("missing kind") << "{\"paintArray\":[{\"kstart_time\":\"1\"}," + b + "]}" << 1
                                  << 1;
    QTest::newRow("points outside the series")
        << "{\"paintArray\":[" + segment(12345, dayTime(120)) + "," + b + "]}" << 1 << 1;
    QTest::newRow("elements not objects") << "{\"paintArray\":[1,\"x\"," + a + "]}" << 1 << 0;
    QTest::newRow("garbage numbers")
        << QByteArray("{\"paintArray\":[{\"type\":\"PaintRect\",\"kstart_time\":\"x\"}]}") << 0
        << 1;
}

void TestPaintBoard::damagedFiles() {
    QFETCH(QByteArray, content);
    QFETCH(int, loaded);
    QFETCH(int, held);
    writeFile(content);
    auto chart = dailyChart();
    CPaintBoard* board = chart->paintBoard();
    QCOMPARE(int(board->tools().size()), loaded);
    QCOMPARE(board->heldBackCount(), held);
    QVERIFY(board->isActive());

    // Saving without a change leaves the file as it was.
    QVERIFY(chart->savePaintData(kCode, kMarket, kCycle));
    QCOMPARE(fileBytes(), content);

    // A change writes the valid drawings, the new one, and every drawing held back.
    chart->setPaintBoardQChart("CPaintSegment");
    drag(*chart, QPoint(300, 400), QPoint(350, 420));
    QVERIFY(chart->savePaintData(kCode, kMarket, kCycle));
    const QJsonArray saved =
        QJsonDocument::fromJson(fileBytes()).object().value("paintArray").toArray();
    QCOMPARE(saved.size(), loaded + held + 1);
}

void TestPaintBoard::heldBackDrawingsReturnWithTheirBars() {
    // A drawing on bars older than the ones loaded comes back once they arrive.
    writeFile("{\"paintArray\":[" + segment(dayTime(5), dayTime(20)) + "]}");
    auto chart = fixture::makeChart();
    chart->setLineType("kline");
    chart->setCycle(kCycle);
    chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
    chart->setSecurity(0, kCode, kMarket, 2);
    fixture::feedKLine(*chart, fixture::kpoints(100, 50));
    QCOMPARE(int(chart->paintBoard()->tools().size()), 0);
    QCOMPARE(chart->paintBoard()->heldBackCount(), 1);
    fixture::feedKLine(*chart, fixture::kpoints(50, 0));
    QCOMPARE(int(chart->paintBoard()->tools().size()), 1);
    QCOMPARE(chart->paintBoard()->tools().front()->start.index, 5);
    QCOMPARE(chart->paintBoard()->heldBackCount(), 0);
}

void TestPaintBoard::placingEdgeCases_data() {
    QTest::addColumn<int>("bars");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("tools");
    QTest::addColumn<bool>("pressTaken");

    QTest::newRow("empty chart") << 0 << QPoint(200, 300) << QPoint(300, 200) << 0 << false;
    QTest::newRow("click without drag")
        << kBars << QPoint(200, 300) << QPoint(200, 300) << 0 << true;
    QTest::newRow("zero length") << kBars << QPoint(200, 300) << QPoint(201, 300) << 1 << true;
    QTest::newRow("beside the pane") << kBars << QPoint(700, 300) << QPoint(710, 300) << 0 << false;
}

void TestPaintBoard::placingEdgeCases() {
    QFETCH(int, bars);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, tools);
    QFETCH(bool, pressTaken);
    removeFile();
    auto chart = dailyChart(bars);
    chart->setPaintBoardActive(true);
    chart->setPaintBoardQChart("CPaintLine");
    QCOMPARE(chart->onLButtonDown(0, from.x(), from.y()), pressTaken);
    if (pressTaken) {
        if (to != from) {
            chart->onMousePaintBoard(1, to.x(), to.y());
        }
        chart->onLButtonUp(0, to.x(), to.y());
    }
    QCOMPARE(int(chart->paintBoard()->tools().size()), tools);
    // Painting and saving whatever was left must work.
    render(*chart);
    QVERIFY(chart->savePaintData(kCode, kMarket, kCycle));
    if (tools == 1) {
        const CPaintMethodBase* t = chart->paintBoard()->tools().front();
        if (from.x() / 5 == to.x() / 5) {
            // Both points on one bar: a vertical line, saved with a zero slope.
            QCOMPARE(t->start.x, t->end.x);
            const QJsonObject o = QJsonDocument::fromJson(fileBytes())
                                      .object()
                                      .value("paintArray")
                                      .toArray()[0]
                                      .toObject();
            QCOMPARE(o.value("m_dK").toString(), QStringLiteral("0.00000000000000"));
        }
        auto reopened = dailyChart(bars);
        QCOMPARE(int(reopened->paintBoard()->tools().size()), 1);
    }
}

void TestPaintBoard::threeClickPlacement() {
    removeFile();
    auto chart = dailyChart();
    CPaintBoard* board = chart->paintBoard();
    QSignalSpy done(board, &CPaintBoard::paintComplete);
    chart->setPaintBoardQChart("CPaintThreePoint");  // not a choosable name
    QVERIFY(!board->hasPendingTool());

    // Two clicks, then the pointer leaves: the half-placed tool is dropped.
    chart->setPaintBoardQChart("CPaintTrendLine");
    drag(*chart, QPoint(200, 300), QPoint(300, 250));
    QVERIFY(board->awaitingThirdClick());
    chart->onMousePaintBoard(0, 400, 200);
    QCOMPARE(board->tools().front()->end.time, dayTime(80 + (400 - 60) / 5));
    chart->onLButtonLeave(0, 400, 200);
    QCOMPARE(int(board->tools().size()), 0);
    for (const QList<QVariant>& args : done) {
        QCOMPARE(args[0].value<void*>(), nullptr);
    }
    QVERIFY(!board->awaitingThirdClick());
    render(*chart);
    done.clear();

    // Two clicks with no drag on the first: the second point sits on the first.
    chart->setPaintBoardQChart("CPaintTrendLine");
    chart->onLButtonDown(0, 200, 300);
    chart->onLButtonUp(0, 200, 300);
    chart->onMousePaintBoard(0, 400, 200);
    QVERIFY(chart->onLButtonDown(0, 400, 200));
    chart->onLButtonUp(0, 400, 200);
    QCOMPARE(done.count(), 1);
    const CPaintMethodBase* t = board->tools().front();
    QCOMPARE(t->mid.time, t->start.time);
    QVERIFY(t->end.time != t->start.time);
    QVERIFY(!board->hasPendingTool());
    render(*chart);
}

void TestPaintBoard::rightPressCancelsChosenTool() {
    removeFile();
    auto chart = dailyChart();
    chart->setPaintBoardQChart("CPaintRect");
    drag(*chart, QPoint(200, 300), QPoint(300, 250));
    chart->setPaintBoardQChart("CPaintEllipse");
    chart->onMousePaintBoard(0, 600, 600);
    QVERIFY(chart->onRButtonDown(0, 600, 600));
    QVERIFY(!chart->paintBoard()->hasPendingTool());
    QVERIFY(!chart->onLButtonDown(0, 500, 500));
    QCOMPARE(int(chart->paintBoard()->tools().size()), 1);
}

void TestPaintBoard::sameSecurityLoadsOnce() {
    removeFile();
    auto chart = dailyChart();
    chart->setPaintBoardQChart("CPaintSegment");
    drag(*chart, QPoint(200, 300), QPoint(300, 250));
    CPaintMethodBase* placed = chart->paintBoard()->tools().front();
    chart->parsePaintData(kCode, kMarket, kCycle);
    fixture::feedKLine(*chart, fixture::kpoints(1, kBars));
    QCOMPARE(int(chart->paintBoard()->tools().size()), 1);
    QCOMPARE(chart->paintBoard()->tools().front(), placed);
}

void TestPaintBoard::switchingSecuritySavesUnsavedDrawings() {
    removeFile();
    auto chart = dailyChart();
    chart->setPaintBoardQChart("CPaintSegment");
    drag(*chart, QPoint(200, 300), QPoint(300, 250));
    chart->parsePaintData("000001", 2, kCycle);
    QCOMPARE(int(chart->paintBoard()->tools().size()), 0);
    // Reopening the first security finds the drawing although the views never saved it.
    chart->parsePaintData(kCode, kMarket, kCycle);
    QCOMPARE(int(chart->paintBoard()->tools().size()), 1);
    // A chart that never loaded anything does not wipe a security's file by saving.
    auto other = fixture::makeChart();
    QVERIFY(other->savePaintData(kCode, kMarket, kCycle));
    QVERIFY(fileBytes().contains("PaintSegment"));
}

void TestPaintBoard::unsafeCodesNameNoFile_data() {
    QTest::addColumn<QString>("code");
    QTest::newRow("parent folder") << "../../etc/x";
    QTest::newRow("absolute") << "/tmp/x";
    QTest::newRow("backslash") << "..\\x";
    QTest::newRow("hidden") << ".x";
    QTest::newRow("empty") << "";
}

void TestPaintBoard::unsafeCodesNameNoFile() {
    QFETCH(QString, code);
    QVERIFY(paint::drawingFilePath(code, 1, 33).isEmpty());
    auto chart = dailyChart();
    chart->setPaintBoardQChart("CPaintSegment");
    drag(*chart, QPoint(200, 300), QPoint(300, 250));
    QVERIFY(!chart->savePaintData(code, 1, 33));
}

void TestPaintBoard::levelRows_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QList<int>>("rows");
    QTest::newRow("golden split") << "PaintGoldenSplit" << QList<int>{400, 376, 361, 350, 338, 300};
    QTest::newRow("golden price") << "PaintGoldenPrice"
                                  << QList<int>{338, 319, 300, 280, 261, 250, 238, 219, 200};
    QTest::newRow("band lines") << "PaintBandLine" << QList<int>{400, 375, 367, 350, 300};
    QTest::newRow("percentages") << "PaintPercentage" << QList<int>{400, 387, 375, 366, 362, 350,
                                                                    337, 333, 325, 312, 300};
}

void TestPaintBoard::levelRows() {
    QFETCH(QString, type);
    QFETCH(QList<int>, rows);
    std::unique_ptr<CPaintMethodBase> tool(paint::factoryForType(type)());
    auto* levels = dynamic_cast<CPaintLevelBase*>(tool.get());
    QVERIFY(levels);
    levels->start.x = levels->end.x = 200;
    levels->start.y = 400;
    levels->end.y = 300;
    levels->computeTwoPoints(200, 400, 200, 300);
    QCOMPARE(levels->count, rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(levels->levelAt(i), rows[i]);
    }
}

void TestPaintBoard::singleBarRegression() {
    removeFile();
    auto chart = dailyChart();
    chart->setPaintBoardQChart("CPaintLinerRegressionBand");
    drag(*chart, QPoint(300, 300), QPoint(301, 200));
    render(*chart);
    auto* r = static_cast<CPaintLinerRegression*>(chart->paintBoard()->tools().front());
    QCOMPARE(r->n, 1);
    QCOMPARE(r->slope, 0.0);
    // The level line sits on that bar's close.
    const KData* bar = chart->getPosKData(r->firstBar);
    QVERIFY(std::abs(r->intercept - bar->close) < 1e-4);
    QVERIFY(std::abs(chart->getPointY(bar->close) - r->start.y) <= 1);
}

void TestPaintBoard::drawingsFollowTheWindow() {
    removeFile();
    auto chart = dailyChart();
    chart->setPaintBoardQChart("CPaintSegment");
    drag(*chart, QPoint(200, 300), QPoint(400, 300));
    chart->onMousePaintBoard(0, 640, 580);
    auto blank = dailyChart();
    const QImage before = render(*chart);
    QVERIFY(inkNear(before, render(*blank), 250, 300) > 0);
    // Ten bars further back the segment sits 50 pixels to the right, on the same bars (its
    // height follows the new value range).
    chart->updateReCalcShow(70, 189, 120, 189);
    blank->updateReCalcShow(70, 189, 120, 189);
    const QImage after = render(*chart);
    const QImage blankAfter = render(*blank);
    QCOMPARE(inkNear(after, blankAfter, 230, -1, 2), 0);
    QVERIFY(inkNear(after, blankAfter, 430, -1) > 0);
    QCOMPARE(chart->paintBoard()->tools().front()->start.time, dayTime(80 + (200 - 60) / 5));
}

QTEST_MAIN(TestPaintBoard)
#include "tst_paint_board.moc"
