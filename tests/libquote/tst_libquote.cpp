// libquote against a real quote service and market: every request kind, paging, pushes,
// cancel, error answers and the reconnect after the service restarts.
#include "quote_fixture.h"

#include <QtTest>

#include <algorithm>

namespace {

using vq::market::Security;

struct CtxHolder {
    QuoteCtx* ctx = quote_ctx_create();
    ~CtxHolder() { quote_ctx_release(ctx); }
};

bool isReplyOf(const Got& g, QuoteCtx* ctx) {
    return g.ctx == ctx;
}

}  // namespace

class TestLibquote : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void stateAndCodesAfterConnect();
    void requestsBeforeEngineStarts();
    void snapshotLists_data();
    void snapshotLists();
    void paging();
    void klinePages_data();
    void klinePages();
    void klineAdjustment();
    void minuteLines();
    void ticksFromNumber();
    void dividends();
    void alertsOfBlock();
    void subscriptionPushes();
    void cancelStops();
    void errorsGiveEmptyReplies_data();
    void errorsGiveEmptyReplies();
    void reconnectAfterRestart();

private:
    Got request(QuoteCtx* ctx, bool subscribe = false);
    int firstStock() const;
    QuoteSecurityKey stockKey(int index) const;

    std::unique_ptr<QuoteFixture> fx_;
    QuoteCtx* early_ = nullptr;
};

void TestLibquote::initTestCase() {
    fx_ = std::make_unique<QuoteFixture>(300);
    QVERIFY(fx_->startService(0));
    fx_->advance(30 * 60);  // half an hour into the session
    // Views may subscribe before the engine thread is up; those requests wait for it.
    early_ = quote_ctx_create();
    QuoteSecurityKey k = stockKey(firstStock());
    quote_ctx_set_peroid(early_, 30);
    quote_ctx_set_code(early_, &k, 1);
    quote_ctx_request(early_);
    quote_ctx_subscribe(early_);
    fx_->startEngine();
}

void TestLibquote::cleanupTestCase() {
    quote_ctx_release(early_);
    fx_.reset();
}

void TestLibquote::requestsBeforeEngineStarts() {
    Got g;
    QVERIFY(replyLog().waitFor(
        0, [this](const Got& x) { return x.ctx == early_; }, &g));
    QCOMPARE(g.count, 1u);
    // It was kept as a subscription: the market moving answers it again.
    size_t from = replyLog().size();
    fx_->advance(300);
    QVERIFY(replyLog().waitFor(from, [this](const Got& x) { return x.ctx == early_; }));
}

Got TestLibquote::request(QuoteCtx* ctx, bool subscribe) {
    size_t from = replyLog().size();
    subscribe ? quote_ctx_subscribe(ctx) : quote_ctx_request(ctx);
    Got g;
    if (!replyLog().waitFor(
            from, [ctx](const Got& x) { return isReplyOf(x, ctx); }, &g))
        g.type = -1;
    return g;
}

int TestLibquote::firstStock() const {
    for (const Security& s : fx_->market->securities())
        if (s.type == vq::market::SecType::Stock)
            return s.index;
    return -1;
}

QuoteSecurityKey TestLibquote::stockKey(int index) const {
    const Security* s = fx_->market->security(index);
    return keyOf(s->code, s->market);
}

void TestLibquote::stateAndCodesAfterConnect() {
    Got state, codes;
    QVERIFY(replyLog().waitFor(
        0, [](const Got& g) { return g.type == QUOTE_REPLY_SERVER_STATE && g.state == 1; },
        &state));
    QCOMPARE(QString::fromStdString(state.serverName), QString("本地行情"));
    QVERIFY(replyLog().waitFor(
        0, [](const Got& g) { return g.type == QUOTE_REPLY_CODES; }, &codes));
    QCOMPARE(size_t(codes.count), fx_->market->securities().size());
    const Security& s0 = fx_->market->securities().front();
    QCOMPARE(codes.codes.front(), s0.code);
    QCOMPARE(codes.kinds.front(), vq::market::wireType(s0.type));
    // The block an index stands for is known from the connect on, before any snapshot.
    QuoteSecurityKey sh = keyOf("1A0001", 1);
    QTRY_COMPARE(quote_block_index_block_id1(&sh), fx_->market->indexBlockId("1A0001", 1));
    QVERIFY(quote_block_index_block_id1(&sh) != 0);
}

