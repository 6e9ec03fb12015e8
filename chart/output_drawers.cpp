#include "chart/output_drawers.h"

#include "libformula/fml.h"

#include <cstring>

namespace chart {

OutputDrawer outputDrawer(int kind) {
    switch (kind) {
        case FML_DRAW_LINE:
            return drawLineOutput;
        case FML_DRAW_STICK:
            return drawStickOutput;
        case FML_DRAW_NUMBER:
            return drawNumberOutput;
        case FML_DRAW_STRING:
            return drawStringOutput;
        case FML_DRAW_BAND:
            return drawBandOutput;
        case FML_DRAW_ICON:
            return drawIconOutput;
        case FML_DRAW_FIX_NUMBER:
            return drawFixNumberOutput;
        case FML_DRAW_FIX_STRING:
            return drawFixStringOutput;
        case FML_DRAW_RECT:
            return drawRectOutput;
        case FML_DRAW_K_LINE:
            return drawKLineOutput;
        default:
            return nullptr;
    }
}

const float* argumentSeries(int ctx, const char* name, int* length) {
    fml_arg h = fml_get_argument(ctx, name);
    if (h == 0) {
        return nullptr;
    }
    const float* data = fml_argument_data_number(h);
    int n = fml_argument_length(h);
    if (!data || n <= 0) {
        return nullptr;
    }
    if (length) {
        *length = n;
    }
    return data;
}

bool firstArgumentValue(int ctx, const char* name, float* out) {
    const float* data = argumentSeries(ctx, name, nullptr);
    if (!data) {
        return false;
    }
    // Compare bits: a colour stored in a float slot may be any pattern, NaNs included.
    uint32_t bits = 0, missing = 0;
    std::memcpy(&bits, data, 4);
    std::memcpy(&missing, &FMLInvalidValue, 4);
    if (bits == missing) {
        return false;
    }
    *out = data[0];
    return true;
}

}  // namespace chart
