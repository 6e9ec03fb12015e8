// Formulas on a chart over the real registry: adding, removing, replacing, the data names the
// VM asks for, run-time failures, and charts in unusual states.
#include "chart_fixture.h"
#include "formula/formula.h"

#include <QPainter>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>
#include <cstdio>
#include <cstring>

using fixture::feedKLine;
using fixture::kpoints;

namespace {

// Collects what the process writes to standard output while it lives.
class StdoutCapture {
public:
    StdoutCapture() {
        file_.open();
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        dup2(file_.handle(), STDOUT_FILENO);
    }
    QByteArray finish() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        file_.seek(0);
        return file_.readAll();
    }

private:
    QTemporaryFile file_;
    int saved_ = -1;
};

QVector<float> outputOf(const CTXData& d, const char* name, int n) {
    QVector<float> v;
    fml_arg h = fml_get_argument(d.ctx, name);
    if (!h) {
        return v;
    }
    const float* p = fml_argument_data_number(h);
    for (int k = 0; k < n; ++k) {
        v.append(p[k]);
    }
    return v;
}

QStringList names(const QChart& chart) {
    QStringList list;
    for (const QJsonValue& v : chart.getFormulas().toJsonArray()) {
        list.append(v.toString());
    }
    return list;
}

}  // namespace

