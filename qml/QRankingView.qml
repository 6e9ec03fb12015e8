import QtQuick 2.15
import "common"
import "quote"
import "table"

// One block ranked live by a chosen field, the thirteen market blocks to switch between,
// and two small charts beside it: the selected security and the index of its exchange.
// Hidden, the ranking and the charts are cancelled; shown again, they are asked for anew.
FocusScope {
    id: view
    objectName: "rankingView"

    property var query_map: ({})
    property string url: ""
    property var panelCodes: [null, null]  // {code, market, name} shown in each chart panel
    property var panelCycles: [32, 32]

    signal changeToMQView(var codeInfo)
    signal changeToTabView(string title, string url)

    readonly property var blocks: [
        ["全部A股", 1101], ["上证A股", 1102], ["深圳A股", 1103], ["科创板", 1124],
        ["中小板", 1105], ["创业板", 1106], ["上证50", 1112], ["上证180", 1113],
        ["深证100", 1115], ["沪深300", 1116], ["全部B股", 1107], ["上海B股", 1108],
        ["深圳B股", 1109]
    ]
    readonly property var cycles: [
        ["分时", 32], ["日线", 33], ["周线", 39], ["1分", 34], ["5分", 35], ["15分", 36],
        ["30分", 37], ["60分", 38], ["月线", 40]
    ]

    function number(v, fallback) {
        var n = Number(v);
        return v === undefined || v === null || v === "" || isNaN(n) ? fallback : n;
    }

    function setQuery(query) {
        var q = {};
        for (var k in query)
            q[k] = query[k];
        q.block = number(q.block, 1101);
        q.field = number(q.field, 34);
        q.sort = number(q.sort, 0);
        query_map = q;
        table.sortColumn = -1;
        table.showRanking(q);
    }
    function updateQuery(query) {
        var merged = {};
        for (var k in query_map)
            merged[k] = query_map[k];
        for (k in query)
            merged[k] = query[k];
        setQuery(merged);
    }

    function clearPanels() {
        panelCodes = [null, null];
        for (var i = 0; i < 2; ++i)
            panelAt(i).stop();
    }
    function panelAt(i) {
        return panels.itemAt(i).panel;
    }
    function showPanel(i, info) {
        var codes = panelCodes.slice();
        codes[i] = info;
        panelCodes = codes;
        // A selection that settles while the view is hidden is shown when it comes back.
        if (!visible)
            return;
        var p = panelAt(i);
        var cycle = panelCycles[i];
        if (cycle === 32) {
            p.setFormulas("MLINE", "MSCALES", "MCROSSHAIR", "", "MVOL");
            p.showMinute(info.code, info.market);
        } else {
            p.setFormulas("KLINE", "KSCALES", "KCROSSHAIR", "MA", "VOL");
            p.showKLine(info.code, info.market, cycle);
        }
    }
    function setCycle(i, cycle) {
        var c = panelCycles.slice();
        c[i] = cycle;
        panelCycles = c;
        if (panelCodes[i])
            showPanel(i, panelCodes[i]);
    }
    // The security in panel 1 and its exchange's index in panel 2; a security of another
    // market keeps the index shown.
    function showSecurity(info) {
        if (!info || info.code === undefined)
            return;
        showPanel(0, info);
        if (Number(info.market) === 1)
            showPanel(1, { "code": "1A0001", "market": 1, "name": "上证指数" });
        else if (Number(info.market) === 2)
            showPanel(1, { "code": "399001", "market": 2, "name": "深证成指" });
    }

    // The table looks after its own list; the charts stop with the view and show the same
    // securities again when it comes back.
    onVisibleChanged: {
        for (var i = 0; i < 2 && panels.count === 2; ++i) {
            if (!visible)
                panelAt(i).stop();
            else if (panelCodes[i])
                showPanel(i, panelCodes[i]);
        }
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    RankingTable {
        id: table
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: blockBar.top
        anchors.right: side.left
        anchors.rightMargin: 1
        focus: true
        selectFirstRow: true
        onRowClicked: view.showSecurity(codeInfo)
        onChangeToMQView: view.changeToMQView(codeInfo)
        onChangeFieldSort: {
            // The table asks for the new order itself; the query keeps it for the route.
            var q = view.query_map;
            q.field = table_model.getSortField(column);
            q.sort = type;
        }
    }

    Rectangle {
        id: blockBar
        anchors.left: parent.left
        anchors.right: side.left
        anchors.bottom: parent.bottom
        height: 28
        color: Theme.frameBar
        Row {
            anchors.verticalCenter: parent.verticalCenter
            x: 4
            spacing: 2
            Repeater {
                model: view.blocks
                Rectangle {
                    readonly property bool marked: Number(view.query_map.block) === modelData[1]
                    objectName: "blockButton_" + modelData[1]
                    width: label.implicitWidth + 16
                    height: 22
                    color: marked ? Theme.tabActive : "transparent"
                    border.color: marked ? Theme.tabActiveLine : "transparent"
                    Text {
                        id: label
                        anchors.centerIn: parent
                        text: modelData[0]
                        color: parent.marked ? Theme.highlight : Theme.tabText
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            view.clearPanels();
                            table.clearRanking();
                            view.setQuery({ "tab": 1100, "block": modelData[1], "field": 34, "sort": 0 });
                        }
                    }
                }
            }
        }
    }

    Column {
        id: side
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Theme.sidePanelWidth + 120
        spacing: 1
        Repeater {
            id: panels
            model: 2
            Column {
                readonly property int slot: index
                readonly property var panel: chart
                width: side.width
                height: (side.height - 1) / 2
                Rectangle {
                    width: parent.width
                    height: Theme.chartTitleHeight
                    color: Theme.headerBackground
                    Text {
                        x: 6
                        anchors.verticalCenter: parent.verticalCenter
                        objectName: "panelTitle_" + slot
                        text: view.panelCodes[slot] ? view.panelCodes[slot].name + "(" + view.panelCodes[slot].code + ")" : ""
                        color: Theme.text
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontSmall
                    }
                    Row {
                        anchors.right: parent.right
                        anchors.rightMargin: 4
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 4
                        Repeater {
                            model: view.cycles
                            Text {
                                text: modelData[0]
                                color: view.panelCycles[slot] === modelData[1] ? Theme.highlight : Theme.textDim
                                font.family: Theme.fontFamily
                                font.pixelSize: Theme.fontSmall
                                MouseArea { anchors.fill: parent; onClicked: view.setCycle(slot, modelData[1]) }
                            }
                        }
                    }
                }
                ChartPanel {
                    id: chart
                    objectName: "rankingChart_" + slot
                    width: parent.width
                    height: parent.height - Theme.chartTitleHeight
                    showNumber: 60
                }
            }
        }
    }
}
