// The market as the quote service sees it: universe and blocks, snapshot versions, the
// consistency of every quote field during a session, series of the running day, the day
// roll, alerts, bad input, and readers running against the writer.
#include "server/market/calendar.h"
#include "server/market/market.h"

#include <QtTest>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <thread>

using namespace vq::market;

namespace {

constexpr int kDay = 20240614;  // a Friday; the next trading day is 20240617

Options smallMarket(int hour, int minute) {
    Options o;
    o.seed = 99;
    o.clock = ClockMode::Manual;
    o.aShares = 300;
    o.startTime = beijingTime(kDay, hour, minute);
    return o;
}

bool near(double a, double b, double tol) {
    return std::abs(a - b) <= tol;
}

QString codeOf(const Quote& q) {
    return QString::fromUtf8(q.info.code);
}

}  // namespace

class TestLive : public QObject {
    Q_OBJECT
    std::unique_ptr<Market> m_;

private slots:
    void initTestCase() { m_ = Market::create(smallMarket(10, 30)); }

    void universeIsDeterministic() {
        auto other = Market::create(smallMarket(9, 0));
        QCOMPARE(other->securities().size(), m_->securities().size());
        for (size_t i = 0; i < m_->securities().size(); i += 7) {
            QCOMPARE(other->securities()[i].code, m_->securities()[i].code);
            QCOMPARE(other->securities()[i].name, m_->securities()[i].name);
            QCOMPARE(other->securities()[i].basePrice, m_->securities()[i].basePrice);
        }
        Options o = smallMarket(9, 0);
        o.seed = 100;
        auto different = Market::create(o);
        int same = 0;
        for (size_t i = 0; i < 300; ++i)
            same += different->securities()[i].name == m_->securities()[i].name;
        QVERIFY(same < 30);
    }

    void universeShape() {
        std::set<std::pair<std::string, int>> keys;
        std::set<std::string> names;
        int blocks = 0;
        for (const Security& s : m_->securities()) {
            QVERIFY(!s.code.empty() && s.code.size() <= 16);
            QVERIFY2(keys.insert({s.code, s.market}).second, s.code.c_str());
            QVERIFY(!s.name.empty());
            QVERIFY(!s.pinyin.empty() && s.pinyin.size() <= 6);
            for (char c : s.pinyin)
                QVERIFY(std::isupper(static_cast<unsigned char>(c)) ||
                        std::isdigit(static_cast<unsigned char>(c)));
            QCOMPARE(m_->find(s.code, s.market), s.index);
            // Digits in a name are typed as digits: "21国债05" is found with "21GZ05".
            auto digits = [](const std::string& t) {
                std::string d;
                for (char c : t)
                    if (c >= '0' && c <= '9')
                        d += c;
                return d;
            };
            QVERIFY2(digits(s.name) == digits(s.pinyin), (s.name + " " + s.pinyin).c_str());
            if (s.type == SecType::Stock) {
                QVERIFY(names.insert(s.name).second);
                QVERIFY(s.industry && s.region && s.concepts.size() >= 2);
                QVERIFY(s.totalShares >= s.floatShares && s.floatShares > 0);
                const MembershipTexts& t = m_->membership(s.index);
                QVERIFY(!t.industry.empty() && !t.region.empty() && !t.concept.empty());
                // Membership both ways.
                for (int64_t id : m_->blocksOf(s.index)) {
                    const BlockInfo* b = m_->block(id);
                    QVERIFY(b && std::binary_search(b->members.begin(), b->members.end(), s.index));
                }
                QCOMPARE(m_->blocksOf(s.index).size(), s.concepts.size() + 2);
            }
            if (s.type == SecType::Block) {
                ++blocks;
                QCOMPARE(int(s.market), 90);
                QVERIFY(s.code.rfind("BK", 0) == 0);
                QVERIFY(m_->block(s.blockId));
                QCOMPARE(m_->indexBlockId(s.code, 90), s.blockId);
            }
        }
        QVERIFY(blocks >= 100);
        int total = 0;
        for (int cat : {int(Region), int(Industry), int(Concept)}) {
            const auto ids = m_->blocksOfCategory(cat);
            QVERIFY(!ids.empty());
            for (int64_t id : ids)
                QCOMPARE(m_->block(id)->category, cat);
            total += int(ids.size());
        }
        QCOMPARE(total, blocks);
    }

