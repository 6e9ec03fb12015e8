// Fixed-size records of the quote protocol. They are sent as their exact little-endian byte
// image and are laid out like the records of libquote's public header, so the client copies
// them into its replies without conversion. The sizes and offsets are checked below; a
// change here is a protocol version change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vqp {

constexpr size_t kCodeLen = 16;
constexpr size_t kNameLen = 64;
constexpr size_t kPinyinLen = 7;

struct CodeInfo {
    char code[kCodeLen];
    char name[kNameLen];
    char pinyin[kPinyinLen];
    int8_t market;
    int8_t decimal;
    int8_t type;  // 0 command, 1 index, 2 stock, 3 fund, 4 bond, 5 warrant
};
static_assert(sizeof(CodeInfo) == 90, "code info is 90 bytes");

// One real-time snapshot: the public snapshot record without its trailing membership
// pointer (the three membership texts travel after the records).
struct Snapshot {
    CodeInfo info;
    char pad0[6];
    int64_t timestamp;
    float pre_close, open, high, low, close;
    char pad1[4];
    int64_t vol, cur_vol;
    double sum;
    int64_t red_vol, green_vol;
    float vol_rate, swap, amplitude, rf_value, rf_rate, committee;
    int64_t committee_diff;
    float avg_price;
    char pad2[4];
    int64_t d5_avg_vol;
    float speed, rise_limit, fall_limit;
    float bid_price[5];
    float ask_price[5];
    char pad3[4];
    int64_t bid_vol[5];
    int64_t ask_vol[5];
    float pe;
    char pad4[4];
    double eps;
    int64_t float_shares, total_shares;
    double ps_net_asset;
    int16_t rise_count, flat_count, fall_count, all_count;
    int64_t block_id;
    float m5_rf_rate, settle_price, pre_settle_price;
    char pad5[4];
    int64_t open_interest, pre_open_interest, total_buy, total_sell;
};
static_assert(sizeof(Snapshot) == 456, "snapshot image is 456 bytes");
static_assert(offsetof(Snapshot, timestamp) == 96 && offsetof(Snapshot, vol) == 128 &&
                  offsetof(Snapshot, sum) == 144 && offsetof(Snapshot, vol_rate) == 168 &&
                  offsetof(Snapshot, committee_diff) == 192 &&
                  offsetof(Snapshot, d5_avg_vol) == 208 && offsetof(Snapshot, bid_price) == 228 &&
                  offsetof(Snapshot, ask_price) == 248 && offsetof(Snapshot, bid_vol) == 272 &&
                  offsetof(Snapshot, ask_vol) == 312 && offsetof(Snapshot, pe) == 352 &&
                  offsetof(Snapshot, eps) == 360 && offsetof(Snapshot, rise_count) == 392 &&
                  offsetof(Snapshot, block_id) == 400 && offsetof(Snapshot, m5_rf_rate) == 408 &&
                  offsetof(Snapshot, open_interest) == 424 && offsetof(Snapshot, total_sell) == 448,
              "snapshot offsets");

struct KPoint {
    int64_t time;
    float high, open, low, close;
    float extra;
    char pad0[4];
    int64_t volume;
    int64_t amount;
    char pad1[8];
};
static_assert(sizeof(KPoint) == 56 && offsetof(KPoint, volume) == 32 &&
                  offsetof(KPoint, amount) == 40,
              "K-line point layout");

struct MinPoint {
    int64_t time;
    float price;
    float avg_price;
    int64_t volume;
    int64_t amount;
    char pad[8];
};
static_assert(sizeof(MinPoint) == 40 && offsetof(MinPoint, volume) == 16, "minute point layout");

struct Tick {
    int64_t time;
    float price;
    char pad[4];
    int64_t volume;
    int32_t count;   // orders behind the trade
    char direction;  // 'B' buy, 'S' sell, 'N' neutral
    char pad1[3];
};
static_assert(sizeof(Tick) == 32 && offsetof(Tick, count) == 24 && offsetof(Tick, direction) == 28,
              "tick layout");

struct DividendPoint {
    int64_t time;         // ex-date
    double bonus_shares;  // per share
    double rights_shares;
    double rights_price;
    double cash;           // per share
    double adjust_factor;  // cumulative backward factor after this event
    double pre_close;      // close before the ex-date
    char reserved[16];
};
static_assert(sizeof(DividendPoint) == 72, "dividend point layout");

struct Alert {
    char code[kCodeLen];
    char name[kNameLen];
    int8_t market;
    int64_t time;
    std::string tip;
    char value[21];
    int8_t
        kind;  // 1 rapid rise / big buy, 2 rapid fall / big sell, 3 limit up sealed ..., 4 opened
};

struct Membership {
    std::string industry, region, concept;
};

// Copies a UTF-8 text into a fixed array, zero-filled and always zero-terminated, cut
// (possibly inside a multi-byte character: readers drop a broken last character).
template <size_t N>
inline void setText(char (&dst)[N], const std::string& s) {
    size_t n = s.size() < N - 1 ? s.size() : N - 1;
    for (size_t i = 0; i < N; ++i)
        dst[i] = i < n ? s[i] : 0;
}
// Reads a fixed array that may lack its terminating zero.
template <size_t N>
inline std::string getText(const char (&src)[N]) {
    size_t n = 0;
    while (n < N && src[n])
        ++n;
    return std::string(src, n);
}

}  // namespace vqp
