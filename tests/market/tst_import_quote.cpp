// Imported data end to end: import the real-layout files, start the quote service on that
// data folder and read every kind of series back through libquote, as the terminal does.
#include "server/market/calendar.h"
#include "server/market/csv.h"
#include "server/market/import.h"
#include "tests/libquote/quote_fixture.h"

#include <QtTest>

#include <fstream>
#include <sstream>

using namespace vq::market;

namespace {

const QString kData = QStringLiteral(VQ_MARKET_TEST_DATA);

BarFile fixture(const QString& name, BarKind kind) {
    std::ifstream in((kData + "/" + name).toStdString(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    BarFile f;
    std::vector<std::string> problems;
    readBarsCsv(ss.str(), name.toStdString(), kind, {}, f, problems);
    return f;
}

struct Ctx {
    QuoteCtx* ctx = quote_ctx_create();
    ~Ctx() { quote_ctx_release(ctx); }
};

}  // namespace

class TestImportQuote : public QObject {
    Q_OBJECT
    QTemporaryDir data_;
    std::unique_ptr<QuoteFixture> fx_;
    QuoteSecurityKey key_ = keyOf("000001", 2);

    Got request(Ctx& c) {
        const size_t from = replyLog().size();
        quote_ctx_request(c.ctx);
        Got g;
        if (!replyLog().waitFor(
                from, [&](const Got& x) { return x.ctx == c.ctx; }, &g))
            g.type = -1;
        return g;
    }

private slots:
    void initTestCase() {
        ImportOptions io;
        io.seed = 5;
        io.aShares = 200;
        io.today = 20240613;
        ImportReport report;
        QVERIFY(importCsv(kData.toStdString(), data_.path().toStdString(), report, io));
        fx_ = std::make_unique<QuoteFixture>(50);
        Options o;
        o.seed = 5;
        o.aShares = 200;
        o.clock = ClockMode::Manual;
        o.startTime = beijingTime(20240614, 9, 30);
        o.dataDir = data_.path().toStdString();
        fx_->market = Market::create(o);
        QVERIFY(fx_->startService(0));
        fx_->advance(30 * 60);
        fx_->startEngine();
    }
    void cleanupTestCase() { fx_.reset(); }

    void dictionaryHasListedSecurities() {
        Got codes;
        QVERIFY(replyLog().waitFor(
            0, [](const Got& g) { return g.type == QUOTE_REPLY_CODES; }, &codes));
        QCOMPARE(size_t(codes.count), fx_->market->securities().size());
        for (const char* code : {"000001", "000002", "000333"}) {
            auto it = std::find(codes.codes.begin(), codes.codes.end(), code);
            QVERIFY2(it != codes.codes.end(), code);
            QCOMPARE(codes.kinds[size_t(it - codes.codes.begin())], 2);
        }
    }

    void series_data() {
        QTest::addColumn<int>("cycle");
        QTest::addColumn<int>("rows");
        QTest::newRow("day") << 33 << 60;
        QTest::newRow("week") << 39 << 12;
        QTest::newRow("month") << 40 << 4;
        QTest::newRow("1 minute") << 34 << 600;
        QTest::newRow("15 minutes") << 36 << 40;
        QTest::newRow("60 minutes") << 38 << 12;
    }
    // What libquote receives is what the market serves from the imported bars.
    void series() {
        QFETCH(int, cycle);
        QFETCH(int, rows);
        Ctx c;
        quote_ctx_set_page(c.ctx, 0, rows);
        quote_ctx_set_type(c.ctx, 0);
        quote_ctx_set_peroid(c.ctx, cycle);
        quote_ctx_set_code(c.ctx, &key_, 1);
        const Got g = request(c);
        QCOMPARE(g.type, QUOTE_REPLY_KLINE);
        const int i = fx_->market->find("000001", 2);
        const KLinePage page = fx_->market->kline(i, Cycle(cycle), 0, rows);
        QCOMPARE(size_t(g.count), page.bars.size());
        for (size_t k = 0; k < page.bars.size(); ++k) {
            QCOMPARE(g.times[k], page.bars[k].time);
            QCOMPARE(g.values[k], page.bars[k].close);
        }
        // And the market's bars are the file's.
        const bool minute = cycle >= 34 && cycle <= 38;
        const BarFile real = minute ? fixture("000001.min.csv", BarKind::Minute)
                                    : fixture("000001.csv", BarKind::Daily);
        int matched = 0;
        for (size_t k = 0; k < g.times.size(); ++k) {
            auto at = std::find_if(real.bars.begin(), real.bars.end(),
                                   [&](const Bar& b) { return b.time == g.times[k]; });
            if (at == real.bars.end())
                continue;
            QCOMPARE(g.values[k], at->close);
            ++matched;
        }
        QVERIFY(matched > 0);
    }

    void historyMinuteLine() {
        const BarFile real = fixture("000001.min.csv", BarKind::Minute);
        Ctx c;
        quote_ctx_set_page(c.ctx, -1, 0);
        quote_ctx_set_type(c.ctx, 0);
        quote_ctx_set_time(c.ctx, beijingTime(20240612, 12, 0), 0, 0, 0);
        quote_ctx_set_peroid(c.ctx, 32);
        quote_ctx_set_code(c.ctx, &key_, 1);
        const Got g = request(c);
        QCOMPARE(g.type, QUOTE_REPLY_MINUTE);
        QCOMPARE(g.count, 240u);
        for (size_t k = 0; k < 240; ++k) {
            QCOMPARE(g.times[k], real.bars[k].time);
            QCOMPARE(g.values[k], real.bars[k].close);
        }
        const BarFile days = fixture("000001.csv", BarKind::Daily);
        QCOMPARE(g.preClose, days.bars[days.bars.size() - 3].close);
    }
};

QTEST_GUILESS_MAIN(TestImportQuote)
#include "tst_import_quote.moc"
