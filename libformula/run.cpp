// The evaluation pass: statements run in order over whole columns (per-bar operator chains
// fused block by block), data names asked of the host, calls shared within a run, and the
// drawing operations of each statement collected.
#include "libformula/library.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace fml {

// Pads or cuts a supplied series to the bar count so readers never run past its end.
void fitSeries(Argument& a, int n) {
    if (!a.isText && !a.literal && a.size() != 1 && a.size() != size_t(n)) {
        a.own();
        a.data.resize(size_t(n), kInvalid);
    }
}

namespace {

float lastOf(const Value& v, int n) {
    if (v.type == Value::Scalar) {
        return v.s;
    }
    if (v.type == Value::Series && n > 0) {
        return v.p[n - 1];
    }
    return kInvalid;
}

std::string numberText(float v) {
    if (missing(v)) {
        return std::string();
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(v));
    return buf;
}

Value argumentValue(const Argument& a, int n) {
    if (a.isText) {
        return Value::string(a.text);
    }
    if (a.literal || a.size() == 1 || n == 0) {
        return Value::scalar(a.size() == 0 ? kInvalid : a.values()[0]);
    }
    return Value::series(a.values());
}

bool resolveExternal(Eval& e, int index, Value& out) {
    Context& c = e.ctx;
    External& ex = c.externals[size_t(index)];
    auto st = c.statics.find(ex.name);
    if (st != c.statics.end()) {
        out = argumentValue(*st->second, e.n);
        return true;
    }
    if (!ex.arg.supplied) {
        Argument& a = ex.arg;
        a.literal = false;
        a.isText = false;
        a.text.clear();
        if (!c.missFn ||
            c.missFn(c.missUser, c.handle, reinterpret_cast<fml_arg>(&a), ex.name.c_str()) != 1) {
            return e.fail("unknown name " + ex.name);
        }
        fitSeries(a, e.n);
        a.supplied = true;
    }
    out = argumentValue(ex.arg, e.n);
    return true;
}

bool callNative(Eval& e, const Instr& ins, Value* args, Value& out) {
    Context& c = e.ctx;
    auto it = e.vm.natives.find(upper(ins.text));
    if (it == e.vm.natives.end()) {
        return e.fail("native function " + ins.text + " is no longer registered");
    }
    const Native& nat = it->second;
    size_t need = size_t(ins.argc) + 1;
    while (c.callArgs.size() < need) {
        c.callArgs.push_back(std::make_unique<Argument>());
    }
    fml_call call{};
    for (size_t i = 0; i < need; ++i) {
        Argument& a = *c.callArgs[i];
        a.data.clear();
        a.lent = nullptr;
        a.text.clear();
        a.isText = false;
        a.literal = false;
        if (i > 0 && int(i - 1) < FML_MAX_NATIVE_ARGS) {
            const Value& v = args[i - 1];
            if (v.type == Value::Text) {
                a.isText = true;
                a.text = v.text;
            } else if (v.type == Value::Scalar) {
                a.literal = true;
                a.data.assign(1, v.s);
            } else {
                a.data.assign(v.p, v.p + e.n);
            }
            call.argument[i - 1] = reinterpret_cast<fml_arg>(&a);
        }
    }
    call.result = reinterpret_cast<fml_arg>(c.callArgs[0].get());
    if (nat.fn(nat.user, &call) != 1) {
        return e.fail(ins.text + " failed");
    }
    Argument& r = *c.callArgs[0];
    fitSeries(r, e.n);
    if (r.isText) {
        out = Value::string(r.text);
    } else if (r.literal || r.size() <= 1 || e.n == 0) {
        out = Value::scalar(r.size() == 0 ? kInvalid : r.values()[0]);
    } else {
        float* d = e.alloc();
        std::copy(r.values(), r.values() + e.n, d);
        out = Value::series(d);
    }
    return true;
}

// LINE(cond1, price1, cond2, price2, extend): a straight segment from the newest bar where cond1
// held to the next bar where cond2 holds; values in between are interpolated so that the result
// is an ordinary series the line drawer and later statements can read.
const float* drawLine(Eval& e, Value* args) {
    int n = e.n;
    const float* c1 = e.series(args[0]);
    const float* p1 = e.series(args[1]);
    const float* c2 = e.series(args[2]);
    const float* p2 = e.series(args[3]);
    bool extend = truth(lastOf(args[4], n));
    float* out = e.alloc();
    std::fill(out, out + n, kInvalid);
    int start = -1, lastA = -1, lastB = -1;
    float va = 0, vb = 0;
    // Nothing starts or ends where neither condition holds: only the bars where one does are
    // visited, found in a mask of them.
    std::vector<uint64_t>& held = e.ctx.heldBars;
    held.resize(size_t(n + 63) / 64);
    heldBars(c1, c2, n, held.data());
    for (size_t w = 0; w < held.size(); ++w) {
        for (uint64_t bits = held[w]; bits != 0; bits &= bits - 1) {
            const int i = int(w * 64) + __builtin_ctzll(bits);
            // Conditions such as HHV(H,N)=H come and go at random: test them without
            // branching and branch only where a segment ends.
            bool ends = (start >= 0) & (i > start) & truth(c2[i]);
            if (ends) {
                float a = p1[start], b = p2[i];
                if (!missing(a) && !missing(b)) {
                    for (int k = start; k <= i; ++k) {
                        out[k] = a + (b - a) * float(k - start) / float(i - start);
                    }
                    lastA = start;
                    lastB = i;
                    va = a;
                    vb = b;
                }
                start = -1;
            }
            start = truth(c1[i]) ? i : start;
        }
    }
    if (extend && lastA >= 0) {
        float slope = (vb - va) / float(lastB - lastA);
        for (int k = lastB + 1; k < n; ++k) {
            out[k] = vb + slope * float(k - lastB);
        }
    }
    return out;
}

// The price where the condition holds, missing elsewhere. Selected on the bits, with every price
// read, so that the compiler turns the loops into vector lanes.
inline uint32_t pick(float cond, uint32_t price) {
    uint32_t bits;
    std::memcpy(&bits, &cond, sizeof bits);
    uint32_t held = 0u - uint32_t(((bits & 0x7FFFFFFFu) != 0) & (bits != kInvalidBits));
    return (price & held) | (kInvalidBits & ~held);
}

const float* masked(Eval& e, const Value& cond, const Value& price) {
    int n = e.n;
    const float* __restrict c = e.series(cond);
    float* __restrict out = e.alloc();
    if (price.type != Value::Series) {  // a number (or a text: missing) needs no column
        const float p = price.type == Value::Scalar ? price.s : kInvalid;
        uint32_t value;
        std::memcpy(&value, &p, sizeof value);
        for (int i = 0; i < n; ++i) {
            uint32_t r = pick(c[i], value);
            std::memcpy(out + i, &r, sizeof r);
        }
        return out;
    }
    const float* __restrict p = price.p;
    for (int i = 0; i < n; ++i) {
        uint32_t value;
        std::memcpy(&value, p + i, sizeof value);
        uint32_t r = pick(c[i], value);
        std::memcpy(out + i, &r, sizeof r);
    }
    return out;
}

std::string textArgument(const Value& v, int n) {
    return v.type == Value::Text ? v.text : numberText(lastOf(v, n));
}

bool finishDrawing(Eval& e, const Statement& st, Value* args, Value& result) {
    Context& c = e.ctx;
    DrawOp op;
    op.kind = st.kind;
    op.name = st.outputName.empty() ? st.name : st.outputName;
    op.color = normaliseColor(st.style.color);
    op.width = st.style.width;
    op.style = st.style.style;
    int n = e.n;
    result = Value::scalar(0.0f);
    switch (st.kind) {
        case FML_DRAW_LINE:
            op.a[0] = drawLine(e, args);
            result = Value::series(op.a[0]);
            break;
        case FML_DRAW_STICK:
            op.a[0] = e.series(args[0]);
            op.a[1] = e.series(args[1]);
            op.a[2] = e.series(args[2]);
            op.k[0] = lastOf(args[3], n);
            op.k[1] = truth(lastOf(args[4], n)) ? 1.0f : 0.0f;
            result = Value::series(op.a[1]);
            break;
        case FML_DRAW_NUMBER:
            op.a[0] = masked(e, args[0], args[1]);
            op.a[1] = e.series(args[2]);
            result = Value::series(op.a[1]);
            break;
        case FML_DRAW_STRING:
            op.a[0] = masked(e, args[0], args[1]);
            op.text = textArgument(args[2], n);
            break;
        case FML_DRAW_BAND:
            op.a[0] = e.series(args[0]);
            op.a[1] = e.series(args[2]);
            op.k[0] = lastOf(args[1], n);
            op.k[1] = lastOf(args[3], n);
            result = Value::series(op.a[0]);
            break;
        case FML_DRAW_ICON:
            op.a[0] = masked(e, args[0], args[1]);
            op.k[0] = lastOf(args[2], n);
            break;
        case FML_DRAW_FIX_NUMBER:
            op.k[0] = lastOf(args[0], n);
            result = Value::scalar(op.k[0]);
            break;
        case FML_DRAW_FIX_STRING:
            op.k[0] = truth(lastOf(args[0], n)) ? 1.0f : 0.0f;
            op.k[1] = lastOf(args[1], n);
            op.k[2] = lastOf(args[2], n);
            op.k[3] = lastOf(args[3], n);
            op.text = textArgument(args[4], n);
            break;
        case FML_DRAW_RECT:
            for (int i = 0; i < 4; ++i) {
                op.a[i] = e.series(args[i]);
            }
            break;
        case FML_DRAW_K_LINE:
            for (int i = 0; i < 4; ++i) {
                op.a[i] = e.series(args[i]);
            }
            result = Value::series(op.a[3]);
            break;
        default:
            return e.fail("unknown draw kind " + std::to_string(st.kind));
    }
    c.ops.push_back(std::move(op));
    return true;
}

// Identity key of a call's arguments; texts are not keyed (such calls are not shared).
bool memoKey(const Value* args, int argc, uintptr_t* key, size_t* hash) {
    size_t h = size_t(argc) * 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < argc; ++i) {
        const Value& v = args[i];
        uintptr_t word;
        if (v.type == Value::Series) {
            word = reinterpret_cast<uintptr_t>(v.p);
        } else if (v.type == Value::Scalar) {
            uint32_t bits;
            std::memcpy(&bits, &v.s, sizeof bits);
            word = bits;
        } else {
            return false;
        }
        key[2 * i] = v.type;
        key[2 * i + 1] = word;
        h = (h ^ (word + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2))) * 31 + v.type;
    }
    *hash = h;
    return true;
}

