#include "chart/title_bar.h"

#include "chart/chart_style.h"

#include "libformula/fml.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

QFont titleFont() {
    QFont f = chart::style::font();
    f.setPixelSize(13);
    f.setWeight(QFont::Normal);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

}  // namespace

TitleBar::TitleBar(QQuickItem* parent) : ShownPaintedItem(parent) {}

void TitleBar::setCTXData(CTXLayer* formulas) {
    formulas_ = formulas;
}

void TitleBar::setCurX(int bar) {
    bar_ = bar;
    update();
}

void TitleBar::setLeftPadding(int padding) {
    leftPadding_ = padding;
    emit leftPaddingChanged(padding);
    update();
}

QList<TitleBar::Entry> TitleBar::entries() {
    QList<Entry> out;
    if (!formulas_) {
        return out;
    }
    for (const CTXData& d : *formulas_) {
        if (d.ctx == 0 || !d.series || d.series->empty()) {
            continue;
        }
        const int count = int(d.series->size());
        if (bar_ >= count) {
            bar_ = count - 1;
        }
        if (bar_ < 0) {
            continue;
        }
        fml_selected records[FML_SELECTED_RECORDS] = {};
        const int n = fml_ctx_output_selected_value(d.ctx, bar_, records, FML_SELECTED_RECORDS);
        // Outputs without a colour of their own take the palette in the pane's order.
        chart::style::resetPalette();
        for (int i = 0; i < n && i < FML_SELECTED_RECORDS; ++i) {
            const QString name = QString::fromUtf8(records[i].name ? records[i].name : "");
            const float v = records[i].value;
            const QString text = v == FMLInvalidValue ? name + QStringLiteral(": -")
                                                      : name + QStringLiteral(": ") +
                                                            QString::number(double(v), 'f', 2);
            out << Entry{text, chart::style::outputColor(records[i].color)};
        }
    }
    return out;
}

void TitleBar::paint(QPainter* painter) {
    if (!formulas_) {
        return;
    }
    const QList<Entry> list = entries();
    const QRect area(leftPadding_, 0, int(width()) - 2 * leftPadding_, int(height()));
    if (list.isEmpty() || area.width() <= 0) {
        return;
    }
    const QFont font = titleFont();
    const QFontMetrics metrics(font);
    painter->save();
    painter->setClipRect(area);
    painter->setFont(font);
    int x = area.left();
    for (const Entry& e : list) {
        const int w = metrics.horizontalAdvance(e.text);
        // A narrow chart shows the outputs that fit whole; only the first is ever cut.
        if (x > area.left() && x + w > area.right() + 1) {
            break;
        }
        painter->setPen(e.color);
        painter->drawText(QRect(x, area.top(), w, area.height()), Qt::AlignCenter, e.text);
        x += w + 5;
    }
    painter->restore();
}
