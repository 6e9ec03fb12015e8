// The built-in formulas: their descriptions and programs (as formula text, compiled once per
// process) and one build function per formula, as the registry's descriptions need a plain
// function pointer.
#include "formula/builtins.h"

#include "formula/compiler.h"
#include "formula/formula_service.h"
#include "libformula/fml.h"

#include <cstdio>
#include <mutex>

namespace formula {
namespace {

const char* const kNoParams = "无参数设置";

// "分时成交" and "MVOL" share this program.
const char* const kMinuteVolume = R"(
V:V, COLOR(0x002480D9), STYLE(-1);
PH:=REF(H,1);
STICK(H>PH,0,V,0.4,0), COLOR(0x003D3DFF);
STICK(H=PH,0,V,0.4,0), COLOR(0x00FFFFFF);
STICK(H<PH,0,V,0.4,0), COLOR(0x0051C30F);
)";

// The three "步步高升" formulas share this program; each builder sets K1, K2, N1 and N2.
const char* const kSteadyRise = R"(
N:=BARSLAST(DATE<>REF(DATE,1))+1;
HH:=REF(HHV(H,N),N);
LL:=REF(LLV(L,N),N);
HC:=REF(HHV(C,N),N);
LC:=REF(LLV(C,N),N);
RANG:=IF(HH-LC>=HC-LL,HH-LC,HC-LL);
M:=N-1;
OPEND:=REF(O,M);
OPEND2:=REF(O,1);
BUYPOSITION1:=OPEND+K1*RANG;
SELLPOSITION1:=OPEND-K2*RANG;
BUYPOSITION2:=OPEND+OPEND2*N1*0.001;
SELLPOSITION2:=OPEND-OPEND2*N2*0.001;
BUYPOSITION3:MAX(BUYPOSITION1,BUYPOSITION2);
SELLPOSITION3:MIN(SELLPOSITION1,SELLPOSITION2);
BPK:=H>=BUYPOSITION3;
SPK:=L<=SELLPOSITION3;
K11:=IF(BPK,-3,IF(SPK,1,0));
K22:=IF(K11<>0,K11,REF(K11,BARSLAST(K11<>0)));
ICON(CROSS(0,K22),L*0.997,5);
ICON(CROSS(K22,0),H*1.002,4);
STICK(K22<0,O,C,1,0), COLOR(0x000000FF);
STICK(K22<0,H,L,0,0), COLOR(0x000000FF);
STICK(K22>0,O,C,1,0), COLOR(0x0000FF00);
)";

const BuiltinFormula kBuiltins[] = {
#include "formula/builtins_standard.inc"
#include "formula/builtins_strategy.inc"
};
constexpr size_t kBuiltinCount = sizeof kBuiltins / sizeof kBuiltins[0];
constexpr size_t kStandardCount = 23;

struct Compiled {
    Program program;
    bool ok = false;
};

const Compiled& compiled(size_t index) {
    static Compiled table[kBuiltinCount];
    static std::once_flag once[kBuiltinCount];
    std::call_once(once[index], [index] {
        Compiler compiler;
        CompileError error;
        table[index].ok = compiler.compile(kBuiltins[index].program, &table[index].program, &error);
        if (!table[index].ok) {
            std::fprintf(stderr, "built-in formula %s: %s\n", kBuiltins[index].code,
                         error.text().c_str());
        }
    });
    return table[index];
}

int buildAt(size_t index, int vm) {
    const Compiled& c = compiled(index);
    if (!c.ok) {
        return 0;
    }
    int ctx = fml_ctx_create(vm);
    if (ctx == 0) {
        return 0;
    }
    if (!c.program.push(ctx)) {
        fml_ctx_release(ctx);
        return 0;
    }
    for (const BuiltinStatic& s : kBuiltins[index].statics) {
        if (!s.name) {
            break;
        }
        fml_arg h = fml_get_static_argument(ctx, s.name);
        fml_argument_literal(h, 1);
        if (float* slot = fml_argument_data(h, 1)) {
            *slot = s.value;
        }
    }
    return ctx;
}

template <size_t I>
int build(int vm) {
    return buildAt(I, vm);
}

template <size_t... I>
constexpr std::array<LocalFormula::Build, sizeof...(I)> builders(std::index_sequence<I...>) {
    return {{&build<I>...}};
}
const auto kBuilders = builders(std::make_index_sequence<kBuiltinCount>());

std::shared_ptr<LocalFormula> describe(size_t index) {
    const BuiltinFormula& b = kBuiltins[index];
    std::vector<FormulaParam> params;
    for (const BuiltinParam& p : b.params) {
        if (!p.name) {
            break;
        }
        params.push_back(FormulaParam{QString::fromUtf8(p.name), p.value, p.min, p.max});
    }
    return std::make_shared<LocalFormula>(b.kind, QString::fromUtf8(b.code),
                                          QString::fromUtf8(b.name), QString::fromUtf8(b.hint),
                                          params, kBuilders[index]);
}

struct GroupText {
    const char* name;
    const char* code;
    std::initializer_list<const char*> members;
};

}  // namespace

size_t builtinCount() {
    return kBuiltinCount;
}
const BuiltinFormula& builtin(size_t index) {
    return kBuiltins[index];
}
bool builtinProgram(size_t index, Program* out) {
    const Compiled& c = compiled(index);
    if (c.ok && out) {
        *out = c.program;
    }
    return c.ok;
}

void registerStandardFormulas(FormulaService& service) {
    for (size_t i = 0; i < kStandardCount; ++i) {
        service.add(describe(i));
    }
}

void registerStrategyFormulas(FormulaService& service) {
    static const GroupText groups[] = {
        {"BBI", "BBI", {"BBI"}},
        {"EXPMA", "EXPMA", {"EXPMA"}},
        {"逍遥指", "XYZ", {"逍遥指", "逍遥指副图", "VOL"}},
        {"短金长银", "DJCY", {"短金长银", "短金长银副图"}},
        {"龙禅", "LC", {"龙禅", "缠论MACD", "吻"}},
        {"主升浪通道", "ZSLTD", {"主升浪通道"}},
        {"大爆炸", "DBZ", {"大爆炸", "新量"}},
        {"潜龙出海", "QLCH", {"潜龙出海"}},
        {"ENE轨道线", "ENEGDX", {"ENE轨道线"}},
        {"操盘决策", "CPJC", {"操盘决策"}},
        {"一石三鸟", "YSSN", {"多空分界", "波段提醒", "主力吸筹"}},
        {"BS决策", "BSJC", {"BS决策"}},
    };
    for (const GroupText& g : groups) {
        auto group = std::make_shared<FormulaService::Group>();
        group->name = QString::fromUtf8(g.name);
        group->code = QString::fromUtf8(g.code);
        for (const char* m : g.members) {
            group->formulas << QString::fromUtf8(m);
        }
        service.addGroup(group);
    }
    for (size_t i = kStandardCount; i < kBuiltinCount; ++i) {
        service.add(describe(i));
    }
}

void registerBuiltinFormulas(FormulaService& service) {
    registerStandardFormulas(service);
    registerStrategyFormulas(service);
}

}  // namespace formula
