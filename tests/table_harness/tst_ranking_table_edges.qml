import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/table"

// A ranking table at the edges of its lists, against the live server: no rows, one row, the
// page past the end, and a security that leaves the list between two pages.
Item {
    id: root
    width: 900
    height: 322  // eleven rows

    property var opened: []

    RankingTable {
        id: table
        anchors.fill: parent
        onChangeToMQView: root.opened.push(codeInfo)
    }
    SignalSpy { id: pages; target: table; signalName: "dataChange" }

    TestCase {
        name: "RankingTableEdges"
        when: windowShown

        property var shanghai: []

        function initTestCase() {
            verify(testSetup.ready(), testSetup.serverLog());
            table.showBlock(1102, 1, 1);
            tryVerify(function() { return table.rowCount > 3; }, 15000);
            for (var r = 0; r < 3; ++r)
                shanghai.push(table.table_model.getCodeInfo(r).code);
        }

        // A list of the given Shanghai codes, ranked by code, as a view would edit the context.
        function showCodes(codes, pageSize) {
            var ctx = JSON.parse(table.table_model.getCtx());
            ctx.block_ = 0;
            ctx.codes_ = codes.map(function(c) { return { "code": c, "market": 1 }; });
            ctx.page_ = { "no": 0, "length": pageSize || table.getShowPageSize() };
            ctx.sort_ = { "field": 1, "mode": 1 };
            pages.clear();
            verify(table.table_model.resubscribe(JSON.stringify(ctx)));
            tryVerify(function() { return pages.count > 0 && table.rowCount === codes.length; }, 10000);
        }
        // Any page a key asked for has landed: a long live list sends its next page soon; a
        // short one may not change for a while, so a second and a half is all to wait for.
        function settle(live) {
            pages.clear();
            if (live)
                pages.wait(5000);
            else
                wait(1500);
        }

        function test_1_shortLists_data() {
            return [{ tag: "empty block", members: 0 },
                    { tag: "one member", members: 1 },
                    { tag: "three members", members: 3 }];
        }
        function test_1_shortLists(data) {
            table.clearRanking();
            if (data.members === 0) {
                pages.clear();
                table.showBlock(987654, 34, 0);
                tryVerify(function() { return pages.count > 0; }, 10000);
            } else {
                showCodes(shanghai.slice(0, data.members));
            }
            compare(table.rowCount, data.members);
            table.forceActiveFocus();
            opened = [];
            var keys = [Qt.Key_Down, Qt.Key_Down, Qt.Key_Up, Qt.Key_PageDown, Qt.Key_End,
                        Qt.Key_PageUp, Qt.Key_Home, Qt.Key_Down];
            for (var i = 0; i < keys.length; ++i) {
                keyClick(keys[i]);
                verify(table.selectIndex >= -1 && table.selectIndex < Math.max(1, table.rowCount),
                       "selection " + table.selectIndex + " of " + table.rowCount);
            }
            settle(false);
            compare(table.rowCount, data.members);
            keyClick(Qt.Key_Return);
            if (data.members === 0) {
                compare(table.selectIndex, -1);
                compare(opened.length, 0);
                compare(JSON.stringify(table.getSelectCodeInfo()), "{}");
            } else {
                compare(opened.length, 1);
                compare(opened[0].code, table.table_model.getCodeInfo(table.selectIndex).code);
                var ctx = JSON.parse(decodeURIComponent(opened[0].json));
                compare(ctx.codes_.length, data.members);
            }
        }

        function test_2_pagePastTheEnd() {
            table.clearRanking();
            table.showRanking({ "block": 1102, "field": 1, "sort": 1, "page_size": 10 });
            tryVerify(function() { return table.rowCount === 10; }, 10000);
            table.forceActiveFocus();
            keyClick(Qt.Key_End);
            tryVerify(function() { return Number(table.table_model.getRowColumnData(0, 0)) > 1; }, 10000);
            var last = table.table_model.getRowColumnData(table.rowCount - 1, 0);
            compare(table.rowCount, 10);
            // Nothing lies beyond: PageDown keeps the last page.
            keyClick(Qt.Key_PageDown);
            settle(true);
            compare(table.table_model.getRowColumnData(table.rowCount - 1, 0), last);
            compare(table.selectIndex, 0);
            // A page asked for far past the end shows the last one too.
            var ctx = JSON.parse(table.table_model.getCtx());
            ctx.page_.no = 1000000;
            verify(table.table_model.resubscribe(JSON.stringify(ctx)));
            settle(true);
            compare(table.table_model.getRowColumnData(table.rowCount - 1, 0), last);
            keyClick(Qt.Key_Home);
            tryVerify(function() { return table.table_model.getRowColumnData(0, 0) === "1"; }, 10000);
        }

        function test_3_securityLeavesBetweenPages() {
            table.clearRanking();
            showCodes(shanghai.slice(0, 3));
            table.forceActiveFocus();
            table.select(2);
            compare(table.getSelectCodeInfo().code, shanghai[2]);
            // The third security leaves the list: the selection stays on a row that exists and
            // names the security shown there.
            showCodes([shanghai[0], shanghai[1]]);
            compare(table.selectIndex, 1);
            compare(table.getSelectCodeInfo().code, shanghai[1]);
            opened = [];
            keyClick(Qt.Key_Return);
            compare(opened.length, 1);
            compare(opened[0].code, shanghai[1]);
            // Row numbers follow the shorter list.
            compare(table.table_model.getRowColumnData(1, 0), "2");
            compare(table.table_model.getRowColumnData(2, 0), "");
        }
    }
}
