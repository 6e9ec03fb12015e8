// The formula VM: handle tables, program intake, linking, the column-wise evaluation pass and the
// readers of its results.
#include "libformula/vm_internal.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

extern "C" const float FMLInvalidValue = fml::kInvalid;

namespace fml {
namespace {

// Handle tables. The terminal uses the VM from its GUI thread only; the lock keeps the tables
// themselves sound if tests or tools create VMs elsewhere.
std::mutex tableLock;
std::vector<std::unique_ptr<Vm>> vms(1);
std::vector<std::unique_ptr<Context>> contexts(1);
std::vector<int> freeVms, freeContexts;

Vm* vmOf(int h) {
    std::lock_guard<std::mutex> g(tableLock);
    return h > 0 && size_t(h) < vms.size() ? vms[h].get() : nullptr;
}
Context* ctxOf(int h) {
    std::lock_guard<std::mutex> g(tableLock);
    return h > 0 && size_t(h) < contexts.size() ? contexts[h].get() : nullptr;
}

std::string upper(const std::string& s) {
    std::string r = s;
    for (char& ch : r) {
        if (ch >= 'a' && ch <= 'z') {
            ch = char(ch - 'a' + 'A');
        }
    }
    return r;
}

const char* textOf(uintptr_t word) {
    const char* s = reinterpret_cast<const char*>(word);
    return s ? s : "";
}

int drawArity(int kind) {
    switch (kind) {
        case FML_DRAW_CURVE:
        case FML_DRAW_FIX_NUMBER:
            return 1;
        case FML_DRAW_LINE:
        case FML_DRAW_STICK:
        case FML_DRAW_FIX_STRING:
            return 5;
        case FML_DRAW_NUMBER:
        case FML_DRAW_STRING:
        case FML_DRAW_ICON:
            return 3;
        case FML_DRAW_BAND:
        case FML_DRAW_RECT:
        case FML_DRAW_K_LINE:
            return 4;
        default:
            return -1;
    }
}

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

void releaseExtensionStates(Vm* vm, Context& c) {
    for (int i = 0; i < 8; ++i) {
        if (c.extState[i] && vm && vm->slots[i] && vm->slots[i]->destroy) {
            vm->slots[i]->destroy(c.extState[i]);
        }
        c.extState[i] = nullptr;
    }
}

// Marks MA(X,N) and STD(X,N) calls written with the same two operands anywhere in the program
// (BOLL's middle line and its bands): the first of them to run computes both in one pass. The
// operands are compared as written; the run shares a result only where they resolve to the same
// values, so a name redefined in between costs a pass and nothing else.
void pairWindows(Context& c) {
    LibFn ma = movingMeanFunction(), sd = movingDeviationFunction();
    auto operandsOf = [](const std::vector<Instr>& code, size_t at, std::string* key) {
        if (at < 2) {
            return false;
        }
        for (size_t k = at - 2; k < at; ++k) {
            const Instr& p = code[k];
            if (p.op == Instr::PushNumber) {
                *key += "#" + std::to_string(p.number) + '\n';
            } else if (p.op == Instr::PushVar || p.op == Instr::PushExternal) {
                *key += "$" + p.text + '\n';
            } else {
                return false;
            }
        }
        return true;
    };
    std::unordered_map<std::string, int> seen;  // bit 1: MA, bit 2: STD
    for (int pass = 0; pass < 2; ++pass) {
        for (Statement& st : c.program) {
            for (size_t i = 0; i < st.code.size(); ++i) {
                Instr& ins = st.code[i];
                std::string key;
                if (ins.op != Instr::Call || (ins.fn != ma && ins.fn != sd) ||
                    !operandsOf(st.code, i, &key)) {
                    continue;
                }
                if (pass == 0) {
                    seen[key] |= ins.fn == ma ? 1 : 2;
                } else {
                    ins.pairedWindow = seen[key] == 3;
                }
            }
        }
    }
}

// Resolves names and functions and checks the stack discipline of every statement, so that a
// malformed program fails once with a clear message instead of misbehaving during the run.
bool link(Vm& vm, Context& c) {
    std::unordered_map<std::string, int> defined;
    c.externals.clear();
    c.externalIndex.clear();
    for (size_t si = 0; si < c.program.size(); ++si) {
        Statement& st = c.program[si];
        int depth = 0;
        for (Instr& ins : st.code) {
            switch (ins.op) {
                case Instr::PushVar:
                case Instr::PushExternal: {
                    auto it = defined.find(ins.text);
                    if (it != defined.end()) {
                        ins.op = Instr::PushVar;
                        ins.index = it->second;
                    } else {
                        ins.op = Instr::PushExternal;
                        auto ex = c.externalIndex.find(ins.text);
                        if (ex == c.externalIndex.end()) {
                            ins.index = int(c.externals.size());
                            c.externalIndex.emplace(ins.text, ins.index);
                            c.externals.push_back(External{ins.text, Argument{}});
                        } else {
                            ins.index = ex->second;
                        }
                    }
                    ++depth;
                    break;
                }
                case Instr::PushNumber:
                case Instr::PushText:
                    ++depth;
                    break;
                case Instr::Call:
                case Instr::CallNative: {
                    std::string key = upper(ins.text);
                    auto nat = vm.natives.find(key);
                    ins.kernel = nullptr;
                    ins.fn = nullptr;
                    if (nat != vm.natives.end()) {
                        ins.op = Instr::CallNative;
                        ins.argc = nat->second.arity;
                    } else if (const FunctionInfo* f = findFunction(key)) {
                        ins.op = Instr::Call;
                        ins.argc = f->arity;
                        ins.fn = f->fn;
                        ins.kernel = f->kernel;
                        // Calls with effects beyond their result are never shared.
                        ins.index =
                            key == "OPRENAME" || key == "RURAZU1" || key == "VADAZI3" ? 0 : 1;
                    } else {
                        c.error = "statement " + std::to_string(si + 1) + ": unknown function " +
                                  ins.text;
                        return false;
                    }
                    if (depth < ins.argc) {
                        c.error = "statement " + std::to_string(si + 1) + ": " + ins.text +
                                  " takes " + std::to_string(ins.argc) + " arguments";
                        return false;
                    }
                    depth -= ins.argc - 1;
                    break;
                }
            }
        }
        int want = 1;
        if (st.hasAttribute && st.kind != FML_DRAW_CURVE) {
            want = drawArity(st.kind);
            if (want < 0) {
                c.error = "statement " + std::to_string(si + 1) + ": unknown draw kind " +
                          std::to_string(st.kind);
                return false;
            }
        }
        if (depth != want) {
            c.error = "statement " + std::to_string(si + 1) + ": expected " + std::to_string(want) +
                      " operand(s), found " + std::to_string(depth);
            return false;
        }
        if (!st.name.empty()) {
            defined[st.name] = int(si);
        }
    }
    pairWindows(c);
    c.linked = true;
    return true;
}

Value argumentValue(const Argument& a, int n) {
    if (a.isText) {
        return Value::string(a.text);
    }
    if (a.literal || a.data.size() == 1 || n == 0) {
        return Value::scalar(a.data.empty() ? kInvalid : a.data[0]);
    }
    return Value::series(a.data.data());
}

// Pads or cuts a supplied series to the bar count so readers never run past its end.
void fitSeries(Argument& a, int n) {
    if (!a.isText && !a.literal && a.data.size() != 1 && int(a.data.size()) != n) {
        a.data.resize(size_t(n), kInvalid);
    }
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
    } else if (r.literal || r.data.size() <= 1 || e.n == 0) {
        out = Value::scalar(r.data.empty() ? kInvalid : r.data[0]);
    } else {
        float* d = e.alloc();
        std::copy(r.data.begin(), r.data.begin() + e.n, d);
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
    for (int i = 0; i < n; ++i) {
        // Conditions such as HHV(H,N)=H come and go at random: test them without branching
        // and branch only where a segment ends.
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
    if (extend && lastA >= 0) {
        float slope = (vb - va) / float(lastB - lastA);
        for (int k = lastB + 1; k < n; ++k) {
            out[k] = vb + slope * float(k - lastB);
        }
    }
    return out;
}

const float* masked(Eval& e, const Value& cond, const Value& price) {
    int n = e.n;
    const float* __restrict c = e.series(cond);
    const float* __restrict p = e.series(price);
    float* __restrict out = e.alloc();
    for (int i = 0; i < n; ++i) {
        out[i] = truth(c[i]) ? p[i] : kInvalid;
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
    c.poolUsed = 0;
    c.ops.clear();
    c.readBack.clear();
    c.vars.assign(c.program.size(), Value());
    c.memo.clear();
    c.memoIndex.clear();
    c.fusedDone.clear();
    for (External& ex : c.externals) {
        ex.arg.supplied = false;
    }
    std::vector<Value>& stack = c.stack;
    for (size_t si = 0; si < c.program.size(); ++si) {
        const Statement& st = c.program[si];
        stack.clear();
        c.fused.clear();
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
        for (Value& v : stack) {
            e.settle(v);
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
            op.a[0] = e.series(v);
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

const DrawOp* opOf(int ctx, int op, int kind) {
    Context* c = ctxOf(ctx);
    if (!c || op < 0 || size_t(op) >= c->ops.size()) {
        return nullptr;
    }
    const DrawOp& d = c->ops[size_t(op)];
    return d.kind == kind ? &d : nullptr;
}

int countOf(int ctx) {
    Context* c = ctxOf(ctx);
    return c ? c->bars : 0;
}

}  // namespace

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
    float* d = alloc();
    std::fill(d, d + n, v.type == Value::Scalar ? v.s : kInvalid);
    return d;
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

uint32_t normaliseColor(uint32_t c) {
    uint32_t top = c >> 24;
    if (top == 0) {
        return c;
    }
    if (top == 0xFF) {  // QRgb 0xAARRGGBB (the palette's white reads the same either way)
        uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        return b << 16 | g << 8 | r;
    }
    if ((c & 0xFF) == 0xFF) {  // palette packing B<<24 | G<<16 | R<<8 | 0xFF
        uint32_t b = top, g = (c >> 16) & 0xFF, r = (c >> 8) & 0xFF;
        return b << 16 | g << 8 | r;
    }
    return c & 0xFFFFFF;
}

}  // namespace fml

using namespace fml;

extern "C" {

int fml_vm_create(void) {
    std::lock_guard<std::mutex> g(tableLock);
    int h;
    if (!freeVms.empty()) {
        h = freeVms.back();
        freeVms.pop_back();
    } else {
        h = int(vms.size());
        vms.emplace_back();
    }
    vms[size_t(h)] = std::make_unique<Vm>();
    return h;
}

void fml_vm_release(int vm) {
    std::unique_ptr<Vm> dead;
    {
        std::lock_guard<std::mutex> g(tableLock);
        if (vm <= 0 || size_t(vm) >= vms.size() || !vms[size_t(vm)]) {
            return;
        }
        // Contexts of this VM stay usable as handles but lose their VM; release their
        // extension states now, while the modules are still attached.
        for (auto& c : contexts) {
            if (c && c->vm == vm) {
                releaseExtensionStates(vms[size_t(vm)].get(), *c);
                c->vm = 0;
            }
        }
        dead = std::move(vms[size_t(vm)]);
        freeVms.push_back(vm);
    }
    for (void* lib : dead->libraries) {
        if (lib) {
            dlclose(lib);
        }
    }
}

int fml_vm_reg_fn(int vm, void* user, const char* name, fml_native_fn fn, int arity) {
    Vm* v = vmOf(vm);
    if (!v || !name || !*name || !fn || arity < 0 || arity > FML_MAX_NATIVE_ARGS) {
        return 0;
    }
    v->natives[upper(name)] = Native{user, fn, arity};
    std::lock_guard<std::mutex> g(tableLock);
    for (auto& c : contexts) {
        if (c && c->vm == vm) {
            c->linked = false;
        }
    }
    return 1;
}

int fml_vm_load_tdx_dll(int vm, const char* file, int slot) {
    Vm* v = vmOf(vm);
    if (!v || !file || slot < 0 || slot >= 8) {
        return 0;
    }
    const char* base = std::strrchr(file, '/');
    base = base ? base + 1 : file;
    const fml_extension* ext = nullptr;
    void* lib = nullptr;
    if (std::strcmp(base, "formula-plugin.dll") == 0) {
        ext = fml_swing_extension();
    } else if (std::strcmp(base, "cl.dll") == 0) {
        ext = fml_stroke_extension();
    } else {
        lib = dlopen(file, RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            return 0;
        }
        auto entry = reinterpret_cast<fml_extension_entry_fn>(dlsym(lib, "fml_extension_entry"));
        ext = entry ? entry() : nullptr;
        if (!ext || ext->version != FML_EXTENSION_VERSION || !ext->call) {
            dlclose(lib);
            return 0;
        }
    }
    {
        std::lock_guard<std::mutex> g(tableLock);
        for (auto& c : contexts) {
            if (c && c->vm == vm && c->extState[slot]) {
                if (v->slots[slot] && v->slots[slot]->destroy) {
                    v->slots[slot]->destroy(c->extState[slot]);
                }
                c->extState[slot] = nullptr;
            }
        }
    }
    if (v->libraries[slot]) {
        dlclose(v->libraries[slot]);
    }
    v->slots[slot] = ext;
    v->libraries[slot] = lib;
    return 1;
}

int fml_vm_run(int vm, int ctx) {
    Vm* v = vmOf(vm);
    Context* c = ctxOf(ctx);
    if (!v || !c) {
        return 0;
    }
    if (c->vm != vm) {
        c->error = "the context belongs to another VM";
        return 0;
    }
    if (!run(*v, *c)) {
        c->ops.clear();
        return 0;
    }
    return 1;
}

int fml_ctx_create(int vm) {
    if (!vmOf(vm)) {
        return 0;
    }
    std::lock_guard<std::mutex> g(tableLock);
    int h;
    if (!freeContexts.empty()) {
        h = freeContexts.back();
        freeContexts.pop_back();
    } else {
        h = int(contexts.size());
        contexts.emplace_back();
    }
    contexts[size_t(h)] = std::make_unique<Context>();
    contexts[size_t(h)]->vm = vm;
    contexts[size_t(h)]->handle = h;
    return h;
}

void fml_ctx_release(int ctx) {
    std::unique_ptr<Context> dead;
    {
        std::lock_guard<std::mutex> g(tableLock);
        if (ctx <= 0 || size_t(ctx) >= contexts.size() || !contexts[size_t(ctx)]) {
            return;
        }
        dead = std::move(contexts[size_t(ctx)]);
        freeContexts.push_back(ctx);
        Vm* v =
            dead->vm > 0 && size_t(dead->vm) < vms.size() ? vms[size_t(dead->vm)].get() : nullptr;
        releaseExtensionStates(v, *dead);
    }
}

int fml_ctx_op_code_push(int ctx, int code, const fml_token* token) {
    Context* c = ctxOf(ctx);
    if (!c) {
        return 0;
    }
    static const fml_token none{0, 0, nullptr};
    const fml_token& t = token ? *token : none;
    Statement& st = c->open;
    c->linked = false;
    switch (code) {
        case FML_TOKEN_NAME:
            st.name = textOf(t.a);
            break;
        case FML_TOKEN_IDENT: {
            Instr ins;
            ins.op = Instr::PushExternal;
            ins.text = textOf(t.a);
            if (ins.text.empty()) {
                c->error = "empty identifier";
                return 0;
            }
            st.code.push_back(std::move(ins));
            break;
        }
        case FML_TOKEN_NUMBER: {
            Instr ins;
            ins.op = Instr::PushNumber;
            uint32_t bits = uint32_t(t.a);
            std::memcpy(&ins.number, &bits, sizeof bits);
            st.code.push_back(std::move(ins));
            break;
        }
        case FML_TOKEN_STRING: {
            Instr ins;
            ins.op = Instr::PushText;
            ins.text = textOf(t.a);
            st.code.push_back(std::move(ins));
            break;
        }
        case FML_TOKEN_CALL: {
            Instr ins;
            ins.op = Instr::Call;
            ins.text = textOf(t.a);
            if (ins.text.empty()) {
                c->error = "empty function name";
                return 0;
            }
            st.code.push_back(std::move(ins));
            break;
        }
        case FML_TOKEN_ATTRIBUTE:
            st.hasAttribute = true;
            st.kind = int(t.a);
            st.outputName = textOf(t.b);
            if (t.style) {
                st.style = *t.style;
            }
            break;
        case FML_TOKEN_END:
            c->program.push_back(std::move(st));
            c->open = Statement();
            c->openUsed = false;
            return 1;
        default:
            c->error = "unknown token code " + std::to_string(code);
            return 0;
    }
    c->openUsed = true;
    return 1;
}

void fml_ctx_clean(int ctx) {
    if (Context* c = ctxOf(ctx)) {
        c->ops.clear();
        c->vars.clear();
        c->readBack.clear();
        c->poolUsed = 0;
    }
}

void fml_ctx_data_length(int ctx, int bars) {
    if (Context* c = ctxOf(ctx)) {
        c->bars = std::max(0, bars);
    }
}

void fml_ctx_miss_callback(int ctx, void* user, fml_miss_fn fn) {
    if (Context* c = ctxOf(ctx)) {
        c->missUser = user;
        c->missFn = fn;
    }
}

const char* fml_ctx_last_error(int ctx) {
    Context* c = ctxOf(ctx);
    return c ? c->error.c_str() : "no such context";
}

fml_arg fml_get_static_argument(int ctx, const char* name) {
    Context* c = ctxOf(ctx);
    if (!c || !name || !*name) {
        return 0;
    }
    auto& slot = c->statics[name];
    if (!slot) {
        slot = std::make_unique<Argument>();
        slot->literal = true;
        slot->data.assign(1, kInvalid);
    }
    return reinterpret_cast<fml_arg>(slot.get());
}

fml_arg fml_get_argument(int ctx, const char* name) {
    Context* c = ctxOf(ctx);
    if (!c || !name) {
        return 0;
    }
    // The newest statement of that name wins, as it did for the statements after it.
    for (size_t i = c->vars.size(); i-- > 0;) {
        if (c->program[i].name != name) {
            continue;
        }
        const Value& v = c->vars[i];
        auto& slot = c->readBack[name];
        if (!slot) {
            slot = std::make_unique<Argument>();
        }
        Argument& a = *slot;
        a.isText = v.type == Value::Text;
        a.text = v.text;
        if (v.type == Value::Series) {
            a.data.assign(v.p, v.p + c->bars);
        } else {
            a.data.assign(size_t(std::max(1, c->bars)), v.type == Value::Scalar ? v.s : kInvalid);
        }
        return reinterpret_cast<fml_arg>(&a);
    }
    auto st = c->statics.find(name);
    if (st != c->statics.end()) {
        return reinterpret_cast<fml_arg>(st->second.get());
    }
    // A data name the program read during the run ...
    auto ex = c->externalIndex.find(name);
    if (ex != c->externalIndex.end() && c->externals[size_t(ex->second)].arg.supplied) {
        return reinterpret_cast<fml_arg>(&c->externals[size_t(ex->second)].arg);
    }
    // ... or one it did not need: the volume painter asks a VOL context for "C" and "O" to
    // colour its sticks, so the host's data callback is asked now, for the same bars.
    if (!c->missFn) {
        return 0;
    }
    auto& slot = c->readBack[name];
    if (!slot) {
        slot = std::make_unique<Argument>();
        if (c->missFn(c->missUser, ctx, reinterpret_cast<fml_arg>(slot.get()), name) != 1) {
            c->readBack.erase(name);
            return 0;
        }
        fitSeries(*slot, c->bars);
    }
    return reinterpret_cast<fml_arg>(slot.get());
}

void fml_argument_literal(fml_arg h, int literal) {
    if (Argument* a = reinterpret_cast<Argument*>(h)) {
        a->literal = literal != 0;
        if (a->literal && a->data.empty()) {
            a->data.assign(1, kInvalid);
        }
    }
}

float* fml_argument_data(fml_arg h, int n) {
    Argument* a = reinterpret_cast<Argument*>(h);
    if (!a || n < 0) {
        return nullptr;
    }
    a->isText = false;
    // The caller writes every slot; refilling a buffer of the right size would only cost a pass.
    size_t want = size_t(std::max(n, 1));
    if (a->data.size() != want) {
        a->data.assign(want, kInvalid);
    }
    return a->data.data();
}

float* fml_argument_data_number(fml_arg h) {
    Argument* a = reinterpret_cast<Argument*>(h);
    if (!a) {
        return nullptr;
    }
    if (a->data.empty()) {
        a->data.assign(1, kInvalid);
    }
    return a->data.data();
}

void fml_argument_string(fml_arg h, const char* chars, int length) {
    Argument* a = reinterpret_cast<Argument*>(h);
    if (!a) {
        return;
    }
    a->isText = true;
    a->literal = true;
    a->text.clear();
    if (chars) {
        size_t len = 0;
        while (len < size_t(std::max(0, length)) && chars[len]) {
            ++len;
        }
        a->text.assign(chars, len);
    }
}

int fml_argument_length(fml_arg h) {
    Argument* a = reinterpret_cast<Argument*>(h);
    return a ? (a->isText ? 0 : int(a->data.size())) : 0;
}

const char* fml_argument_text(fml_arg h) {
    Argument* a = reinterpret_cast<Argument*>(h);
    return a && a->isText ? a->text.c_str() : "";
}

int fml_ctx_op_count(int ctx, int kind) {
    Context* c = ctxOf(ctx);
    if (!c) {
        return 0;
    }
    if (kind < 0) {
        return int(c->ops.size());
    }
    return int(std::count_if(c->ops.begin(), c->ops.end(),
                             [kind](const DrawOp& d) { return d.kind == kind; }));
}

int fml_ctx_op_seq_get(int ctx, int j, int* kind, int* op) {
    Context* c = ctxOf(ctx);
    if (!c || j < 0 || size_t(j) >= c->ops.size()) {
        return 0;
    }
    if (kind) {
        *kind = c->ops[size_t(j)].kind;
    }
    if (op) {
        *op = j;
    }
    return 1;
}

int fml_ctx_op_line(int ctx, fml_op_line* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_LINE);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_line{d->name.c_str(), d->a[0], countOf(ctx), d->color, d->width, d->style};
    return 1;
}

int fml_ctx_op_stick(int ctx, fml_op_stick* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_STICK);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_stick{d->a[0],      d->a[1],  d->a[2],  countOf(ctx), d->k[0],
                      int(d->k[1]), d->color, d->width, d->style};
    return 1;
}

int fml_ctx_op_number(int ctx, fml_op_number* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_NUMBER);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_number{d->a[0], d->a[1], countOf(ctx), d->color};
    return 1;
}

int fml_ctx_op_string(int ctx, fml_op_string* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_STRING);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_string{d->a[0], d->text.c_str(), countOf(ctx), d->color};
    return 1;
}

int fml_ctx_op_band(int ctx, fml_op_band* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_BAND);
    if (!d || !r) {
        return 0;
    }
    auto colour = [](float v) {
        return !missing(v) && v >= 0 && v < 16777216.0f ? uint32_t(v) : 0u;
    };
    *r = fml_op_band{d->a[0], d->a[1], countOf(ctx), colour(d->k[0]), colour(d->k[1])};
    return 1;
}

int fml_ctx_op_icon(int ctx, fml_op_icon* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_ICON);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_icon{d->a[0], countOf(ctx), toInt(d->k[0]), d->color};
    return 1;
}

