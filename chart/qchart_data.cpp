// Incoming blocks: bars built from quote records, stored into the series, overlays aligned,
// layers bound and the window placed.
#include "chart/bar_series.h"
#include "chart/qchart.h"

#include <QVariant>

#include <algorithm>
#include <cstring>

namespace {

void fillCode(QuoteCodeInfo& info, const QString& code) {
    std::memset(info.code, 0, sizeof(info.code));
    QByteArray bytes = code.toUtf8().left(int(sizeof(info.code)));
    std::memcpy(info.code, bytes.constData(), size_t(bytes.size()));
}

}  // namespace

QuoteCodeInfo QChart::securityFor(int index) const {
    QuoteCodeInfo info{};
    if (index >= 0 && index < int(securities_.size())) {
        info = securities_[size_t(index)];
        if (index < int(explicitSecurity_.size()) && explicitSecurity_[size_t(index)]) {
            return info;
        }
    }
    if (index == 0 && source_) {
        // A follower chart takes its leader's security; a data model names its own.
        if (auto* leader = qobject_cast<QChart*>(source_.data())) {
            if (!leader->securities_.empty()) {
                return leader->securities_[0];
            }
        } else {
            QVariant code = source_->property("code");
            if (code.isValid() && !code.toString().isEmpty()) {
                fillCode(info, code.toString());
                info.market = int8_t(source_->property("market").toInt());
                QVariant decimal = source_->property("decimal");
                if (decimal.isValid()) {
                    info.decimal = int8_t(decimal.toInt());
                }
            }
        }
    }
    // Blocks carry no decimals; prices of the two exchanges and of blocks have two.
    if (info.decimal <= 0) {
        info.decimal = 2;
    }
    return info;
}

int QChart::storeSeries(int index, KSeries&& bars, bool replaceWhole, bool kline,
                        const QuoteCodeInfo& security) {
    int i = std::min(index, int(series_.size()));
    if (i == int(series_.size())) {
        series_.push_back(std::make_unique<KSeries>());
        if (i > 0) {
            rawOverlays_.push_back(std::make_unique<KSeries>());
        }
    }
    if (securities_.size() <= size_t(i)) {
        securities_.resize(size_t(i) + 1, QuoteCodeInfo{});
    }
    if (explicitSecurity_.size() <= size_t(i) || !explicitSecurity_[size_t(i)]) {
        securities_[size_t(i)] = security;
    }
    if (i == 0) {
        chart::storeBars(*series_[0], std::move(bars), replaceWhole);
        if (kline) {
            chart::resetPrevClose(*series_[0]);
        }
        realignOverlays(1);
    } else {
        KSeries& raw = *rawOverlays_[size_t(i - 1)];
        chart::storeBars(raw, std::move(bars), replaceWhole);
        if (kline) {
            chart::resetPrevClose(raw);
        }
        realignOverlays(i);
    }
    bindLayer(i);
    return i;
}

void QChart::realignOverlays(int from) {
    if (series_.size() < 2) {
        return;
    }
    // Series 0 changing moves every overlay; an overlay changing moves only itself.
    const int last = from == 1 ? int(series_.size()) - 1 : from;
    for (int j = std::max(from, 1); j <= last && j < int(series_.size()); ++j) {
        *series_[size_t(j)] = chart::alignToBase(*series_[0], *rawOverlays_[size_t(j - 1)]);
    }
}

void QChart::bindLayer(int index) {
    outputsStale_ = true;
    if (index < 0 || index >= int(layers_.size())) {
        return;
    }
    KSeries* s = index < int(series_.size()) ? series_[size_t(index)].get() : nullptr;
    QuoteCodeInfo security{};
    if (index < int(securities_.size())) {
        security = securities_[size_t(index)];
    } else {
        security.decimal = 2;
    }
    for (CTXData& d : *layers_[size_t(index)]) {
        d.series = s;
        d.security = security;
    }
}

void QChart::onUpdateKLine(QuoteKPoints* k, int index) {
    if (!k || !k->points || k->count == 0) {
        return;
    }
    onSyncUpdateKLine(k, index);
    if (index == 0) {
        loadDrawingsOfSeries0();
        emit syncUpdateKLine(k, 0);
        emit dataUpdate();
        emit syncUpdateKData();
    }
}

void QChart::onSyncUpdateKLine(QuoteKPoints* k, int index) {
    if (!k || !k->points || k->count == 0 || index < 0) {
        return;
    }
    if (maxIndex_ > 0 && index > maxIndex_) {
        return;
    }
    const int oldCount = getFirstKLineSize();
    const uint32_t oldFirst = oldCount > 0 ? series_[0]->front().time : 0;
    KSeries bars = chart::barsFromKLine(k->points, int(k->count));
    int stored = storeSeries(index, std::move(bars), false, true, securityFor(index));
    if (stored == 0) {
        placeWindowAfterKLine(oldCount, oldFirst);
    } else {
        recalculate();
        update();
    }
}

void QChart::onUpdateMinute(QuoteMinPoints* m, int index) {
    onSyncUpdateMinute(m, index);
    if (m && index == 0) {
        emit syncUpdateMinute(m, 0);
        emit dataUpdate();
    }
}

