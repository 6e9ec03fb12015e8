#include "tests/chart_render/probes.h"

#include "tests/chart_render/render_fixture.h"

namespace render_test {

QString checkProbes(const QImage& image, const QList<Probe>& probes) {
    for (const Probe& p : probes) {
        const QRgb px = image.pixel(p.x, p.y);
        const QColor got = colorAt(image, p.x, p.y);
        const QString where = QStringLiteral("(%1,%2) is %3 alpha %4")
                                  .arg(p.x)
                                  .arg(p.y)
                                  .arg(got.name())
                                  .arg(qAlpha(px));
        switch (p.kind) {
            case Probe::Exact:
                if (!sameColor(got, p.color)) {
                    return where + QStringLiteral(", expected ") + p.color.name();
                }
                break;
            case Probe::Empty:
                if (qAlpha(px) != 0) {
                    return where + QStringLiteral(", expected nothing");
                }
                break;
            case Probe::Any:
                if (qAlpha(px) == 0) {
                    return where + QStringLiteral(", expected paint");
                }
                break;
            case Probe::Translucent:
                if (qAlpha(px) == 0 || qAlpha(px) == 255) {
                    return where + QStringLiteral(", expected translucent paint");
                }
                break;
        }
    }
    return QString();
}

QString checkCounts(const QImage& image, const QList<Count>& counts) {
    for (const Count& c : counts) {
        const int n = paintedCount(image, c.area);
        if (n < c.min || n > c.max) {
            return QStringLiteral("%1 painted pixels in (%2,%3 %4x%5), expected %6 .. %7")
                .arg(n)
                .arg(c.area.x())
                .arg(c.area.y())
                .arg(c.area.width())
                .arg(c.area.height())
                .arg(c.min)
                .arg(c.max);
        }
    }
    return QString();
}

}  // namespace render_test
