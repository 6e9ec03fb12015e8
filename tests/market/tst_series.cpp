// K-line building (weeks, months, minute cycles), price adjustment, paging, and the
// statistical shape of the generated history.
#include "server/market/calendar.h"
#include "server/market/history.h"
#include "server/market/kline.h"
#include "server/market/names.h"
#include "server/market/universe.h"

#include <QtTest>

#include <cmath>
#include <map>

using namespace vq::market;

namespace {

Bar day(int ymd, float o, float h, float l, float c, int64_t v) {
    Bar b;
    b.time = beijingTime(ymd, 15, 0);
    b.open = o;
    b.high = h;
    b.low = l;
    b.close = c;
    b.volume = v;
    b.amount = double(v) * c;
    return b;
}

std::vector<Bar> days(const std::vector<int>& ymds) {
    std::vector<Bar> out;
    float p = 10;
    for (int d : ymds) {
        out.push_back(day(d, p, p + 1, p - 1, p + 0.5f, 100));
        p += 0.5f;
    }
    return out;
}

}  // namespace

class TestSeries : public QObject {
    Q_OBJECT
private slots:
    void weeksAndMonths_data() {
        QTest::addColumn<int>("cycle");
        QTest::addColumn<QList<int>>("dates");
        QTest::addColumn<QList<int>>("barsPerGroup");
        QTest::newRow("week across a month end")
            << int(Cycle::Week)
            << QList<int>{20240527, 20240529, 20240531, 20240603, 20240607, 20240611}
            << QList<int>{3, 2, 1};
        QTest::newRow("week with holiday gap")
            << int(Cycle::Week) << QList<int>{20240930, 20241008, 20241009} << QList<int>{1, 2};
        QTest::newRow("Sunday-to-Monday boundary")
            << int(Cycle::Week) << QList<int>{20240614, 20240617} << QList<int>{1, 1};
        QTest::newRow("month") << int(Cycle::Month)
                               << QList<int>{20240130, 20240131, 20240201, 20240229, 20240301}
                               << QList<int>{2, 2, 1};
        QTest::newRow("same month different years")
            << int(Cycle::Month) << QList<int>{20230105, 20240105} << QList<int>{1, 1};
    }
    void weeksAndMonths() {
        QFETCH(int, cycle);
        QFETCH(QList<int>, dates);
        QFETCH(QList<int>, barsPerGroup);
        const auto input = days(std::vector<int>(dates.begin(), dates.end()));
        const auto out = aggregateDays(input, Cycle(cycle));
        QCOMPARE(int(out.size()), barsPerGroup.size());
        size_t k = 0;
        for (int g = 0; g < barsPerGroup.size(); ++g) {
            const size_t first = k, last = k + size_t(barsPerGroup[g]) - 1;
            QCOMPARE(out[size_t(g)].open, input[first].open);
            QCOMPARE(out[size_t(g)].close, input[last].close);
            QCOMPARE(out[size_t(g)].time, input[last].time);
            QCOMPARE(out[size_t(g)].volume, int64_t(100 * barsPerGroup[g]));
            float hi = 0, lo = 1e9f;
            for (size_t j = first; j <= last; ++j) {
                hi = std::max(hi, input[j].high);
                lo = std::min(lo, input[j].low);
            }
            QCOMPARE(out[size_t(g)].high, hi);
            QCOMPARE(out[size_t(g)].low, lo);
            k = last + 1;
        }
    }

