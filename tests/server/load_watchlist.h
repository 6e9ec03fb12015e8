// The watchlist the load tools read: ten groups of fifty Shanghai codes, as one batch of
// commands for store::Watchlists::apply.
#ifndef VQ_TESTS_SERVER_LOAD_WATCHLIST_H
#define VQ_TESTS_SERVER_LOAD_WATCHLIST_H

#include <QString>

#include <vector>

#include "server/store/watchlists.h"

inline std::vector<vq::store::WatchCommand> loadWatchlistBatch() {
    using namespace vq;
    std::vector<store::WatchCommand> batch;
    for (int g = 1; g <= 10; ++g) {
        store::WatchCommand c;
        c.kind = store::WatchCommand::Kind::Rename;
        c.groupId = QString::number(g);
        c.groupName = QStringLiteral("自选股%1").arg(g);
        batch.push_back(c);
        for (int i = 0; i < 50; ++i) {
            store::WatchCommand a;
            a.kind = store::WatchCommand::Kind::Add;
            a.groupId = c.groupId;
            a.code = QString::number(600000 + g * 100 + i);
            a.market = 1;
            batch.push_back(a);
        }
    }
    return batch;
}

#endif
