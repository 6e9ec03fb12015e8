// The data names a screening formula reads (C, H, L, O, V, AMO, DATE, ...) over one security's
// bars, answered exactly as the terminal's charts answer them, so that a condition gives the
// same result on the server as on the user's own chart.
#pragma once

#include "libformula/fml.h"
#include "server/market/types.h"

#include <vector>

namespace vq::screening {

struct BarInputs {
    const std::vector<market::Bar>* bars = nullptr;
    const market::Security* security = nullptr;
};

// Miss callback for fml_ctx_miss_callback; `user` is a BarInputs*.
int barInput(void* user, int ctx, fml_arg result, const char* name);
// DYNAINFO(n) for fml_vm_reg_fn; `user` is a BarInputs* (3: previous close, 11: average price).
int barDynainfo(void* user, fml_call* call);

// yyyymmdd of a bar's Beijing trading day.
int tradingDate(int64_t time);

}  // namespace vq::screening
