// The alert list: merging the pushes of the quote service (which repeat the alerts of the
// second they start in), the kind colours, the bound on its length, and the painted list's
// rows under a flood of alerts delivered the way the quote engine delivers them.
#include <QQuickWindow>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "quote/qstock_tip_model.h"
#include "quote/quote_proxy.h"
#include "table/qstock_tip_view.h"

namespace {

// One alert: "time:code" or "time:code:kind".
struct Tip {
    quint32 time;
    QByteArray code;
    int kind;
};

QList<Tip> parse(const QString& script) {
    QList<Tip> out;
    for (const QString& part : script.split(' ', Qt::SkipEmptyParts)) {
        const QStringList f = part.split(':');
        out.push_back({f[0].toUInt(), f[1].toUtf8(), f.size() > 2 ? f[2].toInt() : 1});
    }
    return out;
}

// The reply records of `tips`, kept alive with their tip texts as the engine keeps them
// while a reply is dispatched.
struct Reply {
    std::vector<QuoteStockTip> records;
    QuoteReply rpl{};

    explicit Reply(const QList<Tip>& tips) {
        for (const Tip& t : tips) {
            QuoteStockTip r{};
            std::memcpy(r.code, t.code.constData(), size_t(qMin(t.code.size(), 15)));
            const QByteArray name = "名" + t.code;
            std::memcpy(r.name, name.constData(), size_t(qMin(name.size(), 70)));
            r.market = 1;
            r.time = t.time;
            r.tip = "快速拉升";
            std::strncpy(r.value, "1.25%", sizeof r.value);
            r.kind = int8_t(t.kind);
            records.push_back(r);
        }
        rpl.type = QUOTE_REPLY_STOCK_TIP;
        rpl.count = uint32_t(records.size());
        rpl.payload = records.empty() ? nullptr : records.data();
    }
};

void feed(QStockTipModel& model, const QString& script) {
    Reply r(parse(script));
    model.onUpdateStockTip(&r.rpl);
}

QString codes(const QStockTipModel& model) {
    QStringList out;
    for (int i = 0; i < model.count(); ++i)
        out << model.getItem(i, QStockTipModel::CodeRole).toString();
    return out.join(' ');
}

}  // namespace

class TestStockTips : public QObject {
    Q_OBJECT
private slots:
    void merge_data();
    void merge();
    void fields_data();
    void fields();
    void bounded_data();
    void bounded();
    void viewRows_data();
    void viewRows();
    void floodFromEngineThread();
};

void TestStockTips::merge_data() {
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("announced");  // dataUpdated's row, −1: not emitted
    QTest::newRow("first reply") << ""
                                 << "100:A 101:B"
                                 << "A B" << 0;
    QTest::newRow("push without repeats") << "100:A"
                                          << "105:B 106:C"
                                          << "A B C" << 1;
    QTest::newRow("push repeating the last one") << "100:A 101:B"
                                                 << "101:B 102:C"
                                                 << "A B C" << 1;
    QTest::newRow("push repeating several of one second") << "100:A 101:B 101:C"
                                                          << "101:B 101:C 101:D"
                                                          << "A B C D" << 1;
    QTest::newRow("whole list again after a reconnect") << "100:A 101:B"
                                                        << "99:Z 100:A 101:B 102:C"
                                                        << "Z A B C" << 0;
    QTest::newRow("no alerts: nothing changes") << "100:A 101:B"
                                                << ""
                                                << "A B" << -1;
}

void TestStockTips::merge() {
    QFETCH(QString, held);
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    QFETCH(int, announced);
    QStockTipModel model;
    feed(model, held);
    QSignalSpy updated(&model, &QStockTipModel::dataUpdated);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    feed(model, reply);
    QCOMPARE(codes(model), expected);
    QCOMPARE(model.rowCount(), model.count());
    if (announced < 0) {
        QCOMPARE(updated.count(), 0);
        QCOMPARE(inserted.count(), 0);
    } else {
        QCOMPARE(updated.count(), 1);
        QCOMPARE(updated.at(0).at(0).toInt(), announced);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), announced);
        QCOMPARE(inserted.at(0).at(2).toInt(), model.count() - 1);
    }
}

