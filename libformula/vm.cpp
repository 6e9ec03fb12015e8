// The formula VM: handle tables, VM and context life cycles, program intake and the
// arguments through which the host supplies data and reads results.
#include "libformula/vm_internal.h"

#include <dlfcn.h>

#include <algorithm>
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

}  // namespace

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

namespace {

const char* textOf(uintptr_t word) {
    const char* s = reinterpret_cast<const char*>(word);
    return s ? s : "";
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
}  // namespace
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
        // Floats the host lent for the last run are its own again.
        for (External& ex : c->externals) {
            ex.arg.lent = nullptr;
            ex.arg.lentSize = 0;
            ex.arg.supplied = false;
        }
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
        a.lent = nullptr;
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
        if (a->literal && a->size() == 0) {
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
    a->lent = nullptr;
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
    a->own();
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
    a->lent = nullptr;
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
    return a ? (a->isText ? 0 : int(a->size())) : 0;
}

int fml_argument_lend(fml_arg h, const float* data, int n) {
    Argument* a = reinterpret_cast<Argument*>(h);
    if (!a || !data || n < 0) {
        return 0;
    }
    a->isText = false;
    a->text.clear();
    a->lent = data;
    a->lentSize = size_t(n);
    return 1;
}

const char* fml_argument_text(fml_arg h) {
    Argument* a = reinterpret_cast<Argument*>(h);
    return a && a->isText ? a->text.c_str() : "";
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
