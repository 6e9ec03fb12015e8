// The market-wide alert log: alerts as they fire, newest last, and the reads of it.
#include "server/market/session.h"

#include "server/market/calendar.h"

#include <algorithm>

namespace vq::market {

namespace {

constexpr size_t kMaxAlerts = 50000;

}  // namespace

void Session::fireAlert(int i, int s, AlertKind kind, const char* tip, const std::string& value) {
    std::lock_guard<std::mutex> lock(alertMu_);
    Alert a;
    a.seq = ++alertSeq_;
    a.security = i;
    a.time = beijingTime(day_, 0, 0) + s;
    a.kind = kind;
    a.tip = tip;
    a.value = value;
    alerts_.push_back(std::move(a));
    if (alerts_.size() > kMaxAlerts)
        alerts_.pop_front();
}

std::vector<Alert> Session::alerts(const std::function<bool(int)>& accept, int count,
                                   uint64_t afterSeq) const {
    std::vector<Alert> out;
    if (count <= 0)
        return out;
    std::lock_guard<std::mutex> lock(alertMu_);
    for (auto it = alerts_.rbegin(); it != alerts_.rend() && int(out.size()) < count; ++it) {
        if (it->seq <= afterSeq)
            break;
        if (accept(it->security))
            out.push_back(*it);
    }
    std::reverse(out.begin(), out.end());
    return out;
}

uint64_t Session::alertSeq() const {
    std::lock_guard<std::mutex> lock(alertMu_);
    return alertSeq_;
}

}  // namespace vq::market
