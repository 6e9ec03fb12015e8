#include "quote_fixture.h"

#include "server/market/calendar.h"

#include <ctime>

ReplyLog& replyLog() {
    static ReplyLog log;
    return log;
}

void collectReply(void*, QuoteReply* rpl) {
    Got g;
    g.type = rpl->type;
    g.ctx = rpl->ctx;
    g.count = rpl->count;
    if (rpl->ctx) {
        g.userData = quote_ctx_get_user_data(rpl->ctx);
        g.firstNo = quote_ctx_get_page_first_no(rpl->ctx);
    }
    switch (rpl->type) {
        case QUOTE_REPLY_SERVER_STATE: {
            auto* s = static_cast<QuoteServerState*>(rpl->payload);
            g.state = s->state;
            g.serverName = s->server ? s->server->name : "";
            break;
        }
        case QUOTE_REPLY_CODES: {
            auto* c = static_cast<QuoteCodeInfo*>(rpl->payload);
            for (uint32_t i = 0; i < rpl->count; ++i) {
                g.codes.emplace_back(c[i].code, strnlen(c[i].code, 16));
                g.kinds.push_back(c[i].type);
            }
            break;
        }
        case QUOTE_REPLY_REALTIME: {
            auto* r = static_cast<QuoteRealTimeMarket*>(rpl->payload);
            for (uint32_t i = 0; i < rpl->count; ++i) {
                g.codes.emplace_back(r[i].info.code, strnlen(r[i].info.code, 16));
                g.values.push_back(r[i].rf_rate);
                g.times.push_back(r[i].block_id);
                g.texts.push_back(
                    r[i].membership && r[i].membership->industry ? r[i].membership->industry : "");
            }
            break;
        }
        case QUOTE_REPLY_KLINE: {
            auto* k = static_cast<QuoteKPoints*>(rpl->payload);
            for (uint32_t i = 0; i < k->count; ++i) {
                g.values.push_back(k->points[i].close);
                g.times.push_back(k->points[i].time);
            }
            break;
        }
        case QUOTE_REPLY_MINUTE: {
            auto* m = static_cast<QuoteMinPoints*>(rpl->payload);
            g.append = m->append;
            g.preClose = m->pre_close;
            for (uint32_t i = 0; i < m->count; ++i) {
                g.values.push_back(m->points[i].price);
                g.times.push_back(m->points[i].time);
            }
            break;
        }
        case QUOTE_REPLY_DETAIL: {
            auto* d = static_cast<QuoteDetailPoints*>(rpl->payload);
            g.firstTick = d->first_no;
            g.preClose = d->pre_close;
            for (uint32_t i = 0; i < d->count; ++i) {
                g.values.push_back(d->points[i].price);
                g.times.push_back(d->points[i].time);
            }
            break;
        }
        case QUOTE_REPLY_DIVIDEND: {
            auto* d = static_cast<QuoteDividendPoints*>(rpl->payload);
            for (uint32_t i = 0; i < d->count; ++i) {
                g.times.push_back(d->points[i].time);
                g.cash.push_back(d->points[i].cash);
            }
            break;
        }
        case QUOTE_REPLY_STOCK_TIP: {
            auto* t = static_cast<QuoteStockTip*>(rpl->payload);
            for (uint32_t i = 0; i < rpl->count; ++i) {
                g.codes.emplace_back(t[i].code, strnlen(t[i].code, 16));
                g.times.push_back(t[i].time);
                g.texts.push_back(t[i].tip ? t[i].tip : "");
                g.kinds.push_back(t[i].kind);
            }
            break;
        }
        default:
            break;
    }
    replyLog().add(std::move(g));
}

int64_t sessionOpening() {
    // The opening of the last full trading day, so the tests see a morning session whatever
    // the wall clock says.
    using namespace vq::market;
    return beijingTime(previousTradingDay(beijingDate(int64_t(::time(nullptr)))), 9, 30);
}

QuoteFixture::QuoteFixture(int aShares) {
    vq::market::Options o;
    o.clock = vq::market::ClockMode::Manual;
    o.aShares = aShares;
    o.startTime = sessionOpening();
    market = vq::market::Market::create(o);
}

QuoteFixture::~QuoteFixture() {
    stopEngine();
    stopService();
}

bool QuoteFixture::startService(uint16_t port) {
    vq::quote::ServiceOptions so;
    so.port = port;
    so.name = "测试行情";
    so.pushIntervalMs = 200;
    so.minPushIntervalMs = 10;
    service_ = std::make_unique<vq::quote::QuoteService>(*market, so);
    if (!service_->start())
        return false;
    port_ = service_->port();
    return true;
}

void QuoteFixture::stopService() {
    if (service_)
        service_->stop();
    service_.reset();
}

void QuoteFixture::startEngine() {
    url_ = "tcp://127.0.0.1:" + std::to_string(port_);
    engine_ = std::thread([this] {
        QuoteServerEntry e{url_.c_str(), "本地行情", "tcp"};
        QuoteEngineSettings s{0, "", &e, 0};
        quote_engine_run(&s, &collectReply);
    });
}

void QuoteFixture::stopEngine() {
    if (!engine_.joinable())
        return;
    quote_engine_shutdown();
    engine_.join();
}

void QuoteFixture::advance(int seconds) {
    market->advanceTo(market->snapshot()->time + seconds);
}
