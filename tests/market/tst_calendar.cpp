// Beijing-time arithmetic, the exchange calendar and the minute grid every series uses.
#include "server/market/calendar.h"

#include <QtTest>

using namespace vq::market;

class TestCalendar : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data() {
        QTest::addColumn<int>("ymd");
        QTest::addColumn<int>("weekday");
        QTest::newRow("epoch") << 19700101 << 4;
        QTest::newRow("leap day") << 20240229 << 4;
        QTest::newRow("century non-leap") << 21000301 << 1;
        QTest::newRow("year end") << 20251231 << 3;
        QTest::newRow("before epoch") << 19691231 << 3;
    }
    void roundTrip() {
        QFETCH(int, ymd);
        QFETCH(int, weekday);
        QCOMPARE(dateFromDays(daysFromDate(ymd)), ymd);
        QCOMPARE(vq::market::weekday(ymd), weekday);
    }

    void beijing_data() {
        QTest::addColumn<int>("ymd");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<qint64>("utc");
        // 2024-06-14 09:30 Beijing is 01:30 UTC.
        QTest::newRow("open") << 20240614 << 9 << 30 << qint64(1718328600);
        QTest::newRow("close") << 20240614 << 15 << 0 << qint64(1718348400);
        // Just after Beijing midnight it is still the previous UTC day.
        QTest::newRow("midnight") << 20240615 << 0 << 5 << qint64(1718381100);
    }
    void beijing() {
        QFETCH(int, ymd);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(qint64, utc);
        QCOMPARE(qint64(beijingTime(ymd, hour, minute)), utc);
        QCOMPARE(beijingDate(utc), ymd);
        QCOMPARE(beijingSecondOfDay(utc), hour * 3600 + minute * 60);
    }

    void tradingDays_data() {
        QTest::addColumn<int>("ymd");
        QTest::addColumn<bool>("trading");
        QTest::newRow("ordinary Friday") << 20240614 << true;
        QTest::newRow("Saturday") << 20240615 << false;
        QTest::newRow("Sunday") << 20240616 << false;
        QTest::newRow("New Year") << 20250101 << false;
        QTest::newRow("Spring Festival") << 20240212 << false;
        QTest::newRow("Spring Festival eve") << 20240209 << false;
        QTest::newRow("after the festival week") << 20240219 << true;
        QTest::newRow("National Day") << 20241003 << false;
        QTest::newRow("after National Day") << 20241008 << true;
        QTest::newRow("Labour Day") << 20250502 << false;
    }
    void tradingDays() {
        QFETCH(int, ymd);
        QFETCH(bool, trading);
        QCOMPARE(isTradingDay(ymd), trading);
        const int next = nextTradingDay(ymd);
        QVERIFY(next > ymd && isTradingDay(next));
        QVERIFY(previousTradingDay(next) <= ymd || !trading);
    }

    void yearHasPlausibleLength() {
        // Exchanges trade about 242 days a year.
        const auto days = tradingDaysBetween(20230101, 20231231);
        QVERIFY2(days.size() >= 235 && days.size() <= 250,
                 qPrintable(QString::number(days.size())));
        QVERIFY(std::is_sorted(days.begin(), days.end()));
    }

    void minuteGrid_data() {
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("elapsed");
        auto t = [](int h, int m, int s = 0) { return h * 3600 + m * 60 + s; };
        QTest::newRow("before auction") << t(9, 0) << -1 << 0;
        QTest::newRow("auction match") << t(9, 25) << 0 << 0;
        QTest::newRow("open") << t(9, 30) << 0 << 0;
        QTest::newRow("end of first minute") << t(9, 31) << 0 << 1;
        QTest::newRow("second minute") << t(9, 31, 1) << 1 << 2;
        QTest::newRow("morning close") << t(11, 30) << 119 << 120;
        QTest::newRow("lunch") << t(12, 0) << -1 << 120;
        QTest::newRow("afternoon open") << t(13, 0) << 120 << 120;
        QTest::newRow("afternoon first minute") << t(13, 0, 30) << 120 << 121;
        QTest::newRow("close") << t(15, 0) << 239 << 240;
        QTest::newRow("after close") << t(15, 0, 1) << -1 << 240;
    }
    void minuteGrid() {
        QFETCH(int, second);
        QFETCH(int, index);
        QFETCH(int, elapsed);
        QCOMPARE(minuteIndex(second), index);
        QCOMPARE(minutesElapsed(second), elapsed);
        if (index >= 0)
            QVERIFY(minuteEnd(index) >= second || second <= session::kMorningOpen);
    }

    void minuteEnds() {
        QCOMPARE(minuteEnd(0), 9 * 3600 + 31 * 60);
        QCOMPARE(minuteEnd(119), 11 * 3600 + 30 * 60);
        QCOMPARE(minuteEnd(120), 13 * 3600 + 60);
        QCOMPARE(minuteEnd(239), 15 * 3600);
        // Every minute end maps back to its own bar.
        for (int i = 0; i < session::kMinutes; ++i)
            QCOMPARE(minuteIndex(minuteEnd(i)), i);
    }
};

QTEST_GUILESS_MAIN(TestCalendar)
#include "tst_calendar.moc"
