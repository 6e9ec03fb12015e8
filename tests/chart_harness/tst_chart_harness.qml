import QtQuick 2.15
import QtTest 1.15
import QBaseService 1.0
import MQModel 1.0
import "qrc:/qml/quote"

Item {
    id: root
    width: 1600
    height: 1000

    QBaseService { id: base }
    MQModel { id: model }

    ChartStack {
        id: stack
        anchors.fill: parent
    }

    TestCase {
        name: "ChartHarness"
        when: windowShown

        function initTestCase() {
            verify(testSetup.ready(), testSetup.serverLog());
        }

        // A new main chart with `mains` on its price pane and `subs` below, fed by the model.
        function showChart(lineType, cycle, mains, subs) {
            model.cancelKLine(0);
            model.cancelMinute(0);
            stack.clearSubChartAll();
            stack.renewMainChart();
            var main = stack.mainQChart;
            main.setLineType(lineType);
            main.setCycle(lineType === "kline" ? cycle : 32);
            main.setkShowNumber(lineType === "kline" ? 120 : 242, false);
            main.bindDataSignal(model, -1);
            for (var i = 0; i < mains.length; ++i)
                main.addFormula(0, mains[i][0], mains[i][1], mains[i][2], 0);
            for (var j = 0; j < subs.length; ++j)
                stack.addSubChart(subs[j], "KSCALES", "KCROSSHAIR", false);
            stack.showSetToolsBar(true, lineType);
            if (lineType === "kline")
                model.getKLineData("600000", 1, 512, cycle, 0);
            else
                model.getMinuteData("600000", 1, 0);
            tryVerify(function() { return main.getFirstKLineSize() > 0; }, 15000,
                      "no bars from the server");
            tryVerify(function() { return stack.subQCharts.length === 0
                                   || stack.subQCharts[stack.subQCharts.length - 1].getFirstKLineSize() > 0; }, 5000);
            stack.updateTimeBar();
            return main;
        }

        function shoot(name) {
            waitForRendering(root, 5000);
            var image = grabImage(root);
            // Screenshots are for looking; a platform that cannot grab only loses the picture.
            try {
                image.save(testSetup.screenshotDir() + "/" + name + ".png");
            } catch (e) {
                console.warn("no screenshot " + name + ": " + e);
            }
        }

        function test_dailyKLine() {
            var main = showChart("kline", 33, [["KLINE", "KSCALES", "KCROSSHAIR"], ["MA", "NO", "NO"]], ["VOL", "MACD"]);
            compare(main.getkShowNumber(), 120);
            compare(stack.subQCharts.length, 2);
            shoot("daily_kline_ma_vol_macd");
            // The crosshair and its value box over the newest bars.
            stack.changeShowCrosshairLine();
            main.updateCrosshairPos(main.getEnd() - 10);
            shoot("daily_kline_crosshair");
        }

        function test_minuteChart() {
            showChart("mline", 32, [["MLINE", "MSCALES", "MCROSSHAIR"]], ["分时成交", "MACD"]);
            shoot("minute_chart");
        }

        function test_weeklyKLine() {
            showChart("kline", 39, [["KLINE", "KSCALES", "KCROSSHAIR"], ["MA", "NO", "NO"]], ["VOL", "MACD"]);
            shoot("weekly_kline");
        }

        function test_mainPaneFormulas_data() {
            var names = base.getFormulaNames(0);
            var rows = [];
            for (var i = 0; i < names.length; ++i)
                rows.push({ tag: names[i].name, name: names[i].name });
            return rows;
        }

        function test_mainPaneFormulas(data) {
            showChart("kline", 33, [["KLINE", "KSCALES", "KCROSSHAIR"], [data.name, "NO", "NO"]], ["VOL", "MACD"]);
            shoot("main_pane_" + data.name);
        }
    }
}