    void minuteCycles_data() {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("inputBars");
        QTest::addColumn<QList<int>>("endTimes");  // seconds of day of each output bar
        auto t = [](int h, int m) { return h * 3600 + m * 60; };
        QTest::newRow("60 of a full day")
            << 60 << 240 << QList<int>{t(10, 30), t(11, 30), t(14, 0), t(15, 0)};
        QTest::newRow("30 first hour") << 30 << 60 << QList<int>{t(10, 0), t(10, 30)};
        QTest::newRow("60 partial current bar") << 60 << 75 << QList<int>{t(10, 30), t(10, 45)};
        QTest::newRow("5 never spans lunch") << 5 << 122 << [&] {
            QList<int> v;
            for (int i = 1; i <= 24; ++i)
                v << t(9, 30) + i * 300;
            v << t(13, 2);
            return v;
        }();
    }
    void minuteCycles() {
        QFETCH(int, minutes);
        QFETCH(int, inputBars);
        QFETCH(QList<int>, endTimes);
        std::vector<Bar> mins;
        for (int i = 0; i < inputBars; ++i) {
            Bar b;
            b.time = beijingTime(20240614, 0, 0) + minuteEnd(i);
            b.open = b.close = 10 + i * 0.01f;
            b.high = b.open + 0.05f;
            b.low = b.open - 0.05f;
            b.volume = 1000;
            mins.push_back(b);
        }
        const auto out = aggregateMinutes(mins, minutes);
        QCOMPARE(int(out.size()), endTimes.size());
        int64_t vol = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            QCOMPARE(beijingSecondOfDay(out[i].time), endTimes[int(i)]);
            vol += out[i].volume;
        }
        QCOMPARE(vol, int64_t(1000) * inputBars);
    }

    void adjustment_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<double>>("expected");  // closes after adjustment
        // Closes 10, 10, 5, 5 with a ten-for-ten bonus (factor 0.5) on the third day, then
        // 4, 4 after a cash dividend of 1 per share on the fifth day (factor 0.8).
        QTest::newRow("none") << int(Adjust::None) << QList<double>{10, 10, 5, 5, 4, 4};
        QTest::newRow("forward keeps the newest")
            << int(Adjust::Forward) << QList<double>{4, 4, 4, 4, 4, 4};
        QTest::newRow("backward keeps the oldest")
            << int(Adjust::Backward) << QList<double>{10, 10, 10, 10, 10, 10};
    }
    void adjustment() {
        QFETCH(int, mode);
        QFETCH(QList<double>, expected);
        std::vector<Bar> bars;
        const int ds[] = {20240610, 20240611, 20240612, 20240613, 20240614, 20240617};
        const float cs[] = {10, 10, 5, 5, 4, 4};
        for (int i = 0; i < 6; ++i)
            bars.push_back(day(ds[i], cs[i], cs[i], cs[i], cs[i], 100));
        Dividend bonus;
        bonus.exDate = 20240612;
        bonus.bonusShares = 1;
        bonus.factor = 0.5;
        Dividend cash;
        cash.exDate = 20240614;
        cash.cash = 1;
        cash.factor = 0.8;
        adjustPrices(bars, {bonus, cash}, Adjust(mode));
        for (int i = 0; i < 6; ++i) {
            QVERIFY2(std::abs(bars[size_t(i)].close - expected[i]) < 1e-4,
                     qPrintable(QString("bar %1: %2").arg(i).arg(bars[size_t(i)].close)));
            QCOMPARE(bars[size_t(i)].volume, int64_t(100));  // volumes are never adjusted
        }
    }

    void paging_data() {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("firstIndex");
        QTest::addColumn<int>("count");
        QTest::newRow("newest page") << 100 << 0 << 10 << 90 << 10;
        QTest::newRow("older page") << 100 << 10 << 10 << 80 << 10;
        QTest::newRow("last partial page") << 100 << 95 << 10 << 0 << 5;
        QTest::newRow("more than all") << 100 << 0 << 9999 << 0 << 100;
        QTest::newRow("skip past the start") << 100 << 100 << 10 << -1 << 0;
        QTest::newRow("negative skip") << 100 << -1 << 10 << -1 << 0;
        QTest::newRow("no rows") << 100 << 0 << 0 << -1 << 0;
        QTest::newRow("empty series") << 0 << 0 << 10 << -1 << 0;
    }
    void paging() {
        QFETCH(int, total);
        QFETCH(int, skip);
        QFETCH(int, rows);
        QFETCH(int, firstIndex);
        QFETCH(int, count);
        std::vector<Bar> bars(static_cast<size_t>(total));
        for (int i = 0; i < total; ++i)
            bars[size_t(i)].time = i;
        const KLinePage p = pageOf(bars, skip, rows);
        QCOMPARE(int(p.bars.size()), count);
        QCOMPARE(p.total, int64_t(total));
        if (count > 0) {
            QCOMPARE(int(p.bars.front().time), firstIndex);
            QCOMPARE(int(p.bars.back().time), total - 1 - skip);
        }
    }
};

// The generated history must look like a market: limits hold, returns have fat tails,
// volatility clusters, stocks of one industry move together, and dividends fall on
// trading days with factors below one.
class TestHistory : public QObject {
    Q_OBJECT
    Universe u_;
    std::unique_ptr<HistoryGenerator> gen_;
    std::vector<int> stocks_;

private slots:
    void initTestCase() {
        const int last = 20240614;
        u_ = buildUniverse(7, 400, 20160104, nextTradingDay(last));
        gen_ = std::make_unique<HistoryGenerator>(u_, 7, tradingDaysBetween(20160104, last));
        for (const Security& s : u_.securities)
            if (s.type == SecType::Stock)
                stocks_.push_back(s.index);
        QVERIFY(stocks_.size() >= 380);
    }

