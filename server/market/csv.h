// Readers of the CSV files real data is imported from (see import.h for the layouts).
//
// A bar file may start with a header, recognised by its column names (date or datetime,
// optionally time, open, high, low, close, volume, optionally amount; other columns such as
// openinterest or code are passed over). Without a header the columns are
// date,open,high,low,close,volume[,amount], or date,time,open,… for minute bars. Dates are
// YYYY-MM-DD, YYYYMMDD or YYYY/MM/DD, optionally followed by a time (HH:MM[:SS]).
//
// Rows must be in ascending time. Strict reading rejects the whole file on the first kind
// of any problem and lists each one; with `skipBadRows` a bad row is reported and left out.
#pragma once

#include "server/market/history.h"

#include <string>
#include <vector>

namespace vq::market {

enum class BarKind { Daily, Minute };

struct BarReadOptions {
    bool skipBadRows = false;
    int latestDay = 0;  // rows after this yyyymmdd are refused; 0 for no limit
};

struct BarFile {
    std::vector<int> days;  // yyyymmdd of each bar
    std::vector<Bar> bars;  // ascending; daily bars end at 15:00, minute bars at their minute
    int skipped = 0;        // rows left out (skipBadRows only)
};

// Reads a bar file. Every problem goes to `problems` as "name:line: why". Returns false
// when the file is rejected: any problem in strict mode, or (skipping) a file without a
// usable header or without a single good row.
bool readBarsCsv(const std::string& text, const std::string& name, BarKind kind,
                 const BarReadOptions& options, BarFile& out, std::vector<std::string>& problems);

// Daily bars of the minute bars of each day.
BarFile dailyFromMinutes(const BarFile& minutes);

// Parses daily bars leniently (bad rows reported and skipped, a repeated date keeps its last
// row); used for files written by an earlier version of the importer.
DailySeries parseDailyCsv(const std::string& text, const std::string& name,
                          std::vector<std::string>& errors);
// Parses dividend rows into `series.dividends`, computing each event's factor from the
// close before its ex-date in `series.bars`. Returns false when any row is bad.
bool parseDividendCsv(const std::string& text, const std::string& name, DailySeries& series,
                      std::vector<std::string>& errors);
// A date as yyyy-mm-dd, yyyy/mm/dd or yyyymmdd; 0 if it is not a valid calendar date.
int parseDate(const std::string& text);
// A date with an optional time ("2024-06-14 09:31[:00]", "2024-06-14T09:31:00"): the date,
// and the second of day in `second` (-1 when there is no time). 0 if it is not valid.
int parseDateTime(const std::string& text, int& second);

}  // namespace vq::market