    void presetBlocks_data() {
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("prefixes");  // code prefixes of every member, "|"-separated
        QTest::addColumn<int>("market");        // 0: either
        QTest::newRow("沪深A") << qint64(preset::HsA)
                               << "600|601|603|605|688|000|001|002|003|300|301" << 0;
        QTest::newRow("上证A") << qint64(preset::ShA) << "600|601|603|605|688" << 1;
        QTest::newRow("深圳A") << qint64(preset::SzA) << "000|001|002|003|300|301" << 2;
        QTest::newRow("中小板") << qint64(preset::Sme) << "002|003" << 2;
        QTest::newRow("创业板") << qint64(preset::ChiNext) << "300|301" << 2;
        QTest::newRow("科创板") << qint64(preset::Star) << "688" << 1;
        QTest::newRow("上海B") << qint64(preset::ShB) << "900" << 1;
        QTest::newRow("深圳B") << qint64(preset::SzB) << "200" << 2;
        QTest::newRow("上海债券") << qint64(preset::ShBond) << "019|122|113" << 1;
        QTest::newRow("深圳债券") << qint64(preset::SzBond) << "101|112|123" << 2;
        QTest::newRow("上证50") << qint64(preset::Sh50) << "600|601|603|605|688" << 1;
        QTest::newRow("行业板块 as a block") << qint64(Industry) << "BK" << 90;
        QTest::newRow("概念板块 as a block") << qint64(Concept) << "BK" << 90;
        QTest::newRow("沪深300") << qint64(preset::Hs300)
                                 << "600|601|603|605|688|000|001|002|003|300|301" << 0;
    }
    void presetBlocks() {
        QFETCH(qint64, id);
        QFETCH(QString, prefixes);
        QFETCH(int, market);
        const BlockInfo* b = m_->block(id);
        QVERIFY(b);
        QVERIFY(!b->members.empty());
        QVERIFY(std::is_sorted(b->members.begin(), b->members.end()));
        const QStringList ps = prefixes.split('|');
        for (int i : b->members) {
            const Security& s = m_->securities()[size_t(i)];
            bool ok = false;
            for (const QString& p : ps)
                ok = ok || QString::fromStdString(s.code).startsWith(p);
            QVERIFY2(ok, s.code.c_str());
            if (market)
                QCOMPARE(int(s.market), market);
        }
        // The block's index names it.
        if (b->security >= 0)
            QCOMPARE(m_->securities()[size_t(b->security)].blockId, int64_t(id));
    }

