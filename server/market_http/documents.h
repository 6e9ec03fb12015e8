// Documents the HTTP side derives from the live market: the blocks, the ratings and the
// margin list the terminal downloads at login, the market breadth, and the company pages
// of one security. They are built from the market on request and never stored, so they
// always agree with the quotes.
#pragma once

#include "server/market/market.h"

#include <QJsonObject>
#include <QString>

namespace vq::market_http {

// {"code": "0000", "msg": "success", "data": [{code, market, name, block_id, category,
//  count, index_code?, index_market?}]} — every market-90 block, and every preset block
// under the code of the index standing for it.
QJsonObject boardDocument(const market::Market& market);
// Ratings of the stocks that have one: {code, market, name, rating (1 sell … 5 buy),
// rating_text}.
QJsonObject ratingDocument(const market::Market& market);
// The margin-eligible securities with today's balances.
QJsonObject marginDocument(const market::Market& market);
// Market breadth counted from the latest snapshot: {"HS": [...], "SH": [...], "SZ": [...],
// "CY": [...]}, each a list of {name, section, count, type} bands from limit up down to
// limit down, plus the totals "up_counts" and "down_counts".
QJsonObject breadthDocument(const market::Market& market);
// The band of one quote, as an index into the bands of breadthDocument: 0 limit up,
// 1 >8%, 2 6-8%, 3 4-6%, 4 2-4%, 5 0-2% up, 6 flat (or not traded), 7 0-2% down … 11 >8%
// down, 12 limit down. A band's lower edge belongs to it (exactly 2% is "2-4%").
int breadthBand(const market::Quote& quote);

// HTML pages of one security: F10 the company profile (capital, figures, dividends),
// F9 the deeper analysis (valuation against its industry, growth, trend), F11 the
// diagnosis (technical, fund-flow and valuation scores with a verdict).
QString f10Page(const market::Market& market, int security);
QString f9Page(const market::Market& market, int security);
QString f11Page(const market::Market& market, int security);

}  // namespace vq::market_http
