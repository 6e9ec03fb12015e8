// Internal structures of the formula VM, shared by the evaluator and the function library.
#ifndef VQ_LIBFORMULA_VM_INTERNAL_H
#define VQ_LIBFORMULA_VM_INTERNAL_H

#include "libformula/fml.h"
#include "libformula/fml_extension.h"

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// A function compiled twice, for processors with 256-bit vector lanes and for all others, the
// right copy chosen when the library is loaded. Without fused multiply-add in either copy, both
// give the same values.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VQ_LANES __attribute__((target_clones("avx2", "default")))
#else
#define VQ_LANES
#endif

namespace fml {

constexpr float kInvalid = -FLT_MAX;
constexpr uint32_t kInvalidBits = 0xFF7FFFFFu;
// Compared as bits: the same answer as ==, and it lets the column loops vectorise.
inline bool missing(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b == kInvalidBits;
}
// A float as an int without undefined behaviour: missing or not a number gives `otherwise`,
// anything else is truncated and limited to +-1e9.
inline int toInt(float v, int otherwise = 0) {
    if (missing(v) || !(v == v)) {
        return otherwise;
    }
    if (v > 1e9f) {
        return 1000000000;
    }
    if (v < -1e9f) {
        return -1000000000;
    }
    return int(v);
}
// Boolean reading of a value: missing counts as false.
// On the bits: neither zero of either sign nor the missing value; not-a-number counts as true, as
// it does for v != 0. Integer tests without short-circuits let the loops over it vectorise.
inline bool truth(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return ((b & 0x7FFFFFFFu) != 0) & (b != kInvalidBits);
}

// A value on the evaluation stack. A Fused value is a chain of per-bar operations not yet
// computed (see fused.cpp); it lives within one statement and never reaches a library function.
struct Value {
    enum Type : unsigned char { Scalar, Series, Text, Fused };
    Type type = Scalar;
    float s = 0.0f;
    const float* p = nullptr;  // Series: `bars` floats owned by the context or an argument
    int node = -1;             // Fused: index of its node in the context
    std::string text;

    static Value scalar(float v) {
        Value r;
        r.s = v;
        return r;
    }
    static Value series(const float* d) {
        Value r;
        r.type = Series;
        r.p = d;
        return r;
    }
    static Value string(std::string t) {
        Value r;
        r.type = Text;
        r.text = std::move(t);
        return r;
    }
    float at(int i) const { return type == Series ? p[i] : (type == Scalar ? s : kInvalid); }
};

// Storage behind an fml_arg handle: values the VM owns, or floats the host lent it.
struct Argument {
    std::vector<float> data;
    const float* lent = nullptr;  // set by fml_argument_lend; read in place of `data`
    size_t lentSize = 0;
    const float* values() const { return lent ? lent : data.data(); }
    size_t size() const { return lent ? lentSize : data.size(); }
    // Takes a copy of lent floats, so that writes and resizes never reach the host's memory.
    void own() {
        if (lent) {
            data.assign(lent, lent + lentSize);
            lent = nullptr;
            lentSize = 0;
        }
    }
    bool literal = false;
    bool isText = false;
    std::string text;
    bool supplied = false;  // filled during the current run (data names)
};

struct Context;
struct Vm;
class Eval;

using LibFn = bool (*)(Eval& e, Value* args, Value& out);
// A per-bar operation over `len` bars of its operand arrays (see elementwise.h).
using ElementKernel = void (*)(float* out, const float* const* in, int len);

// One evaluation: what a library function sees.
class Eval {
public:
    Eval(Vm& vm, Context& ctx) : vm(vm), ctx(ctx) {}
    Vm& vm;
    Context& ctx;
    int n = 0;

    float* alloc();                       // a fresh array of n floats for this run
    const float* series(const Value& v);  // v spread over every bar
    // Whether the n floats at x are free of missing, infinite and not-a-number values; asked
    // once per series and run.
    bool finite(const float* x);
    // Running sums of the n floats at x (see prefixInLanes), formed once per series and run.
    const double* runningSums(const float* x);
    bool fail(const std::string& message);                 // records the diagnostic, returns false
    bool dataSeries(const char* name, const float** out);  // a data name through the callback

