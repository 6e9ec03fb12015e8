// Crosshair, keyboard zoom and scroll, title strips, and the pointer handling the item owns
// itself (dragging out an interval for the statistics).
#include "chart/chart_children.h"
#include "chart/chart_geometry.h"
#include "chart/qchart.h"

#include <QKeyEvent>

#include <algorithm>
#include <cmath>

void QChart::updateMousePoint(QChart* src, double x, double y) {
    if (series_.empty() || layers_.empty()) {
        return;
    }
    mouseX_ = std::isfinite(x) ? int(std::clamp(x, -1e9, 1e9)) : 0;
    mouseY_ = src == this && std::isfinite(y) ? int(std::clamp(y, -1e9, 1e9)) : -1;
    if (const CTXData* main = getCTXData(0)) {
        crosshair_ = barAtPixel(x);
        if (src == this) {
            const double v = chart::pixelToValue(main->geo, mouseY_);
            emit crosshairChange(this, crosshair_,
                                 std::isfinite(v) ? int(std::clamp(v, -2e9, 2e9)) : 0);
        }
    }
    updateTitleBarCTXData(crosshair_);
    update();
}

void QChart::updateCrosshairPos(int x_pos) {
    const CTXData* main = getCTXData(0);
    if (series_.empty() || !main) {
        return;
    }
    const int last = std::max(getFirstKLineSize() - 1, 0);
    int c = x_pos;
    if (main->name == QLatin1String("MLINE") || main->name == QLatin1String("MVOL")) {
        c = std::clamp(c, 0, kShowNumber_);
    }
    const int b = begin_;
    const int e = end_;
    int nb = b;
    int ne = e;
    if (c < b) {
        if (c < 0) {
            nb = 0;
            ne = kShowNumber_ - 1;
        } else {
            nb = c;
            if (kShowNumber_ <= e - c) {
                ne = e - b + c;  // slide left keeping the width
            }
        }
    } else if (c > e && c < last) {
        nb = b - e + c;
        ne = c;
    } else if (c > e) {
        ne = last;
        if (lineType_ == QLatin1String("kline")) {
            // Past the newest bar: drop bars at the left, leaving empty slots at the right.
            nb = int(std::min<long long>(static_cast<long long>(b) + c - last, last));
        }
    }
    nb = std::max(nb, 0);
    ne = std::min(ne, last);
    c = std::clamp(c, nb, std::max(nb, ne));
    crosshair_ = c;
    if (nb != begin_ || ne != end_) {
        begin_ = nb;
        end_ = ne;
        recalculate();
        emit reCalcShow(begin_, end_, kShowNumber_, crosshair_);
    }
    const CTXData* geoOwner = getCTXData(0);
    mouseX_ = int(chart::slotCentre(geoOwner->geo, crosshair_ - begin_));
    const KData* bar = getPosKData(crosshair_);
    const double y = bar ? chart::valueToPixel(geoOwner->geo, bar->close) : 0.0;
    mouseY_ = std::isfinite(y) ? int(std::clamp(y, -1e9, 1e9)) : 0;
    updateTitleBarCTXData(crosshair_);
    emit crosshairChange(this, crosshair_, mouseY_);
    update();
}

bool QChart::changeShowCrosshairLine() {
    showCrosshair_ = !showCrosshair_;
    update();
    return showCrosshair_;
}

void QChart::setShowCrosshairLine(bool show) {
    showCrosshair_ = show;
    update();
}

void QChart::updateTitleBarCTXData(int bar) {
    const int count = getFirstKLineSize();
    if (bar < 0 || bar >= count) {
        bar = std::max(count - 1, 0);
    }
    CTXLayer* formulas = layers_.empty() ? nullptr : layers_[0].get();
    for (chart::TitleView* t : titleViews()) {
        t->setCTXData(formulas);
        t->setCurX(bar);
    }
}

void QChart::zoomIn() {
    if (getMainName() != QLatin1String("KLINE")) {
        return;
    }
    setkShowNumber(std::max(int(std::floor(kShowNumber_ / 1.5)), 8));
}

void QChart::zoomOut() {
    if (getMainName() != QLatin1String("KLINE")) {
        return;
    }
    // Bounded so that repeated zooming out cannot overflow the bar count.
    const double n = std::ceil(kShowNumber_ * 1.5);
    setkShowNumber(int(std::min(n, 1e8)));
    emit loadMoreKLine();
}

void QChart::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            updateCrosshairPos(crosshair_ - 1);
            break;
        case Qt::Key_Right:
            updateCrosshairPos(crosshair_ + 1);
            break;
        case Qt::Key_Up:
            zoomIn();
            break;
        case Qt::Key_Down:
            zoomOut();
            break;
        case Qt::Key_Home:
            updateCrosshairPos(0);
            break;
        case Qt::Key_End:
            updateCrosshairPos(std::max(getFirstKLineSize() - 1, 0));
            break;
        case Qt::Key_Escape:
            if (!isSelecting_) {
                event->ignore();
                return;
            }
            clearIS();
            break;
        default:
            event->ignore();
            return;
    }
    event->accept();
}
