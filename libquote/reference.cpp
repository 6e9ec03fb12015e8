// Reference documents the terminal downloads at login and hands to the engine: the blocks
// document, the margin-eligible list and the ratings. They are kept for later questions
// (margin eligibility of a security, the block an index stands for).
//
// The documents are read tolerantly: a result envelope {"result": [...]}, {"data": [...]}
// or a bare array; each item names its security with "code" and "market" (or "market_id",
// a number or a text holding one).
#include "libquote/engine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <mutex>
#include <string>

namespace {

struct Reference {
    std::mutex mutex;
    std::map<std::string, int64_t> blockIds;  // "code_market" -> block id
    std::map<std::string, bool> margin;
    std::map<std::string, std::string> ratings;
};

Reference& ref() {
    static Reference* r = new Reference;
    return *r;
}

std::string keyOf(const std::string& code, int market) {
    return code + "_" + std::to_string(market);
}

int marketOf(const QJsonObject& o) {
    for (const char* k : {"market", "market_id", "marketId"}) {
        QJsonValue v = o.value(k);
        if (v.isDouble())
            return v.toInt();
        if (v.isString())
            return v.toString().toInt();
    }
    return -1;
}

bool itemsOf(const char* json, int length, QJsonArray& items) {
    if (!json || length <= 0)
        return false;
    QJsonParseError err{};
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray(json, length), &err);
    if (err.error != QJsonParseError::NoError)
        return false;
    if (doc.isArray()) {
        items = doc.array();
        return true;
    }
    QJsonObject o = doc.object();
    for (const char* k : {"result", "data", "list", "blocks", "stocks"}) {
        QJsonValue v = o.value(k);
        if (v.isArray()) {
            items = v.toArray();
            return true;
        }
        if (v.isObject()) {
            // One level deeper: {"result": {"list": [...]}}.
            for (const char* k2 : {"list", "data", "blocks", "stocks"})
                if (v.toObject().value(k2).isArray()) {
                    items = v.toObject().value(k2).toArray();
                    return true;
                }
        }
    }
    return false;
}

}  // namespace

extern "C" {

int quote_block_load(const char* json, int length) {
    QJsonArray items;
    if (!itemsOf(json, length, items))
        return 0;
    std::map<std::string, int64_t> ids;
    for (const QJsonValue& v : items) {
        QJsonObject o = v.toObject();
        std::string code = o.value("code").toString().toStdString();
        int market = marketOf(o);
        QJsonValue id = o.contains("block_id") ? o.value("block_id") : o.value("id");
        int64_t blockId = id.isString() ? id.toString().toLongLong() : int64_t(id.toDouble());
        if (code.empty() || market < 0 || blockId == 0)
            continue;
        ids[keyOf(code, market)] = blockId;
        // An index that stands for a block names it too ("index_code"/"index_market").
        std::string index = o.value("index_code").toString().toStdString();
        if (!index.empty()) {
            int im = o.value("index_market").toInt(market);
            ids[keyOf(index, im)] = blockId;
        }
    }
    std::lock_guard<std::mutex> lock(ref().mutex);
    ref().blockIds.swap(ids);
    return 1;
}

int quote_margin_load(const char* json, int length) {
    QJsonArray items;
    if (!itemsOf(json, length, items))
        return 0;
    std::map<std::string, bool> margin;
    for (const QJsonValue& v : items) {
        if (v.isString()) {
            // "600000.1" or a bare code of either market.
            QString s = v.toString();
            int dot = s.indexOf('.');
            if (dot > 0)
                margin[keyOf(s.left(dot).toStdString(), s.mid(dot + 1).toInt())] = true;
            continue;
        }
        QJsonObject o = v.toObject();
        std::string code = o.value("code").toString().toStdString();
        int market = marketOf(o);
        if (code.empty() || market < 0)
            continue;
        QJsonValue flag = o.value("margin");
        bool eligible =
            flag.isUndefined() || flag.toBool() || flag.toInt() != 0 || flag.toString() == "1";
        if (eligible)
            margin[keyOf(code, market)] = true;
    }
    std::lock_guard<std::mutex> lock(ref().mutex);
    ref().margin.swap(margin);
    return 1;
}

int quote_rating_load(const char* json, int length) {
    QJsonArray items;
    if (!itemsOf(json, length, items))
        return 0;
    std::map<std::string, std::string> ratings;
    for (const QJsonValue& v : items) {
        QJsonObject o = v.toObject();
        std::string code = o.value("code").toString().toStdString();
        int market = marketOf(o);
        if (code.empty() || market < 0)
            continue;
        // A readable text when the document has one ("rating_text"), else the rating itself.
        QJsonValue r =
            o.value("rating_text").isString() ? o.value("rating_text") : o.value("rating");
        ratings[keyOf(code, market)] =
            (r.isString() ? r.toString() : QString::number(r.toDouble())).toStdString();
    }
    std::lock_guard<std::mutex> lock(ref().mutex);
    ref().ratings.swap(ratings);
    return 1;
}

int quote_margin_is(const char* code, uint8_t market) {
    if (!code)
        return 0;
    std::lock_guard<std::mutex> lock(ref().mutex);
    return ref().margin.count(keyOf(code, market)) ? 1 : 0;
}

const char* quote_rating_of(const char* code, uint8_t market) {
    if (!code)
        return nullptr;
    std::lock_guard<std::mutex> lock(ref().mutex);
    auto it = ref().ratings.find(keyOf(code, market));
    return it == ref().ratings.end() ? nullptr : it->second.c_str();
}

int64_t quote_block_index_block_id1(const QuoteSecurityKey* key) {
    if (!key)
        return 0;
    vqp::SecurityKey k{};
    std::memcpy(k.code, key->code, vqp::kCodeLen);
    k.market = key->market;
    {
        std::lock_guard<std::mutex> lock(ref().mutex);
        auto it = ref().blockIds.find(keyOf(k.codeText(), k.market));
        if (it != ref().blockIds.end())
            return it->second;
    }
    return libquote::Engine::instance().learntBlockId(k);
}

}  // extern "C"
