// The event strip under a K-line chart: which bar an event lands on, hovering along the strip,
// groups replaced by name, and a security without dividends.
#include "chart/qchart_extend.h"
#include "chart_fixture.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using fixture::kDay;
using fixture::kDay0;

namespace {

QJsonObject marker(qint64 time, const QString& detailed, const QString& content = "q") {
    return QJsonObject{{"time", double(time)}, {"type", "text"}, {"color", "#FF0000"},
                       {"content", content},   {"url", ""},      {"detailed", detailed}};
}

QJsonObject group(const QString& name, const QJsonArray& events) {
    return QJsonObject{{"name", name}, {"data", events}};
}

// 60 daily bars with day 20 missing (a holiday): bar 20 is day 21.
std::vector<QuoteKPoint> barsWithHoliday() {
    std::vector<QuoteKPoint> points = fixture::kpoints(61);
    points.erase(points.begin() + 20);
    return points;
}

struct Fixture {
    std::unique_ptr<QChart> chart = fixture::makeChart();
    QChartExtend strip;
    Fixture() {
        chart->setLineType("kline");
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        fixture::feedKLine(*chart, barsWithHoliday());
        chart->setkShowNumber(60);
        strip.setParentItem(chart.get());
        strip.setY(chart->height() - 20);
        strip.setSize(QSizeF(chart->width(), 20));
        strip.setQChart(chart.get());
    }
    // Middle of the strip under bar k, in chart coordinates.
    QPoint under(int bar) const { return QPoint(chart->getPointX(bar), int(chart->height()) - 10); }
};

}  // namespace

class TestQChartExtend : public QObject {
    Q_OBJECT

private slots:
    void placement_data() {
        QTest::addColumn<qint64>("time");
        QTest::addColumn<int>("bar");
        QTest::newRow("on a trading day") << qint64(kDay0 + 5 * kDay) << 5;
        QTest::newRow("in the morning of a trading day") << qint64(kDay0 + 5 * kDay - 3600) << 5;
        QTest::newRow("on a holiday, marked on the next day") << qint64(kDay0 + 20 * kDay) << 20;
        QTest::newRow("on the first bar") << qint64(kDay0) << 0;
        QTest::newRow("before the first bar") << qint64(kDay0 - kDay) << -1;
        QTest::newRow("after the last bar") << qint64(kDay0 + 70 * kDay) << -1;
    }
    void placement() {
        QFETCH(qint64, time);
        QFETCH(int, bar);
        Fixture f;
        QCOMPARE(f.strip.barOfTime(time), bar);
        f.strip.appendExtendData(group("分红", QJsonArray{marker(time, "红利3.5元")}));
        const QJsonObject e =
            f.strip.extendData().at(0).toObject().value("data").toArray().at(0).toObject();
        if (bar < 0) {
            QVERIFY(!e.contains("xpos"));
        } else {
            QCOMPARE(e.value("xpos").toInt(), bar - f.chart->getBegin());
        }
    }

    // One tip per slot however many pixels the pointer moves over it; events of two groups on
    // the same bar share the tip; an event without description is drawn but not listed.
    void hoverAlongStrip() {
        Fixture f;
        f.strip.appendExtendData(
            group("分红", QJsonArray{marker(kDay0 + 10 * kDay, "红利3.5元 送转3股"),
                                     marker(kDay0 + 30 * kDay, "")}));
        f.strip.appendExtendData(
            group("research", QJsonArray{marker(kDay0 + 10 * kDay, "年度策略", "R")}));
        QSignalSpy tips(&f.strip, &QChartExtend::activeTip);
        const QPoint p = f.under(10);
        for (int dx = -1; dx <= 1; ++dx) {
            QVERIFY(f.strip.mouseMove(p.x() + dx, p.y()));
        }
        QCOMPARE(tips.count(), 1);
        const QJsonArray listed = tips[0][2].toJsonArray();
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed.at(0).toObject().value("detailed").toString(),
                 QString("红利3.5元 送转3股"));
        QCOMPARE(listed.at(1).toObject().value("content").toString(), QString("R"));

