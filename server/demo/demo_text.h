// Number and date wording shared by the demo server's news and research texts.
#pragma once

#include "server/market/market.h"

#include <QString>

namespace vq::demo {

// "2024-06-14" for 20240614, the publication-day form of the articles.
QString dayText(int ymd);
// "6月14日".
QString monthDayText(int ymd);
// Thousands grouped with commas: "3,215.33".
QString grouped(double value, int decimals = 2);
// A fraction as a signed percentage: 0.0052 → "+0.52%" (with `sign`) or "0.52%".
QString percent(double fraction, bool sign = false);
// Yuan in 亿元 with two decimals: "1,234.56亿元".
QString hundredMillions(double yuan);
// "涨" / "跌" / "平" by the sign of a change.
QString riseWord(double change);
// The words of the market's 1 … 5 ratings: 卖出, 减持, 中性, 增持, 买入; empty otherwise.
QString ratingWord(int rating);
// The security's code and name as UTF-8-decoded texts.
QString codeOf(const market::Security& s);
QString nameOf(const market::Security& s);
}  // namespace vq::demo