    void prefixMatchesFullSeries() {
        // The live session starts from the newest bars; they must be the full series' tail.
        for (int i : {stocks_[0], stocks_[17], stocks_[200]}) {
            const DailySeries full = gen_->generate(i), tail = gen_->generate(i, 5);
            QCOMPARE(tail.bars.size(), size_t(5));
            for (size_t k = 0; k < 5; ++k) {
                const Bar& a = full.bars[full.bars.size() - 5 + k];
                QCOMPARE(tail.bars[k].close, a.close);
                QCOMPARE(tail.bars[k].volume, a.volume);
            }
            QCOMPARE(full.bars.back().close, float(u_.securities[size_t(i)].basePrice));
        }
    }

    void barsAreWellFormed() {
        for (int i : stocks_) {
            const Security& s = u_.securities[size_t(i)];
            const DailySeries ds = gen_->generate(i);
            QVERIFY(!ds.bars.empty());
            QVERIFY(ds.days.front() >= std::max(20160104, s.listDate));
            std::map<int, double> factor;
            for (const Dividend& d : ds.dividends) {
                QVERIFY2(isTradingDay(d.exDate), qPrintable(QString::number(d.exDate)));
                QVERIFY(d.factor > 0 && d.factor < 1);
                factor[d.exDate] = d.factor;
            }
            const double lim = s.limitRate();
            for (size_t k = 0; k < ds.bars.size(); ++k) {
                const Bar& b = ds.bars[k];
                QVERIFY(b.low > 0 && b.low <= std::min(b.open, b.close) &&
                        b.high >= std::max(b.open, b.close));
                QVERIFY(b.volume > 0);
                QCOMPARE(beijingDate(b.time), ds.days[k]);
                if (k == 0)
                    continue;
                QVERIFY(ds.days[k] > ds.days[k - 1]);
                double ref = ds.bars[k - 1].close;
                if (factor.count(ds.days[k]))
                    ref *= factor[ds.days[k]];
                // One tick of rounding on either side of the limit price.
                const double tol = 0.011 / ref;
                QVERIFY2(b.close / ref - 1 <= lim + tol && b.close / ref - 1 >= -lim - tol,
                         qPrintable(QString("%1 %2: %3 -> %4")
                                        .arg(QString::fromStdString(s.code))
                                        .arg(ds.days[k])
                                        .arg(ref)
                                        .arg(b.close)));
            }
        }
    }

    void returnsLookLikeAMarket() {
        // Pooled daily returns of every stock.
        std::vector<std::vector<double>> rets;
        double m2 = 0, m4 = 0;
        size_t n = 0;
        double acNum = 0, acDen = 0;
        for (int i : stocks_) {
            const DailySeries ds = gen_->generate(i);
            std::vector<double> r;
            for (size_t k = 1; k < ds.bars.size(); ++k)
                r.push_back(std::log(ds.bars[k].close / ds.bars[k - 1].close));
            double mean = 0;
            for (double x : r)
                mean += x;
            mean /= double(std::max<size_t>(1, r.size()));
            std::vector<double> a;
            for (double x : r) {
                const double d = x - mean;
                m2 += d * d;
                m4 += d * d * d * d;
                ++n;
                a.push_back(std::abs(d));
            }
            // Autocorrelation of absolute returns at lag 1: volatility clustering.
            double am = 0;
            for (double x : a)
                am += x;
            am /= double(std::max<size_t>(1, a.size()));
            for (size_t k = 1; k < a.size(); ++k) {
                acNum += (a[k] - am) * (a[k - 1] - am);
                acDen += (a[k] - am) * (a[k] - am);
            }
            if (ds.bars.size() > 1500)
                rets.push_back(std::vector<double>(r.end() - 1400, r.end()));
        }
        m2 /= double(n);
        m4 /= double(n);
        const double kurtosis = m4 / (m2 * m2);
        QVERIFY2(kurtosis > 4, qPrintable(QString("kurtosis %1").arg(kurtosis)));
        const double ac = acNum / acDen;
        QVERIFY2(ac > 0.05, qPrintable(QString("|r| autocorrelation %1").arg(ac)));
        const double dailyVol = std::sqrt(m2);
        QVERIFY2(dailyVol > 0.012 && dailyVol < 0.045,
                 qPrintable(QString("daily volatility %1").arg(dailyVol)));

        // Same-industry pairs correlate more than pairs from different industries.
        auto corr = [](const std::vector<double>& a, const std::vector<double>& b) {
            double ma = 0, mb = 0;
            for (size_t k = 0; k < a.size(); ++k) {
                ma += a[k];
                mb += b[k];
            }
            ma /= double(a.size());
            mb /= double(b.size());
            double sab = 0, saa = 0, sbb = 0;
            for (size_t k = 0; k < a.size(); ++k) {
                sab += (a[k] - ma) * (b[k] - mb);
                saa += (a[k] - ma) * (a[k] - ma);
                sbb += (b[k] - mb) * (b[k] - mb);
            }
            return sab / std::sqrt(saa * sbb);
        };
        std::vector<int> withHistory;
        for (int i : stocks_)
            if (gen_->generate(i, 1).bars.size() == 1 &&
                u_.params[size_t(i)].historyStart < 20180101)
                withHistory.push_back(i);
        double same = 0, other = 0;
        int ns = 0, no = 0;
        std::vector<std::vector<double>> r2;
        for (int i : withHistory) {
            const DailySeries ds = gen_->generate(i);
            std::vector<double> r;
            for (size_t k = ds.bars.size() - 1400; k < ds.bars.size(); ++k)
                r.push_back(std::log(ds.bars[k].close / ds.bars[k - 1].close));
            r2.push_back(std::move(r));
        }
        for (size_t a = 0; a < withHistory.size() && a < 120; ++a)
            for (size_t b = a + 1; b < withHistory.size() && b < 120; ++b) {
                const double c = corr(r2[a], r2[b]);
                if (u_.params[size_t(withHistory[a])].industry ==
                    u_.params[size_t(withHistory[b])].industry) {
                    same += c;
                    ++ns;
                } else {
                    other += c;
                    ++no;
                }
            }
        QVERIFY(ns > 5 && no > 100);
        same /= ns;
        other /= no;
        QVERIFY2(other > 0.05, qPrintable(QString("market co-movement %1").arg(other)));
        QVERIFY2(same > other + 0.05,
                 qPrintable(QString("industry %1 vs other %2").arg(same).arg(other)));
    }

