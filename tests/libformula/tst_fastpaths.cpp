// The VM's fast evaluation (fused operator chains computed block by block, MA and STD of one
// window from one pass, blocked recurrences) against straightforward computations of the same
// definitions, over bounded random-walk bars of lengths around the block size, clean and with
// missing bars at the start and in gaps.
#include "libformula/fml.h"
#include "tests/libformula/test_bars.h"

#include <QtTest>

#include <cmath>
#include <functional>

using testbars::Bar;
using testbars::ChartVm;
using testbars::push;
using testbars::Series;

namespace {

const float X = FMLInvalidValue;
using Column = std::vector<float>;

Column field(const Series& s, float Bar::*f) {
    Column v;
    for (const Bar& b : s.bars) {
        v.push_back(b.*f);
    }
    return v;
}

bool bad(float v) {
    return v == X;
}

// The operators with the VM's missing-value rules.
Column zip(const Column& a, const Column& b, const std::function<float(float, float)>& f) {
    Column r(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        r[i] = bad(a[i]) || bad(b[i]) ? X : f(a[i], b[i]);
    }
    return r;
}
Column sub(const Column& a, const Column& b) {
    return zip(a, b, [](float x, float y) { return x - y; });
}
Column add(const Column& a, const Column& b) {
    return zip(a, b, [](float x, float y) { return x + y; });
}
Column div(const Column& a, const Column& b) {
    return zip(a, b, [](float x, float y) { return y == 0 ? X : x / y; });
}
Column scale(const Column& a, float k) {
    Column r(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        r[i] = bad(a[i]) ? X : a[i] * k;
    }
    return r;
}
Column ref1(const Column& a) {
    Column r(a.size(), X);
    for (size_t i = 1; i < a.size(); ++i) {
        r[i] = a[i - 1];
    }
    return r;
}

// Windows of the last N bars summed afresh for every bar.
Column ma(const Column& x, int N) {
    Column r(x.size(), X);
    for (size_t i = 0; i < x.size(); ++i) {
        if (int(i) + 1 < N) {
            continue;
        }
        double s = 0;
        bool ok = true;
        for (size_t k = i + 1 - size_t(N); k <= i; ++k) {
            ok = ok && !bad(x[k]);
            s += x[k];
        }
        r[i] = ok ? float(s / N) : X;
    }
    return r;
}
Column stdev(const Column& x, int N) {
    Column r(x.size(), X);
    for (size_t i = 0; i < x.size(); ++i) {
        if (int(i) + 1 < N) {
            continue;
        }
        double m = 0, q = 0;
        bool ok = true;
        for (size_t k = i + 1 - size_t(N); k <= i; ++k) {
            ok = ok && !bad(x[k]);
            m += x[k];
        }
        m /= N;
        for (size_t k = i + 1 - size_t(N); k <= i; ++k) {
            q += (x[k] - m) * (x[k] - m);
        }
        r[i] = ok ? float(std::sqrt(q / (N - 1))) : X;
    }
    return r;
}
Column extreme(const Column& x, int N, bool high) {
    Column r(x.size(), X);
    for (size_t i = 0; i < x.size(); ++i) {
        for (size_t k = i + 1 >= size_t(N) ? i + 1 - size_t(N) : 0; k <= i; ++k) {
            if (!bad(x[k]) && (bad(r[i]) || (high ? x[k] > r[i] : x[k] < r[i]))) {
                r[i] = x[k];
            }
        }
    }
    return r;
}
// Y = w*X + (1-w)*Y' from the first valid X; a missing X gives a missing Y and keeps the state.
Column smooth(const Column& x, double w) {
    Column r(x.size(), X);
    double y = 0;
    bool have = false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (bad(x[i])) {
            continue;
        }
        y = have ? w * x[i] + (1 - w) * y : x[i];
        have = true;
        r[i] = float(y);
    }
    return r;
}

