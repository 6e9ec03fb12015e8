#include "server/market/pinyin.h"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>

#include <memory>

namespace vq::market {

namespace {

// Transliterators are not safe to share between threads; one per caller keeps it simple.
std::unique_ptr<icu::Transliterator> makeTransliterator() {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> t(
        icu::Transliterator::createInstance("Han-Latin; Latin-ASCII", UTRANS_FORWARD, status));
    return U_SUCCESS(status) ? std::move(t) : nullptr;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

}  // namespace

std::string pinyinInitials(const std::string& utf8Name) {
    thread_local std::unique_ptr<icu::Transliterator> han = makeTransliterator();
    std::string out;
    const icu::UnicodeString name = icu::UnicodeString::fromUTF8(utf8Name);
    for (int32_t k = 0; k < name.length() && out.size() < 6;) {
        const UChar32 c = name.char32At(k);
        k += U16_LENGTH(c);
        UErrorCode status = U_ZERO_ERROR;
        if (uscript_getScript(c, &status) == USCRIPT_HAN) {
            if (!han)
                continue;
            icu::UnicodeString one(c);
            han->transliterate(one);
            std::string latin;
            one.toUTF8String(latin);
            if (!latin.empty() &&
                ((latin[0] >= 'a' && latin[0] <= 'z') || (latin[0] >= 'A' && latin[0] <= 'Z')))
                out += upper(latin[0]);
            continue;
        }
        // Full-width letters and digits count as their ASCII forms.
        UChar32 a = c;
        if (a >= 0xFF01 && a <= 0xFF5E)
            a -= 0xFEE0;
        if ((a >= '0' && a <= '9') || (a >= 'A' && a <= 'Z') || (a >= 'a' && a <= 'z'))
            out += upper(char(a));
    }
    return out;
}

}  // namespace vq::market