void TestStockTips::fields_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("color");
    QTest::newRow("rise") << 1 << "#FF3D3D";
    QTest::newRow("fall") << 2 << "#0FC351";
    QTest::newRow("limit sealed") << 3 << "#006AFF";
    QTest::newRow("limit opened") << 4 << "#008080";
    QTest::newRow("unknown kind 7") << 7 << "#ffffff";
    QTest::newRow("kind 0") << 0 << "#ffffff";
    QTest::newRow("negative kind") << -3 << "#ffffff";
}

void TestStockTips::fields() {
    QFETCH(int, kind);
    QFETCH(QString, color);
    QStockTipModel model;
    // A name filling its whole field carries no terminating zero.
    Tip tip{1700000000u, "600000", kind};
    Reply r({tip});
    std::memset(r.records[0].name, 'N', sizeof r.records[0].name);
    model.onUpdateStockTip(&r.rpl);
    QCOMPARE(model.count(), 1);
    const auto role = [&](const char* name) { return model.getItem(0, model.getRole(name)); };
    QCOMPARE(role("text_color").toString(), color);
    QCOMPARE(role("time").toUInt(), 1700000000u);
    QCOMPARE(role("code").toString(), QStringLiteral("600000"));
    QCOMPARE(role("market").toInt(), 1);
    QCOMPARE(role("name").toString(), QString(71, 'N'));
    QCOMPARE(role("tip").toString(), QStringLiteral("快速拉升"));
    QCOMPARE(role("val").toString(), QStringLiteral("1.25%"));
    QCOMPARE(model.getRole("nothing"), -1);
    QVERIFY(!model.getItem(1, 2).isValid());
    QVERIFY(!model.getItem(0, 99).isValid());
}

void TestStockTips::bounded_data() {
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("pushes");        // of ten alerts each, one second apart
    QTest::addColumn<int>("selectBefore");  // selected before the last push
    QTest::addColumn<int>("selectAfter");
    QTest::newRow("below the bound") << 100 << 5 << 20 << 20;
    QTest::newRow("oldest alerts make room") << 50 << 20 << 45 << 35;
    QTest::newRow("selected alert trimmed away") << 50 << 20 << 3 << -1;
    QTest::newRow("one reply longer than the bound") << 5 << 1 << -1 << -1;
}

void TestStockTips::bounded() {
    QFETCH(int, capacity);
    QFETCH(int, pushes);
    QFETCH(int, selectBefore);
    QFETCH(int, selectAfter);
    QStockTipModel model;
    model.setCapacity(capacity);
    for (int p = 0; p < pushes; ++p) {
        QStringList script;
        for (int i = 0; i < 10; ++i)
            script << QStringLiteral("%1:S%2").arg(1000 + p).arg(p * 10 + i);
        if (p == pushes - 1) {
            model.setSelectIndex(selectBefore);
            QCOMPARE(model.selectIndex(), selectBefore);
        }
        feed(model, script.join(' '));
        QVERIFY(model.count() <= capacity);
    }
    const int total = pushes * 10;
    QCOMPARE(model.count(), qMin(capacity, total));
    // The newest alerts are the ones kept, in order.
    QCOMPARE(model.getItem(model.count() - 1, QStockTipModel::CodeRole).toString(),
             QStringLiteral("S%1").arg(total - 1));
    QCOMPARE(model.getItem(0, QStockTipModel::CodeRole).toString(),
             QStringLiteral("S%1").arg(total - model.count()));
    QCOMPARE(model.selectIndex(), selectAfter);
}

void TestStockTips::viewRows_data() {
    QTest::addColumn<int>("alerts");
    QTest::addColumn<int>("scroll");  // rows scrolled before more alerts arrive
    QTest::addColumn<int>("more");
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<bool>("follow");
    QTest::addColumn<int>("rowAtFirstLine");
    // Five rows fit under the header of a 150 pixel high list of 25 pixel rows.
    QTest::newRow("fewer alerts than rows") << 3 << 0 << 0 << 0 << true << 0;
    QTest::newRow("newest in sight") << 20 << 0 << 5 << 20 << true << 20;
    QTest::newRow("scrolled back stays") << 20 << -3 << 5 << 12 << false << 12;
    QTest::newRow("scrolled past the start") << 20 << -100 << 5 << 0 << false << 0;
    QTest::newRow("scrolled back to the end follows") << 20 << +100 << 5 << 20 << true << 20;
}

