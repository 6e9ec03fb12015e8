// Fused evaluation of per-bar operations and recursive averages. An operator or element-wise
// function over a series is not run at once: it becomes a node of a chain, and so does EMA or SMA
// with numbers for its periods. A statement whose value is a chain keeps it, and the kept chains
// of several statements are computed together when something needs their values (a function
// over whole columns, a drawing, the end of the run): one pass over the bars, block by block,
// every node of every kept chain through the block before the next block, each recursive average
// carrying its state from one block to the next. MACD's DIF, DEA and MACD then read the closes
// once and write their three columns once, their intermediate values living in a few small
// blocks that stay in the first-level cache. Each bar's value of an operator is the one a
// separate column pass gives; a recursive average groups its bars in the blocks' own way, which
// moves its values by rounding only.
#include "libformula/vm_internal.h"

#include <algorithm>
#include <cstring>

namespace fml {
namespace {

// Bars per block: the operands and results of a few dozen operations fit in the first- and
// second-level caches. A multiple of eight, so that the recursive averages keep whole blocks of
// eight bars in their vector lanes.
constexpr int kBlock = 512;

void appendWord(std::string& key, const void* p, size_t size) {
    key.append(static_cast<const char*>(p), size);
}

float* takeBlock(Context& c) {
    if (c.blocksUsed == c.blocks.size()) {
        c.blocks.push_back(std::unique_ptr<float[]>(new float[kBlock]));
    }
    return c.blocks[c.blocksUsed++].get();
}

// A block holding one number, shared by the operands of one pass that are that number.
const float* constantBlock(Context& c, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (const auto& k : c.pass.constants) {
        if (k.first == bits) {
            return k.second;
        }
    }
    float* b = takeBlock(c);
    std::fill(b, b + kBlock, v);
    c.pass.constants.emplace_back(bits, b);
    return b;
}

void addStream(Context& c, const float* p, bool write) {
    auto& streams = c.pass.streams;
    if (p && std::find_if(streams.begin(), streams.end(),
                          [p](const std::pair<const float*, bool>& s) { return s.first == p; }) ==
                 streams.end()) {
        streams.emplace_back(p, write);
    }
}

// The column a node reads as operand `a`, if it is one already there.
const float* columnRead(const Context& c, const Value& arg) {
    if (arg.type == Value::Series) {
        return arg.p;
    }
    if (arg.type == Value::Fused && c.fused[size_t(arg.node)].done) {
        return c.fused[size_t(arg.node)].out;
    }
    return nullptr;
}

// Where a node's values for the block starting at `from` are.
const float* valuesOf(const Context::FusedNode& f, int from) {
    return f.out ? f.out + from : f.block;
}

bool sameOperand(const Value& a, const Value& b) {
    return a.type == b.type && (a.type == Value::Series ? a.p == b.p : a.node == b.node);
}

// The nodes a pass computes: the kept ones not computed yet and every operand below them not
// computed yet, in the order they were made, which puts operands before the nodes reading them.
// False when there is nothing to compute.
bool planPass(Context& c) {
    std::vector<Context::FusedNode>& f = c.fused;
    std::vector<char>& live = c.pass.live;
    live.assign(f.size(), 0);
    bool any = false;
    for (int k : c.kept) {
        if (!f[size_t(k)].done) {
            live[size_t(k)] = 1;
            any = true;
        }
    }
    c.kept.clear();
    std::vector<int>& order = c.pass.order;
    order.clear();
    if (!any) {
        return false;
    }
    for (size_t i = f.size(); i-- > 0;) {
        if (!live[i]) {
            continue;
        }
        order.push_back(int(i));
        for (int a = 0; a < f[i].argc; ++a) {
            const Value& arg = f[i].args[a];
            if (arg.type == Value::Fused && !f[size_t(arg.node)].done) {
                live[size_t(arg.node)] = 1;
            }
        }
    }
    std::reverse(order.begin(), order.end());
    // Scratch blocks, number blocks, fresh states, and two smoothings of one operand paired to
    // share their pass over it.
    c.blocksUsed = 0;
    c.pass.constants.clear();
    c.pass.streams.clear();
    for (int i : order) {
        f[size_t(i)].partner = -1;
        f[size_t(i)].paired = false;
    }
    for (size_t k = 0; k < order.size(); ++k) {
        Context::FusedNode& node = f[size_t(order[k])];
        node.block = node.out ? nullptr : takeBlock(c);
        node.state = 0;
        node.started = false;
        for (int a = 0; a < node.argc; ++a) {
            if (node.args[a].type == Value::Scalar && !node.smoothing) {
                node.constants[a] = constantBlock(c, node.args[a].s);
            }
            addStream(c, columnRead(c, node.args[a]), false);
        }
        addStream(c, node.out, true);
        for (size_t j = k + 1; node.smoothing && !node.paired && j < order.size(); ++j) {
            Context::FusedNode& other = f[size_t(order[j])];
            if (other.smoothing && !other.paired && sameOperand(other.args[0], node.args[0])) {
                node.partner = order[j];
                other.paired = true;
                break;
            }
        }
    }
    return true;
}

// Asks for the next block of every column the pass reads or writes while this one is computed:
// in a pass they move through the caches in short bursts among each other, which the processor
// does not foresee. Series that fit in the caches need no asking.
void prefetchBlock(const Context& c, int next, int n) {
    if (n < (1 << 16)) {
        return;
    }
    const int ahead = std::min(kBlock, n - next);
    for (const auto& stream : c.pass.streams) {
        for (int k = 0; k < ahead; k += 16) {
            if (stream.second) {
                __builtin_prefetch(stream.first + next + k, 1);
            } else {
                __builtin_prefetch(stream.first + next + k, 0);
            }
        }
    }
}

void computeBlock(Context& c, Context::FusedNode& node, int from, int len) {
    const float* in[3] = {};
    for (int a = 0; a < node.argc; ++a) {
        const Value& arg = node.args[a];
        if (arg.type == Value::Series) {
            in[a] = arg.p + from;
        } else if (arg.type == Value::Scalar) {
            in[a] = node.constants[a];
        } else {
            in[a] = valuesOf(c.fused[size_t(arg.node)], from);
        }
    }
    float* o = node.out ? node.out + from : node.block;
    if (!node.smoothing) {
        node.kernel(o, in, len);
    } else if (node.partner < 0) {
        smoothSpan(in[0], o, len, node.weight, node.state, node.started);
    } else {
        Context::FusedNode& other = c.fused[size_t(node.partner)];
        const double w[2] = {node.weight, other.weight};
        double y[2] = {node.state, other.state};
        bool started[2] = {node.started, other.started};
        smoothTwoSpans(in[0], o, other.out ? other.out + from : other.block, len, w, y, started);
        node.state = y[0];
        other.state = y[1];
        node.started = started[0];
        other.started = started[1];
    }
}

Value node(Context& c, LibFn fn, ElementKernel kernel, bool smoothing, double weight,
           const Value* args, int argc) {
    // The key names the operation and its operands (series by address, numbers by value, chains
    // by their node, itself found by its key), so that one written twice is one node.
    std::string key;
    appendWord(key, &fn, sizeof fn);
    appendWord(key, &weight, sizeof weight);
    for (int i = 0; i < argc; ++i) {
        const Value& a = args[i];
        appendWord(key, &a.type, sizeof a.type);
        if (a.type == Value::Series) {
            appendWord(key, &a.p, sizeof a.p);
        } else if (a.type == Value::Scalar) {
            appendWord(key, &a.s, sizeof a.s);
        } else {
            appendWord(key, &a.node, sizeof a.node);
        }
    }
    Value v;
    v.type = Value::Fused;
    auto known = c.fusedIndex.find(key);
    if (known != c.fusedIndex.end()) {
        v.node = known->second;
        return v;
    }
    Context::FusedNode f;
    f.kernel = kernel;
    f.smoothing = smoothing;
    f.weight = weight;
    f.argc = argc;
    std::copy(args, args + argc, f.args);
    v.node = int(c.fused.size());
    c.fused.push_back(f);
    c.fusedIndex.emplace(std::move(key), v.node);
    return v;
}

}  // namespace

Value Eval::defer(LibFn fn, ElementKernel kernel, const Value* args, int argc) {
    return node(ctx, fn, kernel, false, 0.0, args, argc);
}

Value Eval::deferSmoothing(LibFn fn, double weight, const Value* args, int argc) {
    return node(ctx, fn, nullptr, true, weight, args, argc);
}

void Eval::keep(const Value& v) {
    if (v.type != Value::Fused) {
        return;
    }
    Context::FusedNode& f = ctx.fused[size_t(v.node)];
    if (!f.out) {
        f.out = alloc();
        ctx.kept.push_back(v.node);
    }
}

const float* Eval::column(const Value& v) {
    if (v.type != Value::Fused) {
        return series(v);
    }
    keep(v);
    return ctx.fused[size_t(v.node)].out;
}

void Eval::settle(Value& v) {
    if (v.type != Value::Fused) {
        return;
    }
    keep(v);
    settleAll();
    v = Value::series(ctx.fused[size_t(v.node)].out);
}

void Eval::settleAll() {
    if (!planPass(ctx)) {
        return;
    }
    for (int from = 0; from < n; from += kBlock) {
        prefetchBlock(ctx, from + kBlock, n);
        const int len = std::min(kBlock, n - from);
        for (int i : ctx.pass.order) {
            Context::FusedNode& node = ctx.fused[size_t(i)];
            if (!node.paired) {
                computeBlock(ctx, node, from, len);
            }
        }
    }
    for (int i : ctx.pass.order) {
        ctx.fused[size_t(i)].done = ctx.fused[size_t(i)].out != nullptr;
    }
}

}  // namespace fml
