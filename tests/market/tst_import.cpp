// Real data in place of the generated series: the CSV readers, the import command and the
// market using what was imported.
#include "server/market/calendar.h"
#include "server/market/csv.h"
#include "server/market/import.h"
#include "server/market/market.h"
#include "server/market/pinyin.h"
#include "server/market/security_list.h"

#include <QtTest>

#include <fstream>

using namespace vq::market;

namespace {

void write(const QString& path, const std::string& text) {
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << text;
}

Options smallMarket() {
    Options o;
    o.seed = 5;
    o.clock = ClockMode::Manual;
    o.aShares = 200;
    o.startTime = beijingTime(20240614, 10, 0);
    return o;
}

ImportOptions importOptions() {
    ImportOptions o;
    o.seed = 5;
    o.aShares = 200;
    o.today = 20240613;
    return o;
}

// The Shenzhen stocks of the small market.
std::vector<const Security*> shenzhenStocks(const Market& m) {
    std::vector<const Security*> out;
    for (const Security& s : m.securities())
        if (s.type == SecType::Stock && s.market == Shenzhen)
            out.push_back(&s);
    return out;
}

std::pair<std::string, int> firstStock(const Options& o) {
    auto m = Market::create(o);
    const Security* s = shenzhenStocks(*m).front();
    return {s->code, s->market};
}

std::string secondStock(const Options& o) {
    auto m = Market::create(o);
    return shenzhenStocks(*m)[1]->code;
}

// Every file under a folder with its bytes, to tell whether anything changed.
QByteArray folderText(const QString& dir) {
    QByteArray all;
    QDirIterator it(dir, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext())
        files << it.next();
    files.sort();
    for (const QString& f : files) {
        QFile file(f);
        file.open(QIODevice::ReadOnly);
        all += f.toUtf8() + '\n' + file.readAll();
    }
    return all;
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

    void dateTimes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ymd");
        QTest::addColumn<int>("second");
        QTest::newRow("date only") << "2024-06-14" << 20240614 << -1;
        QTest::newRow("minute") << "2024-06-14 09:31" << 20240614 << 34260;
        QTest::newRow("seconds") << "2024/06/14 15:00:00" << 20240614 << 54000;
        QTest::newRow("T separator") << "2024-06-14T13:01:00" << 20240614 << 46860;
        QTest::newRow("compact time") << "20240614 093100" << 20240614 << 34260;
        QTest::newRow("hour 25") << "2024-06-14 25:00" << 0 << -1;
        QTest::newRow("dangling separator") << "2024-06-14 " << 0 << -1;
    }
    void dateTimes() {
        QFETCH(QString, text);
        QFETCH(int, ymd);
        QFETCH(int, second);
        int s = -2;
        QCOMPARE(parseDateTime(text.toStdString(), s), ymd);
        if (ymd)
            QCOMPARE(s, second);
    }

