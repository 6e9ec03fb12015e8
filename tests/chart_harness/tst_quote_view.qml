import QtQuick 2.15
import QtTest 1.15
import QtQuick.Window 2.15
import HFileIO 1.0
import "../support/items.js" as Items

// The quote view against the real server at 1600 x 1000: its charts, keys, indicator choices
// and overlays, with a screenshot of each state under the build folder.
Item {
    id: root
    width: 1600
    height: 1000

    HFileIO { id: fileio }

    Loader {
        id: loader
        anchors.fill: parent
    }

    TestCase {
        name: "QuoteView"
        when: windowShown

        property var view: null

        function initTestCase() {
            verify(testSetup.ready(), testSetup.serverLog());
            fileio.writedFileDefaultPath("superposition.json", "");
            fileio.writedFileDefaultPath("formula_map.json", "{broken");
            loader.source = "qrc:/qml/MQView.qml";
            tryCompare(loader, "status", Loader.Ready);
            view = loader.item;
            view.forceActiveFocus();
        }

        // Other programs on the same display may take the window's activation; keys reach the
        // view only while its window is active.
        function key(k) {
            if (!root.Window.active) {
                var focused = root.Window.window.activeFocusItem;
                root.Window.window.requestActivate();
                tryVerify(function() { return root.Window.active; }, 5000);
                if (focused)
                    focused.forceActiveFocus();
            }
            keyClick(k);
        }

        function mainChart() {
            return Items.find(view, "chartStack").mainQChart;
        }

        function subNames() {
            var subs = Items.find(view, "chartStack").subQCharts;
            return subs.map(function(s) { return s.name_tag_; });
        }

        function waitBars(lineType, cycle) {
            tryVerify(function() {
                var c = mainChart();
                return c.getLineType() === lineType && c.getCycle() === cycle && c.getFirstKLineSize() > 0;
            }, 15000, "no " + lineType + " " + cycle + " bars");
        }

        function shoot(name) {
            waitForRendering(root, 5000);
            // Screenshots are for looking; a platform that cannot grab only loses the picture.
            try {
                grabImage(root).save(testSetup.screenshotDir() + "/view_" + name + ".png");
            } catch (e) {
                console.warn("no screenshot " + name + ": " + e);
            }
        }

        // A dialog window's picture, for looking.
        function shootWindow(win, name) {
            waitForRendering(win.contentItem, 5000);
            var saved = false;
            win.contentItem.grabToImage(function(r) {
                r.saveToFile(testSetup.screenshotDir() + "/dialog_" + name + ".png");
                saved = true;
            });
            tryVerify(function() { return saved; }, 5000);
        }

        function test_1_minuteThenKeys() {
            view.setQuery({ "code": "600000", "market": "1", "chart": "default" });
            compare(view.chart, "mline");
            waitBars("mline", 32);
            compare(subNames(), ["分时成交", "MACD"], "a damaged layout file gives the default layout");
            verify(fileio.readFileDefaultPath("formula_map.json").indexOf("KLINE") > 0);
            shoot("minute_chart");
            key(Qt.Key_Return);
            compare(view.chart, "kline");
            compare(view.cycle, 33);
            waitBars("kline", 33);
            compare(subNames(), ["VOL", "MACD"]);
            compare(mainChart().getkShowNumber(), 120);
            shoot("daily_kline");
            key(Qt.Key_F8);
            waitBars("kline", 34);
            key(Qt.Key_F5);
            compare(view.chart, "mline");
        }

        // A route without a cycle shows days; F8 walks every cycle and back to the minute chart.
        function test_2_cycles() {
            // Another route of the same security: the cycle it does not name is the day.
            view.setQuery({ "code": "600000", "market": 1, "chart": "kline" });
            compare(view.cycle, 33);
            var seen = [];
            for (var i = 0; i < 8; ++i) {
                key(Qt.Key_F8);
                seen.push(view.chart === "kline" ? view.cycle : view.chart);
            }
            compare(seen, [34, 35, 36, 37, 38, 39, 40, "mline"]);
        }

        function test_3_indicatorChoice() {
            view.updateQuery({ "chart": "kline", "cycle": 33 });
            waitBars("kline", 33);
            view.toggleSubIndicator("KDJ");
            compare(subNames(), ["VOL", "MACD", "KDJ"]);
            view.toggleSubIndicator("MACD");
            compare(subNames(), ["VOL", "KDJ"]);
            var saved = JSON.parse(fileio.readFileDefaultPath("formula_map.json"));
            compare(saved.kline.sub_charts.map(function(e) { return e.fname; }), ["VOL", "KDJ"]);
            view.chooseMainIndicator("BOLL");
            saved = JSON.parse(fileio.readFileDefaultPath("formula_map.json"));
            compare(saved.kline.main_charts.map(function(e) { return e.fname; }), ["KLINE", "BOLL"]);
            // The layout comes back with the next K-line.
            view.updateQuery({ "cycle": 39 });
            waitBars("kline", 39);
            compare(subNames(), ["VOL", "KDJ"]);
            view.toggleSubIndicator("KDJ");
            view.toggleSubIndicator("MACD");
            view.chooseMainIndicator("MA");
        }

        // Five overlays at most, each once; the sixth is refused with the message.
        function test_4_overlays() {
            view.updateQuery({ "chart": "kline", "cycle": 39 });
            waitBars("kline", 39);
            var codes = ["600001", "600004", "600005", "600006", "600007", "600008"];
            for (var i = 0; i < 5; ++i)
                view.addSuperChart(codes[i], 1, "kline");
            view.addSuperChart(codes[0], 1, "kline");
            var doc = JSON.parse(fileio.readFileDefaultPath("superposition.json"));
            compare(doc.kline.length, 5);
            var popup = view.messagePopup;
            verify(!popup.opened);
            view.addSuperChart(codes[5], 1, "kline");
            tryCompare(popup, "opened", true);
            compare(popup.message, "已经达到最大叠加数量");
            popup.close();
            tryVerify(function() { return mainChart().getKLineCount() > 1; }, 15000);
            shoot("weekly_with_overlays");
            view.clearOverlays();
            doc = JSON.parse(fileio.readFileDefaultPath("superposition.json"));
            compare(doc.kline.length, 0);
            compare(doc.mline.length, 0);
        }

        function test_5_resonance() {
            view.updateQuery({ "chart": "cycel" });
            var grid = Items.find(view, "resonanceGrid");
            verify(grid && grid.visible);
            tryVerify(function() {
                for (var i = 0; i < 9; ++i)
                    if (grid.panelAt(i).mainChart.getFirstKLineSize() === 0)
                        return false;
                return true;
            }, 20000, "every panel has bars");
            grid.select(grid.panelAt(4));
            verify(grid.panelAt(4).selected && !grid.panelAt(3).selected);
            shoot("resonance");
            view.updateQuery({ "chart": "mline" });
            verify(!grid.visible);
        }

        function test_6_dialogs() {
            view.updateQuery({ "chart": "kline", "cycle": 33 });
            waitBars("kline", 33);
            var c = mainChart();
            c.setISStartEndIndex(c.getFirstKLineSize() - 20, c.getFirstKLineSize() - 1);
            tryVerify(function() { return view.statsDialog !== null; }, 5000, "statistics dialog");
            shootWindow(view.statsDialog, "interval_statistics");
            view.statsDialog.close();
            tryCompare(view, "statsDialog", null);
            var history = view.openHistoryMinute(c.getPosDataS(c.getFirstKLineSize() - 2, "date"), c.getPosTime(c.getFirstKLineSize() - 2));
            verify(history && history.visible);
            tryVerify(function() { return Items.find(history.contentItem, "panelMainChart").getFirstKLineSize() > 0; }, 10000,
                      "the history window shows that day's minutes");
            shootWindow(history, "history_minutes");
            history.close();
            var dlg = view.editFormula(Items.find(view, "chartStack").subQCharts[0], "VOL");
            verify(dlg && dlg.visible);
            shootWindow(dlg, "formula_parameters");
            dlg.close();
            view.superpositionEdit.show("kline");
            Items.find(view.superpositionEdit.contentItem, "superpositionField").text = "600";
            tryVerify(function() { return Items.find(view.superpositionEdit.contentItem, "superpositionList").count > 0; }, 10000);
            shoot("overlay_search");
            view.superpositionEdit.close();
            // Back to the view's own window for the key tests that follow.
            root.Window.window.requestActivate();
            tryVerify(function() { return root.Window.active; }, 5000);
            view.forceActiveFocus();
        }
    
        SignalSpy { id: historySpy; signalName: "showHistoryMLine" }
        SignalSpy { id: moreSpy; signalName: "loadMoreKLine" }

        // Keys zoom the K-line; every chart of the stack follows the main chart's window and
        // crosshair.
        function test_7_zoomAndMirroring() {
            view.updateQuery({ "chart": "kline", "cycle": 33 });
            waitBars("kline", 33);
            var stack = Items.find(view, "chartStack");
            var c = mainChart();
            var sub = stack.subQCharts[0];
            moreSpy.target = stack;
            moreSpy.clear();
            stack.forceActiveFocus();
            var shown = [];
            for (var i = 0; i < 3; ++i) {
                key(Qt.Key_Up);
                shown.push(c.getkShowNumber());
            }
            compare(shown, [80, 53, 35]);
            compare([sub.getBegin(), sub.getEnd(), sub.getkShowNumber()], [c.getBegin(), c.getEnd(), c.getkShowNumber()]);
            key(Qt.Key_Down);
            compare(c.getkShowNumber(), 53);
            compare(moreSpy.count, 1, "zooming out asks for older bars");
            mouseMove(c, c.width / 2, c.height / 2);
            compare(sub.getCrosshairPos(), c.getCrosshairPos());
            key(Qt.Key_Left);
            compare(sub.getCrosshairPos(), c.getCrosshairPos());
        }

        // A rectangle over three bars still shows nine; hold mode drags the window bar by bar.
        function test_8_zoomRectangleAndHold() {
            view.setQuery({ "code": "600000", "market": 1, "chart": "kline", "cycle": 33 });
            waitBars("kline", 33);
            var c = mainChart();
            // The split view places a new chart on its next polish.
            tryVerify(function() { return c.width > 200 && c.getPointX(1) > c.getPointX(0); }, 5000);
            waitForRendering(c, 5000);
            var step = c.getPointX(1) - c.getPointX(0);
            var x0 = c.getPointX(40), y0 = 60;
            mousePress(c, x0, y0);
            mouseMove(c, x0 + step, y0 + 20, -1, Qt.LeftButton);
            mouseMove(c, x0 + 2 * step, y0 + 40, -1, Qt.LeftButton);
            mouseRelease(c, x0 + 2 * step, y0 + 40);
            compare(c.getkShowNumber(), 9);
            var b = c.getBegin();
            compare(c.getEnd() - b + 1, 9);
            Items.find(view, "holdButton").clicked();
            verify(c.hold);
            var x = c.width / 2;
            mousePress(c, x, 100);
            mouseMove(c, x + 5, 100, -1, Qt.LeftButton);
            mouseMove(c, x + 10, 100, -1, Qt.LeftButton);
            mouseRelease(c, x + 10, 100);
            compare(c.getBegin(), Math.max(b - 2, 0));
            mousePress(c, x, 100, Qt.RightButton);
            mouseRelease(c, x, 100, Qt.RightButton);
            verify(!c.hold, "a right press leaves hold mode");
            Items.find(view, "holdButton").checked = false;
        }

        // A double click on a day's candle opens that day's minutes; elsewhere it toggles the
        // crosshair of every chart.
        function test_9_doubleClick() {
            view.setQuery({ "code": "600000", "market": 1, "chart": "kline", "cycle": 33 });
            waitBars("kline", 33);
            var stack = Items.find(view, "chartStack");
            var c = mainChart();
            historySpy.target = stack;
            historySpy.clear();
            var bar = c.getEnd() - 3;
            c.updateCrosshairPos(bar);
            var x = c.getPointX(bar - c.getBegin());
            var y = c.getPointY((c.getPosDataF(bar, "high") + c.getPosDataF(bar, "low")) / 2);
            stack.onChartDoubleClicked(c, x, y);
            compare(historySpy.count, 1);
            compare(historySpy.signalArguments[0][0].substr(0, 10), c.getPosDataS(bar, "date").substr(0, 10));
            var before = c.getShowCrosshairLine();
            // Away from the candle's span.
            var top = c.getPointY(c.getPosDataF(bar, "high")) - 5;
            var bottom = c.getPointY(c.getPosDataF(bar, "low")) + 5;
            stack.onChartDoubleClicked(c, x, top > 30 ? 22 : bottom + 10);
            compare(c.getShowCrosshairLine(), !before);
            compare(stack.subQCharts[0].getShowCrosshairLine(), !before);
            compare(historySpy.count, 1);
        }
    
        // Opened from a list, the view steps through it with PageDown and PageUp, wrapping at
        // both ends, and tells the tab which security it shows.
        function test_9z_previousNext() {
            var ctx = { "type_": 0, "peroid_": 30,
                        "codes_": [{ "code": "600000", "market": 1 }, { "code": "600001", "market": 1 },
                                   { "code": "600004", "market": 1 }] };
            var tabs = [];
            view.updateTabsUrl.connect(function(item, info) { tabs.push(info.code); });
            view.setQuery({ "code": "600000", "market": 1, "chart": "kline", "cycle": 33,
                            "json": encodeURIComponent(JSON.stringify(ctx)) });
            tryVerify(function() { return view.ring.length === 3; }, 10000, "the list arrives");
            var stack = Items.find(view, "chartStack");
            stack.forceActiveFocus();
            var seen = [];
            for (var i = 0; i < 3; ++i) {
                key(Qt.Key_PageDown);
                seen.push(view.code);
            }
            key(Qt.Key_PageUp);
            seen.push(view.code);
            compare(seen, ["600001", "600004", "600000", "600004"]);
            compare(tabs, seen);
            waitBars("kline", 33);
            compare(view.chart, "kline", "the chart kind stays");
        }

        // With a drawing tool chosen, a drag places a drawing instead of zooming, and the
        // drawings of the security and cycle are saved when the palette closes.
        function test_9zz_drawing() {
            view.setQuery({ "code": "600000", "market": 1, "chart": "kline", "cycle": 33 });
            waitBars("kline", 33);
            var c = mainChart();
            tryVerify(function() { return c.width > 200; }, 5000);
            var tools = Items.find(view, "paintTools");
            Items.find(view, "drawButton").clicked();
            verify(tools.visible);
            tools.choose("CPaintSegment");
            var shown = c.getkShowNumber();
            mousePress(c, 300, 120);
            mouseMove(c, 360, 160, -1, Qt.LeftButton);
            mouseMove(c, 420, 200, -1, Qt.LeftButton);
            mouseRelease(c, 420, 200);
            compare(c.getkShowNumber(), shown, "the board took the drag, no zoom");
            verify(c.savePaintData("600000", 1, 33));
            Items.find(view, "drawButton").clicked();
            verify(!tools.visible);
        }
    }
}
