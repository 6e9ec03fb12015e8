#include "chart/fchart.h"

#include "chart/chart_style.h"
#include "chart/layer_renderer.h"

#include <QGuiApplication>
#include <QPainter>
#include <QQuickWindow>
#include <QScreen>

#include <cmath>

FChart::FChart(QQuickItem* parent) : ShownPaintedItem(parent), font_(chart::style::font()) {
    connect(this, &QQuickItem::widthChanged, this, &FChart::onWidthChanged);
    connect(this, &QQuickItem::heightChanged, this, &FChart::onHeightChanged);
}

void FChart::setGray(uint color) {
    gray_ = color;
}

void FChart::setWindow(int begin, int end) {
    begin_ = begin;
    end_ = end;
}

void FChart::setLayer(CTXLayer* layer) {
    layer_ = layer;
    render();
    update();
}

qreal FChart::devicePixelRatio() const {
    if (window()) {
        return window()->effectiveDevicePixelRatio();
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

void FChart::render() {
    if (!isVisible()) {
        image_ = QImage();
        drawn_ = false;
        return;
    }
    drawn_ = true;
    if (!hasFormulas()) {
        image_ = QImage();
        return;
    }
    const qreal ratio = devicePixelRatio();
    const QSize size(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio)));
    if (size.isEmpty()) {
        image_ = QImage();
        return;
    }
    if (image_.size() != size) {
        image_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
    }
    image_.setDevicePixelRatio(ratio);
    image_.fill(Qt::transparent);
    QPainter painter(&image_);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    chart::renderLayer(&painter, *layer_, begin_, end_);
}

void FChart::paint(QPainter* painter) {
    if (!drawn_) {
        render();
    }
    if (!hasFormulas()) {
        image_ = QImage();
        return;
    }
    if (!image_.isNull()) {
        painter->drawImage(QPointF(0, 0), image_);
    }
}

void FChart::shownChanged(bool shown) {
    // Live pushes keep the layer current while hidden; the image is made again from it when
    // the item is painted in the frame that shows it.
    if (!shown) {
        image_ = QImage();
        drawn_ = false;
    }
}

void FChart::onWidthChanged() {
    render();
    update();
}

void FChart::onHeightChanged() {
    render();
    update();
}
