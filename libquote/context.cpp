// Context settings, their sending, and the context text of dump and parse.
#include "libquote/context.h"
#include "libquote/engine.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstring>

vqp::Request QuoteCtx::toRequest(vqp::Action action) const {
    vqp::Request r;  // the engine gives every send its own id on the wire
    r.action = action;
    r.type = uint8_t(type);
    r.period = uint16_t(period);
    r.codes = codes;
    r.block = block;
    r.category = uint32_t(category);
    r.option = uint32_t(option);
    r.sortField = sortField;
    r.sortMode = sortMode;
    r.fields = fields;
    r.pageFirst = pageFirst;
    r.pageSize = uint32_t(std::max(pageSize, 0));
    r.time = time;
    return r;
}

namespace libquote {

QJsonObject ctxToJson(const QuoteCtx& c) {
    QJsonObject o = c.extra;
    o["type_"] = c.type;
    o["peroid_"] = c.period;
    QJsonArray codes;
    for (const vqp::SecurityKey& k : c.codes)
        codes.append(
            QJsonObject{{"code", QString::fromStdString(k.codeText())}, {"market", int(k.market)}});
    o["codes_"] = codes;
    o["block_"] = double(c.block);
    o["category_"] = c.category;
    o["option_"] = c.option;
    o["sort_"] = QJsonObject{{"field", int(c.sortField)}, {"mode", int(c.sortMode)}};
    QJsonArray fields;
    for (uint16_t f : c.fields)
        fields.append(int(f));
    o["fields_"] = fields;
    o["page_"] = QJsonObject{{"no", c.pageFirst}, {"length", c.pageSize}};
    o["time_"] = double(c.time);
    o["user_data_"] = double(c.userData.load());
    return o;
}

bool ctxFromJson(QuoteCtx& c, const QJsonObject& o) {
    static const QStringList known = {"type_",     "peroid_", "codes_",    "block_",
                                      "category_", "option_", "sort_",     "fields_",
                                      "page_",     "time_",   "user_data_"};
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!known.contains(it.key()))
            c.extra.insert(it.key(), it.value());
    c.type = o.value("type_").toInt(c.type);
    c.period = o.value("peroid_").toInt(c.period);
    if (o.value("codes_").isArray()) {
        c.codes.clear();
        for (const QJsonValue& v : o.value("codes_").toArray()) {
            QJsonObject k = v.toObject();
            QByteArray code = k.value("code").toString().toUtf8();
            if (code.isEmpty())
                continue;
            vqp::SecurityKey key{};
            std::memcpy(key.code, code.constData(), std::min<size_t>(code.size(), vqp::kCodeLen));
            // Views write the market as a number or as a text holding one.
            QJsonValue m = k.value("market");
            key.market = uint8_t(m.isString() ? m.toString().toInt() : m.toInt());
            c.codes.push_back(key);
        }
    }
    c.block = uint32_t(o.value("block_").toDouble(c.block));
    c.category = o.value("category_").toInt(c.category);
    c.option = o.value("option_").toInt(c.option);
    if (o.value("sort_").isObject()) {
        QJsonObject s = o.value("sort_").toObject();
        c.sortField = uint16_t(std::clamp(s.value("field").toInt(c.sortField), 0, 65535));
        c.sortMode = uint8_t(std::clamp(s.value("mode").toInt(c.sortMode), 0, 255));
    }
    if (o.value("fields_").isArray()) {
        c.fields.clear();
        for (const QJsonValue& v : o.value("fields_").toArray())
            if (v.isDouble() && v.toInt() >= 0 && v.toInt() <= 65535)
                c.fields.push_back(uint16_t(v.toInt()));
    }
    if (o.value("page_").isObject()) {
        QJsonObject p = o.value("page_").toObject();
        c.pageFirst = p.value("no").toInt(c.pageFirst);
        c.pageSize = std::max(0, p.value("length").toInt(c.pageSize));
    }
    c.time = int64_t(o.value("time_").toDouble(double(c.time)));
    c.userData = int64_t(o.value("user_data_").toDouble(double(c.userData.load())));
    return true;
}

}  // namespace libquote

using libquote::Engine;

