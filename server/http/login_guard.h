// What stands between a login and the password check.
//
// LoginThrottle: failures are counted per name at one address, so whoever guesses at a name
// slows down only their own attempts at it; the owner logging in from elsewhere is never held
// up. After a few free failures each further attempt waits twice as long as the one before,
// up to a ceiling, and one address that fails too often across all names waits until its old
// failures leave the window.
//
// PasswordChecks: the Argon2id verifications run on their own few threads behind a short
// queue. Each takes 64 MiB and tens of milliseconds of a core; a login flood fills the queue
// and the logins beyond it are told at once to try again. Logins are answered by workers of
// their own (HttpServer isolates "/login"), so the other services never wait behind them.
#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/http/address_quota.h"

namespace vq::http {

struct LoginPolicy {
    int freeFailures = 3;            // failures of a name from one address before delays start
    int firstDelaySeconds = 2;       // the first delay; each further failure doubles it
    int maxDelaySeconds = 300;       // the longest delay
    int windowSeconds = 900;         // failures older than this are forgotten
    int maxFailuresPerAddress = 30;  // failures from one address, all names, in the window
    int checkThreads = 1;            // password verifications at once
    int checkQueue = 4;              // verifications waiting; beyond that, "try again"
};

class LoginThrottle {
public:
    explicit LoginThrottle(const LoginPolicy& policy);
    // Seconds this attempt must still wait (0: it may go ahead).
    int64_t wait(const QString& name, const std::string& address, int64_t now);
    void failed(const QString& name, const std::string& address, int64_t now);
    void succeeded(const QString& name, const std::string& address);

private:
    static std::string key(const QString& name, const std::string& address);
    LoginPolicy policy_;
    AddressQuota pairs_;
    AddressQuota addresses_;
};

class PasswordChecks {
public:
    enum class Outcome { Match, Mismatch, Busy };
    PasswordChecks(int threads, int queueDepth);
    ~PasswordChecks();
    PasswordChecks(const PasswordChecks&) = delete;
    PasswordChecks& operator=(const PasswordChecks&) = delete;

    // Checks `password` against `hash` (no hash: an unknown name, which costs the same time
    // and never matches). Busy at once when the queue is full.
    Outcome check(const std::optional<QString>& hash, const QString& password);

private:
    void work();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    size_t depth_;
    bool quit_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace vq::http
