// Market-wide reviews: the midday and closing commentary a demo server publishes for each
// trading day, written from the indices' and industry blocks' own figures of that day.
#pragma once

#include "server/market/market.h"
#include "server/store/publications.h"

#include <QString>
#include <optional>
#include <vector>

namespace vq::demo {

enum class ReviewSession { Midday, Close };

// One index or block over the session: its value at the end and the close before.
struct Move {
    QString name;
    double close = 0, preClose = 0;
    double high = 0, low = 0;  // within the session
    double amount = 0;         // yuan traded in the session
    double change() const { return preClose > 0 ? close / preClose - 1 : 0; }
};

struct ReviewFigures {
    int day = 0;  // yyyymmdd
    ReviewSession session = ReviewSession::Close;
    std::vector<Move> indices;     // 上证指数, 深证成指, 创业板指
    double turnover = 0;           // both exchanges' A shares, yuan
    double previousTurnover = 0;   // the whole previous day (closing review only; 0: unknown)
    std::vector<Move> industries;  // industry blocks, best first
};

// The reviews' titles start with these, one per day and session.
QString reviewPrefix(ReviewSession session);
// The source every review names.
QString reviewSource();

// Whether the market has passed the session's end (11:30 or 15:00) of `day`.
bool sessionOver(const market::Market& market, int day, ReviewSession session);

// The figures of `day` up to the session's end (11:30 or 15:00); nothing when the market
// has not reached that moment of the day or has no such day.
std::optional<ReviewFigures> reviewFigures(const market::Market& market, int day,
                                           ReviewSession session);

// The review as a market-wide news item.
store::Article reviewArticle(const ReviewFigures& figures);

}  // namespace vq::demo
