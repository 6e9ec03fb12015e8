// The folder of imported data (DATA/market/import) and the binary form the import keeps bars
// in, so that a server starts on thousands of imported series without parsing text:
//     securities.csv        the securities list (see security_list.h)
//     CODE.MARKET.day       daily bars
//     CODE.MARKET.min       1-minute bars
//     CODE.MARKET.div.csv   dividends: date,cash,bonus_shares,rights_shares,rights_price
//     stamp                 a number that changes with every import
// A bar file is "VQB1", a 32-bit kind (1 daily, 2 minute), a 64-bit count and the bars as
// stored in memory. Earlier versions kept daily bars as CODE.MARKET.csv; those still load.
#pragma once

#include "server/market/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vq::market {

enum class BarFileKind : uint32_t { Daily = 1, Minute = 2 };

std::string encodeBars(BarFileKind kind, const std::vector<Bar>& bars);
// The whole file; false when it is missing, damaged or of another kind.
bool readBarFile(const std::string& path, BarFileKind kind, std::vector<Bar>& out);
// The newest `n` bars only (the start of a market needs no more).
bool readLastBars(const std::string& path, BarFileKind kind, size_t n, std::vector<Bar>& out);

// Written next to the target and renamed over it: a crash never leaves half a file.
bool writeFileAtomically(const std::string& path, const std::string& bytes);
std::string readWholeFile(const std::string& path, bool* ok = nullptr);

}  // namespace vq::market
