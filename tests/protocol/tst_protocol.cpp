// Framing, message coding and the field table of the quote protocol.
#include "protocol/fields.h"
#include "protocol/messages.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::string)

namespace {

std::string sampleStream() {
    std::string s;
    vqp::Request r;
    r.id = 7;
    r.action = vqp::Action::Subscribe;
    r.period = vqp::PeriodSnapshot;
    vqp::SecurityKey k{};
    vqp::setText(k.code, "600000");
    k.market = 1;
    r.codes = {k, k};
    r.fields = {0, 1, 34, 1015};
    r.sortField = 34;
    r.sortMode = 1;
    r.pageFirst = 20;
    r.pageSize = 10;
    vqp::encodeRequest(r, s);
    vqp::encodeCancel(9, s);
    size_t f = vqp::beginFrame(s, vqp::Msg::Ping);
    vqp::finishFrame(s, f);
    return s;
}

}  // namespace

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    void frameSplits_data();
    void frameSplits();
    void badLengths_data();
    void badLengths();
    void hello_data();
    void hello();
    void requestRoundTrip();
    void truncatedReplies_data();
    void truncatedReplies();
    void hugeCountsRejected_data();
    void hugeCountsRejected();
    void snapshotMembership();
    void replyKinds_data();
    void replyKinds();
    void fieldValues_data();
    void fieldValues();
};

void TestProtocol::frameSplits_data() {
    QTest::addColumn<int>("chunk");
    for (int c : {1, 2, 3, 5, 7, 13, 64, 100000})
        QTest::newRow(qPrintable(QString("chunk %1").arg(c))) << c;
}

// Bytes arrive in arbitrary pieces; the decoder must give the same three frames.
void TestProtocol::frameSplits() {
    QFETCH(int, chunk);
    const std::string s = sampleStream();
    vqp::FrameDecoder d;
    std::vector<vqp::Frame> frames;
    for (size_t i = 0; i < s.size(); i += size_t(chunk)) {
        d.feed(s.data() + i, std::min(size_t(chunk), s.size() - i));
        vqp::Frame f;
        vqp::FrameDecoder::Result r;
        while ((r = d.next(f)) == vqp::FrameDecoder::Result::Frame)
            frames.push_back(f);
        QCOMPARE(int(r), int(vqp::FrameDecoder::Result::NeedMore));
    }
    QCOMPARE(frames.size(), size_t(3));
    QCOMPARE(int(frames[0].type), int(vqp::Msg::Request));
    QCOMPARE(int(frames[1].type), int(vqp::Msg::Cancel));
    QCOMPARE(int(frames[2].type), int(vqp::Msg::Ping));
    vqp::Request r;
    QVERIFY(vqp::decodeRequest(frames[0].body, r));
    QCOMPARE(r.codes.size(), size_t(2));
    uint32_t id = 0;
    QVERIFY(vqp::decodeCancel(frames[1].body, id));
    QCOMPARE(id, 9u);
    QCOMPARE(d.buffered(), size_t(0));
}

void TestProtocol::badLengths_data() {
    QTest::addColumn<quint32>("length");
    QTest::addColumn<bool>("error");
    QTest::newRow("zero") << 0u << true;
    QTest::newRow("one: no room for the type") << 1u << true;
    QTest::newRow("type only") << 2u << false;
    QTest::newRow("limit") << quint32(vqp::kMaxFrameBody) << false;
    QTest::newRow("above limit") << quint32(vqp::kMaxFrameBody + 1) << true;
    QTest::newRow("all ones") << 0xFFFFFFFFu << true;
}

void TestProtocol::badLengths() {
    QFETCH(quint32, length);
    QFETCH(bool, error);
    std::string s(reinterpret_cast<const char*>(&length), 4);
    s += std::string(2, '\0');
    vqp::FrameDecoder d;
    d.feed(s.data(), s.size());
    vqp::Frame f;
    auto r = d.next(f);
    if (error) {
        QCOMPARE(int(r), int(vqp::FrameDecoder::Result::Error));
        // The stream cannot be resynchronised: later bytes do not revive it.
        std::string more = sampleStream();
        d.feed(more.data(), more.size());
        QCOMPARE(int(d.next(f)), int(vqp::FrameDecoder::Result::Error));
    } else {
        QVERIFY(r != vqp::FrameDecoder::Result::Error);
    }
}

void TestProtocol::hello_data() {
    QTest::addColumn<quint32>("magic");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("decodes");
    QTest::addColumn<bool>("compatible");
    QTest::newRow("ours") << quint32(vqp::kMagic) << int(vqp::kVersionMajor) << 1 << true << true;
    QTest::newRow("server") << quint32(vqp::kMagic) << int(vqp::kVersionMajor) << 2 << true << true;
    QTest::newRow("next major") << quint32(vqp::kMagic) << int(vqp::kVersionMajor + 1) << 1 << true
                                << false;
    QTest::newRow("foreign magic") << 0x54544548u << 1 << 1 << false << false;  // "HTTP"-like bytes
    QTest::newRow("bad role") << quint32(vqp::kMagic) << int(vqp::kVersionMajor) << 7 << false
                              << false;
}

