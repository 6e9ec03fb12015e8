#include "server/demo/demo_research.h"

#include "server/demo/demo_market.h"
#include "server/demo/demo_text.h"
#include "server/market/rng.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>

namespace vq::demo {

namespace {

// Trading days a report looks back over for the recent price change.
constexpr int kLookBack = 20;

// What one report is written from.
struct ReportFacts {
    const market::Security* stock = nullptr;
    QString industry;
    int day = 0;
    double close = 0;
    double change = 0;          // over the look-back, adjusted for ex-rights events
    double industryChange = 0;  // the industry block over the same days
    bool hasIndustry = false;
    const market::FinancialYear* year = nullptr;  // the latest, if any
    double growth = 0;                            // of net profit over the year before
    bool hasGrowth = false;
};

double priceEarnings(const ReportFacts& f) {
    return f.stock->eps > 0 ? f.close / f.stock->eps : 0;
}

// A one-line claim and whether it argues for the stock (+1), against it (-1) or neither.
struct Claim {
    QString text;
    int tone = 0;
};

// The claims the figures support, the most telling first.
std::vector<Claim> claimsOf(const ReportFacts& f) {
    std::vector<Claim> out;
    if (f.hasGrowth && f.growth >= 0.15) {
        out.push_back({QStringLiteral("净利润增长%1，成长性突出").arg(percent(f.growth)), 1});
    }
    if (f.change >= 0.08) {
        out.push_back(
            {QStringLiteral("近%1日上涨%2，趋势向好").arg(kLookBack).arg(percent(f.change)), 1});
        out.push_back(
            {QStringLiteral("近%1日上涨%2，短期涨幅较大").arg(kLookBack).arg(percent(f.change)),
             -1});
    } else if (f.change <= -0.08) {
        out.push_back({QStringLiteral("近期回调%1，配置性价比提升").arg(percent(-f.change)), 1});
        out.push_back(
            {QStringLiteral("近%1日下跌%2，趋势偏弱").arg(kLookBack).arg(percent(-f.change)), -1});
    }
    if (f.hasIndustry && f.change - f.industryChange >= 0.05) {
        out.push_back({QStringLiteral("走势强于%1板块").arg(f.industry), 1});
    } else if (f.hasIndustry && f.change - f.industryChange <= -0.05) {
        out.push_back({QStringLiteral("走势弱于%1板块").arg(f.industry), -1});
    }
    if (f.year && f.year->roe >= 0.15) {
        out.push_back({QStringLiteral("ROE达%1，盈利能力领先").arg(percent(f.year->roe)), 1});
    } else if (f.year && f.year->roe < 0.05) {
        out.push_back({QStringLiteral("ROE仅%1，盈利能力偏弱").arg(percent(f.year->roe)), -1});
    }
    const double pe = priceEarnings(f);
    if (pe > 0 && pe < 15) {
        out.push_back(
            {QStringLiteral("市盈率%1倍，估值具备安全边际").arg(QString::number(pe, 'f', 1)), 1});
    } else if (pe >= 40) {
        out.push_back(
            {QStringLiteral("市盈率%1倍，静待业绩消化").arg(QString::number(pe, 'f', 1)), -1});
    }
    if (f.hasGrowth && f.growth < 0) {
        out.push_back({QStringLiteral("业绩短期承压，关注修复节奏"), -1});
    } else if (f.hasGrowth) {
        out.push_back({QStringLiteral("业绩稳健增长，经营质量良好"), 1});
    }
    return out;
}

// The claims that agree with the rating: for a buy, none against the stock; for a sell,
// none for it; a neutral rating takes any.
QStringList theses(const ReportFacts& f) {
    const int tone = f.stock->rating >= 4 ? 1 : f.stock->rating <= 2 ? -1 : 0;
    QStringList out;
    for (const Claim& c : claimsOf(f)) {
        if (tone == 0 || c.tone == tone) {
            out << c.text;
        }
    }
    if (out.isEmpty()) {
        out << (tone > 0   ? QStringLiteral("行业地位稳固，长期价值可期")
                : tone < 0 ? QStringLiteral("基本面承压，建议谨慎对待")
                           : QStringLiteral("估值与基本面基本匹配，维持观察"));
    }
    return out;
}

QString ratingMeaning(int rating) {
    switch (rating) {
        case 5:
            return QStringLiteral("预计未来6个月内股价表现强于市场基准15%以上");
        case 4:
            return QStringLiteral("预计未来6个月内股价表现强于市场基准5%至15%");
        case 3:
            return QStringLiteral("预计未来6个月内股价表现相对市场基准在-5%至5%之间");
        case 2:
            return QStringLiteral("预计未来6个月内股价表现弱于市场基准5%至15%");
    }
    return QStringLiteral("预计未来6个月内股价表现弱于市场基准15%以上");
}

store::Article report(const market::Market& market, const ReportFacts& f, const QString& thesis,
                      bool first) {
    const market::Security& s = *f.stock;
    const QString rating = ratingWord(s.rating);
    store::Article a;
    a.kind = QStringLiteral("research");
    a.code = codeOf(s);
    a.market = s.market;
    a.source = QStringLiteral("VeltoQuorin研究所");
    a.pubdate = dayText(f.day);
    a.title =
        QStringLiteral("%1（%2）：%3%4，%5")
            .arg(nameOf(s), codeOf(s), first ? QString() : QStringLiteral("维持"), rating, thesis);
    QStringList paragraphs;
    QString price = QStringLiteral("截至%1收盘，公司股价报%2元，近%3个交易日累计%4%5")
                        .arg(monthDayText(f.day), QString::number(f.close, 'f', s.decimals))
                        .arg(kLookBack)
                        .arg(f.change >= 0 ? QStringLiteral("上涨") : QStringLiteral("下跌"),
                             percent(std::abs(f.change)));
    if (f.hasIndustry) {
        price +=
            QStringLiteral("，同期%1板块%2%3")
                .arg(f.industry, riseWord(f.industryChange), percent(std::abs(f.industryChange)));
    }
    const double pe = priceEarnings(f);
    price +=
        QStringLiteral("。公司总市值%1，").arg(hundredMillions(double(s.totalShares) * f.close));
    price += pe > 0 ? QStringLiteral("按最近一年每股收益%1元计算，市盈率%2倍。")
                          .arg(QString::number(s.eps, 'f', 2), QString::number(pe, 'f', 1))
                    : QStringLiteral("最近一年每股亏损%1元，市盈率暂不适用。")
                          .arg(QString::number(std::abs(s.eps), 'f', 2));
    paragraphs << price;
    if (f.year) {
        QString results =
            QStringLiteral("%1年公司实现营业收入%2，净利润%3")
                .arg(f.year->year)
                .arg(hundredMillions(f.year->revenue), hundredMillions(f.year->netProfit));
        if (f.hasGrowth) {
            results += QStringLiteral("，同比%1%2")
                           .arg(f.growth >= 0 ? QStringLiteral("增长") : QStringLiteral("下降"),
                                percent(std::abs(f.growth)));
        }
        results += QStringLiteral("；毛利率%1，净资产收益率%2。")
                       .arg(percent(f.year->grossMargin), percent(f.year->roe));
        paragraphs << results;
    }
    const market::MembershipTexts& m = market.membership(s.index);
    if (!m.industry.empty()) {
        QString profile = QStringLiteral("公司属于%1行业").arg(QString::fromStdString(m.industry));
        if (!m.region.empty()) {
            profile += QStringLiteral("，注册地位于%1").arg(QString::fromStdString(m.region));
        }
        if (!m.concept.empty()) {
            const QStringList concepts =
                QString::fromStdString(m.concept).split(QLatin1Char(','), Qt::SkipEmptyParts);
            profile +=
                QStringLiteral("，涉及%1等概念").arg(concepts.mid(0, 3).join(QStringLiteral("、")));
        }
        paragraphs << profile + QStringLiteral("。");
    }
    paragraphs << QStringLiteral("投资建议：%1，%2公司“%3”评级（%4）。")
                      .arg(thesis,
                           first ? QStringLiteral("首次覆盖，给予") : QStringLiteral("维持"),
                           rating, ratingMeaning(s.rating));
    paragraphs << QStringLiteral("风险提示：宏观经济波动、行业竞争加剧、原材料价格波动等。");
    a.content = paragraphs.join(QLatin1Char('\n'));
    return a;
}

void reportsOn(const market::Market& market, int index, int perStock, int days,
               std::vector<store::Article>& out) {
    const market::Security& s = *market.security(index);
    const int rows = days + kLookBack;
    const std::vector<market::Bar> raw = finishedBars(market, index, rows);
    const std::vector<market::Bar> adjusted =
        finishedBars(market, index, rows, market::Adjust::Forward);
    if (raw.size() != adjusted.size() || int(raw.size()) <= kLookBack) {
        return;
    }
    const market::BlockInfo* industry = market.block(s.industry);
    std::map<int, double> industryCloses;
    if (industry && industry->security >= 0) {
        industryCloses = closesByDay(finishedBars(market, industry->security, rows));
    }
    const std::vector<market::FinancialYear> years = market.financials(index);
    market::Rng rng(market::mixKey(0x7265706f7274ull, uint64_t(index)));
    // One report in each equal stretch of the window, on a day of the stock's own bars.
    const int firstBar = std::max(kLookBack, int(raw.size()) - days);
    const int span = int(raw.size()) - firstBar;
    const int count = std::min(perStock, span);
    for (int r = 0; r < count; ++r) {
        const int from = firstBar + span * r / count;
        const int to = firstBar + span * (r + 1) / count - 1;
        const int k = rng.range(from, to);
        ReportFacts f;
        f.stock = &s;
        f.day = barDay(raw[size_t(k)]);
        f.close = raw[size_t(k)].close;
        f.change = adjusted[size_t(k)].close / adjusted[size_t(k - kLookBack)].close - 1;
        const auto now = industryCloses.find(f.day);
        const auto then = industryCloses.find(barDay(raw[size_t(k - kLookBack)]));
        if (now != industryCloses.end() && then != industryCloses.end() && then->second > 0) {
            f.hasIndustry = true;
            f.industry = QString::fromStdString(industry->name);
            f.industryChange = now->second / then->second - 1;
        }
        if (!years.empty()) {
            f.year = &years.back();
            if (years.size() > 1 && years[years.size() - 2].netProfit > 0) {
                f.hasGrowth = true;
                f.growth = years.back().netProfit / years[years.size() - 2].netProfit - 1;
            }
        }
        const QStringList claims = theses(f);
        out.push_back(report(market, f, claims[r % claims.size()], r == 0));
    }
}

}  // namespace

std::vector<store::Article> researchReports(const market::Market& market,
                                            const std::vector<int>& stocks, int perStock,
                                            int days) {
    std::vector<store::Article> out;
    for (int index : stocks) {
        reportsOn(market, index, perStock, days, out);
    }
    return out;
}

}  // namespace vq::demo
