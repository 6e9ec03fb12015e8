// Every output drawer through real formulas: programs compiled and run on a chart-style VM over
// fixed bars, painted by the layer renderer, checked pixel by pixel. Unless a case says
// otherwise the plot is 400 x 100 pixels at (60, 20) with 40 slots (bar width 9, gap 1, slot k
// centred on column 64 + 10k) and the range 100 .. 0 puts value v on row 120 - v.
#include "chart/chart_style.h"
#include "libformula/fml.h"
#include "tests/chart_render/probes.h"
#include "tests/chart_render/render_fixture.h"

#include <QtTest>

#include <cstring>

using namespace render_test;
using Bars = QVector<QVector<float>>;

Q_DECLARE_METATYPE(QList<render_test::Probe>)
Q_DECLARE_METATYPE(QList<render_test::Count>)

namespace {

const QColor kUp(0xFF, 0x3D, 0x3D);
const QColor kDown(0x0F, 0xC3, 0x51);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kRed(0xFF, 0, 0);
const QColor kBlue(0, 0, 0xFF);

Bars flat(int n, float close) {
    return Bars(n, QVector<float>{close});
}

std::vector<testbars::Bar> toBars(const Bars& rows) {
    std::vector<testbars::Bar> out;
    for (int i = 0; i < rows.size(); ++i) {
        const QVector<float>& r = rows[i];
        if (r.size() == 1) {
            out.push_back(bar(i, r[0], r[0], r[0], r[0]));
        } else {
            out.push_back(bar(i, r[0], r[1], r[2], r[3], r.size() > 4 ? r[4] : 1000));
        }
    }
    return out;
}

// One bar among invalid ones: only it can leave marks.
Bars lonely(int count, int at, const QVector<float>& ohlc) {
    const float m = FMLInvalidValue;
    Bars rows(count, QVector<float>{m, m, m, m});
    rows[at] = ohlc;
    return rows;
}

float bitsAsFloat(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

}  // namespace

class TestOutputDrawers : public QObject {
    Q_OBJECT

private slots:
    void outputs_data();
    void outputs();
    void extremes_data();
    void extremes();
};

void TestOutputDrawers::outputs_data() {
    QTest::addColumn<QStringList>("sources");  // "@NAME" from the registry, else formula text
    QTest::addColumn<Bars>("bars");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("showNumber");
    QTest::addColumn<float>("rangeMax");
    QTest::addColumn<float>("rangeMin");
    QTest::addColumn<uint>("color");  // the "_color" argument, 0 for none
    QTest::addColumn<QList<Probe>>("probes");
    QTest::addColumn<QList<Count>>("counts");

    const QStringList kline{"@KLINE"};
    // Rising: body rows 60 .. 80, shadows up to row 50 and down to row 90, body columns 61 .. 67.
    QTest::newRow("rising candle is hollow")
        << kline << Bars{{40, 70, 30, 60}} << 400 << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(61, 70, kUp), is(67, 70, kUp), empty(64, 70),   is(64, 60, kUp),
                        is(64, 80, kUp), is(64, 55, kUp), is(64, 50, kUp), empty(64, 49),
                        is(64, 90, kUp), empty(64, 91),   empty(60, 70),   empty(68, 70)}
        << QList<Count>{};
    QTest::newRow("falling candle is filled")
        << kline << Bars{{60, 70, 30, 40}} << 400 << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(64, 70, kDown), is(61, 70, kDown), is(67, 70, kDown),
                        empty(60, 70),     empty(68, 70),     is(64, 50, kDown),
                        is(64, 90, kDown), empty(64, 49),     empty(64, 91)}
        << QList<Count>{};
    QTest::newRow("doji after a rise is up")
        << kline << Bars{{40, 50, 40, 50}, {55, 60, 50, 55}} << 400 << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(71, 65, kUp), is(77, 65, kUp), is(74, 62, kUp),
                        is(74, 68, kUp), empty(71, 64),   empty(71, 66)}
        << QList<Count>{};
    QTest::newRow("doji after a fall is down")
        << kline << Bars{{60, 65, 58, 60}, {55, 60, 50, 55}} << 400 << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(71, 65, kDown), is(77, 65, kDown), is(74, 62, kDown)} << QList<Count>{};
    // 50 slots: bar width 7 with a gap of 1 leaves 6, drawn 5 wide around column 63.
    QTest::newRow("even body width drawn odd")
        << kline << Bars{{60, 70, 30, 40}} << 400 << 50 << 100.f << 0.f << 0u
        << QList<Probe>{is(61, 70, kDown), is(65, 70, kDown), empty(60, 70), empty(66, 70),
                        is(63, 50, kDown)}
        << QList<Count>{};
    // 1000 slots on 600 pixels: bar width 0.6 without gap, bar 500 on column 360.
    QTest::newRow("thousand bars are one pixel wide")
        << kline << lonely(1000, 500, {60, 70, 30, 40}) << 600 << 1000 << 100.f << 0.f << 0u
        << QList<Probe>{is(360, 70, kDown), empty(359, 70), empty(361, 70), is(360, 50, kDown)}
        << QList<Count>{};
    QTest::newRow("overlay candles take the chart colour")
        << QStringList{"@SKLINE"} << Bars{{40, 70, 30, 60}, {60, 70, 30, 40}} << 400 << 40 << 100.f
        << 0.f << 0x00FFFF00u
        << QList<Probe>{is(61, 70, QColor(0xFF, 0xFF, 0)), empty(64, 70),
                        is(74, 70, QColor(0xFF, 0xFF, 0))}
        << QList<Count>{};

    // Curves: a constant 50 lies on row 70, whole and only there.
    QTest::newRow("curve lands on whole pixels")
        << QStringList{"A:50, COLOR(0x0000FF)"} << flat(10, 50) << 400 << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(64, 70, kRed), is(100, 70, kRed), is(154, 70, kRed), empty(100, 69),
                        empty(100, 71),   empty(63, 70),     empty(156, 70)}
        << QList<Count>{};
    QTest::newRow("style 1 is dash-dot")
        << QStringList{"A:50, COLOR(0x0000FF), STYLE(1)"} << flat(10, 50) << 400 << 40 << 100.f
        << 0.f << 0u << QList<Probe>{}
        << QList<Count>{between(QRect(64, 70, 91, 1), 30, 85), atMost(QRect(60, 69, 100, 1), 0)};
    QTest::newRow("style -1 draws nothing")
        << QStringList{"A:50, COLOR(0x0000FF), STYLE(-1)"} << flat(10, 50) << 400 << 40 << 100.f
        << 0.f << 0u << QList<Probe>{} << QList<Count>{atMost(QRect(0, 0, 700, 160), 0)};
    QTest::newRow("style -7 draws nothing")
        << QStringList{"A:50, COLOR(0x0000FF), STYLE(-7)"} << flat(10, 50) << 400 << 40 << 100.f
        << 0.f << 0u << QList<Probe>{} << QList<Count>{atMost(QRect(0, 0, 700, 160), 0)};
    QTest::newRow("style -8 takes the chart colour")
        << QStringList{"A:50, COLOR(0x0000FF), STYLE(-8)"} << flat(10, 50) << 400 << 40 << 100.f
        << 0.f << 0x0000FF00u << QList<Probe>{is(100, 70, QColor(0, 0xFF, 0))} << QList<Count>{};
    QTest::newRow("style -8 without a chart colour keeps its own")
        << QStringList{"A:50, COLOR(0x0000FF), STYLE(-8)"} << flat(10, 50) << 400 << 40 << 100.f
        << 0.f << 0u << QList<Probe>{is(100, 70, kRed)} << QList<Count>{};
    // Bar 5 (column 114) has no value: slots 4 and 6 are not joined.
    QTest::newRow("missing value splits the curve")
        << QStringList{"A:IF(C>45,50,DRAWNULL), COLOR(0x0000FF)"}
        << Bars{{50}, {50}, {50}, {50}, {50}, {40}, {50}, {50}, {50}, {50}} << 400 << 40 << 100.f
        << 0.f << 0u << QList<Probe>{is(104, 70, kRed), empty(109, 70),    empty(114, 70),
                                     empty(119, 70),    is(124, 70, kRed), is(84, 70, kRed)}
        << QList<Count>{};
    QTest::newRow("palette restarts for every formula")
        << QStringList{"A:50, COLOR(0); B:30, COLOR(0)", "D:80, COLOR(0)"} << flat(10, 50) << 400
        << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(100, 70, kWhite), is(100, 90, QColor(0xD9, 0x80, 0x24)),
                        is(100, 40, kWhite)}
        << QList<Count>{};

    // Colour sticks over the range 50 .. -50: zero on row 70, value v on row 70 - v.
    QTest::newRow("colour sticks up above zero, down at and below")
        << QStringList{"M:C-50, STYLE(2)"} << Bars{{70}, {50}, {30}} << 400 << 40 << 50.f << -50.f
        << 0u << QList<Probe>{is(64, 50, kUp),   is(64, 70, kUp), empty(64, 49), empty(65, 60),
                              is(74, 70, kDown), empty(74, 69),   empty(74, 71), is(84, 90, kDown),
                              is(84, 71, kDown), empty(84, 91)}
        << QList<Count>{};
    // Volume bars as wide as the bar less the gap (columns 61 .. 68 for slot 0), from the
    // volume down to row 120.
    QTest::newRow("volume sticks by open and close")
        << QStringList{"VOLUME:V, STYLE(4)"}
        << Bars{{40, 60, 40, 60, 60}, {60, 60, 40, 40, 40}, {50, 50, 50, 50, 30}} << 400 << 40
        << 100.f << 0.f << 0u
        << QList<Probe>{is(61, 90, kUp),    is(68, 90, kUp), empty(64, 90),      empty(60, 90),
                        is(64, 60, kUp),    empty(64, 59),   is(74, 100, kDown), is(71, 100, kDown),
                        is(78, 100, kDown), empty(70, 100),  empty(79, 100),     is(81, 105, kUp),
                        empty(84, 105)}
        << QList<Count>{};
    QTest::newRow("stick filled where the condition holds")
        << QStringList{"STICK(C>50,80,20,1,0), COLOR(0x0000FF)"} << Bars{{60}, {40}} << 400 << 40
        << 100.f << 0.f << 0u << QList<Probe>{is(64, 70, kRed), is(61, 40, kRed), is(68, 100, kRed),
                                              empty(69, 70),    empty(60, 70),    empty(74, 70)}
        << QList<Count>{};
    QTest::newRow("hollow stick") << QStringList{"STICK(C>50,80,20,1,1), COLOR(0x0000FF)"}
                                  << Bars{{60}, {40}} << 400 << 40 << 100.f << 0.f << 0u
                                  << QList<Probe>{is(61, 70, kRed), is(68, 70, kRed), empty(64, 70),
                                                  is(64, 40, kRed)}
                                  << QList<Count>{};

    // Texts: 4 slots of 49 pixels (slot centres 84 and 134); baselines on row 70.
    QTest::newRow("number where the condition holds")
        << QStringList{"NUMBER(C>50,50,C), COLOR(0xFFFFFF)"} << Bars{{60}, {40}} << 400 << 4
        << 100.f << 0.f << 0u << QList<Probe>{}
        << QList<Count>{atLeast(QRect(60, 55, 50, 17), 10), atMost(QRect(112, 40, 50, 40), 0)};
    QTest::newRow("string where the condition holds")
        << QStringList{"STRING(C>50,50,'AB'), COLOR(0xFFFFFF)"} << Bars{{60}, {40}} << 400 << 4
        << 100.f << 0.f << 0u << QList<Probe>{}
        << QList<Count>{atLeast(QRect(70, 55, 30, 17), 10), atMost(QRect(112, 40, 50, 40), 0),
                        atMost(QRect(60, 71, 50, 10), 0)};
    QTest::newRow("string at position 0 is skipped")
        << QStringList{"STRING(1,C-C,'AB'), COLOR(0xFFFFFF)"} << Bars{{60}, {40}} << 400 << 4
        << 100.f << 0.f << 0u << QList<Probe>{} << QList<Count>{atMost(QRect(0, 0, 700, 160), 0)};
    QTest::newRow("fixed string at half width and height")
        << QStringList{"FIX_STRING(1,0.5,0.5,0,'XY'), COLOR(0xFFFFFF)"} << Bars{{60}} << 400 << 4
        << 100.f << 0.f << 0u << QList<Probe>{}
        << QList<Count>{atLeast(QRect(258, 55, 30, 17), 5), atMost(QRect(0, 0, 255, 160), 0),
                        atMost(QRect(0, 72, 700, 88), 0)};
    QTest::newRow("band colours by which series is higher")
        << QStringList{"BAND(C,RGB(255,0,0),50,RGB(0,0,255))"} << Bars{{80}, {80}, {20}, {20}}
        << 400 << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(69, 55, kRed), is(89, 85, kBlue), empty(69, 35), empty(69, 75),
                        empty(89, 65)}
        << QList<Count>{};
    QTest::newRow("icon at the price")
        << QStringList{"ICON(C>50,50,1)"} << Bars{{60}, {40}} << 400 << 4 << 100.f << 0.f << 0u
        << QList<Probe>{}
        << QList<Count>{atLeast(QRect(76, 70, 16, 16), 30), atMost(QRect(76, 54, 16, 16), 0),
                        atMost(QRect(126, 54, 16, 40), 0)};
    QTest::newRow("icon near the bottom moves up")
        << QStringList{"ICON(1,5,1)"} << Bars{{60}} << 400 << 4 << 100.f << 0.f << 0u
        << QList<Probe>{}
        << QList<Count>{atLeast(QRect(76, 103, 16, 16), 30), atMost(QRect(76, 119, 16, 10), 0)};
    QTest::newRow("fixed number spans the visible slots")
        << QStringList{"FIX_NUMBER(50), COLOR(0x0000FF)"} << flat(10, 50) << 400 << 40 << 100.f
        << 0.f << 0u << QList<Probe>{is(64, 70, kRed), is(154, 70, kRed), empty(63, 70),
                                     empty(155, 70),   empty(100, 69),    empty(100, 71)}
        << QList<Count>{};
    QTest::newRow("filled rect over two bars")
        << QStringList{"RECT(C>50,2,80,60), COLOR(0x0000FF)"} << Bars{{60}, {40}, {40}, {40}} << 400
        << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(74, 50, kRed), is(64, 40, kRed), is(84, 60, kRed),
                        empty(85, 50),    empty(63, 50),    empty(74, 61)}
        << QList<Count>{};
    QTest::newRow("outlined rect with style 1")
        << QStringList{"RECT(C>50,2,80,60), COLOR(0x0000FF), STYLE(1)"}
        << Bars{{60}, {40}, {40}, {40}} << 400 << 40 << 100.f << 0.f << 0u
        << QList<Probe>{is(64, 50, kRed), is(84, 50, kRed), is(74, 40, kRed), empty(74, 50)}
        << QList<Count>{};
    QTest::newRow("minute line over a fading fill")
        << QStringList{"K_LINE(H,O,L,C), COLOR(0), STYLE(-11)"} << flat(10, 50) << 400 << 40
        << 100.f << 0.f << 0u
        << QList<Probe>{is(100, 70, kWhite),  empty(100, 60),        empty(100, 68),
                        translucent(100, 90), translucent(100, 118), empty(160, 90)}
        << QList<Count>{};
}

