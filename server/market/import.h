// Real data instead of generated series: `veltoquorin-server import DIR`.
//
// DIR holds CSV files (layouts in csv.h and security_list.h):
//     CODE.csv or CODE.MARKET.csv           daily bars (MARKET 1 Shanghai, 2 Shenzhen; taken
//                                           from the code when left out)
//     CODE[.MARKET].min.csv                 1-minute bars
//     CODE[.MARKET].div.csv                 dividends: date,cash,bonus_shares,rights_shares,
//                                           rights_price (per share)
//     securities.csv                        the securities list: codes the generated universe
//                                           lacks are added from it
// A bar file must name a security of the universe or of the list (this import's or an
// earlier one's). A security with minute bars but no daily file gets daily bars made of its
// minutes.
//
// All or nothing: every file is read and checked before anything changes. The new data is
// written to a staging folder beside DATA/market/import (earlier imports linked in) and
// swapped with it in one rename, so a crash at any point leaves the old data or the new,
// never a mix. With `skipBadRows` bad rows are left out and reported, and a file that
// cannot be used at all is reported and left out; the rest is imported.
//
// The stored days after the generated history continued the replaced series; they are
// dropped, and the next start fills them in again from the imported closes. A running
// server goes on with the data it started with and sees the import at its next start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vq::market {

struct ImportOptions {
    bool skipBadRows = false;
    // The universe the data joins (as the server's --seed; the A-share count of a full
    // market).
    uint64_t seed = 20240101;
    int aShares = 4200;
    int today = 0;  // yyyymmdd after which bars are refused; 0: today in Beijing
};

struct ImportReport {
    int securities = 0;  // securities whose daily bars were imported
    int bars = 0;        // daily bars in them
    int minuteSecurities = 0;
    int64_t minuteBars = 0;
    int dividends = 0;  // dividend rows
    int listed = 0;     // rows of the securities list read
    int added = 0;      // securities the universe lacks, added from the list
    int skippedRows = 0;
    int rejectedFiles = 0;
    std::vector<std::string> errors;  // "file:line: why", or "file: why"
    std::vector<std::string> notes;   // worth knowing, not wrong
};

// Returns true when everything was imported. On false, in strict mode nothing changed; with
// skipBadRows what was valid was imported.
bool importCsv(const std::string& dir, const std::string& dataDir, ImportReport& report,
               const ImportOptions& options = {});

}  // namespace vq::market
