#include "chart/time_bar.h"

#include "chart/chart_style.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

// Labels leave this much room on either side, the width of the axis label columns.
constexpr int kMargin = 60;

QString formatTime(uint timestamp, const QString& pattern) {
    return QDateTime::fromSecsSinceEpoch(qint64(timestamp)).toString(pattern);
}

QFont barFont() {
    QFont f = chart::style::font();
    f.setPixelSize(12);
    f.setWeight(QFont::Normal);
    return f;
}

}  // namespace

TimeBar::TimeBar(QQuickItem* parent) : ShownPaintedItem(parent) {}

void TimeBar::setScales(QList<int> list) {
    scales_ = std::move(list);
    update();
}

void TimeBar::setCurScales(uint timestamp) {
    curTime_ = timestamp;
    update();
}

void TimeBar::setCurX(int x) {
    curX_ = x;
}

void TimeBar::setBeginEnd(int begin, int end) {
    begin_ = begin;
    end_ = end;
}

void TimeBar::setChartType(QString chart) {
    chartType_ = std::move(chart);
}

void TimeBar::setChartCycle(int cycle) {
    cycle_ = cycle;
}

QString TimeBar::timeText(uint timestamp) const {
    if (chartType_ == QLatin1String("mline")) {
        return formatTime(timestamp, QStringLiteral("HH:mm"));
    }
    if (chartType_ != QLatin1String("kline")) {
        return QString();
    }
    switch (cycle_) {
        case 33:  // day
        case 39:  // week
            return formatTime(timestamp, QStringLiteral("yyyy-MM-dd"));
        case 40:  // month
            return formatTime(timestamp, QStringLiteral("yyyy-MM"));
        default:
            return formatTime(timestamp, QStringLiteral("yyyy-MM-dd HH:mm"));
    }
}

QString TimeBar::currentText() const {
    if (chartType_ == QLatin1String("mline")) {
        return formatTime(curTime_, QStringLiteral("MM-dd HH:mm"));
    }
    return timeText(curTime_);
}

QList<TimeBar::Label> TimeBar::labels(int width) const {
    QList<Label> out;
    const int n = scales_.size();
    if (n == 0) {
        return out;
    }
    const bool minute = chartType_ == QLatin1String("mline");
    // On a minute chart the morning close and the afternoon open share one position.
    const int gaps = minute ? n - 2 : n - 1;
    const int spacing = gaps > 0 ? (width - 2 * kMargin) / gaps : 0;
    QStringList texts;
    for (int i = 0; i < n; ++i) {
        if (minute && i == 3) {
            continue;
        }
        QString text = timeText(uint(scales_[i]));
        if (minute && i == 2 && n > 3) {
            text += QLatin1Char('/') + timeText(uint(scales_[3]));
        }
        texts << text;
    }
    int x = kMargin;
    for (int i = 0; i < texts.size(); ++i) {
        Label label;
        label.text = texts[i];
        label.x = x;
        if (i == 0) {
            label.align = Qt::AlignLeft;
        } else if (i == texts.size() - 1) {
            label.align = Qt::AlignRight;
        }
        out << label;
        x += spacing;
    }
    return out;
}

void TimeBar::paint(QPainter* painter) {
    if (scales_.isEmpty()) {
        return;
    }
    const int w = int(width()), h = int(height());
    painter->fillRect(QRect(0, 0, w, h), QColor(0x19, 0x1B, 0x1F));
    const QFont font = barFont();
    const QFontMetrics metrics(font);
    painter->setFont(font);
    painter->setPen(QPen(chart::style::penColor(), 1));
    for (const Label& label : labels(w)) {
        const int textWidth = metrics.horizontalAdvance(label.text);
        int left = label.x - textWidth / 2;
        if (label.align == Qt::AlignLeft) {
            left = label.x;
        } else if (label.align == Qt::AlignRight) {
            left = label.x - textWidth;
        }
        painter->drawText(QRect(left, 0, textWidth, h), Qt::AlignCenter, label.text);
    }
    if (curTime_ == 0) {
        return;
    }
    const QString text = currentText();
    if (text.isEmpty()) {
        return;
    }
    const int centre = std::clamp(curX_, kMargin, std::max(kMargin, w - kMargin));
    const int boxWidth = metrics.horizontalAdvance(text) + 10;
    const QRect box(centre - boxWidth / 2, 0, boxWidth, h);
    painter->fillRect(box, chart::style::labelBoxColor());
    painter->drawText(box, Qt::AlignCenter, text);
}
