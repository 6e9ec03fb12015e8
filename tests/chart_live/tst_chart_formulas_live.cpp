// Every registered formula on a chart over live server data, daily bars and today's minute
// line alike: the data model feeds a chart as a quote view's would, the formula goes where its
// kind puts it (over the price bars, in their place, as a base series or in a sub-chart), the
// evaluation reports no failure and the layer image shows what the formula draws.
#include "chart/fchart.h"
#include "chart/qchart.h"
#include "formula/compiler.h"
#include "formula/formula_service.h"
#include "libformula/fml.h"
#include "quote/mq_model.h"
#include "tests/quote/live_quote_server.h"

#include <QPainter>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>
#include <cstdio>

namespace {

// Collects what is written to standard output meanwhile, where evaluation failures go.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        if (file_.open()) {
            saved_ = ::dup(STDOUT_FILENO);
            ::dup2(file_.handle(), STDOUT_FILENO);
        }
    }
    ~StdoutCapture() { text(); }
    QByteArray text() {
        if (saved_ >= 0) {
            std::fflush(stdout);
            ::dup2(saved_, STDOUT_FILENO);
            ::close(saved_);
            saved_ = -1;
            file_.seek(0);
            text_ = file_.readAll();
        }
        return text_;
    }

private:
    QTemporaryFile file_;
    int saved_ = -1;
    QByteArray text_;
};

// Whether any output of a formula has something to show on bars [begin, end).
bool drawsWithin(int ctx, int begin, int end) {
    auto any = [&](const float* values, const float* condition) {
        for (int i = begin; values && i < end; ++i)
            if (values[i] != FMLInvalidValue &&
                (!condition || (condition[i] != 0 && condition[i] != FMLInvalidValue)))
                return true;
        return false;
    };
    for (int j = 0; j < fml_ctx_op_count(ctx, -1); ++j) {
        int kind = 0, op = 0;
        fml_ctx_op_seq_get(ctx, j, &kind, &op);
        bool shown = false;
        switch (kind) {
            case FML_DRAW_LINE: {
                fml_op_line l{};
                shown = fml_ctx_op_line(ctx, &l, op) && any(l.values, nullptr);
                break;
            }
            case FML_DRAW_STICK: {
                fml_op_stick s{};
                shown = fml_ctx_op_stick(ctx, &s, op) && any(s.price1, s.condition);
                break;
            }
            case FML_DRAW_STRING: {
                fml_op_string s{};
                shown = fml_ctx_op_string(ctx, &s, op) && any(s.price, nullptr);
                break;
            }
            case FML_DRAW_ICON: {
                fml_op_icon s{};
                shown = fml_ctx_op_icon(ctx, &s, op) && any(s.price, nullptr);
                break;
            }
            case FML_DRAW_NUMBER: {
                fml_op_number s{};
                shown = fml_ctx_op_number(ctx, &s, op) && any(s.price, nullptr);
                break;
            }
            case FML_DRAW_BAND: {
                fml_op_band s{};
                shown = fml_ctx_op_band(ctx, &s, op) && any(s.series1, nullptr);
                break;
            }
            case FML_DRAW_K_LINE: {
                fml_op_k_line s{};
                shown = fml_ctx_op_k_line(ctx, &s, op) && any(s.close, nullptr);
                break;
            }
            case FML_DRAW_FIX_STRING: {
                fml_op_fix_string s{};
                shown = fml_ctx_op_fix_string(ctx, &s, op) && s.visible;
                break;
            }
            default:
                break;
        }
        if (shown)
            return true;
    }
    return false;
}

// Whether `after` shows anything `before` did not (a null image shows nothing).
bool paintedMore(const QImage& before, const QImage& after) {
    if (!before.isNull())
        return after != before;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            if (qAlpha(after.pixel(x, y)) != 0)
                return true;
    return false;
}

// A formula that fails at run time (DYNAINFO knows no selector 7): the control row that shows
// a failure would be seen.
int buildFailing(int vm) {
    formula::Compiler compiler;
    formula::Program program;
    formula::CompileError error;
    const int ctx = fml_ctx_create(vm);
    if (compiler.compile("X:C+DYNAINFO(7);", &program, &error))
        program.push(ctx);
    return ctx;
}
const QString kFailing = QStringLiteral("T_FAILS");

// A chart with one layer image, sized like a quote view's main pane. The image item is the
// chart's child, as the views make it, and goes with the chart.
struct ChartWithLayer {
    ChartWithLayer() : layer(new FChart(&chart)) {
        chart.setSize(QSizeF(1200, 500));
        layer->setSize(chart.size());
        chart.setProperty("subFChart", QVariantList{QVariant::fromValue<QObject*>(layer)});
    }
    QChart chart;
    FChart* layer;
};

}  // namespace

class TestChartFormulasLive : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyFormula_data();
    void everyFormula();

private:
    LiveQuoteServer server_;
    formula::FormulaService controls_;
    MQModel dailyModel_, minuteModel_;
    // The main charts a quote view would show; the charts under test take their bars.
    std::unique_ptr<ChartWithLayer> daily_, minute_;
};

