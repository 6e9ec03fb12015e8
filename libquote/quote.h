/* libquote: the quote engine of VeltoQuorin.
 *
 * A client of the quote service. quote_engine_run() runs the engine on the calling thread
 * until quote_engine_shutdown(); every answer arrives there through the reply callback as
 * one QuoteReply, valid until the callback returns. Contexts are created, configured and
 * sent from any other thread (the terminal's GUI thread); the engine picks the requests up
 * through a thread-safe queue.
 *
 * Records keep the field order and types of the quote records the terminal reads. Records
 * without pointers have fixed sizes and offsets (checked at the end of this header);
 * records with pointers use native pointers and grow where a pointer needs 8-byte alignment.
 */
#ifndef VELTOQUORIN_LIBQUOTE_QUOTE_H
#define VELTOQUORIN_LIBQUOTE_QUOTE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Reply types. */
enum {
    QUOTE_REPLY_SERVER_STATE = 1,
    QUOTE_REPLY_CODES = 2,
    QUOTE_REPLY_REALTIME = 3,
    QUOTE_REPLY_MINUTE = 4,
    QUOTE_REPLY_KLINE = 5,
    QUOTE_REPLY_DETAIL = 6,
    QUOTE_REPLY_DIVIDEND = 7,
    QUOTE_REPLY_STOCK_TIP = 9
};

/* Server states of a QUOTE_REPLY_SERVER_STATE reply. */
enum { QUOTE_SERVER_DISCONNECTED = 0, QUOTE_SERVER_CONNECTED = 1 };

typedef struct QuoteCtx QuoteCtx; /* opaque context handle */

typedef struct QuoteReply {
    uint16_t reserved;
    uint16_t type;
    QuoteCtx* ctx;  /* the context answered; null for codes and server state */
    uint32_t count; /* elements of a list payload */
    void* payload;
} QuoteReply;

typedef struct QuoteCodeInfo {
    char code[16];
    char name[64];
    char pinyin[7];
    int8_t market;
    int8_t decimal;
    int8_t type; /* 0 command, 1 index, 2 stock, 3 fund, 4 bond, 5 warrant */
} QuoteCodeInfo;

/* Industry, region and concept texts of a security; each may be null. */
typedef struct QuoteMembership {
    const char* industry;
    const char* region;
    const char* concept;
} QuoteMembership;

typedef struct QuoteRealTimeMarket {
    QuoteCodeInfo info;
    char reserved0[6];
    int64_t timestamp;
    float pre_close;
    float open;
    float high;
    float low;
    float close;
    char reserved1[4];
    int64_t vol;
    int64_t cur_vol;
    double sum;
    int64_t red_vol;
    int64_t green_vol;
    float vol_rate;
    float swap;
    float amplitude;
    float rf_value;
    float rf_rate;
    float committee;
    int64_t committee_diff;
    float avg_price;
    char reserved2[4];
    int64_t d5_avg_vol;
    float speed;
    float rise_limit;
    float fall_limit;
    float bid_price[5];
    float ask_price[5];
    char reserved3[4];
    int64_t bid_vol[5];
    int64_t ask_vol[5];
    float pe;
    char reserved4[4];
    double eps;
    int64_t float_shares;
    int64_t total_shares;
    double ps_net_asset;
    int16_t rise_count;
    int16_t flat_count;
    int16_t fall_count;
    int16_t all_count;
    int64_t block_id;
    float m5_rf_rate;
    float settle_price;
    float pre_settle_price;
    char reserved5[4];
    int64_t open_interest;
    int64_t pre_open_interest;
    int64_t total_buy;
    int64_t total_sell;
    const QuoteMembership* membership;
} QuoteRealTimeMarket;

typedef struct QuoteKPoint {
    int64_t time; /* seconds since 1970; its local calendar date is the bar's date */
    float high;
    float open;
    float low;
    float close;
    float extra; /* turnover rate in percent of the float shares; 0 for indices and blocks */
    char reserved0[4];
    int64_t volume;
    int64_t amount;
    char reserved1[8];
} QuoteKPoint;

