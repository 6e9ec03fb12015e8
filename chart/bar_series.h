// Turning quote blocks into chart bars and combining them with the bars a chart already holds.
#ifndef VQ_CHART_BAR_SERIES_H
#define VQ_CHART_BAR_SERIES_H

#include "chart/kdata.h"
#include "libquote/quote.h"

namespace chart {

// One bar per K-line point; date is the local calendar date of the point's time.
KSeries barsFromKLine(const QuoteKPoint* points, int count);
// One bar per minute; the first previous close comes from the block, later ones from the point
// before. An average price of 0 means none.
KSeries barsFromMinute(const QuoteMinPoints& block);

// Combines newly delivered bars with the stored ones, both in ascending time. replaceWhole is set
// for a minute block that does not continue the series. A bar of the new block replaces a
// stored bar of the same time.
void storeBars(KSeries& stored, KSeries&& incoming, bool replaceWhole);

// K-line previous closes: the first bar its own close, every later bar the close before it.
void resetPrevClose(KSeries& bars);

// The bars of an overlaid security at the times of the base series: one bar per base bar, a gap
// record where the overlay has none; overlay bars at other times are dropped.
KSeries alignToBase(const KSeries& base, const KSeries& overlay);

}  // namespace chart

#endif