    // Fused chains of per-bar operations (fused.cpp): `defer` records the operation instead of
    // running it, `deferSmoothing` records Y = w*X + (1-w)*Y' over X (args[0]) likewise.
    Value defer(LibFn fn, ElementKernel kernel, const Value* args, int argc);
    Value deferSmoothing(LibFn fn, double weight, const Value* args, int argc);
    // `keep` gives a Fused value the column its values will go to, to be computed with every
    // other kept chain in one pass when something needs values (at the latest when the run ends);
    // `column` is that column. `settle` computes the kept chains and makes v a series.
    void keep(const Value& v);
    const float* column(const Value& v);
    void settle(Value& v);
    void settleAll();
};

struct FunctionInfo {
    const char* name;
    int arity;
    LibFn fn;
    ElementKernel kernel = nullptr;  // set for operators that work bar by bar
};
const FunctionInfo* findFunction(const std::string& name);  // case-insensitive
// The parts of the function library, each a table of `count` functions: the operators and
// element-wise functions (elementwise.cpp), moving statistics (moving.cpp), recursive averages
// (smoothing.cpp), functions over the last N bars (lookback.cpp) and signals (signals.cpp).
const FunctionInfo* elementwiseFunctions(size_t* count);
const FunctionInfo* movingFunctions(size_t* count);
const FunctionInfo* smoothingFunctions(size_t* count);
const FunctionInfo* lookbackFunctions(size_t* count);
const FunctionInfo* signalFunctions(size_t* count);
// MA(X,N) and STD(X,N) from one pass over X (moving.cpp), for a program that asks for both;
// false, with nothing computed, unless X is a series without missing values and N a number >= 2.
bool movingMeanAndDeviation(Eval& e, const Value* args, Value& mean, Value& deviation);
LibFn movingMeanFunction();
// The weight w of EMA(X,N) or SMA(X,N,M) with numbers for N and M, -1 for a call with no result;
// false for any other call.
bool smoothingWeight(LibFn fn, const Value* args, int argc, double* weight);
// Y = w*X + (1-w)*Y' over the next `len` bars from the state (y, started) the bars before left,
// with EMA's and SMA's handling of missing values; leaves the state after them.
void smoothSpan(const float* x, float* o, int len, double w, double& y, bool& started);
// Two such smoothings of one series (weights w[0] and w[1], states y[k] and started[k]), the
// same values as two smoothSpan calls.
void smoothTwoSpans(const float* x, float* o1, float* o2, int len, const double* w, double* y,
                    bool* started);
LibFn movingDeviationFunction();
// Fails with a diagnostic when one of the first `count` arguments is a text.
bool needNumbers(Eval& e, const Value* a, int count, const char* fn);

struct Native {
    void* user = nullptr;
    fml_native_fn fn = nullptr;
    int arity = 0;
};

struct Vm {
    std::unordered_map<std::string, Native> natives;  // key upper-cased
    const fml_extension* slots[8] = {};
    void* libraries[8] = {};  // dlopen handles of shared-object extensions
};

// One compiled instruction of a statement.
struct Instr {
    enum Op : unsigned char { PushVar, PushExternal, PushNumber, PushText, Call, CallNative };
    Op op = PushVar;
    int index = 0;  // variable slot, external slot, function index
    int argc = 0;
    float number = 0.0f;
    std::string text;  // literal text, identifier or function name as pushed
    LibFn fn = nullptr;
    ElementKernel kernel = nullptr;
    bool pairedWindow = false;  // MA or STD whose partner over the same operands is in the program
};

struct Statement {
    std::vector<Instr> code;
    std::string name;
    bool hasAttribute = false;
    int kind = 0;
    std::string outputName;
    Style style{0, 1.0f, 0};
};

// A drawing operation of the last run.
struct DrawOp {
    int kind = 0;
    std::string name;  // display name (OPRENAME may change it)
    uint32_t color = 0;
    float width = 1.0f;
    int style = 0;
    const float* a[4] = {};
    float k[4] = {};
    std::string text;
};

// Result of a pure library call in the current run, keyed by the function and the identity of
// its arguments (series by address, numbers by value): repeated sub-expressions such as the
// two LLV(L,N) of KDJ are computed once.
struct MemoEntry {
    LibFn fn;
    int argc;
    uintptr_t key[8];
    Value result;
};

struct External {
    std::string name;
    Argument arg;  // filled by the miss callback
};

struct Context {
    int vm = 0;
    int handle = 0;
    // Program as pushed; `open` is the statement being built.
    std::vector<Statement> program;
    Statement open;
    bool openUsed = false;
    bool linked = false;
    std::string error;

