// Hands ex-rights adjusted K-points to a chart. Whoever adjusts a series (a tool, a view helper)
// calls deliver; the chart stores the points as its own series, like any K-line block.
#ifndef VQ_CHART_QDIVIDEND_PROCESSER_H
#define VQ_CHART_QDIVIDEND_PROCESSER_H

#include "libquote/quote.h"

#include <QObject>

class QDividendProcesser : public QObject {
    Q_OBJECT
public:
    explicit QDividendProcesser(QObject* parent = nullptr);

    // Emits processerQuoteKPoint; the points need to live only for the call.
    void deliver(const QuoteCodeInfo& codeInfo, const QuoteKPoint* points, int length);

signals:
    void processerQuoteKPoint(QuoteCodeInfo* codeInfo, QuoteKPoint* kpoint, int length);
};

#endif