        // No description: the move is taken but no tip opens (day 30 is bar 29, after the
        // holiday).
        QVERIFY(f.strip.mouseMove(f.under(29).x(), p.y()));
        QCOMPARE(tips.count(), 1);
        // Empty slots and the chart above the strip are not the strip's.
        QVERIFY(!f.strip.mouseMove(f.under(40).x(), p.y()));
        QVERIFY(!f.strip.mouseMove(p.x(), p.y() - 40));
        // Coming back to the bar opens the tip again.
        QVERIFY(f.strip.mouseMove(p.x(), p.y()));
        QCOMPARE(tips.count(), 2);
    }

    // A new dividend block replaces the group; a security without dividends leaves no marker of
    // the previous one behind.
    void replacedByName_data() {
        QTest::addColumn<int>("events");
        QTest::newRow("new dividends") << 1;
        QTest::newRow("security without dividends") << 0;
    }
    void replacedByName() {
        QFETCH(int, events);
        Fixture f;
        f.strip.appendExtendData(group("分红", QJsonArray{marker(kDay0 + 10 * kDay, "红利1元")}));
        QJsonArray next;
        if (events > 0) {
            next.append(marker(kDay0 + 40 * kDay, "送转3股"));
        }
        f.strip.removeExtendData("分红");
        f.strip.appendExtendData(group("分红", next));
        QCOMPARE(f.strip.extendData().size(), 1);
        QSignalSpy tips(&f.strip, &QChartExtend::activeTip);
        QVERIFY(!f.strip.mouseMove(f.under(10).x(), f.under(10).y()));
        // Day 40 is bar 39, after the holiday.
        QCOMPARE(f.strip.mouseMove(f.under(39).x(), f.under(39).y()), events > 0);
        QCOMPARE(tips.count(), events);

        // The marker is painted in its colour under its bar, and only there.
        QImage image(int(f.strip.width()), 20, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        f.strip.paint(&painter);
        painter.end();
        auto redNear = [&image](int x) {
            for (int dx = -5; dx <= 5; ++dx) {
                for (int y = 0; y < image.height(); ++y) {
                    if (x + dx >= 0 && x + dx < image.width() &&
                        qRed(image.pixel(x + dx, y)) > 128 && qGreen(image.pixel(x + dx, y)) < 80) {
                        return true;
                    }
                }
            }
            return false;
        };
        QVERIFY(!redNear(f.under(10).x()));
        QCOMPARE(redNear(f.under(39).x()), events > 0);
    }

    // An icon event is drawn as its 16-pixel icon, centred under the bar.
    void imageEvent() {
        Fixture f;
        QJsonObject e = marker(kDay0 + 12 * kDay, "公告");
        e.insert("type", "image");
        e.insert("content", "1");
        f.strip.appendExtendData(group("notes", QJsonArray{e}));
        QImage image(int(f.strip.width()), 20, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        f.strip.paint(&painter);
        painter.end();
        const int x = f.under(12).x();
        int drawn = 0;
        for (int dx = -12; dx <= 12; ++dx) {
            for (int y = 0; y < 20; ++y) {
                if (image.pixel(x + dx, y) != qRgb(0, 0, 0)) {
                    QVERIFY2(std::abs(dx) <= 8, qPrintable(QString::number(dx)));
                    ++drawn;
                }
            }
        }
        QVERIFY(drawn > 0);
        QVERIFY(f.strip.mouseMove(x, f.under(12).y()));
    }

    // Without bars nothing is placed or hovered.
    void chartWithoutBars() {
        auto chart = fixture::makeChart();
        chart->appendFormula(0, "KLINE", "KSCALES", "KCROSSHAIR");
        QChartExtend strip;
        strip.setParentItem(chart.get());
        strip.setY(chart->height() - 20);
        strip.setSize(QSizeF(chart->width(), 20));
        strip.setQChart(chart.get());
        strip.appendExtendData(group("分红", QJsonArray{marker(kDay0, "红利1元")}));
        QVERIFY(!strip.mouseMove(100, int(chart->height()) - 10));
        QCOMPARE(strip.barOfTime(kDay0), -1);
    }
};

QTEST_MAIN(TestQChartExtend)
#include "tst_qchart_extend.moc"
