// The market-derived HTTP documents: breadth bands, the reference documents the terminal
// loads at login, the company pages, and the routes with their error answers over a real
// loopback server.
#include "server/http/router.h"
#include "server/market/calendar.h"
#include "server/market/market.h"
#include "server/market_http/documents.h"
#include "server/market_http/routes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <cstring>
#include <set>
#include <thread>

using namespace vq::market;
using namespace vq::market_http;

namespace {

Quote quote(float pre, float close, int64_t vol, double limit = 0.1) {
    Quote q;
    std::memset(static_cast<void*>(&q), 0, sizeof q);
    q.pre_close = pre;
    q.close = close;
    q.vol = vol;
    q.rf_rate = (close - pre) / pre;
    q.rise_limit = float(std::round(pre * (1 + limit) * 100) / 100);
    q.fall_limit = float(std::round(pre * (1 - limit) * 100) / 100);
    return q;
}

}  // namespace

class TestMarketHttp : public QObject {
    Q_OBJECT
    std::shared_ptr<Market> m_;
    std::unique_ptr<httplib::Server> server_;
    vq::http::Directory directory_;
    std::thread listener_;
    int port_ = 0;

private slots:
    void cleanupTestCase() {
        if (server_) {
            server_->stop();
            listener_.join();
        }
    }

    void initTestCase() {
        Options o;
        o.seed = 11;
        o.clock = ClockMode::Manual;
        o.aShares = 300;
        o.startTime = beijingTime(20240614, 14, 0);
        m_ = Market::create(o);
    }

    void bands_data() {
        QTest::addColumn<float>("pre");
        QTest::addColumn<float>("close");
        QTest::addColumn<qint64>("vol");
        QTest::addColumn<double>("limit");
        QTest::addColumn<int>("band");
        QTest::newRow("limit up") << 10.0f << 11.0f << qint64(100) << 0.1 << 0;
        QTest::newRow("ST limit up at 5%") << 10.0f << 10.5f << qint64(100) << 0.05 << 0;
        QTest::newRow("growth board 12% is not limit") << 10.0f << 11.2f << qint64(100) << 0.2 << 1;
        QTest::newRow("exactly 8%") << 10.0f << 10.8f << qint64(100) << 0.1 << 1;
        QTest::newRow("7.9%") << 10.0f << 10.79f << qint64(100) << 0.1 << 2;
        QTest::newRow("exactly 2%") << 10.0f << 10.2f << qint64(100) << 0.1 << 4;
        QTest::newRow("tiny rise") << 10.0f << 10.01f << qint64(100) << 0.1 << 5;
        QTest::newRow("flat") << 10.0f << 10.0f << qint64(100) << 0.1 << 6;
        QTest::newRow("not traded") << 10.0f << 10.0f << qint64(0) << 0.1 << 6;
        QTest::newRow("tiny fall") << 10.0f << 9.99f << qint64(100) << 0.1 << 7;
        QTest::newRow("exactly -2%") << 10.0f << 9.8f << qint64(100) << 0.1 << 8;
        QTest::newRow("-6.5%") << 10.0f << 9.35f << qint64(100) << 0.1 << 10;
        QTest::newRow("-9%") << 10.0f << 9.1f << qint64(100) << 0.1 << 11;
        QTest::newRow("limit down") << 10.0f << 9.0f << qint64(100) << 0.1 << 12;
    }
    void bands() {
        QFETCH(float, pre);
        QFETCH(float, close);
        QFETCH(qint64, vol);
        QFETCH(double, limit);
        QFETCH(int, band);
        QCOMPARE(breadthBand(quote(pre, close, vol, limit)), band);
    }

