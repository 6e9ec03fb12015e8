// The inside of a quote context. Settings are written by the thread that owns the context
// (the terminal's GUI thread); the engine thread only reads copies of them (requests) and
// writes the page position of the latest reply, which is atomic.
#pragma once

#include "libquote/quote.h"
#include "protocol/messages.h"

#include <QJsonObject>

#include <atomic>
#include <string>
#include <vector>

struct QuoteCtx {
    enum class Mode { None, Request, Subscribe };

    uint32_t id = 0;
    int type = 0;
    int period = 0;
    std::vector<vqp::SecurityKey> codes;
    uint32_t block = 0;
    int category = 0;
    int option = 0;
    uint16_t sortField = 0;
    uint8_t sortMode = 2;
    std::vector<uint16_t> fields;
    int pageFirst = 0;
    int pageSize = 0;
    int64_t time = 0;
    QJsonObject extra;  // keys of a parsed text that the engine does not use, kept for dump

    Mode mode = Mode::None;  // how the context was last sent; update() repeats it
    int klineRows = 0;       // K-line rows asked for so far (first page plus every load_more)

    std::atomic<int64_t> userData{0};
    std::atomic<int> firstNo{0};     // zero-based first row of the latest reply's page
    std::atomic<uint32_t> total{0};  // rows of the whole list in the latest reply
    std::atomic<bool> released{false};
    // Which replies are still wanted, as wire ids of sends (written by the owning thread, read
    // by the engine thread): a reply of a Request or Subscribe older than `lead`, or of a
    // Fetch older than `seriesLead`, is dropped. A re-send of the same series (an ex-rights
    // change) moves only `lead`: older rows asked for before it still come, ahead of its
    // answer, which covers them as well. A cancel moves both.
    std::atomic<uint32_t> lead{0};
    std::atomic<uint32_t> seriesLead{0};
    vqp::Request sentSeries;  // the latest Request or Subscribe sent (owning thread only)
    std::string dumpText;

    vqp::Request toRequest(vqp::Action action) const;
};

namespace libquote {
QJsonObject ctxToJson(const QuoteCtx& c);
// Applies the keys of a context text; false when the text is not a JSON object.
bool ctxFromJson(QuoteCtx& c, const QJsonObject& o);
}  // namespace libquote
