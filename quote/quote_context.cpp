#include "quote/quote_context.h"

#include <algorithm>
#include <cstring>

QuoteContext createQuoteContext() {
    return QuoteContext(quote_ctx_create(), [](QuoteCtx* ctx) { quote_ctx_release(ctx); });
}

QuoteSecurityKey quoteSecurityKey(const QString& code, unsigned market) {
    QuoteSecurityKey key{};
    const QByteArray utf8 = code.toUtf8();
    std::memcpy(key.code, utf8.constData(), std::min<size_t>(size_t(utf8.size()), sizeof key.code));
    key.market = uint8_t(market);
    return key;
}
