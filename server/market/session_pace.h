// The pace the session's random walks are scaled by (private to the session's files).
#pragma once

namespace vq::market {

// Seconds of continuous trading in a day: a day's volatility spreads over these.
constexpr double kSessionSeconds = 14400;

}  // namespace vq::market
