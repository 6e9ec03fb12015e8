// A third-party extension module for the VM's shared-object slot loading: selector 1 doubles
// its first argument, selector 2 counts the calls made on this context's state.
#include "libformula/fml_extension.h"

namespace {

struct State {
    int calls = 0;
};

void* create() {
    return new State;
}
void destroy(void* s) {
    delete static_cast<State*>(s);
}

int call(void* state, int selector, int n, const float* a, const float*, const float*, float* out) {
    auto* s = static_cast<State*>(state);
    ++s->calls;
    for (int i = 0; i < n; ++i) {
        if (selector == 1) {
            out[i] = a[i] * 2;
        } else if (selector == 2) {
            out[i] = float(s->calls);
        } else {
            return 0;
        }
    }
    return 1;
}

const fml_extension kSample{FML_EXTENSION_VERSION, "sample", create, destroy, call};

}  // namespace

extern "C" __attribute__((visibility("default"))) const fml_extension* fml_extension_entry(void) {
    return &kSample;
}
