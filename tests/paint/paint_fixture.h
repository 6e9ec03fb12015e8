// A daily K-line chart of 600000 over 200 fixed bars for the drawing tests: 720 x 621 pixels,
// a 600 x 600 plot from (60, 20), the newest 120 bars in view (slots of 5 pixels).
#ifndef VQ_TESTS_PAINT_PAINT_FIXTURE_H
#define VQ_TESTS_PAINT_PAINT_FIXTURE_H

#include "paint/cpaint_board.h"
#include "paint/cpaint_marks.h"
#include "paint/cpaint_method_base.h"
#include "paint/drawing_file.h"
#include "tests/chart/chart_fixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QtTest>

namespace paint_test {

constexpr int kBars = 200;
const QString kCode = QStringLiteral("600000");
constexpr int kMarket = 1;
constexpr int kCycle = 33;

inline std::unique_ptr<QChart> dailyChart(int bars = kBars) {
    auto chart = fixture::makeChart();
    chart->setLineType("kline");
    chart->setCycle(kCycle);
    chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
    chart->setSecurity(0, kCode, kMarket, 2);
    if (bars > 0) {
        fixture::feedKLine(*chart, fixture::kpoints(bars));
    }
    return chart;
}

inline QString filePath() {
    return paint::drawingFilePath(kCode, kMarket, kCycle);
}

inline QByteArray fileBytes() {
    QFile f(filePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QByteArray& bytes) {
    QFile f(filePath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

inline void removeFile() {
    QFile::remove(filePath());
}

inline QImage render(QChart& chart) {
    QImage image(int(chart.width()), int(chart.height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter p(&image);
    chart.paint(&p);
    return image;
}

// Pixels that differ between two renders within `radius` of (x, y); a column when y < 0.
inline int inkNear(const QImage& with, const QImage& without, int x, int y, int radius = 3) {
    int n = 0;
    const int y0 = y < 0 ? 0 : y - radius;
    const int y1 = y < 0 ? with.height() - 1 : y + radius;
    for (int yy = std::max(0, y0); yy <= std::min(with.height() - 1, y1); ++yy) {
        for (int xx = std::max(0, x - radius); xx <= std::min(with.width() - 1, x + radius); ++xx) {
            if (with.pixel(xx, yy) != without.pixel(xx, yy)) {
                ++n;
            }
        }
    }
    return n;
}

}  // namespace paint_test

#endif
