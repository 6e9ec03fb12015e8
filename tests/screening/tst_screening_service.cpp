// The screening service: conditions read from requests, results against an independent
// evaluation of the same bars, the result not depending on the number of workers, a screen
// cancelled half way, and the HTTP round trip with its error answers.
#include "formula/compiler.h"
#include "server/http/router.h"
#include "server/market/calendar.h"
#include "server/market/market.h"
#include "server/screening/condition_set.h"
#include "server/screening/routes.h"
#include "server/screening/screener.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <cmath>
#include <thread>

using namespace vq::market;
using namespace vq::screening;

namespace {

QJsonObject request(const QJsonArray& conditions, const QString& logic = "and") {
    return QJsonObject{{"conditions", conditions}, {"logic", logic}, {"block", 1101}};
}
// JSON written with single quotes, to keep the tables readable.
QByteArray json(const char* text) {
    return QByteArray(text).replace('\'', '"');
}
QJsonObject own(const QString& text) {
    return QJsonObject{{"text", text}};
}

// The chart's way to a condition, written out separately: the formula on a VM of its own,
// fed close, open, high, low and volume, its first drawn curve read on the last bar.
struct Reference {
    const std::vector<Bar>* bars = nullptr;
    static int names(void* user, int, fml_arg h, const char* name) {
        const auto& b = *static_cast<Reference*>(user)->bars;
        float* out = fml_argument_data(h, int(b.size()));
        if (!out) {
            return 0;
        }
        for (size_t k = 0; k < b.size(); ++k) {
            switch (name[0] == 0 || name[1] != 0 ? 0 : name[0]) {
                case 'C':
                    out[k] = b[k].close;
                    break;
                case 'O':
                    out[k] = b[k].open;
                    break;
                case 'H':
                    out[k] = b[k].high;
                    break;
                case 'L':
                    out[k] = b[k].low;
                    break;
                case 'V':
                    out[k] = float(b[k].volume);
                    break;
                default:
                    return 0;
            }
        }
        return 1;
    }
    bool holds(const std::string& text, const std::vector<Bar>& b) {
        bars = &b;
        formula::Program p;
        formula::CompileError e;
        if (!formula::Compiler().compile(text, &p, &e) || b.empty()) {
            return false;
        }
        const int vm = fml_vm_create();
        const int ctx = fml_ctx_create(vm);
        p.push(ctx);
        fml_ctx_data_length(ctx, int(b.size()));
        fml_ctx_miss_callback(ctx, this, &Reference::names);
        bool r = false;
        fml_op_line line{};
        int kind = 0, op = 0;
        if (fml_vm_run(vm, ctx) && fml_ctx_op_seq_get(ctx, 0, &kind, &op) &&
            fml_ctx_op_line(ctx, &line, op) && line.count > 0) {
            const float v = line.values[line.count - 1];
            r = v != FMLInvalidValue && v != 0;
        }
        fml_ctx_release(ctx);
        fml_vm_release(vm);
        return r;
    }
};

}  // namespace

class TestScreeningService : public QObject {
    Q_OBJECT
    std::shared_ptr<Market> m_;
    std::vector<int> shares_;
    std::unique_ptr<RecentBars> recent_;

    std::vector<int> screen(const QJsonObject& body, int threads = 2) {
        ScreenRequest r;
        RequestError e;
        if (!parseScreenRequest(body, &r, &e)) {
            qWarning("%s", e.message.c_str());
            return {-1};
        }
        ScreenProgress progress;
        return runScreen(*m_, r, screenUniverse(*m_, r), threads, &progress, recent_.get());
    }

private slots:
    void initTestCase() {
        Options o;
        o.seed = 23;
        o.clock = ClockMode::Manual;
        o.aShares = 300;
        o.startTime = beijingTime(20240614, 14, 0);
        m_ = Market::create(o);
        shares_ = m_->block(1101)->members;
        QVERIFY(shares_.size() >= 250);
        recent_ = std::make_unique<RecentBars>(*m_);
    }

