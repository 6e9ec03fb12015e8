#include "server/http/login_guard.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <future>

#include "server/store/password.h"

namespace vq::http {

LoginThrottle::LoginThrottle(const LoginPolicy& policy)
    : policy_(policy), pairs_(policy.windowSeconds), addresses_(policy.windowSeconds) {}

std::string LoginThrottle::key(const QString& name, const std::string& address) {
    return name.toStdString() + '\n' + address;
}

int64_t LoginThrottle::wait(const QString& name, const std::string& address, int64_t now) {
    int64_t wait = 0;
    const AddressQuota::Use pair = pairs_.use(key(name, address), now);
    if (pair.count >= policy_.freeFailures) {
        const int doublings = std::min(pair.count - policy_.freeFailures, 20);
        const int64_t delay = std::min<int64_t>(int64_t(policy_.firstDelaySeconds) << doublings,
                                                policy_.maxDelaySeconds);
        wait = std::max<int64_t>(wait, pair.newest + delay - now);
    }
    const AddressQuota::Use from = addresses_.use(address, now);
    if (from.count >= policy_.maxFailuresPerAddress) {
        wait = std::max<int64_t>(wait, from.oldest + policy_.windowSeconds - now);
    }
    return std::max<int64_t>(0, wait);
}

void LoginThrottle::failed(const QString& name, const std::string& address, int64_t now) {
    pairs_.add(key(name, address), now);
    addresses_.add(address, now);
}

void LoginThrottle::succeeded(const QString& name, const std::string& address) {
    pairs_.forget(key(name, address));
}

PasswordChecks::PasswordChecks(int threads, int queueDepth)
    : depth_(size_t(std::max(1, queueDepth))) {
    for (int i = 0; i < std::max(1, threads); ++i) {
        threads_.emplace_back([this] { work(); });
    }
}

PasswordChecks::~PasswordChecks() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
}

void PasswordChecks::work() {
    // A verification is tens of milliseconds of pure computation; below the request workers
    // in priority it takes the cores they leave idle rather than delaying their answers.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        job();
    }
}

PasswordChecks::Outcome PasswordChecks::check(const std::optional<QString>& hash,
                                              const QString& password) {
    auto task = std::make_shared<std::packaged_task<bool()>>([hash, password] {
        if (hash) {
            return store::verifyPassword(*hash, password);
        }
        store::verifyDummy(password);
        return false;
    });
    std::future<bool> result = task->get_future();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() >= depth_ || quit_) {
            return Outcome::Busy;
        }
        queue_.emplace_back([task] { (*task)(); });
    }
    wake_.notify_one();
    return result.get() ? Outcome::Match : Outcome::Mismatch;
}

}  // namespace vq::http
