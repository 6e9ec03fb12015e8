// Linking a pushed program: names resolved to statements, data names or functions, the stack
// discipline of every statement checked, and MA/STD pairs over the same operands marked.
#include "libformula/vm_internal.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace fml {

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

namespace {

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
}  // namespace

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

}  // namespace fml
