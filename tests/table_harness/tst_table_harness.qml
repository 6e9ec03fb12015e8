import QtQuick 2.15
import QtTest 1.15
import MQModel 1.0
import "qrc:/qml/table"
import "qrc:/qml/quote/panel"

Item {
    id: root
    width: 1500
    height: 900

    MQModel { id: mq }

    QuoteTableView {
        id: table
        x: 0
        y: 0
        width: 1200
        height: 592
        focus: true
    }
    QuotePanel {
        id: panel
        x: 1210
        width: 290
        height: parent.height
        mqModel: mq
    }

    SignalSpy { id: opened; target: table; signalName: "changeToMQView" }
    SignalSpy { id: sorted; target: table; signalName: "changeFieldSort" }
    SignalSpy { id: painted; target: table; signalName: "sortPainted" }

    TestCase {
        name: "TableHarness"
        when: windowShown

        function initTestCase() {
            verify(testSetup.ready(), testSetup.serverLog());
        }

        function shoot(name) {
            waitForRendering(root, 5000);
            var image = grabImage(root);
            try {
                image.save(testSetup.screenshotDir() + "/" + name + ".png");
            } catch (e) {
                console.warn("no screenshot " + name + ": " + e);
            }
        }

        function cell(row, title) {
            var m = table.table_model;
            for (var c = 0; c < m.columnCount(); ++c)
                if (m.getHeaderData(c) === title)
                    return m.getRowColumnData(row, c);
            return undefined;
        }
        function shown(text) {
            return text === "-" ? 0 : parseFloat(text);
        }
        function rankingLoaded() {
            tryVerify(function() { return table.rowCount === table.getShowPageSize(); }, 15000);
        }

        function test_1_pageFromHeight_data() {
            return [{ tag: "295 high", height: 295, rows: 10 },
                    { tag: "592 high", height: 592, rows: 21 },
                    { tag: "one row", height: 52, rows: 1 }];
        }
        function test_1_pageFromHeight(data) {
            var h = table.height;
            table.height = data.height;
            compare(table.getShowPageSize(), data.rows);
            table.height = h;
        }

        function test_2_rankingByGain() {
            table.setQuery({ "block": 1110, "field": 34, "sort": 0 });
            rankingLoaded();
            for (var r = 1; r < table.rowCount; ++r)
                verify(shown(cell(r - 1, "涨跌幅")) >= shown(cell(r, "涨跌幅")), "row " + r);
            compare(cell(0, "序号"), "1");
            shoot("ranking_by_gain");
        }

        function test_3_keysAndWheel() {
            rankingLoaded();
            table.forceActiveFocus();
            table.selectIndex = -1;
            keyClick(Qt.Key_Down);
            compare(table.selectIndex, 0);
            keyClick(Qt.Key_Down);
            compare(table.selectIndex, 1);
            keyClick(Qt.Key_Up);
            compare(table.selectIndex, 0);
            // Past the last row: the next page with its first row selected.
            table.selectIndex = table.rowCount - 1;
            var pageSize = table.rowCount;
            mouseWheel(table, 300, 200, 0, -120);
            compare(table.selectIndex, 0);
            tryVerify(function() { return cell(0, "序号") === String(pageSize + 1); }, 10000);
            keyClick(Qt.Key_PageUp);
            tryVerify(function() { return cell(0, "序号") === "1"; }, 10000);
            keyClick(Qt.Key_End);
            tryVerify(function() { return Number(cell(0, "序号")) > pageSize; }, 10000);
            keyClick(Qt.Key_Home);
            tryVerify(function() { return cell(0, "序号") === "1"; }, 10000);
        }

        function test_4_headerSort() {
            rankingLoaded();
            sorted.clear();
            table.sortColumn = -1;
            table.sortType = 0;
            // "名称" has no sort field: the marker stays where it was.
            mouseClick(findChild(table, "tableHeader_2"), 10, 10);
            compare(sorted.count, 0);
            compare(table.sortColumn, -1);
            // "代码" sorts, and a second click turns the direction.
            mouseClick(findChild(table, "tableHeader_1"), 10, 10);
            compare(sorted.count, 1);
            compare(table.sortColumn, 1);
            compare(table.sortType, 0);
            painted.clear();
            mouseClick(findChild(table, "tableHeader_1"), 10, 10);
            compare(table.sortType, 1);
            painted.wait(10000);
            console.log("sort change on the whole market to its new first page painted: "
                        + painted.signalArguments[0][0] + " ms");
            tryVerify(function() { return cell(0, "代码") < cell(1, "代码")
                                          && cell(1, "代码") < cell(2, "代码"); }, 10000);
        }

        function test_5_enterOpensQuoteView() {
            table.setQuery({ "block": 1110, "field": 34, "sort": 0 });
            rankingLoaded();
            // The page sorted by gain, not the one of the previous order still on screen.
            tryVerify(function() {
                for (var r = 1; r < table.rowCount; ++r)
                    if (shown(cell(r - 1, "涨跌幅")) < shown(cell(r, "涨跌幅")))
                        return false;
                return true;
            }, 10000);
            table.forceActiveFocus();
            table.selectIndex = 2;
            opened.clear();
            var expected = table.table_model.getCodeInfo(2).code;
            keyClick(Qt.Key_Return);
            compare(opened.count, 1);
            var info = opened.signalArguments[0][0];
            compare(info.code, expected);
            compare(info.chart, "mline");
            var ctx = JSON.parse(decodeURIComponent(info.json));
            compare(ctx.block_, 1110);
            compare(ctx.sort_.field, 34);
        }

        function test_6_panelLive() {
            rankingLoaded();
            var info = table.table_model.getCodeInfo(0);
            panel.code = info.code;
            panel.market = info.market;
            mq.getPriceData(info.code, info.market);
            mq.getDetailData(info.code, info.market, -1, 9999);
            tryCompare(panel.priceModel, "code", info.code, 10000);
            tryVerify(function() { return panel.detailModel.rowCount() > 0; }, 10000);
            var latest = findChild(panel, "panelLatest");
            verify(latest.text !== "-");
            compare(String(latest.color), String(panel.priceModel.close > panel.priceModel.pre_close ? "#ff3d3d"
                                          : panel.priceModel.close < panel.priceModel.pre_close ? "#0fc351" : "#ffffff"));
            // Let a push or two arrive, so flashes and fresh ticks show.
            wait(2500);
            shoot("ranking_and_panel");
        }
    }
}