const Value* memoFind(const Context& c, LibFn fn, int argc, const uintptr_t* key, size_t hash) {
    auto range = c.memoIndex.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
        const MemoEntry& m = c.memo[it->second];
        if (m.fn == fn && m.argc == argc && std::equal(key, key + 2 * argc, m.key)) {
            return &m.result;
        }
    }
    return nullptr;
}

LibFn ifFunction() {
    static const LibFn f = findFunction("IF")->fn;
    return f;
}

// A per-bar operation joins a chain when an operand is a series or a chain and none is a text;
// with numbers only it gives a number at once, and IF with a number as its condition picks an
// operand instead of computing.
bool fusable(const Value* args, int argc, LibFn fn) {
    bool series = false;
    for (int i = 0; i < argc; ++i) {
        if (args[i].type == Value::Text) {
            return false;
        }
        series |= args[i].type != Value::Scalar;
    }
    return series && !(fn == ifFunction() && args[0].type == Value::Scalar);
}

bool runStatements(Eval& e) {
    Context& c = e.ctx;
    c.poolUsed = 0;
    c.ops.clear();
    c.readBack.clear();
    c.vars.assign(c.program.size(), Value());
    c.memo.clear();
    c.memoIndex.clear();
    c.finiteSeries.clear();
    c.sumsUsed = 0;
    for (External& ex : c.externals) {
        ex.arg.supplied = false;
    }
    std::vector<Value>& stack = c.stack;
    for (size_t si = 0; si < c.program.size(); ++si) {
        const Statement& st = c.program[si];
        stack.clear();
        for (const Instr& ins : st.code) {
            switch (ins.op) {
                case Instr::PushVar:
                    stack.push_back(c.vars[size_t(ins.index)]);
                    break;
                case Instr::PushExternal: {
                    Value v;
                    if (!resolveExternal(e, ins.index, v)) {
                        return false;
                    }
                    stack.push_back(std::move(v));
                    break;
                }
                case Instr::PushNumber:
                    stack.push_back(Value::scalar(ins.number));
                    break;
                case Instr::PushText:
                    stack.push_back(Value::string(ins.text));
                    break;
                case Instr::Call:
                case Instr::CallNative: {
                    Value* args = stack.data() + (stack.size() - size_t(ins.argc));
                    double weight = 0;
                    if (ins.op == Instr::Call && fusable(args, ins.argc, ins.fn) &&
                        smoothingWeight(ins.fn, args, ins.argc, &weight)) {
                        Value v = e.deferSmoothing(ins.fn, weight, args, ins.argc);
                        stack.resize(stack.size() - size_t(ins.argc));
                        stack.push_back(std::move(v));
                        break;
                    }
                    if (ins.kernel && fusable(args, ins.argc, ins.fn)) {
                        Value v = e.defer(ins.fn, ins.kernel, args, ins.argc);
                        stack.resize(stack.size() - size_t(ins.argc));
                        stack.push_back(std::move(v));
                        break;
                    }
                    // IF with a number as its condition passes a chain through untouched.
                    if (!(ins.op == Instr::Call && ins.fn == ifFunction() &&
                          args[0].type == Value::Scalar)) {
                        for (int i = 0; i < ins.argc; ++i) {
                            e.settle(args[i]);
                        }
                    }
                    Value out;
                    uintptr_t key[8];
                    size_t hash = 0;
                    bool memoize = ins.op == Instr::Call && ins.index == 1 && ins.argc <= 4 &&
                                   memoKey(args, ins.argc, key, &hash);
                    if (memoize) {
                        hash ^= reinterpret_cast<uintptr_t>(ins.fn);
                        if (const Value* hit = memoFind(c, ins.fn, ins.argc, key, hash)) {
                            stack.resize(stack.size() - size_t(ins.argc));
                            stack.push_back(*hit);
                            break;
                        }
                    }
                    bool ok;
                    Value mean, deviation;
                    if (memoize && ins.pairedWindow &&
                        movingMeanAndDeviation(e, args, mean, deviation)) {
                        // The partner's result waits in the memo for its own call.
                        LibFn ma = movingMeanFunction(), sd = movingDeviationFunction();
                        bool isMean = ins.fn == ma;
                        size_t partnerHash = hash ^ reinterpret_cast<uintptr_t>(ins.fn) ^
                                             reinterpret_cast<uintptr_t>(isMean ? sd : ma);
                        MemoEntry m{isMean ? sd : ma, ins.argc, {}, isMean ? deviation : mean};
                        std::copy(key, key + 2 * ins.argc, m.key);
                        c.memoIndex.emplace(partnerHash, c.memo.size());
                        c.memo.push_back(std::move(m));
                        out = isMean ? mean : deviation;
                        ok = true;
                    } else {
                        ok = ins.op == Instr::Call ? ins.fn(e, args, out)
                                                   : callNative(e, ins, args, out);
                    }
                    if (ok && memoize) {
                        MemoEntry m{ins.fn, ins.argc, {}, out};
                        std::copy(key, key + 2 * ins.argc, m.key);
                        c.memoIndex.emplace(hash, c.memo.size());
                        c.memo.push_back(std::move(m));
                    }
                    if (!ok) {
                        if (c.error.empty()) {
                            c.error = ins.text + " failed";
                        }
                        c.error = "statement " + std::to_string(si + 1) + ": " + c.error;
                        return false;
                    }
                    stack.resize(stack.size() - size_t(ins.argc));
                    stack.push_back(std::move(out));
                    break;
                }
            }
        }
        // A drawing reads its operands' values now; a statement's value that is a chain is
        // kept for a pass with the chains of the statements after it.
        bool drawing = st.hasAttribute && st.kind != FML_DRAW_CURVE;
        for (size_t k = 0; k < stack.size(); ++k) {
            if (drawing || k + 1 < stack.size()) {
                e.settle(stack[k]);
            } else {
                e.keep(stack[k]);
            }
        }
        if (!st.hasAttribute) {
            c.vars[si] = std::move(stack.back());
        } else if (st.kind == FML_DRAW_CURVE) {
            Value v = std::move(stack.back());
            if (v.type == Value::Text) {
                c.error = "statement " + std::to_string(si + 1) + ": a text cannot be drawn";
                return false;
            }
            DrawOp op;
            op.kind = FML_DRAW_LINE;
            op.name = st.outputName.empty() ? st.name : st.outputName;
            op.color = normaliseColor(st.style.color);
            op.width = st.style.width;
            op.style = st.style.style;
            op.a[0] = e.column(v);
            c.ops.push_back(std::move(op));
            c.vars[si] = std::move(v);
        } else {
            Value result;
            if (!finishDrawing(e, st, stack.data(), result)) {
                c.error = "statement " + std::to_string(si + 1) + ": " + c.error;
                return false;
            }
            c.vars[si] = std::move(result);
        }
    }
    return true;
}

}  // namespace

