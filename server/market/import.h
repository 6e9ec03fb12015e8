// Real data instead of generated series: `veltoquorin-server import DIR`.
//
// DIR holds one CSV file per security, named CODE.MARKET.csv (e.g. 600000.1.csv) or
// CODE.csv (market taken from the code), with the columns
//     date,open,high,low,close,volume,amount
// (date yyyy-mm-dd or yyyymmdd; a header line is optional), and optionally
// CODE[.MARKET].div.csv with
//     date,cash,bonus_shares,rights_shares,rights_price
// (values per share). The files are checked and copied into DATADIR/market/import, where
// the market finds them on start and uses them in place of the generated series. The days
// the market stored after its generated history are dropped, since they continued the
// series that the import replaces.
#pragma once

#include <string>
#include <vector>

namespace vq::market {

struct ImportReport {
    int securities = 0;               // daily files accepted
    int bars = 0;                     // bars accepted in them
    int dividends = 0;                // dividend rows accepted
    std::vector<std::string> errors;  // one line per rejected file or row ("file:line: why")
};

// Returns false when DIR cannot be read or nothing could be imported; rows that fail are
// reported in `report.errors` and left out, the rest of the file is kept.
bool importCsv(const std::string& dir, const std::string& dataDir, ImportReport& report);

}  // namespace vq::market