void TestLibquote::snapshotLists_data() {
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("sortField");
    QTest::addColumn<int>("sortMode");
    QTest::addColumn<int>("pageSize");
    QTest::newRow("whole A-share block, change rate down") << 1101 << 0 << 4 << 34 << 0 << 20;
    QTest::newRow("change rate up") << 1101 << 0 << 4 << 34 << 1 << 20;
    QTest::newRow("turnover down, all rows") << 1101 << 0 << 4 << 11 << 0 << 0;
    QTest::newRow("code order") << 1102 << 0 << 4 << 1 << 1 << 30;
    QTest::newRow("unsorted") << 1101 << 0 << 4 << 0 << 2 << 15;
    QTest::newRow("industries") << 0 << 1011 << 4 << 34 << 0 << 200;
    QTest::newRow("concepts") << 0 << 1016 << 4 << 34 << 0 << 200;
    QTest::newRow("unknown block") << 4242 << 0 << 4 << 34 << 0 << 20;
}

// Lists come back sorted by the field and paged by the service; the total counts the
// whole list.
void TestLibquote::snapshotLists() {
    QFETCH(int, block);
    QFETCH(int, category);
    QFETCH(int, option);
    QFETCH(int, sortField);
    QFETCH(int, sortMode);
    QFETCH(int, pageSize);
    CtxHolder c;
    quote_ctx_set_page(c.ctx, 0, pageSize);
    quote_ctx_set_type(c.ctx, 0);
    quote_ctx_set_peroid(c.ctx, 30);
    if (block)
        quote_ctx_set_block(c.ctx, uint32_t(block), 0);
    quote_ctx_set_category(c.ctx, category);
    quote_ctx_set_option(c.ctx, option);
    quote_ctx_set_sort(c.ctx, uint16_t(sortField), uint8_t(sortMode));
    Got g = request(c.ctx);
    QCOMPARE(g.type, QUOTE_REPLY_REALTIME);

    size_t expected = 0;
    if (block) {
        const vq::market::BlockInfo* b = fx_->market->block(block);
        expected = b ? b->members.size() : 0;
    } else {
        expected = fx_->market->blocksOfCategory(category).size();
    }
    size_t rows = pageSize ? std::min<size_t>(size_t(pageSize), expected) : expected;
    QCOMPARE(size_t(g.count), rows);
    QCOMPARE(g.firstNo, 0);
    if (sortField == 34 && sortMode <= 1 && g.values.size() > 1) {
        for (size_t i = 1; i < g.values.size(); ++i)
            QVERIFY(sortMode == 0 ? g.values[i - 1] >= g.values[i]
                                  : g.values[i - 1] <= g.values[i]);
    }
    if (sortField == 1 && sortMode == 1)
        QVERIFY(std::is_sorted(g.codes.begin(), g.codes.end()));
    if (category) {
        // Blocks carry their own block id, which lists their members.
        for (int64_t id : g.times)
            QVERIFY(fx_->market->block(id) != nullptr);
    }
}

void TestLibquote::paging() {
    CtxHolder c;
    quote_ctx_set_page(c.ctx, 0, 25);
    quote_ctx_set_type(c.ctx, 0);
    quote_ctx_set_peroid(c.ctx, 30);
    quote_ctx_set_block(c.ctx, 1101, 0);
    quote_ctx_set_option(c.ctx, 4);
    quote_ctx_set_sort(c.ctx, 1, 1);
    Got first = request(c.ctx);
    QCOMPARE(first.firstNo, 0);
    size_t from = replyLog().size();
    quote_ctx_page_down(c.ctx);
    Got second;
    QVERIFY(replyLog().waitFor(
        from, [&](const Got& g) { return g.ctx == c.ctx; }, &second));
    QCOMPARE(second.firstNo, 25);
    QVERIFY(second.codes.front() > first.codes.back());
    QCOMPARE(quote_ctx_get_page_first_no(c.ctx), 25);
    from = replyLog().size();
    quote_ctx_page_up(c.ctx);
    Got back;
    QVERIFY(replyLog().waitFor(
        from, [&](const Got& g) { return g.ctx == c.ctx; }, &back));
    QCOMPARE(back.firstNo, 0);
    QCOMPARE(back.codes, first.codes);
    // Already at the top: no request at all.
    from = replyLog().size();
    quote_ctx_page_up(c.ctx);
    QVERIFY(!replyLog().waitFor(
        from, [&](const Got& g) { return g.ctx == c.ctx; }, nullptr, 500));
}

void TestLibquote::klinePages_data() {
    QTest::addColumn<int>("cycle");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("more");
    QTest::newRow("day") << 33 << 120 << 60;
    QTest::newRow("week") << 39 << 40 << 20;
    QTest::newRow("month") << 40 << 24 << 12;
    QTest::newRow("1 minute") << 34 << 30 << 30;
    QTest::newRow("5 minutes") << 35 << 50 << 10;
    QTest::newRow("60 minutes") << 38 << 40 << 40;
}

