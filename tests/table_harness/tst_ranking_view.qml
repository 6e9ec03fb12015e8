import QtQuick 2.15
import QtTest 1.15

Item {
    id: root
    width: 1500
    height: 900

    property var view: null

    TestCase {
        name: "RankingView"
        when: windowShown

        function initTestCase() {
            verify(testSetup.ready(), testSetup.serverLog());
            var component = Qt.createComponent("qrc:/qml/QRankingView.qml");
            compare(component.status, Component.Ready, component.errorString());
            view = component.createObject(root, { "width": root.width, "height": root.height });
            verify(view !== null);
        }

        function table() { return findChild(view, "rankingTable"); }
        function gainColumn() {
            var m = table().table_model;
            for (var c = 0; c < m.columnCount(); ++c)
                if (m.getHeaderData(c) === "涨跌幅")
                    return c;
            return -1;
        }
        function shown(text) { return text === "-" ? 0 : parseFloat(text); }
        function sortedByGain() {
            var t = table();
            if (t.rowCount < 2)
                return false;
            var c = gainColumn();
            for (var r = 1; r < t.rowCount; ++r)
                if (shown(t.table_model.getRowColumnData(r - 1, c)) < shown(t.table_model.getRowColumnData(r, c)))
                    return false;
            return true;
        }

        function test_1_blocks_data() {
            return [{ tag: "科创板 marked", block: 1124, marked: true },
                    { tag: "whole market, nothing marked", block: 1110, marked: false }];
        }
        function test_1_blocks(data) {
            view.setQuery({ "tab": 1100, "block": data.block, "field": 34, "sort": 0 });
            tryVerify(sortedByGain, 15000);
            var ctx = JSON.parse(table().table_model.getCtx());
            compare(ctx.block_, data.block);
            compare(ctx.sort_.field, 34);
            compare(table().table_model.headerMode(), 4);
            compare(table().table_model.getHeaderData(16), "震幅");
            var marked = 0;
            for (var i = 0; i < view.blocks.length; ++i)
                if (findChild(view, "blockButton_" + view.blocks[i][1]).marked)
                    ++marked;
            compare(marked, data.marked ? 1 : 0);
            if (data.marked)
                verify(findChild(view, "blockButton_" + data.block).marked);
            if (data.block === 1124) {
                for (var r = 0; r < table().rowCount; ++r)
                    verify(String(table().table_model.getCodeInfo(r).code).indexOf("688") === 0);
            }
        }

        function test_2_firstRowShownInCharts() {
            tryVerify(function() { return view.panelCodes[0] !== null; }, 5000);
            compare(view.panelCodes[0].code, table().table_model.getCodeInfo(0).code);
            var index = Number(view.panelCodes[0].market) === 1 ? "1A0001" : "399001";
            compare(view.panelCodes[1].code, index);
            verify(findChild(view, "panelTitle_0").text.indexOf("(" + view.panelCodes[0].code + ")") > 0);
            wait(1500);
            waitForRendering(view, 5000);
            try {
                grabImage(view).save(testSetup.screenshotDir() + "/ranking_view.png");
            } catch (e) {
                console.warn("no screenshot: " + e);
            }
        }

        function test_3_buttonSwitchesBlock() {
            mouseClick(findChild(view, "blockButton_1102"), 5, 5);
            tryVerify(function() { return JSON.parse(table().table_model.getCtx()).block_ === 1102
                                          && sortedByGain(); }, 15000);
            verify(findChild(view, "blockButton_1102").marked);
            verify(!findChild(view, "blockButton_1124").marked);
        }

        SignalSpy { id: pages; signalName: "dataChange" }
        SignalSpy { id: minutes; signalName: "updateMinute" }

        function test_4_hiddenMeansUnsubscribed() {
            pages.target = table();
            minutes.target = findChild(view, "rankingChart_0").model;
            view.visible = false;
            // Pages already on their way still land (more of them on a busy machine); once
            // the cancellation is through, none come any more.
            var quietSince = Date.now();
            tryVerify(function() {
                if (pages.count + minutes.count > 0) {
                    pages.clear();
                    minutes.clear();
                    quietSince = Date.now();
                }
                return Date.now() - quietSince > 1500;
            }, 20000, "quotes kept coming to a hidden ranking");
            wait(2500);
            compare(pages.count, 0);
            compare(minutes.count, 0);
            view.visible = true;
            pages.wait(5000);
            verify(pages.count > 0);
            // The charts show the same securities again, live.
            minutes.wait(10000);
        }
    }
}
