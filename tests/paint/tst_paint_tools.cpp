// Every tool placed with the mouse on a daily chart, saved, reloaded into a fresh chart and
// compared; handles dragged, tools moved, restyled and deleted through the drawing menu.
#include "paint_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QtTest>

using namespace paint_test;

namespace {

const QPoint kStart(200, 300);
const QPoint kMid(300, 250);
const QPoint kEnd(400, 200);
const QPoint kAway(640, 580);  // clear of every tool placed from kStart to kEnd

struct Window {
    QQuickWindow window;
    std::unique_ptr<QChart> chart;
    explicit Window(std::unique_ptr<QChart> c) : chart(std::move(c)) {
        window.resize(720, 621);
        chart->setParentItem(window.contentItem());
        window.show();
    }
    ~Window() { chart->setParentItem(nullptr); }
};

QJsonArray savedArray() {
    return QJsonDocument::fromJson(fileBytes()).object().value("paintArray").toArray();
}

void place(QQuickWindow& w, int clicks) {
    QTest::mousePress(&w, Qt::LeftButton, {}, kStart);
    if (clicks == 1) {
        QTest::mouseRelease(&w, Qt::LeftButton, {}, kStart);
        return;
    }
    QTest::mouseMove(&w, clicks == 3 ? kMid : kEnd);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, clicks == 3 ? kMid : kEnd);
    if (clicks == 3) {
        QTest::mouseMove(&w, kEnd);
        QTest::mousePress(&w, Qt::LeftButton, {}, kEnd);
        QTest::mouseRelease(&w, Qt::LeftButton, {}, kEnd);
    }
}

// Bar under pixel x in the fixture's window (bars 80 .. 199 in slots of 5 pixels).
uint barTime(int x) {
    const int index = 80 + (x - 60) / 5;
    return uint(fixture::kDay0 + index * fixture::kDay);
}

}  // namespace

class TestPaintTools : public QObject {
    Q_OBJECT
private slots:
    void placeSaveReload_data();
    void placeSaveReload();
    void dragHandleAndBody();
    void menuRestylesAndDeletes();
    void textRoundTrip();
};

void TestPaintTools::placeSaveReload_data() {
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QPoint>("probe");  // a pixel the tool draws; y < 0 for a column

    QTest::newRow("segment") << "CPaintSegment" << 2 << QPoint(302, 250);
    QTest::newRow("line") << "CPaintLine" << 2 << QPoint(502, 150);
    QTest::newRow("speed lines") << "CPaintSpeedBlock" << 2 << QPoint(302, 250);
    QTest::newRow("gann fan") << "CPaintGannLine" << 2 << QPoint(500, 300);
    QTest::newRow("golden split") << "CPaintGoldenSplit" << 2 << QPoint(500, 262);
    QTest::newRow("golden price") << "CPaintGoldenPrice" << 2 << QPoint(500, 200);
    QTest::newRow("band lines") << "CPaintBandLine" << 2 << QPoint(500, 250);
    QTest::newRow("percentages") << "CPaintPercentage" << 2 << QPoint(500, 250);
    QTest::newRow("trend line") << "CPaintTrendLine" << 3 << QPoint(252, 275);
    QTest::newRow("regression") << "CPaintLinerRegression" << 2 << QPoint(302, -1);
    QTest::newRow("regression band") << "CPaintLinerRegressionBand" << 2 << QPoint(302, -1);
    QTest::newRow("regression channel") << "CPaintRegressionChannel" << 2 << QPoint(550, -1);
    QTest::newRow("cycle lines") << "CPaintCycleLine" << 2 << QPoint(602, 400);
    QTest::newRow("fibonacci zones") << "CPaintFibonacci" << 2 << QPoint(567, 400);
    QTest::newRow("text") << "CPaintText" << 1 << QPoint(215, 308);
    QTest::newRow("rectangle") << "CPaintRect" << 2 << QPoint(202, 250);
    QTest::newRow("circle") << "CPaintEllipse" << 2 << QPoint(426, 300);
    QTest::newRow("half ellipse") << "CPaintArcEllipse" << 2 << QPoint(402, 200);
    QTest::newRow("up arrow") << "CPaintUpArrow" << 2 << QPoint(402, 200);
    QTest::newRow("down arrow") << "CPaintDownArrow" << 2 << QPoint(402, 200);
    QTest::newRow("golden collection") << "CPaintGoldenCollect" << 2 << QPoint(500, 300);
}

