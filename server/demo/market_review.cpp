#include "server/demo/market_review.h"

#include "server/demo/demo_market.h"
#include "server/demo/demo_text.h"
#include "server/market/calendar.h"

#include <QStringList>
#include <algorithm>

namespace vq::demo {

namespace {

struct IndexCode {
    const char* code;
    int market;
};
// 上证指数 and 深证成指 together cover every A share of both exchanges.
constexpr IndexCode kIndices[] = {
    {"1A0001", market::Shanghai}, {"399001", market::Shenzhen}, {"399006", market::Shenzhen}};

// Day bars reach far enough back for any day a review is written about.
constexpr int kBarRows = 250;

// The day's bar and the close before it; nothing when the security has no bar that day.
std::optional<Move> dayMove(const market::Market& market, int security, int day,
                            double* previousAmount = nullptr) {
    const std::vector<market::Bar> bars =
        market.kline(security, market::Cycle::Day, 0, kBarRows).bars;
    for (size_t k = 1; k < bars.size(); ++k) {
        if (barDay(bars[k]) == day) {
            if (previousAmount) {
                *previousAmount = bars[k - 1].amount;
            }
            return Move{QString(),    bars[k].close, bars[k - 1].close,
                        bars[k].high, bars[k].low,   bars[k].amount};
        }
    }
    return std::nullopt;
}

// The morning's minute line up to 11:30 against the previous close.
std::optional<Move> morningMove(const market::Market& market, int security, int day) {
    const market::MinuteDay md = market.minutes(security, day);
    const int64_t noon = market::beijingTime(day, 11, 30);
    if (md.tradingDay != day || md.preClose <= 0) {
        return std::nullopt;
    }
    Move m;
    m.preClose = md.preClose;
    m.high = m.low = md.points.empty() ? 0 : md.points.front().price;
    for (const market::MinutePoint& p : md.points) {
        if (p.time > noon) {
            break;
        }
        m.high = std::max(m.high, double(p.price));
        m.low = std::min(m.low, double(p.price));
        m.close = p.price;
        m.amount += p.amount;
        if (p.time == noon) {
            return m;
        }
    }
    return std::nullopt;
}

std::optional<Move> sessionMove(const market::Market& market, int security, int day,
                                ReviewSession session, double* previousAmount = nullptr) {
    std::optional<Move> m = session == ReviewSession::Close
                                ? dayMove(market, security, day, previousAmount)
                                : morningMove(market, security, day);
    if (m) {
        m->name = nameOf(*market.security(security));
    }
    return m;
}

QString overall(const std::vector<Move>& indices) {
    const auto up =
        std::count_if(indices.begin(), indices.end(), [](const Move& m) { return m.change() > 0; });
    const auto down =
        std::count_if(indices.begin(), indices.end(), [](const Move& m) { return m.change() < 0; });
    if (up == long(indices.size())) {
        return QStringLiteral("集体上涨");
    }
    if (down == long(indices.size())) {
        return QStringLiteral("集体下跌");
    }
    return QStringLiteral("涨跌互现");
}

QString indexLine(const Move& m) {
    return QStringLiteral("%1%2%3，报%4点")
        .arg(m.name, riseWord(m.change()), percent(std::abs(m.change())), grouped(m.close));
}

QString blockList(std::vector<Move>::const_iterator first, std::vector<Move>::const_iterator last) {
    QStringList parts;
    for (auto it = first; it != last; ++it) {
        parts << QStringLiteral("%1（%2）").arg(it->name, percent(it->change(), true));
    }
    return parts.join(QStringLiteral("、"));
}

}  // namespace

QString reviewPrefix(ReviewSession session) {
    return session == ReviewSession::Midday ? QStringLiteral("【午评】")
                                            : QStringLiteral("【收评】");
}

bool sessionOver(const market::Market& market, int day, ReviewSession session) {
    const market::SnapshotPtr snap = market.snapshot();
    if (day != snap->tradingDay) {
        return day < snap->tradingDay;
    }
    if (snap->phase == market::Phase::AfterClose) {
        return true;
    }
    return session == ReviewSession::Midday &&
           market::beijingSecondOfDay(snap->time) >= market::session::kMorningClose;
}

QString reviewSource() {
    return QStringLiteral("VeltoQuorin资讯");
}

std::optional<ReviewFigures> reviewFigures(const market::Market& market, int day,
                                           ReviewSession session) {
    if (!sessionOver(market, day, session)) {
        return std::nullopt;
    }
    ReviewFigures f;
    f.day = day;
    f.session = session;
    for (const IndexCode& c : kIndices) {
        const int i = market.find(c.code, c.market);
        double previous = 0;
        const std::optional<Move> m =
            i < 0 ? std::nullopt : sessionMove(market, i, day, session, &previous);
        if (!m) {
            return std::nullopt;
        }
        if (f.indices.size() < 2) {
            f.turnover += m->amount;
            f.previousTurnover += previous;
        }
        f.indices.push_back(*m);
    }
    for (int64_t id : market.blocksOfCategory(market::Industry)) {
        const market::BlockInfo* b = market.block(id);
        if (b && b->security >= 0) {
            if (std::optional<Move> m = sessionMove(market, b->security, day, session)) {
                m->name = QString::fromStdString(b->name);
                f.industries.push_back(*m);
            }
        }
    }
    std::stable_sort(f.industries.begin(), f.industries.end(),
                     [](const Move& a, const Move& b) { return a.change() > b.change(); });
    return f;
}

store::Article reviewArticle(const ReviewFigures& f) {
    const bool close = f.session == ReviewSession::Close;
    const Move& sh = f.indices.front();
    store::Article a;
    a.kind = QStringLiteral("news");
    a.source = reviewSource();
    a.pubdate = dayText(f.day);
    a.title = QStringLiteral("%1沪指%2%3报%4点，两市%5成交%6")
                  .arg(reviewPrefix(f.session), riseWord(sh.change()),
                       percent(std::abs(sh.change())), grouped(sh.close),
                       close ? QString() : QStringLiteral("半日"), hundredMillions(f.turnover));
    QStringList lines;
    for (const Move& m : f.indices) {
        lines << indexLine(m);
    }
    QStringList paragraphs;
    paragraphs << QStringLiteral("%1，A股三大指数%2%3。截至%4，%5。")
                      .arg(monthDayText(f.day), close ? QString() : QStringLiteral("早盘"),
                           overall(f.indices),
                           close ? QStringLiteral("收盘") : QStringLiteral("午间收盘"),
                           lines.join(QStringLiteral("；")));
    QString volume = QStringLiteral("两市%1成交额%2")
                         .arg(close ? QStringLiteral("全天") : QStringLiteral("半日"),
                              hundredMillions(f.turnover));
    if (close && f.previousTurnover > 0) {
        const double diff = f.turnover - f.previousTurnover;
        volume += QStringLiteral("，较上一交易日%1%2")
                      .arg(diff >= 0 ? QStringLiteral("放量") : QStringLiteral("缩量"),
                           hundredMillions(std::abs(diff)));
    }
    paragraphs << volume + QStringLiteral("。");
    const long n = std::min<long>(3, long(f.industries.size()) / 2);
    if (n > 0) {
        paragraphs << QStringLiteral("板块方面，%1表现居前；%2表现居后。")
                          .arg(blockList(f.industries.begin(), f.industries.begin() + n),
                               blockList(f.industries.end() - n, f.industries.end()));
    }
    const double amplitude = sh.preClose > 0 ? (sh.high - sh.low) / sh.preClose : 0;
    paragraphs << QStringLiteral("%1%2最高%3点，最低%4点，振幅%5。")
                      .arg(sh.name, close ? QStringLiteral("全天") : QStringLiteral("早盘"),
                           grouped(sh.high), grouped(sh.low), percent(amplitude));
    a.content = paragraphs.join(QLatin1Char('\n'));
    return a;
}

}  // namespace vq::demo
