#include "chart/qdividend_processer.h"

#include <vector>

QDividendProcesser::QDividendProcesser(QObject* parent) : QObject(parent) {}

void QDividendProcesser::deliver(const QuoteCodeInfo& codeInfo, const QuoteKPoint* points,
                                 int length) {
    if (!points || length <= 0) {
        return;
    }
    // Receivers get mutable pointers; give them copies so a caller's const data stays intact.
    QuoteCodeInfo info = codeInfo;
    std::vector<QuoteKPoint> copy(points, points + length);
    emit processerQuoteKPoint(&info, copy.data(), length);
}
