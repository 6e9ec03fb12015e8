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

        ImportReport report;
        QVERIFY(importCsv(src.path().toStdString(), data.path().toStdString(), report));
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

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
