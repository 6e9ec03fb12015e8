// The news and research of a demo server: seeded once and never over an operator's items,
// dated on the market's own trading days, with figures that are the market's own, and the
// live market reviews published once per day and session however often the server starts.
#include "server/demo/demo_articles.h"
#include "server/demo/demo_market.h"
#include "server/demo/demo_text.h"
#include "server/demo/market_review.h"
#include "server/demo/review_publisher.h"
#include "server/market/calendar.h"
#include "server/store/database.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <set>

using namespace vq;

namespace {

constexpr int kDay = 20240614;  // a Friday; the test market starts at 14:00 of it

std::unique_ptr<market::Market> makeMarket(int hour, int minute) {
    market::Options o;
    o.clock = market::ClockMode::Manual;
    o.startTime = market::beijingTime(kDay, hour, minute);
    o.aShares = 600;
    return market::Market::create(o);
}

market::Market& afternoonMarket() {
    static std::unique_ptr<market::Market> m = makeMarket(14, 0);
    return *m;
}

int dayOf(const QString& pubdate) {
    return QDate::fromString(pubdate, QStringLiteral("yyyy-MM-dd")).toString("yyyyMMdd").toInt();
}

struct TestDb {
    QTemporaryDir dir;
    std::unique_ptr<store::Database> db;
    TestDb() {
        store::DbConfig config;
        config.path = dir.filePath("demo.db");
        db = std::make_unique<store::Database>(config);
        QString error;
        if (!db->open(&error)) {
            qFatal("%s", qPrintable(error));
        }
    }
    QJsonArray list(const QString& kind) {
        return store::Publications(*db).articles(kind, QString(), 0, 0, 10000);
    }
};

const std::vector<store::Article>& seeded() {
    static const std::vector<store::Article> items = demo::demoArticles(afternoonMarket());
    return items;
}

const market::Security& subjectOf(const store::Article& a) {
    market::Market& m = afternoonMarket();
    return *m.security(m.find(a.code.toStdString(), a.market));
}

// The close a text quotes after "股价报".
double quotedClose(const QString& content) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("股价报([0-9.]+)元")).match(content);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

}  // namespace

class TestDemoArticles : public QObject {
    Q_OBJECT
private slots:
    void seededOnlyIntoAnEmptyStore_data() {
        QTest::addColumn<QString>("operatorKind");  // what an operator published first
        QTest::addColumn<int>("starts");
        QTest::addColumn<bool>("reviewsFollow");  // live reviews join the items
        QTest::newRow("fresh server") << QString() << 1 << true;
        QTest::newRow("restarted server") << QString() << 3 << true;
        QTest::newRow("operator news") << "news" << 2 << false;
        QTest::newRow("operator research") << "research" << 1 << false;
    }
    void seededOnlyIntoAnEmptyStore() {
        QFETCH(QString, operatorKind);
        QFETCH(int, starts);
        QFETCH(bool, reviewsFollow);
        TestDb t;
        store::Publications publications(*t.db);
        if (!operatorKind.isEmpty()) {
            store::Article a;
            a.kind = operatorKind;
            a.title = QStringLiteral("运营方发布");
            a.pubdate = QStringLiteral("2024-06-13");
            publications.addArticle(a);
        }
        for (int k = 0; k < starts; ++k) {
            QCOMPARE(demo::seedArticles(publications, afternoonMarket()),
                     operatorKind.isEmpty() && k == 0);
        }
        const int total = t.list("news").size() + t.list("research").size();
        QCOMPARE(total, operatorKind.isEmpty() ? int(seeded().size()) : 1);
        QCOMPARE(demo::demoNewsPublished(publications), reviewsFollow);
    }

    void everyKindIsSeeded() {
        std::set<QString> kinds;
        for (const store::Article& a : seeded()) {
            QVERIFY(!a.title.isEmpty() && !a.content.isEmpty() && !a.source.isEmpty());
            kinds.insert(a.kind + (a.code.isEmpty() ? "/market" : "/company"));
            QVERIFY2(dayOf(a.pubdate) <= demo::lastFinishedDay(afternoonMarket()),
                     qPrintable(a.title));
        }
        QCOMPARE(kinds, (std::set<QString>{"news/company", "news/market", "research/company"}));
    }