void TestPaintTools::placeSaveReload() {
    QFETCH(QString, className);
    QFETCH(int, clicks);
    QFETCH(QPoint, probe);
    removeFile();
    auto blank = dailyChart();
    const QImage blankImage = render(*blank);

    Window w(dailyChart());
    QSignalSpy dialog(w.chart.get(), &QChart::showTextDlg);
    w.chart->setPaintBoardQChart(className);
    place(w.window, clicks);
    QTest::mouseMove(&w.window, kAway);

    CPaintBoard* board = w.chart->paintBoard();
    QCOMPARE(int(board->tools().size()), 1);
    QCOMPARE(QStringLiteral("C") + board->tools().front()->typeName(), className);
    QVERIFY(!board->hasPendingTool());
    QCOMPARE(dialog.count(), className == "CPaintText" ? 1 : 0);
    QVERIFY(w.chart->savePaintData(kCode, kMarket, kCycle));

    const QJsonArray saved = savedArray();
    QCOMPARE(saved.size(), 1);
    QCOMPARE(QStringLiteral("C") + saved[0].toObject().value("type").toString(), className);
    QCOMPARE(saved[0].toObject().value("kstart_time").toString(),
             QString::number(barTime(kStart.x())));

    // A fresh chart of the same security and cycle restores the drawing from the file alone.
    auto reopened = dailyChart();
    QCOMPARE(int(reopened->paintBoard()->tools().size()), 1);
    QCOMPARE(reopened->paintBoard()->document(), fileBytes());
    const QImage before = render(*w.chart);
    const QImage after = render(*reopened);
    QVERIFY2(inkNear(before, blankImage, probe.x(), probe.y()) > 0, "placed tool not drawn");
    QVERIFY2(inkNear(after, blankImage, probe.x(), probe.y()) > 0, "reloaded tool not drawn");
    // Nothing is drawn outside the main pane.
    QCOMPARE(inkNear(after, blankImage, 30, 300, 25), 0);
}

void TestPaintTools::dragHandleAndBody() {
    removeFile();
    Window w(dailyChart());
    w.chart->setPaintBoardQChart("CPaintSegment");
    place(w.window, 2);
    CPaintMethodBase* tool = w.chart->paintBoard()->tools().front();

    // Hover finds the end handle; pressing on it and dragging moves only the end.
    QTest::mouseMove(&w.window, QPoint(402, 200));
    QCOMPARE(w.chart->paintBoard()->currentTool(), tool);
    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(402, 200));
    QTest::mouseMove(&w.window, QPoint(502, 150));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(502, 150));
    QCOMPARE(tool->start.time, barTime(200));
    QCOMPARE(tool->end.time, barTime(502));

    // Pressing on the body and dragging moves the whole segment by ten bars.
    QTest::mouseMove(&w.window, QPoint(352, 225));
    QCOMPARE(w.chart->paintBoard()->currentTool(), tool);
    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(352, 225));
    QTest::mouseMove(&w.window, QPoint(402, 225));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(402, 225));
    QCOMPARE(tool->start.time, barTime(250));
    QCOMPARE(tool->end.time, barTime(552));

    QVERIFY(w.chart->savePaintData(kCode, kMarket, kCycle));
    auto reopened = dailyChart();
    const CPaintMethodBase* back = reopened->paintBoard()->tools().front();
    QCOMPARE(back->start.time, tool->start.time);
    QCOMPARE(back->end.time, tool->end.time);
}