    // One file read strictly and with bad rows skipped: how many bars each keeps, and the
    // first problem (empty when there is none).
    void dailyFiles_data() {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<int>("strictBars");  // -1: the file is rejected
        QTest::addColumn<int>("skipBars");    // -1: rejected even when skipping
        QTest::addColumn<QString>("problem");
        const QString good = "2024-06-13,10,11,9.5,10.5,1000,10500\n";
        QTest::newRow("header and two rows")
            << "date,open,high,low,close,volume,amount\n2024-06-13,10,11,9.5,10.5,1000,10500\n"
               "2024-06-14,10.5,10.8,10.1,10.2,800,8200\n"
            << 2 << 2 << "";
        QTest::newRow("no header, CRLF") << "20240613,10,11,9.5,10.5,1000,10500\r\n"
                                         << 1 << 1 << "";
        QTest::newRow("byte-order mark, no header")
            << "\xEF\xBB\xBF" + good + "2024-06-14,10.5,10.8,10.1,10.2,800,8200\n"
            << 2 << 2 << "";
        QTest::newRow("byte-order mark and header")
            << "\xEF\xBB\xBF"
               "date,open,high,low,close,volume\n2024-06-13,10,11,9.5,10.5,1000\n"
            << 1 << 1 << "";
        QTest::newRow("public layout with openinterest")
            << "datetime,open,high,low,close,volume,openinterest\n"
               "2024-06-13 00:00:00,10,11,9.5,10.5,1000,0\n"
            << 1 << 1 << "";
        QTest::newRow("columns in another order")
            << "code,date,close,open,low,high,vol,amount\n000001,2024-06-13,10.5,10,9.5,11,1000,"
               "10500\n"
            << 1 << 1 << "";
        QTest::newRow("quoted fields")
            << "date,open,high,low,close,volume,amount\n\"2024-06-13\",\"10\",11,9.5,10.5,1000,"
               "\"10500\"\n"
            << 1 << 1 << "";
        QTest::newRow("comma inside a quoted price")
            << "date,open,high,low,close,volume\n2024-06-13,38,39,37,\"38,44\",1000\n"
            << -1 << -1 << "x.csv:2: close is not a number: \"38,44\"";
        QTest::newRow("quote not closed") << good + "2024-06-14,10,11,9.5,\"10.5,1000,10500\n"
                                          << -1 << -1 << "x.csv:2: a quoted field is not closed";
        QTest::newRow("high below close")
            << good + "2024-06-14,10,10.2,9.5,10.5,1000,10500\n"
            << -1 << 1 << "x.csv:2: high and low do not contain open and close";
        QTest::newRow("high below low") << good + "2024-06-14,10,9,9.5,9.2,1000,10500\n"
                                        << -1 << 1 << "x.csv:2: high is below low";
        QTest::newRow("negative volume")
            << good + "2024-06-14,10,11,9.5,10.5,-1,10500\n"
            << -1 << 1 << "x.csv:2: volume and amount must not be negative";
        QTest::newRow("zero price") << good + "2024-06-14,0,11,9.5,10.5,1,10500\n"
                                    << -1 << 1 << "x.csv:2: prices must be positive";
        QTest::newRow("missing column") << good + "2024-06-14,10,11,9.5,10.5,1000\n"
                                        << -1 << 1 << "x.csv:2: 6 fields where 7 are expected";
        QTest::newRow("text in a number") << good + "2024-06-14,10,11,9.5,abc,1000,1\n"
                                          << -1 << 1 << "x.csv:2: close is not a number: \"abc\"";
        QTest::newRow("infinity") << good + "2024-06-14,10,inf,9.5,10.5,1000,10500\n"
                                  << -1 << 1 << "x.csv:2: high is not a number: \"inf\"";
        QTest::newRow("bad date after the first line")
            << good + "2024-02-30,10,11,9.5,10.5,1000,10500\n"
            << -1 << 1 << "x.csv:2: not a date: \"2024-02-30\"";
        QTest::newRow("repeated date") << "\n" + good + "2024-06-13,10,11,9.5,10.4,1000,10500\n"
                                       << -1 << 1 << "x.csv:3: 2024-06-13 repeats line 2";
        QTest::newRow("out of order")
            << good + "2024-06-12,10,11,9.5,10.4,1000,10500\n"
            << -1 << 1 << "x.csv:2: 2024-06-12 comes after a later bar (line 1)";
        QTest::newRow("in the future") << good + "2024-06-17,10,11,9.5,10.5,1000,10500\n"
                                       << -1 << 1 << "x.csv:2: 2024-06-17 is in the future";
        QTest::newRow("minute bar in a daily file")
            << good + "2024-06-14 10:00,10,11,9.5,10.5,1000,10500\n"
            << -1 << 1 << "x.csv:2: a time of day in a daily file (minute bars go in CODE.min.csv)";
        QTest::newRow("blank lines") << "\n" + good + "\n\n" << 1 << 1 << "";
        QTest::newRow("header without volume")
            << "date,open,high,low,close\n2024-06-13,10,11,9.5,10.5\n"
            << -1 << -1 << "x.csv:1: the header has no volume column";
        QTest::newRow("neither data nor header") << "hello,world\n" + good << -1 << -1
                                                 << "x.csv:1: neither a date nor a header naming "
                                                    "date, open, high, low, close and volume";
        QTest::newRow("too few columns without a header")
            << "2024-06-13,10,11,9.5,10.5\n"
            << -1 << -1
            << "x.csv:1: expected the columns date,open,high,low,close,volume[,amount], found 5 "
               "fields";
        QTest::newRow("only bad rows") << "date,open,high,low,close,volume\n2024-06-13,a,b,c,d,e\n"
                                       << -1 << -1 << "x.csv:2: open is not a number: \"a\"";
        QTest::newRow("empty") << "" << -1 << -1 << "x.csv: no bars";
    }
    void dailyFiles() {
        QFETCH(QString, csv);
        QFETCH(int, strictBars);
        QFETCH(int, skipBars);
        QFETCH(QString, problem);
        const std::string text = csv.toStdString();
        BarReadOptions strict;
        strict.latestDay = 20240614;
        BarReadOptions skipping = strict;
        skipping.skipBadRows = true;
        for (const BarReadOptions& o : {strict, skipping}) {
            BarFile f;
            std::vector<std::string> problems;
            const bool ok = readBarsCsv(text, "x.csv", BarKind::Daily, o, f, problems);
            const int expect = o.skipBadRows ? skipBars : strictBars;
            QCOMPARE(ok, expect >= 0);
            if (ok)
                QCOMPARE(int(f.bars.size()), expect);
            QCOMPARE(problems.empty(), problem.isEmpty());
            if (!problem.isEmpty())
                QCOMPARE(QString::fromStdString(problems.front()), problem);
            if (ok && o.skipBadRows)
                QCOMPARE(f.skipped, int(problems.size()));
        }
    }

