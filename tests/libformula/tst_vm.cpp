// The VM through its C interface alone: library functions against independent computations,
// missing values, diagnostics, drawing records, colours and the extension libraries.
#include "libformula/fml.h"
#include "tests/libformula/test_bars.h"

#include <QtTest>

#include <cmath>
#include <functional>
#include <sstream>

using testbars::Bar;
using testbars::ChartVm;
using testbars::push;
using testbars::Series;

namespace {

const float X = FMLInvalidValue;

// Bars whose close is the given list (open = close, high/low around it).
Series closes(const std::vector<float>& c) {
    Series s;
    for (size_t i = 0; i < c.size(); ++i) {
        Bar b{};
        b.close = b.open = c[i];
        b.high = c[i] + 1;
        b.low = c[i] - 1;
        b.vol = 100;
        s.bars.push_back(b);
    }
    return s;
}

std::vector<float> field(const Series& s, float Bar::*f) {
    std::vector<float> v;
    for (const Bar& b : s.bars) {
        v.push_back(b.*f);
    }
    return v;
}

using Ref = std::function<std::vector<float>(const Series&)>;

std::vector<float> refMa(const std::vector<float>& x, int n) {
    std::vector<float> r(x.size(), X);
    for (size_t i = 0; i < x.size(); ++i) {
        if (n > 0 && int(i) + 1 >= n) {
            double s = 0;
            for (int k = 0; k < n; ++k)
                s += x[i - size_t(k)];
            r[i] = float(s / n);
        }
    }
    return r;
}

struct Case {
    const char* name;
    const char* rpn;
    Ref ref;
    float tolerance;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> c = {
        {"MA", "C #5 @MA", [](const Series& s) { return refMa(field(s, &Bar::close), 5); }, 1e-4f},
        {"ma lower case", "C #5 @ma",
         [](const Series& s) { return refMa(field(s, &Bar::close), 5); }, 1e-4f},
        {"MA period 0", "C #0 @MA",
         [](const Series& s) { return std::vector<float>(s.bars.size(), X); }, 0},
        {"MA negative period", "C #-3 @MA",
         [](const Series& s) { return std::vector<float>(s.bars.size(), X); }, 0},
        {"EMA", "C #12 @EMA",
         [](const Series& s) {
             auto x = field(s, &Bar::close);
             std::vector<float> r;
             double y = x[0];
             for (float v : x) {
                 y = r.empty() ? v : (2 * v + 11 * y) / 13;
                 r.push_back(float(y));
             }
             return r;
         },
         1e-4f},
        {"SMA", "C #9 #2 @SMA",
         [](const Series& s) {
             auto x = field(s, &Bar::close);
             std::vector<float> r;
             double y = x[0];
             for (float v : x) {
                 y = r.empty() ? v : (2 * v + 7 * y) / 9;
                 r.push_back(float(y));
             }
             return r;
         },
         1e-4f},
        {"STD sample", "C #10 @STD",
         [](const Series& s) {
             auto x = field(s, &Bar::close);
             std::vector<float> r(x.size(), X);
             for (size_t i = 9; i < x.size(); ++i) {
                 double m = 0, q = 0;
                 for (size_t k = i - 9; k <= i; ++k)
                     m += x[k];
                 m /= 10;
                 for (size_t k = i - 9; k <= i; ++k)
                     q += (x[k] - m) * (x[k] - m);
                 r[i] = float(std::sqrt(q / 9));
             }
             return r;
         },
         1e-3f},
        {"AVEDEV", "C #6 @AVEDEV",
         [](const Series& s) {
             auto x = field(s, &Bar::close);
             std::vector<float> r(x.size(), X);
             for (size_t i = 5; i < x.size(); ++i) {
                 double m = 0, d = 0;
                 for (size_t k = i - 5; k <= i; ++k)
                     m += x[k];
                 m /= 6;
                 for (size_t k = i - 5; k <= i; ++k)
                     d += std::fabs(x[k] - m);
                 r[i] = float(d / 6);
             }
             return r;
         },
         1e-4f},
        {"HHV partial windows", "H #7 @HHV",
         [](const Series& s) {
             auto x = field(s, &Bar::high);
             std::vector<float> r;
             for (size_t i = 0; i < x.size(); ++i) {
                 float m = x[i];
                 for (size_t k = i >= 6 ? i - 6 : 0; k <= i; ++k)
                     m = std::max(m, x[k]);
                 r.push_back(m);
             }
             return r;
         },
         0},
        {"LLV all bars", "L #0 @LLV",
         [](const Series& s) {
             auto x = field(s, &Bar::low);
             std::vector<float> r;
             float m = x[0];
             for (float v : x)
                 r.push_back(m = std::min(m, v));
             return r;
         },
         0},
        {"HHV series period", "H C #10 @MOD #1 + @HHV",
         [](const Series& s) {
             auto x = field(s, &Bar::high);
             auto c = field(s, &Bar::close);
             std::vector<float> r;
             for (size_t i = 0; i < x.size(); ++i) {
                 int n = int(std::fmod(c[i], 10.0f) + 1);
                 float m = x[i];
                 for (int k = 0; k < n && int(i) - k >= 0; ++k)
                     m = std::max(m, x[i - size_t(k)]);
                 r.push_back(m);
             }
             return r;
         },
         0},
        {"REF", "C #3 @REF",
         [](const Series& s) {
             auto x = field(s, &Bar::close);
             std::vector<float> r(x.size(), X);
             for (size_t i = 3; i < x.size(); ++i)
                 r[i] = x[i - 3];
             return r;
         },
         0},
        {"SUM window", "V #4 @SUM",
         [](const Series& s) {
             auto x = field(s, &Bar::vol);
             std::vector<float> r(x.size(), X);
             for (size_t i = 3; i < x.size(); ++i)
                 r[i] = x[i] + x[i - 1] + x[i - 2] + x[i - 3];
             return r;
         },
         0.5f},
        {"SUM cumulative", "C #0 @SUM",
         [](const Series& s) {
             std::vector<float> r;
             double t = 0;
             for (float v : field(s, &Bar::close))
                 r.push_back(float(t += v));
             return r;
         },
         1e-2f},
        {"COUNT", "C O > #5 @COUNT",
         [](const Series& s) {
             std::vector<float> r;
             for (size_t i = 0; i < s.bars.size(); ++i) {
                 int n = 0;
                 for (size_t k = i >= 4 ? i - 4 : 0; k <= i; ++k)
                     n += s.bars[k].close > s.bars[k].open;
                 r.push_back(float(n));
             }
             return r;
         },
         0},
        {"division by zero", "C C O - @/",
         [](const Series& s) {
             std::vector<float> r;
             for (const Bar& b : s.bars)
                 r.push_back(b.close == b.open ? X : b.close / (b.close - b.open));
             return r;
         },
         1e-3f},
    };
    return c;
}

bool near(float a, float b, float tol) {
    if (a == X || b == X) {
        return a == b;
    }
    return std::fabs(a - b) <= tol * std::max(1.0f, std::fabs(b));
}

std::vector<float> run1(const std::string& rpn, Series s, bool* ok = nullptr) {
    ChartVm vm;
    int ctx = fml_ctx_create(vm.vm);
    push(ctx, rpn, "R");
    bool r = vm.run(ctx, s) == 1;
    if (ok) {
        *ok = r;
    }
    auto out = r ? testbars::read(ctx, "R", int(s.bars.size())) : std::vector<float>{};
    fml_ctx_release(ctx);
    return out;
}

}  // namespace

