import QtQuick 2.15
import QtTest 1.15

Item {
    id: root
    width: 1500
    height: 900

    property var view: null
    property var opened: []

    TestCase {
        name: "MarketTopMonitor"
        when: windowShown

        function initTestCase() {
            verify(testSetup.ready(), testSetup.serverLog());
            var component = Qt.createComponent("qrc:/qml/QMarketTopMonitor.qml");
            compare(component.status, Component.Ready, component.errorString());
            view = component.createObject(root, { "width": root.width, "height": root.height });
            verify(view !== null);
            view.changeToMQView.connect(function(info) { opened.push(info); });
            view.setQuery({ "tab": 1100, "block": 1101 });
        }

        function table(i) { return findChild(view, "monitorTable_" + i); }
        function ctxOf(i) { return JSON.parse(table(i).table_model.getCtx()); }
        function shown(text) { return text === "-" ? 0 : parseFloat(text); }
        // Rows of table i ordered by its last column, descending or ascending.
        function ordered(i, descending) {
            var t = table(i);
            if (t.rowCount < 2)
                return false;
            var m = t.table_model;
            for (var r = 1; r < t.rowCount; ++r) {
                var a = shown(m.getRowColumnData(r - 1, 4)), b = shown(m.getRowColumnData(r, 4));
                if (descending ? a < b : a > b)
                    return false;
            }
            return true;
        }
        function allFilled(block) {
            for (var i = 0; i < 9; ++i) {
                if (table(i).rowCount === 0 || ctxOf(i).block_ !== block)
                    return false;
            }
            return true;
        }

        function test_1_nineRankings_data() {
            return [
                { tag: "当日涨幅排名", i: 0, field: 34, sort: 0, mode: 5, last: "涨幅" },
                { tag: "当日跌幅排名", i: 1, field: 34, sort: 1, mode: 5, last: "涨幅" },
                { tag: "今日量比排名", i: 2, field: 33, sort: 0, mode: 7, last: "量比" },
                { tag: "5分钟涨幅排名", i: 3, field: 36, sort: 0, mode: 6, last: "涨幅" },
                { tag: "5分钟跌幅排名", i: 4, field: 36, sort: 1, mode: 6, last: "涨幅" },
                { tag: "今日振幅排名", i: 5, field: 41, sort: 0, mode: 8, last: "振幅" },
                { tag: "即时委比前几名", i: 6, field: 38, sort: 0, mode: 9, last: "委比" },
                { tag: "即时委比后几名", i: 7, field: 38, sort: 1, mode: 9, last: "委比" },
                { tag: "今日成交额排名", i: 8, field: 11, sort: 0, mode: 10, last: "金额" }
            ];
        }
        function test_1_nineRankings(data) {
            tryVerify(function() { return allFilled(1101); }, 15000);
            var t = table(data.i);
            var ctx = ctxOf(data.i);
            compare(ctx.sort_.field, data.field);
            compare(ctx.sort_.mode, data.sort);
            compare(t.table_model.headerMode(), data.mode);
            compare(t.table_model.getHeaderData(4), data.last);
            compare(findChild(view, "monitorTitle_" + data.i).text, data.tag);
            // The page is as long as the table is high.
            compare(ctx.page_.length, t.getShowPageSize());
            compare(t.rowCount, t.getShowPageSize());
            // Only the turnover column has amounts that lose their order in rounding.
            if (data.field !== 11)
                tryVerify(function() { return ordered(data.i, data.sort === 0); }, 5000);
        }

        function test_2_layout() {
            var w = view.columnWidths;
            compare(w.length, 5);
            var sum = 0;
            for (var i = 0; i < w.length; ++i)
                sum += w[i] + 1;
            compare(sum, view.cellWidth);
            verify(w[2] > w[1] && w[1] > w[0]);
            compare(table(4).x, 0);
            var cell = table(4).parent;
            compare(cell.x, view.cellWidth + 1);
            verify(cell.y + cell.height <= view.height);
            compare(table(0).table_model.fixedColumnCount(), 3);
            // Header clicks on these lists sort nothing.
            var before = table(0).table_model.getCtx();
            mouseClick(findChild(table(0), "tableHeader_4"), 5, 5);
            compare(table(0).table_model.getCtx(), before);
            compare(table(0).sortColumn, -1);
        }

        function test_3_oppositeEnds() {
            // The gainers' first row gains at least as much as the losers' first row.
            var up = shown(table(0).table_model.getRowColumnData(0, 4));
            var down = shown(table(1).table_model.getRowColumnData(0, 4));
            verify(up >= down, up + " vs " + down);
            wait(1500);
            waitForRendering(view, 5000);
            try {
                grabImage(view).save(testSetup.screenshotDir() + "/market_top_monitor.png");
            } catch (e) {
                console.warn("no screenshot: " + e);
            }
        }

        function test_4_returnOpensWithTheTablesList() {
            opened = [];
            var t = table(4);
            mouseClick(t, 60, 25 + 27 + 5);
            compare(t.selectIndex, 1);
            verify(t.activeFocus);
            keyClick(Qt.Key_Return);
            compare(opened.length, 1);
            compare(opened[0].code, t.table_model.getCodeInfo(1).code);
            var ctx = JSON.parse(decodeURIComponent(opened[0].json));
            compare(ctx.sort_.field, 36);
            compare(ctx.sort_.mode, 1);
            compare(ctx.block_, 1101);
            // A single click does nothing more than select.
            opened = [];
            mouseClick(table(7), 60, 25 + 5);
            wait(400);
            compare(opened.length, 0);
        }

        SignalSpy { id: pages; signalName: "dataChange" }
        SignalSpy { id: otherPages; signalName: "dataChange" }

        function test_5_hiddenMeansUnsubscribed() {
            pages.target = table(0);
            otherPages.target = table(8);
            view.visible = false;
            // Pages already on their way still land (more of them on a busy machine); once
            // the cancellations are through, none come any more.
            var quietSince = Date.now();
            tryVerify(function() {
                if (pages.count + otherPages.count > 0) {
                    pages.clear();
                    otherPages.clear();
                    quietSince = Date.now();
                }
                return Date.now() - quietSince > 1500;
            }, 20000, "pages kept coming to hidden tables");
            wait(2500);
            compare(pages.count + otherPages.count, 0);
            view.visible = true;
            pages.wait(10000);
            otherPages.wait(10000);
        }

        function test_6_anotherBlock() {
            view.updateQuery({ "block": 1102 });
            tryVerify(function() { return allFilled(1102); }, 15000);
            for (var r = 0; r < table(3).rowCount; ++r)
                compare(table(3).table_model.getCodeInfo(r).market, 1);
        }
    }
}
