// A point of a drawing tool: its pixel position and the bar time and price it is anchored to.
#ifndef VQ_PAINT_PAINT_POINT_H
#define VQ_PAINT_PAINT_POINT_H

#include <cstdint>

namespace paint {

struct PaintPoint {
    int x = -1;
    int y = -1;
    int index = 0;       // bar of series 0, kept in step with `time` before every paint
    uint32_t time = 0;   // the bar's time: what keeps the point on its bar across reloads
    float price = 0.0f;  // value on the main pane's scale

    bool isSet() const { return x != -1 || y != -1; }
    void unset() { x = y = -1; }
};

}  // namespace paint

#endif
