#include "server/screening/screener.h"

#include "server/screening/bar_inputs.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace vq::screening {

struct ConditionEvaluator::Inputs {
    BarInputs data;
    BarInputs* current = &data;  // DYNAINFO reads through this pointer, as the chart's does
};

ConditionEvaluator::ConditionEvaluator(const ScreenRequest& request)
    : request_(request), inputs_(new Inputs) {
    vm_ = fml_vm_create();
    if (vm_ == 0) {
        return;
    }
    // The same host functions and analysis modules a chart's VM gets.
    fml_vm_reg_fn(vm_, &inputs_->current, "DYNAINFO", &barDynainfo, 1);
    fml_vm_load_tdx_dll(vm_, "formula-plugin.dll", 1);
    fml_vm_load_tdx_dll(vm_, "cl.dll", 3);
    for (const Condition& c : request.conditions) {
        const int ctx = fml_ctx_create(vm_);
        if (ctx == 0) {
            return;
        }
        ctx_.push_back(ctx);
        if (!c.program.push(ctx)) {
            return;
        }
        for (const auto& [name, value] : c.statics) {
            fml_arg h = fml_get_static_argument(ctx, name.c_str());
            fml_argument_literal(h, 1);
            if (float* slot = fml_argument_data(h, 1)) {
                *slot = value;
            }
        }
    }
    last_.assign(ctx_.size(), FMLInvalidValue);
    valid_ = true;
}

ConditionEvaluator::~ConditionEvaluator() {
    for (int ctx : ctx_) {
        fml_ctx_release(ctx);
    }
    if (vm_ != 0) {
        fml_vm_release(vm_);
    }
    delete inputs_;
}

float ConditionEvaluator::lastValue(size_t i) const {
    return i < last_.size() ? last_[i] : FMLInvalidValue;
}

float ConditionEvaluator::evaluate(size_t i, int n) {
    const int ctx = ctx_[i];
    fml_ctx_clean(ctx);
    fml_ctx_data_length(ctx, n);
    fml_ctx_miss_callback(ctx, &inputs_->data, &barInput);
    if (fml_vm_run(vm_, ctx) == 0) {
        return FMLInvalidValue;
    }
    const std::string& output = request_.conditions[i].output;
    if (!output.empty()) {
        const fml_arg h = fml_get_argument(ctx, output.c_str());
        const float* v = h ? fml_argument_data_number(h) : nullptr;
        const int len = h ? fml_argument_length(h) : 0;
        return v && len > 0 ? v[len - 1] : FMLInvalidValue;
    }
    // No output named: the last thing the formula draws is its signal. Marks (icons, numbers,
    // texts) hold where their price is present; sticks and rectangles where their condition is.
    const int count = fml_ctx_op_count(ctx, -1);
    int kind = 0, op = 0;
    if (count <= 0 || !fml_ctx_op_seq_get(ctx, count - 1, &kind, &op)) {
        return FMLInvalidValue;
    }
    const float* series = nullptr;
    int len = 0;
    bool present = false;  // the value counts as 1 when present
    switch (kind) {
        case FML_DRAW_LINE: {
            fml_op_line r{};
            if (fml_ctx_op_line(ctx, &r, op)) {
                series = r.values, len = r.count;
            }
            break;
        }
        case FML_DRAW_STICK: {
            fml_op_stick r{};
            if (fml_ctx_op_stick(ctx, &r, op)) {
                series = r.condition, len = r.count;
            }
            break;
        }
        case FML_DRAW_RECT: {
            fml_op_rect r{};
            if (fml_ctx_op_rect(ctx, &r, op)) {
                series = r.condition, len = r.count;
            }
            break;
        }
        case FML_DRAW_ICON: {
            fml_op_icon r{};
            if (fml_ctx_op_icon(ctx, &r, op)) {
                series = r.price, len = r.count, present = true;
            }
            break;
        }
        case FML_DRAW_NUMBER: {
            fml_op_number r{};
            if (fml_ctx_op_number(ctx, &r, op)) {
                series = r.price, len = r.count, present = true;
            }
            break;
        }
        case FML_DRAW_STRING: {
            fml_op_string r{};
            if (fml_ctx_op_string(ctx, &r, op)) {
                series = r.price, len = r.count, present = true;
            }
            break;
        }
        default:
            break;
    }
    if (!series || len <= 0) {
        return FMLInvalidValue;
    }
    const float v = series[len - 1];
    return present ? (v == FMLInvalidValue ? 0.f : 1.f) : v;
}

bool ConditionEvaluator::matches(const market::Security& security,
                                 const std::vector<market::Bar>& bars) {
    std::fill(last_.begin(), last_.end(), FMLInvalidValue);
    if (!valid_ || bars.empty()) {
        return false;
    }
    inputs_->data.bars = &bars;
    inputs_->data.security = &security;
    const bool any = request_.any;
    for (size_t i = 0; i < ctx_.size(); ++i) {
        last_[i] = evaluate(i, int(bars.size()));
        const bool h = request_.conditions[i].holds(last_[i]);
        if (h == any) {
            return any;  // AND stops at the first miss, OR at the first hit
        }
    }
    return !any;
}

std::vector<int> screenUniverse(const market::Market& market, const ScreenRequest& request) {
    const market::BlockInfo* b = market.block(request.block);
    return b ? b->members : std::vector<int>{};
}

std::vector<int> runScreen(const market::Market& market, const ScreenRequest& request,
                           const std::vector<int>& universe, int threads, ScreenProgress* progress,
                           RecentBars* recent) {
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int workers = std::max(1, std::min(threads > 0 ? threads : cores, int(universe.size())));
    std::vector<char> hit(universe.size(), 0);
    std::atomic<size_t> next{0};
    // One version of the market for the whole screen: every security is judged at one instant.
    const market::SnapshotPtr snapshot = market.snapshot();
    if (request.cycle != market::Cycle::Day || request.bars > RecentBars::kDepth) {
        recent = nullptr;
    }
    // Small batches keep the cores evenly loaded: securities differ in history length.
    constexpr size_t kBatch = 16;
    auto work = [&] {
        ConditionEvaluator eval(request);
        if (!eval.valid()) {
            return;
        }
        for (;;) {
            if (progress && progress->cancel.load(std::memory_order_relaxed)) {
                return;
            }
            const size_t from = next.fetch_add(kBatch);
            if (from >= universe.size()) {
                return;
            }
            const size_t to = std::min(universe.size(), from + kBatch);
            for (size_t k = from; k < to; ++k) {
                const market::Security* s = market.security(universe[k]);
                if (!s) {
                    continue;
                }
                const std::vector<market::Bar> bars =
                    recent
                        ? recent->dayBars(universe[k], request.adjust, request.bars, *snapshot)
                        : market.kline(universe[k], request.cycle, 0, request.bars, request.adjust)
                              .bars;
                hit[k] = eval.matches(*s, bars) ? 1 : 0;
            }
            if (progress) {
                progress->done.fetch_add(int(to - from), std::memory_order_relaxed);
            }
        }
    };
    std::vector<std::thread> pool;
    for (int i = 1; i < workers; ++i) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread& t : pool) {
        t.join();
    }
    std::vector<int> out;
    for (size_t k = 0; k < universe.size(); ++k) {
        if (hit[k]) {
            out.push_back(universe[k]);
        }
    }
    return out;
}

}  // namespace vq::screening
