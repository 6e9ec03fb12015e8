#include "server/market/calendar.h"

#include <algorithm>

namespace vq::market {

namespace {

// Howard Hinnant's civil-from-days algorithms: exact for every Gregorian date.
int64_t daysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int(yoe) + int(era) * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y += m <= 2;
}

// Spring Festival (first day of the lunar year), yyyymmdd, 2005 … 2040.
const int kSpringFestival[] = {
    20050209, 20060129, 20070218, 20080207, 20090126, 20100214, 20110203, 20120123, 20130210,
    20140131, 20150219, 20160208, 20170128, 20180216, 20190205, 20200125, 20210212, 20220201,
    20230122, 20240210, 20250129, 20260217, 20270206, 20280126, 20290213, 20300203, 20310123,
    20320211, 20330131, 20340219, 20350208, 20360128, 20370215, 20380204, 20390124, 20400212,
};

int64_t springFestival(int year) {
    for (int d : kSpringFestival)
        if (d / 10000 == year)
            return daysFromDate(d);
    return daysFromDate(year * 10000 + 205);  // outside the table: a typical date
}

bool isHoliday(int ymd) {
    const int y = ymd / 10000, md = ymd % 10000;
    const int64_t day = daysFromDate(ymd);
    if (md == 101)
        return true;
    // Spring Festival: from its eve through the sixth day.
    const int64_t sf = springFestival(y);
    if (day >= sf - 1 && day <= sf + 5)
        return true;
    if (md == 404 || md == 405)  // Qingming
        return true;
    if (md >= 501 && md <= 503)  // Labour Day
        return true;
    if (md >= 1001 && md <= 1007)  // National Day week
        return true;
    // Dragon Boat (5th of the 5th lunar month) and Mid-Autumn (15th of the 8th) fall about
    // 114 and 222 days after the Spring Festival; one day each.
    if (day == sf + 114 || day == sf + 222)
        return true;
    return false;
}

}  // namespace

int64_t daysFromDate(int ymd) {
    return daysFromCivil(ymd / 10000, unsigned(ymd / 100 % 100), unsigned(ymd % 100));
}

int dateFromDays(int64_t days) {
    int y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    return y * 10000 + int(m) * 100 + int(d);
}

int weekday(int ymd) {
    const int64_t z = daysFromDate(ymd);
    return int(((z % 7) + 11) % 7);  // 1970-01-01 was a Thursday
}

int64_t beijingTime(int ymd, int hour, int minute, int second) {
    return daysFromDate(ymd) * 86400 + hour * 3600 + minute * 60 + second - kBeijingOffset;
}

int beijingDate(int64_t utc) {
    const int64_t t = utc + kBeijingOffset;
    return dateFromDays(t >= 0 ? t / 86400 : (t - 86399) / 86400);
}

int beijingSecondOfDay(int64_t utc) {
    const int64_t t = utc + kBeijingOffset;
    return int(((t % 86400) + 86400) % 86400);
}

bool isTradingDay(int ymd) {
    const int wd = weekday(ymd);
    return wd != 0 && wd != 6 && !isHoliday(ymd);
}

int nextTradingDay(int ymd) {
    int64_t d = daysFromDate(ymd);
    do
        ++d;
    while (!isTradingDay(dateFromDays(d)));
    return dateFromDays(d);
}

int previousTradingDay(int ymd) {
    int64_t d = daysFromDate(ymd);
    do
        --d;
    while (!isTradingDay(dateFromDays(d)));
    return dateFromDays(d);
}

std::vector<int> tradingDaysBetween(int first, int last) {
    std::vector<int> out;
    for (int64_t d = daysFromDate(first), e = daysFromDate(last); d <= e; ++d) {
        const int ymd = dateFromDays(d);
        if (isTradingDay(ymd))
            out.push_back(ymd);
    }
    return out;
}

int minuteIndex(int s) {
    using namespace session;
    if (s < kAuctionMatch || s > kClose)
        return -1;
    if (s < kMorningOpen + 60)
        return 0;
    if (s <= kMorningClose)
        return std::min(119, (s - kMorningOpen - 1) / 60);
    if (s < kAfternoonOpen)
        return -1;
    if (s < kAfternoonOpen + 60)
        return 120;
    return std::min(239, 120 + (s - kAfternoonOpen - 1) / 60);
}

int minuteEnd(int index) {
    using namespace session;
    if (index < 120)
        return kMorningOpen + (index + 1) * 60;
    return kAfternoonOpen + (index - 119) * 60;
}

int minutesElapsed(int s) {
    using namespace session;
    if (s <= kMorningOpen)
        return 0;
    if (s <= kMorningClose)
        return (s - kMorningOpen + 59) / 60;
    if (s <= kAfternoonOpen)
        return 120;
    if (s >= kClose)
        return 240;
    return 120 + (s - kAfternoonOpen + 59) / 60;
}

}  // namespace vq::market