class TestVm : public QObject {
    Q_OBJECT

private slots:
    void againstReference_data() {
        QTest::addColumn<int>("index");
        for (size_t i = 0; i < cases().size(); ++i) {
            QTest::newRow(cases()[i].name) << int(i);
        }
    }
    void againstReference() {
        QFETCH(int, index);
        const Case& c = cases()[size_t(index)];
        Series s;
        s.bars = testbars::walk(400);
        bool ok = false;
        auto got = run1(c.rpn, s, &ok);
        QVERIFY(ok);
        auto want = c.ref(s);
        QCOMPARE(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            if (!near(got[i], want[i], c.tolerance)) {
                QFAIL(qPrintable(QString("bar %1: %2 != %3").arg(i).arg(got[i]).arg(want[i])));
            }
        }
    }

    // Small hand-checked series for the signal functions.
    void signalFunctions_data() {
        QTest::addColumn<QString>("rpn");
        QTest::addColumn<QVector<float>>("close");
        QTest::addColumn<QVector<float>>("expected");
        QVector<float> c{1, 3, 2, 5, 4, 6};
        QTest::newRow("CROSS") << "C #3.5 @CROSS" << c << QVector<float>{0, 0, 0, 1, 0, 0};
        QTest::newRow("BARSLAST") << "C #4 > @BARSLAST" << c << QVector<float>{X, X, X, 0, 1, 0};
        QTest::newRow("BARSLAST gap")
            << "C #3 = @BARSLAST" << c << QVector<float>{X, 0, 1, 2, 3, 4};
        QTest::newRow("BARSCOUNT") << "C @BARSCOUNT" << c << QVector<float>{1, 2, 3, 4, 5, 6};
        QTest::newRow("BACKSET") << "C #5 = #3 @BACKSET" << c << QVector<float>{0, 1, 1, 1, 0, 0};
        QTest::newRow("FILTER") << "C #1 > #2 @FILTER" << c << QVector<float>{0, 1, 0, 0, 1, 0};
        QTest::newRow("FILTERX") << "C #1 > #2 @FILTERX" << c << QVector<float>{0, 0, 1, 0, 0, 1};
        QTest::newRow("CONST") << "C @CONST" << c << QVector<float>{6, 6, 6, 6, 6, 6};
        QTest::newRow("EXIST") << "C #5 = #2 @EXIST" << c << QVector<float>{0, 0, 0, 1, 1, 0};
        QTest::newRow("LAST") << "C #1 > #2 #0 @LAST" << c << QVector<float>{0, 0, 0, 1, 1, 1};
        QTest::newRow("BARSSINCEN")
            << "C #2 > #3 @BARSSINCEN" << c << QVector<float>{X, 0, 1, 2, 1, 2};
        QTest::newRow("REF series") << "C C #2 @MOD @REF" << c << QVector<float>{X, 1, 2, 2, 4, 6};
        QTest::newRow("BETWEEN") << "C #5 #2 @BETWEEN" << c << QVector<float>{0, 1, 1, 1, 1, 0};
        QTest::newRow("RANGE") << "C #2 #5 @RANGE" << c << QVector<float>{0, 1, 0, 0, 1, 0};
        QTest::newRow("MOD by zero") << "C #0 @MOD" << c << QVector<float>{X, X, X, X, X, X};
        QTest::newRow("INTPART") << "C #2 @/ @INTPART" << c << QVector<float>{0, 1, 1, 2, 2, 3};
        QTest::newRow("missing propagates")
            << "C #1 @REF #1 +" << c << QVector<float>{X, 2, 4, 3, 6, 5};
        QTest::newRow("missing is false")
            << "C #1 @REF #0 > @NOT" << c << QVector<float>{1, 0, 0, 0, 0, 0};
        QTest::newRow("= finds missing")
            << "C #1 @REF DRAWNULL =" << c << QVector<float>{1, 0, 0, 0, 0, 0};
        QTest::newRow("MA over a gap")
            << "C #1 @REF #2 @MA" << c << QVector<float>{X, X, 2, 2.5, 3.5, 4.5};
        QTest::newRow("IF") << "C #3 > C @negate C @IF" << c << QVector<float>{1, 3, 2, -5, -4, -6};
        QTest::newRow("ZIG") << "#3 #50 @ZIG" << QVector<float>{10, 20, 10, 20, 10, 20}
                             << QVector<float>{10, 20, 10, 20, 10, 20};
        QTest::newRow("LONGCROSS")
            << "C #3.5 #2 @LONGCROSS" << c << QVector<float>{0, 0, 0, 1, 0, 0};
        QTest::newRow("LONGCROSS 1")
            << "C #3.5 #1 @LONGCROSS" << c << QVector<float>{0, 0, 0, 1, 0, 0};
    }
    void signalFunctions() {
        QFETCH(QString, rpn);
        QFETCH(QVector<float>, close);
        QFETCH(QVector<float>, expected);
        bool ok = false;
        auto got =
            run1(rpn.toStdString(), closes(std::vector<float>(close.begin(), close.end())), &ok);
        QVERIFY(ok);
        QCOMPARE(QVector<float>(got.begin(), got.end()), expected);
    }

