#include "chart/chart_style.h"

#include <QFontMetrics>

#include <cstring>

namespace chart {
namespace style {

namespace {

const QRgb kPalette[kPaletteSize] = {0xFFFFFF, 0xD98024, 0xB55BAD, 0x1DB624,
                                     0x1A98FC, 0xB6AD4E, 0xADD8E6};
int paletteCursor = 0;

}  // namespace

const QFont& font() {
    static const QFont f = [] {
        QFont chartFont(QStringLiteral("Microsoft YaHei"));
        chartFont.setPixelSize(12);
        chartFont.setWeight(QFont::Normal);
        chartFont.setItalic(false);
        return chartFont;
    }();
    return f;
}

int labelWidth() {
    static const int width = QFontMetrics(font()).horizontalAdvance(QStringLiteral("99999.99"));
    return width;
}

QColor upColor() {
    return QColor(0xFF, 0x3D, 0x3D);
}
QColor downColor() {
    return QColor(0x0F, 0xC3, 0x51);
}
QColor penColor() {
    return QColor(0xFF, 0xFF, 0xFF);
}
QColor gridColor() {
    return QColor(0x2A, 0x2F, 0x36);
}
QColor crosshairColor() {
    return QColor(0x96, 0x9D, 0xB3);
}
QColor labelBoxColor() {
    return QColor(0x46, 0x4D, 0x59);
}

QColor fromBgr(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor fromRgbBits(float slot) {
    uint32_t bits = 0;
    std::memcpy(&bits, &slot, sizeof bits);
    return QColor(QRgb(bits & 0xFFFFFF));
}

QColor paletteColor(int index) {
    return QColor(kPalette[((index % kPaletteSize) + kPaletteSize) % kPaletteSize]);
}

void resetPalette() {
    paletteCursor = 0;
}

QColor nextPaletteColor() {
    QColor c = paletteColor(paletteCursor);
    paletteCursor = (paletteCursor + 1) % kPaletteSize;
    return c;
}

QColor outputColor(uint32_t bgr) {
    return bgr == 0 ? nextPaletteColor() : fromBgr(bgr);
}

}  // namespace style
}  // namespace chart
