// The sample stock pools of a new demo server: chosen from the market's own figures, each
// ordered by what it is named after, published only where no pool exists yet.
#include "server/demo/demo_pools.h"
#include "server/market/calendar.h"
#include "server/store/database.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <set>

using namespace vq;

namespace {

market::Market& testMarket() {
    static std::unique_ptr<market::Market> m = [] {
        market::Options o;
        o.clock = market::ClockMode::Manual;
        o.startTime = market::beijingTime(20240614, 14, 0);
        o.aShares = 600;
        return market::Market::create(o);
    }();
    return *m;
}

const market::Security& securityOf(const store::PoolCode& c) {
    market::Market& m = testMarket();
    return *m.security(m.find(c.code.toStdString(), c.market));
}

double priceOf(const market::Security& s) {
    const vqp::Snapshot& q = testMarket().snapshot()->quote(s.index);
    return q.close > 0 ? q.close : q.pre_close;
}

using Key = std::function<double(const market::Security&)>;
using Rule = std::function<bool(const market::Security&)>;

}  // namespace

Q_DECLARE_METATYPE(Key)
Q_DECLARE_METATYPE(Rule)

class TestDemoPools : public QObject {
    Q_OBJECT
private slots:
    void poolsFollowTheirNames_data() {
        QTest::addColumn<int>("pool");
        QTest::addColumn<QString>("name");
        QTest::addColumn<Rule>("rule");
        QTest::addColumn<Key>("key");  // ascending along the pool
        const Key largestFirst = [](const market::Security& s) {
            return -double(s.totalShares) * priceOf(s);
        };
        QTest::newRow("largest companies")
            << 0 << "大盘蓝筹" << Rule([](const market::Security&) { return true; })
            << largestFirst;
        QTest::newRow("lowest price-earnings")
            << 1 << "低市盈率" << Rule([](const market::Security& s) { return s.eps > 0; })
            << Key([](const market::Security& s) { return priceOf(s) / s.eps; });
        QTest::newRow("rated buy")
            << 2 << "评级买入" << Rule([](const market::Security& s) { return s.rating == 5; })
            << largestFirst;
    }
    void poolsFollowTheirNames() {
        QFETCH(int, pool);
        QFETCH(QString, name);
        QFETCH(Rule, rule);
        QFETCH(Key, key);
        const std::vector<demo::PoolChoice> pools = demo::choosePools(testMarket(), 30);
        QCOMPARE(int(pools.size()), 3);
        const demo::PoolChoice& p = pools[size_t(pool)];
        QCOMPARE(p.name, name);
        QCOMPARE(int(p.codes.size()), 30);
        std::set<int> seen;
        double last = -1e300;
        for (const store::PoolCode& c : p.codes) {
            const market::Security& s = securityOf(c);
            QVERIFY(seen.insert(s.index).second);
            QCOMPARE(s.type, market::SecType::Stock);
            QVERIFY(!s.st);
            QVERIFY(rule(s));
            QVERIFY(key(s) >= last);
            last = key(s);
        }
        // Nothing left out ranks before the last one taken.
        for (const market::Security& s : testMarket().securities()) {
            if (s.type == market::SecType::Stock && !s.st && rule(s) && priceOf(s) > 0 &&
                !seen.count(s.index)) {
                QVERIFY2(key(s) >= last, s.code.c_str());
            }
        }
    }

    void publishedOnlyWithoutPools() {
        QTemporaryDir dir;
        store::DbConfig config;
        config.path = dir.filePath("demo.db");
        store::Database db(config);
        QString error;
        QVERIFY2(db.open(&error), qPrintable(error));
        store::Publications publications(db);
        QVERIFY(demo::seedPools(publications, testMarket()));
        QCOMPARE(publications.pools().size(), 3);
        QCOMPARE(publications.pools().at(0).toObject().value("stocks").toArray().size(), 30);
        // An operator's pools are never added to.
        QVERIFY(!demo::seedPools(publications, testMarket()));
        QCOMPARE(publications.pools().size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestDemoPools)
#include "tst_demo_pools.moc"