typedef struct QuoteKPoints {
    uint32_t reserved;
    uint32_t count;
    QuoteKPoint* points; /* ascending time */
} QuoteKPoints;

typedef struct QuoteMinPoint {
    int64_t time;
    float price;
    float avg_price; /* 0: none */
    int64_t volume;
    int64_t amount;
    char reserved[8];
} QuoteMinPoint;

typedef struct QuoteMinPoints {
    float pre_close;
    uint32_t reserved0;
    int64_t day; /* midnight (Beijing time) of the day shown, seconds since 1970 */
    uint32_t reserved1[2];
    uint16_t append; /* 0: the block replaces the series; otherwise it continues it */
    uint16_t reserved2;
    uint32_t count;
    QuoteMinPoint* points;
} QuoteMinPoints;

typedef struct QuoteDetailPoint {
    int64_t time;
    float price;
    char reserved0[4];
    int64_t volume;
    int32_t count;  /* orders behind the trade */
    char direction; /* 'B' buy, 'S' sell, 'N' neither */
    char reserved1[3];
} QuoteDetailPoint;

typedef struct QuoteDetailPoints {
    float pre_close;
    uint32_t count;
    QuoteDetailPoint* points;
    char reserved0[84];
    int8_t decimal;
    char reserved1[3];
    uint32_t first_no; /* number of points[0] within the day's tick list */
} QuoteDetailPoints;

typedef struct QuoteDividendPoint {
    int64_t time;         /* ex-date */
    double bonus_shares;  /* per share */
    double rights_shares; /* per share */
    double rights_price;
    double cash;          /* per share */
    double adjust_factor; /* cumulative backward factor from this ex-date on */
    double pre_close;     /* close of the day before the ex-date */
    char reserved[16];
} QuoteDividendPoint;

typedef struct QuoteDividendPoints {
    uint32_t count;
    QuoteDividendPoint* points;
    char reserved[84];
} QuoteDividendPoints;

/* One alert of a QUOTE_REPLY_STOCK_TIP reply. Kinds: 1 rise signals (rapid rise, big buy),
 * 2 fall signals (rapid fall, big sell), 3 limit up or down sealed, 4 limit opened. */
typedef struct QuoteStockTip {
    char code[16];
    char name[71];
    int8_t market;
    char reserved0[8];
    int64_t time;
    const char* tip;
    char value[21];
    int8_t kind;
    char reserved1[2];
} QuoteStockTip;

typedef struct QuoteServerRecord {
    int32_t index;
    char name[64];
    char url[128];
} QuoteServerRecord;

typedef struct QuoteServerState {
    const QuoteServerRecord* server;
    int32_t state; /* QUOTE_SERVER_* */
} QuoteServerState;

/* One quote server: "tcp://HOST:PORT", a display name and the transport type ("tcp"). */
typedef struct QuoteServerEntry {
    const char* url;
    const char* name;
    const char* type;
} QuoteServerEntry;

typedef struct QuoteEngineSettings {
    int32_t reserved0;
    const char* text;
    const QuoteServerEntry* server;
    int32_t reserved1;
} QuoteEngineSettings;

/* The 17-byte security key: code (UTF-8, zero-filled) and market. */
typedef struct QuoteSecurityKey {
    char code[16];
    uint8_t market;
} QuoteSecurityKey;

typedef void (*QuoteReplyCallback)(void* reserved, QuoteReply* rpl);

/* Non-zero when this library provides at least version major.minor.patch. */
int __quote_version_check(int major, int minor, int patch);

/* Runs the engine on the calling thread until quote_engine_shutdown(). Returns 0 after a
 * shutdown, -1 when the settings name no usable server or the engine already runs. */
int quote_engine_run(const QuoteEngineSettings* settings, QuoteReplyCallback callback);
void quote_engine_shutdown(void);

