// Painting of the chip-distribution panel: the histogram over the chart's price axis, the
// period snapshots of the far and near modes with their legend, and the summary figures.
#include "chart/cchip_distribution.h"

#include "chart/chart_style.h"
#include "chart/qchart.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor kBackground(0, 0, 0);
const QColor kText(255, 255, 255);
const QColor kAverageCost(84, 255, 255);
const QColor kProfit(255, 255, 0);
const QColor kLoss(255, 255, 255);
constexpr int kLineHeight = 20;

// The longest line of every pixel row, with the colour of the bucket that drew it: buckets
// finer than a pixel fall on one row and only the longest of them shows.
struct RowLines {
    std::vector<double> length;
    std::vector<QColor> color;
    explicit RowLines(int rows) : length(size_t(std::max(rows, 0)), 0.0), color(length.size()) {}
    void put(int row, double len, const QColor& c) {
        if (row < 0 || size_t(row) >= length.size() || len < length[size_t(row)]) {
            return;
        }
        length[size_t(row)] = len;
        color[size_t(row)] = c;
    }
    void draw(QPainter* p, double left, double top, const QColor* only = nullptr) const {
        for (size_t r = 0; r < length.size(); ++r) {
            if (length[r] < 0.5) {
                continue;
            }
            p->setPen(QPen(only ? *only : color[r], 1));
            const double y = top + double(r) + 0.5;
            p->drawLine(QPointF(left, y), QPointF(left + length[r], y));
        }
    }
};

}  // namespace

QRectF CChipDistribution::plotArea() const {
    if (!chart_) {
        return QRectF();
    }
    // The panel sits beside the chart; only the vertical extent of the plot is shared.
    const QRectF mapped = chart_->mapRectToItem(this, QRectF(rect_));
    return QRectF(1, mapped.top(), std::max(0.0, width() - 1), mapped.height());
}

