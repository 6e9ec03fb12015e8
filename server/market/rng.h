// Deterministic random numbers for the generated market. Every stream is derived from the
// market seed and a purpose key (security, day, …), so a series comes out the same however
// and in whatever order it is asked for.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vq::market {

inline uint64_t splitmix64(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline uint64_t mixKey(uint64_t seed, uint64_t a, uint64_t b = 0, uint64_t c = 0) {
    return splitmix64(splitmix64(splitmix64(seed ^ splitmix64(a)) ^ b) ^ c);
}

// xoshiro256**: fast, small state, good enough statistics for price paths.
class Rng {
public:
    explicit Rng(uint64_t seed) { reseed(seed); }
    void reseed(uint64_t seed) {
        for (auto& v : s_) {
            seed = splitmix64(seed);
            v = seed;
        }
        hasSpare_ = false;
    }
    uint64_t next() {
        const uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    // Uniform in [0, 1).
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Uniform integer in [lo, hi].
    int range(int lo, int hi) { return lo + int(next() % uint64_t(hi - lo + 1)); }
    bool chance(double p) { return uniform() < p; }
    double normal() {
        if (hasSpare_) {
            hasSpare_ = false;
            return spare_;
        }
        double u, v, s;
        do {
            u = uniform() * 2 - 1;
            v = uniform() * 2 - 1;
            s = u * u + v * v;
        } while (s >= 1 || s == 0);
        const double m = std::sqrt(-2 * std::log(s) / s);
        spare_ = v * m;
        hasSpare_ = true;
        return u * m;
    }
    // Unit-variance draw with fat tails: a mixture of a calm and a wild normal law (kurtosis
    // about 6), so crashes and limit moves happen far more often than a normal law allows.
    // Cheaper than a Student-t, which matters when a whole market's history is generated.
    double fatTail() {
        const double z = normal();
        return uniform() < 0.9 ? z * 0.85 : z * 1.9;
    }
    // Poisson count for a small mean (mean < ~30), by multiplication of uniforms.
    int poisson(double mean) {
        if (mean <= 0)
            return 0;
        if (mean > 30)
            return std::max(0, int(std::lround(mean + std::sqrt(mean) * normal())));
        const double l = std::exp(-mean);
        int k = 0;
        double p = uniform();
        while (p > l) {
            ++k;
            p *= uniform();
        }
        return k;
    }

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t s_[4];
    double spare_ = 0;
    bool hasSpare_ = false;
};

}  // namespace vq::market