// A page holds the newest bars in ascending time, as the market has them; load_more brings
// the bars right before it.
void TestLibquote::klinePages() {
    QFETCH(int, cycle);
    QFETCH(int, rows);
    QFETCH(int, more);
    int idx = firstStock();
    QuoteSecurityKey key = stockKey(idx);
    CtxHolder c;
    quote_ctx_set_page(c.ctx, 0, rows);
    quote_ctx_set_type(c.ctx, 0);
    quote_ctx_set_peroid(c.ctx, cycle);
    quote_ctx_set_code(c.ctx, &key, 1);
    quote_ctx_set_user_data(c.ctx, 3);
    Got g = request(c.ctx, true);
    QCOMPARE(g.type, QUOTE_REPLY_KLINE);
    QCOMPARE(g.userData, int64_t(3));
    auto page = fx_->market->kline(idx, vq::market::Cycle(cycle), 0, rows);
    QCOMPARE(size_t(g.count), page.bars.size());
    QVERIFY(g.count > 0);
    QVERIFY(std::is_sorted(g.times.begin(), g.times.end()));
    QCOMPARE(g.times.front(), page.bars.front().time);

    size_t from = replyLog().size();
    quote_ctx_load_more(c.ctx, more);
    Got older;
    QVERIFY(replyLog().waitFor(
        from,
        [&](const Got& x) {
            return x.ctx == c.ctx && x.times.size() && x.times.back() < g.times.front();
        },
        &older));
    auto expect = fx_->market->kline(idx, vq::market::Cycle(cycle), rows, more);
    QCOMPARE(size_t(older.count), expect.bars.size());
    QCOMPARE(older.times.back(), expect.bars.back().time);
}

void TestLibquote::klineAdjustment() {
    // A security with a cash dividend inside its history.
    int idx = -1;
    for (const Security& s : fx_->market->securities())
        if (s.type == vq::market::SecType::Stock && !fx_->market->dividends(s.index).empty()) {
            idx = s.index;
            break;
        }
    if (idx < 0)
        QSKIP("no security with dividends in this market");
    QuoteSecurityKey key = stockKey(idx);
    auto closes = [&](int option) {
        CtxHolder c;
        quote_ctx_set_page(c.ctx, 0, 9999);
        quote_ctx_set_type(c.ctx, 0);
        quote_ctx_set_peroid(c.ctx, 33);
        quote_ctx_set_code(c.ctx, &key, 1);
        quote_ctx_set_option(c.ctx, option);
        return request(c.ctx);
    };
    Got none = closes(1), fwd = closes(2), bwd = closes(4);
    QCOMPARE(none.count, fwd.count);
    QCOMPARE(none.count, bwd.count);
    QVERIFY(none.count > 500);
    // Forward adjustment keeps the newest prices and moves the older ones; backward keeps the
    // oldest and moves the newer ones.
    QCOMPARE(fwd.values.back(), none.values.back());
    QCOMPARE(bwd.values.front(), none.values.front());
    QVERIFY(fwd.values.front() != none.values.front());
    QVERIFY(bwd.values.back() != none.values.back());
    auto expect =
        fx_->market->kline(idx, vq::market::Cycle::Day, 0, 9999, vq::market::Adjust::Forward);
    QCOMPARE(fwd.values.front(), expect.bars.front().close);
}

void TestLibquote::minuteLines() {
    int idx = firstStock();
    QuoteSecurityKey key = stockKey(idx);
    CtxHolder today;
    quote_ctx_set_page(today.ctx, -1, 0);
    quote_ctx_set_type(today.ctx, 0);
    quote_ctx_set_peroid(today.ctx, 32);
    quote_ctx_set_code(today.ctx, &key, 1);
    Got g = request(today.ctx);
    QCOMPARE(g.type, QUOTE_REPLY_MINUTE);
    auto day = fx_->market->minutes(idx, 0);
    QCOMPARE(size_t(g.count), day.points.size());
    QCOMPARE(g.append, uint16_t(0));
    QCOMPARE(g.preClose, day.preClose);

    const auto& days = fx_->market->tradingDays();
    QVERIFY(days.size() > 3);
    int past = days[days.size() - 3];
    auto hist = fx_->market->minutes(idx, past);
    CtxHolder h;
    quote_ctx_set_page(h.ctx, -1, 0);
    quote_ctx_set_type(h.ctx, 0);
    int64_t noon = 0;
    {
        QDateTime t(QDate(past / 10000, past / 100 % 100, past % 100), QTime(12, 0),
                    QTimeZone("Asia/Shanghai"));
        noon = t.toSecsSinceEpoch();
    }
    quote_ctx_set_time(h.ctx, noon, 0, 0, 0);
    quote_ctx_set_peroid(h.ctx, 32);
    quote_ctx_set_code(h.ctx, &key, 1);
    Got hg = request(h.ctx);
    QCOMPARE(size_t(hg.count), hist.points.size());
    QVERIFY(hg.count >= 240);
    QCOMPARE(hg.times.front(), hist.points.front().time);
}

