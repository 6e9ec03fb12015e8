#include "libquote/wire_routes.h"

namespace libquote {

std::vector<uint32_t> WireRoutes::retire(uint32_t ctx, uint32_t keepSeries) {
    std::vector<uint32_t> subscriptions;
    for (auto it = routes_.begin(); it != routes_.end();) {
        const Target& t = it->second.target;
        if (t.ctx != ctx || (keepSeries != 0 && t.fetch && t.lead == keepSeries)) {
            ++it;
            continue;
        }
        if (it->second.subscription())
            subscriptions.push_back(it->first);
        it = routes_.erase(it);
    }
    return subscriptions;
}

std::vector<uint32_t> WireRoutes::open(uint32_t ctx, const vqp::Request& r, uint32_t seriesLead) {
    const bool fetch = r.action == vqp::Action::Fetch;
    std::vector<uint32_t> superseded;
    if (!fetch)
        superseded = retire(ctx, seriesLead);
    Route& route = routes_[r.id];
    route.target = Target{ctx, fetch ? seriesLead : r.id, fetch};
    route.request = r;
    return superseded;
}

std::vector<uint32_t> WireRoutes::close(uint32_t ctx) {
    return retire(ctx, 0);
}

bool WireRoutes::take(uint32_t wire, Target& target) {
    auto it = routes_.find(wire);
    if (it == routes_.end())
        return false;
    target = it->second.target;
    if (!it->second.subscription())
        routes_.erase(it);
    return true;
}

std::vector<vqp::Request> WireRoutes::toSendOnConnect() const {
    std::vector<vqp::Request> out;
    for (const auto& kv : routes_)
        if (kv.second.subscription())
            out.push_back(kv.second.request);
    for (const auto& kv : routes_)
        if (!kv.second.subscription())
            out.push_back(kv.second.request);
    return out;
}

}  // namespace libquote
