// Synthetic bars and the data names a chart hands the VM, shared by the formula tests and
// benchmarks.
#ifndef VQ_TESTS_LIBFORMULA_TEST_BARS_H
#define VQ_TESTS_LIBFORMULA_TEST_BARS_H

#include "libformula/fml.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testbars {

struct Bar {
    uint32_t date, time;
    float open, high, low, close, sum, vol, p_close, avg_price, aux;
};

// A deterministic random walk with realistic candles, volumes and amounts.
inline std::vector<Bar> walk(int n, uint32_t seed = 7) {
    std::vector<Bar> bars(size_t(n < 0 ? 0 : n));
    uint32_t s = seed;
    auto rnd = [&s]() {
        s = s * 1664525u + 1013904223u;
        return float((s >> 8) & 0xFFFF) / 65535.0f;
    };
    float price = 10.0f;
    for (int i = 0; i < n; ++i) {
        Bar& b = bars[size_t(i)];
        float open = price;
        float change = (rnd() - 0.49f) * 0.06f * price;
        float close = std::max(0.5f, open + change);
        float high = std::max(open, close) * (1.0f + rnd() * 0.02f);
        float low = std::min(open, close) * (1.0f - rnd() * 0.02f);
        b.date = 1200101u + uint32_t(i);
        b.time = 1577836800u + uint32_t(i) * 86400u;
        b.open = open;
        b.high = high;
        b.low = low;
        b.close = close;
        b.vol = 100000.0f + rnd() * 900000.0f;
        b.sum = b.vol * (high + low) / 2.0f * 100.0f;
        b.p_close = i == 0 ? close : bars[size_t(i - 1)].close;
        b.avg_price = (high + low + close) / 3.0f;
        b.aux = rnd();
        price = close;
    }
    return bars;
}

struct Series {
    std::vector<Bar> bars;
    std::string code = "600000";
    // Open, high, low and close gathered out of the bar records in one pass per run: a program
    // asking for several of them (every candle formula does) then costs one walk over the
    // records instead of one per name.
    int run = 0;
    mutable int pricesRun = -1;
    mutable std::vector<float> prices[4];

    const std::vector<float>& price(int which) const {
        if (pricesRun != run) {
            const size_t n = bars.size();
            for (auto& column : prices)
                column.resize(n);
            for (size_t k = 0; k < n; ++k) {
                prices[0][k] = bars[k].open;
                prices[1][k] = bars[k].high;
                prices[2][k] = bars[k].low;
                prices[3][k] = bars[k].close;
            }
            pricesRun = run;
        }
        return prices[which];
    }
};

// The chart's data names (exact, case-sensitive).
inline int dataNames(void* user, int, fml_arg h, const char* name) {
    const Series& s = *static_cast<const Series*>(user);
    const std::vector<Bar>& b = s.bars;
    int n = int(b.size());
    auto scalar = [&](float v) {
        fml_argument_literal(h, 1);
        fml_argument_data(h, 1)[0] = v;
        return 1;
    };
    auto series = [&](auto get) {
        float* d = fml_argument_data(h, n);
        for (int k = 0; k < n; ++k) {
            d[k] = get(b[size_t(k)], k);
        }
        return 1;
    };
    std::string nm = name;
    if (nm == "PERIOD")
        return scalar(5);
    if (nm == "DRAWNULL")
        return scalar(FMLInvalidValue);
    if (nm == "TOTALFZNUM" || nm == "FROMOPEN")
        return scalar(240);
    auto gathered = [&](int which) {
        const std::vector<float>& column = s.price(which);
        std::memcpy(fml_argument_data(h, n), column.data(), column.size() * sizeof(float));
        return 1;
    };
    if (nm == "O")
        return gathered(0);
    if (nm == "H")
        return gathered(1);
    if (nm == "L")
        return gathered(2);
    if (nm == "C")
        return gathered(3);
    if (nm == "V")
        return series([](const Bar& x, int) { return x.vol; });
    if (nm == "AMO" || nm == "AMT")
        return series([](const Bar& x, int) { return x.sum; });
    if (nm == "ISLASTBAR")
        return series([n](const Bar&, int k) { return k == n - 1 ? 1.f : 0.f; });
    if (nm == "BARSTATUS")
        return series([n](const Bar&, int k) { return k == 0 ? 1.f : (k == n - 1 ? 2.f : 0.f); });
    if (nm == "CURRBARSCOUNT")
        return series([n](const Bar&, int k) { return float(n - k); });
    if (nm == "DATE")
        return series([](const Bar& x, int) { return float(x.date); });
    if (nm == "ZSTJJ")
        return series([](const Bar& x, int) { return x.avg_price; });
    if (nm == "TIMESTAMP")
        return series([](const Bar& x, int) {
            float f;
            std::memcpy(&f, &x.time, 4);
            return f;
        });
    if (nm == "CODE") {
        fml_argument_string(h, s.code.c_str(), 6);
        return 1;
    }
    return 0;
}

// DYNAINFO(3): the first bar's previous close; DYNAINFO(11): the last bar's average price.
inline int dynainfo(void* user, fml_call* call) {
    const Series& s = **static_cast<const Series* const*>(user);
    if (s.bars.empty()) {
        return 0;
    }
    int n = int(*fml_argument_data_number(call->argument[0]));
    float v;
    if (n == 3) {
        v = s.bars.front().p_close;
    } else if (n == 11) {
        v = s.bars.back().avg_price;
    } else {
        return 0;
    }
    fml_argument_literal(call->result, 1);
    fml_argument_data(call->result, 1)[0] = v;
    return 1;
}

// A VM set up the way a chart sets one up.
struct ChartVm {
    int vm = 0;
    const Series* current = nullptr;
    ChartVm() {
        vm = fml_vm_create();
        fml_vm_reg_fn(vm, &current, "DYNAINFO", dynainfo, 1);
        fml_vm_load_tdx_dll(vm, "formula-plugin.dll", 1);
        fml_vm_load_tdx_dll(vm, "cl.dll", 3);
    }
    ~ChartVm() { fml_vm_release(vm); }
    ChartVm(const ChartVm&) = delete;
    ChartVm& operator=(const ChartVm&) = delete;

    int run(int ctx, Series& s) {
        fml_ctx_clean(ctx);
        fml_ctx_data_length(ctx, int(s.bars.size()));
        fml_ctx_miss_callback(ctx, &s, dataNames);
        current = &s;
        ++s.run;
        return fml_vm_run(vm, ctx);
    }
};

inline std::vector<float> read(int ctx, const char* name, int n) {
    fml_arg h = fml_get_argument(ctx, name);
    if (!h) {
        return {};
    }
    const float* p = fml_argument_data_number(h);
    return std::vector<float>(p, p + n);
}

}  // namespace testbars

#endif