    int bars = 0;
    void* missUser = nullptr;
    fml_miss_fn missFn = nullptr;

    std::unordered_map<std::string, std::unique_ptr<Argument>> statics;
    std::unordered_map<std::string, std::unique_ptr<Argument>> readBack;
    std::vector<std::unique_ptr<Argument>> callArgs;  // native-function arguments, reused
    std::vector<External> externals;
    std::unordered_map<std::string, int> externalIndex;

    // Results of the last run.
    std::vector<Value> vars;  // one per statement
    std::vector<DrawOp> ops;
    std::vector<std::vector<float>> pool;
    size_t poolUsed = 0;
    std::vector<Value> stack;
    std::vector<std::pair<const float*, bool>> finiteSeries;  // Eval::finite's answers
    // Eval::runningSums's tables: the first `sumsUsed` belong to this run, the storage stays.
    std::vector<std::pair<const float*, std::vector<double>>> sums;
    size_t sumsUsed = 0;
    // Numbers spread over every bar by Eval::series, by their bits; kept between runs. A list,
    // not a vector of vectors that could move: readers hold pointers into them.
    std::list<std::pair<uint32_t, std::vector<float>>> levels;
    std::vector<uint64_t> heldBars;  // LINE's bars where a condition holds, one bit each
    std::vector<MemoEntry> memo;
    std::unordered_multimap<size_t, size_t> memoIndex;
    void* extState[8] = {};

    // Fused chains of this run: one node per distinct operation on distinct operands (so a
    // chain written twice is computed once), the kept nodes waiting for their pass, and the
    // scratch blocks the passes go through.
    struct FusedNode {
        ElementKernel kernel = nullptr;
        bool smoothing = false;  // Y = weight*X + (1-weight)*Y' over args[0] instead of a kernel
        double weight = 0;
        int argc = 0;
        Value args[3];
        float* out = nullptr;  // kept: the column of its values
        bool done = false;     // `out` holds every bar's value
        // During a pass: the block of values of a node not kept, number operands spread over a
        // block, and a smoothing's state carried from block to block.
        float* block = nullptr;
        const float* constants[3] = {};
        double state = 0;
        bool started = false;
        int partner = -1;     // a smoothing of the same operand computed along with this one
        bool paired = false;  // computed along with an earlier smoothing
    };
    std::vector<FusedNode> fused;
    std::unordered_map<std::string, int> fusedIndex;
    std::vector<int> kept;
    // Scratch of a pass (fused.cpp): the nodes it computes, in order, the number blocks and the
    // columns it reads or writes.
    struct FusedPass {
        std::vector<char> live;
        std::vector<int> order;
        std::vector<std::pair<uint32_t, const float*>> constants;
        std::vector<std::pair<const float*, bool>> streams;
    } pass;
    std::vector<std::unique_ptr<float[]>> blocks;
    size_t blocksUsed = 0;
};

uint32_t normaliseColor(uint32_t c);

// What the parts of the VM share: the handle tables (vm.cpp), linking (link.cpp) and the
// evaluation pass (run.cpp).
Vm* vmOf(int h);
Context* ctxOf(int h);
std::string upper(const std::string& s);
int drawArity(int kind);  // operands of a drawing kind, -1 for an unknown kind
bool link(Vm& vm, Context& c);
bool run(Vm& vm, Context& c);
// Pads or cuts a supplied series to the bar count so readers never run past its end.
void fitSeries(Argument& a, int n);

}  // namespace fml

#endif