void TestLibquote::ticksFromNumber() {
    int idx = firstStock();
    QuoteSecurityKey key = stockKey(idx);
    auto all = fx_->market->ticks(idx, 0, 100000);
    QVERIFY(all.total > 20);
    CtxHolder c;
    quote_ctx_set_type(c.ctx, 0);
    quote_ctx_set_peroid(c.ctx, 31);
    quote_ctx_set_code(c.ctx, &key, 1);
    quote_ctx_set_page(c.ctx, 10, 5);
    Got g = request(c.ctx);
    QCOMPARE(g.type, QUOTE_REPLY_DETAIL);
    QCOMPARE(g.firstTick, 10u);
    QCOMPARE(g.count, 5u);
    QCOMPARE(g.times.front(), all.ticks[10].time);
    CtxHolder latest;
    quote_ctx_set_type(latest.ctx, 0);
    quote_ctx_set_peroid(latest.ctx, 31);
    quote_ctx_set_code(latest.ctx, &key, 1);
    quote_ctx_set_page(latest.ctx, -1, 7);
    Got l = request(latest.ctx);
    QCOMPARE(l.count, 7u);
    QVERIFY(l.firstTick + 7 >= all.total);
}

void TestLibquote::dividends() {
    for (const Security& s : fx_->market->securities()) {
        auto list = fx_->market->dividends(s.index);
        if (list.empty())
            continue;
        QuoteSecurityKey key = keyOf(s.code, s.market);
        CtxHolder c;
        quote_ctx_set_type(c.ctx, 1);
        quote_ctx_set_code(c.ctx, &key, 1);
        Got g = request(c.ctx);
        QCOMPARE(g.type, QUOTE_REPLY_DIVIDEND);
        QCOMPARE(size_t(g.count), list.size());
        QCOMPARE(g.times.front(), list.front().time);
        QCOMPARE(g.cash.back(), list.back().cash);
        return;
    }
    QSKIP("no dividends in this market");
}

void TestLibquote::alertsOfBlock() {
    CtxHolder c;
    quote_ctx_set_type(c.ctx, 3);
    quote_ctx_set_block(c.ctx, 1110, 0);
    quote_ctx_set_page(c.ctx, 0, 50);
    Got g = request(c.ctx, true);
    QCOMPARE(g.type, QUOTE_REPLY_STOCK_TIP);
    auto expect = fx_->market->blockAlerts(1110, 50);
    QCOMPARE(size_t(g.count), expect.size());
    for (size_t i = 0; i < g.kinds.size(); ++i) {
        QVERIFY(g.kinds[i] >= 1 && g.kinds[i] <= 4);
        QVERIFY(!g.texts[i].empty());
    }
    QVERIFY(std::is_sorted(g.times.begin(), g.times.end()));
}

// A subscription answers again as the market moves; a request answers once.
void TestLibquote::subscriptionPushes() {
    int idx = firstStock();
    QuoteSecurityKey key = stockKey(idx);
    CtxHolder sub, once;
    for (QuoteCtx* c : {sub.ctx, once.ctx}) {
        quote_ctx_set_type(c, 0);
        quote_ctx_set_peroid(c, 31);
        quote_ctx_set_code(c, &key, 1);
        quote_ctx_set_page(c, -1, 10);
    }
    Got first = request(sub.ctx, true);
    request(once.ctx);
    size_t from = replyLog().size();
    fx_->advance(120);
    Got pushed;
    QVERIFY(replyLog().waitFor(
        from, [&](const Got& g) { return g.ctx == sub.ctx; }, &pushed));
    // The push continues the list: its first tick number is where the first block ended.
    QCOMPARE(pushed.firstTick, first.firstTick + first.count);
    QVERIFY(pushed.times.front() >= first.times.back());
    QTest::qWait(300);
    QCOMPARE(replyLog().countFor(from, once.ctx), size_t(0));
}

