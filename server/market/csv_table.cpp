#include "server/market/csv_table.h"

// The library copies file names with strncpy into a buffer it terminates itself.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-truncation"
#include <libfccp/csv.h>
#pragma GCC diagnostic pop

namespace vq::market {

namespace {

using Quote = io::double_quote_escape<',', '"'>;
using Trim = io::trim_chars<' ', '\t'>;

}  // namespace

CsvTable readCsv(const std::string& text, const std::string& name) {
    CsvTable table;
    // The reader works on its own copy of the bytes, so the text may be any size.
    io::LineReader in(name, text.data(), text.data() + text.size());
    try {
        while (char* line = in.next_line()) {
            if (io::empty_line_comment::is_comment(line))
                continue;
            CsvRow row;
            row.line = int(in.get_file_line());
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
