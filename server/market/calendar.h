// Trading calendar and Beijing-time arithmetic. Dates are yyyymmdd integers; times on the
// wire are seconds since 1970 UTC. Beijing keeps UTC+8 all year (no daylight saving), so
// the conversion is a fixed offset and needs no time-zone database.
#pragma once

#include <cstdint>
#include <vector>

namespace vq::market {

constexpr int64_t kBeijingOffset = 8 * 3600;

// Days since 1970-01-01 of a yyyymmdd date and back.
int64_t daysFromDate(int ymd);
int dateFromDays(int64_t days);
int weekday(int ymd);  // 0 Sunday … 6 Saturday

// Seconds since 1970 UTC of a Beijing wall time on a date.
int64_t beijingTime(int ymd, int hour, int minute, int second = 0);
// The Beijing date of a moment, and its seconds after Beijing midnight.
int beijingDate(int64_t utc);
int beijingSecondOfDay(int64_t utc);

// Exchange holidays: weekends, New Year, the Spring Festival week, Qingming, Labour Day,
// Dragon Boat, Mid-Autumn and the National Day week. The lunar holidays follow a table of
// Spring Festival dates; the others are placed the way the exchanges usually place them.
bool isTradingDay(int ymd);
int nextTradingDay(int ymd);
int previousTradingDay(int ymd);
// Trading days from `first` to `last`, both included when they are trading days.
std::vector<int> tradingDaysBetween(int first, int last);

// Session times in seconds after Beijing midnight.
namespace session {
constexpr int kAuctionStart = 9 * 3600 + 15 * 60;
constexpr int kAuctionMatch = 9 * 3600 + 25 * 60;
constexpr int kMorningOpen = 9 * 3600 + 30 * 60;
constexpr int kMorningClose = 11 * 3600 + 30 * 60;
constexpr int kAfternoonOpen = 13 * 3600;
constexpr int kClosingAuction = 14 * 3600 + 57 * 60;  // closing call auction, matched at 15:00
constexpr int kClose = 15 * 3600;
constexpr int kMinutes = 240;
}  // namespace session

// Index 0 … 239 of the minute bar a trade at this second of day falls into (the auction
// trade at 09:25 and anything up to 09:31 go to the first bar, 13:00 to bar 120); -1 outside.
int minuteIndex(int secondOfDay);
// Second of day at which minute bar `index` ends (09:31 for 0, 11:30 for 119, 13:01 for 120).
int minuteEnd(int index);
// Trading minutes elapsed at this second of day (0 before the open, 240 after the close).
int minutesElapsed(int secondOfDay);

}  // namespace vq::market
