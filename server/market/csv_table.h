// Rows of a CSV text as fields, read with the fast-cpp-csv-parser line reader and its
// double-quote rules: a UTF-8 byte-order mark is dropped, CRLF and LF both end a line,
// "quoted, fields" keep their separators and "" stands for one quote. Fields are trimmed
// of blanks. Empty lines are left out; every row keeps its line number for messages.
#pragma once

#include <string>
#include <vector>

namespace vq::market {

struct CsvRow {
    int line = 0;  // 1-based line number in the file
    std::vector<std::string> fields;
};

struct CsvTable {
    std::vector<CsvRow> rows;
    std::string error;  // "name:line: why" when the text could not be read, else empty
};

// Reads every row of `text` (UTF-8, or GBK/GB18030 as Chinese tools save it); `name` goes
// into the error text.
CsvTable readCsv(const std::string& text, const std::string& name);

// The text as UTF-8: unchanged when it is UTF-8 already, otherwise read as GB18030.
std::string utf8Text(const std::string& bytes);

// One field as it has to be written so that readCsv gives it back unchanged.
std::string csvField(const std::string& value);

}  // namespace vq::market