    void breadthCountsTheMarket() {
        const QJsonObject doc = breadthDocument(*m_);
        const SnapshotPtr snap = m_->snapshot();
        int aShares = 0, chinext = 0, sh = 0;
        for (const Security& s : m_->securities())
            if (s.type == SecType::Stock) {
                ++aShares;
                sh += s.market == Shanghai;
                chinext += s.code.rfind("300", 0) == 0 || s.code.rfind("301", 0) == 0;
            }
        // Counts of the drawn bands, and whether the totals agree with them.
        auto sum = [&](const char* key, bool& totalsOk) {
            int n = 0, up = 0, down = 0, upTotal = -1, downTotal = -1;
            for (const QJsonValue& v : doc.value(key).toArray()) {
                const QJsonObject o = v.toObject();
                const QString sec = o.value("section").toString();
                const int c = o.value("count").toInt(), t = o.value("type").toInt();
                if (sec == "up_counts")
                    upTotal = c;
                else if (sec == "down_counts")
                    downTotal = c;
                else {
                    n += c;
                    up += t > 0 ? c : 0;
                    down += t < 0 ? c : 0;
                }
            }
            totalsOk = upTotal == up && downTotal == down;
            return n;
        };
        bool ok = false;
        QCOMPARE(sum("HS", ok), aShares);
        QVERIFY(ok);
        QCOMPARE(sum("SH", ok), sh);
        QVERIFY(ok);
        QCOMPARE(sum("SZ", ok), aShares - sh);
        QVERIFY(ok);
        QCOMPARE(sum("CY", ok), chinext);
        QVERIFY(ok);
        // Every band of HS is the sum of SH and SZ.
        const QJsonArray hs = doc.value("HS").toArray(), s1 = doc.value("SH").toArray(),
                         s2 = doc.value("SZ").toArray();
        QCOMPARE(hs.size(), 15);
        for (int b = 0; b < hs.size(); ++b)
            QCOMPARE(
                hs[b].toObject().value("count").toInt(),
                s1[b].toObject().value("count").toInt() + s2[b].toObject().value("count").toInt());
    }

    void boardDocumentResolvesIndices() {
        const QJsonObject doc = boardDocument(*m_);
        QCOMPARE(doc.value("code").toString(), QString("0000"));
        std::set<QString> keys;
        int bk = 0;
        for (const QJsonValue& v : doc.value("data").toArray()) {
            const QJsonObject o = v.toObject();
            const qint64 id = qint64(o.value("block_id").toDouble());
            const BlockInfo* b = m_->block(id);
            QVERIFY(b);
            QCOMPARE(o.value("count").toInt(), int(b->members.size()));
            if (o.contains("code"))
                keys.insert(o.value("code").toString() + "_" +
                            QString::number(o.value("market").toInt()));
            bk += o.value("market").toInt() == 90;
        }
        QCOMPARE(bk,
                 int(m_->blocksOfCategory(Industry).size() + m_->blocksOfCategory(Region).size() +
                     m_->blocksOfCategory(Concept).size()));
        for (const char* k : {"1A0001_1", "399001_2", "399006_2", "399005_2"})
            QVERIFY2(keys.count(k), k);
    }

    void referenceLists() {
        const QJsonArray ratings = ratingDocument(*m_).value("data").toArray();
        const QJsonArray margin = marginDocument(*m_).value("data").toArray();
        QVERIFY(!ratings.isEmpty() && !margin.isEmpty());
        for (const QJsonValue& v : ratings) {
            const int r = v.toObject().value("rating").toInt();
            QVERIFY(r >= 1 && r <= 5);
            QVERIFY(!v.toObject().value("rating_text").toString().isEmpty());
        }
        for (const QJsonValue& v : margin) {
            const QJsonObject o = v.toObject();
            const int i =
                m_->find(o.value("code").toString().toStdString(), o.value("market").toInt());
            QVERIFY(i >= 0 && m_->securities()[size_t(i)].margin);
            QVERIFY(o.value("finance_balance").toDouble() > 0);
        }
    }