void CChipDistribution::paint(QPainter* painter) {
    painter->fillRect(QRectF(0, 0, width(), height()), kBackground);
    if (engine_.barCount() == 0 || engine_.chips().empty()) {
        return;
    }
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    painter->setFont(chart::style::font());
    painter->setPen(kText);
    painter->drawText(QRectF(4, 0, width() - 8, kLineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                      QStringLiteral("%1 %2").arg(code_, name_.isEmpty() ? securityName_ : name_));
    const QRectF area = plotArea();
    if (area.height() > 0 && area.width() > 0) {
        painter->save();
        painter->setClipRect(area.adjusted(0, 0, 0, 1));
        paintHistogram(painter, area);
        painter->restore();
    }
    if (engine_.type() != ChipEngine::Plain) {
        paintLegend(painter);
    }
    paintSummary(painter);
}

void CChipDistribution::paintHistogram(QPainter* painter, const QRectF& area) const {
    const double lo = std::max(engine_.minPrice(), chartMin_);
    const double hi = std::min(engine_.maxPrice(), chartMax_);
    if (!(hi >= lo) || chartMax_ <= chartMin_) {
        return;
    }
    const std::vector<double>& chips = engine_.chips();
    const double half = engine_.tickSize() / 2;
    double largest = 0;
    for (size_t k = 0; k < chips.size(); ++k) {
        const double q = engine_.bucketPrice(k);
        if (q >= lo - half && q <= hi + half) {
            largest = std::max(largest, chips[k]);
        }
    }
    if (largest <= 0) {
        return;
    }
    const double perValue = area.height() / (chartMax_ - chartMin_);
    const double across = area.width() / largest;
    RowLines rows(int(std::ceil(area.height())) + 1);
    for (size_t k = 0; k < chips.size(); ++k) {
        const double q = engine_.bucketPrice(k);
        if (q < lo - half || q > hi + half || chips[k] <= 0) {
            continue;
        }
        const int row = int(std::floor((chartMax_ - q) * perValue));
        rows.put(row, chips[k] * across, q < engine_.close() ? kProfit : kLoss);
    }
    if (engine_.type() == ChipEngine::Plain) {
        rows.draw(painter, area.left(), area.top());
        const double avg = engine_.averageCost();
        if (avg >= lo && avg <= hi) {
            const double y = area.top() + std::floor((chartMax_ - avg) * perValue) + 0.5;
            painter->setPen(QPen(kAverageCost, 1));
            painter->drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        }
        return;
    }
    rows.draw(painter, area.left(), area.top(), &kLoss);
    paintPeriods(painter, area, largest);
}

void CChipDistribution::paintPeriods(QPainter* painter, const QRectF& area, double largest) const {
    const double lo = std::max(engine_.minPrice(), chartMin_);
    const double hi = std::min(engine_.maxPrice(), chartMax_);
    const double half = engine_.tickSize() / 2;
    const double perValue = area.height() / (chartMax_ - chartMin_);
    const double across = area.width() / largest;
    auto drawEntry = [&](const ChipPeriodEntry& e) {
        if (!e.taken || e.snapshot.size() != engine_.chips().size()) {
            return;
        }
        RowLines rows(int(std::ceil(area.height())) + 1);
        for (size_t k = 0; k < e.snapshot.size(); ++k) {
            const double q = engine_.bucketPrice(k);
            if (q < lo - half || q > hi + half || e.snapshot[k] <= 0) {
                continue;
            }
            rows.put(int(std::floor((chartMax_ - q) * perValue)), e.snapshot[k] * across, e.color);
        }
        rows.draw(painter, area.left(), area.top());
    };
    if (engine_.type() == ChipEngine::Far) {
        for (const auto& e : engine_.farMap()) {
            drawEntry(e.second);
        }
    } else {
        for (const auto& e : engine_.nearMap()) {
            drawEntry(e.second);
        }
    }
}

void CChipDistribution::paintLegend(QPainter* painter) const {
    const bool far = engine_.type() == ChipEngine::Far;
    const QString where = far ? QStringLiteral("前") : QStringLiteral("内");
    double y = height() - 240;
    auto row = [&](int period, const ChipPeriodEntry& e) {
        const QRectF box(1, y, width() - 2, kLineHeight - 1);
        y += kLineHeight;
        if (!e.taken) {
            return;
        }
        painter->fillRect(box, e.color);
        // Black on the light rows; the darkest blues of the near map take white to stay legible.
        painter->setPen(qGray(e.color.rgb()) < 80 ? QColor(255, 255, 255) : QColor(0, 0, 0));
        const double share = engine_.total() > 0 ? e.sum / engine_.total() * 100 : 0;
        painter->drawText(
            box.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter,
            QString::asprintf("%d周期%s成本%.1f%%", period, where.toUtf8().constData(), share));
    };
    if (far) {
        for (const auto& e : engine_.farMap()) {
            row(e.first, e.second);
        }
    } else {
        for (const auto& e : engine_.nearMap()) {
            row(e.first, e.second);
        }
    }
}

void CChipDistribution::paintSummary(QPainter* painter) const {
    const double left = 4;
    double y = height() - 6 * kLineHeight;
    auto line = [&](const QString& text) {
        painter->setPen(kText);
        painter->drawText(QRectF(left, y, width() - left - 2, kLineHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, text);
        y += kLineHeight;
    };
    line(QStringLiteral("成本分布 日期: ") + dateText());

    const QString label = QStringLiteral("获利比例: ");
    painter->setPen(kText);
    painter->drawText(QRectF(left, y, width(), kLineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                      label);
    const double frameLeft = left + painter->fontMetrics().horizontalAdvance(label);
    const QRectF frame(frameLeft, y + 3, std::max(0.0, width() - frameLeft - 3), kLineHeight - 7);
    const double ratio = std::clamp(engine_.profitRatio(), 0.0, 1.0);
    const QRectF filled(frame.left(), frame.top(), frame.width() * ratio, frame.height());
    QColor fill = kProfit;
    fill.setAlpha(110);
    painter->fillRect(filled, fill);
    painter->setPen(QPen(kProfit, 1));
    painter->drawRect(filled);
    painter->setPen(QPen(kText, 1));
    painter->drawRect(frame);
    painter->drawText(frame, Qt::AlignCenter,
                      QString::asprintf("%.2f%%", engine_.profitRatio() * 100));
    y += kLineHeight;

    line(QString::asprintf("%.2f处获利盘: %.2f%%", cursorPrice(),
                           engine_.shareBelow(cursorPrice()) * 100));
    line(QString::asprintf("平均成本: %.2f元", engine_.averageCost()));
    line(QString::asprintf("90%%成本%.2f-%.2f集中%.1f%%", engine_.low90(), engine_.high90(),
                           engine_.concentration90() * 100));
    line(QString::asprintf("70%%成本%.2f-%.2f集中%.1f%%", engine_.low70(), engine_.high70(),
                           engine_.concentration70() * 100));
}