void TestPaintTools::menuRestylesAndDeletes() {
    removeFile();
    Window w(dailyChart());
    QSignalSpy menu(w.chart.get(), &QChart::showPaintBoardMenu);
    w.chart->setPaintBoardQChart("CPaintLine");
    place(w.window, 2);
    w.chart->setPaintBoardQChart("CPaintSegment");
    QTest::mousePress(&w.window, Qt::LeftButton, {}, QPoint(200, 500));
    QTest::mouseMove(&w.window, QPoint(300, 500));
    QTest::mouseRelease(&w.window, Qt::LeftButton, {}, QPoint(300, 500));

    QTest::mouseMove(&w.window, QPoint(302, 250));
    QTest::mousePress(&w.window, Qt::RightButton, {}, QPoint(302, 250));
    QCOMPARE(menu.count(), 1);
    QCOMPARE(menu[0][1].toString(), QStringLiteral("line"));
    QCOMPARE(menu[0][2].toInt(), 302);
    // Colour forgets the target: the width that follows changes nothing.
    w.chart->setStyleCommand(0, 0x00ff00);
    w.chart->setStyleCommand(6 + 2, 0);
    QVERIFY(w.chart->savePaintData(kCode, kMarket, kCycle));
    QJsonObject line = savedArray()[0].toObject();
    QCOMPARE(line.value("m_color").toString(), QStringLiteral("ff00"));
    QCOMPARE(line.value("m_size").toString(), QStringLiteral("1"));

    // The menu of the segment: dotted and wide, then deleted.
    QTest::mouseMove(&w.window, QPoint(250, 500));
    QTest::mousePress(&w.window, Qt::RightButton, {}, QPoint(250, 500));
    QCOMPARE(menu.count(), 2);
    w.chart->setStyleCommand(5, 0);
    w.chart->setStyleCommand(7, 0);
    QCOMPARE(w.chart->paintBoard()->menuTarget()->style, paint::kDot);
    QCOMPARE(w.chart->paintBoard()->menuTarget()->width, 2);
    w.chart->setStyleCommand(1, 0);
    QCOMPARE(int(w.chart->paintBoard()->tools().size()), 1);
    QVERIFY(!w.chart->paintBoard()->menuTarget());
    QVERIFY(w.chart->savePaintData(kCode, kMarket, kCycle));
    QCOMPARE(savedArray().size(), 1);
    QCOMPARE(savedArray()[0].toObject().value("type").toString(), QStringLiteral("PaintLine"));
}

void TestPaintTools::textRoundTrip() {
    removeFile();
    Window w(dailyChart());
    QSignalSpy dialog(w.chart.get(), &QChart::showTextDlg);
    w.chart->setPaintBoardQChart("CPaintText");
    place(w.window, 1);
    QCOMPARE(dialog.count(), 1);
    QCOMPARE(dialog[0][2].toString(), QStringLiteral("请输入文字"));
    QCOMPARE(dialog[0][3].toString(), QStringLiteral("#ffffff"));
    const uint id = dialog[0][1].toUInt();
    const QString text = QStringLiteral("压力位 \"10.5\"\n第二行\\");
    w.chart->setPaintBoardEditText(id + 1, "ignored", "#00ff00", QString());
    w.chart->setPaintBoardEditText(id, text, "#ff0000", QString());
    QVERIFY(w.chart->savePaintData(kCode, kMarket, kCycle));
    const QJsonObject saved = savedArray()[0].toObject();
    QCOMPARE(saved.value("text").toString(), text);
    QCOMPARE(saved.value("m_color").toString(), QStringLiteral("ff0000"));

    auto reopened = dailyChart();
    auto* back = reopened->paintBoard()->tools().front()->textEditor();
    QVERIFY(back);
    QCOMPARE(static_cast<CPaintText*>(reopened->paintBoard()->tools().front())->text, text);
}

QTEST_MAIN(TestPaintTools)
#include "tst_paint_tools.moc"
