// Tool geometry without a chart: hit tests of every tool's body, the members and order of the
// saved forms, and the shapes whose details are easy to get wrong.
#include "paint/cpaint_marks.h"
#include "paint/cpaint_method_base.h"
#include "paint/cpaint_shapes.h"
#include "paint/tool_registry.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>

namespace {

// A 600 x 600 plot from (60, 20) over 120 daily bars in slots of 5 pixels, values 10 .. 30.
class FixedHost : public paint::PaintHost {
public:
    FixedHost() {
        geo.rect = geo.fullRect = QRect(60, 20, 600, 600);
        geo.barWidth = 4;
        geo.barGap = 1;
        geo.max = 30;
        geo.min = 10;
        for (int i = 0; i < 120; ++i) {
            const float c = 15 + 0.05f * i;
            series.push_back(KData{0, uint32_t(1577923200 + 86400 * i), c, c + 0.5f, c - 0.5f, c, 0,
                                   0, c, 0, 0});
        }
    }
    const PaneGeometry* mainGeometry() const override { return &geo; }
    int begin() const override { return 0; }
    int end() const override { return 119; }
    const KSeries* bars() const override { return &series; }
    void requestRepaint() override {}
    void requestTextDialog(uint, const QString&, const QString&, const QString&) override {
        ++dialogs;
    }
    void requestMenu(const QString&, int, int) override {}

    PaneGeometry geo;
    KSeries series;
    int dialogs = 0;
};

std::unique_ptr<CPaintMethodBase> placed(FixedHost& host, const QString& type, QPoint a, QPoint b) {
    std::unique_ptr<CPaintMethodBase> t(paint::factoryForType(type)());
    t->setChart(&host);
    t->setRect(60, 20, 659, 619);
    t->attached = false;
    t->setStart(a.x(), a.y());
    if (t->threeClick) {
        t->setMid((a.x() + b.x()) / 2, a.y());
    }
    t->setEnd(b.x(), b.y());
    t->update();
    return t;
}

}  // namespace

class TestPaintGeometry : public QObject {
    Q_OBJECT
private slots:
    void bodyHits_data();
    void bodyHits();
    void savedForms_data();
    void savedForms();
    void arcStartAngles_data();
    void arcStartAngles();
    void arrowsAndColours();
    void anchorsFollowTheirBars();
};

void TestPaintGeometry::bodyHits_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QPoint>("hit");
    QTest::addColumn<QPoint>("miss");
    // Every tool from (202, 300) to (402, 200) unless the row says otherwise.
    QTest::newRow("segment") << "PaintSegment" << QPoint(302, 251) << QPoint(502, 150);
    QTest::newRow("line beyond its points") << "PaintLine" << QPoint(502, 151) << QPoint(502, 160);
    QTest::newRow("rectangle edge") << "PaintRect" << QPoint(300, 202) << QPoint(300, 250);
    QTest::newRow("circle ring, 6 px out")
        << "PaintEllipse" << QPoint(202 + 223 + 6, 300) << QPoint(202 + 223 + 8, 300);
    QTest::newRow("half ellipse") << "PaintArcEllipse" << QPoint(402, 201) << QPoint(402, 300);
    QTest::newRow("up arrow at its end") << "PaintUpArrow" << QPoint(401, 199) << QPoint(202, 300);
    QTest::newRow("speed lines") << "PaintSpeedBlock" << QPoint(402, 233) << QPoint(402, 150);
    QTest::newRow("gann fan 1x1 ray") << "PaintGannLine" << QPoint(502, 151) << QPoint(150, 250);
    QTest::newRow("golden split 38.2%")
        << "PaintGoldenSplit" << QPoint(600, 262) << QPoint(600, 280);
    QTest::newRow("golden price start")
        << "PaintGoldenPrice" << QPoint(202, 300) << QPoint(600, 290);
    QTest::newRow("cycle lines repeat") << "PaintCycleLine" << QPoint(602, 400) << QPoint(500, 400);
    QTest::newRow("fibonacci zone 13")
        << "PaintFibonacci" << QPoint(402 + 12 * 5, 500) << QPoint(402 + 11 * 5, 500);
    QTest::newRow("three points") << "PaintThreePoint" << QPoint(252, 300) << QPoint(252, 250);
    QTest::newRow("golden collection")
        << "PaintGoldenCollect" << QPoint(500, 300) << QPoint(150, 290);
}

void TestPaintGeometry::bodyHits() {
    QFETCH(QString, type);
    QFETCH(QPoint, hit);
    QFETCH(QPoint, miss);
    FixedHost host;
    auto t = placed(host, type, QPoint(202, 300), QPoint(402, 200));
    QVERIFY(t->hitBody(hit.x(), hit.y()));
    QVERIFY(!t->hitBody(miss.x(), miss.y()));
}

