// The function library of the formula VM: its table of functions by name, the text functions
// and the calls into extension libraries. Every function works on whole columns: one pass (or a
// few) over all bars per call. Semantics are documented in FUNCTIONS.md.
#include "libformula/library.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace fml {
namespace {

// ---- texts ----
std::string asText(const Value& v, int n) {
    if (v.type == Value::Text) {
        return v.text;
    }
    float x = last(v, n);
    if (missing(x)) {
        return std::string();
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(x));
    return buf;
}

bool fnStrcat(Eval& e, Value* a, Value& out) {
    out = Value::string(asText(a[0], e.n) + asText(a[1], e.n));
    return true;
}

// CON2STR(X,D): the last bar's value with D decimals; "" when it is missing.
bool fnCon2str(Eval& e, Value* a, Value& out) {
    if (!needNumbers(e, a, 2, "CON2STR")) {
        return false;
    }
    float x = last(a[0], e.n);
    float d = last(a[1], e.n);
    int digits = std::max(0, std::min(10, toInt(d, 2)));
    if (missing(x) || !std::isfinite(x)) {
        out = Value::string(std::string());
        return true;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, double(x));
    out = Value::string(buf);
    return true;
}

// STRCMP(A,B): 1 when the two texts are equal, else 0.
bool fnStrcmp(Eval& e, Value* a, Value& out) {
    out = Value::scalar(asText(a[0], e.n) == asText(a[1], e.n) ? 1.0f : 0.0f);
    return true;
}

// OPRENAME(COND,OLD,NEW): when COND holds on the last bar, the output named OLD is shown as NEW.
bool fnOprename(Eval& e, Value* a, Value& out) {
    if (a[0].type == Value::Text) {
        return needNumbers(e, a, 1, "OPRENAME");
    }
    bool renamed = false;
    if (truth(last(a[0], e.n))) {
        std::string from = asText(a[1], e.n), to = asText(a[2], e.n);
        for (auto it = e.ctx.ops.rbegin(); it != e.ctx.ops.rend(); ++it) {
            if (it->name == from) {
                it->name = to;
                renamed = true;
                break;
            }
        }
    }
    out = Value::scalar(renamed ? 1.0f : 0.0f);
    return true;
}

// ---- extension libraries ----
bool extension(Eval& e, Value* a, Value& out, int slot, const char* name) {
    if (!needNumbers(e, a, 4, name)) {
        return false;
    }
    const fml_extension* ext = e.vm.slots[slot];
    if (!ext) {
        return e.fail(std::string(name) + ": no extension library is loaded in slot " +
                      std::to_string(slot));
    }
    float sel = last(a[0], e.n);
    if (missing(sel)) {
        return e.fail(std::string(name) + ": the selector is missing");
    }
    void*& state = e.ctx.extState[slot];
    if (!state && ext->create) {
        state = ext->create();
    }
    float* o = e.alloc();
    if (ext->call(state, toInt(sel), e.n, e.series(a[1]), e.series(a[2]), e.series(a[3]), o) != 1) {
        return e.fail(std::string(name) + ": selector " + std::to_string(toInt(sel)) +
                      " is not provided by " + (ext->name ? ext->name : "the extension"));
    }
    out = Value::series(o);
    return true;
}
bool fnRurazu1(Eval& e, Value* a, Value& out) {
    return extension(e, a, out, 1, "RURAZU1");
}
bool fnVadazi3(Eval& e, Value* a, Value& out) {
    return extension(e, a, out, 3, "VADAZI3");
}
const FunctionInfo kFunctions[] = {
    {"STRCAT", 2, fnStrcat},     {"CON2STR", 2, fnCon2str}, {"STRCMP", 2, fnStrcmp},
    {"OPRENAME", 3, fnOprename}, {"RURAZU1", 4, fnRurazu1}, {"VADAZI3", 4, fnVadazi3},
};

}  // namespace

const FunctionInfo* findFunction(const std::string& name) {
    static const std::unordered_map<std::string, const FunctionInfo*> table = [] {
        std::unordered_map<std::string, const FunctionInfo*> t;
        for (const FunctionInfo& f : kFunctions) {
            t.emplace(f.name, &f);
        }
        using Getter = const FunctionInfo* (*)(size_t*);
        for (Getter part : {elementwiseFunctions, movingFunctions, smoothingFunctions,
                            lookbackFunctions, signalFunctions}) {
            size_t count = 0;
            const FunctionInfo* fns = part(&count);
            for (size_t i = 0; i < count; ++i) {
                t.emplace(fns[i].name, &fns[i]);
            }
        }
        return t;
    }();
    std::string key = name;
    for (char& ch : key) {
        if (ch >= 'a' && ch <= 'z') {
            ch = char(ch - 'a' + 'A');
        }
    }
    auto it = table.find(key);
    return it == table.end() ? nullptr : it->second;
}

}  // namespace fml