bool run(Vm& vm, Context& c) {
    c.error.clear();
    if (!c.linked && !link(vm, c)) {
        return false;
    }
    if (c.openUsed) {
        c.error = "the last statement has no end token";
        return false;
    }
    Eval e(vm, c);
    e.n = std::max(0, c.bars);
    c.fused.clear();
    c.fusedIndex.clear();
    c.kept.clear();
    bool ok = runStatements(e);
    // The statements' values kept as chains, those of a run that failed part way included.
    e.settleAll();
    for (Value& v : c.vars) {
        if (v.type == Value::Fused) {
            v = Value::series(c.fused[size_t(v.node)].out);
        }
    }
    return ok;
}

float* Eval::alloc() {
    if (ctx.poolUsed == ctx.pool.size()) {
        ctx.pool.emplace_back();
    }
    std::vector<float>& v = ctx.pool[ctx.poolUsed++];
    v.resize(size_t(n));
    return v.data();
}

const float* Eval::series(const Value& v) {
    if (v.type == Value::Series) {
        return v.p;
    }
    // A number spread over the bars is read only, so it is kept from run to run (a drawn level
    // such as 0 costs no pass) while the bar count stays.
    float value = v.type == Value::Scalar ? v.s : kInvalid;
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (!ctx.levels.empty() && ctx.levels.front().second.size() != size_t(n)) {
        ctx.levels.clear();  // kept from runs over another bar count
    }
    for (auto& level : ctx.levels) {
        if (level.first == bits) {
            return level.second.data();
        }
    }
    if (ctx.levels.size() >= 8) {
        float* d = alloc();
        std::fill(d, d + n, value);
        return d;
    }
    ctx.levels.emplace_back(bits, std::vector<float>(size_t(n), value));
    return ctx.levels.back().second.data();
}