// Comparisons as 1 and 0; a missing operand gives 0.
Column gt(const Column& a, const Column& b) {
    Column r(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        r[i] = !bad(a[i]) && !bad(b[i]) && a[i] > b[i] ? 1 : 0;
    }
    return r;
}
Column eq(const Column& a, const Column& b) {
    Column r(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        r[i] = a[i] == b[i] ? 1 : 0;
    }
    return r;
}
// Bars since the signal last held, by looking back from every bar.
Column barsSince(const Column& x) {
    Column r(x.size(), X);
    for (size_t i = 0; i < x.size(); ++i) {
        for (size_t k = i + 1; k-- > 0;) {
            if (x[k] != 0 && !bad(x[k])) {
                r[i] = float(i - k);
                break;
            }
        }
    }
    return r;
}

Column close(const Series& s) {
    return field(s, &Bar::close);
}
Column rsv(const Series& s) {
    Column l9 = extreme(field(s, &Bar::low), 9, false);
    Column h9 = extreme(field(s, &Bar::high), 9, true);
    return scale(div(sub(close(s), l9), sub(h9, l9)), 100);
}
Column dif(const Series& s) {
    return sub(smooth(close(s), 2.0 / 13), smooth(close(s), 2.0 / 27));
}

struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> program;  // {postfix, statement name}
    const char* output;
    std::function<Column(const Series&)> ref;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> c = {
        {"MA 5", {{"C #5 @MA", "R"}}, "R", [](const Series& s) { return ma(close(s), 5); }},
        {"MA 60", {{"C #60 @MA", "R"}}, "R", [](const Series& s) { return ma(close(s), 60); }},
        {"STD 26", {{"C #26 @STD", "R"}}, "R", [](const Series& s) { return stdev(close(s), 26); }},
        {"BOLL middle",
         {{"C #26 @MA", "BOLL"}, {"BOLL #2 C #26 @STD * +", "UB"}},
         "BOLL",
         [](const Series& s) { return ma(close(s), 26); }},
        {"BOLL upper",
         {{"C #26 @MA", "BOLL"},
          {"BOLL #2 C #26 @STD * +", "UB"},
          {"BOLL #2 C #26 @STD * -", "LB"}},
         "UB",
         [](const Series& s) { return add(ma(close(s), 26), scale(stdev(close(s), 26), 2)); }},
        {"BOLL lower",
         {{"C #26 @MA", "BOLL"},
          {"BOLL #2 C #26 @STD * +", "UB"},
          {"BOLL #2 C #26 @STD * -", "LB"}},
         "LB",
         [](const Series& s) { return sub(ma(close(s), 26), scale(stdev(close(s), 26), 2)); }},
        {"STD before its MA",
         {{"C #10 @STD", "SD"}, {"C #10 @MA", "M"}},
         "M",
         [](const Series& s) { return ma(close(s), 10); }},
        {"MA and STD of a redefined name",
         {{"C", "X"}, {"X #5 @MA", "A"}, {"O", "X"}, {"X #5 @STD", "B"}},
         "B",
         [](const Series& s) { return stdev(field(s, &Bar::open), 5); }},
        {"EMA 12",
         {{"C #12 @EMA", "R"}},
         "R",
         [](const Series& s) { return smooth(close(s), 2.0 / 13); }},
        {"SMA 9 2",
         {{"C #9 #2 @SMA", "R"}},
         "R",
         [](const Series& s) { return smooth(close(s), 2.0 / 9); }},
        {"MACD",
         {{"C #12 @EMA C #26 @EMA -", "DIF"}, {"DIF #9 @EMA", "DEA"}, {"DIF DEA - #2 *", "MACD"}},
         "MACD",
         [](const Series& s) {
             Column d = dif(s);
             return scale(sub(d, smooth(d, 2.0 / 10)), 2);
         }},
        {"smoothings of one series kept over statements",
         {{"C #12 @EMA", "A"}, {"C #50 @EMA", "B"}, {"A B -", "R"}},
         "R",
         [](const Series& s) {
             return sub(smooth(close(s), 2.0 / 13), smooth(close(s), 2.0 / 51));
         }},
        {"two smoothings of one chain",
         {{"C O - #9 @EMA C O - #4 #1 @SMA -", "R"}},
         "R",
         [](const Series& s) {
             Column d = sub(close(s), field(s, &Bar::open));
             return sub(smooth(d, 0.2), smooth(d, 0.25));
         }},
        {"a kept smoothing read by a column function between passes",
         {{"C O - #5 @EMA", "E"}, {"E #1 @REF", "P"}, {"E P - #3 #1 @SMA", "R"}},
         "R",
         [](const Series& s) {
             Column e = smooth(sub(close(s), field(s, &Bar::open)), 2.0 / 6);
             return smooth(sub(e, ref1(e)), 1.0 / 3);
         }},
        {"EMA over a period given as a series",
         {{"C C #0 * #12 + @EMA", "R"}},
         "R",
         [](const Series& s) { return smooth(close(s), 2.0 / 13); }},
        {"EMA without a result",
         {{"C #0 @EMA", "R"}},
         "R",
         [](const Series& s) { return Column(s.bars.size(), X); }},
        {"SMA with a weight of zero",
         {{"C #5 #0 @SMA", "R"}},
         "R",
         [](const Series& s) { return smooth(close(s), 0.0); }},
        {"KDJ RSV", {{"C L #9 @LLV - H #9 @HHV L #9 @LLV - / #100 *", "RSV"}}, "RSV", rsv},
        {"KDJ J",
         {{"C L #9 @LLV - H #9 @HHV L #9 @LLV - / #100 *", "RSV"},
          {"RSV #3 #1 @SMA", "K"},
          {"K #3 #1 @SMA", "D"},
          {"#3 K * #2 D * -", "J"}},
         "J",
         [](const Series& s) {
             Column k = smooth(rsv(s), 1.0 / 3), d = smooth(k, 1.0 / 3);
             return sub(scale(k, 3), scale(d, 2));
         }},
        {"RSI",
         {{"C #1 @REF", "LC"},
          {"C LC - #0 @MAX", "U"},
          {"C LC - @ABS", "A"},
          {"U #6 #1 @SMA A #6 #1 @SMA / #100 *", "RSI"}},
         "RSI",
         [](const Series& s) {
             Column d = sub(close(s), ref1(close(s)));
             Column u = zip(d, d, [](float x, float) { return std::max(x, 0.0f); });
             Column a = zip(d, d, [](float x, float) { return std::fabs(x); });
             return scale(div(smooth(u, 1.0 / 6), smooth(a, 1.0 / 6)), 100);
         }},
        {"IF with a number condition",
         {{"#1 C O - #2 * C @IF", "R"}},
         "R",
         [](const Series& s) { return scale(sub(close(s), field(s, &Bar::open)), 2); }},
        {"IF with a series condition",
         {{"C O > C O - O C - @IF", "R"}},
         "R",
         [](const Series& s) {
             Column c = close(s), o = field(s, &Bar::open), r(c.size());
             for (size_t i = 0; i < c.size(); ++i) {
                 bool up = !bad(c[i]) && !bad(o[i]) && c[i] > o[i];
                 r[i] = up ? c[i] - o[i] : (bad(c[i]) || bad(o[i]) ? X : o[i] - c[i]);
             }
             return r;
         }},
        {"a chain shared by two statements",
         {{"C O - #2 *", "A"}, {"C O - #2 * A +", "B"}},
         "B",
         [](const Series& s) {
             Column t = scale(sub(close(s), field(s, &Bar::open)), 2);
             return add(t, t);
         }},
        {"conditions over missing bars",
         {{"C C #1 @REF > V #0 > @AND C DRAWNULL = @OR", "R"}},
         "R",
         [](const Series& s) {
             Column c = close(s), p = ref1(c), v = field(s, &Bar::vol), r(c.size());
             for (size_t i = 0; i < c.size(); ++i) {
                 bool rise = !bad(c[i]) && !bad(p[i]) && c[i] > p[i];
                 bool traded = !bad(v[i]) && v[i] > 0;
                 r[i] = (rise && traded) || bad(c[i]) ? 1.0f : 0.0f;
             }
             return r;
         }},
        {"SMA with a weight above one",
         {{"C #2 #3 @SMA", "R"}},
         "R",
         [](const Series& s) { return smooth(close(s), 1.5); }},
        {"BARSLAST of a rare signal",
         {{"H #60 @HHV H = @BARSLAST", "R"}},
         "R",
         [](const Series& s) {
             return barsSince(eq(extreme(field(s, &Bar::high), 60, true), field(s, &Bar::high)));
         }},
        {"BARSLAST of a frequent signal",
         {{"C O > @BARSLAST", "R"}},
         "R",
         [](const Series& s) { return barsSince(gt(close(s), field(s, &Bar::open))); }},
        {"COUNT over a fixed window",
         {{"C O > #10 @COUNT", "R"}},
         "R",
         [](const Series& s) {
             Column up = gt(close(s), field(s, &Bar::open)), r(up.size());
             for (size_t i = 0; i < up.size(); ++i) {
                 float n = 0;
                 for (size_t k = i >= 9 ? i - 9 : 0; k <= i; ++k) {
                     n += up[k] != 0 ? 1 : 0;
                 }
                 r[i] = n;
             }
             return r;
         }},
        {"SUM from the first bar",
         {{"C #0 @SUM", "R"}},
         "R",
         [](const Series& s) {
             Column c = close(s), r(c.size(), X);
             double sum = 0;
             bool started = false;
             for (size_t i = 0; i < c.size(); ++i) {
                 started = started || !bad(c[i]);
                 sum += bad(c[i]) ? 0 : c[i];
                 r[i] = started ? float(sum) : X;
             }
             return r;
         }},
        {"SUM over a period given as a series",
         {{"V V #0 * #7 + @SUM", "R"}},
         "R",
         [](const Series& s) { return scale(ma(field(s, &Bar::vol), 7), 7); }},
        {"HHV over a period given as a series",
         {{"H C O > #40 #3 @IF @HHV", "R"}},
         "R",
         [](const Series& s) {
             Column h = field(s, &Bar::high), c = close(s), o = field(s, &Bar::open);
             Column r(h.size(), X);
             for (size_t i = 0; i < h.size(); ++i) {
                 int N = !bad(c[i]) && !bad(o[i]) && c[i] > o[i] ? 40 : 3;
                 for (size_t k = i + 1 >= size_t(N) ? i + 1 - size_t(N) : 0; k <= i; ++k) {
                     if (!bad(h[k]) && (bad(r[i]) || h[k] > r[i])) {
                         r[i] = h[k];
                     }
                 }
             }
             return r;
         }},
        {"LONGCROSS",
         {{"C C #5 @MA #3 @LONGCROSS", "R"}},
         "R",
         [](const Series& s) {
             Column a = close(s), b = ma(close(s), 5), r(a.size(), 0);
             auto valid = [&](size_t i) { return !bad(a[i]) && !bad(b[i]); };
             for (size_t i = 3; i < a.size(); ++i) {
                 bool below = true;
                 for (size_t k = i - 3; k < i; ++k) {
                     below = below && valid(k) && a[k] < b[k];
                 }
                 r[i] = below && valid(i) && a[i] > b[i] ? 1 : 0;
             }
             return r;
         }},
    };
    return c;
}