void TestProtocol::hello() {
    QFETCH(quint32, magic);
    QFETCH(int, major);
    QFETCH(int, role);
    QFETCH(bool, decodes);
    QFETCH(bool, compatible);
    std::string s;
    vqp::Writer w(s);
    w.u32(magic);
    w.u16(uint16_t(major));
    w.u16(vqp::kVersionMinor);
    w.u16(0);
    w.u16(uint16_t(role));
    vqp::Hello h;
    QCOMPARE(vqp::decodeHello(s.data(), s.size(), h), decodes);
    if (decodes)
        QCOMPARE(vqp::compatible(h), compatible);
    QVERIFY(!vqp::decodeHello(s.data(), s.size() - 1, h));
}

void TestProtocol::requestRoundTrip() {
    std::string s = sampleStream();
    vqp::FrameDecoder d;
    d.feed(s.data(), s.size());
    vqp::Frame f;
    QCOMPARE(int(d.next(f)), int(vqp::FrameDecoder::Result::Frame));
    vqp::Request r;
    QVERIFY(vqp::decodeRequest(f.body, r));
    QCOMPARE(r.id, 7u);
    QCOMPARE(int(r.action), int(vqp::Action::Subscribe));
    QCOMPARE(r.codes[1].codeText(), std::string("600000"));
    QCOMPARE(int(r.codes[1].market), 1);
    QCOMPARE(r.fields, (std::vector<uint16_t>{0, 1, 34, 1015}));
    QCOMPARE(int(r.sortField), 34);
    QCOMPARE(int(r.sortMode), 1);
    QCOMPARE(r.pageFirst, 20);
    QCOMPARE(r.pageSize, 10u);
    // A trailing byte is a malformed request, not silently ignored.
    QVERIFY(!vqp::decodeRequest(f.body + "x", r));
    // An unknown action is refused.
    std::string bad = f.body;
    bad[4] = 9;
    QVERIFY(!vqp::decodeRequest(bad, r));
}

void TestProtocol::truncatedReplies_data() {
    QTest::addColumn<std::string>("frame");
    auto add = [](const char* name, const std::string& s) { QTest::newRow(name) << s; };
    std::string s;
    vqp::SnapshotPage p;
    p.total = 2;
    p.rows.resize(2);
    p.members = {{"银行", "上海", "金融,沪股通"}, {}};
    vqp::encodeSnapshots(1, p, s);
    add("snapshots", s);
    s.clear();
    vqp::MinuteBlock m;
    m.points.resize(3);
    vqp::encodeMinute(2, m, s);
    add("minute", s);
    s.clear();
    vqp::KLineBlock k;
    k.points.resize(4);
    vqp::encodeKLine(3, k, s);
    add("kline", s);
    s.clear();
    vqp::TickBlock t;
    t.ticks.resize(2);
    vqp::encodeTicks(4, t, s);
    add("ticks", s);
    s.clear();
    vqp::DividendBlock dv;
    dv.points.resize(2);
    vqp::encodeDividends(5, dv, s);
    add("dividends", s);
    s.clear();
    vqp::AlertList al;
    al.alerts.resize(2);
    al.alerts[0].tip = "快速拉升";
    vqp::encodeAlerts(6, al, s);
    add("alerts", s);
}

static bool decodeWhole(const std::string& body) {
    vqp::Reader r(body.data(), body.size());
    vqp::ReplyHeader h;
    if (!vqp::decodeReplyHeader(r, h))
        return false;
    switch (h.kind) {
        case vqp::ReplyKind::Snapshot: {
            vqp::SnapshotPage p;
            return vqp::decodeSnapshots(r, p);
        }
        case vqp::ReplyKind::Minute: {
            vqp::MinuteBlock b;
            return vqp::decodeMinute(r, b);
        }
        case vqp::ReplyKind::KLine: {
            vqp::KLineBlock b;
            return vqp::decodeKLine(r, b);
        }
        case vqp::ReplyKind::Ticks: {
            vqp::TickBlock b;
            return vqp::decodeTicks(r, b);
        }
        case vqp::ReplyKind::Dividends: {
            vqp::DividendBlock b;
            return vqp::decodeDividends(r, b);
        }
        case vqp::ReplyKind::Alerts: {
            vqp::AlertList b;
            return vqp::decodeAlerts(r, b);
        }
    }
    return false;
}

// Every strict prefix of a reply body is refused; the whole body decodes.
void TestProtocol::truncatedReplies() {
    QFETCH(std::string, frame);
    vqp::FrameDecoder d;
    d.feed(frame.data(), frame.size());
    vqp::Frame f;
    QCOMPARE(int(d.next(f)), int(vqp::FrameDecoder::Result::Frame));
    QVERIFY(decodeWhole(f.body));
    for (size_t n = 0; n < f.body.size(); ++n)
        QVERIFY2(!decodeWhole(f.body.substr(0, n)), qPrintable(QString("prefix %1").arg(n)));
}

