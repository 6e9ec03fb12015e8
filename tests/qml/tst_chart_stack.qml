import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/quote"
import "../support/items.js" as Items

Item {
    id: host
    width: 900
    height: 620

    Component {
        id: stackComponent
        ChartStack { width: 900; height: 620 }
    }

    TestCase {
        name: "ChartStack"
        when: windowShown

        property var stack: null

        function init() {
            stack = stackComponent.createObject(host);
            stack.mainQChart.setLineType("kline");
            stack.addMainChart("KLINE", "KSCALES", "KCROSSHAIR");
        }

        function cleanup() {
            stack.destroy();
            stack = null;
        }

        function splitHeight() {
            return Items.find(stack, "chartSplit").height;
        }

        // count = n + 3 shares of the height: three for the main chart, one per sub-chart.
        function test_heights_data() {
            return [
                { tag: "no sub-chart", subs: [], main: 3 / 3, sub: 0 },
                { tag: "one", subs: ["VOL"], main: 3 / 4, sub: 1 / 4 },
                { tag: "two", subs: ["VOL", "MACD"], main: 3 / 5, sub: 1 / 5 },
                { tag: "four", subs: ["VOL", "MACD", "KDJ", "RSI"], main: 3 / 7, sub: 1 / 7 },
            ];
        }

        function test_heights(data) {
            for (var i = 0; i < data.subs.length; ++i)
                stack.addSubChart(data.subs[i], "KSCALES", "KCROSSHAIR", false);
            var H = splitHeight();
            fuzzyCompare(stack.mainQChart.splitPref, H * data.main, 0.5);
            for (var j = 0; j < stack.subQCharts.length; ++j) {
                var s = stack.subQCharts[j];
                fuzzyCompare(s.splitPref, H * data.sub, 0.5);
                fuzzyCompare(s.splitMin, H * data.sub / 2, 0.5);
                fuzzyCompare(s.splitMax, H * data.sub * 1.5, 0.5);
            }
            fuzzyCompare(stack.mainQChart.splitMin, H * data.main - data.subs.length * H * data.sub / 2, 0.5);
        }

        function test_maximiseSubChart() {
            stack.addSubChart("VOL", "KSCALES", "KCROSSHAIR", false);
            stack.addSubChart("MACD", "KSCALES", "KCROSSHAIR", false);
            var vol = stack.subQCharts[0], macd = stack.subQCharts[1];
            var h = splitHeight() / 5;
            stack.onChartDoubleClicked(macd, 10, 10);
            fuzzyCompare(macd.splitPref, 2 * h, 0.5);
            compare(vol.splitPref, 0);
            compare(vol.splitMax, 0);
            stack.onChartDoubleClicked(macd, 10, 10);
            fuzzyCompare(macd.splitPref, h, 0.5);
            fuzzyCompare(vol.splitPref, h, 0.5);
        }

        function test_settingsBars_data() {
            return [
                { tag: "indicator", fname: "VOL", set: true, close: true },
                { tag: "minute trades", fname: "分时成交", set: false, close: false },
            ];
        }

        function test_settingsBars(data) {
            var sub = stack.addSubChart(data.fname, "KSCALES", "KCROSSHAIR", false);
            compare(sub.setToolsVisible, data.set);
            compare(sub.closeToolVisible, data.close);
            stack.showSetToolsBar(true, "kline");
            compare(sub.setToolsVisible, data.set);
            verify(stack.mainQChart.setToolsVisible);
            verify(!stack.mainQChart.closeToolVisible, "the main chart is never closed");
            stack.showSetToolsBar(true, "mline");
            verify(!stack.mainQChart.setToolsVisible);
        }

        function formulaNames(chart) {
            return chart.getFormulas();
        }

        function test_clearing() {
            compare(formulaNames(stack.mainQChart).slice(0, 2), ["KLINE", "MA"]);
            stack.clearMainChart("KLINE");
            compare(stack.mainQChart.getMainName(), "KLINE", "the candles stay");
            stack.clearMainChart("MA");
            compare(formulaNames(stack.mainQChart), ["KLINE"]);
            stack.addSubChart("VOL", "KSCALES", "KCROSSHAIR", false);
            stack.addSubChart("MACD", "KSCALES", "KCROSSHAIR", false);
            stack.addSubChart("VOL", "KSCALES", "KCROSSHAIR", false);
            stack.clearSubChart("VOL");
            compare(stack.subQCharts.map(function(s) { return s.name_tag_; }), ["MACD", "VOL"]);
            stack.clearSubChartAll();
            compare(stack.subQCharts.length, 0);
            fuzzyCompare(stack.mainQChart.splitPref, splitHeight(), 0.5);
        }

        // Each layer of a chart is an image item of its own, named by a running id.
        function test_layers() {
            var main = stack.mainQChart;
            compare(main.fcharts.length, 1);
            main.addFormula(1, "SKLINE", "NO", "NO", 0xFFA84000);
            main.addFormula(2, "SKLINE", "NO", "NO", 0xFF009654);
            compare(main.fcharts.map(function(f) { return f.objectName; }),
                    ["subFChart_0", "subFChart_1", "subFChart_2"]);
            main.destroyFChart("subFChart_1");
            compare(main.fcharts.length, 2);
            main.removeSubFChart(1);
            compare(main.fcharts.map(function(f) { return f.objectName; }), ["subFChart_0"]);
            main.addFormula(5, "SKLINE", "NO", "NO", 0xFFA84000);
            compare(main.fcharts[1].objectName, "subFChart_3", "ids are never reused");
        }
    }
}
