// Bars, blocks and formulas for the chart tests: quote blocks built the way the quote engine
// delivers them, a registry with the built-in formulas plus a few probes with known outputs.
#ifndef VQ_TESTS_CHART_CHART_FIXTURE_H
#define VQ_TESTS_CHART_CHART_FIXTURE_H

#include "chart/qchart.h"
#include "formula/compiler.h"
#include "formula/formula_service.h"
#include "libquote/quote.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace fixture {

// Midnight UTC of 2020-01-02 plus whole days: bar k of a daily series.
constexpr int64_t kDay0 = 1577923200;
constexpr int64_t kDay = 86400;

// Daily K-points at kDay0 + (firstDay + k) days; prices rise by 0.1 a day from `base`.
inline std::vector<QuoteKPoint> kpoints(int count, int firstDay = 0, float base = 10.0f) {
    std::vector<QuoteKPoint> points(size_t(count > 0 ? count : 0));
    for (int k = 0; k < count; ++k) {
        QuoteKPoint& p = points[size_t(k)];
        const float c = base + 0.1f * float(firstDay + k);
        p.time = kDay0 + (firstDay + k) * kDay;
        p.open = c - 0.05f;
        p.close = c;
        p.high = c + 0.2f;
        p.low = c - 0.3f;
        p.extra = 0.01f;
        p.volume = 1000 + (firstDay + k);
        p.amount = 100000 + (firstDay + k);
    }
    return points;
}

inline void feedKLine(QChart& chart, std::vector<QuoteKPoint> points, int index = 0) {
    QuoteKPoints block{};
    block.count = uint32_t(points.size());
    block.points = points.data();
    chart.onUpdateKLine(&block, index);
}

// Probe formulas with outputs the tests can predict, registered beside the built-ins.
struct Probe {
    const char* name;
    const char* text;
};
inline const Probe kProbes[] = {
    {"T_FLAT", "X:10;"},
    {"T_FLAT_MS", "X:10;"},
    {"T_BARSTATUS", "X:BARSTATUS;"},
    {"T_COUNT", "X:CURRBARSCOUNT;"},
    {"T_PCLOSE", "X:DYNAINFO(3);"},
    {"T_BADINFO", "X:C+DYNAINFO(7);"},
    {"T_MISSING", "X:DRAWNULL;"},
    {"T_CLOSE", "X:C;"},
    {"T_DATE", "X:DATE;"},
    {"T_LAST", "X:ISLASTBAR;"},
};

template <int I>
int buildProbe(int vm) {
    formula::Compiler compiler;
    formula::Program program;
    formula::CompileError error;
    const int ctx = fml_ctx_create(vm);
    if (compiler.compile(kProbes[I].text, &program, &error)) {
        program.push(ctx);
    }
    return ctx;
}

template <int... I>
void addProbes(formula::FormulaService& s, std::integer_sequence<int, I...>) {
    (s.add(std::make_shared<formula::LocalFormula>(4, kProbes[I].name, kProbes[I].name, QString(),
                                                   std::vector<formula::FormulaParam>{},
                                                   &buildProbe<I>)),
     ...);
}

// One registry per test process: the built-ins and the probes.
inline formula::FormulaService& registry() {
    static formula::FormulaService* s = [] {
        auto* service = new formula::FormulaService;
        formula::registerBuiltinFormulas(*service);
        addProbes(*service,
                  std::make_integer_sequence<int, int(sizeof(kProbes) / sizeof(kProbes[0]))>());
        return service;
    }();
    return *s;
}

// A chart with a 600 x 600 plot (item 720 x 621) on the test registry.
inline std::unique_ptr<QChart> makeChart() {
    auto chart = std::make_unique<QChart>();
    chart->setFormulaService(&registry());
    chart->setSize(QSizeF(720, 621));
    return chart;
}

}  // namespace fixture

#endif