void TestProtocol::hugeCountsRejected_data() {
    QTest::addColumn<int>("kind");
    for (int k : {3, 4, 5, 6, 7, 9})
        QTest::newRow(qPrintable(QString("kind %1").arg(k))) << k;
}

// A count that promises more records than the frame holds is refused before anything is
// allocated for them.
void TestProtocol::hugeCountsRejected() {
    QFETCH(int, kind);
    std::string body;
    vqp::Writer w(body);
    w.u32(1);
    w.u16(uint16_t(kind));
    if (kind == 3) {
        w.i32(0);
        w.u32(0);
    } else if (kind == 4) {
        w.f32(0);
        w.u16(0);
        w.i64(0);
    } else if (kind == 6) {
        w.f32(0);
        w.i8(0);
        w.u32(0);
    }
    w.u32(0xFFFFFFF0u);
    body += std::string(64, '\0');
    QVERIFY(!decodeWhole(body));
}

void TestProtocol::snapshotMembership() {
    std::string s;
    vqp::SnapshotPage p;
    p.firstNo = 40;
    p.total = 99;
    p.rows.resize(2);
    vqp::setText(p.rows[0].info.code, "600000");
    p.rows[0].close = 10.5f;
    p.members = {{"银行", "上海", "金融"}};  // shorter than rows: the rest travel empty
    vqp::encodeSnapshots(3, p, s);
    vqp::FrameDecoder d;
    d.feed(s.data(), s.size());
    vqp::Frame f;
    QCOMPARE(int(d.next(f)), int(vqp::FrameDecoder::Result::Frame));
    vqp::Reader r(f.body.data(), f.body.size());
    vqp::ReplyHeader h;
    QVERIFY(vqp::decodeReplyHeader(r, h));
    vqp::SnapshotPage q;
    QVERIFY(vqp::decodeSnapshots(r, q));
    QCOMPARE(q.firstNo, 40);
    QCOMPARE(q.total, 99u);
    QCOMPARE(vqp::getText(q.rows[0].info.code), std::string("600000"));
    QCOMPARE(q.rows[0].close, 10.5f);
    QCOMPARE(q.members[0].concept, std::string("金融"));
    QCOMPARE(q.members[1].industry, std::string());
}

void TestProtocol::replyKinds_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("kind");  // 0: none
    QTest::newRow("snapshot") << 0 << 30 << 3;
    QTest::newRow("ticks") << 0 << 31 << 6;
    QTest::newRow("minute") << 0 << 32 << 4;
    QTest::newRow("day") << 0 << 33 << 5;
    QTest::newRow("month") << 0 << 40 << 5;
    QTest::newRow("period 41") << 0 << 41 << 0;
    QTest::newRow("period 29") << 0 << 29 << 0;
    QTest::newRow("dividends ignore period") << 1 << 0 << 7;
    QTest::newRow("alerts") << 3 << 0 << 9;
    QTest::newRow("type 2") << 2 << 30 << 0;
}

void TestProtocol::replyKinds() {
    QFETCH(int, type);
    QFETCH(int, period);
    QFETCH(int, kind);
    vqp::ReplyKind k;
    bool ok = vqp::replyKindOf(uint8_t(type), uint16_t(period), k);
    QCOMPARE(ok, kind != 0);
    if (ok)
        QCOMPARE(int(k), kind);
}

void TestProtocol::fieldValues_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<double>("value");
    QTest::newRow("pre_close") << 4 << 9.5;
    QTest::newRow("close") << 8 << 10.0;
    QTest::newRow("vol") << 9 << 123456789.0;
    QTest::newRow("sum") << 11 << 1.5e9;
    QTest::newRow("rf_rate") << 34 << 0.0526;
    QTest::newRow("swap") << 37 << 0.031;
    QTest::newRow("speed") << 58 << 0.004;
    QTest::newRow("float value") << 1001 << 10.0 * 2e8;
    QTest::newRow("rise_count") << 59 << 12.0;
    QTest::newRow("bid 1") << 63 << 9.99;
}

// Sort keys read the right member of the snapshot for every id the lists sort by.
void TestProtocol::fieldValues() {
    QFETCH(int, id);
    QFETCH(double, value);
    vqp::Snapshot s{};
    s.pre_close = 9.5f;
    s.close = 10.0f;
    s.vol = 123456789;
    s.sum = 1.5e9;
    s.rf_rate = 0.0526f;
    s.swap = 0.031f;
    s.speed = 0.004f;
    s.float_shares = 200000000;
    s.rise_count = 12;
    s.bid_price[0] = 9.99f;
    const vqp::FieldDef* f = vqp::findField(uint16_t(id));
    QVERIFY(f);
    QVERIFY(qAbs(vqp::fieldValue(s, *f) - value) < 1e-5 * qMax(1.0, value));
    QVERIFY(!vqp::findField(9999));
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