void TestPaintGeometry::savedForms_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("members");
    const QStringList common{"type",      "kstart_time", "kstart_price", "kend_time", "kend_price",
                             "kmid_time", "kmid_price",  "m_color",      "m_size",    "m_style"};
    QTest::newRow("segment") << "PaintSegment" << common;
    QTest::newRow("line") << "PaintLine"
                          << QStringList{"type",       "kstart_time", "kstart_price", "kend_time",
                                         "kend_price", "m_dB",        "m_dK",         "m_color",
                                         "m_size",     "m_style"};
    QTest::newRow("rectangle") << "PaintRect"
                               << QStringList{"type",      "kstart_time", "kstart_price",
                                              "kend_time", "kend_price",  "m_color",
                                              "m_size",    "m_style"};
    QTest::newRow("circle") << "PaintEllipse"
                            << QStringList{"type",      "kstart_time", "kstart_price",
                                           "kend_time", "kend_price",  "m_dR",
                                           "m_color",   "m_size",      "m_style"};
    QStringList collect = common;
    collect << "gann"
            << "golden"
            << "fibonacci";
    QTest::newRow("golden collection") << "PaintGoldenCollect" << collect;
    QTest::newRow("band is not saved") << "PaintFullRect" << QStringList{};
}

void TestPaintGeometry::savedForms() {
    QFETCH(QString, type);
    QFETCH(QStringList, members);
    FixedHost host;
    auto t = placed(host, type, QPoint(202, 300), QPoint(402, 200));
    t->setColor(0x00ff00);
    paint::SavedObject o;
    QCOMPARE(t->savedObject(o), !members.isEmpty());
    if (members.isEmpty()) {
        return;
    }
    const QByteArray json = o.toJson();
    // Members in the saved order: each appears after the one before it.
    int at = -1;
    for (const QString& m : members) {
        const int next = json.indexOf("\"" + m.toUtf8() + "\":");
        QVERIFY2(next > at, qPrintable(m));
        at = next;
    }
    QCOMPARE(o.value("m_color"), QStringLiteral("ff00"));
    QCOMPARE(o.value("kstart_time"), QString::number(1577923200 + 86400 * 28));

    // Read back into a new tool of the kind: the same saved form again.
    std::unique_ptr<CPaintMethodBase> back(paint::factoryForType(type)());
    back->setChart(&host);
    back->readSavedObject(QJsonDocument::fromJson(json).object());
    QCOMPARE(back->color, 0x00ff00);
    paint::SavedObject again;
    back->savedObject(again);
    QCOMPARE(again.toJson(), json);
}

void TestPaintGeometry::arcStartAngles_data() {
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<int>("angle");
    QTest::newRow("end above, right") << QPoint(100, 300) << QPoint(200, 200) << 0;
    QTest::newRow("end below, right") << QPoint(100, 300) << QPoint(200, 400) << 2880;
    QTest::newRow("end above, left") << QPoint(300, 300) << QPoint(200, 200) << 0;
    QTest::newRow("end below, left") << QPoint(300, 300) << QPoint(200, 400) << 2880;
}

void TestPaintGeometry::arcStartAngles() {
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(int, angle);
    QCOMPARE(CPaintArcEllipse::startAngle(start.x(), start.y(), end.x(), end.y()), angle);
}

void TestPaintGeometry::arrowsAndColours() {
    QPoint up[7];
    QPoint down[7];
    CPaintUpArrow::outline(100, 100, up);
    CPaintDownArrow::outline(100, 100, down);
    // The down arrow is one pixel narrower; both are centred on the point.
    QCOMPARE(up[6].x() - up[1].x(), 10);
    QCOMPARE(down[6].x() - down[1].x(), 9);
    QCOMPARE(up[0], QPoint(100, 94));
    QCOMPARE(down[0], QPoint(100, 105));
    QCOMPARE(paint::colorText(0x00ff00), QStringLiteral("#00ff00"));
    QCOMPARE(paint::colorText(int(0x80ffffffu)), QStringLiteral("#ffffff"));
}

void TestPaintGeometry::anchorsFollowTheirBars() {
    FixedHost host;
    auto t = placed(host, "PaintSegment", QPoint(202, 300), QPoint(402, 200));
    const uint32_t startTime = t->start.time;
    // Ten older bars arrive in front: the segment keeps its bars, now ten places on.
    KSeries older;
    for (int i = 10; i > 0; --i) {
        const uint32_t time = host.series.front().time - 86400u * uint32_t(i);
        older.push_back(KData{0, time, 15, 15, 15, 15, 0, 0, 15, 0, 0});
    }
    host.series.insert(host.series.begin(), older.begin(), older.end());
    t->resolveAnchors();
    QCOMPARE(t->start.index, 28 + 10);
    QCOMPARE(t->start.time, startTime);
    QVERIFY(t->anchoredInSeries());
}

QTEST_MAIN(TestPaintGeometry)
#include "tst_paint_geometry.moc"