void QChart::onSyncUpdateMinute(QuoteMinPoints* m, int index) {
    if (!m || index < 0) {
        return;
    }
    if (maxIndex_ > 0 && index > maxIndex_) {
        return;
    }
    KSeries bars = chart::barsFromMinute(*m);
    if (bars.empty()) {
        return;
    }
    int stored = storeSeries(index, std::move(bars), m->append == 0, false, securityFor(index));
    if (stored == 0) {
        placeWindowAfterMinute(false);
    } else {
        recalculate();
        update();
    }
}

void QChart::onProcesserQuoteKPoint(QuoteCodeInfo* codeInfo, QuoteKPoint* kpoint, int length) {
    if (layers_.empty() || layers_[0]->empty() || !kpoint || length <= 0) {
        return;
    }
    if (codeInfo) {
        if (securities_.empty()) {
            securities_.resize(1, QuoteCodeInfo{});
        }
        securities_[0] = *codeInfo;
        explicitSecurity_.resize(securities_.size(), false);
        explicitSecurity_[0] = true;
    }
    QuoteKPoints block{};
    block.count = uint32_t(length);
    block.points = kpoint;
    onSyncUpdateKLine(&block, 0);
    loadDrawingsOfSeries0();
    emit syncUpdateKLine(&block, 0);
    emit dataUpdate();
    emit syncUpdateKData();
}

void QChart::setKData(QChart* aChart, uint index) {
    if (!aChart || aChart == this || aChart->series_.empty()) {
        return;
    }
    KSeries copy = *aChart->series_[0];
    const QuoteCodeInfo security =
        aChart->securities_.empty() ? securityFor(0) : aChart->securities_[0];
    // The copy replaces whatever the series held.
    const int i = std::min(int(std::min<uint>(index, 1u << 20)), int(series_.size()));
    int stored = storeSeries(i, std::move(copy), true, false, security);
    if (stored == 0) {
        placeWindowAfterMinute(true);
    } else {
        recalculate();
        update();
    }
}

void QChart::placeWindowAfterKLine(int oldCount, uint32_t oldFirst) {
    const int c = getFirstKLineSize();
    const KSeries& bars = *series_[0];
    // Bars that went in front of the old first bar move every index; bars after the old last
    // bar move the window only when it showed the newest bar, so a user reading history is
    // not scrolled by live periods.
    int front = 0;
    while (oldCount > 0 && front < c && bars[size_t(front)].time < oldFirst) {
        ++front;
    }
    const bool atNewest = end_ >= oldCount - 1;
    if (resetWindow_ || oldCount == 0) {
        // A first block has no window to keep: show the newest bars.
        begin_ = std::max(c - kShowNumber_, 0);
        end_ = std::max(c - 1, 0);
        crosshair_ = end_;
        resetWindow_ = false;
    } else if (c > oldCount) {
        const int d = atNewest ? c - oldCount : front;
        begin_ = std::max(begin_ + d, 0);
        end_ = std::clamp(end_ + d, 0, std::max(c - 1, 0));
        begin_ = std::min(begin_, end_);
        crosshair_ = std::clamp(crosshair_ + d, begin_, std::max(end_, begin_));
    }
    recalculate();
    updateTitleBarCTXData(crosshair_);
    update();
}

void QChart::placeWindowAfterMinute(bool alwaysMoveCrosshair) {
    const int c = getFirstKLineSize();
    begin_ = std::max(c - kShowNumber_, 0);
    end_ = std::max(c - 1, 0);
    if (alwaysMoveCrosshair || !(showCrosshair_ && crosshair_ != -1)) {
        crosshair_ = end_;
    }
    recalculate();
    updateTitleBarCTXData(crosshair_);
    update();
}

void QChart::onUpdateDividend(QuoteDividendPoints* div) {
    dividends_.clear();
    QJsonArray events;
    if (div && div->points) {
        auto num = [](double v) { return QString::number(v, 'g', 2); };
        for (uint32_t i = 0; i < div->count; ++i) {
            const QuoteDividendPoint& p = div->points[i];
            dividends_.push_back(p);
            QString detailed;
            if (p.cash > 0) {
                detailed += QStringLiteral("红利%1元").arg(num(p.cash * 10));
            }
            if (p.rights_shares > 0) {
                detailed += QStringLiteral(" 配股%1股").arg(num(p.rights_shares * 10));
            }
            if (p.rights_price > 0) {
                detailed += QStringLiteral(" 配股价%1元").arg(num(p.rights_price));
            }
            if (p.bonus_shares > 0) {
                detailed += QStringLiteral(" 送转%1股").arg(num(p.bonus_shares * 10));
            }
            QJsonObject e;
            e.insert(QStringLiteral("time"), double(p.time));
            e.insert(QStringLiteral("type"), QStringLiteral("text"));
            e.insert(QStringLiteral("color"), QStringLiteral("#FF0000"));
            e.insert(QStringLiteral("content"), QStringLiteral("q"));
            e.insert(QStringLiteral("url"), QString());
            e.insert(QStringLiteral("detailed"), detailed);
            events.append(e);
        }
    }
    QJsonObject group;
    group.insert(QStringLiteral("name"), QStringLiteral("分红"));
    group.insert(QStringLiteral("data"), events);
    emit syncUpdateDividend(group);
}