int fml_ctx_op_fix_number(int ctx, fml_op_fix_number* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_FIX_NUMBER);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_fix_number{d->k[0], d->color, d->width, d->style};
    return 1;
}

int fml_ctx_op_fix_string(int ctx, fml_op_fix_string* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_FIX_STRING);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_fix_string{int(d->k[0]),   d->k[1],         d->k[2],
                           toInt(d->k[3]), d->text.c_str(), d->color};
    return 1;
}

int fml_ctx_op_rect(int ctx, fml_op_rect* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_RECT);
    if (!d || !r) {
        return 0;
    }
    *r =
        fml_op_rect{d->a[0], d->a[1], d->a[2], d->a[3], countOf(ctx), d->color, d->width, d->style};
    return 1;
}

int fml_ctx_op_k_line(int ctx, fml_op_k_line* r, int op) {
    const DrawOp* d = opOf(ctx, op, FML_DRAW_K_LINE);
    if (!d || !r) {
        return 0;
    }
    *r = fml_op_k_line{d->a[0],      d->a[1],  d->a[2],  d->a[3],
                       countOf(ctx), d->color, d->width, d->style};
    return 1;
}

int fml_ctx_output_maxmin(int ctx, int first, int count, float* max, float* min) {
    Context* c = ctxOf(ctx);
    float hi = -FLT_MAX, lo = FLT_MAX;
    bool any = false;
    auto take = [&](float v) {
        if (!missing(v) && std::isfinite(v)) {
            hi = std::max(hi, v);
            lo = std::min(lo, v);
            any = true;
        }
    };
    if (c) {
        int from = std::max(0, first);
        int to = std::min(c->bars, first + std::max(0, count));
        for (const DrawOp& d : c->ops) {
            auto range = [&](const float* p, const float* cond) {
                if (!p) {
                    return;
                }
                for (int i = from; i < to; ++i) {
                    if (!cond || truth(cond[i])) {
                        take(p[i]);
                    }
                }
            };
            switch (d.kind) {
                case FML_DRAW_LINE:
                case FML_DRAW_NUMBER:
                case FML_DRAW_ICON:
                case FML_DRAW_STRING:
                    range(d.a[0], nullptr);
                    break;
                case FML_DRAW_STICK:
                    range(d.a[1], d.a[0]);
                    range(d.a[2], d.a[0]);
                    break;
                case FML_DRAW_BAND:
                    range(d.a[0], nullptr);
                    range(d.a[1], nullptr);
                    break;
                case FML_DRAW_RECT:
                    range(d.a[2], d.a[0]);
                    range(d.a[3], d.a[0]);
                    break;
                case FML_DRAW_K_LINE:
                    range(d.a[0], nullptr);
                    range(d.a[2], nullptr);
                    break;
                case FML_DRAW_FIX_NUMBER:
                    take(d.k[0]);
                    break;
                default:
                    break;
            }
        }
    }
    if (max) {
        *max = any ? hi : kInvalid;
    }
    if (min) {
        *min = any ? lo : kInvalid;
    }
    return any ? 1 : 0;
}

