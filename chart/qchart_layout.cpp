// Layout: pane geometry, value ranges, percentage alignment of overlays, and the window setters.
#include "chart/chart_children.h"
#include "chart/chart_geometry.h"
#include "chart/qchart.h"

#include <QJSValue>
#include <QQmlListReference>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

constexpr float kUnwidenedMax = -FLT_MAX;
constexpr float kUnwidenedMin = FLT_MAX;

}  // namespace

void QChart::recalculate() {
    evaluateLayers();
    if (begin_ < 0 || end_ < begin_) {
        return;
    }
    std::vector<std::vector<char>> widened(layers_.size());
    for (size_t i = 0; i < layers_.size(); ++i) {
        CTXLayer& layer = *layers_[i];
        widened[i].assign(layer.size(), 0);
        for (size_t f = 0; f < layer.size(); ++f) {
            layoutGeometry(layer[f]);
            widened[i][f] = computeRange(layer[f], int(i)) ? 1 : 0;
        }
    }
    alignPercentages(widened);
    pushLayersToViews();
}

void QChart::layoutGeometry(CTXData& d) const {
    PaneGeometry& g = d.geo;
    const int w = std::max(0, int(width() - 120));
    const int h = std::max(0, int(height() - 21));
    g.rect = QRect(60, 20, w, h);
    g.fullRect = g.rect;
    int n = kShowNumber_ > 0 ? kShowNumber_ : end_ - begin_ + 1;
    n = std::max(n, 1);
    g.barGap = 1;
    g.barWidth = (float(w) - float(n) * g.barGap) / float(n);
    if (g.barWidth < 1) {
        g.barGap = 0;
        g.barWidth = float(w) / float(n);
    }
    g.barWidth = std::min(g.barWidth, float(w / 8) - g.barGap);
    g.barWidth = std::max(g.barWidth, 0.0f);
}

bool QChart::computeRange(CTXData& d, int layer) const {
    PaneGeometry& g = d.geo;
    float hi = kUnwidenedMax;
    float lo = kUnwidenedMin;
    bool found = false;
    if (d.ctx != 0 && d.series && !d.series->empty()) {
        const int count = int(d.series->size());
        const int first = std::min(begin_, count - 1);
        const int last = std::min(end_, count - 1);
        float mx = 0;
        float mn = 0;
        if (first >= 0 && last >= first &&
            fml_ctx_output_maxmin(d.ctx, first, last - first + 1, &mx, &mn) == 1 &&
            std::isfinite(mx) && std::isfinite(mn)) {
            hi = mx;
            lo = mn;
            found = true;
        }
    }
    if (!found) {
        // Nothing to show: a flat range at 0 keeps every pixel mapping finite.
        g.max = 0;
        g.min = 0;
        return false;
    }
    if (d.name == QLatin1String("KLINE")) {
        // Ten pixels of air above the highest high and below the lowest low.
        const double top = g.rect.top();
        const double s = hi == lo ? 1.0 : double(g.rect.height()) / (double(hi) - double(lo));
        if (s > 0) {
            const double y1 = std::trunc(top - 10);
            const double y2 = std::trunc(top + (double(hi) - double(lo)) * s + 10);
            const double newMax = double(hi) - (y1 - top) / s;
            const double newMin = double(hi) - (y2 - top) / s;
            hi = float(newMax);
            lo = float(newMin);
        }
    } else if (d.scales == QLatin1String("MSCALES") && layer < int(series_.size()) &&
               !series_[size_t(layer)]->empty()) {
        const float p = series_[size_t(layer)]->front().p_close;
        if (p != FMLInvalidValue && std::isfinite(p)) {
            const float dist = std::max(std::fabs(hi - p), std::fabs(lo - p));
            hi = p + dist;
            lo = p - dist;
        }
    }
    if (hi == lo) {
        hi *= 1.01f;
        lo *= 0.99f;
    }
    g.max = hi;
    g.min = lo;
    return true;
}

