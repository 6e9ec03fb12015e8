// The built-in formulas through the registry and the VM: every one compiles and runs over short
// and long series, and the behaviours the charts rely on hold.
#include "formula/builtins.h"
#include "formula/formula_service.h"
#include "tests/libformula/test_bars.h"

#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstring>

using namespace formula;
using testbars::ChartVm;
using testbars::Series;

namespace {

std::vector<fml_op_line> lines(int ctx) {
    std::vector<fml_op_line> out;
    for (int j = 0; j < fml_ctx_op_count(ctx, -1); ++j) {
        int kind = 0, op = 0;
        fml_ctx_op_seq_get(ctx, j, &kind, &op);
        fml_op_line r{};
        if (kind == FML_DRAW_LINE && fml_ctx_op_line(ctx, &r, op)) {
            out.push_back(r);
        }
    }
    return out;
}

uint32_t bgr(int r, int g, int b) {
    return uint32_t(b) << 16 | uint32_t(g) << 8 | uint32_t(r);
}

}  // namespace

class TestBuiltins : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerBuiltinFormulas(service_); }

    void everyProgramCompiles() {
        for (size_t i = 0; i < builtinCount(); ++i) {
            Program p;
            QVERIFY2(builtinProgram(i, &p), builtin(i).code);
            QVERIFY(!p.tokens.empty());
        }
    }

    void registrationOrder() {
        QStringList codes;
        for (const auto& f : service_.formulas()) {
            codes << f->code;
        }
        QCOMPARE(codes.size(), 47);
        QCOMPARE(codes.mid(0, 8), QStringList({"MLINE", "SMLINE", "分时成交", "MVOL", "KLINE",
                                               "SKLINE", "VOL", "MACD"}));
        QCOMPARE(codes.mid(22, 3), QStringList({"EXPMA", "ZJDX", "FSJC"}));
        QCOMPARE(codes.last(), QString("ZLXC"));
        QStringList groups;
        for (const auto& g : service_.groups()) {
            groups << g->code;
        }
        QCOMPARE(groups, QStringList({"BBI", "EXPMA", "XYZ", "DJCY", "LC", "ZSLTD", "DBZ", "QLCH",
                                      "ENEGDX", "CPJC", "YSSN", "BSJC"}));
        QCOMPARE(service_.findGroup("一石三鸟")->formulas,
                 QStringList({"多空分界", "波段提醒", "主力吸筹"}));
        // Every group member is a registered formula.
        for (const auto& g : service_.groups()) {
            for (const QString& m : g->formulas) {
                QVERIFY2(service_.find(m), qPrintable(m));
            }
        }
    }

    void runsOverAnyLength_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("bars");
        for (const auto& f : service_.formulas()) {
            for (int n : {1, 2, 10000}) {
                QTest::newRow(qPrintable(f->code + "/" + QString::number(n))) << f->name << n;
            }
        }
    }
    void runsOverAnyLength() {
        QFETCH(QString, name);
        QFETCH(int, bars);
        ChartVm vm;
        auto inst = service_.find(name)->create(vm.vm);
        QVERIFY(inst->ctx != 0);
        Series s;
        s.bars = testbars::walk(bars);
        QVERIFY2(vm.run(inst->ctx, s) == 1, fml_ctx_last_error(inst->ctx));
        QVERIFY(fml_ctx_op_count(inst->ctx, -1) > 0 || name == "SMLINE");
        float hi, lo;
        if (fml_ctx_output_maxmin(inst->ctx, 0, bars, &hi, &lo)) {
            QVERIFY(hi >= lo);
        }
        // A second run over the same context gives the same outputs.
        int ops = fml_ctx_op_count(inst->ctx, -1);
        QVERIFY(vm.run(inst->ctx, s) == 1);
        QCOMPARE(fml_ctx_op_count(inst->ctx, -1), ops);
    }

    // Over a long series every built-in draws something: no program is dead for lack of a
    // working function or extension selector.
    void drawsSomething_data() {
        QTest::addColumn<QString>("name");
        for (const auto& f : service_.formulas()) {
            if (f->name != "SMLINE") {
                QTest::newRow(qPrintable(f->code)) << f->name;
            }
        }
    }
    void drawsSomething() {
        QFETCH(QString, name);
        ChartVm vm;
        auto inst = service_.find(name)->create(vm.vm);
        Series s;
        s.bars = testbars::walk(3000, 3);
        QVERIFY(vm.run(inst->ctx, s));
        int shown = 0;
        for (int j = 0; j < fml_ctx_op_count(inst->ctx, -1); ++j) {
            int kind, op;
            fml_ctx_op_seq_get(inst->ctx, j, &kind, &op);
            const float* p = nullptr;
            const float* cond = nullptr;
            fml_op_line l;
            fml_op_stick st;
            fml_op_string str;
            fml_op_icon ic;
            fml_op_number nu;
            fml_op_band b;
            fml_op_k_line k;
            fml_op_fix_string fs;
            switch (kind) {
                case FML_DRAW_LINE:
                    fml_ctx_op_line(inst->ctx, &l, op);
                    p = l.values;
                    break;
                case FML_DRAW_STICK:
                    fml_ctx_op_stick(inst->ctx, &st, op);
                    p = st.price1;
                    cond = st.condition;
                    break;
                case FML_DRAW_STRING:
                    fml_ctx_op_string(inst->ctx, &str, op);
                    p = str.price;
                    break;
                case FML_DRAW_ICON:
                    fml_ctx_op_icon(inst->ctx, &ic, op);
                    p = ic.price;
                    break;
                case FML_DRAW_NUMBER:
                    fml_ctx_op_number(inst->ctx, &nu, op);
                    p = nu.price;
                    break;
                case FML_DRAW_BAND:
                    fml_ctx_op_band(inst->ctx, &b, op);
                    p = b.series1;
                    break;
                case FML_DRAW_K_LINE:
                    fml_ctx_op_k_line(inst->ctx, &k, op);
                    p = k.close;
                    break;
                case FML_DRAW_FIX_STRING:
                    fml_ctx_op_fix_string(inst->ctx, &fs, op);
                    shown += fs.visible;
                    break;
                default:
                    break;
            }
            for (int i = 0; p && i < 3000; ++i) {
                bool on = p[i] != FMLInvalidValue &&
                          (!cond || (cond[i] != 0 && cond[i] != FMLInvalidValue));
                shown += on;
            }
        }
        QVERIFY(shown > 0);
    }

    // The extension-driven strategies find their structures on a long series.
    void extensionStructures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("variable");
        QTest::newRow("龙禅 strokes") << "龙禅"
                                      << "BI";
        QTest::newRow("龙禅 zones") << "龙禅"
                                    << "ZSKS";
        QTest::newRow("逍遥指 turns") << "逍遥指"
                                      << "TUD";
        QTest::newRow("逍遥指 support lines") << "逍遥指"
                                              << "TLU";
        QTest::newRow("逍遥指 resistance") << "逍遥指"
                                           << "TBL";
        QTest::newRow("逍遥指副图 pivots") << "逍遥指副图"
                                           << "TB";
        QTest::newRow("BS决策 zigzag turns") << "BS决策"
                                             << "UP";
    }
    void extensionStructures() {
        QFETCH(QString, name);
        QFETCH(QString, variable);
        ChartVm vm;
        auto inst = service_.find(name)->create(vm.vm);
        Series s;
        s.bars = testbars::walk(3000, 3);
        QVERIFY(vm.run(inst->ctx, s));
        auto v = testbars::read(inst->ctx, variable.toUtf8().constData(), 3000);
        QCOMPARE(int(v.size()), 3000);
        int marks = int(std::count_if(v.begin(), v.end(),
                                      [](float x) { return x != 0 && x != FMLInvalidValue; }));
        QVERIFY2(marks > 2, qPrintable(QString::number(marks)));
    }

    // 潜龙出海: a launch bar, a consolidation that holds its low, then a strong bar: the box
    // spans them, marked 1 at the launch, 3 inside and 2 on the strong bar.
    void dragonBox() {
        Series s;
        float price = 10;
        auto add = [&](float open, float close, float high, float low) {
            testbars::Bar b{};
            b.open = open;
            b.close = close;
            b.high = high;
            b.low = low;
            b.vol = 1e6f;
            b.sum = 5e8f;
            b.p_close = s.bars.empty() ? close : s.bars.back().close;
            s.bars.push_back(b);
        };
        for (int i = 0; i < 120; ++i) {
            float next = price * 1.002f;
            add(price, next, next * 1.001f, price * 0.999f);
            price = next;
        }
        float launchClose = price * 1.07f;
        float launchLow = price * 0.998f;
        add(price, launchClose, launchClose * 1.001f, launchLow);  // bar 120
        for (int i = 0; i < 12; ++i) {                             // bars 121..132
            add(launchClose * 0.99f, launchClose * 0.985f, launchClose * 0.995f, launchLow * 1.01f);
        }
        float open = launchClose * 0.985f;
        add(open, open * 1.04f, open * 1.05f, launchLow * 1.02f);  // bar 133
        for (int i = 0; i < 5; ++i) {
            add(open * 1.04f, open * 1.04f, open * 1.045f, open * 1.035f);
        }
        ChartVm vm;
        auto inst = service_.find("潜龙出海")->create(vm.vm);
        QVERIFY(vm.run(inst->ctx, s));
        int n = int(s.bars.size());
        auto rem = testbars::read(inst->ctx, "REM", n);
        auto top = testbars::read(inst->ctx, "TOP1", n);
        QCOMPARE(rem[120], 1.0f);
        QCOMPARE(rem[126], 3.0f);
        QCOMPARE(rem[133], 2.0f);
        QCOMPARE(rem[119], 0.0f);
        QCOMPARE(rem[134], 0.0f);
        QCOMPARE(top[125], s.bars[133].high);
        QCOMPARE(top[134], FMLInvalidValue);
    }

    void listingMasks_data() {
        QTest::addColumn<int>("mask");
        QTest::addColumn<QList<int>>("allowed");
        QTest::newRow("main") << 3 << QList<int>{1, 2};
        QTest::newRow("sub") << 60 << QList<int>{4, 8, 68};
        QTest::newRow("all") << 63 << QList<int>{1, 2, 4, 8, 68};
    }
    void listingMasks() {
        QFETCH(int, mask);
        QFETCH(QList<int>, allowed);
        QSet<int> seen;
        for (const auto& f : service_.list(mask)) {
            QVERIFY2(allowed.contains(f->kind), qPrintable(f->name));
            seen.insert(f->kind);
        }
        QCOMPARE(seen.size(), allowed.size());
    }

    void titles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("KDJ") << "KDJ"
                             << "KDJ(9,3,3)";
        QTest::newRow("MA") << "MA"
                            << "MA(5,10,20,60)";
        QTest::newRow("XYZ") << "逍遥指"
                             << "逍遥指(64)";
        QTest::newRow("no params") << "龙禅"
                                   << "龙禅()";
        QTest::newRow("MA2 below minimum") << "MA2"
                                           << "MA2(5,10,20,60,120,250,0,0,0,0)";
    }
    void titles() {
        QFETCH(QString, name);
        QFETCH(QString, title);
        ChartVm vm;
        QCOMPARE(service_.find(name)->create(vm.vm)->title, title);
    }

    void paramHints() {
        QCOMPARE(service_.find("VOL")->paramText, QString("{}日移动平均;\r\n{}日移动平均;"));
        QCOMPARE(service_.find("龙禅")->paramText, QString("无参数设置"));
        QCOMPARE(service_.find("KLINE")->paramText, QString());
        QCOMPARE(service_.find("MA2")->paramText.count("\r\n"), 10);
    }

    // The palette in order, colours normalised to 0xBBGGRR, and the wrap after seven.
    void paletteOrder() {
        ChartVm vm;
        auto inst = service_.find("MA2")->create(vm.vm);
        Series s;
        s.bars = testbars::walk(300);
        QVERIFY(vm.run(inst->ctx, s));
        auto l = lines(inst->ctx);
        QCOMPARE(int(l.size()), 10);
        QCOMPARE(l[0].color, bgr(255, 255, 255));
        QCOMPARE(l[1].color, bgr(217, 128, 36));
        QCOMPARE(l[6].color, bgr(173, 216, 230));
        QCOMPARE(l[7].color, l[0].color);
        QCOMPARE(l[9].color, l[2].color);
        // M7..M10 are 0: those curves have no values.
        for (int k = 0; k < 300; ++k) {
            QCOMPARE(l[6].values[k], FMLInvalidValue);
        }
        QVERIFY(l[5].values[299] != FMLInvalidValue);
    }

    void macdStyles() {
        ChartVm vm;
        auto inst = service_.find("MACD")->create(vm.vm);
        Series s;
        s.bars = testbars::walk(100);
        QVERIFY(vm.run(inst->ctx, s));
        auto l = lines(inst->ctx);
        QCOMPARE(int(l.size()), 4);
        QCOMPARE(QString(l[0].name), QString());
        QCOMPARE(l[0].color, 0xFF0000u);
        QCOMPARE(l[0].style, 1);
        QCOMPARE(l[0].values[50], 0.0f);
        QCOMPARE(QString(l[1].name), QString("DIF"));
        QCOMPARE(l[1].color, bgr(255, 255, 255));  // first palette colour despite the zero line
        QCOMPARE(l[3].style, 2);
        QCOMPARE(l[3].values[80], (l[1].values[80] - l[2].values[80]) * 2);
    }

    // The strategies' rise red and fall green are QRgb values; the readers get 0xBBGGRR.
    void qrgbColours() {
        ChartVm vm;
        auto inst = service_.find("BS决策")->create(vm.vm);
        Series s;
        s.bars = testbars::walk(500);
        QVERIFY(vm.run(inst->ctx, s));
        std::vector<uint32_t> colours;
        for (int j = 0; j < fml_ctx_op_count(inst->ctx, -1); ++j) {
            int kind, op;
            fml_ctx_op_seq_get(inst->ctx, j, &kind, &op);
            fml_op_string r{};
            QVERIFY(fml_ctx_op_string(inst->ctx, &r, op));
            colours.push_back(r.color);
        }
        QCOMPARE(colours, (std::vector<uint32_t>{bgr(15, 195, 81), bgr(255, 61, 61)}));
    }

    void drawKindsOfStrategies_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("kinds");
        QTest::newRow("ENE") << "ENE轨道线" << QList<int>{1, 1, 1};
        QTest::newRow("KLINE") << "KLINE" << QList<int>{11};
        QTest::newRow("MVOL") << "MVOL" << QList<int>{1, 2, 2, 2};
        QTest::newRow("XYZFT") << "逍遥指副图" << QList<int>{1, 1, 1, 11, 7, 7};
        QTest::newRow("DKFJ") << "多空分界" << QList<int>{1, 1, 1, 1};
    }
    void drawKindsOfStrategies() {
        QFETCH(QString, name);
        QFETCH(QList<int>, kinds);
        ChartVm vm;
        auto inst = service_.find(name)->create(vm.vm);
        Series s;
        s.bars = testbars::walk(200);
        QVERIFY(vm.run(inst->ctx, s));
        QList<int> got;
        for (int j = 0; j < fml_ctx_op_count(inst->ctx, -1); ++j) {
            int kind, op;
            fml_ctx_op_seq_get(inst->ctx, j, &kind, &op);
            got << kind;
        }
        QCOMPARE(got, kinds);
    }

    void dkfjDrawsHaTwice() {
        ChartVm vm;
        auto inst = service_.find("多空分界")->create(vm.vm);
        Series s;
        s.bars = testbars::walk(300);
        QVERIFY(vm.run(inst->ctx, s));
        auto l = lines(inst->ctx);
        auto c = testbars::read(inst->ctx, "D10", 300);
        auto ha = testbars::read(inst->ctx, "HA", 300);
        QCOMPARE(l[0].color, bgr(0, 255, 0));
        QCOMPARE(l[1].color, bgr(255, 0, 0));
        QCOMPARE(l[0].width, 3.0f);
        int shown = 0;
        for (int k = 20; k < 300; ++k) {
            QCOMPARE(l[0].values[k], ha[size_t(k)]);
            bool above = s.bars[size_t(k)].close > c[size_t(k)];
            QCOMPARE(l[1].values[k], above ? ha[size_t(k)] : FMLInvalidValue);
            shown += above;
        }
        QVERIFY(shown > 0 && shown < 280);
        QCOMPARE(l[2].style, -1);
    }

    // 新量: PERIOD 5 with FROMOPEN = TOTALFZNUM = 240 makes VVOL on the last bar equal V.
    void xinliangProjectedVolume() {
        ChartVm vm;
        auto inst = service_.find("新量")->create(vm.vm);
        Series s;
        s.bars = testbars::walk(120);
        QVERIFY(vm.run(inst->ctx, s));
        auto vvol = testbars::read(inst->ctx, "VVOL", 120);
        QCOMPARE(vvol[119], s.bars[119].vol);
        QCOMPARE(vvol[118], FMLInvalidValue);
    }

    // The stop-price curve of 大爆炸 starts at the last signal bar.
    void dabaozhaStopPrice() {
        ChartVm vm;
        auto inst = service_.find("大爆炸")->create(vm.vm);
        for (uint32_t seed = 1; seed < 40; ++seed) {
            Series s;
            s.bars = testbars::walk(800, seed);
            QVERIFY(vm.run(inst->ctx, s));
            auto xg = testbars::read(inst->ctx, "XG", 800);
            int last = -1;
            for (int k = 0; k < 800; ++k) {
                if (xg[size_t(k)] != 0 && xg[size_t(k)] != FMLInvalidValue) {
                    last = k;
                }
            }
            if (last < 0) {
                continue;
            }
            auto stop = testbars::read(inst->ctx, "止损价", 800);
            QCOMPARE(stop[size_t(last)], s.bars[size_t(last)].low);
            QCOMPARE(stop[799], s.bars[size_t(last)].low);
            if (last > 0) {
                QCOMPARE(stop[size_t(last - 1)], FMLInvalidValue);
            }
            return;
        }
        QSKIP("no signal in the synthetic series");
    }

    // 吻 repeats EMA(C,20) and EMA(C,60) as separate outputs with their own palette colours.
    void wenRepeatsCurves() {
        ChartVm vm;
        auto inst = service_.find("吻")->create(vm.vm);
        Series s;
        s.bars = testbars::walk(200);
        QVERIFY(vm.run(inst->ctx, s));
        auto l = lines(inst->ctx);
        QCOMPARE(int(l.size()), 9);
        QCOMPARE(QString(l[1].name), QString("HH"));
        QCOMPARE(QString(l[3].name), QString("Q"));
        QCOMPARE(l[1].values[150], l[3].values[150]);
        QVERIFY(l[1].color != l[3].color);
        QCOMPARE(l[2].values[150], -(l[1].values[150] - l[0].values[150]));
    }

    // The three "步步高升" builders push one program and set their own static arguments.
    void steadyRiseStatics_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<float>("k1");
        QTest::addColumn<float>("k2");
        QTest::addColumn<float>("n1");
        QTest::addColumn<float>("n2");
        QTest::newRow("消费") << "步步高升消费" << 0.5f << 0.5f << 10.f << 10.f;
        QTest::newRow("中证") << "步步高升中证" << 0.4f << 0.46f << 11.f << 6.f;
        QTest::newRow("医药") << "步步高升医药" << 0.4f << 0.44f << 8.f << 7.f;
    }
    void steadyRiseStatics() {
        QFETCH(QString, name);
        QFETCH(float, k1);
        QFETCH(float, k2);
        QFETCH(float, n1);
        QFETCH(float, n2);
        ChartVm vm;
        auto f = service_.find(name);
        QVERIFY(f->params.empty());
        auto inst = f->create(vm.vm);
        QCOMPARE(*fml_argument_data_number(fml_get_static_argument(inst->ctx, "K1")), k1);
        QCOMPARE(*fml_argument_data_number(fml_get_static_argument(inst->ctx, "K2")), k2);
        QCOMPARE(*fml_argument_data_number(fml_get_static_argument(inst->ctx, "N1")), n1);
        QCOMPARE(*fml_argument_data_number(fml_get_static_argument(inst->ctx, "N2")), n2);
        Program a, b;
        size_t ia = 0, ib = 0;
        for (size_t i = 0; i < builtinCount(); ++i) {
            if (QString(builtin(i).code) == "BBGSXF")
                ia = i;
            if (QString(builtin(i).code) == f->code)
                ib = i;
        }
        builtinProgram(ia, &a);
        builtinProgram(ib, &b);
        QCOMPARE(a.tokens.size(), b.tokens.size());
    }

    // "MLINE" retitles its average curve for the two leading index codes.
    void mlineLeadingIndex_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("title");
        QTest::newRow("stock") << "600000"
                               << "均价";
        QTest::newRow("sh index") << "1A0001"
                                  << "领先指数";
        QTest::newRow("sz index") << "399001"
                                  << "领先指数";
    }
    void mlineLeadingIndex() {
        QFETCH(QString, code);
        QFETCH(QString, title);
        ChartVm vm;
        auto inst = service_.find("MLINE")->create(vm.vm);
        Series s;
        s.bars = testbars::walk(240);
        s.code = code.toStdString();
        QVERIFY2(vm.run(inst->ctx, s), fml_ctx_last_error(inst->ctx));
        fml_selected rec[10];
        int n = fml_ctx_output_selected_value(inst->ctx, 10, rec, FML_SELECTED_RECORDS);
        QCOMPARE(n, 2);
        QCOMPARE(QString::fromUtf8(rec[1].name), title);
        QCOMPARE(rec[1].value, s.bars[10].avg_price);
        QCOMPARE(testbars::read(inst->ctx, "_CC", 240)[0], s.bars[0].p_close);
    }

    void kLineReadBack() {
        ChartVm vm;
        auto inst = service_.find("KLINE")->create(vm.vm);
        Series s;
        s.bars = testbars::walk(30);
        QVERIFY(vm.run(inst->ctx, s));
        auto ts = testbars::read(inst->ctx, "_TS", 30);
        uint32_t bits;
        std::memcpy(&bits, &ts[5], 4);
        QCOMPARE(bits, s.bars[5].time);
        fml_op_k_line k{};
        QVERIFY(fml_ctx_op_k_line(inst->ctx, &k, 0));
        QCOMPARE(k.style, 0);
        QCOMPARE(k.high[3], s.bars[3].high);
        QCOMPARE(k.close[3], s.bars[3].close);
        auto sk = service_.find("SKLINE")->create(vm.vm);
        QVERIFY(vm.run(sk->ctx, s));
        QVERIFY(fml_ctx_op_k_line(sk->ctx, &k, 0));
        QCOMPARE(k.style, -9);
    }

    void compilesEveryBuiltinQuickly() {
        // Not a timing assertion: a sanity bound far above the benchmark's figure.
        auto t0 = std::chrono::steady_clock::now();
        Compiler c;
        for (size_t i = 0; i < builtinCount(); ++i) {
            Program p;
            CompileError e;
            QVERIFY(c.compile(builtin(i).program, &p, &e));
        }
        auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0);
        QVERIFY(ms.count() < 2000);
    }

private:
    FormulaService service_;
};

QTEST_APPLESS_MAIN(TestBuiltins)
#include "tst_builtins.moc"
