// News and research for a new demo server. An operator publishes items with `news add` and
// `research add`; a demo server with none starts with research reports on its largest
// stocks, company announcements and daily market reviews, all written from its own market,
// so that the news lists and the chart's research markers show real items on a fresh machine.
#pragma once

#include "server/market/market.h"
#include "server/store/publications.h"

#include <vector>

namespace vq::demo {

struct ArticlePlan {
    int researchStocks = 36;  // the largest rated stocks, each with a few reports
    int reportsPerStock = 3;
    int days = 60;         // finished trading days the reports are spread over
    int newsStocks = 300;  // the largest stocks whose announcements are published
    int newsDays = 150;    // finished trading days of announcements (back to the dividends)
    int reviewDays = 10;   // the newest finished days with a closing review
};

// Every item of the plan, oldest first.
std::vector<store::Article> demoArticles(const market::Market& market,
                                         const ArticlePlan& plan = ArticlePlan());

// Publishes demoArticles() when no news or research item is published yet; true when it did.
bool seedArticles(store::Publications& publications, const market::Market& market,
                  const ArticlePlan& plan = ArticlePlan());

// Whether the server's news are the demo's own (seeded now or at an earlier start), so that
// live market reviews join them; an operator's items are never added to.
bool demoNewsPublished(store::Publications& publications);

}  // namespace vq::demo
