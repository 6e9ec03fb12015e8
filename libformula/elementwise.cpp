// Operators and element-wise functions of the formula VM as column functions. Inside a statement
// the evaluator usually fuses them into chains (fused.cpp); these run them one column at a time
// when an operand is a number or a text, and carry their argument checks.
#include "libformula/elementwise.h"

namespace fml {
namespace {

using namespace per_bar;

// Scalar inputs give a scalar, any series gives a series.
template <class F>
void map1(Eval& e, const Value& a, Value& out) {
    F f;
    if (a.type == Value::Scalar) {
        out = Value::scalar(f(a.s));
        return;
    }
    float* o = e.alloc();
    const float* in[1] = {a.p};
    kernel1<F>(o, in, e.n);
    out = Value::series(o);
}

template <class F>
void map2(Eval& e, const Value& a, const Value& b, Value& out) {
    F f;
    if (a.type == Value::Scalar && b.type == Value::Scalar) {
        out = Value::scalar(f(a.s, b.s));
        return;
    }
    float* __restrict o = e.alloc();
    const int n = e.n;
    if (a.type == Value::Series && b.type == Value::Series) {
        const float* in[2] = {a.p, b.p};
        kernel2<F>(o, in, n);
    } else if (a.type == Value::Series) {
        const float* __restrict x = a.p;
        const float y = b.s;
        for (int i = 0; i < n; ++i) {
            o[i] = f(x[i], y);
        }
    } else {
        const float x = a.s;
        const float* __restrict y = b.p;
        for (int i = 0; i < n; ++i) {
            o[i] = f(x, y[i]);
        }
    }
    out = Value::series(o);
}

template <class F>
void map3(Eval& e, const Value& a, const Value& b, const Value& c, Value& out) {
    if (a.type == Value::Scalar && b.type == Value::Scalar && c.type == Value::Scalar) {
        out = Value::scalar(F()(a.s, b.s, c.s));
        return;
    }
    const float* in[3] = {e.series(a), e.series(b), e.series(c)};
    float* o = e.alloc();
    kernel3<F>(o, in, e.n);
    out = Value::series(o);
}

template <class F>
bool numeric1(Eval& e, Value* a, Value& out, const char* name) {
    if (!needNumbers(e, a, 1, name)) {
        return false;
    }
    map1<F>(e, a[0], out);
    return true;
}
template <class F>
bool numeric2(Eval& e, Value* a, Value& out, const char* name) {
    if (!needNumbers(e, a, 2, name)) {
        return false;
    }
    map2<F>(e, a[0], a[1], out);
    return true;
}
template <class F>
bool numeric3(Eval& e, Value* a, Value& out, const char* name) {
    if (!needNumbers(e, a, 3, name)) {
        return false;
    }
    map3<F>(e, a[0], a[1], a[2], out);
    return true;
}

bool opAdd(Eval& e, Value* a, Value& out) {
    return numeric2<Add>(e, a, out, "+");
}
bool opSub(Eval& e, Value* a, Value& out) {
    return numeric2<Sub>(e, a, out, "-");
}
bool opMul(Eval& e, Value* a, Value& out) {
    return numeric2<Mul>(e, a, out, "*");
}
bool opDiv(Eval& e, Value* a, Value& out) {
    return numeric2<Div>(e, a, out, "/");
}
bool opNeg(Eval& e, Value* a, Value& out) {
    return numeric1<Neg>(e, a, out, "negate");
}

bool textEqual(Eval& e, Value* a, Value& out, bool equal) {
    if (a[0].type == Value::Text && a[1].type == Value::Text) {
        out = Value::scalar((a[0].text == a[1].text) == equal ? 1.0f : 0.0f);
        return true;
    }
    return needNumbers(e, a, 2, equal ? "=" : "<>");
}
// = and <> also compare two texts.
bool opEq(Eval& e, Value* a, Value& out) {
    if (a[0].type == Value::Text || a[1].type == Value::Text) {
        return textEqual(e, a, out, true);
    }
    map2<Eq>(e, a[0], a[1], out);
    return true;
}
bool opNe(Eval& e, Value* a, Value& out) {
    if (a[0].type == Value::Text || a[1].type == Value::Text) {
        return textEqual(e, a, out, false);
    }
    map2<Ne>(e, a[0], a[1], out);
    return true;
}
bool opLt(Eval& e, Value* a, Value& out) {
    return numeric2<Lt>(e, a, out, "<");
}
bool opGt(Eval& e, Value* a, Value& out) {
    return numeric2<Gt>(e, a, out, ">");
}
bool opLe(Eval& e, Value* a, Value& out) {
    return numeric2<Le>(e, a, out, "<=");
}
bool opGe(Eval& e, Value* a, Value& out) {
    return numeric2<Ge>(e, a, out, ">=");
}
bool opAnd(Eval& e, Value* a, Value& out) {
    return numeric2<And>(e, a, out, "AND");
}
bool opOr(Eval& e, Value* a, Value& out) {
    return numeric2<Or>(e, a, out, "OR");
}
bool opNot(Eval& e, Value* a, Value& out) {
    return numeric1<Not>(e, a, out, "NOT");
}

// IF with a number as its condition picks one operand as it is, whatever its type.
bool fnIf(Eval& e, Value* a, Value& out) {
    if (a[0].type == Value::Text) {
        return needNumbers(e, a, 1, "IF");
    }
    if (a[0].type == Value::Scalar) {
        out = truth(a[0].s) ? a[1] : a[2];
        return true;
    }
    if (!needNumbers(e, a, 3, "IF")) {
        return false;
    }
    const float* in[3] = {a[0].p, e.series(a[1]), e.series(a[2])};
    float* o = e.alloc();
    kernel3<If>(o, in, e.n);
    out = Value::series(o);
    return true;
}
bool fnMax(Eval& e, Value* a, Value& out) {
    return numeric2<Max>(e, a, out, "MAX");
}
bool fnMin(Eval& e, Value* a, Value& out) {
    return numeric2<Min>(e, a, out, "MIN");
}
bool fnAbs(Eval& e, Value* a, Value& out) {
    return numeric1<Abs>(e, a, out, "ABS");
}
bool fnIntpart(Eval& e, Value* a, Value& out) {
    return numeric1<Intpart>(e, a, out, "INTPART");
}
bool fnSqrt(Eval& e, Value* a, Value& out) {
    return numeric1<Sqrt>(e, a, out, "SQRT");
}
bool fnMod(Eval& e, Value* a, Value& out) {
    return numeric2<Mod>(e, a, out, "MOD");
}
bool fnRange(Eval& e, Value* a, Value& out) {
    return numeric3<Range>(e, a, out, "RANGE");
}
bool fnBetween(Eval& e, Value* a, Value& out) {
    return numeric3<Between>(e, a, out, "BETWEEN");
}
bool fnRgb(Eval& e, Value* a, Value& out) {
    return numeric3<Rgb>(e, a, out, "RGB");
}

const FunctionInfo kElementwise[] = {
    {"+", 2, opAdd, kernel2<Add>},         {"-", 2, opSub, kernel2<Sub>},
    {"*", 2, opMul, kernel2<Mul>},         {"/", 2, opDiv, kernel2<Div>},
    {"NEGATE", 1, opNeg, kernel1<Neg>},    {"<", 2, opLt, kernel2<Lt>},
    {">", 2, opGt, kernel2<Gt>},           {"<=", 2, opLe, kernel2<Le>},
    {">=", 2, opGe, kernel2<Ge>},          {"=", 2, opEq, kernel2<Eq>},
    {"<>", 2, opNe, kernel2<Ne>},          {"!=", 2, opNe, kernel2<Ne>},
    {"AND", 2, opAnd, kernel2<And>},       {"OR", 2, opOr, kernel2<Or>},
    {"NOT", 1, opNot, kernel1<Not>},       {"IF", 3, fnIf, kernel3<If>},
    {"MAX", 2, fnMax, kernel2<Max>},       {"MIN", 2, fnMin, kernel2<Min>},
    {"ABS", 1, fnAbs, kernel1<Abs>},       {"INTPART", 1, fnIntpart, kernel1<Intpart>},
    {"SQRT", 1, fnSqrt, kernel1<Sqrt>},    {"MOD", 2, fnMod, kernel2<Mod>},
    {"RANGE", 3, fnRange, kernel3<Range>}, {"BETWEEN", 3, fnBetween, kernel3<Between>},
    {"RGB", 3, fnRgb, kernel3<Rgb>},
};

}  // namespace

const FunctionInfo* elementwiseFunctions(size_t* count) {
    *count = sizeof kElementwise / sizeof kElementwise[0];
    return kElementwise;
}

bool needNumbers(Eval& e, const Value* a, int count, const char* fn) {
    for (int i = 0; i < count; ++i) {
        if (a[i].type == Value::Text) {
            return e.fail(std::string(fn) + ": argument " + std::to_string(i + 1) +
                          " is a text, a number was expected");
        }
    }
    return true;
}

}  // namespace fml
