// Readers of the CSV files real data is imported from (see import.h for the layout).
#pragma once

#include "server/market/history.h"

#include <string>
#include <vector>

namespace vq::market {

// Parses daily bars; bad rows are reported ("name:line: why") and skipped. Rows are sorted
// by date and a repeated date keeps its last row.
DailySeries parseDailyCsv(const std::string& text, const std::string& name,
                          std::vector<std::string>& errors);
// Parses dividend rows into `series.dividends`, computing each event's factor from the
// close before its ex-date in `series.bars`.
void parseDividendCsv(const std::string& text, const std::string& name, DailySeries& series,
                      std::vector<std::string>& errors);
// A date as yyyy-mm-dd, yyyy/mm/dd or yyyymmdd; 0 if it is not a valid calendar date.
int parseDate(const std::string& text);

}  // namespace vq::market