class TestQChartFormulas : public QObject {
    Q_OBJECT

private slots:
    void appending() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->appendFormula(0, "NO SUCH FORMULA", "NO", "NO");
        chart->appendFormula(0, "MA", "NO", "NO", 0x00FF0000u);
        chart->appendFormula(5, "KLINE", "NO", "NO");
        QCOMPARE(names(*chart), (QStringList{"KLINE", "MA"}));
        QCOMPARE(chart->getLayerCount(), 2);  // index 5 made layer 1, not layer 5
        QCOMPARE(chart->getMainName(), QString("KLINE"));
        const CTXData* ma = chart->getCTXData(1);
        QVERIFY(ma && ma->ctx != 0);
        // The overlay colour is a static argument holding the colour bits.
        fml_arg color = fml_get_static_argument(ma->ctx, "_color");
        uint32_t bits = 0;
        std::memcpy(&bits, fml_argument_data_number(color), 4);
        QCOMPARE(bits, 0x00FF0000u);
        auto inst = chart->formulaOf(*ma);
        QVERIFY(inst);
        QCOMPARE(inst->params.back().name, QString("_color"));
        QVERIFY(inst->title.startsWith("MA("));
    }

    void removing_data() {
        QTest::addColumn<QStringList>("layer0");
        QTest::addColumn<QStringList>("layer1");
        QTest::addColumn<int>("v");
        QTest::addColumn<int>("a");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("left0");
        QTest::addColumn<int>("layers");
        QTest::addColumn<int>("series");
        QTest::addColumn<bool>("seriesDropped");
        const QStringList k{"KLINE", "MA", "BOLL"};
        QTest::newRow("no layers") << QStringList{} << QStringList{} << -1 << -1 << false
                                   << QStringList{} << 0 << 0 << false;
        QTest::newRow("last of the last layer")
            << k << QStringList{"KLINE"} << -1 << -1 << true << k << 1 << 1 << true;
        QTest::newRow("middle of layer 0") << k << QStringList{} << 0 << 1 << true
                                           << QStringList{"KLINE", "BOLL"} << 1 << 1 << false;
        QTest::newRow("last counted from the end") << k << QStringList{} << 0 << -1 << true
                                                   << QStringList{"KLINE", "MA"} << 1 << 1 << false;
        QTest::newRow("out of range is not an error")
            << k << QStringList{} << 0 << 7 << true << k << 1 << 1 << false;
        QTest::newRow("too far from the end")
            << k << QStringList{} << 0 << -9 << false << k << 1 << 1 << false;
        QTest::newRow("the only formula takes its series")
            << QStringList{"KLINE"} << QStringList{} << 0 << 0 << true << QStringList{} << 0 << 0
            << true;
    }
    void removing() {
        QFETCH(QStringList, layer0);
        QFETCH(QStringList, layer1);
        QFETCH(int, v);
        QFETCH(int, a);
        QFETCH(bool, result);
        QFETCH(QStringList, left0);
        QFETCH(int, layers);
        QFETCH(int, series);
        QFETCH(bool, seriesDropped);
        auto chart = fixture::makeChart();
        for (const QString& n : layer0) {
            chart->appendFormula(0, n, "NO", "NO");
        }
        for (const QString& n : layer1) {
            chart->appendFormula(1, n, "NO", "NO");
        }
        if (!layer0.isEmpty()) {
            feedKLine(*chart, kpoints(50));
        }
        if (!layer1.isEmpty()) {
            feedKLine(*chart, kpoints(50, 0, 30), 1);
        }
        QSignalSpy kdata(chart.get(), &QChart::syncUpdateKData);
        QCOMPARE(chart->removeFormula(v, a), result);
        QCOMPARE(names(*chart), left0);
        QCOMPARE(chart->getLayerCount(), layers);
        QCOMPARE(chart->getKLineCount(), series);
        QCOMPARE(kdata.count(), seriesDropped ? 1 : 0);
        // What remains still evaluates.
        if (const CTXData* d = chart->getCTXData(0)) {
            QVERIFY(d->series && d->series->size() == 50);
        }
    }

    void clearing_data() {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("left0");
        QTest::addColumn<int>("layers");
        QTest::newRow("everything") << "all" << QStringList{} << 0;
        QTest::newRow("keep the first layer")
            << "saveFirst" << QStringList{"KLINE", "MA", "VOL"} << 1;
        QTest::newRow("by name") << "MA" << QStringList{"KLINE", "VOL"} << 2;
        QTest::newRow("one other than the base") << "other:VOL" << QStringList{"KLINE", "VOL"} << 2;
    }
    void clearing() {
        QFETCH(QString, call);
        QFETCH(QStringList, left0);
        QFETCH(int, layers);
        auto chart = fixture::makeChart();
        for (const char* n : {"KLINE", "MA", "VOL"}) {
            chart->appendFormula(0, n, "NO", "NO");
        }
        chart->appendFormula(1, "KLINE", "NO", "NO");
        feedKLine(*chart, kpoints(30));
        if (call == "all") {
            chart->clearFormula(false);
        } else if (call == "saveFirst") {
            chart->clearFormula(true);
        } else if (call.startsWith("other:")) {
            chart->clearFormulaOther(call.mid(6));
        } else {
            chart->clearFormula(call);
        }
        QCOMPARE(names(*chart), left0);
        QCOMPARE(chart->getLayerCount(), layers);
    }

    void replacing() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->appendFormula(0, "MA", "NO", "NO");
        chart->appendFormula(1, "MA", "NO", "NO");
        feedKLine(*chart, kpoints(60));
        feedKLine(*chart, kpoints(60), 1);
        const int oldCtx = chart->getCTXData(1)->ctx;

        chart->replaceFormula("MA", "BOLL");
        QCOMPARE(names(*chart), (QStringList{"KLINE", "BOLL"}));
        QCOMPARE((*chart->getLayer(1))[0].name, QString("BOLL"));
        QVERIFY(chart->getCTXData(1)->ctx != oldCtx);
        QVERIFY(chart->formulaOf(*chart->getCTXData(1)));

        chart->replaceFormula("BOLL", "NO SUCH FORMULA");
        QCOMPARE(names(*chart), (QStringList{"KLINE", "BOLL"}));

        chart->replaceFormula("SKLINE");  // the main formula
        QCOMPARE(chart->getMainName(), QString("SKLINE"));

        const int before = chart->getCTXData(1)->ctx;
        chart->reLoadFormula();
        const CTXData* boll = chart->getCTXData(1);
        QVERIFY(boll->ctx != before || chart->formulaOf(*boll));
        QCOMPARE(names(*chart), (QStringList{"SKLINE", "BOLL"}));
        // Reloaded formulas evaluate again over the same bars.
        QVERIFY(fml_ctx_op_count(boll->ctx, -1) > 0);
        QCOMPARE(QByteArray(fml_ctx_last_error(boll->ctx)), QByteArray());
    }

    void dataNames_data() {
        QTest::addColumn<QString>("probe");
        QTest::addColumn<int>("bars");
        QTest::addColumn<QVector<float>>("values");
        QTest::newRow("BARSTATUS one bar") << "T_BARSTATUS" << 1 << QVector<float>{1};
        QTest::newRow("BARSTATUS two bars") << "T_BARSTATUS" << 2 << QVector<float>{1, 2};
        QTest::newRow("BARSTATUS three bars") << "T_BARSTATUS" << 3 << QVector<float>{1, 0, 2};
        QTest::newRow("CURRBARSCOUNT") << "T_COUNT" << 3 << QVector<float>{3, 2, 1};
        QTest::newRow("ISLASTBAR") << "T_LAST" << 3 << QVector<float>{0, 0, 1};
        QTest::newRow("DATE") << "T_DATE" << 2 << QVector<float>{1200102, 1200103};
        QTest::newRow("DYNAINFO(3): first previous close")
            << "T_PCLOSE" << 3 << QVector<float>{10, 10, 10};
    }
    void dataNames() {
        QFETCH(QString, probe);
        QFETCH(int, bars);
        QFETCH(QVector<float>, values);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, probe, "NO", "NO");
        feedKLine(*chart, kpoints(bars));
        QCOMPARE(outputOf(*chart->getCTXData(0), "X", bars), values);
    }

    // The formulas of a series read its columns lent from one gathering per evaluation: each
    // sees its own series' bars, and the bars as they are after a change.
    void columnsFollowTheBars() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "T_CLOSE", "NO", "NO");
        chart->appendFormula(0, "T_CLOSE", "NO", "NO");
        chart->appendFormula(1, "T_CLOSE", "NO", "NO");
        feedKLine(*chart, kpoints(30));
        feedKLine(*chart, kpoints(30, 0, 50.0f), 1);
        auto closes = [](float base) {
            QVector<float> v;
            for (const QuoteKPoint& p : kpoints(30, 0, base)) {
                v.append(p.close);
            }
            return v;
        };
        const CTXLayer& main = *chart->getLayer(0);
        const CTXLayer& overlay = *chart->getLayer(1);
        QCOMPARE(main.size(), size_t(2));
        QCOMPARE(outputOf(main[0], "X", 30), closes(10.0f));
        QCOMPARE(outputOf(main[1], "X", 30), closes(10.0f));
        QCOMPARE(outputOf(overlay[0], "X", 30), closes(50.0f));

        feedKLine(*chart, kpoints(30, 0, 20.0f));
        QCOMPARE(outputOf(main[0], "X", 30), closes(20.0f));
        QCOMPARE(outputOf(main[1], "X", 30), closes(20.0f));
        fml_op_line line{};
        QVERIFY(fml_ctx_op_line(main[1].ctx, &line, 0));
        QCOMPARE(QVector<float>(line.values, line.values + line.count), closes(20.0f));
    }

    void dynainfoNeedsBars() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "T_PCLOSE", "NO", "NO");
        // Outside an evaluation pass the chart has no current series: the native fails.
        const int ctx = chart->getCTXData(0)->ctx;
        fml_ctx_clean(ctx);
        fml_ctx_data_length(ctx, 0);
        QCOMPARE(fml_vm_run(chart->vm(), ctx), 0);
    }

    void runtimeFailure() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->appendFormula(0, "T_BADINFO", "NO", "NO");
        chart->appendFormula(0, "MA", "NO", "NO");
        StdoutCapture out;
        feedKLine(*chart, kpoints(30));
        const QByteArray printed = out.finish();
        QVERIFY2(printed.contains("index cacls error:\n"), printed.constData());
        // The failing formula has nothing to draw; the ones after it were still evaluated.
        QCOMPARE(fml_ctx_op_count(chart->getCTXData(1)->ctx, -1), 0);
        QVERIFY(fml_ctx_op_count(chart->getCTXData(2)->ctx, -1) > 0);
        QVERIFY(chart->getCTXData(0)->geo.max > chart->getCTXData(0)->geo.min);
    }

    void everyRegistryFormula_data() {
        QTest::addColumn<QString>("name");
        for (const auto& f : fixture::registry().formulas()) {
            if (!f->name.startsWith("T_")) {
                QTest::newRow(qPrintable(f->name)) << f->name;
            }
        }
    }
    void everyRegistryFormula() {
        QFETCH(QString, name);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        chart->appendFormula(0, name, "NO", "NO");
        feedKLine(*chart, kpoints(300));
        const CTXData* d = chart->getCTXData(1);
        QVERIFY(d && d->ctx != 0);
        QCOMPARE(QByteArray(fml_ctx_last_error(d->ctx)), QByteArray());
        QVERIFY(std::isfinite(d->geo.max) && std::isfinite(d->geo.min));
    }

    void robustness_data() {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("showNumber");
        QTest::newRow("empty series") << "KLINE" << 0 << 120;
        QTest::newRow("single bar") << "KLINE" << 1 << 120;
        QTest::newRow("all outputs missing") << "T_MISSING" << 50 << 120;
        QTest::newRow("failing formula") << "T_BADINFO" << 50 << 120;
        QTest::newRow("window larger than the series") << "MACD" << 10 << 5000;
        QTest::newRow("zoomed in to one bar") << "KLINE" << 500 << 1;
        QTest::newRow("zoomed out beyond reason") << "KLINE" << 500 << 2000000000;
        QTest::newRow("minute base on day bars") << "MLINE" << 20 << 242;
    }
    void robustness() {
        QFETCH(QString, formula);
        QFETCH(int, bars);
        QFETCH(int, showNumber);
        auto chart = fixture::makeChart();
        chart->appendFormula(0, formula, "KSCALES", "KCROSSHAIR");
        chart->appendFormula(0, "VOL", "NO", "NO");
        StdoutCapture out;
        if (bars > 0) {
            feedKLine(*chart, kpoints(bars));
        }
        chart->setkShowNumber(showNumber);
        chart->updateReCalcShow(-100, 1 << 30, showNumber, 1 << 30);
        chart->updateMousePoint(chart.get(), 1e9, -1e9);
        chart->updateCrosshairPos(-50);
        chart->updateCrosshairPos(1 << 30);
        chart->zoomIn();
        chart->zoomOut();
        chart->setISStartEndIndex(-10, 1 << 30);
        out.finish();
        QImage image(720, 621, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        chart->paint(&painter);
        painter.end();
        const CTXData* d = chart->getCTXData(0);
        QVERIFY(d);
        QVERIFY(std::isfinite(d->geo.max) && std::isfinite(d->geo.min));
        QVERIFY(chart->getBegin() >= 0);
        QVERIFY(chart->getEnd() >= chart->getBegin());
        QVERIFY(chart->getEnd() <= std::max(bars - 1, 0));
        QVERIFY(chart->getCrosshairPos() <= std::max(bars - 1, 0));
        QVERIFY(std::isfinite(chart->getYPoint(300)));
        chart->getTimeBarTime(5);
        chart->getPosTitle(chart->getCrosshairPos());
    }

    void emptyChartQueries() {
        auto chart = fixture::makeChart();
        QCOMPARE(chart->getKLineCount(), 0);
        QCOMPARE(chart->getFirstKLineSize(), 0);
        QCOMPARE(chart->getPointCount(3), 0);
        QVERIFY(!chart->getKData(0));
        QVERIFY(!chart->getPosKData(0));
        QVERIFY(!chart->getCTXData(0));
        QCOMPARE(chart->getDecimal(), 2);
        QCOMPARE(chart->getMainName(), QString());
        QCOMPARE(chart->getXPoint(100), 0);
        QCOMPARE(chart->getPointY(10), 0);
        QCOMPARE(chart->getPosDataS(0, "close"), QString());
        QCOMPARE(chart->getPosDataF(0, "close"), FMLInvalidValue);
        QCOMPARE(chart->getPosTime(0), 0u);
        QVERIFY(chart->getTimeBarTime(5).isEmpty());
        QCOMPARE(chart->getPosTitle(0), QString());
        QCOMPARE(chart->getFormulas().toJsonArray(), QJsonArray());
    }
};

QTEST_MAIN(TestQChartFormulas)
#include "tst_qchart_formulas.moc"
