// Crosshair moves, keyboard zoom and scroll, the title strips and layer images a chart drives,
// and the interval statistics.
#include "chart/chart_children.h"
#include "chart_fixture.h"
#include "paint/cpaint_board.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

using fixture::feedKLine;
using fixture::kpoints;

namespace {

// A title strip and a layer image as the chart sees them: they record what they were told.
class RecordingTitle : public QQuickItem, public chart::TitleView {
public:
    using QQuickItem::QQuickItem;
    void setCTXData(CTXLayer* formulas) override { layer = formulas; }
    void setCurX(int bar) override { bars.append(bar); }
    CTXLayer* layer = nullptr;
    QVector<int> bars;
};

class RecordingLayer : public QQuickItem, public chart::LayerView {
    Q_OBJECT
public:
    using QQuickItem::QQuickItem;
    void setWindow(int b, int e) override { window = {b, e}; }
    void setLayer(CTXLayer* l) override {
        layer = l;
        ++renders;
    }
    QVector<int> window;
    CTXLayer* layer = nullptr;
    int renders = 0;
};

std::unique_ptr<QChart> klineChart(int bars) {
    auto chart = fixture::makeChart();
    chart->setLineType("kline");
    chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
    if (bars > 0) {
        feedKLine(*chart, kpoints(bars));
    }
    return chart;
}

QString valueOf(const QJsonArray& a, const QString& name) {
    for (const QJsonValue& v : a) {
        if (v.toObject().value("name").toString() == name) {
            return v.toObject().value("vol").toString();
        }
    }
    return QStringLiteral("<missing>");
}

}  // namespace

class TestQChartInteraction : public QObject {
    Q_OBJECT

private slots:
    void crosshairKeys_data() {
        QTest::addColumn<QString>("main");
        QTest::addColumn<QVector<int>>("window");  // begin, end, crosshair
        QTest::addColumn<int>("target");
        QTest::addColumn<QVector<int>>("expected");
        QTest::addColumn<bool>("moved");  // reCalcShow emitted
        QTest::newRow("inside the window") << "KLINE" << QVector<int>{380, 499, 450} << 451
                                           << QVector<int>{380, 499, 451} << false;
        QTest::newRow("right past the newest bar")
            << "KLINE" << QVector<int>{380, 499, 499} << 500 << QVector<int>{381, 499, 499} << true;
        QTest::newRow("left from the newest bar") << "KLINE" << QVector<int>{381, 499, 499} << 498
                                                  << QVector<int>{381, 499, 498} << false;
        QTest::newRow("right slides the window")
            << "KLINE" << QVector<int>{100, 219, 219} << 220 << QVector<int>{101, 220, 220} << true;
        QTest::newRow("left slides the window")
            << "KLINE" << QVector<int>{100, 219, 100} << 99 << QVector<int>{99, 218, 99} << true;
        QTest::newRow("left at bar 0")
            << "KLINE" << QVector<int>{0, 119, 0} << -1 << QVector<int>{0, 119, 0} << false;
        QTest::newRow("left at bar 0 of a short series")
            << "KLINE" << QVector<int>{0, 49, 0} << -1 << QVector<int>{0, 49, 0} << false;
        QTest::newRow("far past the newest bar")
            << "KLINE" << QVector<int>{380, 499, 499} << 2147483647 << QVector<int>{499, 499, 499}
            << true;
        QTest::newRow("minute chart stops at the last minute")
            << "MLINE" << QVector<int>{0, 99, 99} << 100 << QVector<int>{0, 99, 99} << false;
    }
    void crosshairKeys() {
        QFETCH(QString, main);
        QFETCH(QVector<int>, window);
        QFETCH(int, target);
        QFETCH(QVector<int>, expected);
        QFETCH(bool, moved);
        const int bars = main == "MLINE" ? 100 : (window[1] < 119 ? 50 : 500);
        auto chart = fixture::makeChart();
        chart->setLineType(main == "MLINE" ? "mline" : "kline");
        chart->appendFormula(0, main, "NO", "NO");
        feedKLine(*chart, kpoints(bars));
        chart->updateReCalcShow(window[0], window[1], main == "MLINE" ? 242 : 120, window[2]);
        QSignalSpy shows(chart.get(), &QChart::reCalcShow);
        QSignalSpy moves(chart.get(), &QChart::crosshairChange);
        chart->updateCrosshairPos(target);
        QCOMPARE(chart->getBegin(), expected[0]);
        QCOMPARE(chart->getEnd(), expected[1]);
        QCOMPARE(chart->getCrosshairPos(), expected[2]);
        QCOMPARE(shows.count(), moved ? 1 : 0);
        QCOMPARE(moves.count(), 1);
        QCOMPARE(moves[0][1].toInt(), expected[2]);
        // The pointer is put on the bar's centre and close.
        QCOMPARE(chart->getMousePosX(), chart->getPointX(expected[2] - expected[0]));
        QCOMPARE(chart->getMousePosY(), chart->getPointY(chart->getPosDataF(expected[2], "close")));
    }

