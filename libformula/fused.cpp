// Fused evaluation of per-bar operations. Within a statement, an operator or element-wise
// function over a series is not run at once: it becomes a node of a chain, and the chain is
// computed when something needs its values, one block of bars at a time through all of its
// operations. The intermediate values of `(C-LLV(L,N))/(HHV(H,N)-LLV(L,N))*100` then live in a few
// small blocks that stay in the first-level cache, instead of four whole columns each written out
// and read back. Each bar's value is the one the separate column passes gave: the same operation
// on the same operands.
#include "libformula/vm_internal.h"

#include <algorithm>
#include <cstring>

namespace fml {
namespace {

// Bars per block: the operands and results of a chain of a dozen operations fit in the
// first-level cache.
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

// Scratch blocks for every fused operand below `node`, and number operands spread over a block.
void prepare(Context& c, int node) {
    for (int i = 0; i < c.fused[size_t(node)].argc; ++i) {
        const Value& a = c.fused[size_t(node)].args[i];
        if (a.type == Value::Fused) {
            prepare(c, a.node);
            c.fused[size_t(a.node)].block = takeBlock(c);
        } else if (a.type == Value::Scalar) {
            float* k = takeBlock(c);
            std::fill(k, k + kBlock, a.s);
            c.fused[size_t(node)].constants[i] = k;
        }
    }
}

void computeBlock(Context& c, int node, int from, int len, float* out) {
    Context::FusedNode& f = c.fused[size_t(node)];
    const float* in[3] = {};
    for (int i = 0; i < f.argc; ++i) {
        const Value& a = f.args[i];
        if (a.type == Value::Series) {
            in[i] = a.p + from;
        } else if (a.type == Value::Scalar) {
            in[i] = f.constants[i];
        } else {
            Context::FusedNode& operand = c.fused[size_t(a.node)];
            computeBlock(c, a.node, from, len, operand.block);
            in[i] = operand.block;
        }
    }
    f.kernel(out, in, len);
}

}  // namespace

Value Eval::defer(LibFn fn, ElementKernel kernel, const Value* args, int argc) {
    Context::FusedNode f;
    f.kernel = kernel;
    f.argc = argc;
    // The key names the operation and its operands (series by address, numbers by value, chains
    // by their own keys), so a chain repeated in a later statement is computed once per run.
    appendWord(f.key, &fn, sizeof fn);
    for (int i = 0; i < argc; ++i) {
        const Value& a = args[i];
        f.args[i] = a;
        appendWord(f.key, &a.type, sizeof a.type);
        if (a.type == Value::Series) {
            appendWord(f.key, &a.p, sizeof a.p);
        } else if (a.type == Value::Scalar) {
            appendWord(f.key, &a.s, sizeof a.s);
        } else {
            const std::string& sub = ctx.fused[size_t(a.node)].key;
            uint32_t size = uint32_t(sub.size());
            appendWord(f.key, &size, sizeof size);
            f.key += sub;
        }
    }
    Value v;
    v.type = Value::Fused;
    v.node = int(ctx.fused.size());
    ctx.fused.push_back(std::move(f));
    return v;
}

void Eval::settle(Value& v) {
    if (v.type != Value::Fused) {
        return;
    }
    auto done = ctx.fusedDone.find(ctx.fused[size_t(v.node)].key);
    if (done != ctx.fusedDone.end()) {
        v = Value::series(done->second);
        return;
    }
    float* out = alloc();
    ctx.blocksUsed = 0;
    prepare(ctx, v.node);
    for (int from = 0; from < n; from += kBlock) {
        computeBlock(ctx, v.node, from, std::min(kBlock, n - from), out + from);
    }
    ctx.fusedDone.emplace(ctx.fused[size_t(v.node)].key, out);
    v = Value::series(out);
}

}  // namespace fml
