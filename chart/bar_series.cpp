#include "chart/bar_series.h"

#include "libformula/fml.h"

#include <ctime>
#include <iterator>

namespace chart {

namespace {

uint32_t localDate(int64_t t) {
    time_t tt = time_t(t);
    struct tm tm {};
    localtime_r(&tt, &tm);
    return uint32_t((tm.tm_year * 100 + tm.tm_mon + 1) * 100 + tm.tm_mday);
}

}  // namespace

KSeries barsFromKLine(const QuoteKPoint* points, int count) {
    KSeries bars;
    if (!points || count <= 0) {
        return bars;
    }
    bars.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const QuoteKPoint& p = points[i];
        KData k{};
        k.date = localDate(p.time);
        k.time = uint32_t(p.time);
        k.open = p.open;
        k.high = p.high;
        k.low = p.low;
        k.close = p.close;
        k.sum = float(p.amount);
        k.vol = float(p.volume);
        k.p_close = p.close;
        k.avg_price = 0;
        k.aux = p.extra;
        bars.push_back(k);
    }
    return bars;
}

KSeries barsFromMinute(const QuoteMinPoints& block) {
    KSeries bars;
    if (!block.points || block.count == 0) {
        return bars;
    }
    bars.reserve(block.count);
    float previous = block.pre_close;
    for (uint32_t i = 0; i < block.count; ++i) {
        const QuoteMinPoint& p = block.points[i];
        KData k{};
        k.date = uint32_t(p.time);
        k.time = uint32_t(p.time);
        k.open = k.high = k.low = k.close = p.price;
        k.sum = float(p.amount);
        k.vol = float(p.volume);
        k.p_close = previous;
        k.avg_price = p.avg_price == 0.0f ? FMLInvalidValue : p.avg_price;
        k.aux = 0;
        previous = p.price;
        bars.push_back(k);
    }
    return bars;
}

void storeBars(KSeries& stored, KSeries&& incoming, bool replaceWhole) {
    if (incoming.empty()) {
        return;
    }
    if (stored.empty() || replaceWhole) {
        stored = std::move(incoming);
        return;
    }
    const uint32_t storedFirst = stored.front().time;
    const uint32_t storedLast = stored.back().time;
    const uint32_t newFirst = incoming.front().time;
    const uint32_t newLast = incoming.back().time;
    if (newFirst >= storedLast) {
        // The usual live case: the current period changes, or new periods follow.
        if (newFirst == storedLast) {
            stored.pop_back();
        }
        stored.insert(stored.end(), incoming.begin(), incoming.end());
        return;
    }
    if (newLast <= storedFirst) {
        // Older history loaded in front.
        if (newLast == storedFirst) {
            stored.erase(stored.begin());
        }
        incoming.insert(incoming.end(), stored.begin(), stored.end());
        stored = std::move(incoming);
        return;
    }
    // Overlapping blocks: merge by time, the delivered bar wins on equal times.
    KSeries merged;
    merged.reserve(stored.size() + incoming.size());
    size_t i = 0;
    size_t j = 0;
    while (i < stored.size() || j < incoming.size()) {
        if (j == incoming.size() || (i < stored.size() && stored[i].time < incoming[j].time)) {
            merged.push_back(stored[i++]);
        } else {
            if (i < stored.size() && stored[i].time == incoming[j].time) {
                ++i;
            }
            merged.push_back(incoming[j++]);
        }
    }
    stored = std::move(merged);
}

void resetPrevClose(KSeries& bars) {
    for (size_t i = 0; i < bars.size(); ++i) {
        bars[i].p_close = i == 0 ? bars[i].close : bars[i - 1].close;
    }
}

KSeries alignToBase(const KSeries& base, const KSeries& overlay) {
    KSeries aligned;
    aligned.reserve(base.size());
    size_t j = 0;
    for (const KData& b : base) {
        while (j < overlay.size() && overlay[j].time < b.time) {
            ++j;
        }
        if (j < overlay.size() && overlay[j].time == b.time) {
            aligned.push_back(overlay[j]);
        } else {
            aligned.push_back(gapKData());
        }
    }
    return aligned;
}

}  // namespace chart