void QChart::alignPercentages(const std::vector<std::vector<char>>& widened) {
    const char* baseName = lineType_ == QLatin1String("mline") ? "_CC" : "_OO";
    std::vector<float> bases(layers_.size(), FMLInvalidValue);
    for (size_t i = 0; i < layers_.size(); ++i) {
        const CTXLayer& layer = *layers_[i];
        if (layer.empty() || !layer[0].series || layer[0].series->empty()) {
            continue;
        }
        const int count = int(layer[0].series->size());
        const float* base = namedSeries(layer[0], baseName);
        const float* opens = namedSeries(layer[0], "_OO");
        if (!base || !opens || begin_ >= count) {
            continue;
        }
        int at = begin_;
        for (int k = begin_; k < std::min(end_, count); ++k) {
            if (opens[k] != FMLInvalidValue) {
                at = k;
                break;
            }
        }
        const float b = base[at];
        if (b != FMLInvalidValue && std::isfinite(b) && b != 0) {
            bases[i] = b;
        }
    }
    bool any = false;
    float up = -FLT_MAX;
    float down = -FLT_MAX;
    for (size_t i = 0; i < layers_.size(); ++i) {
        const float b = bases[i];
        if (b == FMLInvalidValue) {
            continue;
        }
        const CTXLayer& layer = *layers_[i];
        for (size_t f = 0; f < layer.size(); ++f) {
            if (!widened[i][f]) {
                continue;
            }
            up = std::max(up, (layer[f].geo.max - b) / b);
            down = std::max(down, std::fabs(b - layer[f].geo.min) / b);
            any = true;
        }
    }
    if (!any) {
        return;
    }
    for (size_t i = 0; i < layers_.size(); ++i) {
        const float b = bases[i];
        if (b == FMLInvalidValue) {
            continue;
        }
        for (CTXData& d : *layers_[i]) {
            d.geo.max = b * up + b;
            d.geo.min = b - b * down;
        }
    }
}

std::vector<chart::LayerView*> QChart::layerViews() const {
    std::vector<chart::LayerView*> views;
    auto take = [&views](QObject* o) {
        views.push_back(o ? dynamic_cast<chart::LayerView*>(o) : nullptr);
    };
    QQmlListReference list(const_cast<QChart*>(this), "subFChart");
    if (list.isValid() && list.canCount() && list.canAt()) {
        for (int i = 0; i < list.count(); ++i) {
            take(list.at(i));
        }
        return views;
    }
    QVariant v = property("subFChart");
    if (v.userType() == qMetaTypeId<QJSValue>()) {
        v = v.value<QJSValue>().toVariant();
    }
    for (const QVariant& item : v.toList()) {
        take(item.value<QObject*>());
    }
    return views;
}

std::vector<chart::TitleView*> QChart::titleViews() const {
    std::vector<chart::TitleView*> views;
    const QList<QQuickItem*> top = childItems();
    std::vector<QQuickItem*> pending(top.begin(), top.end());
    while (!pending.empty()) {
        QQuickItem* item = pending.back();
        pending.pop_back();
        if (qobject_cast<QChart*>(item)) {
            continue;  // a nested chart refreshes its own title strips
        }
        if (auto* t = dynamic_cast<chart::TitleView*>(item)) {
            views.push_back(t);
        }
        const auto children = item->childItems();
        pending.insert(pending.end(), children.begin(), children.end());
    }
    return views;
}

void QChart::pushLayersToViews() {
    const std::vector<chart::LayerView*> views = layerViews();
    for (size_t i = 0; i < views.size() && i < layers_.size(); ++i) {
        if (views[i]) {
            views[i]->setWindow(begin_, end_);
            views[i]->setLayer(layers_[i].get());
        }
    }
}

void QChart::setkShowNumber(int n, bool reset) {
    n = std::max(n, 1);
    kShowNumber_ = n;
    const int c = getFirstKLineSize();
    if (!reset || c == 0) {
        return;
    }
    const int last = c - 1;
    const int anchor = showCrosshair_ ? n / 2 + crosshair_ : last;
    if (n > c) {
        kShowNumber_ = c;
        begin_ = 0;
        end_ = last;
    } else {
        end_ = std::clamp(anchor, 0, last);
        begin_ = std::max(end_ - n + 1, 0);
        if (end_ - begin_ + 1 < n) {
            kShowNumber_ = end_ - begin_ + 1;
        }
    }
    if (end_ - begin_ + 1 <= 1) {
        kShowNumber_ = 1;
    }
    crosshair_ = std::max(crosshair_, begin_);
    recalculate();
    updateCrosshairPos(crosshair_);
    emit reCalcShow(begin_, end_, kShowNumber_, crosshair_);
}

void QChart::updateReCalcShow(int begin, int end, int showNumber, int x_pos) {
    const int c = getFirstKLineSize();
    if (series_.empty()) {
        return;
    }
    begin_ = std::max(begin, 0);
    end_ = std::max(std::min(end, c - 1), 0);
    kShowNumber_ = showNumber;
    crosshair_ = x_pos;
    recalculate();
    updateTitleBarCTXData(crosshair_);
    update();
}

void QChart::onWidthChanged() {
    recalculate();
    update();
}

void QChart::onHeightChanged() {
    recalculate();
    emit syncUpdateKData();
    update();
}