    void initials_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("initials");
        QTest::newRow("bank") << "平安银行"
                              << "PAYH";
        QTest::newRow("letter kept") << "万科Ａ"
                                     << "WKA";
        QTest::newRow("risk warning") << "*ST长药"
                                      << "STCY";
        QTest::newRow("city") << "重庆啤酒"
                              << "CQPJ";
        QTest::newRow("heavy industry") << "中国重工"
                                        << "ZGZG";
        QTest::newRow("growth") << "华夏成长"
                                << "HXCZ";
        QTest::newRow("six at most") << "上证180交易型开放式指数"
                                     << "SZ180J";
        QTest::newRow("fund") << "50ETF"
                              << "50ETF";
    }
    void initials() {
        QFETCH(QString, name);
        QFETCH(QString, initials);
        QCOMPARE(QString::fromStdString(pinyinInitials(name.toStdString())), initials);
    }

    // Chinese tools save GBK: headers and names are read as such.
    void gbkText() {
        BarFile f;
        std::vector<std::string> problems;
        QVERIFY(readBarsCsv(
            "\xC8\xD5\xC6\xDA,\xBF\xAA\xC5\xCC,\xD7\xEE\xB8\xDF,\xD7\xEE\xB5\xCD,"
            "\xCA\xD5\xC5\xCC,\xB3\xC9\xBD\xBB\xC1\xBF\n2024-06-13,10,11,9.5,10.5,1000\n",
            "g", BarKind::Daily, {}, f, problems));
        QCOMPARE(f.bars.size(), size_t(1));
        std::vector<ListedSecurity> list;
        QVERIFY(readSecurityList(
            "code,market,name,type\n600000,1,\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0,stock\n", "s", list,
            problems));
        QCOMPARE(QString::fromStdString(list[0].name), QString("浦发银行"));
        QCOMPARE(QString::fromStdString(list[0].pinyin), QString("PFYH"));
    }

    void dailyBarValues() {
        BarFile f;
        std::vector<std::string> problems;
        QVERIFY(readBarsCsv("date,open,high,low,close,volume\n2024-06-13,10,11,9,10.5,1000\n", "v",
                            BarKind::Daily, {}, f, problems));
        QCOMPARE(f.days, std::vector<int>{20240613});
        QCOMPARE(f.bars[0].time, beijingTime(20240613, 15, 0));
        QCOMPARE(f.bars[0].close, 10.5f);
        QCOMPARE(f.bars[0].volume, int64_t(1000));
        QCOMPARE(f.bars[0].amount, 1000 * (10 + 11 + 9 + 10.5) / 4);  // estimated from the prices
    }

    // Minute files: how the bars of one day land on the 240 minutes of the session.
    void minuteFiles_data() {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<int>("bars");  // -1: rejected
        QTest::addColumn<QString>("firstEnd");
        QTest::addColumn<QString>("lastEnd");
        QTest::addColumn<QString>("problem");
        QTest::newRow("stamped with the minute's end")
            << "datetime,open,high,low,close,volume\n2024-06-13 09:31:00,10,10,10,10,100\n"
               "2024-06-13 11:30:00,10,10,10,10,100\n2024-06-13 13:01:00,10,10,10,10,100\n"
               "2024-06-13 15:00:00,10,10,10,10,100\n"
            << 4 << "09:31"
            << "15:00"
            << "";
        QTest::newRow("stamped with the minute's start")
            << "datetime,open,high,low,close,volume\n2024-06-13 09:30,10,10,10,10,100\n"
               "2024-06-13 11:29,10,10,10,10,100\n2024-06-13 13:00,10,10,10,10,100\n"
               "2024-06-13 14:59,10,10,10,10,100\n"
            << 4 << "09:31"
            << "15:00"
            << "";
        QTest::newRow("opening auction joins the first minute")
            << "2024-06-13 09:25,10,10,10,10,100\n2024-06-13 09:31,10,10.2,10,10.1,100\n"
               "2024-06-13 15:00,10,10,10,10,100\n"
            << 2 << "09:31"
            << "15:00"
            << "";
        QTest::newRow("date and time columns")
            << "date,time,open,high,low,close,volume,amount\n2024-06-13,09:31,10,10,10,10,100,"
               "1000\n2024-06-13,09:32,10,10,10,10,100,1000\n2024-06-13,15:00,10,10,10,10,100,"
               "1000\n"
            << 3 << "09:31"
            << "15:00"
            << "";
        QTest::newRow("no header, separate time")
            << "20240613,0931,10,10,10,10,100\n20240613,1500,10,10,10,10,100\n"
            << 2 << "09:31"
            << "15:00"
            << "";
        QTest::newRow("lunch break")
            << "2024-06-13 09:31,10,10,10,10,100\n2024-06-13 12:00,10,10,10,10,100\n"
               "2024-06-13 15:00,10,10,10,10,100\n"
            << -1 << ""
            << ""
            << "m.csv:2: 12:00 is outside the trading session";
        QTest::newRow("no time of day") << "2024-06-13,10,10,10,10,100\n"
                                        << -1 << ""
                                        << ""
                                        << "m.csv:1: no time of day in a minute file";
        QTest::newRow("repeated minute")
            << "2024-06-13 09:31,10,10,10,10,100\n2024-06-13 09:31,10,10,10,10,100\n"
            << -1 << ""
            << ""
            << "m.csv:2: 2024-06-13 09:31 repeats line 1";
    }
    void minuteFiles() {
        QFETCH(QString, csv);
        QFETCH(int, bars);
        QFETCH(QString, firstEnd);
        QFETCH(QString, lastEnd);
        QFETCH(QString, problem);
        BarFile f;
        std::vector<std::string> problems;
        const bool ok = readBarsCsv(csv.toStdString(), "m.csv", BarKind::Minute, {}, f, problems);
        QCOMPARE(ok, bars >= 0);
        if (!ok) {
            QCOMPARE(QString::fromStdString(problems.front()), problem);
            return;
        }
        QCOMPARE(int(f.bars.size()), bars);
        auto hhmm = [](int64_t t) {
            const int s = beijingSecondOfDay(t);
            return QString::asprintf("%02d:%02d", s / 3600, s / 60 % 60);
        };
        QCOMPARE(hhmm(f.bars.front().time), firstEnd);
        QCOMPARE(hhmm(f.bars.back().time), lastEnd);
        QCOMPARE(beijingDate(f.bars.back().time), 20240613);
    }

    void minutesMakeDays() {
        BarFile f;
        std::vector<std::string> problems;
        QVERIFY(
            readBarsCsv("2024-06-12 09:31,10,10.5,9.9,10.2,100\n"
                        "2024-06-12 15:00,10.2,10.3,9.8,10.1,200\n"
                        "2024-06-13 09:31,10.1,10.1,10,10,300\n",
                        "m", BarKind::Minute, {}, f, problems));
        const BarFile d = dailyFromMinutes(f);
        QCOMPARE(d.days, (std::vector<int>{20240612, 20240613}));
        QCOMPARE(d.bars[0].open, 10.0f);
        QCOMPARE(d.bars[0].high, 10.5f);
        QCOMPARE(d.bars[0].low, 9.8f);
        QCOMPARE(d.bars[0].close, 10.1f);
        QCOMPARE(d.bars[0].volume, int64_t(300));
        QCOMPARE(d.bars[1].time, beijingTime(20240613, 15, 0));
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
        Options o = smallMarket();
        const auto [code, market] = firstStock(o);
        const QString base = src.path() + "/" + QString::fromStdString(code);
        write(base + "." + QString::number(market) + ".csv",
              "date,open,high,low,close,volume,amount\n2024-06-11,20,21,19,20.5,100000,2050000\n"
              "2024-06-12,20.5,22,20,21,120000,2500000\n2024-06-13,21,21.5,20.2,20.8,90000,"
              "1900000\n");
        write(base + "." + QString::number(market) + ".div.csv", "2024-06-13,0.5,0,0,0\n");

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
        QVERIFY(importCsv(src.path().toStdString(), data.path().toStdString(), report,
                          importOptions()));
        QVERIFY(QDir(data.path() + "/market").entryList({"days-*"}, QDir::Dirs).isEmpty());
        QCOMPARE(report.securities, 1);
        QCOMPARE(report.bars, 3);
        QCOMPARE(report.dividends, 1);
        QVERIFY(report.errors.empty());

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
        QVERIFY(!importCsv((src.path() + "/missing").toStdString(), data.path().toStdString(), none,
                           importOptions()));
        QVERIFY(!none.errors.empty());
    }

    // One bad thing beside good files: strictly nothing changes; skipping imports the rest
    // and still fails when a whole file could not be used.
    void allOrNothing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<bool>("skipSucceeds");
        QTest::newRow("bad row")
            << "@.csv"
            << "date,open,high,low,close,volume\n2024-06-12,9,9,9,9,1\nbad row\n"
            << "@.csv:3: 1 fields where 6 are expected" << true;
        QTest::newRow("repeated date") << "@.csv"
                                       << "2024-06-12,9,9,9,9,1\n2024-06-12,9,9,9,9,1\n"
                                       << "@.csv:2: 2024-06-12 repeats line 1" << true;
        QTest::newRow("file of an unknown code")
            << "000999.2.csv"
            << "2024-06-12,9,9,9,9,1\n"
            << "000999.2.csv: 000999.2 is neither in the market nor in securities.csv" << false;
        QTest::newRow("not a file name the import knows")
            << "notes.csv"
            << "notes\n"
            << "notes.csv: not named CODE[.MARKET].csv, CODE[.MARKET].min.csv, "
               "CODE[.MARKET].div.csv or securities.csv"
            << false;
        QTest::newRow("market 7") << "600000.7.csv"
                                  << "2024-06-12,9,9,9,9,1\n"
                                  << "600000.7.csv: not named CODE[.MARKET].csv, "
                                     "CODE[.MARKET].min.csv, CODE[.MARKET].div.csv or "
                                     "securities.csv"
                                  << false;
        QTest::newRow("dividends of an unknown code")
            << "000999.div.csv"
            << "2024-06-12,0.1,0,0,0\n"
            << "000999.div.csv: 000999.2 is neither in the market nor in securities.csv" << false;
        QTest::newRow("bad list row")
            << "securities.csv"
            << "code,market,name,type\n000998,SZ,某某,warrant\n"
            << "securities.csv:2: type must be stock, bshare, fund, bond or index, not "
               "\"warrant\""
            << true;
        QTest::newRow("minutes of a day without its daily bar")
            << "@.min.csv"
            << "2024-06-12 09:31,9,9,9,9,1\n"
            << "@.min.csv: 2024-06-12 has minutes but no daily bar" << false;
        QTest::newRow("bad minute row")
            << "@.min.csv"
            << "2024-06-11 09:31,9,9,9,9,1\n2024-06-11 12:30,9,9,9,9,1\n"
            << "@.min.csv:2: 12:30 is outside the trading session" << true;
    }
    void allOrNothing() {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(QString, problem);
        QFETCH(bool, skipSucceeds);
        Options o = smallMarket();
        const std::string code = firstStock(o).first;
        const QString other = QString::fromStdString(secondStock(o));
        file.replace("@", QString::fromStdString(code));
        problem.replace("@", QString::fromStdString(code));
        QTemporaryDir first, src, data;
        write(first.path() + "/" + QString::fromStdString(code) + ".csv",
              "2024-06-11,10,11,9,10,100\n");
        ImportReport r0;
        QVERIFY(
            importCsv(first.path().toStdString(), data.path().toStdString(), r0, importOptions()));
        const QByteArray before = folderText(data.path());

        write(src.path() + "/" + other + ".csv", "2024-06-12,8,8,8,8,1\n");
        write(src.path() + "/" + file, text.toStdString());
        ImportReport strict;
        QVERIFY(!importCsv(src.path().toStdString(), data.path().toStdString(), strict,
                           importOptions()));
        QVERIFY(!strict.errors.empty());
        QCOMPARE(QString::fromStdString(strict.errors.front()), problem);
        QCOMPARE(folderText(data.path()), before);
        QVERIFY(!QDir(data.path() + "/market/import.staging").exists());

        ImportOptions skip = importOptions();
        skip.skipBadRows = true;
        ImportReport skipped;
        QCOMPARE(importCsv(src.path().toStdString(), data.path().toStdString(), skipped, skip),
                 skipSucceeds);
        QCOMPARE(QString::fromStdString(skipped.errors.front()), problem);
        // The good file went in beside the earlier import.
        const QStringList days = QDir(data.path() + "/market/import").entryList({"*.day"});
        QVERIFY(days.contains(other + ".2.day"));
        QVERIFY(days.contains(QString::fromStdString(code) + ".2.day"));
    }

    // A running market keeps reading the data it started with; the next start sees the new.
    void importWhileServing() {
        QTemporaryDir src, data;
        Options o = smallMarket();
        const auto [code, market] = firstStock(o);
        o.dataDir = data.path().toStdString();
        const QString file = src.path() + "/" + QString::fromStdString(code) + ".csv";
        write(file, "2024-06-12,30,30,30,30,100\n2024-06-13,31,31,31,31,100\n");
        ImportReport r;
        QVERIFY(importCsv(src.path().toStdString(), o.dataDir, r, importOptions()));
        auto running = Market::create(o);
        write(file, "2024-06-12,40,40,40,40,100\n2024-06-13,41,41,41,41,100\n");
        QVERIFY(importCsv(src.path().toStdString(), o.dataDir, r, importOptions()));
        const int i = running->find(code, market);
        QCOMPARE(running->kline(i, Cycle::Day, 1, 2).bars.front().close, 30.0f);
        QCOMPARE(Market::create(o)->kline(i, Cycle::Day, 1, 2).bars.front().close, 40.0f);
        running.reset();
        QCOMPARE(QDir(data.path() + "/market").entryList({"import.serving-*"}, QDir::Dirs).size(),
                 0);
    }

    // A crash half way through an import leaves its staging folder behind: the market never
    // reads it, and the next import starts afresh.
    void interruptedImport() {
        QTemporaryDir src, data;
        Options o = smallMarket();
        const auto [code, market] = firstStock(o);
        o.dataDir = data.path().toStdString();
        write(src.path() + "/" + QString::fromStdString(code) + ".csv",
              "2024-06-12,30,30,30,30,100\n2024-06-13,31,31,31,31,100\n");
        ImportReport r;
        QVERIFY(importCsv(src.path().toStdString(), o.dataDir, r, importOptions()));
        QDir().mkpath(data.path() + "/market/import.staging");
        write(data.path() + "/market/import.staging/" + QString::fromStdString(code) + "." +
                  QString::number(market) + ".day",
              "half a file");
        {
            auto m = Market::create(o);
            QCOMPARE(m->snapshot()->quote(m->find(code, market)).pre_close, 31.0f);
        }
        write(src.path() + "/" + QString::fromStdString(code) + ".csv",
              "2024-06-12,30,30,30,30,100\n2024-06-13,32,32,32,32,100\n");
        QVERIFY(importCsv(src.path().toStdString(), o.dataDir, r, importOptions()));
        auto m = Market::create(o);
        QCOMPARE(m->snapshot()->quote(m->find(code, market)).pre_close, 32.0f);
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