    void namedIndices_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("market");
        QTest::addColumn<QString>("name");
        QTest::newRow("1A0001") << "1A0001" << 1 << "上证指数";
        QTest::newRow("1A0004") << "1A0004" << 1 << "";
        QTest::newRow("399001") << "399001" << 2 << "深证成指";
        QTest::newRow("399005") << "399005" << 2 << "";
        QTest::newRow("399006") << "399006" << 2 << "创业板指";
    }
    void namedIndices() {
        QFETCH(QString, code);
        QFETCH(int, market);
        QFETCH(QString, name);
        const int i = m_->find(code.toStdString(), market);
        QVERIFY(i >= 0);
        const Security& s = m_->securities()[size_t(i)];
        QCOMPARE(s.type, SecType::Index);
        if (!name.isEmpty())
            QCOMPARE(QString::fromStdString(s.name), name);
        const Quote& q = m_->snapshot()->quote(i);
        QCOMPARE(int(q.info.type), 1);
        QVERIFY(q.all_count > 0);
        QCOMPARE(q.rise_count + q.fall_count + q.flat_count, q.all_count);
        QVERIFY(q.close > 0 && q.vol > 0);
    }

    void quotesAreConsistent() {
        const SnapshotPtr snap = m_->snapshot();
        QCOMPARE(snap->phase, Phase::Continuous);
        QCOMPARE(snap->tradingDay, kDay);
        int traded = 0;
        for (const Security& s : m_->securities()) {
            const Quote& q = snap->quote(s.index);
            const QString what = codeOf(q);
            QCOMPARE(QString::fromStdString(s.code), what);
            QVERIFY(q.pre_close > 0);
            QVERIFY2(near(q.rf_value, q.close - q.pre_close, 1e-3), qPrintable(what));
            QVERIFY2(near(q.rf_rate, (q.close - q.pre_close) / q.pre_close, 1e-5),
                     qPrintable(what));
            if (q.vol == 0)
                continue;
            ++traded;
            QVERIFY2(q.low <= q.close && q.close <= q.high && q.low <= q.open && q.open <= q.high,
                     qPrintable(what));
            QVERIFY(near(q.amplitude, (q.high - q.low) / q.pre_close, 1e-5));
            if (s.type == SecType::Index || s.type == SecType::Block)
                continue;
            QVERIFY(near(q.swap, double(q.vol) / double(s.floatShares), 1e-6));
            QVERIFY2(q.avg_price >= q.low - 1e-3 && q.avg_price <= q.high + 1e-3, qPrintable(what));
            QVERIFY(near(q.sum / double(q.vol), q.avg_price, 1e-3 * q.avg_price));
            QVERIFY(q.red_vol + q.green_vol <= q.vol);
            QVERIFY(q.cur_vol > 0 && q.cur_vol <= q.vol);
            // Limits: a tenth (a fifth, a twentieth) of the previous close, to the tick.
            const double lim = s.limitRate();
            QVERIFY(near(q.rise_limit, q.pre_close * (1 + lim), 0.0051 + 1e-4));
            QVERIFY(near(q.fall_limit, q.pre_close * (1 - lim), 0.0051 + 1e-4));
            QVERIFY(q.close <= q.rise_limit + 1e-4 && q.close >= q.fall_limit - 1e-4);
            int64_t b = 0, a = 0;
            for (int k = 0; k < 5; ++k) {
                b += q.bid_vol[k];
                a += q.ask_vol[k];
                if (k > 0 && q.bid_price[k] > 0)
                    QVERIFY(q.bid_price[k] < q.bid_price[k - 1]);
                if (k > 0 && q.ask_price[k] > 0)
                    QVERIFY(q.ask_price[k] > q.ask_price[k - 1]);
                QVERIFY(q.bid_price[k] <= q.rise_limit + 1e-4);
                QVERIFY(q.ask_price[k] == 0 || q.ask_price[k] <= q.rise_limit + 1e-4);
            }
            if (q.bid_price[0] > 0 && q.ask_price[0] > 0)
                QVERIFY2(q.bid_price[0] < q.ask_price[0], qPrintable(what));
            QCOMPARE(q.committee_diff, b - a);
            if (a + b > 0)
                QVERIFY(near(q.committee, double(b - a) / double(a + b), 1e-5));
            QVERIFY(q.total_buy >= b && q.total_sell >= a);
            QVERIFY(q.d5_avg_vol > 0);
            if (s.type == SecType::Stock)
                QCOMPARE(q.block_id, s.industry);
            // An hour into the session: elapsed minutes 60.
            QVERIFY(near(q.vol_rate, (double(q.vol) / 60) / (double(q.d5_avg_vol) / 240),
                         1e-3 * q.vol_rate + 1e-4));
            if (q.eps > 0)
                QVERIFY(near(q.pe, q.close / q.eps, 1e-3 * q.pe));
        }
        QVERIFY(traded > int(m_->securities().size()) / 2);
    }

    void versionsAreImmutable() {
        auto m = Market::create(smallMarket(10, 0));
        const SnapshotPtr before = m->snapshot();
        std::vector<Quote> copy;
        for (int i = 0; i < before->size(); ++i)
            copy.push_back(before->quote(i));
        int calls = 0;
        uint64_t seen = 0;
        const int h = m->addListener([&](const SnapshotPtr& s) {
            ++calls;
            seen = s->version;
        });
        m->advanceTo(beijingTime(kDay, 10, 5));
        const SnapshotPtr after = m->snapshot();
        QCOMPARE(calls, 1);
        QCOMPARE(seen, after->version);
        QCOMPARE(after->version, before->version + 1);
        // The old version did not move; the changed list names exactly what differs.
        std::set<int> changed(after->changed.begin(), after->changed.end());
        QVERIFY(!changed.empty());
        int differing = 0;
        for (int i = 0; i < before->size(); ++i) {
            QVERIFY(std::memcmp(&copy[size_t(i)], &before->quote(i), sizeof(Quote)) == 0);
            const bool differs =
                std::memcmp(&copy[size_t(i)], &after->quote(i), sizeof(Quote)) != 0;
            differing += differs;
            if (differs)
                QVERIFY2(changed.count(i), qPrintable(codeOf(after->quote(i))));
        }
        QVERIFY(differing > 0);
        m->removeListener(h);
        m->advanceTo(beijingTime(kDay, 10, 6));
        QCOMPARE(calls, 1);
    }

    void todaySeries() {
        const SnapshotPtr snap = m_->snapshot();
        int checked = 0;
        for (const Security& s : m_->securities()) {
            const Quote& q = snap->quote(s.index);
            if (q.vol == 0 || checked > 40)
                continue;
            ++checked;
            // Today's bar closes every day series.
            const KLinePage day = m_->kline(s.index, Cycle::Day, 0, 3);
            QCOMPARE(day.bars.size(), size_t(3));
            const Bar& t = day.bars.back();
            QCOMPARE(beijingDate(t.time), kDay);
            QCOMPARE(t.close, q.close);
            QCOMPARE(t.high, q.high);
            QCOMPARE(t.low, q.low);
            QCOMPARE(t.volume, q.vol);
            QVERIFY(day.bars[1].close == q.pre_close || !m_->dividends(s.index).empty());
            // Week and month end with today too.
            QCOMPARE(m_->kline(s.index, Cycle::Week, 0, 1).bars.back().close, q.close);
            QCOMPARE(m_->kline(s.index, Cycle::Month, 0, 1).bars.back().close, q.close);
            // Minute line up to now: 60 minutes at 10:30, ending at the latest price.
            const MinuteDay md = m_->minutes(s.index, 0);
            QCOMPARE(md.tradingDay, kDay);
            QCOMPARE(md.points.size(), size_t(60));
            QCOMPARE(md.points.back().price, q.close);
            QCOMPARE(md.preClose, q.pre_close);
            int64_t v = 0;
            for (const MinutePoint& p : md.points)
                v += p.volume;
            QCOMPARE(v, q.vol);
            // One-minute bars are the same minutes; 60-minute bars: one finished bar.
            const KLinePage m1 = m_->kline(s.index, Cycle::Min1, 0, 60);
            QCOMPARE(m1.bars.size(), size_t(60));
            QCOMPARE(m1.bars.back().close, q.close);
            const KLinePage m60 = m_->kline(s.index, Cycle::Min60, 0, 2);
            QCOMPARE(beijingSecondOfDay(m60.bars.back().time), 10 * 3600 + 30 * 60);
            QCOMPARE(m60.bars.back().volume, q.vol);
            QCOMPARE(beijingDate(m60.bars.front().time), previousTradingDay(kDay));
            if (s.type == SecType::Index || s.type == SecType::Block)
                continue;
            // Ticks: every trade of the day, the auction first.
            const TickPage all = m_->ticks(s.index, 0, 100000);
            QCOMPARE(all.total, uint32_t(all.ticks.size()));
            int64_t tv = 0;
            for (const Tick& tk : all.ticks)
                tv += tk.volume;
            QCOMPARE(tv, q.vol);
            QCOMPARE(beijingSecondOfDay(all.ticks.front().time), 9 * 3600 + 25 * 60);
            QCOMPARE(all.ticks.front().price, q.open);
            QCOMPARE(all.ticks.back().price, q.close);
            const TickPage last = m_->ticks(s.index, -1, 3);
            QCOMPARE(last.first, uint32_t(std::max<int64_t>(0, int64_t(all.total) - 3)));
            const TickPage from = m_->ticks(s.index, 1, 2);
            QCOMPARE(from.first, 1u);
            if (all.ticks.size() > 2)
                QCOMPARE(from.ticks[1].time, all.ticks[2].time);
        }
        QVERIFY(checked > 10);
    }

    void klinePagingAndAdjustment() {
        for (const Security& s : m_->securities()) {
            if (s.type != SecType::Stock)
                continue;
            const auto divs = m_->dividends(s.index);
            if (divs.size() < 2)
                continue;
            const KLinePage all = m_->kline(s.index, Cycle::Day, 0, 100000);
            const KLinePage older = m_->kline(s.index, Cycle::Day, 100, 50);
            QCOMPARE(older.bars.size(), size_t(50));
            QCOMPARE(older.total, all.total);
            QCOMPARE(older.bars.back().time, all.bars[all.bars.size() - 101].time);
            const KLinePage fwd = m_->kline(s.index, Cycle::Day, 0, 100000, Adjust::Forward);
            const KLinePage bwd = m_->kline(s.index, Cycle::Day, 0, 100000, Adjust::Backward);
            QCOMPARE(fwd.bars.back().close, all.bars.back().close);
            QCOMPARE(bwd.bars.front().close, all.bars.front().close);
            // Across an ex-date the adjusted series has no gap from the event itself: the
            // adjusted change equals the change against the ex-rights reference.
            const Dividend& d = divs.back();
            for (size_t k = 1; k < all.bars.size(); ++k) {
                if (beijingDate(all.bars[k].time) != d.exDate)
                    continue;
                const double raw = all.bars[k].close / (all.bars[k - 1].close * d.factor);
                QVERIFY(near(fwd.bars[k].close / fwd.bars[k - 1].close, raw, 2e-4));
                QVERIFY(near(bwd.bars[k].close / bwd.bars[k - 1].close, raw, 2e-4));
            }
            return;
        }
        QFAIL("no stock with two dividends");
    }

    void badInput_data() {
        QTest::addColumn<int>("security");
        QTest::addColumn<int>("cycle");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("skip");
        QTest::newRow("negative index") << -1 << 33 << 10 << 0;
        QTest::newRow("index past the end") << 1000000 << 33 << 10 << 0;
        QTest::newRow("cycle 32") << 0 << 32 << 10 << 0;
        QTest::newRow("cycle 41") << 0 << 41 << 10 << 0;
        QTest::newRow("no rows") << 0 << 33 << 0 << 0;
        QTest::newRow("negative rows") << 0 << 33 << -5 << 0;
        QTest::newRow("negative skip") << 0 << 35 << 10 << -1;
        QTest::newRow("skip beyond") << 0 << 33 << 10 << 1000000;
        QTest::newRow("huge skip, minute cycle") << 0 << 34 << 10 << INT_MAX;
    }
    void badInput() {
        QFETCH(int, security);
        QFETCH(int, cycle);
        QFETCH(int, rows);
        QFETCH(int, skip);
        QVERIFY(m_->kline(security, Cycle(cycle), skip, rows).bars.empty());
        QVERIFY(m_->ticks(security, skip, rows).ticks.empty() ||
                (security >= 0 && security < 1000000 && rows > 0));
    }

    void badLookups() {
        QCOMPARE(m_->find("", 1), -1);
        QCOMPARE(m_->find("12345678901234567", 1), -1);
        QCOMPARE(m_->find("1A0001", 2), -1);
        QVERIFY(!m_->security(-1));
        QVERIFY(!m_->block(4242));
        QVERIFY(m_->blocksOfCategory(4242).empty());
        QVERIFY(m_->blockAlerts(4242, 10).empty());
        QVERIFY(m_->alerts(-3, 10).empty());
        QCOMPARE(m_->indexBlockId("nope", 1), int64_t(0));
        QVERIFY(m_->membership(-1).industry.empty());
        QCOMPARE(m_->minutes(0, 20240615).tradingDay, 0);  // a Saturday
        QCOMPARE(m_->minutes(0, 19900101).tradingDay, 0);  // before the history
        QVERIFY(m_->ticks(0, 0, -1).ticks.empty());
        // Times from a request are any 64-bit number.
        QCOMPARE(m_->minutes(0, std::numeric_limits<int64_t>::max()).tradingDay, 0);
        QCOMPARE(m_->minutes(0, std::numeric_limits<int64_t>::min()).tradingDay, 0);
        QVERIFY(m_->kline(0, Cycle::Min5, std::numeric_limits<int64_t>::max(),
                          std::numeric_limits<int64_t>::max())
                    .bars.empty());
        QCOMPARE(m_->kline(0, Cycle::Day, 0, std::numeric_limits<int64_t>::max()).bars.size(),
                 size_t(m_->kline(0, Cycle::Day, 0, 100000).total));
        QVERIFY(m_->ticks(0, std::numeric_limits<int64_t>::max(), 10).ticks.empty());
    }

    void historyMinuteLine() {
        const int i = m_->find("1A0001", 1);
        const int prev = previousTradingDay(kDay);
        const MinuteDay byDate = m_->minutes(i, prev);
        const MinuteDay byTime = m_->minutes(i, beijingTime(prev, 11, 0));
        QCOMPARE(byDate.tradingDay, prev);
        QCOMPARE(byTime.tradingDay, prev);
        QCOMPARE(byDate.points.size(), size_t(240));
        QCOMPARE(byDate.points.back().price, byTime.points.back().price);
        const KLinePage day = m_->kline(i, Cycle::Day, 1, 1);
        QCOMPARE(byDate.points.back().price, day.bars.back().close);
        // An index draws its leading (equal-weighted) index where a stock has its average:
        // close to the index, never zero, today and on past days.
        for (const MinuteDay* md : {&byDate, &byTime}) {
            for (const MinutePoint& p : md->points)
                QVERIFY(p.avgPrice > 0 && std::abs(p.avgPrice / p.price - 1) < 0.05);
        }
        const MinuteDay today = m_->minutes(i, 0);
        QVERIFY(!today.points.empty());
        for (const MinutePoint& p : today.points)
            QVERIFY(p.avgPrice > 0 && std::abs(p.avgPrice / p.price - 1) < 0.05);
        QCOMPARE(m_->snapshot()->quote(i).avg_price, today.points.back().avgPrice);
    }

    void fullDayRollAndAlerts() {
        auto m = Market::create(smallMarket(9, 0));
        QCOMPARE(m->snapshot()->phase, Phase::PreOpen);
        m->advanceTo(beijingTime(kDay, 9, 20));
        QCOMPARE(m->snapshot()->phase, Phase::CallAuction);
        const int stock = [&] {
            for (const Security& s : m->securities())
                if (s.type == SecType::Stock && m->snapshot()->quote(s.index).bid_vol[0] > 0)
                    return s.index;
            return -1;
        }();
        QVERIFY(stock >= 0);
        QCOMPARE(m->snapshot()->quote(stock).vol, int64_t(0));  // the auction has not matched
        // The closing auction: no trades from 14:57, one at 15:00 that makes the close.
        m->advanceTo(beijingTime(kDay, 14, 57));
        const uint32_t ticksAt1457 = m->ticks(stock, -1, 1).total;
        m->advanceTo(beijingTime(kDay, 14, 59));
        QCOMPARE(m->snapshot()->phase, Phase::CallAuction);
        QCOMPARE(m->ticks(stock, -1, 1).total, ticksAt1457);
        const Quote auction = m->snapshot()->quote(stock);
        QCOMPARE(auction.bid_price[0], auction.ask_price[0]);
        m->advanceTo(beijingTime(kDay, 15, 0));
        const SnapshotPtr close = m->snapshot();
        const TickPage closing = m->ticks(stock, -1, 1);
        QCOMPARE(closing.total, ticksAt1457 + 1);
        QCOMPARE(beijingSecondOfDay(closing.ticks.back().time), 15 * 3600);
        QCOMPARE(closing.ticks.back().direction, 'N');
        QCOMPARE(closing.ticks.back().price, close->quote(stock).close);
        QCOMPARE(close->phase, Phase::AfterClose);
        const Quote last = close->quote(stock);
        const size_t barsBefore = m->kline(stock, Cycle::Day, 0, 100000).bars.size();
        QCOMPARE(m->minutes(stock, 0).points.size(), size_t(240));

        // Alerts of a whole day: every kind matches its tip; a block's alerts are its members'.
        const auto alerts = m->blockAlerts(preset::All, 100000);
        QVERIFY(alerts.size() > 20);
        std::set<int> kinds;
        for (size_t k = 0; k < alerts.size(); ++k) {
            const Alert& a = alerts[k];
            kinds.insert(int(a.kind));
            if (k)
                QVERIFY(a.seq > alerts[k - 1].seq && a.time >= alerts[k - 1].time);
            QCOMPARE(beijingDate(a.time), kDay);
            const std::string& t = a.tip;
            if (t == "快速拉升" || t == "大笔买入")
                QCOMPARE(a.kind, AlertKind::Rise);
            else if (t == "快速下跌" || t == "大笔卖出")
                QCOMPARE(a.kind, AlertKind::Fall);
            else if (t == "封涨停板" || t == "封跌停板")
                QCOMPARE(a.kind, AlertKind::LimitHit);
            else if (t == "打开涨停" || t == "打开跌停")
                QCOMPARE(a.kind, AlertKind::LimitOpen);
            else
                QFAIL(t.c_str());
            QVERIFY(!a.value.empty() && a.value.size() < 21);
        }
        QVERIFY(kinds.count(1) && kinds.count(2));
        const BlockInfo* sme = m->block(preset::Sme);
        for (const Alert& a : m->blockAlerts(preset::Sme, 1000))
            QVERIFY(std::binary_search(sme->members.begin(), sme->members.end(), a.security));
        const auto newest = m->blockAlerts(preset::All, 5);
        QCOMPARE(newest.size(), size_t(5));
        QCOMPARE(newest.back().seq, alerts.back().seq);
        QVERIFY(m->blockAlerts(preset::All, 10, alerts.back().seq).empty());
        QCOMPARE(close->alertSeq, alerts.back().seq);
        const Alert& one = alerts.front();
        const auto own = m->alerts(one.security, 1000);
        QVERIFY(!own.empty());
        for (const Alert& a : own)
            QCOMPARE(a.security, one.security);

        // The weekend passes; Monday's session starts from Friday's close.
        m->advanceTo(beijingTime(20240617, 10, 0));
        const SnapshotPtr monday = m->snapshot();
        QCOMPARE(monday->tradingDay, 20240617);
        QCOMPARE(monday->phase, Phase::Continuous);
        QCOMPARE(monday->quote(stock).pre_close, last.close);
        const KLinePage days = m->kline(stock, Cycle::Day, 0, 100000);
        QCOMPARE(days.bars.size(), barsBefore + 1);  // Friday filed, Monday running
        const Bar& friday = days.bars[days.bars.size() - 2];
        QCOMPARE(beijingDate(friday.time), kDay);
        QCOMPARE(friday.close, last.close);
        QCOMPARE(friday.volume, last.vol);
        const auto td = m->tradingDays();
        QCOMPARE(td.back(), kDay);
        // Friday's minutes are kept as they traded.
        const MinuteDay fri = m->minutes(stock, kDay);
        QCOMPARE(fri.points.size(), size_t(240));
        QCOMPARE(fri.points.back().price, last.close);
        QVERIFY(m->ticks(stock, 0, 100000).ticks.size() < 2000);
        QCOMPARE(beijingDate(m->ticks(stock, -1, 1).ticks.back().time), 20240617);
    }

    void readersNeverSeeTornVersions() {
        auto m = Market::create(smallMarket(10, 0));
        std::atomic<bool> stop{false};
        std::atomic<int> bad{0}, reads{0};
        std::vector<std::thread> readers;
        for (int r = 0; r < 4; ++r)
            readers.emplace_back([&] {
                uint64_t lastVersion = 0;
                while (!stop) {
                    const SnapshotPtr s = m->snapshot();
                    if (s->version < lastVersion)
                        ++bad;
                    lastVersion = s->version;
                    for (int i = 0; i < s->size(); i += 13) {
                        const Quote& q = s->quote(i);
                        if (std::abs(q.rf_value - (q.close - q.pre_close)) > 1e-3)
                            ++bad;
                    }
                    m->kline(int(lastVersion % 50), Cycle::Min5, 0, 20);
                    m->ticks(int(lastVersion % 50), -1, 20);
                    ++reads;
                }
            });
        for (int k = 1; k <= 30; ++k)
            m->advanceTo(beijingTime(kDay, 10, 0) + k * 20);
        while (reads < 20)
            std::this_thread::yield();
        stop = true;
        for (auto& t : readers)
            t.join();
        QCOMPARE(bad.load(), 0);
        QCOMPARE(m->snapshot()->version, uint64_t(31));
    }
};

QTEST_GUILESS_MAIN(TestLive)
#include "tst_live.moc"
