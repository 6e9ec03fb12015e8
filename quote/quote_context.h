#pragma once

#include "libquote/quote.h"

#include <QString>

#include <memory>

// A quote-engine context under shared ownership: the last owner's release hands it back to
// the engine (quote_ctx_release), which also ends its subscription.
using QuoteContext = std::shared_ptr<QuoteCtx>;

// A fresh context of the engine.
QuoteContext createQuoteContext();

// The 17-byte key of a security: the code as UTF-8 cut to 16 bytes and zero-filled, then
// the market number as one byte.
QuoteSecurityKey quoteSecurityKey(const QString& code, unsigned market);