    void zoomSequence_data() {
        QTest::addColumn<QString>("direction");
        QTest::addColumn<int>("from");
        QTest::addColumn<QVector<int>>("steps");
        QTest::newRow("in") << "up" << 120 << QVector<int>{80, 53, 35, 23, 15, 10, 8, 8};
        QTest::newRow("out") << "down" << 8 << QVector<int>{12, 18, 27, 41, 62};
    }
    void zoomSequence() {
        QFETCH(QString, direction);
        QFETCH(int, from);
        QFETCH(QVector<int>, steps);
        auto chart = klineChart(5000);
        chart->setkShowNumber(from);
        QSignalSpy more(chart.get(), &QChart::loadMoreKLine);
        for (int expected : steps) {
            QKeyEvent key(QEvent::KeyPress, direction == "up" ? Qt::Key_Up : Qt::Key_Down,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(chart.get(), &key);
            QCOMPARE(chart->getkShowNumber(), expected);
            QCOMPARE(chart->getEnd() - chart->getBegin() + 1, expected);
        }
        QCOMPARE(more.count(), direction == "down" ? steps.size() : 0);
    }

    void zoomOnlyOnKLine() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "MLINE", "MSCALES", "MCROSSHAIR");
        feedKLine(*chart, kpoints(300));
        chart->setkShowNumber(242);
        chart->zoomIn();
        QCOMPARE(chart->getkShowNumber(), 242);
    }

    void pointerMoves_data() {
        QTest::addColumn<bool>("fromSelf");
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("bar");
        // Window 380..499 of 120 slots of 5 px from x = 60.
        QTest::newRow("under the pointer") << true << 60.0 + 5 * 10 + 1 << 390;
        QTest::newRow("mirrored from another chart") << false << 60.0 + 5 * 10 + 1 << 390;
        QTest::newRow("left of the plot") << true << 0.0 << 380;
        QTest::newRow("right of the plot") << true << 5000.0 << 499;
    }
    void pointerMoves() {
        QFETCH(bool, fromSelf);
        QFETCH(double, x);
        QFETCH(int, bar);
        auto chart = klineChart(500);
        auto other = klineChart(500);
        auto* title = new RecordingTitle(chart.get());
        QSignalSpy spy(chart.get(), &QChart::crosshairChange);
        chart->updateMousePoint(fromSelf ? chart.get() : other.get(), x, 300);
        QCOMPARE(chart->getCrosshairPos(), bar);
        QCOMPARE(chart->getMousePosX(), int(x));
        QCOMPARE(chart->getMousePosY(), fromSelf ? 300 : -1);
        QCOMPARE(spy.count(), fromSelf ? 1 : 0);
        if (fromSelf) {
            QCOMPARE(spy[0][2].toInt(), int(chart->getYPoint(300)));
        }
        QCOMPARE(title->layer, chart->getLayer(0));
        QCOMPARE(title->bars.last(), bar);
    }

    void titleBarIndex_data() {
        QTest::addColumn<int>("bar");
        QTest::addColumn<int>("shown");
        QTest::newRow("inside") << 3 << 3;
        QTest::newRow("none yet") << -1 << 9;
        QTest::newRow("past the end") << 40 << 9;
    }
    void titleBarIndex() {
        QFETCH(int, bar);
        QFETCH(int, shown);
        auto chart = klineChart(10);
        auto* title = new RecordingTitle(chart.get());
        chart->updateTitleBarCTXData(bar);
        QCOMPARE(title->bars.last(), shown);
    }

    void layerImagesFollowLayout() {
        qmlRegisterType<QChart>("QChart", 1, 0, "QChart");
        qmlRegisterType<RecordingLayer>("ChartTest", 1, 0, "RecordingLayer");
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQuick 2.15
            import QChart 1.0
            import ChartTest 1.0
            QChart {
                id: c
                width: 720; height: 621
                property list<Item> subFChart: [
                    RecordingLayer { objectName: "layer0" },
                    RecordingLayer { objectName: "layer1" }
                ]
                property var destroyed: []
                function destroyFChart(name) { destroyed.push(name) }
            })",
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        auto* chart = qobject_cast<QChart*>(object.get());
        chart->setFormulaService(&fixture::registry());
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->appendFormula(1, "KLINE", "NO", "NO");
        feedKLine(*chart, kpoints(300));
        feedKLine(*chart, kpoints(300), 1);
        QQmlListReference layers(chart, "subFChart");
        auto* l0 = qobject_cast<RecordingLayer*>(layers.at(0));
        auto* l1 = qobject_cast<RecordingLayer*>(layers.at(1));
        QCOMPARE(l0->layer, chart->getLayer(0));
        QCOMPARE(l1->layer, chart->getLayer(1));
        QCOMPARE(l0->window, (QVector<int>{180, 299}));
        // A crosshair move does not re-render the layer images.
        const int renders = l0->renders;
        chart->updateMousePoint(chart, 200, 200);
        QCOMPARE(l0->renders, renders);
        // Emptying layer 1 hands its item back to the view and drops its bars.
        QVERIFY(chart->removeFormula(1, 0));
        QCOMPARE(l1->layer, nullptr);
        QCOMPARE(chart->property("destroyed").toStringList(), QStringList{"layer1"});
        QCOMPARE(chart->getKLineCount(), 1);
    }

    void destroyedLayerInViewListIsSkipped() {
        // Views keep their layers in a JS array, which turns a destroyed layer into null; the
        // chart must neither lay out into it nor touch it when the chart itself goes away.
        qmlRegisterType<QChart>("QChart", 1, 0, "QChart");
        qmlRegisterType<RecordingLayer>("ChartTest", 1, 0, "RecordingLayer");
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQuick 2.15
            import QChart 1.0
            import ChartTest 1.0
            QChart {
                width: 720; height: 621
                property var subFChart: []
                Component { id: layer; RecordingLayer {} }
                function addLayer() { var l = subFChart.slice(); l.push(layer.createObject(this)); subFChart = l }
                function dropFirst() { subFChart[0].destroy() }
            })",
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        auto* chart = qobject_cast<QChart*>(object.get());
        chart->setFormulaService(&fixture::registry());
        QMetaObject::invokeMethod(chart, "addLayer");
        QMetaObject::invokeMethod(chart, "addLayer");
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->appendFormula(1, "MA", "NO", "NO");
        feedKLine(*chart, kpoints(50));
        QMetaObject::invokeMethod(chart, "dropFirst");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        feedKLine(*chart, kpoints(51));
        object.reset();
    }

    void intervalStatistics_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QStringList>("array1");  // 总数 阴线 起始价 最高 涨幅 振幅 成交量
        QTest::addColumn<QStringList>("array2");  // 阳线 平线 终止价 最低 涨跌 换手率 成交金额
        QTest::addColumn<QString>("sdate");
        // Bar k: open 10+0.1k-0.05, close 10+0.1k, high close+0.2, low close-0.3, volume
        // 1000+k, amount 100000+k, turnover 0.01.
        QTest::newRow("three bars")
            << 2 << 4 << QStringList{"3个", "0个", "10.10", "10.60", "2.97%", "6.93%", "3009"}
            << QStringList{"3个", "0个", "10.40", "9.90", "0.30", "3.00%", "30.00万"}
            << "2020-01-04";
        QTest::newRow("from bar 0: measured from its own close")
            << 0 << 0 << QStringList{"1个", "0个", "10.00", "10.20", "-%", "5.00%", "1000"}
            << QStringList{"1个", "0个", "10.00", "9.70", "-", "1.00%", "10.00万"} << "2020-01-02";
        QTest::newRow("single bar")
            << 5 << 5 << QStringList{"1个", "0个", "10.40", "10.70", "0.96%", "4.81%", "1005"}
            << QStringList{"1个", "0个", "10.50", "10.20", "0.10", "1.00%", "10.00万"}
            << "2020-01-07";
        QTest::newRow("clamped to the series")
            << -4 << 99 << QStringList{"10个", "0个"} << QStringList{"10个", "0个", "10.90"}
            << "2020-01-02";
        QTest::newRow("given end first")
            << 4 << 2 << QStringList{"3个"} << QStringList{"3个", "0个", "10.40"} << "2020-01-04";
    }
    void intervalStatistics() {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QStringList, array1);
        QFETCH(QStringList, array2);
        QFETCH(QString, sdate);
        auto chart = klineChart(10);
        QSignalSpy spy(chart.get(), &QChart::showIntervalStatistics);
        chart->setISStartEndIndex(start, end);
        QCOMPARE(spy.count(), 1);
        const QJsonObject json = spy[0][0].toJsonObject();
        const QStringList names1{"总数", "阴线", "起始价", "最高", "涨幅", "振幅", "成交量"};
        const QStringList names2{"阳线", "平线", "终止价", "最低", "涨跌", "换手率", "成交金额"};
        for (int i = 0; i < array1.size(); ++i) {
            QCOMPARE(valueOf(json.value("array1").toArray(), names1[i]), array1[i]);
        }
        for (int i = 0; i < array2.size(); ++i) {
            QCOMPARE(valueOf(json.value("array2").toArray(), names2[i]), array2[i]);
        }
        QCOMPARE(json.value("sdate").toString(), sdate);
        QCOMPARE(json.value("dates").toArray().size(), 10);
        QCOMPARE(json.value("dates").toArray().at(9).toString(), QString("2020-01-11"));
    }

    void intervalByDates_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("emitted");
        QTest::addColumn<QVector<int>>("range");
        QTest::newRow("both found") << "2020-01-03"
                                    << "2020-01-06" << 1 << QVector<int>{1, 4};
        QTest::newRow("same day") << "2020-01-05"
                                  << "2020-01-05" << 1 << QVector<int>{3, 3};
        QTest::newRow("no such start") << "2019-01-03"
                                       << "2020-01-06" << 0 << QVector<int>{-1, -1};
        QTest::newRow("end before start") << "2020-01-06"
                                          << "2020-01-03" << 0 << QVector<int>{-1, -1};
    }
    void intervalByDates() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, emitted);
        QFETCH(QVector<int>, range);
        auto chart = klineChart(10);
        chart->startIS();
        QVERIFY(chart->isISActive());
        QSignalSpy spy(chart.get(), &QChart::showIntervalStatistics);
        chart->setISStartEnd(from, to);
        QCOMPARE(spy.count(), emitted);
        QCOMPARE(chart->getISStart(), range[0]);
        QCOMPARE(chart->getISEnd(), range[1]);
        chart->clearIS();
        QVERIFY(!chart->isISActive());
        QCOMPARE(chart->getISStart(), -1);
    }

    void intervalByDragging() {
        auto chart = klineChart(500);  // window 380..499, 5 px slots from x = 60
        chart->startIS();
        QSignalSpy spy(chart.get(), &QChart::showIntervalStatistics);
        auto send = [&](QEvent::Type type, double x) {
            QMouseEvent e(type, QPointF(x, 300), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(chart.get(), &e);
            return e.isAccepted();
        };
        QVERIFY(send(QEvent::MouseButtonPress, 60 + 5 * 20 + 2));
        send(QEvent::MouseMove, 60 + 5 * 10 + 2);
        QCOMPARE(chart->getISStart(), 390);
        QCOMPARE(chart->getISEnd(), 400);
        send(QEvent::MouseMove, 60 + 5 * 5 + 2);
        send(QEvent::MouseButtonRelease, 60 + 5 * 5 + 2);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(chart->getISStart(), 385);
        QCOMPARE(chart->getISEnd(), 400);
        QVERIFY(!chart->isISActive());
        // Without a selection in progress the item leaves presses to the views.
        QVERIFY(!send(QEvent::MouseButtonPress, 100));
    }

    // The band lives on the drawing board: painted with the drawings but never saved with
    // them; dragging its edge afterwards gives the statistics of the new interval; clearIS
    // takes it off the board.
    void intervalBandOnBoard() {
        auto chart = klineChart(500);  // window 380..499, 5 px slots from x = 60
        CPaintBoard* board = chart->paintBoard();
        chart->setPaintBoardActive(true);
        chart->setISStartEndIndex(420, 430);
        QCOMPARE(int(board->tools().size()), 1);
        QCOMPARE(board->document(), QByteArray("{\"paintArray\":[]}"));

        QSignalSpy spy(chart.get(), &QChart::showIntervalStatistics);
        auto send = [&](QEvent::Type type, double x, Qt::MouseButtons held) {
            QMouseEvent e(type, QPointF(x, 300), Qt::LeftButton, held, Qt::NoModifier);
            QCoreApplication::sendEvent(chart.get(), &e);
        };
        const double bandRight = 60 + 5 * (430 - 380) + 2;
        const double moved = 60 + 5 * (440 - 380) + 2;
        send(QEvent::MouseMove, bandRight, Qt::NoButton);
        send(QEvent::MouseButtonPress, bandRight, Qt::LeftButton);
        send(QEvent::MouseMove, moved, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, moved, Qt::NoButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(chart->getISStart(), 420);
        QCOMPARE(chart->getISEnd(), 440);

        chart->clearIS();
        QVERIFY(board->tools().empty());
        QCOMPARE(chart->getISStart(), -1);
    }
};

QTEST_MAIN(TestQChartInteraction)
#include "tst_qchart_interaction.moc"