    // The kept bars with today's bar from the snapshot are the market's own page.
    void recentBarsAreTheMarketsPage_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("adjust");
        QTest::newRow("one bar") << 1 << int(Adjust::None);
        QTest::newRow("20 forward adjusted") << 20 << int(Adjust::Forward);
        QTest::newRow("500 backward adjusted") << 500 << int(Adjust::Backward);
        QTest::newRow("500 twice: from the store") << 500 << int(Adjust::Backward);
    }
    void recentBarsAreTheMarketsPage() {
        QFETCH(int, count);
        QFETCH(int, adjust);
        const auto snapshot = m_->snapshot();
        for (size_t k = 0; k < shares_.size(); k += 7) {
            const int i = shares_[k];
            const auto want = m_->kline(i, Cycle::Day, 0, count, Adjust(adjust)).bars;
            const auto got = recent_->dayBars(i, Adjust(adjust), count, *snapshot);
            QCOMPARE(got.size(), want.size());
            for (size_t b = 0; b < got.size(); ++b) {
                QCOMPARE(got[b].time, want[b].time);
                QCOMPARE(got[b].close, want[b].close);
                QCOMPARE(got[b].high, want[b].high);
                QCOMPARE(got[b].volume, want[b].volume);
                QCOMPARE(got[b].amount, want[b].amount);
            }
        }
    }

    // Close above its 20-day mean, computed by hand from the bars the service reads.
    void closeAboveMeanMatchesDirectComputation() {
        const std::vector<int> got = screen(request({own("C>MA(C,20)")}));
        QVERIFY(!got.empty());
        QVERIFY(got.size() < shares_.size());
        for (int i : shares_) {
            const auto bars = m_->kline(i, Cycle::Day, 0, 500, Adjust::Forward).bars;
            if (bars.size() < 20) {
                QVERIFY(!std::binary_search(got.begin(), got.end(), i));
                continue;
            }
            double sum = 0;
            for (size_t k = bars.size() - 20; k < bars.size(); ++k) {
                sum += bars[k].close;
            }
            const double mean = sum / 20, close = bars.back().close;
            if (std::fabs(close - mean) < 1e-4 * close) {
                continue;  // too close to call in single precision
            }
            QCOMPARE(std::binary_search(got.begin(), got.end(), i), close > mean);
        }
    }

    void sameAsChartEvaluation_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("golden cross") << "CROSS(MA(C,5),MA(C,10))";
        QTest::newRow("rsi below 30")
            << "LC:=REF(C,1);RSI:SMA(MAX(C-LC,0),6,1)/SMA(ABS(C-LC),6,1)*100<30";
        QTest::newRow("volume burst") << "V>MA(V,5) AND C>O";
        QTest::newRow("new 60-day high") << "H>=HHV(H,60)";
    }
    void sameAsChartEvaluation() {
        QFETCH(QString, text);
        const std::vector<int> got = screen(request({own(text)}));
        Reference ref;
        std::vector<int> want;
        for (int i : shares_) {
            if (ref.holds(text.toStdString(),
                          m_->kline(i, Cycle::Day, 0, 500, Adjust::Forward).bars)) {
                want.push_back(i);
            }
        }
        QVERIFY(!want.empty());
        QCOMPARE(got, want);
    }

    void builtinOutputsAndLogic() {
        // RSI's first line below 30 by name, and the same written out, agree.
        const QJsonObject rsi{{"formula", "RSI"}, {"output", "RSI1"}, {"op", "<"}, {"value", 30}};
        const auto byName = screen(request({rsi}));
        const auto written =
            screen(request({own("LC:=REF(C,1);SMA(MAX(C-LC,0),6,1)/SMA(ABS(C-LC),6,1)*100<30")}));
        QCOMPARE(byName, written);
        // AND is the intersection, OR the union.
        const auto up = screen(request({own("C>O")}));
        const auto high = screen(request({own("C>MA(C,20)")}));
        std::vector<int> both, either;
        std::set_intersection(up.begin(), up.end(), high.begin(), high.end(),
                              std::back_inserter(both));
        std::set_union(up.begin(), up.end(), high.begin(), high.end(), std::back_inserter(either));
        QCOMPARE(screen(request({own("C>O"), own("C>MA(C,20)")})), both);
        QCOMPARE(screen(request({own("C>O"), own("C>MA(C,20)")}, "or")), either);
    }

    void workersDoNotChangeTheResult() {
        const QJsonObject body =
            request({QJsonObject{{"formula", "KDJ"}, {"output", "J"}, {"op", ">"}, {"value", 80}}});
        QCOMPARE(screen(body, 1), screen(body, 2));
        QCOMPARE(screen(body, 1), screen(body, 5));
    }

    void badRequests_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("condition");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::newRow("no conditions") << json("{'conditions':[]}") << -1 << 0 << 0;
        QTest::newRow("formula error on line 2")
            << json("{'conditions':[{'text':'C>O'},{'text':'A:=C;\\nB:=MA(C,;'}]}") << 1 << 2 << 10;
        QTest::newRow("unknown built-in")
            << json("{'conditions':[{'formula':'NOPE'}]}") << 0 << 0 << 0;
        QTest::newRow("both text and formula")
            << json("{'conditions':[{'formula':'RSI','text':'C>O'}]}") << 0 << 0 << 0;
        QTest::newRow("unknown comparison")
            << json("{'conditions':[{'text':'C','op':'~','value':1}]}") << 0 << 0 << 0;
        QTest::newRow("comparison without a number")
            << json("{'conditions':[{'text':'C','op':'>'}]}") << 0 << 0 << 0;
        QTest::newRow("parameter out of range")
            << json("{'conditions':[{'formula':'RSI','params':{'N1':1000}}]}") << 0 << 0 << 0;
        QTest::newRow("unknown cycle")
            << json("{'conditions':[{'text':'C>O'}],'cycle':7}") << -1 << 0 << 0;
        QTest::newRow("bars out of range")
            << json("{'conditions':[{'text':'C>O'}],'bars':0}") << -1 << 0 << 0;
        QTest::newRow("logic neither and nor or")
            << json("{'conditions':[{'text':'C>O'}],'logic':'xor'}") << -1 << 0 << 0;
    }
    void badRequests() {
        QFETCH(QByteArray, body);
        QFETCH(int, condition);
        QFETCH(int, line);
        QFETCH(int, column);
        ScreenRequest r;
        RequestError e;
        QVERIFY(!parseScreenRequest(QJsonDocument::fromJson(body).object(), &r, &e));
        QVERIFY(!e.message.empty());
        QCOMPARE(e.condition, condition);
        QCOMPARE(e.line, line);
        if (column > 0) {
            QVERIFY(e.column > 0);
        }
    }

    void cancelHalfWay() {
        ScreenRequest r;
        RequestError e;
        QVERIFY(parseScreenRequest(request({own("C>MA(C,20)")}), &r, &e));
        // The members many times over: far more work than the test would wait for.
        std::vector<int> universe;
        for (int k = 0; k < 400; ++k) {
            universe.insert(universe.end(), shares_.begin(), shares_.end());
        }
        ScreenProgress progress;
        std::thread canceller([&] {
            while (progress.done.load() < 500) {
                std::this_thread::yield();
            }
            progress.cancel = true;
        });
        const auto found = runScreen(*m_, r, universe, 2, &progress);
        canceller.join();
        QVERIFY(progress.done.load() >= 500);
        QVERIFY(progress.done.load() < int(universe.size()) / 2);
        QVERIFY(found.size() <= size_t(progress.done.load()));
    }

    void overHttp() {
        httplib::Server server;
        vq::http::Directory directory;
        vq::http::Router router(server, directory);
        routes(m_, 2)(router);
        QCOMPARE(QString::fromStdString(directory.entries().at("condition_stock")),
                 QStringLiteral("/condition_stock"));
        const int port = server.bind_to_any_port("127.0.0.1");
        std::thread listener([&] { server.listen_after_bind(); });
        httplib::Client client("127.0.0.1", port);

        auto choices = client.Get("/condition_stock");
        QVERIFY(choices && choices->status == 200);
        const QJsonObject c = QJsonDocument::fromJson(choices->body.c_str()).object();
        QVERIFY(c.value("blocks").toArray().size() > 10);
        // Built-in formulas with the outputs a condition can read.
        bool rsiListed = false;
        for (const QJsonValue& f : c.value("formulas").toArray()) {
            if (f.toObject().value("code").toString() == "RSI") {
                rsiListed = f.toObject().value("outputs").toArray().contains("RSI1");
            }
        }
        QVERIFY(rsiListed);
        auto checked = client.Post("/condition_stock/check",
                                   json("{'conditions':[{'text':'A:=C;B:=MA(C,'}]}").constData(),
                                   "application/json");
        QVERIFY(checked && checked->status == 400);
        QCOMPARE(QJsonDocument::fromJson(checked->body.c_str()).object().value("condition").toInt(),
                 0);

        const QByteArray body =
            QJsonDocument(request({own("C>MA(C,20)")})).toJson(QJsonDocument::Compact);
        auto started =
            client.Post("/condition_stock/screen", body.toStdString(), "application/json");
        QVERIFY(started && started->status == 200);
        const std::string id = QJsonDocument::fromJson(started->body.c_str())
                                   .object()
                                   .value("id")
                                   .toString()
                                   .toStdString();
        QVERIFY(!id.empty());
        QJsonObject status;
        QTRY_VERIFY_WITH_TIMEOUT(
            ([&] {
                auto s = client.Get(("/condition_stock/screen/status?id=" + id).c_str());
                status = QJsonDocument::fromJson(s->body.c_str()).object();
                return status.value("state").toString() == "done";
            }()),
            30000);
        const QJsonArray items = status.value("items").toArray();
        const auto direct = screen(request({own("C>MA(C,20)")}));
        QCOMPARE(items.size(), int(direct.size()));
        const Security* first = m_->security(direct.front());
        QCOMPARE(items.first().toObject().value("code").toString(),
                 QString::fromStdString(first->code));
        QCOMPARE(items.first().toObject().value("market").toInt(), int(first->market));

        auto broken = client.Post("/condition_stock/screen",
                                  json("{'conditions':[{'text':'C>MA(C,'}]}").constData(),
                                  "application/json");
        QVERIFY(broken && broken->status == 400);
        const QJsonObject err = QJsonDocument::fromJson(broken->body.c_str()).object();
        QCOMPARE(err.value("line").toInt(), 1);
        QVERIFY(err.value("column").toInt() > 0);
        QVERIFY(client.Get("/condition_stock/screen/status?id=nope")->status == 404);
        QVERIFY(client.Post("/condition_stock/screen/cancel?id=nope", "", "text/plain")->status ==
                404);
        server.stop();
        listener.join();
    }
};

QTEST_GUILESS_MAIN(TestScreeningService)
#include "tst_screening_service.moc"