void TestChartFormulasLive::initTestCase() {
    auto& registry = formula::FormulaService::instance();
    if (registry.formulas().empty())
        formula::registerBuiltinFormulas(registry);
    QCOMPARE(int(registry.formulas().size()), 47);
    controls_.add(std::make_shared<formula::LocalFormula>(
        formula::KindSub, kFailing, kFailing, QString(), std::vector<formula::FormulaParam>{},
        &buildFailing));
    QVERIFY2(server_.startServer(), qPrintable(server_.log()));
    QVERIFY2(server_.startEngine(), qPrintable(server_.log()));
    const QString stock = server_.firstOf(2, 1);

    daily_ = std::make_unique<ChartWithLayer>();
    daily_->chart.setCycle(33);
    daily_->chart.setLineType("kline");
    daily_->chart.appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
    daily_->chart.bindDataSignal(&dailyModel_, -1);
    dailyModel_.getPriceData(stock, 1);
    dailyModel_.getKLineData(stock, 1, 300, 33, 0);

    minute_ = std::make_unique<ChartWithLayer>();
    minute_->chart.setCycle(32);
    minute_->chart.setLineType("mline");
    minute_->chart.setkShowNumber(242);
    minute_->chart.appendFormula(0, "MLINE", "MSCALES", "MCROSSHAIR");
    minute_->chart.bindDataSignal(&minuteModel_, -1);
    minuteModel_.getPriceData(stock, 1);
    minuteModel_.getMinuteData(stock, 1, 0);

    QVERIFY(LiveQuoteServer::waitUntil([this] { return daily_->chart.getFirstKLineSize() >= 300; },
                                       &daily_->chart, &QChart::dataUpdate));
    QVERIFY(LiveQuoteServer::waitUntil([this] { return minute_->chart.getFirstKLineSize() >= 10; },
                                       &minute_->chart, &QChart::dataUpdate));
    // Both leaders paint their base series.
    QVERIFY(!daily_->layer->image().isNull());
    QVERIFY(!minute_->layer->image().isNull());
}

void TestChartFormulasLive::cleanupTestCase() {
    daily_.reset();
    minute_.reset();
    dailyModel_.cancelKLine(0);
    minuteModel_.cancelMinute(0);
    server_.stopEngine();
    server_.stopServer();
}

void TestChartFormulasLive::everyFormula_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("daily");
    for (const auto& f : formula::FormulaService::instance().formulas())
        for (bool daily : {true, false})
            QTest::newRow(qPrintable(f->code + (daily ? " daily" : " minute")))
                << f->name << f->kind << daily;
    for (bool daily : {true, false})
        QTest::newRow(daily ? "failing control daily" : "failing control minute")
            << kFailing << int(formula::KindSub) << daily;
}

void TestChartFormulasLive::everyFormula() {
    QFETCH(QString, name);
    QFETCH(int, kind);
    QFETCH(bool, daily);
    QChart& leader = daily ? daily_->chart : minute_->chart;
    const QString base = daily ? "KLINE" : "MLINE";
    const QString scales = daily ? "KSCALES" : "MSCALES";
    const QString crosshair = daily ? "KCROSSHAIR" : "MCROSSHAIR";

    ChartWithLayer view;
    QChart& chart = view.chart;
    const bool control = name == kFailing;
    if (control)
        chart.setFormulaService(&controls_);
    chart.setCycle(leader.getCycle());
    chart.setLineType(leader.getLineType());
    chart.setkShowNumber(leader.getkShowNumber(), false);
    chart.setKData(&leader, 0);
    // As the quote view places them: a base series alone with the chart's axis; over the price
    // bars without an axis of their own, or in their place with the base's; anything else is a
    // sub-chart indicator alone in its pane.
    const bool mainChart = kind & (formula::KindMainOverlay | formula::KindMainReplace);
    if (mainChart)
        chart.appendFormula(0, base, scales, crosshair);
    const QImage before = view.layer->image();

    StdoutCapture out;
    if (kind == formula::KindBase || (kind & formula::KindMainReplace))
        chart.appendFormula(0, name, scales, crosshair);
    else if (kind & formula::KindMainOverlay)
        chart.appendFormula(0, name, "NO", "NO");
    else
        chart.appendFormula(0, name, "KSCALES", "KCROSSHAIR");
    QVERIFY2(out.text().contains("index cacls error:") == control, out.text().constData());
    if (control)
        return;

    CTXLayer* layer = chart.getLayer(0);
    QVERIFY(layer && !layer->empty());
    const CTXData& d = layer->back();
    QCOMPARE(d.name, name);
    QVERIFY(d.series && !d.series->empty());
    QVERIFY(chart.getEnd() > chart.getBegin());
    const QImage after = view.layer->image();
    QVERIFY(!after.isNull());
    // The chart's own painting over the layer: axes, crosshair labels.
    QImage frame(chart.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::black);
    {
        QPainter painter(&frame);
        chart.updateCrosshairPos(chart.getEnd());
        chart.paint(&painter);
    }
    if (drawsWithin(d.ctx, chart.getBegin(), chart.getEnd() + 1))
        QVERIFY2(paintedMore(before, after),
                 "the formula's outputs left the layer image as it was");
}

QTEST_MAIN(TestChartFormulasLive)
#include "tst_chart_formulas_live.moc"
