/* The public header is C: this file is compiled as C into the context test, so a C++-only
 * construct in the header breaks the build. */
#include "libquote/quote.h"

_Static_assert(sizeof(QuoteCodeInfo) == 90, "QuoteCodeInfo is 90 bytes in C too");
_Static_assert(sizeof(QuoteRealTimeMarket) == 464, "QuoteRealTimeMarket is 464 bytes in C too");
_Static_assert(sizeof(QuoteKPoint) == 56, "QuoteKPoint is 56 bytes in C too");

int vq_c_api_check(void) {
    QuoteCtx* c = quote_ctx_create();
    quote_ctx_set_peroid(c, 33);
    quote_ctx_release(c);
    return __quote_version_check(1, 19, 0);
}
