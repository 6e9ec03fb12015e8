// Synthetic bars and the data names a chart hands the VM, shared by the formula tests and
// benchmarks.
#ifndef VQ_TESTS_LIBFORMULA_TEST_BARS_H
#define VQ_TESTS_LIBFORMULA_TEST_BARS_H

#include "libformula/fml.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace testbars {

struct Bar {
    uint32_t date, time;
    float open, high, low, close, sum, vol, p_close, avg_price, aux;
};

// A deterministic random walk with realistic candles, volumes and amounts. Kept as it is for the
// tests that read a few hundred bars of it; it drifts in float and leaves plausible prices after
// some ten thousand bars, so long series come from meanRevertingWalk below.
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

// A bounded, mean-reverting random walk: the log price is pulled back towards that of `base`
// by 1% of its distance every bar and never leaves a factor of 8 around it, so the candles stay a
// plausible price series (in cents) at any length. Kept in double so a million bars do not drift.
inline std::vector<Bar> meanRevertingWalk(int n, uint64_t seed = 7, double base = 10.0) {
    std::vector<Bar> bars(size_t(n < 0 ? 0 : n));
    uint64_t s = seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull;
    auto rnd = [&s]() {  // xorshift64*, uniform in [0, 1)
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return double((s * 0x2545F4914F6CDD1Dull) >> 11) * (1.0 / 9007199254740992.0);
    };
    auto cents = [](double v) { return float(std::round(v * 100.0) / 100.0); };
    const double centre = std::log(base), limit = std::log(8.0);
    double x = centre;
    for (int i = 0; i < n; ++i) {
        Bar& b = bars[size_t(i)];
        double open = std::exp(x);
        x += 0.01 * (centre - x) + (rnd() - 0.5) * 0.06;
        x = std::min(centre + limit, std::max(centre - limit, x));
        double close = std::exp(x);
        b.open = cents(open);
        b.close = cents(close);
        b.high = cents(std::max(open, close) * (1.0 + rnd() * 0.02));
        b.low = cents(std::min(open, close) * (1.0 - rnd() * 0.02));
        b.date = 1200101u + uint32_t(i);
        b.time = 1577836800u + uint32_t(i) * 86400u;
        b.vol = float(std::round(100000.0 + rnd() * 900000.0));
        b.sum = float(double(b.vol) * (double(b.high) + b.low) / 2.0 * 100.0);
        b.p_close = i == 0 ? b.open : bars[size_t(i - 1)].close;
        b.avg_price = (b.high + b.low + b.close) / 3.0f;
        b.aux = float(rnd());
    }
    return bars;
}

// Marks the first `lead` bars and then `width` bars out of every `every` as missing in every
// price, volume and amount, as a series with a suspension or a late listing delivers them.
inline void punchGaps(std::vector<Bar>& bars, int lead, int every, int width) {
    for (size_t i = 0; i < bars.size(); ++i) {
        bool gap = int(i) < lead || (every > 0 && int(i) % every < width);
        if (gap) {
            Bar& b = bars[i];
            b.open = b.high = b.low = b.close = FMLInvalidValue;
            b.vol = b.sum = b.avg_price = FMLInvalidValue;
        }
    }
}

// The columns a chart hands the VM by name.
enum class Column { Open, High, Low, Close, Volume, Amount, Date, AveragePrice, Timestamp, Count };

struct Series {
    std::vector<Bar> bars;
    std::string code = "600000";
    int run = 0;  // runs over these bars (ChartVm::run counts them)
    // Bump after changing `bars` in place; replacing or resizing them is noticed on its own.
    int version = 0;

