#include "server/demo/demo_articles.h"

#include "server/demo/company_news.h"
#include "server/demo/demo_market.h"
#include "server/demo/demo_research.h"
#include "server/demo/market_review.h"

#include <algorithm>

namespace vq::demo {

std::vector<store::Article> demoArticles(const market::Market& market, const ArticlePlan& plan) {
    const int last = lastFinishedDay(market);
    std::vector<int> days = market.tradingDays();
    days.erase(std::upper_bound(days.begin(), days.end(), last), days.end());
    if (days.empty()) {
        return {};
    }
    auto daysBack = [&](int count) { return days[size_t(std::max(0, int(days.size()) - count))]; };

    std::vector<store::Article> out = researchReports(
        market, largestStocks(market, plan.researchStocks, true), plan.reportsPerStock, plan.days);
    const std::vector<store::Article> news = companyNews(
        market, largestStocks(market, plan.newsStocks, false), daysBack(plan.newsDays), last);
    out.insert(out.end(), news.begin(), news.end());
    for (size_t k = size_t(std::max(0, int(days.size()) - plan.reviewDays)); k < days.size(); ++k) {
        if (const auto figures = reviewFigures(market, days[k], ReviewSession::Close)) {
            out.push_back(reviewArticle(*figures));
        }
    }
    // Oldest first, so that the newest items also have the highest ids.
    std::stable_sort(out.begin(), out.end(), [](const store::Article& a, const store::Article& b) {
        return a.pubdate < b.pubdate;
    });
    return out;
}

bool demoNewsPublished(store::Publications& publications) {
    return publications.hasArticleFrom(QStringLiteral("news"), reviewSource());
}

bool seedArticles(store::Publications& publications, const market::Market& market,
                  const ArticlePlan& plan) {
    if (publications.hasArticles()) {
        return false;
    }
    publications.addArticles(demoArticles(market, plan));
    return true;
}

}  // namespace vq::demo