void TestLibquote::cancelStops() {
    CtxHolder c;
    quote_ctx_set_type(c.ctx, 0);
    quote_ctx_set_peroid(c.ctx, 30);
    quote_ctx_set_block(c.ctx, 1101, 0);
    quote_ctx_set_option(c.ctx, 4);
    quote_ctx_set_sort(c.ctx, 34, 0);
    quote_ctx_set_page(c.ctx, 0, 10);
    request(c.ctx, true);
    quote_ctx_cancel(c.ctx);
    // Commands and frames keep their order: once a later request is answered, the cancel
    // has reached the engine and the service.
    CtxHolder barrier;
    QuoteSecurityKey k = stockKey(firstStock());
    quote_ctx_set_peroid(barrier.ctx, 30);
    quote_ctx_set_code(barrier.ctx, &k, 1);
    QCOMPARE(request(barrier.ctx).count, 1u);
    size_t from = replyLog().size();
    fx_->advance(60);
    fx_->advance(60);
    QTest::qWait(600);
    QCOMPARE(replyLog().countFor(from, c.ctx), size_t(0));
    // update() after a cancel subscribes again (a view that becomes visible).
    quote_ctx_update(c.ctx);
    QVERIFY(replyLog().waitFor(from, [&](const Got& g) { return g.ctx == c.ctx; }));
}

void TestLibquote::errorsGiveEmptyReplies_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("period");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("replyType");  // -1: no reply at all
    QTest::newRow("unknown code, K-line") << 0 << 33 << "999999" << 5;
    QTest::newRow("unknown code, minute") << 0 << 32 << "999999" << 4;
    QTest::newRow("unknown code, ticks") << 0 << 31 << "999999" << 6;
    QTest::newRow("unknown code, dividends") << 1 << 0 << "999999" << 7;
    QTest::newRow("unknown code, snapshot") << 0 << 30 << "999999" << 3;
    QTest::newRow("bad period") << 0 << 77 << "600000" << -1;
}

void TestLibquote::errorsGiveEmptyReplies() {
    QFETCH(int, type);
    QFETCH(int, period);
    QFETCH(QString, code);
    QFETCH(int, replyType);
    QuoteSecurityKey key = keyOf(code.toStdString(), 1);
    CtxHolder c;
    quote_ctx_set_type(c.ctx, type);
    quote_ctx_set_peroid(c.ctx, period);
    quote_ctx_set_code(c.ctx, &key, 1);
    size_t from = replyLog().size();
    quote_ctx_request(c.ctx);
    Got g;
    bool got = replyLog().waitFor(
        from, [&](const Got& x) { return x.ctx == c.ctx; }, &g, replyType < 0 ? 800 : 15000);
    QCOMPARE(got, replyType >= 0);
    if (got) {
        QCOMPARE(g.type, replyType);
        QCOMPARE(g.count, 0u);
    }
    // The connection is still good afterwards.
    CtxHolder ok;
    QuoteSecurityKey real = stockKey(firstStock());
    quote_ctx_set_peroid(ok.ctx, 30);
    quote_ctx_set_code(ok.ctx, &real, 1);
    QCOMPARE(request(ok.ctx).count, 1u);
}

// The service goes away under a live subscription and comes back on the same port: the
// engine reports both, reconnects by itself and the subscription answers again.
void TestLibquote::reconnectAfterRestart() {
    QuoteSecurityKey key = stockKey(firstStock());
    CtxHolder c;
    quote_ctx_set_type(c.ctx, 0);
    quote_ctx_set_peroid(c.ctx, 30);
    quote_ctx_set_code(c.ctx, &key, 1);
    request(c.ctx, true);
    uint16_t port = fx_->port();
    size_t from = replyLog().size();
    fx_->stopService();
    QVERIFY(replyLog().waitFor(
        from, [](const Got& g) { return g.type == QUOTE_REPLY_SERVER_STATE && g.state == 0; }));
    QTest::qWait(300);
    size_t restarted = replyLog().size();
    QVERIFY(fx_->startService(port));
    QElapsedTimer t;
    t.start();
    QVERIFY(replyLog().waitFor(restarted, [](const Got& g) {
        return g.type == QUOTE_REPLY_SERVER_STATE && g.state == 1;
    }));
    QVERIFY(replyLog().waitFor(restarted,
                               [&](const Got& g) { return g.ctx == c.ctx && g.count == 1; }));
    qInfo("reconnected and answered after %lld ms", t.elapsed());
    // The code list comes again after every connect.
    QVERIFY(
        replyLog().waitFor(restarted, [](const Got& g) { return g.type == QUOTE_REPLY_CODES; }));
}

QTEST_GUILESS_MAIN(TestLibquote)
#include "tst_libquote.moc"
