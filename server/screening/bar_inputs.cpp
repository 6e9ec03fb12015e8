#include "server/screening/bar_inputs.h"

#include <cstring>
#include <ctime>

namespace vq::screening {

int tradingDate(int64_t time) {
    const time_t t = time_t(time + 8 * 3600);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

namespace {

int scalar(fml_arg h, float v) {
    fml_argument_literal(h, 1);
    if (float* slot = fml_argument_data(h, 1)) {
        *slot = v;
    }
    return 1;
}

template <class Get>
int series(fml_arg h, const std::vector<market::Bar>& b, Get get) {
    const int n = int(b.size());
    float* out = fml_argument_data(h, n);
    if (!out) {
        return 0;
    }
    for (int k = 0; k < n; ++k) {
        out[k] = get(b[size_t(k)], k);
    }
    return 1;
}

bool is(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}

}  // namespace

int barInput(void* user, int, fml_arg h, const char* name) {
    const auto* in = static_cast<const BarInputs*>(user);
    if (!in || !in->bars || !name) {
        return 0;
    }
    const std::vector<market::Bar>& b = *in->bars;
    const int n = int(b.size());
    using market::Bar;
    // The chart feeds volume and amount as floats of the wire's integers; do the same.
    if (is(name, "C")) {
        return series(h, b, [](const Bar& x, int) { return x.close; });
    }
    if (is(name, "H")) {
        return series(h, b, [](const Bar& x, int) { return x.high; });
    }
    if (is(name, "L")) {
        return series(h, b, [](const Bar& x, int) { return x.low; });
    }
    if (is(name, "O")) {
        return series(h, b, [](const Bar& x, int) { return x.open; });
    }
    if (is(name, "V")) {
        return series(h, b, [](const Bar& x, int) { return float(x.volume); });
    }
    if (is(name, "AMO") || is(name, "AMT")) {
        return series(h, b, [](const Bar& x, int) { return float(int64_t(x.amount)); });
    }
    if (is(name, "PERIOD")) {
        return scalar(h, 5);
    }
    if (is(name, "DRAWNULL")) {
        return scalar(h, FMLInvalidValue);
    }
    if (is(name, "TOTALFZNUM") || is(name, "FROMOPEN")) {
        return scalar(h, 240);
    }
    if (is(name, "ISLASTBAR")) {
        return series(h, b, [n](const Bar&, int k) { return k == n - 1 ? 1.f : 0.f; });
    }
    if (is(name, "BARSTATUS")) {
        return series(h, b,
                      [n](const Bar&, int k) { return k == 0 ? 1.f : (k == n - 1 ? 2.f : 0.f); });
    }
    if (is(name, "CURRBARSCOUNT")) {
        return series(h, b, [n](const Bar&, int k) { return float(n - k); });
    }
    if (is(name, "DATE")) {
        return series(h, b, [](const Bar& x, int) { return float(tradingDate(x.time)); });
    }
    if (is(name, "ZSTJJ")) {
        return series(h, b, [](const Bar&, int) { return 0.f; });
    }
    if (is(name, "TIMESTAMP")) {
        return series(h, b, [](const Bar& x, int) {
            const uint32_t t = uint32_t(x.time);
            float f;
            std::memcpy(&f, &t, sizeof(f));
            return f;
        });
    }
    if (is(name, "CODE") && in->security) {
        const std::string& code = in->security->code;
        fml_argument_string(h, code.data(), int(code.size() < 6 ? code.size() : 6));
        return 1;
    }
    return 0;
}

int barDynainfo(void* user, fml_call* call) {
    const auto* in = *static_cast<const BarInputs* const*>(user);
    if (!in || !in->bars || in->bars->empty() || !call) {
        return 0;
    }
    const float* arg = fml_argument_data_number(call->argument[0]);
    if (!arg) {
        return 0;
    }
    const int n = int(*arg);
    float v;
    if (n == 3) {
        // The chart's bars carry their own close as the previous close.
        v = in->bars->front().close;
    } else if (n == 11) {
        v = 0;
    } else {
        return 0;
    }
    return scalar(call->result, v);
}

}  // namespace vq::screening