Series barsOf(int n, bool gaps) {
    Series s;
    s.bars = testbars::meanRevertingWalk(n, uint64_t(n) * 7 + (gaps ? 1 : 0));
    if (gaps) {
        testbars::punchGaps(s.bars, 30, 700, 9);
    }
    return s;
}

}  // namespace

class TestFastPaths : public QObject {
    Q_OBJECT

private slots:
    void againstPlainDefinitions_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("bars");
        QTest::addColumn<bool>("gaps");
        for (size_t i = 0; i < cases().size(); ++i) {
            for (int n : {1, 2, 511, 512, 513, 1029, 10000}) {
                for (bool gaps : {false, true}) {
                    QTest::newRow(qPrintable(
                        QString("%1/%2%3").arg(cases()[i].name).arg(n).arg(gaps ? "/gaps" : "")))
                        << int(i) << n << gaps;
                }
            }
        }
        // A million bars: the sliding sums and recurrences keep their precision that far.
        for (size_t i = 0; i < cases().size(); ++i) {
            QString name = cases()[i].name;
            if (name == "BOLL upper" || name == "MACD" || name == "RSI") {
                QTest::newRow(qPrintable(name + "/1000000/gaps")) << int(i) << 1000000 << true;
            }
        }
    }
    void againstPlainDefinitions() {
        QFETCH(int, index);
        QFETCH(int, bars);
        QFETCH(bool, gaps);
        const Case& c = cases()[size_t(index)];
        Series s = barsOf(bars, gaps);
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        for (const auto& st : c.program) {
            push(ctx, st.first, st.second);
        }
        QVERIFY2(vm.run(ctx, s) == 1, fml_ctx_last_error(ctx));
        Column got = testbars::read(ctx, c.output, bars);
        Column want = c.ref(s);
        fml_ctx_release(ctx);
        QCOMPARE(got.size(), want.size());
        double range = 1;
        for (float v : want) {
            range = bad(v) ? range : std::max(range, double(std::fabs(v)));
        }
        for (size_t i = 0; i < got.size(); ++i) {
            bool same = bad(got[i]) || bad(want[i])
                            ? got[i] == want[i]
                            : std::fabs(double(got[i]) - want[i]) <= 1e-6 * range;
            if (!same) {
                QFAIL(qPrintable(QString("bar %1: %2, expected %3")
                                     .arg(i)
                                     .arg(double(got[i]), 0, 'g', 9)
                                     .arg(double(want[i]), 0, 'g', 9)));
            }
        }
    }

    // A curve drawn from a chain kept for a later pass shows the values read back afterwards,
    // and the statements before a failing one still have theirs.
    void keptChainsAfterTheRun() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "C #12 @EMA C #26 @EMA -", "DIF", FML_DRAW_CURVE);
        push(ctx, "DIF #9 @EMA", "DEA");
        push(ctx, "#77 H L C @VADAZI3", "BAD");
        Series s = barsOf(1029, true);
        QCOMPARE(vm.run(ctx, s), 0);
        QVERIFY(QString(fml_ctx_last_error(ctx)).contains("selector 77"));
        Column d = dif(s), dea = testbars::read(ctx, "DEA", 1029);
        Column want = smooth(d, 0.2);
        for (size_t i = 0; i < want.size(); ++i) {
            QVERIFY2(bad(want[i]) ? dea[i] == X : std::fabs(dea[i] - want[i]) <= 1e-5f,
                     qPrintable(QString("bar %1").arg(i)));
        }
        fml_ctx_release(ctx);

        ctx = fml_ctx_create(vm.vm);
        push(ctx, "C #12 @EMA C #26 @EMA -", "DIF", FML_DRAW_CURVE);
        push(ctx, "DIF #9 @EMA", "DEA");
        QVERIFY(vm.run(ctx, s));
        fml_op_line line{};
        QVERIFY(fml_ctx_op_line(ctx, &line, 0));
        QCOMPARE(line.count, 1029);
        QCOMPARE(Column(line.values, line.values + line.count), testbars::read(ctx, "DIF", 1029));
        fml_ctx_release(ctx);
    }

    // LINE visits only the bars where one of its conditions holds; segments and the extension
    // past the last one as a walk over every bar draws them.
    void lineSegments_data() {
        QTest::addColumn<int>("bars");
        QTest::addColumn<bool>("gaps");
        QTest::addColumn<bool>("extend");
        for (int n : {1, 31, 32, 33, 65, 1029, 10000}) {
            for (bool gaps : {false, true}) {
                for (bool extend : {false, true}) {
                    QTest::newRow(qPrintable(QString("%1%2%3")
                                                 .arg(n)
                                                 .arg(gaps ? "/gaps" : "")
                                                 .arg(extend ? "/extend" : "")))
                        << n << gaps << extend;
                }
            }
        }
    }
    void lineSegments() {
        QFETCH(int, bars);
        QFETCH(bool, gaps);
        QFETCH(bool, extend);
        Series s = barsOf(bars, gaps);
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx,
             extend ? "H #20 @HHV H = H L #20 @LLV L = L #1"
                    : "H #20 @HHV H = H L #20 @LLV L = L #0",
             "R", FML_DRAW_LINE);
        QVERIFY2(vm.run(ctx, s) == 1, fml_ctx_last_error(ctx));
        Column got = testbars::read(ctx, "R", bars);
        fml_ctx_release(ctx);
        Column h = field(s, &Bar::high), l = field(s, &Bar::low);
        Column top = eq(extreme(h, 20, true), h), bottom = eq(extreme(l, 20, false), l);
        Column want(h.size(), X);
        int start = -1, lastA = -1, lastB = -1;
        for (int i = 0; i < bars; ++i) {
            if (start >= 0 && i > start && bottom[size_t(i)] != 0) {
                float a = h[size_t(start)], b = l[size_t(i)];
                if (!bad(a) && !bad(b)) {
                    for (int k = start; k <= i; ++k) {
                        want[size_t(k)] = a + (b - a) * float(k - start) / float(i - start);
                    }
                    lastA = start;
                    lastB = i;
                }
                start = -1;
            }
            start = top[size_t(i)] != 0 ? i : start;
        }
        if (extend && lastA >= 0) {
            float a = h[size_t(lastA)], b = l[size_t(lastB)];
            for (int k = lastB + 1; k < bars; ++k) {
                want[size_t(k)] = b + (b - a) / float(lastB - lastA) * float(k - lastB);
            }
        }
        QCOMPARE(got, want);
    }

    // A native function registered under an operator's name replaces it inside chains too.
    void nativeOverridesAnOperator() {
        ChartVm vm;
        auto twice = [](void*, fml_call* call) {
            int n = fml_argument_length(call->argument[0]);
            const float* x = fml_argument_data_number(call->argument[0]);
            std::vector<float> in(x, x + n);
            float* o = fml_argument_data(call->result, n);
            for (int i = 0; i < n; ++i) {
                o[i] = in[size_t(i)] * 2;
            }
            return 1;
        };
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "C @ABS #1 +", "R");
        Series s = barsOf(600, false);
        QVERIFY(vm.run(ctx, s));
        QCOMPARE(testbars::read(ctx, "R", 600)[599], s.bars[599].close + 1);
        QVERIFY(fml_vm_reg_fn(vm.vm, nullptr, "ABS", twice, 1));
        QVERIFY2(vm.run(ctx, s), fml_ctx_last_error(ctx));
        QCOMPARE(testbars::read(ctx, "R", 600)[599], s.bars[599].close * 2 + 1);
        fml_ctx_release(ctx);
    }

    // A native IF registered after a run takes its operands as series, chains included.
    void nativeIfAfterBuiltinIf() {
        ChartVm vm;
        auto first = [](void*, fml_call* call) {
            int n = fml_argument_length(call->argument[1]);
            const float* x = fml_argument_data_number(call->argument[1]);
            std::vector<float> in(x, x + n);
            std::copy(in.begin(), in.end(), fml_argument_data(call->result, n));
            return 1;
        };
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "#0 C #1 + C @IF", "R");
        Series s = barsOf(600, false);
        QVERIFY(vm.run(ctx, s));
        QCOMPARE(testbars::read(ctx, "R", 600)[5], s.bars[5].close);
        QVERIFY(fml_vm_reg_fn(vm.vm, nullptr, "IF", first, 3));
        QVERIFY2(vm.run(ctx, s), fml_ctx_last_error(ctx));
        QCOMPARE(testbars::read(ctx, "R", 600)[5], s.bars[5].close + 1);
        fml_ctx_release(ctx);
    }

    // A period given as a series goes through the general paths and keeps their results.
    void periodAsSeries() {
        ChartVm vm;
        int ctx = fml_ctx_create(vm.vm);
        push(ctx, "C C #0 * #5 + @MA", "M");
        push(ctx, "C C #0 * #5 + @STD", "S");
        Series s = barsOf(1029, true);
        QVERIFY(vm.run(ctx, s));
        Column m = testbars::read(ctx, "M", 1029), sd = testbars::read(ctx, "S", 1029);
        Column wantM = ma(close(s), 5), wantS = stdev(close(s), 5);
        for (size_t i = 0; i < m.size(); ++i) {
            QVERIFY(bad(m[i]) == bad(wantM[i]) && bad(sd[i]) == bad(wantS[i]));
            if (!bad(m[i])) {
                QVERIFY(std::fabs(m[i] - wantM[i]) <= 1e-5f &&
                        std::fabs(sd[i] - wantS[i]) <= 1e-5f);
            }
        }
        fml_ctx_release(ctx);
    }
};

QTEST_GUILESS_MAIN(TestFastPaths)
#include "tst_fastpaths.moc"