extern "C" {

QuoteCtx* quote_ctx_create(void) {
    return Engine::instance().createContext();
}

void quote_ctx_release(QuoteCtx* ctx) {
    if (ctx)
        Engine::instance().releaseContext(ctx);
}

void quote_ctx_set_type(QuoteCtx* ctx, int type) {
    if (ctx)
        ctx->type = type;
}

void quote_ctx_set_peroid(QuoteCtx* ctx, int period) {
    if (ctx)
        ctx->period = period;
}

void quote_ctx_set_code(QuoteCtx* ctx, const QuoteSecurityKey* keys, int count) {
    if (!ctx)
        return;
    ctx->codes.clear();
    for (int i = 0; keys && i < count; ++i) {
        vqp::SecurityKey k;
        std::memcpy(k.code, keys[i].code, vqp::kCodeLen);
        k.market = keys[i].market;
        ctx->codes.push_back(k);
    }
}

void quote_ctx_set_block(QuoteCtx* ctx, uint32_t block, int) {
    if (ctx)
        ctx->block = block;
}

void quote_ctx_set_category(QuoteCtx* ctx, int category) {
    if (ctx)
        ctx->category = category;
}

void quote_ctx_set_page(QuoteCtx* ctx, int first, int size) {
    if (!ctx)
        return;
    ctx->pageFirst = first;
    ctx->pageSize = std::max(size, 0);
}

void quote_ctx_set_time(QuoteCtx* ctx, int64_t time, int, int, int) {
    if (ctx)
        ctx->time = time;
}

void quote_ctx_set_sort(QuoteCtx* ctx, uint16_t field, uint8_t mode) {
    if (!ctx)
        return;
    ctx->sortField = field;
    ctx->sortMode = mode;
}

void quote_ctx_set_market_field(QuoteCtx* ctx, const uint16_t* ids, int count) {
    if (!ctx)
        return;
    ctx->fields.assign(ids, ids && count > 0 ? ids + count : ids);
}

void quote_ctx_set_option(QuoteCtx* ctx, int option) {
    if (ctx)
        ctx->option = option;
}

void quote_ctx_set_user_data(QuoteCtx* ctx, int64_t data) {
    if (ctx)
        ctx->userData = data;
}

int64_t quote_ctx_get_user_data(const QuoteCtx* ctx) {
    return ctx ? ctx->userData.load() : 0;
}

void quote_ctx_subscribe(QuoteCtx* ctx) {
    if (!ctx)
        return;
    ctx->mode = QuoteCtx::Mode::Subscribe;
    ctx->klineRows = ctx->pageSize;
    Engine::instance().send(ctx, ctx->toRequest(vqp::Action::Subscribe));
}

void quote_ctx_request(QuoteCtx* ctx) {
    if (!ctx)
        return;
    ctx->mode = QuoteCtx::Mode::Request;
    ctx->klineRows = ctx->pageSize;
    Engine::instance().send(ctx, ctx->toRequest(vqp::Action::Request));
}

void quote_ctx_update(QuoteCtx* ctx) {
    if (!ctx)
        return;
    vqp::Request r = ctx->toRequest(ctx->mode == QuoteCtx::Mode::Request ? vqp::Action::Request
                                                                         : vqp::Action::Subscribe);
    if (ctx->mode == QuoteCtx::Mode::None)
        ctx->mode = QuoteCtx::Mode::Subscribe;
    // A K-line re-sent after load_more must cover every row the view already holds, or the
    // older rows would keep the previous adjustment.
    if (vqp::isKLinePeriod(unsigned(ctx->period)) && ctx->type == vqp::TypeSeries)
        r.pageSize = uint32_t(std::max(ctx->klineRows, ctx->pageSize));
    Engine::instance().send(ctx, r);
}

void quote_ctx_load_more(QuoteCtx* ctx, int rows) {
    if (!ctx || rows <= 0 || !vqp::isKLinePeriod(unsigned(ctx->period)))
        return;
    vqp::Request r = ctx->toRequest(vqp::Action::Fetch);
    r.pageFirst = std::max(ctx->klineRows, 0);
    r.pageSize = uint32_t(rows);
    ctx->klineRows += rows;
    Engine::instance().send(ctx, r);
}

static void resendPage(QuoteCtx* ctx) {
    Engine::instance().send(
        ctx, ctx->toRequest(ctx->mode == QuoteCtx::Mode::Request ? vqp::Action::Request
                                                                 : vqp::Action::Subscribe));
}

void quote_ctx_page_up(QuoteCtx* ctx) {
    if (!ctx || ctx->pageSize <= 0)
        return;
    int first = std::max(ctx->firstNo.load(), 0);
    if (first == 0)
        return;
    ctx->pageFirst = std::max(0, first - ctx->pageSize);
    resendPage(ctx);
}

void quote_ctx_page_down(QuoteCtx* ctx) {
    if (!ctx || ctx->pageSize <= 0)
        return;
    int next = std::max(ctx->firstNo.load(), 0) + ctx->pageSize;
    uint32_t total = ctx->total.load();
    if (total > 0 && uint32_t(next) >= total)
        return;
    ctx->pageFirst = next;
    resendPage(ctx);
}

int quote_ctx_get_page_first_no(const QuoteCtx* ctx) {
    return ctx ? ctx->firstNo.load() : 0;
}

void quote_ctx_cancel(QuoteCtx* ctx) {
    if (ctx)
        Engine::instance().cancel(ctx);
}

const char* quote_ctx_dump(QuoteCtx* ctx) {
    if (!ctx)
        return "";
    ctx->dumpText =
        QJsonDocument(libquote::ctxToJson(*ctx)).toJson(QJsonDocument::Compact).toStdString();
    return ctx->dumpText.c_str();
}

QuoteCtx* quote_ctx_parse(const char* text, int length) {
    if (!text || length < 0)
        return nullptr;
    QJsonParseError err{};
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text, length), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return nullptr;
    QuoteCtx* ctx = quote_ctx_create();
    libquote::ctxFromJson(*ctx, doc.object());
    return ctx;
}

}  // extern "C"
