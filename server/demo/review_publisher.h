// Publishes a demo server's market reviews while its market runs: the midday review once
// the morning session of a day has ended, the closing review once the day has closed. It
// looks at the market's snapshot on a thread of its own (never on the market's threads)
// and skips a review already stored, so a restart publishes nothing twice.
#pragma once

#include "server/demo/market_review.h"
#include "server/market/market.h"
#include "server/store/database.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace vq::demo {

class ReviewPublisher {
public:
    ReviewPublisher(store::Database& db, const market::Market& market, int intervalMs = 1000);
    ~ReviewPublisher();
    ReviewPublisher(const ReviewPublisher&) = delete;
    ReviewPublisher& operator=(const ReviewPublisher&) = delete;

    // Runs `first` (when given) on the publisher's thread, then, unless it returned false,
    // looks every interval until stop(). Stopping joins the thread.
    void start(std::function<bool()> first = {});
    void stop();

    // One look: publishes the reviews that are due and not yet stored; how many it did.
    // A day the market moved past since the last look gets its reviews too (a demo clock
    // runs from one day's close into the next day between two looks), and on the first look
    // the previous trading day gets its closing review.
    int publishDue();

private:
    bool publish(int day, ReviewSession session);
    void run(const std::function<bool()>& first);

    store::Database& db_;
    const market::Market& market_;
    int intervalMs_;
    int lastDay_ = 0;                               // the snapshot's trading day at the last look
    std::set<std::pair<int, ReviewSession>> done_;  // published or found stored

    std::mutex mu_;
    std::condition_variable cv_;
    bool running_ = false;
    std::thread thread_;
};

}  // namespace vq::demo