/* Reference documents (JSON, UTF-8). Return 1 when the document was taken, 0 otherwise. */
int quote_block_load(const char* json, int length);
int quote_margin_load(const char* json, int length);
int quote_rating_load(const char* json, int length);
/* 1 when the security is margin-eligible. */
int quote_margin_is(const char* code, uint8_t market);
/* The block whose members an index or block security stands for; 0 when none is known. */
int64_t quote_block_index_block_id1(const QuoteSecurityKey* key);
/* The rating text of a security from the rating document, or null. */
const char* quote_rating_of(const char* code, uint8_t market);

QuoteCtx* quote_ctx_create(void);
void quote_ctx_release(QuoteCtx* ctx);
void quote_ctx_set_type(QuoteCtx* ctx, int type); /* 0 series or snapshot, 1 dividends, 3 alerts */
void quote_ctx_set_peroid(QuoteCtx* ctx, int period); /* 30 snapshot ... 40 month */
void quote_ctx_set_code(QuoteCtx* ctx, const QuoteSecurityKey* keys, int count);
void quote_ctx_set_block(QuoteCtx* ctx, uint32_t block, int reserved);
void quote_ctx_set_category(QuoteCtx* ctx, int category);
void quote_ctx_set_page(QuoteCtx* ctx, int first, int size);
void quote_ctx_set_time(QuoteCtx* ctx, int64_t time, int r1, int r2, int r3);
void quote_ctx_set_sort(QuoteCtx* ctx, uint16_t field, uint8_t mode);
void quote_ctx_set_market_field(QuoteCtx* ctx, const uint16_t* ids, int count);
void quote_ctx_set_option(QuoteCtx* ctx, int option);
void quote_ctx_set_user_data(QuoteCtx* ctx, int64_t data);
int64_t quote_ctx_get_user_data(const QuoteCtx* ctx);
/* Sending a context again (subscribe, request, update, page up or down) or cancelling it
 * supersedes what it asked before: from then on no reply of an earlier send reaches the
 * callback (save one the engine thread is handing over at that very moment), and the
 * service stops pushing the earlier subscription. load_more asks for
 * older K-line rows beside the current send and leaves its subscription as it is. */
void quote_ctx_subscribe(QuoteCtx* ctx);
void quote_ctx_request(QuoteCtx* ctx);
void quote_ctx_update(QuoteCtx* ctx);
void quote_ctx_load_more(QuoteCtx* ctx, int rows);
void quote_ctx_page_up(QuoteCtx* ctx);
void quote_ctx_page_down(QuoteCtx* ctx);
int quote_ctx_get_page_first_no(const QuoteCtx* ctx);
void quote_ctx_cancel(QuoteCtx* ctx);
/* The context as JSON text; the text belongs to the context and stays valid until the next
 * dump of it or its release. */
const char* quote_ctx_dump(QuoteCtx* ctx);
/* A new context from such a text, or null when the text is not a JSON object. */
QuoteCtx* quote_ctx_parse(const char* text, int length);

#ifdef __cplusplus
}

static_assert(sizeof(QuoteCodeInfo) == 90, "QuoteCodeInfo is 90 bytes");
static_assert(sizeof(QuoteSecurityKey) == 17, "security key is 17 bytes");
static_assert(sizeof(QuoteKPoint) == 56 && offsetof(QuoteKPoint, high) == 8 &&
                  offsetof(QuoteKPoint, open) == 12 && offsetof(QuoteKPoint, low) == 16 &&
                  offsetof(QuoteKPoint, close) == 20 && offsetof(QuoteKPoint, extra) == 24 &&
                  offsetof(QuoteKPoint, volume) == 32 && offsetof(QuoteKPoint, amount) == 40,
              "QuoteKPoint layout");
static_assert(sizeof(QuoteMinPoint) == 40 && offsetof(QuoteMinPoint, price) == 8 &&
                  offsetof(QuoteMinPoint, avg_price) == 12 &&
                  offsetof(QuoteMinPoint, volume) == 16 && offsetof(QuoteMinPoint, amount) == 24,
              "minute point layout");
