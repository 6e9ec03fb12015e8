#include "chart/kdata.h"

#include "libformula/fml.h"

KData gapKData() {
    const float m = FMLInvalidValue;
    return KData{0, 0, m, m, m, m, m, m, m, m, m};
}
