// The finished days after the generated history, on disk, so a restart shows the same
// history. DATA/market/days-SEED-N/ holds "anchor" (the last generated day) and one file of
// day bars per later trading day: "VQD2", the bar count, the fingerprint of the universe the
// bars belong to, then the bars as they are in memory. The folder names the seed and
// universe size, so a server started with another seed never mixes its days with these.
#pragma once

#include "server/market/types.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vq::market {

std::filesystem::path dayDir(const std::string& dataDir, uint64_t seed, int aShares);

// Reads the saved anchor, or saves `anchor` when there is none usable (a later day than
// `anchor`, or no trading day), and returns the one in force. Fills `stored` and `prints`
// with every intact stored day after it and the fingerprint it was written with. Unless
// `demo`, days from `today` on are passed over: a real clock never takes a day from its own
// future (a demo run may have written some).
int openDayStore(const std::filesystem::path& dir, int anchor, int today, bool demo,
                 std::map<int, std::vector<Bar>>& stored, std::map<int, uint64_t>& prints);

// Writes one day's bars (every security's, in universe order) in place of any earlier file.
void storeDay(const std::filesystem::path& dir, int day, const std::vector<Bar>& bars,
              uint64_t fingerprint);

// Stored days belong to the universe they were written with; this names it. An import's
// stamp (0 without one) counts too: the days after an import continued the series it
// replaced.
uint64_t universeFingerprint(const std::vector<Security>& securities, uint64_t importStamp);

}  // namespace vq::market
