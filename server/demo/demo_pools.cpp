#include "server/demo/demo_pools.h"

#include <algorithm>
#include <functional>

namespace vq::demo {
namespace {

struct Candidate {
    int index = 0;
    double price = 0;
};

// Stocks that trade and carry no risk warning, with their latest price.
std::vector<Candidate> tradedStocks(const market::Market& market) {
    const market::SnapshotPtr snapshot = market.snapshot();
    std::vector<Candidate> out;
    for (const market::Security& s : market.securities()) {
        if (s.type != market::SecType::Stock || s.st || s.index >= snapshot->size()) {
            continue;
        }
        const vqp::Snapshot& q = snapshot->quote(s.index);
        const double price = q.close > 0 ? q.close : q.pre_close;
        if (price > 0) {
            out.push_back({s.index, price});
        }
    }
    return out;
}

// The first `size` candidates that `keep` accepts, by `key` ascending (ties in market order).
PoolChoice pick(const market::Market& market, std::vector<Candidate> candidates, const QString& id,
                const QString& name, int size,
                const std::function<bool(const market::Security&, const Candidate&)>& keep,
                const std::function<double(const market::Security&, const Candidate&)>& key) {
    candidates.erase(
        std::remove_if(candidates.begin(), candidates.end(),
                       [&](const Candidate& c) { return !keep(*market.security(c.index), c); }),
        candidates.end());
    std::stable_sort(
        candidates.begin(), candidates.end(), [&](const Candidate& a, const Candidate& b) {
            return key(*market.security(a.index), a) < key(*market.security(b.index), b);
        });
    PoolChoice choice{id, name, {}};
    for (const Candidate& c : candidates) {
        if (int(choice.codes.size()) == size) {
            break;
        }
        const market::Security& s = *market.security(c.index);
        choice.codes.push_back({QString::fromStdString(s.code), int(s.market)});
    }
    return choice;
}

double marketValue(const market::Security& s, const Candidate& c) {
    return double(s.totalShares) * c.price;
}

}  // namespace

std::vector<PoolChoice> choosePools(const market::Market& market, int size) {
    const std::vector<Candidate> stocks = tradedStocks(market);
    auto any = [](const market::Security&, const Candidate&) { return true; };
    auto largestFirst = [](const market::Security& s, const Candidate& c) {
        return -marketValue(s, c);
    };
    return {
        pick(market, stocks, QStringLiteral("1"), QStringLiteral("大盘蓝筹"), size, any,
             largestFirst),
        pick(
            market, stocks, QStringLiteral("2"), QStringLiteral("低市盈率"), size,
            [](const market::Security& s, const Candidate&) { return s.eps > 0; },
            [](const market::Security& s, const Candidate& c) { return c.price / s.eps; }),
        pick(
            market, stocks, QStringLiteral("3"), QStringLiteral("评级买入"), size,
            [](const market::Security& s, const Candidate&) { return s.rating == 5; },
            largestFirst),
    };
}

bool seedPools(store::Publications& publications, const market::Market& market) {
    if (!publications.pools().isEmpty()) {
        return false;
    }
    for (const PoolChoice& pool : choosePools(market)) {
        publications.setPool(pool.groupId, pool.name, pool.codes);
    }
    return true;
}

}  // namespace vq::demo
