#include "server/screening/screen_jobs.h"

#include <chrono>
#include <random>

namespace vq::screening {

namespace {
constexpr auto kKeep = std::chrono::minutes(5);
constexpr size_t kMaxKept = 64;
}  // namespace

struct ScreenJobs::Job {
    ScreenRequest request;
    std::vector<int> universe;
    ScreenProgress progress;
    std::vector<int> matches;
    std::atomic<bool> finished{false};
    std::chrono::steady_clock::time_point finishedAt;
    std::thread thread;
};

ScreenJobs::ScreenJobs(std::shared_ptr<const market::Market> market, int threads, int maxRunning)
    : market_(std::move(market)), recent_(*market_), threads_(threads), maxRunning_(maxRunning) {}

ScreenJobs::~ScreenJobs() {
    stop_ = true;
    if (warmer_.joinable()) {
        warmer_.join();
    }
    std::map<std::string, std::shared_ptr<Job>> jobs;
    {
        std::lock_guard<std::mutex> g(mu_);
        jobs.swap(jobs_);
    }
    for (auto& [id, job] : jobs) {
        job->progress.cancel = true;
        if (job->thread.joinable()) {
            job->thread.join();
        }
    }
}

void ScreenJobs::prune() {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        Job& j = *it->second;
        const bool old = j.finished && (now - j.finishedAt > kKeep || jobs_.size() > kMaxKept);
        if (old) {
            if (j.thread.joinable()) {
                j.thread.join();  // already finished: returns at once
            }
            it = jobs_.erase(it);
        } else {
            ++it;
        }
    }
}

std::string ScreenJobs::start(ScreenRequest request) {
    auto job = std::make_shared<Job>();
    job->request = std::move(request);
    job->universe = screenUniverse(*market_, job->request);
    std::string id;
    {
        std::lock_guard<std::mutex> g(mu_);
        prune();
        int running = 0;
        for (const auto& [k, j] : jobs_) {
            running += j->finished ? 0 : 1;
        }
        if (running >= maxRunning_) {
            return {};
        }
        // Ids are not guessable, so one terminal cannot read or cancel another's screen.
        static thread_local std::mt19937_64 rng{std::random_device{}()};
        id = std::to_string(++serial_) + "-" + std::to_string(rng() % 1000000000000ULL);
        jobs_[id] = job;
        Job* raw = job.get();
        const market::Market* m = market_.get();
        RecentBars* recent = &recent_;
        const int threads = threads_;
        job->thread = std::thread([raw, m, recent, threads] {
            raw->matches =
                runScreen(*m, raw->request, raw->universe, threads, &raw->progress, recent);
            raw->finishedAt = std::chrono::steady_clock::now();
            raw->finished = true;
        });
    }
    return id;
}

void ScreenJobs::warm() {
    std::lock_guard<std::mutex> g(mu_);
    const market::SnapshotPtr snapshot = market_->snapshot();
    if (warming_ || warmedDay_ == snapshot->tradingDay) {
        return;
    }
    if (warmer_.joinable()) {
        warmer_.join();  // the previous day's pass, already finished
    }
    warming_ = true;
    warmedDay_ = snapshot->tradingDay;
    warmer_ = std::thread([this, snapshot] {
        const int n = int(market_->securities().size());
        for (int i = 0; i < n && !stop_; ++i) {
            recent_.dayBars(i, market::Adjust::Forward, 1, *snapshot);
        }
        warming_ = false;
    });
}

bool ScreenJobs::status(const std::string& id, JobStatus* out) const {
    std::lock_guard<std::mutex> g(mu_);
    auto it = jobs_.find(id);
    if (it == jobs_.end()) {
        return false;
    }
    const Job& j = *it->second;
    out->total = int(j.universe.size());
    out->done = std::min(out->total, j.progress.done.load());
    if (!j.finished) {
        out->state = JobState::Running;
    } else if (j.progress.cancel) {
        out->state = JobState::Cancelled;
    } else {
        out->state = JobState::Done;
        out->matches = j.matches;
    }
    return true;
}

bool ScreenJobs::cancel(const std::string& id) {
    std::lock_guard<std::mutex> g(mu_);
    auto it = jobs_.find(id);
    if (it == jobs_.end()) {
        return false;
    }
    if (!it->second->finished) {
        it->second->progress.cancel = true;
    }
    return true;
}

}  // namespace vq::screening