bool Eval::finite(const float* x) {
    for (const auto& known : ctx.finiteSeries) {
        if (known.first == x) {
            return known.second;
        }
    }
    bool answer = finiteAndPresent(x, n);
    ctx.finiteSeries.emplace_back(x, answer);
    return answer;
}

const double* Eval::runningSums(const float* x) {
    for (size_t k = 0; k < ctx.sumsUsed; ++k) {
        if (ctx.sums[k].first == x) {
            return ctx.sums[k].second.data();
        }
    }
    if (ctx.sumsUsed == ctx.sums.size()) {
        ctx.sums.emplace_back();
    }
    auto& table = ctx.sums[ctx.sumsUsed++];
    table.first = x;
    table.second.resize(size_t(n) + 1);
    prefixInLanes(x, n, table.second.data());
    return table.second.data();
}

bool Eval::fail(const std::string& message) {
    ctx.error = message;
    return false;
}

bool Eval::dataSeries(const char* name, const float** out) {
    auto it = ctx.externalIndex.find(name);
    int index;
    if (it == ctx.externalIndex.end()) {
        index = int(ctx.externals.size());
        ctx.externalIndex.emplace(name, index);
        ctx.externals.push_back(External{name, Argument{}});
    } else {
        index = it->second;
    }
    Value v;
    if (!resolveExternal(*this, index, v)) {
        return false;
    }
    *out = series(v);
    return true;
}

}  // namespace fml
