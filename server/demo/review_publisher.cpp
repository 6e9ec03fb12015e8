#include "server/demo/review_publisher.h"

#include "server/demo/demo_text.h"
#include "server/market/calendar.h"
#include "server/store/publications.h"

#include <chrono>
#include <cstdio>

namespace vq::demo {

ReviewPublisher::ReviewPublisher(store::Database& db, const market::Market& market, int intervalMs)
    : db_(db), market_(market), intervalMs_(intervalMs) {}

ReviewPublisher::~ReviewPublisher() {
    stop();
}

bool ReviewPublisher::publish(int day, ReviewSession session) {
    if (done_.count({day, session}) || !sessionOver(market_, day, session)) {
        return false;
    }
    store::Publications publications(db_);
    const QString prefix = reviewPrefix(session);
    for (const QString& title :
         publications.articleTitles(QStringLiteral("news"), QString(), 0, dayText(day))) {
        if (title.startsWith(prefix)) {
            done_.insert({day, session});
            return false;
        }
    }
    const std::optional<ReviewFigures> figures = reviewFigures(market_, day, session);
    if (!figures) {
        return false;
    }
    publications.addArticle(reviewArticle(*figures));
    done_.insert({day, session});
    return true;
}

int ReviewPublisher::publishDue() {
    const market::SnapshotPtr snap = market_.snapshot();
    const int day = snap->tradingDay;
    int published = 0;
    if (lastDay_ == 0) {
        published += publish(market::previousTradingDay(day), ReviewSession::Close);
    } else if (lastDay_ < day) {
        published += publish(lastDay_, ReviewSession::Midday);
        published += publish(lastDay_, ReviewSession::Close);
    }
    lastDay_ = day;
    published += publish(day, ReviewSession::Midday);
    published += publish(day, ReviewSession::Close);
    return published;
}

void ReviewPublisher::start(std::function<bool()> first) {
    std::lock_guard<std::mutex> lock(mu_);
    if (thread_.joinable()) {
        return;
    }
    running_ = true;
    thread_ = std::thread([this, first = std::move(first)] { run(first); });
}

void ReviewPublisher::stop() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        running_ = false;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ReviewPublisher::run(const std::function<bool()>& first) {
    if (first) {
        try {
            if (!first()) {
                return;
            }
        } catch (const store::StoreError& e) {
            std::fprintf(stderr, "veltoquorin-server: %s\n", e.what());
            return;
        }
    }
    std::unique_lock<std::mutex> lock(mu_);
    while (running_) {
        lock.unlock();
        try {
            publishDue();
        } catch (const store::StoreError& e) {
            // The database may be busy or away for a moment; the next look tries again.
            std::fprintf(stderr, "veltoquorin-server: market review not published: %s\n", e.what());
        }
        lock.lock();
        cv_.wait_for(lock, std::chrono::milliseconds(intervalMs_), [this] { return !running_; });
    }
}

}  // namespace vq::demo
