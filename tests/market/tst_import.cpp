// Real data in place of the generated series: the CSV readers, the import command and the
// market using what was imported.
#include "server/market/calendar.h"
#include "server/market/csv.h"
#include "server/market/import.h"
#include "server/market/market.h"

#include <QtTest>

#include <fstream>

using namespace vq::market;

namespace {

void write(const QString& path, const std::string& text) {
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << text;
}

}  // namespace

class TestImport : public QObject {
    Q_OBJECT
private slots:
    void dates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ymd");
        QTest::newRow("dashes") << "2024-06-14" << 20240614;
        QTest::newRow("slashes") << "2024/06/14" << 20240614;
        QTest::newRow("compact") << "20240614" << 20240614;
        QTest::newRow("leap day") << "2024-02-29" << 20240229;
        QTest::newRow("not a leap year") << "2023-02-29" << 0;
        QTest::newRow("month 13") << "2024-13-01" << 0;
        QTest::newRow("short") << "2024-6-14" << 0;
        QTest::newRow("letters") << "June 14" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void dates() {
        QFETCH(QString, text);
        QFETCH(int, ymd);
        QCOMPARE(parseDate(text.toStdString()), ymd);
    }

    void rows_data() {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("errors");
        QTest::newRow("header and two rows")
            << "date,open,high,low,close,volume,amount\n2024-06-13,10,11,9.5,10.5,1000,10500\n"
               "2024-06-14,10.5,10.8,10.1,10.2,800,8200\n"
            << 2 << 0;
        QTest::newRow("no header, CRLF") << "20240613,10,11,9.5,10.5,1000,10500\r\n" << 1 << 0;
        QTest::newRow("high below close") << "2024-06-13,10,10.2,9.5,10.5,1000,10500\n" << 0 << 1;
        QTest::newRow("negative volume") << "2024-06-13,10,11,9.5,10.5,-1,10500\n" << 0 << 1;
        QTest::newRow("zero price") << "2024-06-13,0,11,9.5,10.5,1,10500\n" << 0 << 1;
        QTest::newRow("missing column") << "2024-06-13,10,11,9.5,10.5,1000\n" << 0 << 1;
        QTest::newRow("text in a number") << "2024-06-13,10,11,9.5,abc,1000,1\n" << 0 << 1;
        QTest::newRow("bad date after the first line")
            << "2024-06-13,10,11,9.5,10.5,1000,10500\n2024-02-30,10,11,9.5,10.5,1000,10500\n"
            << 1 << 1;
        QTest::newRow("blank lines") << "\n2024-06-13,10,11,9.5,10.5,1000,10500\n\n" << 1 << 0;
        QTest::newRow("infinity") << "2024-06-13,10,inf,9.5,10.5,1000,10500\n" << 0 << 1;
    }
    void rows() {
        QFETCH(QString, csv);
        QFETCH(int, bars);
        QFETCH(int, errors);
        std::vector<std::string> errs;
        const DailySeries ds = parseDailyCsv(csv.toStdString(), "x.csv", errs);
        QCOMPARE(int(ds.bars.size()), bars);
        QCOMPARE(int(errs.size()), errors);
        for (const std::string& e : errs)
            QVERIFY(e.rfind("x.csv:", 0) == 0);
    }

    void sortedAndDeduplicated() {
        std::vector<std::string> errs;
        const DailySeries ds = parseDailyCsv(
            "2024-06-14,1,1,1,1,1,1\n2024-06-12,2,2,2,2,2,2\n2024-06-14,3,3,3,3,3,3\n", "y", errs);
        QCOMPARE(ds.days, (std::vector<int>{20240612, 20240614}));
        QCOMPARE(ds.bars[1].close, 3.0f);  // the later row of a repeated date wins
    }

    void dividendFactor() {
        std::vector<std::string> errs;
        DailySeries ds =
            parseDailyCsv("2024-06-12,10,10,10,10,1,1\n2024-06-13,9,9,9,9,1,1\n", "d", errs);
        parseDividendCsv("date,cash,bonus_shares,rights_shares,rights_price\n2024-06-13,1,0,0,0\n",
                         "d.div", ds, errs);
        QVERIFY(errs.empty());
        QCOMPARE(ds.dividends.size(), size_t(1));
        QCOMPARE(ds.dividends[0].preClose, 10.0);
        QVERIFY(std::abs(ds.dividends[0].factor - 0.9) < 1e-9);
    }