    void diagnostics_data() {
        QTest::addColumn<QString>("rpn");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown function") << "C @NOSUCH"
                                          << "unknown function NOSUCH";
        QTest::newRow("too few operands") << "C @MA"
                                          << "MA takes 2 arguments";
        QTest::newRow("too many values") << "C C"
                                         << "expected 1 operand(s), found 2";
        QTest::newRow("unknown name") << "CLOSE #1 +"
                                      << "unknown name CLOSE";
        QTest::newRow("text as number") << "'a' #1 @MA"
                                        << "is a text";
        QTest::newRow("extension selector") << "#77 H L C @VADAZI3"
                                            << "selector 77";
        QTest::newRow("huge selector") << "#1e30 H L C @RURAZU1"
                                       << "selector 1000000000";
        QTest::newRow("swing results first") << "#9 #0 #0 #0 @RURAZU1"
                                             << "selector 9";
    }
    void diagnostics() {
        QFETCH(QString, rpn);
        QFETCH(QString, message);
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, rpn.toStdString(), "R");
        Series s = closes({1, 2, 3});
        QCOMPARE(vm.run(ctx, s), 0);
        QVERIFY2(QString(fml_ctx_last_error(ctx)).contains(message), fml_ctx_last_error(ctx));
        QCOMPARE(fml_ctx_op_count(ctx, -1), 0);
        fml_ctx_release(ctx);
    }

    void dynainfoOnEmptySeriesFails() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "#3 @DYNAINFO", "R");
        Series empty;
        QCOMPARE(vm.run(ctx, empty), 0);
        Series s = closes({4, 5});
        s.bars[0].p_close = 3.5f;
        QCOMPARE(vm.run(ctx, s), 1);
        QCOMPARE(testbars::read(ctx, "R", 2)[1], 3.5f);
        fml_ctx_release(ctx);
    }

    void extensionSlotMustBeLoaded() {
        int vm = fml_vm_create();
        int ctx = fml_ctx_create(vm);
        push(ctx, "#8 H L #0 @RURAZU1", "R");
        Series s = closes({1, 2});
        fml_ctx_data_length(ctx, 2);
        fml_ctx_miss_callback(ctx, &s, testbars::dataNames);
        QCOMPARE(fml_vm_run(vm, ctx), 0);
        QVERIFY(QString(fml_ctx_last_error(ctx)).contains("slot 1"));
        QCOMPARE(fml_vm_load_tdx_dll(vm, "formula-plugin.dll", 1), 1);
        QCOMPARE(fml_vm_load_tdx_dll(vm, "/nonexistent/other.so", 2), 0);
        QCOMPARE(fml_vm_run(vm, ctx), 1);
        fml_ctx_release(ctx);
        fml_vm_release(vm);
    }

    void sharedObjectExtension() {
        ChartVm vm;
        QCOMPARE(fml_vm_load_tdx_dll(vm.vm, FML_SAMPLE_EXTENSION, 1), 1);
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "#1 C #0 #0 @RURAZU1", "D");
        push(ctx, "#2 #0 #0 #0 @RURAZU1", "N");
        Series s = closes({1, 2});
        QVERIFY2(vm.run(ctx, s), fml_ctx_last_error(ctx));
        QCOMPARE(testbars::read(ctx, "D", 2), (std::vector<float>{2, 4}));
        QCOMPARE(testbars::read(ctx, "N", 2), (std::vector<float>{2, 2}));
        QVERIFY(vm.run(ctx, s));  // the state lives with the context
        QCOMPARE(testbars::read(ctx, "N", 2), (std::vector<float>{4, 4}));
        fml_ctx_release(ctx);
    }

    void staticArgumentsSurviveClean() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "C N @MA", "R", FML_DRAW_CURVE);
        fml_arg h = fml_get_static_argument(ctx, "N");
        fml_argument_literal(h, 1);
        fml_argument_data(h, 1)[0] = 2;
        Series s = closes({2, 4, 6});
        QVERIFY(vm.run(ctx, s));
        QVERIFY(vm.run(ctx, s));
        QCOMPARE(testbars::read(ctx, "R", 3), (std::vector<float>{X, 3, 5}));
        fml_ctx_release(ctx);
    }

    // LINE joins the newest cond1 bar to the next cond2 bar with interpolated values.
    void lineRecord() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "C #1 = C C #5 = C #0", "EXT", FML_DRAW_LINE, Style{0x000000FF, 2, 1});
        Series s = closes({0, 1, 9, 1, 3, 5, 0});
        QVERIFY(vm.run(ctx, s));
        fml_op_line r{};
        QVERIFY(fml_ctx_op_line(ctx, &r, 0));
        QCOMPARE(QString(r.name), QString("EXT"));
        QCOMPARE(r.color, 0xFFu);
        QCOMPARE(r.width, 2.0f);
        QCOMPARE(r.style, 1);
        std::vector<float> v(r.values, r.values + r.count);
        QCOMPARE(v, (std::vector<float>{X, X, X, 1, 3, 5, X}));
        QCOMPARE(testbars::read(ctx, "EXT", 7), v);
        fml_ctx_release(ctx);
    }

    void drawingRecords() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "C #2 > H L #0.5 #1", "", FML_DRAW_STICK, Style{0x0000FF00, 1, 0});
        push(ctx, "C #2 > L C", "", FML_DRAW_NUMBER);
        push(ctx, "C #3 = H 'up'", "", FML_DRAW_STRING);
        push(ctx, "C #255 #0 #0 @RGB O #0 #100 #50 @RGB", "", FML_DRAW_BAND);
        push(ctx, "C #3 = L #11", "", FML_DRAW_ICON);
        push(ctx, "#1 #0.1 #0.2 #0 'hello'", "", FML_DRAW_FIX_STRING);
        push(ctx, "H O L C", "", FML_DRAW_K_LINE, Style{0, 1, -9});
        Series s = closes({1, 3, 2});
        QVERIFY(vm.run(ctx, s));
        QCOMPARE(fml_ctx_op_count(ctx, -1), 7);
        fml_op_stick st{};
        QVERIFY(fml_ctx_op_stick(ctx, &st, 0));
        QCOMPARE(st.width_factor, 0.5f);
        QCOMPARE(st.hollow, 1);
        QCOMPARE(st.condition[1], 1.0f);
        QCOMPARE(st.price1[1], 4.0f);
        QCOMPARE(st.color, 0xFF00u);
        fml_op_number nu{};
        QVERIFY(fml_ctx_op_number(ctx, &nu, 1));
        QCOMPARE(nu.price[0], X);
        QCOMPARE(nu.price[1], 2.0f);
        QCOMPARE(nu.number[2], 2.0f);
        fml_op_string str{};
        QVERIFY(fml_ctx_op_string(ctx, &str, 2));
        QCOMPARE(QString(str.text), QString("up"));
        QCOMPARE(str.price[1], 4.0f);
        QCOMPARE(str.price[2], X);
        fml_op_band b{};
        QVERIFY(fml_ctx_op_band(ctx, &b, 3));
        QCOMPARE(b.color1, 0x0000FFu);
        QCOMPARE(b.color2, 0x326400u);
        fml_op_icon ic{};
        QVERIFY(fml_ctx_op_icon(ctx, &ic, 4));
        QCOMPARE(ic.icon, 11);
        fml_op_fix_string fs{};
        QVERIFY(fml_ctx_op_fix_string(ctx, &fs, 5));
        QCOMPARE(fs.visible, 1);
        QCOMPARE(fs.y, 0.2f);
        QCOMPARE(QString(fs.text), QString("hello"));
        fml_op_k_line k{};
        QVERIFY(fml_ctx_op_k_line(ctx, &k, 6));
        QCOMPARE(k.style, -9);
        QVERIFY(!fml_ctx_op_k_line(ctx, &k, 5));  // wrong kind for that op
        float hi, lo;
        QCOMPARE(fml_ctx_output_maxmin(ctx, 0, 3, &hi, &lo), 1);
        QCOMPARE(hi, 4.0f);
        QCOMPARE(lo, 0.0f);
        QCOMPARE(fml_ctx_output_maxmin(ctx, 5, 3, &hi, &lo), 0);
        QCOMPARE(hi, X);
        fml_ctx_release(ctx);
    }

    void colourPackings_data() {
        QTest::addColumn<uint>("in");
        QTest::addColumn<uint>("out");
        QTest::newRow("literal red") << 0x000000FFu << 0x0000FFu;
        QTest::newRow("automatic") << 0u << 0u;
        QTest::newRow("palette orange") << 0x2480D9FFu << 0x2480D9u;
        QTest::newRow("palette white") << 0xFFFFFFFFu << 0xFFFFFFu;
        QTest::newRow("QRgb rise red") << 0xFFFF3D3Du << 0x3D3DFFu;
        QTest::newRow("QRgb fall green") << 0xFF0FC351u << 0x51C30Fu;
    }
    void colourPackings() {
        QFETCH(uint, in);
        QFETCH(uint, out);
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "C", "A", FML_DRAW_CURVE, Style{in, 1, 0});
        Series s = closes({1});
        QVERIFY(vm.run(ctx, s));
        fml_op_line r{};
        QVERIFY(fml_ctx_op_line(ctx, &r, 0));
        QCOMPARE(uint(r.color), out);
        fml_ctx_release(ctx);
    }

    void selectedValues() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "C", "A", FML_DRAW_CURVE, Style{0xFF, 1, 0});
        push(ctx, "C #1 @REF", "B", FML_DRAW_CURVE);
        push(ctx, "#0", "", FML_DRAW_CURVE);
        push(ctx, "C #2 @*", "HIDDEN");
        Series s = closes({1.5f, 2.25f});
        QVERIFY(vm.run(ctx, s));
        fml_selected rec[10];
        QCOMPARE(fml_ctx_output_selected_value(ctx, 0, rec, FML_SELECTED_RECORDS), 2);
        QCOMPARE(QString(rec[0].name), QString("A"));
        QCOMPARE(rec[0].value, 1.5f);
        QCOMPARE(rec[0].color, 0xFFu);
        QCOMPARE(rec[1].value, X);
        char buf[64];
        fml_text t{buf, sizeof buf};
        fml_ctx_output_selected_value(ctx, 1, &t, FML_SELECTED_TEXT);
        QCOMPARE(QString(buf), QString("A:2.25 B:1.50"));
        fml_text tiny{buf, 4};
        QCOMPARE(fml_ctx_output_selected_value(ctx, 1, &tiny, FML_SELECTED_TEXT), 3);
        fml_ctx_release(ctx);
    }

    // A stroke analysis of a clean zigzag: strokes alternate, tops above bottoms, zones sane.
    void strokeAnalysis() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "#4 H L C @VADAZI3", "BI");
        push(ctx, "#2 H L C @VADAZI3", "KXG");
        push(ctx, "#3 H L C @VADAZI3", "KXD");
        push(ctx, "#9 H L C @VADAZI3", "ZG");
        push(ctx, "#10 H L C @VADAZI3", "ZD");
        push(ctx, "#11 H L C @VADAZI3", "KS");
        Series s;
        s.bars = testbars::walk(3000, 11);
        QVERIFY2(vm.run(ctx, s), fml_ctx_last_error(ctx));
        auto bi = testbars::read(ctx, "BI", 3000);
        auto kxg = testbars::read(ctx, "KXG", 3000);
        auto kxd = testbars::read(ctx, "KXD", 3000);
        float lastType = 0, lastPrice = 0;
        int ends = 0;
        for (int i = 0; i < 3000; ++i) {
            QVERIFY(kxg[size_t(i)] >= kxd[size_t(i)]);
            if (bi[size_t(i)] == 0) {
                continue;
            }
            ++ends;
            float price = bi[size_t(i)] > 0 ? kxg[size_t(i)] : kxd[size_t(i)];
            QVERIFY(bi[size_t(i)] != lastType);
            if (lastType != 0) {
                QVERIFY(bi[size_t(i)] > 0 ? price > lastPrice : price < lastPrice);
            }
            lastType = bi[size_t(i)];
            lastPrice = price;
        }
        QVERIFY(ends > 20);
        auto zg = testbars::read(ctx, "ZG", 3000);
        auto zd = testbars::read(ctx, "ZD", 3000);
        auto ks = testbars::read(ctx, "KS", 3000);
        int zones = 0;
        for (int i = 0; i < 3000; ++i) {
            if (zg[size_t(i)] != X) {
                QVERIFY(zg[size_t(i)] > zd[size_t(i)]);
            }
            zones += ks[size_t(i)] != 0;
        }
        QVERIFY(zones > 0);
        fml_ctx_release(ctx);
    }

    void swingAnalysis() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "#8 H L #0 @RURAZU1", "I");
        push(ctx, "#9 #0 #0 #0 @RURAZU1", "TB");
        push(ctx, "#9 #5 #0 #0 @RURAZU1", "TP");
        push(ctx, "#9 #8 #0 #0 @RURAZU1", "TBL");
        push(ctx, "#9 #9 #0 #0 @RURAZU1", "TBP");
        Series s;
        s.bars = testbars::walk(2000, 5);
        QVERIFY2(vm.run(ctx, s), fml_ctx_last_error(ctx));
        auto tb = testbars::read(ctx, "TB", 2000);
        auto tp = testbars::read(ctx, "TP", 2000);
        auto tbl = testbars::read(ctx, "TBL", 2000);
        auto tbp = testbars::read(ctx, "TBP", 2000);
        float last = 0;
        int pivots = 0;
        for (int i = 0; i < 2000; ++i) {
            if (tb[size_t(i)] == 0) {
                QCOMPARE(tp[size_t(i)], X);
                continue;
            }
            ++pivots;
            QVERIFY(tb[size_t(i)] != last);
            last = tb[size_t(i)];
            QCOMPARE(tp[size_t(i)], last == 1 ? s.bars[size_t(i)].high : s.bars[size_t(i)].low);
        }
        QVERIFY(pivots > 50);
        for (int i = 0; i < 2000; ++i) {
            if (tbl[size_t(i)] == 2) {
                QVERIFY(s.bars[size_t(i)].high > tbp[size_t(i)]);
            }
        }
        fml_ctx_release(ctx);
    }

    void boxMarks() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        // A box of length 3 signalled on bar 4: bars 1..4.
        push(ctx, "#2 CURRBARSCOUNT #2 = #3 #0 @IF #0 #0 @RURAZU1", "REM");
        push(ctx, "#3 REM H #0 @RURAZU1", "TOP");
        Series s = closes({5, 1, 7, 2, 3, 9});
        QVERIFY2(vm.run(ctx, s), fml_ctx_last_error(ctx));
        QCOMPARE(testbars::read(ctx, "REM", 6), (std::vector<float>{0, 1, 3, 3, 2, 0}));
        QCOMPARE(testbars::read(ctx, "TOP", 6), (std::vector<float>{X, 8, 8, 8, 8, X}));
        fml_ctx_release(ctx);
    }

    // Readers may ask for a data name the program never used (the volume painter's "C" and
    // "O"); the VM asks the host for it then.
    void readBackOfDataNames() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "V", "VOLUME", FML_DRAW_CURVE, Style{0, 1, 4});
        Series s = closes({3, 4, 5});
        QVERIFY(vm.run(ctx, s));
        QCOMPARE(testbars::read(ctx, "C", 3), (std::vector<float>{3, 4, 5}));
        QCOMPARE(testbars::read(ctx, "V", 3), (std::vector<float>{100, 100, 100}));
        QCOMPARE(fml_get_argument(ctx, "NOSUCH"), fml_arg(0));
        fml_ctx_release(ctx);
    }

    // A host may lend its columns instead of copying them. The VM reads them in place, fits a
    // column of the wrong length to the bar count without reading past its end, never writes
    // into it, and lets go of it when the context is cleaned.
    void lentColumns_data() {
        QTest::addColumn<int>("lentLength");
        QTest::addColumn<QVector<float>>("sum3");
        const QVector<float> full{X, X, 6, 9, 12, 15};
        QTest::newRow("as long as the bars") << 6 << full;
        QTest::newRow("shorter: missing at the end") << 4 << QVector<float>{X, X, 6, 9, X, X};
        QTest::newRow("longer: cut to the bars") << 9 << full;
        QTest::newRow("one float: a number") << 1 << QVector<float>{X, X, 3, 3, 3, 3};
        QTest::newRow("none: missing") << 0 << QVector<float>(6, X);
    }
    void lentColumns() {
        QFETCH(int, lentLength);
        QFETCH(QVector<float>, sum3);
        struct Host {
            std::vector<float> close;
            int lentLength;
            int asked = 0;
        } host{{1, 2, 3, 4, 5, 6, 7, 8, 9}, lentLength};
        if (lentLength == 1) {
            host.close = {1};
        }
        auto names = [](void* user, int, fml_arg h, const char* name) -> int {
            auto* hs = static_cast<Host*>(user);
            ++hs->asked;
            return std::strcmp(name, "C") == 0
                       ? fml_argument_lend(h, hs->close.data(), hs->lentLength)
                       : 0;
        };
        const std::vector<float> before = host.close;
        int vm = fml_vm_create();
        int ctx = fml_ctx_create(vm);
        push(ctx, "C #3 @SUM", "S");
        fml_ctx_data_length(ctx, 6);
        fml_ctx_miss_callback(ctx, &host, names);
        QVERIFY2(fml_vm_run(vm, ctx), fml_ctx_last_error(ctx));
        std::vector<float> got = testbars::read(ctx, "S", 6);
        QCOMPARE(QVector<float>(got.begin(), got.end()), sum3);
        // Writes through a reader's pointer land in a copy.
        fml_arg c = fml_get_argument(ctx, "C");
        QVERIFY(c != 0);
        QCOMPARE(fml_argument_length(c), lentLength == 1 ? 1 : 6);
        if (fml_argument_length(c) > 0) {
            fml_argument_data_number(c)[0] = 100;
        }
        QVERIFY(host.close == before);
        // Once cleaned, the context asks again instead of reading the host's floats.
        fml_ctx_clean(ctx);
        int asked = host.asked;
        QVERIFY(fml_get_argument(ctx, "C") != 0);
        QCOMPARE(host.asked, asked + 1);
        QCOMPARE(fml_argument_lend(0, host.close.data(), 6), 0);
        QCOMPARE(fml_argument_lend(c, nullptr, 6), 0);
        fml_ctx_release(ctx);
        fml_vm_release(vm);
    }

    // A number drawn as a line is kept from run to run; the bar count changing in between must
    // neither shorten nor stale it.
    void drawnLevelFollowsTheBarCount() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "#7", "LEVEL", FML_DRAW_CURVE);
        push(ctx, "C #7 @MAX", "HIGHER", FML_DRAW_CURVE);
        for (int bars : {3, 600, 2, 600}) {
            Series s = closes(std::vector<float>(size_t(bars), 9.0f));
            QVERIFY2(vm.run(ctx, s), fml_ctx_last_error(ctx));
            fml_op_line line{};
            QVERIFY(fml_ctx_op_line(ctx, &line, 0));
            QCOMPARE(line.count, bars);
            for (int i = 0; i < bars; ++i) {
                QCOMPARE(line.values[i], 7.0f);
            }
            QCOMPARE(testbars::read(ctx, "HIGHER", bars), std::vector<float>(size_t(bars), 9.0f));
        }
        fml_ctx_release(ctx);
    }

    void releasedHandlesAreInert() {
        int vm = fml_vm_create();
        int ctx = fml_ctx_create(vm);
        fml_ctx_release(ctx);
        fml_ctx_release(ctx);
        QCOMPARE(fml_vm_run(vm, ctx), 0);
        QCOMPARE(fml_ctx_op_count(ctx, -1), 0);
        fml_vm_release(vm);
        QCOMPARE(fml_ctx_create(vm), 0);
        QCOMPARE(fml_function_arity("ma"), 2);
        QCOMPARE(fml_function_arity("nosuch"), -1);
    }
};

QTEST_APPLESS_MAIN(TestVm)
#include "tst_vm.moc"
