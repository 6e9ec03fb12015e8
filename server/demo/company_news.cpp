#include "server/demo/company_news.h"

#include "server/demo/demo_market.h"
#include "server/demo/demo_text.h"
#include "server/market/calendar.h"

#include <QStringList>
#include <cmath>
#include <map>

namespace vq::demo {

namespace {

// The implementation notice comes out this many trading days before the ex-rights day, the
// resolution of the shareholder meeting that approved the plan this many before that.
constexpr int kNoticeLead = 3, kMeetingLead = 15;

store::Article announcement(const market::Security& s, int day, const QString& title,
                            const QStringList& paragraphs) {
    store::Article a;
    a.kind = QStringLiteral("news");
    a.code = codeOf(s);
    a.market = s.market;
    a.source = QStringLiteral("公司公告");
    a.pubdate = dayText(day);
    a.title = QStringLiteral("%1：%2").arg(nameOf(s), title);
    a.content = paragraphs.join(QLatin1Char('\n'));
    return a;
}

// "每10股派发现金红利2.50元（含税）、送转3股", per ten shares held.
QString perTenShares(const market::Dividend& d) {
    QStringList parts;
    if (d.cash > 0) {
        parts
            << QStringLiteral("派发现金红利%1元（含税）").arg(QString::number(d.cash * 10, 'f', 2));
    }
    if (d.bonusShares > 0) {
        parts << QStringLiteral("送转%1股").arg(QString::number(d.bonusShares * 10, 'g', 4));
    }
    if (d.rightsShares > 0) {
        parts << QStringLiteral("配售%1股，配股价格%2元/股")
                     .arg(QString::number(d.rightsShares * 10, 'g', 4),
                          QString::number(d.rightsPrice, 'f', 2));
    }
    return QStringLiteral("每10股") + parts.join(QStringLiteral("、"));
}

struct Plan {
    int year = 0;
    bool annual = true;
    QString name() const {
        return annual ? QStringLiteral("%1年度利润分配方案").arg(year)
                      : QStringLiteral("%1年半年度利润分配方案").arg(year);
    }
    QString meeting() const {
        return annual ? QStringLiteral("%1年年度股东大会").arg(year)
                      : QStringLiteral("%1年第一次临时股东大会").arg(year);
    }
};

// Plans paid out up to August are last year's; later ones are this year's interim plans.
Plan planOf(const market::Dividend& d) {
    const int month = d.exDate / 100 % 100;
    return month <= 8 ? Plan{d.exDate / 10000 - 1, true} : Plan{d.exDate / 10000, false};
}

QString resultsOf(const std::vector<market::FinancialYear>& years, int year) {
    for (size_t k = 0; k < years.size(); ++k) {
        if (years[k].year != year) {
            continue;
        }
        const market::FinancialYear& y = years[k];
        QString text = QStringLiteral("%1年公司实现营业收入%2，净利润%3")
                           .arg(year)
                           .arg(hundredMillions(y.revenue), hundredMillions(y.netProfit));
        if (k > 0 && years[k - 1].netProfit > 0) {
            const double growth = y.netProfit / years[k - 1].netProfit - 1;
            text += QStringLiteral("，同比%1%2")
                        .arg(growth >= 0 ? QStringLiteral("增长") : QStringLiteral("下降"),
                             percent(std::abs(growth)));
        }
        return text + QStringLiteral("；基本每股收益%1元。").arg(QString::number(y.eps, 'f', 2));
    }
    return QString();
}

void dividendNews(const market::Market& market, const market::Security& s,
                  const std::map<int, double>& closes, int firstDay, int lastDay,
                  std::vector<store::Article>& out) {
    const std::vector<market::FinancialYear> years = market.financials(s.index);
    for (const market::Dividend& d : market.dividends(s.index)) {
        const int notice = tradingDaysBefore(d.exDate, kNoticeLead);
        const int meeting = tradingDaysBefore(notice, kMeetingLead);
        if (notice < firstDay || notice > lastDay) {
            continue;
        }
        const Plan plan = planOf(d);
        if (meeting >= firstDay) {
            QStringList body;
            body << QStringLiteral(
                        "公司于%1召开%2，会议采取现场投票与网络投票相结合的方式，"
                        "审议通过了%3《关于%4的议案》等议案。")
                        .arg(monthDayText(meeting), plan.meeting(),
                             plan.annual ? QStringLiteral("《%1年年度报告》及摘要、").arg(plan.year)
                                         : QString(),
                             plan.name());
            if (plan.annual) {
                const QString results = resultsOf(years, plan.year);
                if (!results.isEmpty()) {
                    body << results;
                }
            }
            body << QStringLiteral(
                        "根据方案，公司将以方案实施前的总股本为基数，向全体股东%1，"
                        "具体实施安排另行公告。")
                        .arg(perTenShares(d));
            out.push_back(
                announcement(s, meeting, plan.meeting() + QStringLiteral("决议公告"), body));
        }
        QStringList body;
        body << QStringLiteral(
                    "公司%1已经%2审议通过，现将实施事宜公告如下：以方案实施前的总股本为基数，"
                    "向全体股东%3。")
                    .arg(plan.name(), plan.meeting(), perTenShares(d));
        body << QStringLiteral("股权登记日：%1；除权（息）日：%2。")
                    .arg(dayText(market::previousTradingDay(d.exDate)), dayText(d.exDate));
        const auto close = closes.find(notice);
        if (d.cash > 0 && close != closes.end() && close->second > 0) {
            body << QStringLiteral("按%1收盘价%2元计算，本次现金红利的股息率约为%3。")
                        .arg(monthDayText(notice), QString::number(close->second, 'f', s.decimals),
                             percent(d.cash / close->second));
        }
        out.push_back(announcement(s, notice, QStringLiteral("权益分派实施公告"), body));
    }
}

// Three-day deviations from the exchange's index at or past the exchange's threshold.
void unusualMoveNews(const market::Market& market, const market::Security& s,
                     const std::vector<market::Bar>& raw, const std::map<int, double>& indexCloses,
                     int firstDay, int lastDay, std::vector<store::Article>& out) {
    const std::vector<market::Bar> bars =
        finishedBars(market, s.index, int(raw.size()), market::Adjust::Forward);
    if (bars.size() != raw.size()) {
        return;
    }
    const double threshold = s.limitRate() >= 0.2 ? 0.3 : 0.2;
    auto deviation = [&](size_t k) {
        const auto now = indexCloses.find(barDay(bars[k]));
        const auto then = indexCloses.find(barDay(bars[k - 1]));
        if (now == indexCloses.end() || then == indexCloses.end() || then->second <= 0) {
            return 0.0;
        }
        return (bars[k].close / bars[k - 1].close - 1) - (now->second / then->second - 1);
    };
    for (size_t k = 3; k < bars.size(); ++k) {
        const int notice = market::nextTradingDay(barDay(bars[k]));
        if (notice < firstDay || notice > lastDay) {
            continue;
        }
        const double total = deviation(k - 2) + deviation(k - 1) + deviation(k);
        if (std::abs(total) < threshold) {
            continue;
        }
        QStringList body;
        body << QStringLiteral(
                    "公司股票于%1、%2、%3连续三个交易日收盘价格%4偏离值累计达到%5，"
                    "根据交易所交易规则的有关规定，属于股票交易异常波动的情形。")
                    .arg(monthDayText(barDay(bars[k - 2])), monthDayText(barDay(bars[k - 1])),
                         monthDayText(barDay(bars[k])),
                         total > 0 ? QStringLiteral("涨幅") : QStringLiteral("跌幅"),
                         percent(std::abs(total)));
        body << QStringLiteral(
            "经公司自查并书面征询控股股东及实际控制人，截至本公告披露日，"
            "不存在应披露而未披露的重大事项，公司生产经营活动正常。");
        QString price =
            QStringLiteral("截至%1收盘，公司股价报%2元")
                .arg(monthDayText(barDay(raw[k])), QString::number(raw[k].close, 'f', s.decimals));
        if (s.eps > 0) {
            price += QStringLiteral("，按最近一年每股收益计算的市盈率为%1倍")
                         .arg(QString::number(raw[k].close / s.eps, 'f', 1));
        }
        body << price + QStringLiteral("。敬请广大投资者理性投资，注意二级市场交易风险。");
        out.push_back(announcement(s, notice, QStringLiteral("股票交易异常波动公告"), body));
        k += 2;  // the next stretch starts after these three days
    }
}

}  // namespace

std::vector<store::Article> companyNews(const market::Market& market,
                                        const std::vector<int>& stocks, int firstDay, int lastDay) {
    // The window's bars and a few before it, for the first three-day stretch.
    const int rows = int(market::tradingDaysBetween(firstDay, lastDay).size()) + 3;
    std::map<int, std::map<int, double>> indexCloses;  // by exchange
    for (const auto& [code, exchange] : {std::pair<const char*, int>{"1A0001", market::Shanghai},
                                         std::pair<const char*, int>{"399001", market::Shenzhen}}) {
        const int i = market.find(code, exchange);
        if (i >= 0) {
            indexCloses[exchange] = closesByDay(finishedBars(market, i, rows));
        }
    }
    std::vector<store::Article> out;
    for (int index : stocks) {
        const market::Security& s = *market.security(index);
        const std::vector<market::Bar> raw = finishedBars(market, index, rows);
        dividendNews(market, s, closesByDay(raw), firstDay, lastDay, out);
        unusualMoveNews(market, s, raw, indexCloses[s.market], firstDay, lastDay, out);
    }
    return out;
}

}  // namespace vq::demo
