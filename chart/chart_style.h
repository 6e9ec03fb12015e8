// Drawing resources every chart item shares: the chart font, the fixed colours and the
// automatic palette whose cursor restarts for every formula drawn.
#ifndef VQ_CHART_CHART_STYLE_H
#define VQ_CHART_CHART_STYLE_H

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>

namespace chart {
namespace style {

// "Microsoft YaHei" at pixel size 12, normal weight, upright.
const QFont& font();
// The width reserved for an axis label: the width of "99999.99" in the chart font.
int labelWidth();

QColor upColor();         // #FF3D3D
QColor downColor();       // #0FC351
QColor penColor();        // #FFFFFF, also the axis text
QColor gridColor();       // #2A2F36
QColor crosshairColor();  // #969DB3
QColor labelBoxColor();   // #464D59

// A formula output colour, packed 0xBBGGRR (red in the low byte), always opaque.
QColor fromBgr(uint32_t bgr);
// A colour stored in a float slot, its bits read as 0xRRGGBB; the alpha byte is ignored.
QColor fromRgbBits(float slot);

// The automatic palette: seven colours, used in order and then again from the first.
constexpr int kPaletteSize = 7;
QColor paletteColor(int index);
// The process-wide cursor. Reset before each formula is drawn; not for concurrent use.
void resetPalette();
QColor nextPaletteColor();
// A style colour, or the next palette colour when it is 0 (automatic).
QColor outputColor(uint32_t bgr);

}  // namespace style
}  // namespace chart

#endif