    // A research marker sits on a daily bar of its stock, with that bar's close and the
    // stock's own rating.
    void researchSitsOnTheStocksBars() {
        int reports = 0;
        for (const store::Article& a : seeded()) {
            if (a.kind != QLatin1String("research")) {
                continue;
            }
            ++reports;
            const market::Security& s = subjectOf(a);
            const int day = dayOf(a.pubdate);
            QVERIFY(market::isTradingDay(day));
            double close = -1;
            for (const market::Bar& b : demo::finishedBars(afternoonMarket(), s.index, 120)) {
                if (demo::barDay(b) == day) {
                    close = b.close;
                }
            }
            QVERIFY2(close > 0, qPrintable(a.title));
            QCOMPARE(quotedClose(a.content), std::round(close * 100) / 100);
            QVERIFY(a.title.startsWith(QStringLiteral("%1（%2）：").arg(demo::nameOf(s), a.code)));
            QVERIFY(a.title.contains(demo::ratingWord(s.rating)));
            // The claim agrees with the rating.
            static const QRegularExpression against(QStringLiteral("承压|偏弱|较大|谨慎|消化"));
            static const QRegularExpression in(QStringLiteral("向好|突出|领先|安全边际|强于|提升"));
            if (s.rating >= 4) {
                QVERIFY2(!a.title.contains(against), qPrintable(a.title));
            } else if (s.rating <= 2) {
                QVERIFY2(!a.title.contains(in), qPrintable(a.title));
            }
        }
        QCOMPARE(reports, 36 * 3);
    }