int fml_ctx_output_selected_value(int ctx, int bar, void* dest, int mode) {
    Context* c = ctxOf(ctx);
    if (!c || !dest) {
        return 0;
    }
    std::vector<const DrawOp*> named;
    for (const DrawOp& d : c->ops) {
        if (d.kind == FML_DRAW_LINE && !d.name.empty() && named.size() < 10) {
            named.push_back(&d);
        }
    }
    auto valueAt = [&](const DrawOp* d) {
        return bar >= 0 && bar < c->bars && d->a[0] ? d->a[0][bar] : kInvalid;
    };
    if (mode == FML_SELECTED_RECORDS) {
        auto* out = static_cast<fml_selected*>(dest);
        for (size_t i = 0; i < named.size(); ++i) {
            out[i] = fml_selected{named[i]->name.c_str(), valueAt(named[i]), named[i]->color};
        }
        return int(named.size());
    }
    if (mode == FML_SELECTED_TEXT) {
        auto* t = static_cast<fml_text*>(dest);
        if (!t->data || t->capacity <= 0) {
            return 0;
        }
        std::string s;
        for (const DrawOp* d : named) {
            float v = valueAt(d);
            char buf[48];
            if (missing(v)) {
                std::snprintf(buf, sizeof buf, "--");
            } else {
                std::snprintf(buf, sizeof buf, "%.2f", double(v));
            }
            if (!s.empty()) {
                s += ' ';
            }
            s += d->name + ":" + buf;
        }
        size_t len = std::min(s.size(), size_t(t->capacity - 1));
        // Never cut a UTF-8 sequence in half.
        while (len > 0 && len < s.size() && (static_cast<unsigned char>(s[len]) & 0xC0) == 0x80) {
            --len;
        }
        std::memcpy(t->data, s.data(), len);
        t->data[len] = '\0';
        return int(len);
    }
    return 0;
}

int fml_function_arity(const char* name) {
    if (!name) {
        return -1;
    }
    const FunctionInfo* f = findFunction(upper(name));
    return f ? f->arity : -1;
}

int fml_draw_arity(int kind) {
    return drawArity(kind);
}

}  // extern "C"