void TestOutputDrawers::outputs() {
    QFETCH(QStringList, sources);
    QFETCH(Bars, bars);
    QFETCH(int, width);
    QFETCH(int, showNumber);
    QFETCH(float, rangeMax);
    QFETCH(float, rangeMin);
    QFETCH(uint, color);
    QFETCH(QList<Probe>, probes);
    QFETCH(QList<Count>, counts);

    Pane pane;
    pane.setBars(toBars(bars));
    for (const QString& source : sources) {
        const CTXData& d = source.startsWith('@') ? pane.addFormula(source.mid(1), color)
                                                  : pane.addProgram(source.toStdString());
        QVERIFY2(d.ctx != 0, qPrintable(source));
        if (color != 0 && !source.startsWith('@')) {
            Pane::setStatic(d.ctx, "_color", bitsAsFloat(color));
        }
    }
    QVERIFY(pane.run());
    pane.layout(plotRect(width), 0, bars.size() - 1, showNumber);
    pane.setRange(rangeMax, rangeMin);
    const QImage image = pane.render(QSize(700, 160));
    if (qEnvironmentVariableIsSet("VQ_RENDER_DUMP")) {
        image.save(QStringLiteral("%1/%2.png")
                       .arg(qEnvironmentVariable("VQ_RENDER_DUMP"))
                       .arg(QString::fromUtf8(QTest::currentDataTag()).replace(' ', '_')));
    }
    const QString probeFailure = checkProbes(image, probes);
    QVERIFY2(probeFailure.isEmpty(), qPrintable(probeFailure));
    const QString countFailure = checkCounts(image, counts);
    QVERIFY2(countFailure.isEmpty(), qPrintable(countFailure));
}

