// Screens in progress and their results. A screen runs on a thread of its own so that the
// HTTP pool stays free; the terminal polls its progress, fetches the result or cancels it.
// Finished screens are kept a few minutes for the terminal to collect.
#pragma once

#include "server/market/market.h"
#include "server/screening/screener.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vq::screening {

enum class JobState { Running, Done, Cancelled };

struct JobStatus {
    JobState state = JobState::Running;
    int done = 0;
    int total = 0;
    std::vector<int> matches;  // security indexes, once done
};

class ScreenJobs {
public:
    // threads: workers per screen (<= 0: one per core); at most `maxRunning` screens at once.
    ScreenJobs(std::shared_ptr<const market::Market> market, int threads = 0, int maxRunning = 2);
    ~ScreenJobs();  // cancels and joins every running screen
    ScreenJobs(const ScreenJobs&) = delete;
    ScreenJobs& operator=(const ScreenJobs&) = delete;

    // The new screen's id, or "" when too many are running.
    std::string start(ScreenRequest request);
    bool status(const std::string& id, JobStatus* out) const;
    // False for an unknown id. Cancelling a finished screen changes nothing.
    bool cancel(const std::string& id);
    // Starts reading every security's recent day bars in the background (once per trading
    // day), so that a screen asked for soon after does not wait for the histories. Called when
    // a screening window opens.
    void warm();

private:
    struct Job;
    void prune();  // caller holds mu_

    std::shared_ptr<const market::Market> market_;
    RecentBars recent_;
    int threads_;
    int maxRunning_;
    mutable std::mutex mu_;
    std::map<std::string, std::shared_ptr<Job>> jobs_;
    uint64_t serial_ = 0;
    std::thread warmer_;
    std::atomic<bool> warming_{false};
    std::atomic<bool> stop_{false};
    int warmedDay_ = 0;
};

}  // namespace vq::screening
