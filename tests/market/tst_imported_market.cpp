// The market on imported real data: securities the generated universe lacks join it from
// the list and stay across restarts, every cycle serves the imported bars, indices follow
// imported members, and imported minutes make the minute lines.
#include "server/market/calendar.h"
#include "server/market/csv.h"
#include "server/market/import.h"
#include "server/market/imported_data.h"
#include "server/market/market.h"

#include <QtTest>

#include <fstream>
#include <sstream>

using namespace vq::market;

namespace {

const QString kData = QStringLiteral(VQ_MARKET_TEST_DATA);

Options smallMarket(const QString& dataDir = QString()) {
    Options o;
    o.seed = 5;
    o.clock = ClockMode::Manual;
    o.aShares = 200;
    o.startTime = beijingTime(20240614, 10, 0);
    o.dataDir = dataDir.toStdString();
    return o;
}

ImportOptions importOptions() {
    ImportOptions o;
    o.seed = 5;
    o.aShares = 200;
    o.today = 20240613;
    return o;
}

BarFile fixture(const QString& name, BarKind kind = BarKind::Daily) {
    std::ifstream in((kData + "/" + name).toStdString(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    BarFile f;
    std::vector<std::string> problems;
    readBarsCsv(ss.str(), name.toStdString(), kind, {}, f, problems);
    return f;
}

}  // namespace

class TestImportedMarket : public QObject {
    Q_OBJECT
    QTemporaryDir data_;
    ImportReport report_;

private slots:
    void initTestCase() {
        const bool ok =
            importCsv(kData.toStdString(), data_.path().toStdString(), report_, importOptions());
        std::string problems;
        for (const std::string& e : report_.errors)
            problems += e + "\n";
        QVERIFY2(ok, problems.c_str());
        QCOMPARE(report_.securities, 3);
        QCOMPARE(report_.minuteSecurities, 1);
        QCOMPARE(report_.listed, 3);
    }

    void listedSecuritiesJoin_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pinyin");
        QTest::addColumn<QString>("industry");
        QTest::addColumn<QString>("file");
        QTest::newRow("pinyin from the list") << "000001"
                                              << "平安银行"
                                              << "PAYH"
                                              << "银行"
                                              << "000001.csv";
        QTest::newRow("pinyin made from the name") << "000002"
                                                   << "万科A"
                                                   << "WKA"
                                                   << "房地产"
                                                   << "000002.2.csv";
        QTest::newRow("type in Chinese") << "000333"
                                         << "美的集团"
                                         << "MDJT"
                                         << "家用电器"
                                         << "000333.csv";
    }
    // Whether or not the generated universe had the code, the market shows the listed
    // security with its real bars, and a restart shows the same.
    void listedSecuritiesJoin() {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, pinyin);
        QFETCH(QString, industry);
        QFETCH(QString, file);
        const BarFile real = fixture(file);
        QVERIFY(real.bars.size() > 40);
        for (int start = 0; start < 2; ++start) {
            auto m = Market::create(smallMarket(data_.path()));
            const int i = m->find(code.toStdString(), Shenzhen);
            QVERIFY(i >= 0);
            const Security& s = *m->security(i);
            QCOMPARE(QString::fromStdString(s.name), name);
            QCOMPARE(QString::fromStdString(s.pinyin), pinyin);
            QCOMPARE(s.type, SecType::Stock);
            QCOMPARE(QString::fromStdString(m->membership(i).industry), industry);
            QVERIFY(s.floatShares > 0);
            // Every imported day as it was, then today's bar of the session.
            const KLinePage k = m->kline(i, Cycle::Day, 1, 100000);
            QVERIFY(k.bars.size() >= real.bars.size());
            const size_t off = k.bars.size() - real.bars.size();
            for (size_t d = 0; d < real.bars.size(); ++d) {
                const Bar& a = k.bars[off + d];
                const Bar& b = real.bars[d];
                QCOMPARE(a.time, b.time);
                QCOMPARE(a.open, b.open);
                QCOMPARE(a.high, b.high);
                QCOMPARE(a.low, b.low);
                QCOMPARE(a.close, b.close);
                QCOMPARE(a.volume, b.volume);
            }
            QCOMPARE(m->snapshot()->quote(i).pre_close, real.bars.back().close);
            // Last week (this week holds today's bar): Friday's close, the week's extremes.
            const KLinePage weeks = m->kline(i, Cycle::Week, 1, 1);
            QCOMPARE(beijingDate(weeks.bars.back().time), 20240607);
            float high = 0;
            for (size_t d = 0; d < real.days.size(); ++d)
                if (real.days[d] >= 20240603 && real.days[d] <= 20240607)
                    high = std::max(high, real.bars[d].high);
            QCOMPARE(weeks.bars.back().high, high);
            QCOMPARE(weeks.bars.back().close,
                     real.bars[size_t(std::find(real.days.begin(), real.days.end(), 20240607) -
                                      real.days.begin())]
                         .close);
        }
    }

    void industryBlockCountsAddedStock() {
        auto m = Market::create(smallMarket(data_.path()));
        const int i = m->find("000333", Shenzhen);
        const auto blocks = m->blocksOf(i);
        QVERIFY(!blocks.empty());
        bool inIndustry = false;
        for (int64_t id : blocks) {
            const BlockInfo* b = m->block(id);
            inIndustry |= b && b->name == "家用电器" &&
                          std::binary_search(b->members.begin(), b->members.end(), i);
        }
        QVERIFY(inIndustry);
        const BlockInfo* szA = m->block(1103);
        QVERIFY(std::binary_search(szA->members.begin(), szA->members.end(), i));
    }