    // A dividend notice comes out before the ex-rights day the market has for the stock.
    void dividendNoticesPrecedeTheMarketsExDates() {
        int notices = 0;
        for (const store::Article& a : seeded()) {
            if (!a.title.endsWith(QStringLiteral("权益分派实施公告"))) {
                continue;
            }
            ++notices;
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("除权（息）日：(\\d{4}-\\d{2}-\\d{2})"))
                    .match(a.content);
            QVERIFY(m.hasMatch());
            const int exDate = dayOf(m.captured(1));
            QVERIFY(dayOf(a.pubdate) < exDate);
            bool found = false;
            for (const market::Dividend& d : afternoonMarket().dividends(subjectOf(a).index)) {
                found = found || d.exDate == exDate;
            }
            QVERIFY2(found, qPrintable(a.title));
        }
        QVERIFY(notices > 0);
    }

    // Each unusual-movement notice quotes the three days' deviation from the exchange's index
    // as the bars give it, at or past the exchange's threshold.
    void unusualMovesAreTheBarsDeviation() {
        market::Market& m = afternoonMarket();
        int notices = 0;
        for (const store::Article& a : seeded()) {
            if (!a.title.endsWith(QStringLiteral("股票交易异常波动公告"))) {
                continue;
            }
            ++notices;
            const market::Security& s = subjectOf(a);
            const QRegularExpressionMatch quoted =
                QRegularExpression(QStringLiteral("偏离值累计达到([0-9.]+)%")).match(a.content);
            QVERIFY(quoted.hasMatch());
            const int index = m.find(s.market == market::Shanghai ? "1A0001" : "399001", s.market);
            const std::map<int, double> indexCloses =
                demo::closesByDay(demo::finishedBars(m, index, 200));
            const std::vector<market::Bar> bars =
                demo::finishedBars(m, s.index, 200, market::Adjust::Forward);
            // The three days end on the trading day before the notice.
            const int last = market::previousTradingDay(dayOf(a.pubdate));
            size_t k = 0;
            while (demo::barDay(bars[k]) != last) {
                ++k;
            }
            double total = 0;
            for (size_t j = k - 2; j <= k; ++j) {
                total += bars[j].close / bars[j - 1].close -
                         indexCloses.at(demo::barDay(bars[j])) /
                             indexCloses.at(demo::barDay(bars[j - 1]));
            }
            QCOMPARE(quoted.captured(1), demo::percent(std::abs(total)).chopped(1));
            QVERIFY(std::abs(total) >= (s.limitRate() >= 0.2 ? 0.3 : 0.2));
        }
        QVERIFY(notices > 0);
    }

    void wording_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("rise with sign") << demo::percent(0.0052, true) << "+0.52%";
        QTest::newRow("fall") << demo::percent(-0.01234) << "-1.23%";
        QTest::newRow("tiny fall is flat") << demo::percent(-0.00001, true) << "0.00%";
        QTest::newRow("thousands") << demo::grouped(3215.333) << "3,215.33";
        QTest::newRow("hundred millions") << demo::hundredMillions(1.5143e12) << "15,143.00亿元";
        QTest::newRow("day") << demo::dayText(20240607) << "2024-06-07";
        QTest::newRow("month and day") << demo::monthDayText(20240607) << "6月7日";
        QTest::newRow("rating") << demo::ratingWord(4) << "增持";
        QTest::newRow("no rating") << demo::ratingWord(0) << "";
    }
    void wording() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void reviewFiguresAreTheIndexBars_data() {
        QTest::addColumn<int>("daysBack");  // finished days before the running one; 0: it
        QTest::addColumn<int>("session");
        QTest::addColumn<bool>("available");
        QTest::newRow("last close") << 1 << int(demo::ReviewSession::Close) << true;
        QTest::newRow("close a week back") << 5 << int(demo::ReviewSession::Close) << true;
        QTest::newRow("midday a week back") << 5 << int(demo::ReviewSession::Midday) << true;
        QTest::newRow("today's midday") << 0 << int(demo::ReviewSession::Midday) << true;
        QTest::newRow("today's close, still trading")
            << 0 << int(demo::ReviewSession::Close) << false;
    }
    void reviewFiguresAreTheIndexBars() {
        QFETCH(int, daysBack);
        QFETCH(int, session);
        QFETCH(bool, available);
        market::Market& m = afternoonMarket();
        const int day = demo::tradingDaysBefore(kDay, daysBack);
        const auto kind = demo::ReviewSession(session);
        const std::optional<demo::ReviewFigures> f = demo::reviewFigures(m, day, kind);
        QCOMPARE(bool(f), available);
        if (!f) {
            return;
        }
        QCOMPARE(int(f->indices.size()), 3);
        const int sh = m.find("1A0001", market::Shanghai);
        if (kind == demo::ReviewSession::Close) {
            const std::vector<market::Bar> bars = demo::finishedBars(m, sh, 30);
            size_t k = 0;
            while (demo::barDay(bars[k]) != day) {
                ++k;
            }
            QCOMPARE(f->indices[0].close, double(bars[k].close));
            QCOMPARE(f->indices[0].preClose, double(bars[k - 1].close));
            QCOMPARE(f->indices[0].high, double(bars[k].high));
        } else {
            const market::MinuteDay md = m.minutes(sh, day);
            QCOMPARE(md.points[119].time, market::beijingTime(day, 11, 30));
            QCOMPARE(f->indices[0].close, double(md.points[119].price));
            QCOMPARE(f->indices[0].preClose, double(md.preClose));
        }
        const store::Article a = demo::reviewArticle(*f);
        QVERIFY(a.code.isEmpty());
        QCOMPARE(a.pubdate, demo::dayText(day));
        QVERIFY(a.title.startsWith(demo::reviewPrefix(kind)));
        QVERIFY2(a.title.contains(demo::grouped(f->indices[0].close) + QStringLiteral("点")),
                 qPrintable(a.title));
        QVERIFY(a.content.contains(demo::percent(std::abs(f->indices[0].change()))));
        QVERIFY(a.content.contains(demo::hundredMillions(f->turnover)));
    }

    void reviewsPublishedOncePerDayAndSession_data() {
        QTest::addColumn<int>("startHour");
        // Market time as hhmm, plus 10000 for each trading day after the first; 0 restarts
        // the server.
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<QList<int>>("published");  // reviews each step publishes
        QTest::addColumn<int>("total");
        QTest::newRow("morning, then noon, restart")
            << 10 << QList<int>{1000, 1131, 0, 1131} << QList<int>{1, 1, 0, 0} << 2;
        QTest::newRow("afternoon start, close, restart")
            << 14 << QList<int>{1400, 1501, 1502, 0, 1502} << QList<int>{2, 1, 0, 0, 0} << 3;
        QTest::newRow("the day ends between two looks")
            << 14 << QList<int>{1400, 11000, 11000, 0, 11200} << QList<int>{2, 1, 0, 0, 1} << 4;
    }
    void reviewsPublishedOncePerDayAndSession() {
        QFETCH(int, startHour);
        QFETCH(QList<int>, steps);
        QFETCH(QList<int>, published);
        QFETCH(int, total);
        TestDb t;
        std::unique_ptr<market::Market> m = makeMarket(startHour, 0);
        auto publisher = std::make_unique<demo::ReviewPublisher>(*t.db, *m);
        for (int k = 0; k < steps.size(); ++k) {
            if (steps[k] == 0) {
                publisher = std::make_unique<demo::ReviewPublisher>(*t.db, *m);
                continue;
            }
            int day = kDay;
            for (int d = 0; d < steps[k] / 10000; ++d) {
                day = market::nextTradingDay(day);
            }
            const int hhmm = steps[k] % 10000;
            m->advanceTo(market::beijingTime(day, hhmm / 100, hhmm % 100));
            QCOMPARE(publisher->publishDue(), published[k]);
        }
        const QJsonArray news = t.list("news");
        QCOMPARE(news.size(), total);
        std::set<QString> keys;
        for (const QJsonValue& v : news) {
            const QString title = v.toObject().value("title").toString();
            QVERIFY(keys.insert(v.toObject().value("pubdate").toString() + title.left(4)).second);
        }
    }
};

QTEST_GUILESS_MAIN(TestDemoArticles)
#include "tst_demo_articles.moc"
