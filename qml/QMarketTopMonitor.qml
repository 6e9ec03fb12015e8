import QtQuick 2.15
import "common"
import "table"

// Nine small live rankings of one block at once, three by three: the day's gainers and
// losers, volume ratio, five-minute gainers and losers, amplitude, order imbalance at both
// ends and turnover. Each table pages itself to its own height; Enter or a double click opens
// the security with that table's list attached. Hidden, all nine subscriptions are cancelled.
FocusScope {
    id: view
    objectName: "marketTopMonitor"

    property var query_map: ({})
    property string url: ""

    signal changeToMQView(var codeInfo)
    signal changeToTabView(string title, string url)

    // Title, sort field, direction (0 descending, 1 ascending) and header mode, row by row.
    readonly property var rankings: [
        ["当日涨幅排名", 34, 0, 5], ["当日跌幅排名", 34, 1, 5], ["今日量比排名", 33, 0, 7],
        ["5分钟涨幅排名", 36, 0, 6], ["5分钟跌幅排名", 36, 1, 6], ["今日振幅排名", 41, 0, 8],
        ["即时委比前几名", 38, 0, 9], ["即时委比后几名", 38, 1, 9], ["今日成交额排名", 11, 0, 10]
    ]
    readonly property int cellWidth: Math.floor(width / 3) - 1
    readonly property int tableHeight: Math.floor(height / 3) - 27

    // The five columns share the table's width by their proportions; the name column takes
    // what rounding leaves over.
    readonly property var columnWidths: {
        var shares = Theme.monitorColumnShares;
        var total = 0;
        for (var i = 0; i < shares.length; ++i)
            total += shares[i];
        var room = Math.max(0, cellWidth - shares.length);  // one pixel between columns
        var out = [];
        var used = 0;
        for (i = 0; i < shares.length; ++i) {
            out.push(Math.floor(room * shares[i] / total));
            used += out[i];
        }
        out[2] += room - used;
        return out;
    }

    function number(v, fallback) {
        var n = Number(v);
        return v === undefined || v === null || v === "" || isNaN(n) ? fallback : n;
    }
    function tableAt(i) {
        var cell = grid.itemAt(i);
        return cell ? cell.table : null;
    }

    function setQuery(query) {
        var q = {};
        for (var k in query)
            q[k] = query[k];
        q.block = number(q.block, 1101);
        query_map = q;
        for (var i = 0; i < rankings.length; ++i) {
            var t = tableAt(i);
            t.clearRanking();
            t.showBlock(q.block, rankings[i][1], rankings[i][2]);
        }
    }
    function updateQuery(query) {
        setQuery(query);
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.monitorBackground
    }

    Repeater {
        id: grid
        model: view.rankings
        Column {
            readonly property alias table: ranking
            x: (index % 3) * (view.cellWidth + 1)
            y: Math.floor(index / 3) * (view.tableHeight + Theme.monitorTitleHeight + 2)
            width: view.cellWidth
            spacing: 1
            Rectangle {
                width: parent.width
                height: Theme.monitorTitleHeight
                color: Theme.monitorTitle
                Text {
                    objectName: "monitorTitle_" + index
                    anchors.centerIn: parent
                    text: modelData[0]
                    color: Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.monitorTitleFont
                }
            }
            RankingTable {
                id: ranking
                objectName: "monitorTable_" + index
                width: parent.width
                height: view.tableHeight
                headerMode: modelData[3]
                columnWidths: view.columnWidths
                focus: index === 0
                onChangeToMQView: view.changeToMQView(codeInfo)
                onActiveFocusChanged: if (activeFocus && selectIndex < 0 && rowCount > 0) select(0)
            }
        }
    }
}
