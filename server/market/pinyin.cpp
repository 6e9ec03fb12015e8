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

// Characters whose most common reading is not the one security names use, and the words
// that read them otherwise again (银行 is a bank, 成长 growth, 重庆 a city).
struct Reading {
    const char* text;
    const char* initials;
};
const Reading kWords[] = {
    {"银行", "YH"}, {"商行", "SH"}, {"农行", "NH"}, {"投行", "TH"}, {"行业", "HY"},
    {"成长", "CZ"}, {"增长", "ZZ"}, {"生长", "SZ"}, {"重庆", "CQ"}, {"大厦", "DS"},
    {"成都", "CD"}, {"首都", "SD"}, {"音乐", "YY"}, {"单县", "SX"},
};
const Reading kCharacters[] = {
    {"长", "C"},  // 长江, 长城, 长安, 长春
    {"重", "Z"},  // 重工, 重机, 重型
    {"厦", "X"},  // 厦门
};

char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

}  // namespace

std::string pinyinInitials(const std::string& utf8Name) {
    thread_local std::unique_ptr<icu::Transliterator> han = makeTransliterator();
    std::string out;
    const icu::UnicodeString name = icu::UnicodeString::fromUTF8(utf8Name);
    for (int32_t k = 0; k < name.length() && out.size() < 6;) {
        bool known = false;
        for (const Reading& w : kWords) {
            const icu::UnicodeString word = icu::UnicodeString::fromUTF8(w.text);
            if (name.compare(k, word.length(), word) == 0) {
                out += w.initials;
                k += word.length();
                known = true;
                break;
            }
        }
        if (known)
            continue;
        const UChar32 c = name.char32At(k);
        k += U16_LENGTH(c);
        for (const Reading& r : kCharacters)
            if (icu::UnicodeString::fromUTF8(r.text).char32At(0) == c) {
                out += r.initials;
                known = true;
            }
        if (known)
            continue;
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
    return out.substr(0, 6);
}

}  // namespace vq::market
