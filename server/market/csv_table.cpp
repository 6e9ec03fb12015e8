#include "server/market/csv_table.h"

// The library copies file names with strncpy into a buffer it terminates itself.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-truncation"
#include <libfccp/csv.h>
#pragma GCC diagnostic pop

#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace vq::market {

namespace {

using Quote = io::double_quote_escape<',', '"'>;
using Trim = io::trim_chars<' ', '\t'>;

bool isUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t n = int32_t(text.size());
    for (int32_t k = 0; k < n;) {
        UChar32 c;
        U8_NEXT(p, k, n, c);
        if (c < 0)
            return false;
    }
    return true;
}

}  // namespace

std::string utf8Text(const std::string& bytes) {
    if (bytes.size() > size_t(INT32_MAX) || isUtf8(bytes))
        return bytes;
    // Files saved by Chinese spreadsheets and exchange tools are mostly GBK, which GB18030
    // contains.
    const icu::UnicodeString text(bytes.data(), int32_t(bytes.size()), "GB18030");
    std::string out;
    text.toUTF8String(out);
    return out;
}

CsvTable readCsv(const std::string& raw, const std::string& name) {
    CsvTable table;
    const std::string text = utf8Text(raw);
    // The reader works on its own copy of the bytes, so the text may be any size.
    io::LineReader in(name, text.data(), text.data() + text.size());
    try {
        while (char* line = in.next_line()) {
            if (io::empty_line_comment::is_comment(line))
                continue;
            CsvRow row;
            row.line = int(in.get_file_line());
            row.fields.reserve(8);
            char* rest = line;
            while (rest) {
                char *begin = nullptr, *end = nullptr;
                io::detail::chop_next_column<Quote>(rest, begin, end);
                Trim::trim(begin, end);
                Quote::unescape(begin, end);
                row.fields.emplace_back(begin, end);
            }
            table.rows.push_back(std::move(row));
        }
    } catch (const io::error::escaped_string_not_closed&) {
        table.error =
            name + ":" + std::to_string(in.get_file_line()) + ": a quoted field is not closed";
    } catch (const io::error::base& e) {
        table.error = name + ":" + std::to_string(in.get_file_line()) + ": " + e.what();
    }
    return table;
}

std::string csvField(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos &&
        value == std::string(value.c_str()) &&
        (value.empty() || (value.front() != ' ' && value.back() != ' ')))
        return value;
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace vq::market