    // A column gathered out of the bar records once and kept while the bars stay as they are, as
    // a chart keeps its columns between pushes: re-running formulas over unchanged bars then
    // costs no walk over the records.
    const std::vector<float>& column(Column which) const {
        if (cachedVersion != version || cachedData != bars.data() || cachedSize != bars.size()) {
            for (auto& c : columns)
                c.clear();
            cachedVersion = version;
            cachedData = bars.data();
            cachedSize = bars.size();
        }
        std::vector<float>& c = columns[size_t(which)];
        if (c.size() != bars.size()) {
            c.resize(bars.size());
            for (size_t k = 0; k < bars.size(); ++k)
                c[k] = field(bars[k], which);
        }
        return c;
    }
    const std::vector<float>& price(int which) const {
        return column(Column(which));  // 0 open, 1 high, 2 low, 3 close
    }

private:
    static float field(const Bar& b, Column which) {
        switch (which) {
            case Column::Open:
                return b.open;
            case Column::High:
                return b.high;
            case Column::Low:
                return b.low;
            case Column::Close:
                return b.close;
            case Column::Volume:
                return b.vol;
            case Column::Amount:
                return b.sum;
            case Column::Date:
                return float(b.date);
            case Column::AveragePrice:
                return b.avg_price;
            default: {
                float f;
                std::memcpy(&f, &b.time, 4);
                return f;
            }
        }
    }
    mutable std::vector<float> columns[size_t(Column::Count)];
    mutable int cachedVersion = -1;
    mutable const Bar* cachedData = nullptr;
    mutable size_t cachedSize = 0;
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
    // Gathered columns are lent, not copied: they stay as they are until the bars change, and
    // the bars change only between runs.
    auto gathered = [&](Column which) {
        const std::vector<float>& column = s.column(which);
        return fml_argument_lend(h, column.data(), int(column.size()));
    };
    if (nm == "O")
        return gathered(Column::Open);
    if (nm == "H")
        return gathered(Column::High);
    if (nm == "L")
        return gathered(Column::Low);
    if (nm == "C")
        return gathered(Column::Close);
    if (nm == "V")
        return gathered(Column::Volume);
    if (nm == "AMO" || nm == "AMT")
        return gathered(Column::Amount);
    if (nm == "ISLASTBAR")
        return series([n](const Bar&, int k) { return k == n - 1 ? 1.f : 0.f; });
    if (nm == "BARSTATUS")
        return series([n](const Bar&, int k) { return k == 0 ? 1.f : (k == n - 1 ? 2.f : 0.f); });
    if (nm == "CURRBARSCOUNT")
        return series([n](const Bar&, int k) { return float(n - k); });
    if (nm == "DATE")
        return gathered(Column::Date);
    if (nm == "ZSTJJ")
        return gathered(Column::AveragePrice);
    if (nm == "TIMESTAMP")
        return gathered(Column::Timestamp);
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

// Pushes one statement written in postfix words: #n number, 'text' literal, @F call,
// anything else an identifier.
inline void push(int ctx, const std::string& rpn, const std::string& name, int kind = -1,
                 Style style = {0, 1, 0}) {
    std::istringstream in(rpn);
    std::string w;
    std::vector<std::string> keep;
    keep.reserve(64);
    while (in >> w) {
        fml_token t{0, 0, nullptr};
        if (w[0] == '#') {
            float f = std::stof(w.substr(1));
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            t.a = bits;
            fml_ctx_op_code_push(ctx, FML_TOKEN_NUMBER, &t);
        } else if (w[0] == '\'') {
            keep.push_back(w.substr(1, w.size() - 2));
            t.a = uintptr_t(keep.back().c_str());
            fml_ctx_op_code_push(ctx, FML_TOKEN_STRING, &t);
        } else if (w[0] == '@' || w.find_first_not_of("+-*/<>=!") == std::string::npos) {
            keep.push_back(w[0] == '@' ? w.substr(1) : w);
            t.a = uintptr_t(keep.back().c_str());
            fml_ctx_op_code_push(ctx, FML_TOKEN_CALL, &t);
        } else {
            keep.push_back(w);
            t.a = uintptr_t(keep.back().c_str());
            fml_ctx_op_code_push(ctx, FML_TOKEN_IDENT, &t);
        }
    }
    fml_token t{uintptr_t(name.c_str()), 0, nullptr};
    fml_ctx_op_code_push(ctx, FML_TOKEN_NAME, &t);
    if (kind >= 0) {
        fml_token a{uintptr_t(kind), uintptr_t(name.c_str()), &style};
        fml_ctx_op_code_push(ctx, FML_TOKEN_ATTRIBUTE, &a);
    }
    fml_ctx_op_code_push(ctx, FML_TOKEN_END, nullptr);
}

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