    void indexFollowsMembers() {
        const auto aggs = gen_->aggregates();
        const int sh = u_.find("1A0001", 1);
        QVERIFY(sh >= 0);
        const DailySeries& idx = aggs[size_t(sh)];
        QCOMPARE(idx.bars.size(), gen_->calendar().size());
        QCOMPARE(idx.bars.back().close, float(u_.securities[size_t(sh)].basePrice));
        // The index moves by its members' cap-weighted move: check one day by hand.
        const size_t d = idx.bars.size() - 10;
        double w = 0, wr = 0;
        for (int m : u_.params[size_t(sh)].members) {
            const DailySeries ds = gen_->generate(m);
            auto it = std::find(ds.days.begin(), ds.days.end(), idx.days[d]);
            if (it == ds.days.end() || it == ds.days.begin())
                continue;
            const size_t k = size_t(it - ds.days.begin());
            double pre = ds.bars[k - 1].close;
            for (const Dividend& dv : ds.dividends)
                if (dv.exDate == ds.days[k])
                    pre *= dv.factor;
            const double wt = double(u_.securities[size_t(m)].floatShares) * pre;
            w += wt;
            wr += wt * (ds.bars[k].close / pre - 1);
        }
        const double expected = wr / w;
        const double actual = idx.bars[d].close / idx.bars[d - 1].close - 1;
        QVERIFY2(std::abs(expected - actual) < 2e-5,
                 qPrintable(QString("%1 vs %2").arg(expected).arg(actual)));
        QVERIFY(idx.bars[d].volume > 0);
    }

    void historyMinuteLineMatchesItsDay() {
        const int i = stocks_[3];
        const DailySeries ds = gen_->generate(i);
        for (size_t k : {ds.bars.size() - 1, ds.bars.size() - 50}) {
            const MinuteDay md = gen_->minuteLine(i, ds.days[k], ds.bars[k], ds.bars[k - 1].close);
            QCOMPARE(md.points.size(), size_t(240));
            QCOMPARE(md.points.back().price, ds.bars[k].close);
            int64_t v = 0;
            float hi = 0, lo = 1e9f;
            for (const MinutePoint& p : md.points) {
                v += p.volume;
                hi = std::max(hi, p.price);
                lo = std::min(lo, p.price);
                QVERIFY(p.avgPrice == 0 || (p.avgPrice >= ds.bars[k].low - 0.01f &&
                                            p.avgPrice <= ds.bars[k].high + 0.01f));
            }
            QCOMPARE(v, ds.bars[k].volume);
            QVERIFY(hi <= ds.bars[k].high + 1e-4f && lo >= ds.bars[k].low - 1e-4f);
        }
    }
};

int main(int argc, char** argv) {
    int rc = 0;
    {
        TestSeries t;
        rc |= QTest::qExec(&t, argc, argv);
    }
    {
        TestHistory t;
        rc |= QTest::qExec(&t, argc, argv);
    }
    return rc;
}

#include "tst_series.moc"