void TestStockTips::viewRows() {
    QFETCH(int, alerts);
    QFETCH(int, scroll);
    QFETCH(int, more);
    QFETCH(int, firstRow);
    QFETCH(bool, follow);
    QFETCH(int, rowAtFirstLine);
    QStockTipModel model;
    QStockTipView view;
    view.setModel(&model);
    view.setRowHeight(25);
    view.setSize(QSizeF(300, 150));
    QCOMPARE(view.visibleRows(), 5);
    QStringList script;
    for (int i = 0; i < alerts; ++i)
        script << QStringLiteral("%1:S%1").arg(i);
    feed(model, script.join(' '));
    view.scrollBy(scroll);
    script.clear();
    for (int i = 0; i < more; ++i)
        script << QStringLiteral("%1:X%1").arg(1000 + i);
    feed(model, script.join(' '));
    QCOMPARE(view.firstRow(), firstRow);
    QCOMPARE(view.follow(), follow);
    QCOMPARE(view.rowAt(30), rowAtFirstLine);
    QCOMPARE(view.rowAt(10), -1);  // the header
    QCOMPARE(view.rowAt(150), -1);
    // The part row under the last whole one is not painted.
    view.setSize(QSizeF(300, 160));
    QCOMPARE(view.rowAt(155), -1);
    view.setSize(QSizeF(300, 150));
    // Below the last alert of a short list.
    if (model.count() < view.visibleRows())
        QCOMPARE(view.rowAt(25.0 * (model.count() + 1) + 1), -1);

    // The oldest alerts trimmed away keep a scrolled-back list on the same alerts.
    if (!follow && firstRow > 0) {
        const QVariant shown = model.getItem(view.firstRow(), QStockTipModel::CodeRole);
        model.setCapacity(model.count() - 4);
        QCOMPARE(model.getItem(view.firstRow(), QStockTipModel::CodeRole), shown);
    }
}

// Replies cross from the engine thread with blocking queued connections, one per alert
// push. A flood of them must neither stall the engine thread behind the painting nor grow
// the list past its bound, and the painted list repaints per frame, not per push.
class CountingTipView : public QStockTipView {
public:
    void paint(QPainter* painter) override {
        ++paints;
        QStockTipView::paint(painter);
    }
    int paints = 0;
};

void TestStockTips::floodFromEngineThread() {
    QStockTipModel model;
    model.setCapacity(300);
    connect(QuoteProxy::instance(), &QuoteProxy::quoteStockTip, &model,
            &QStockTipModel::onUpdateStockTip, Qt::BlockingQueuedConnection);
    QQuickWindow window;
    window.resize(400, 600);
    CountingTipView view;
    view.setParentItem(window.contentItem());
    view.setSize(QSizeF(400, 600));
    view.setModel(&model);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    constexpr int kPushes = 3000;
    std::atomic<int> sent{0};
    std::thread engine([&] {
        for (int p = 0; p < kPushes; ++p) {
            Reply r({{quint32(5000 + p), "A" + QByteArray::number(p), 1 + p % 4},
                     {quint32(5000 + p), "B" + QByteArray::number(p), 2}});
            QuoteProxy::instance()->onUpdate(&r.rpl);
            ++sent;
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(sent.load(), kPushes, 20000);
    engine.join();
    disconnect(QuoteProxy::instance(), nullptr, &model, nullptr);
    QCOMPARE(model.count(), 300);
    QCOMPARE(model.getItem(299, QStockTipModel::CodeRole).toString(),
             QStringLiteral("B%1").arg(kPushes - 1));
    QTRY_VERIFY(view.paints > 0);
    QVERIFY2(view.paints < kPushes / 4, qPrintable(QString::number(view.paints)));
    QCOMPARE(view.firstRow(), 300 - view.visibleRows());
}

QTEST_MAIN(TestStockTips)
#include "tst_stock_tips.moc"