    void importIntoMarket() {
        QTemporaryDir src, data;
        // Pick a real code of the seeded universe.
        Options o;
        o.seed = 5;
        o.clock = ClockMode::Manual;
        o.aShares = 200;
        o.startTime = beijingTime(20240614, 10, 0);
        std::string code;
        int market = 0;
        {
            auto m = Market::create(o);
            for (const Security& s : m->securities())
                if (s.type == SecType::Stock) {
                    code = s.code;
                    market = s.market;
                    break;
                }
        }
        const QString base = src.path() + "/" + QString::fromStdString(code);
        write(
            base + "." + QString::number(market) + ".csv",
            "date,open,high,low,close,volume,amount\n2024-06-11,20,21,19,20.5,100000,2050000\n"
            "2024-06-12,20.5,22,20,21,120000,2500000\n2024-06-13,21,21.5,20.2,20.8,90000,1900000\n"
            "bad row\n");
        write(base + "." + QString::number(market) + ".div.csv", "2024-06-13,0.5,0,0,0\n");
        write(src.path() + "/README.csv", "not a security\n");
        write(src.path() + "/999999.7.csv", "2024-06-13,1,1,1,1,1,1\n");

        // A market ran on this data folder before: its stored days go with the import.
        {
            Options before = o;
            before.dataDir = data.path().toStdString();
            before.startTime = beijingTime(20240613, 9, 0);
            auto m = Market::create(before);
            m->advanceTo(beijingTime(20240613, 15, 0));
        }
        QVERIFY(QDir(data.path() + "/market").entryList({"days-*"}, QDir::Dirs).size() == 1);
        ImportReport report;
        QVERIFY(importCsv(src.path().toStdString(), data.path().toStdString(), report));
        QVERIFY(QDir(data.path() + "/market").entryList({"days-*"}, QDir::Dirs).isEmpty());
        QCOMPARE(report.securities, 1);
        QCOMPARE(report.bars, 3);
        QCOMPARE(report.dividends, 1);
        QVERIFY(report.errors.size() >= 3);  // the bad row, README and market 7

        o.dataDir = data.path().toStdString();
        auto m = Market::create(o);
        const int i = m->find(code, market);
        const Quote& q = m->snapshot()->quote(i);
        QCOMPARE(q.pre_close, 20.8f);  // today starts from the imported close
        const KLinePage k = m->kline(i, Cycle::Day, 0, 100);
        QCOMPARE(k.bars.size(), size_t(4));  // three imported days and today
        QCOMPARE(k.bars[1].close, 21.0f);
        const auto divs = m->dividends(i);
        QCOMPARE(divs.size(), size_t(1));
        QCOMPARE(divs[0].exDate, 20240613);

        ImportReport none;
        QVERIFY(
            !importCsv((src.path() + "/missing").toStdString(), data.path().toStdString(), none));
        QVERIFY(!none.errors.empty());
    }
};

// The days after the generated history are kept in the data folder: a restart on a later
// day shows the same history, the days it traded, and fills in the days it missed.
class TestDayStore : public QObject {
    Q_OBJECT
    static Options at(const QString& dir, int day, int hour, uint64_t seed = 3) {
        Options o;
        o.seed = seed;
        o.clock = ClockMode::Manual;
        o.aShares = 150;
        o.dataDir = dir.toStdString();
        o.startTime = beijingTime(day, hour, 0);
        return o;
    }

private slots:
    void restartKeepsHistory() {
        QTemporaryDir dir;
        const int stock = 7;
        std::vector<Bar> first;
        Quote friday;
        {
            auto m = Market::create(at(dir.path(), 20240614, 10));
            m->advanceTo(beijingTime(20240614, 15, 0));
            friday = m->snapshot()->quote(stock);
            first = m->kline(stock, Cycle::Day, 0, 100000).bars;
        }
        std::vector<Bar> second;
        {
            // Wednesday: Friday as traded, Monday and Tuesday filled in.
            auto m = Market::create(at(dir.path(), 20240619, 10));
            second = m->kline(stock, Cycle::Day, 0, 100000).bars;
            QCOMPARE(second.size(), first.size() + 3);  // Mon, Tue and today's bar
            for (size_t k = 0; k < first.size(); ++k) {
                QCOMPARE(second[k].time, first[k].time);
                QCOMPARE(second[k].close, first[k].close);
                QCOMPARE(second[k].volume, first[k].volume);
            }
            QCOMPARE(beijingDate(second[first.size()].time), 20240617);
            QCOMPARE(beijingDate(second[first.size() + 1].time), 20240618);
            QCOMPARE(m->snapshot()->quote(stock).pre_close, second[first.size() + 1].close);
            QCOMPARE(first.back().close, friday.close);
            const auto days = m->tradingDays();
            QCOMPARE(days.back(), 20240618);
            // Filled days are real bars, indices included.
            const Bar& mon = second[first.size()];
            QVERIFY(mon.low <= std::min(mon.open, mon.close) &&
                    mon.high >= std::max(mon.open, mon.close));
            QVERIFY(mon.volume > 0);
            const KLinePage idx = m->kline(m->find("1A0001", 1), Cycle::Day, 0, 3);
            QCOMPARE(beijingDate(idx.bars[1].time), 20240618);
            QVERIFY(idx.bars[1].volume > 0);
        }
        {
            // The filled days were stored: a third start sees the same bars.
            auto m = Market::create(at(dir.path(), 20240619, 9));
            const auto third = m->kline(stock, Cycle::Day, 0, 100000).bars;
            QCOMPARE(third.size(), second.size() - 1);  // before the open: no bar of today
            for (size_t k = 0; k < third.size(); ++k)
                QCOMPARE(third[k].close, second[k].close);
        }
        {
            // Another seed is another universe: it keeps its own days.
            auto m = Market::create(at(dir.path(), 20240619, 9, 4));
            QCOMPARE(m->tradingDays().back(), 20240618);
            QVERIFY(m->tradingDays().size() != 0);
        }
    }

    void damagedDayFileIsFilledAgain() {
        QTemporaryDir dir;
        {
            auto m = Market::create(at(dir.path(), 20240617, 9));
            m->advanceTo(beijingTime(20240617, 15, 0));
        }
        // Break every stored day file.
        QDir days(dir.path() + "/market/days-3-150");
        const QStringList files = days.entryList({"*.day"});
        QCOMPARE(files, QStringList{"20240617.day"});
        for (const QString& f : files)
            write(days.filePath(f), "garbage");
        auto m = Market::create(at(dir.path(), 20240619, 9));
        QCOMPARE(m->tradingDays().back(), 20240618);
        QVERIFY(m->kline(3, Cycle::Day, 0, 2).bars.back().close > 0);
    }
};

int main(int argc, char** argv) {
    int rc = 0;
    {
        TestImport t;
        rc |= QTest::qExec(&t, argc, argv);
    }
    {
        TestDayStore t;
        rc |= QTest::qExec(&t, argc, argv);
    }
    return rc;
}
#include "tst_import.moc"