    // The Shenzhen component index sums its members' volumes: with the import, each day's
    // volume changes by exactly what the imported members brought.
    void indexFollowsImportedMembers() {
        auto plain = Market::create(smallMarket());
        auto real = Market::create(smallMarket(data_.path()));
        const int px = plain->find("399001", Shenzhen), rx = real->find("399001", Shenzhen);
        const KLinePage before = plain->kline(px, Cycle::Day, 0, 30);
        const KLinePage after = real->kline(rx, Cycle::Day, 0, 30);
        const int day = 20240605;
        auto volumeOn = [&](const Market& m, int index) -> int64_t {
            const KLinePage k = m.kline(index, Cycle::Day, 0, 30);
            for (const Bar& b : k.bars)
                if (beijingDate(b.time) == day)
                    return b.volume;
            return -1;
        };
        int64_t brought = 0;
        for (const char* code : {"000001", "000002", "000333"}) {
            const int ri = real->find(code, Shenzhen);
            QVERIFY(ri >= 0);
            brought += volumeOn(*real, ri);
            const int pi = plain->find(code, Shenzhen);
            if (pi >= 0)
                brought -= volumeOn(*plain, pi);
        }
        QVERIFY(volumeOn(*plain, px) > 0);
        QCOMPARE(volumeOn(*real, rx) - volumeOn(*plain, px), brought);
        QVERIFY(before.bars.size() == after.bars.size());
    }

    // Imported minutes make the history minute line and every minute cycle of their days.
    void minutesServed() {
        auto m = Market::create(smallMarket(data_.path()));
        const int i = m->find("000001", Shenzhen);
        const BarFile real = fixture("000001.min.csv", BarKind::Minute);
        QCOMPARE(real.bars.size(), size_t(480));
        const MinuteDay day = m->minutes(i, 20240612);
        QCOMPARE(day.tradingDay, 20240612);
        QCOMPARE(day.points.size(), size_t(240));
        for (size_t k = 0; k < 240; ++k) {
            QCOMPARE(day.points[k].time, real.bars[k].time);
            QCOMPARE(day.points[k].price, real.bars[k].close);
            QCOMPARE(day.points[k].volume, real.bars[k].volume);
        }
        // The newest history day's minutes come right before today's.
        const KLinePage one = m->kline(i, Cycle::Min1, 0, 10000);
        auto at = std::find_if(one.bars.begin(), one.bars.end(),
                               [&](const Bar& b) { return b.time == real.bars[240].time; });
        QVERIFY(at != one.bars.end());
        for (size_t k = 240; k < 480; ++k, ++at) {
            QCOMPARE(at->close, real.bars[k].close);
            QCOMPARE(at->high, real.bars[k].high);
        }
        const KLinePage five = m->kline(i, Cycle::Min5, 0, 10000);
        auto first = std::find_if(five.bars.begin(), five.bars.end(),
                                  [&](const Bar& b) { return b.time == real.bars[4].time; });
        QVERIFY(first != five.bars.end());
        float high = 0;
        int64_t volume = 0;
        for (size_t k = 0; k < 5; ++k) {
            high = std::max(high, real.bars[k].high);
            volume += real.bars[k].volume;
        }
        QCOMPARE(first->high, high);
        QCOMPARE(first->volume, volume);
        QCOMPARE(first->close, real.bars[4].close);
    }

    // A file with gaps: the minutes without a bar hold the last price and trade nothing.
    void minuteGaps() {
        BarFile f;
        std::vector<std::string> problems;
        QVERIFY(
            readBarsCsv("2024-06-13 09:31,10,10.2,10,10.1,100\n"
                        "2024-06-13 09:35,10.3,10.4,10.3,10.4,200\n"
                        "2024-06-13 13:01,10.5,10.5,10.5,10.5,300\n",
                        "gaps", BarKind::Minute, {}, f, problems));
        MinuteSeries m;
        m.bars = f.bars;
        m.days[20240613] = {0, f.bars.size()};
        QVERIFY(m.day(20240612, 10).empty());
        const std::vector<Bar> day = m.day(20240613, 9.9f);
        QCOMPARE(day.size(), size_t(240));
        QCOMPARE(day[0].close, 10.1f);
        for (int k = 1; k < 4; ++k) {
            QCOMPARE(day[size_t(k)].close, 10.1f);
            QCOMPARE(day[size_t(k)].volume, int64_t(0));
        }
        QCOMPARE(day[4].close, 10.4f);
        QCOMPARE(day[119].close, 10.4f);
        QCOMPARE(day[120].volume, int64_t(300));
        QCOMPARE(day[239].close, 10.5f);
        QCOMPARE(day[239].time, beijingTime(20240613, 15, 0));
    }

    void dividendsOfAddedStock() {
        auto m = Market::create(smallMarket(data_.path()));
        const auto divs = m->dividends(m->find("000333", Shenzhen));
        QCOMPARE(divs.size(), size_t(1));
        QCOMPARE(divs[0].cash, 3.0);
        QVERIFY(divs[0].factor < 1 && divs[0].factor > 0.9);
    }
};

QTEST_GUILESS_MAIN(TestImportedMarket)
#include "tst_imported_market.moc"