static_assert(sizeof(QuoteDetailPoint) == 32 && offsetof(QuoteDetailPoint, volume) == 16 &&
                  offsetof(QuoteDetailPoint, count) == 24 &&
                  offsetof(QuoteDetailPoint, direction) == 28,
              "tick layout");
static_assert(sizeof(QuoteDividendPoint) == 72 && offsetof(QuoteDividendPoint, cash) == 32,
              "dividend point layout");
static_assert(sizeof(QuoteRealTimeMarket) == 464 &&
                  offsetof(QuoteRealTimeMarket, timestamp) == 96 &&
                  offsetof(QuoteRealTimeMarket, pre_close) == 104 &&
                  offsetof(QuoteRealTimeMarket, close) == 120 &&
                  offsetof(QuoteRealTimeMarket, vol) == 128 &&
                  offsetof(QuoteRealTimeMarket, sum) == 144 &&
                  offsetof(QuoteRealTimeMarket, red_vol) == 152 &&
                  offsetof(QuoteRealTimeMarket, vol_rate) == 168 &&
                  offsetof(QuoteRealTimeMarket, rf_rate) == 184 &&
                  offsetof(QuoteRealTimeMarket, committee) == 188 &&
                  offsetof(QuoteRealTimeMarket, committee_diff) == 192 &&
                  offsetof(QuoteRealTimeMarket, avg_price) == 200 &&
                  offsetof(QuoteRealTimeMarket, d5_avg_vol) == 208 &&
                  offsetof(QuoteRealTimeMarket, speed) == 216 &&
                  offsetof(QuoteRealTimeMarket, bid_price) == 228 &&
                  offsetof(QuoteRealTimeMarket, ask_price) == 248 &&
                  offsetof(QuoteRealTimeMarket, bid_vol) == 272 &&
                  offsetof(QuoteRealTimeMarket, ask_vol) == 312 &&
                  offsetof(QuoteRealTimeMarket, pe) == 352 &&
                  offsetof(QuoteRealTimeMarket, eps) == 360 &&
                  offsetof(QuoteRealTimeMarket, float_shares) == 368 &&
                  offsetof(QuoteRealTimeMarket, ps_net_asset) == 384 &&
                  offsetof(QuoteRealTimeMarket, rise_count) == 392 &&
                  offsetof(QuoteRealTimeMarket, all_count) == 398 &&
                  offsetof(QuoteRealTimeMarket, block_id) == 400 &&
                  offsetof(QuoteRealTimeMarket, m5_rf_rate) == 408 &&
                  offsetof(QuoteRealTimeMarket, open_interest) == 424 &&
                  offsetof(QuoteRealTimeMarket, total_sell) == 448 &&
                  offsetof(QuoteRealTimeMarket, membership) == 456,
              "QuoteRealTimeMarket layout");
static_assert(offsetof(QuoteMinPoints, append) == 24 && offsetof(QuoteMinPoints, count) == 28 &&
                  offsetof(QuoteMinPoints, points) == 32,
              "minute block layout");
static_assert(offsetof(QuoteDetailPoints, count) == 4 &&
                  offsetof(QuoteDetailPoints, decimal) == 100 &&
                  offsetof(QuoteDetailPoints, first_no) == 104 && sizeof(QuoteDetailPoints) >= 108,
              "tick block layout");
static_assert(sizeof(QuoteDividendPoints) >= 100, "dividend block header");
static_assert(sizeof(QuoteStockTip) == 136 && offsetof(QuoteStockTip, market) == 87 &&
                  offsetof(QuoteStockTip, time) == 96 && offsetof(QuoteStockTip, tip) == 104 &&
                  offsetof(QuoteStockTip, kind) == 133,
              "alert record layout");
static_assert(offsetof(QuoteServerRecord, name) == 4, "server record name");
#endif

#endif