// Values and windows a pane can meet but should never trip over: the pane is painted without a
// crash and nothing lands outside the image.
void TestOutputDrawers::extremes_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("bars");
    QTest::addColumn<int>("end");
    QTest::addColumn<float>("rangeMax");
    QTest::addColumn<float>("rangeMin");
    QTest::addColumn<bool>("anything");
    QTest::newRow("window past the bars") << "@KLINE" << 3 << 40 << 100.f << 0.f << true;
    QTest::newRow("huge values") << "A:C*1E30, COLOR(0x0000FF)" << 10 << 9 << 100.f << 0.f << false;
    QTest::newRow("rect spanning a huge number of bars")
        << "RECT(1,1E20,80,60), COLOR(0x0000FF)" << 5 << 4 << 100.f << 0.f << true;
    QTest::newRow("flat range") << "@MA" << 10 << 9 << 50.f << 50.f << true;
    QTest::newRow("inverted range") << "@KLINE" << 10 << 9 << 0.f << 100.f << true;
    QTest::newRow("icon without an image") << "ICON(1,50,3)" << 5 << 4 << 100.f << 0.f << false;
    QTest::newRow("all values missing")
        << "A:DRAWNULL; STICK(1,DRAWNULL,50,1,0); BAND(DRAWNULL,255,C,65280)" << 10 << 9 << 100.f
        << 0.f << false;
    QTest::newRow("a formula that fails to run draws nothing")
        << "A:DYNAINFO(7)" << 10 << 9 << 100.f << 0.f << false;
}

void TestOutputDrawers::extremes() {
    QFETCH(QString, source);
    QFETCH(int, bars);
    QFETCH(int, end);
    QFETCH(float, rangeMax);
    QFETCH(float, rangeMin);
    QFETCH(bool, anything);
    Pane pane;
    pane.setBars(toBars(flat(bars, 50)));
    const CTXData& d = source.startsWith('@') ? pane.addFormula(source.mid(1))
                                              : pane.addProgram(source.toStdString());
    QVERIFY(d.ctx != 0);
    pane.run();
    pane.layout(plotRect(), 0, end, 40);
    pane.setRange(rangeMax, rangeMin);
    const QImage image = pane.render(QSize(700, 160));
    QCOMPARE(paintedCount(image, image.rect()) > 0, anything);
}

QTEST_MAIN(TestOutputDrawers)
#include "tst_output_drawers.moc"
