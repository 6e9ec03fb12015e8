// libFuzzer target: random formula text through the compiler and, when it compiles, through the
// VM over a short series. Neither may crash, hang or touch memory it does not own.
#include "formula/compiler.h"
#include "libformula/fml.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

int bars = 0;

int dataNames(void*, int, fml_arg h, const char* name) {
    std::string n = name;
    if (n == "PERIOD" || n == "TOTALFZNUM" || n == "FROMOPEN" || n == "DRAWNULL") {
        fml_argument_literal(h, 1);
        fml_argument_data(h, 1)[0] = n == "DRAWNULL" ? FMLInvalidValue : 5.0f;
        return 1;
    }
    if (n == "CODE") {
        fml_argument_string(h, "600000", 6);
        return 1;
    }
    if (n.size() == 1 && std::strchr("CHLOV", n[0])) {
        float* d = fml_argument_data(h, bars);
        for (int i = 0; i < bars; ++i) {
            d[i] = i % 7 == 3 ? FMLInvalidValue : 10.0f + float((i * 37 + n[0]) % 11);
        }
        return 1;
    }
    return 0;
}

int dynainfo(void*, fml_call* call) {
    fml_argument_literal(call->result, 1);
    fml_argument_data(call->result, 1)[0] = *fml_argument_data_number(call->argument[0]);
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int vm = [] {
        int v = fml_vm_create();
        fml_vm_reg_fn(v, nullptr, "DYNAINFO", dynainfo, 1);
        fml_vm_load_tdx_dll(v, "formula-plugin.dll", 1);
        fml_vm_load_tdx_dll(v, "cl.dll", 3);
        return v;
    }();
    std::string text(reinterpret_cast<const char*>(data), size);
    formula::Compiler compiler;
    formula::Program program;
    formula::CompileError error;
    if (!compiler.compile(text, &program, &error)) {
        return 0;
    }
    int ctx = fml_ctx_create(vm);
    if (program.push(ctx)) {
        bars = size > 0 ? data[0] % 24 : 0;
        fml_ctx_data_length(ctx, bars);
        fml_ctx_miss_callback(ctx, nullptr, dataNames);
        if (fml_vm_run(vm, ctx) == 1) {
            float hi, lo;
            fml_ctx_output_maxmin(ctx, 0, bars, &hi, &lo);
            fml_selected rec[10];
            fml_ctx_output_selected_value(ctx, bars - 1, rec, FML_SELECTED_RECORDS);
            char buf[32];
            fml_text t{buf, sizeof buf};
            fml_ctx_output_selected_value(ctx, 0, &t, FML_SELECTED_TEXT);
        }
    }
    fml_ctx_release(ctx);
    return 0;
}
