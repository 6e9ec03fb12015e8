// The generated universe: every security, every block and who belongs where, built from
// the seed alone so that it is the same on every run and on every machine.
#pragma once

#include "server/market/market.h"
#include "server/market/security_list.h"
#include "server/market/types.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vq::market {

// How the generator moves one security; not part of the read API.
struct SimParams {
    int industry = -1;         // index into names::industries() (stocks), -1 otherwise
    double beta = 1;           // loading on the market factor
    double industryLoad = 0;   // loading on its industry factor
    double turnover = 0.01;    // typical share of float traded per day
    double tradeRate = 0.2;    // trades per second in an average minute
    double dividendYield = 0;  // typical yearly cash yield
    int historyStart = 0;      // first day of history (yyyymmdd)
    double tick = 0.01;        // price step
    int lot = 100;             // shares per board lot
    bool convertible = false;
    // Indices and blocks: the members whose moves make the series, weighted by float
    // capitalisation.
    std::vector<int> members;
};

struct Universe {
    std::vector<Security> securities;
    std::vector<SimParams> params;
    std::vector<MembershipTexts> membership;
    std::vector<BlockInfo> blocks;                       // sorted by id
    std::vector<std::vector<int64_t>> blocksOfSecurity;  // market-90 blocks per security
    std::unordered_map<std::string, int> byKey;          // code + '/' + market
    int firstHistoryDay = 0;

    const BlockInfo* block(int64_t id) const;
    int find(std::string_view code, int market) const;
    static std::string key(std::string_view code, int market);
};

// Builds the universe. `aShares` A-share stocks; history starts at `firstHistoryDay`
// (listing dates before it are cut to it). Securities of `listed` that the generated ones
// lack join them (after the bonds, before the indices, so that the blocks and indices their
// codes belong to count them); the name, letters and share capital of a listed security the
// universe has are taken from the list.
Universe buildUniverse(uint64_t seed, int aShares, int firstHistoryDay, int today,
                       const std::vector<ListedSecurity>& listed = {});

}  // namespace vq::market