    void pages_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QStringList>("sections");
        QTest::newRow("f10") << 10
                             << QStringList{"公司概况", "股本结构", "主要财务指标", "分红送配"};
        QTest::newRow("f9") << 9 << QStringList{"估值分析", "走势分析", "行业地位", "所属板块表现"};
        QTest::newRow("f11") << 11 << QStringList{"诊断结果", "综合评分", "诊断要点"};
    }
    void pages() {
        QFETCH(int, which);
        QFETCH(QStringList, sections);
        int stock = -1;
        for (const Security& s : m_->securities())
            if (s.type == SecType::Stock && s.listDate < 20150101) {
                stock = s.index;
                break;
            }
        QVERIFY(stock >= 0);
        auto build = [&](int i) {
            return which == 9 ? f9Page(*m_, i) : which == 10 ? f10Page(*m_, i) : f11Page(*m_, i);
        };
        const QString html = build(stock);
        QVERIFY(html.startsWith("<!DOCTYPE html>"));
        QVERIFY(html.contains(QString::fromStdString(m_->securities()[size_t(stock)].name)));
        for (const QString& s : sections)
            QVERIFY2(html.contains(s), qPrintable(s));
        QVERIFY(build(-1).isEmpty());
        QVERIFY(build(1 << 30).isEmpty());
        // An index has no financial figures or dividends but still gets a page.
        QVERIFY(!build(m_->find("1A0001", 1)).isEmpty());
    }

    void industryStanding() {
        // The biggest company of an industry is first by market value on its page.
        const BlockInfo* ind = m_->block(m_->blocksOfCategory(Industry).front());
        QVERIFY(ind && !ind->members.empty());
        const SnapshotPtr snap = m_->snapshot();
        int best = ind->members.front();
        auto cap = [&](int i) {
            return double(m_->securities()[size_t(i)].totalShares) * snap->quote(i).close;
        };
        for (int i : ind->members)
            if (cap(i) > cap(best))
                best = i;
        const QString html = f9Page(*m_, best);
        QVERIFY2(
            html.contains(
                QString("<tr><th>总市值排名</th><td>1 / %1</td></tr>").arg(ind->members.size())),
            qPrintable(html));
    }

    void routes_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("contentType");
        QTest::newRow("breadth") << "/market_total" << 200 << "application/json";
        QTest::newRow("board") << "/board" << 200 << "application/json";
        QTest::newRow("ratings") << "/stock_rating" << 200 << "application/json";
        QTest::newRow("margin") << "/stock_rzrq" << 200 << "application/json";
        QTest::newRow("f10 of the composite") << "/f10?code=1A0001&market=1" << 200 << "text/html";
        QTest::newRow("f11") << "/f11?code=399001&market=2" << 200 << "text/html";
        QTest::newRow("unknown code") << "/f10?code=NOPE&market=1" << 404 << "application/json";
        QTest::newRow("missing market") << "/f9?code=1A0001" << 400 << "application/json";
        QTest::newRow("market not a number")
            << "/f9?code=1A0001&market=x" << 400 << "application/json";
        QTest::newRow("placeholder left in")
            << "/f10?code={{code}}&market=1" << 400 << "application/json";
        QTest::newRow("code too long")
            << "/f10?code=12345678901234567&market=1" << 400 << "application/json";
    }
    void routes() {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, contentType);
        if (!server_) {
            server_ = std::make_unique<httplib::Server>();
            vq::http::Router router(*server_, directory_);
            vq::market_http::routes(m_)(router);
            port_ = server_->bind_to_any_port("127.0.0.1");
            listener_ = std::thread([this] { server_->listen_after_bind(); });
            const auto entries = directory_.entries();
            QCOMPARE(entries.at("f10"), std::string("/f10?code={{code}}&market={{market}}"));
            QVERIFY(entries.count("market_total") && entries.count("board") &&
                    entries.count("stock_rzrq"));
        }
        httplib::Client client("127.0.0.1", port_);
        auto res = client.Get(path.toStdString().c_str());
        for (int attempt = 0; attempt < 50 && !res; ++attempt) {
            QTest::qWait(20);
            res = client.Get(path.toStdString().c_str());
        }
        QVERIFY(res);
        QCOMPARE(res->status, status);
        QVERIFY2(
            QString::fromStdString(res->get_header_value("Content-Type")).startsWith(contentType),
            res->get_header_value("Content-Type").c_str());
        if (contentType == "application/json") {
            QJsonParseError err{};
            QJsonDocument::fromJson(QByteArray::fromStdString(res->body), &err);
            QCOMPARE(err.error, QJsonParseError::NoError);
        }
    }
};

QTEST_GUILESS_MAIN(TestMarketHttp)
#include "tst_market_http.moc"
