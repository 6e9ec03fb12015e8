import QtQuick 2.15
import "common"
import "monitor"
import "quote"
import "table"

// The block monitor: the blocks of one category ranked live, the members of the selected
// block ranked live, and two small charts, the selected block and the selected member. The
// member ranking keeps the order the user chose across blocks. Hidden, the charts are
// cancelled (the rankings cancel their own); shown again, everything is asked for anew.
FocusScope {
    id: view
    objectName: "blockMonitor"

    property var query_map: ({})
    property var selectedBlock: null  // {code, market, name}

    signal changeToMQView(var codeInfo)
    signal changeToTabView(string title, string url)

    readonly property var categories: [["行业板块", 1011], ["地区板块", 1010], ["概念板块", 1016]]
    readonly property var columnWidths: [45, 80, 100, 85, 85, 95, 95]

    function number(v, fallback) {
        var n = Number(v);
        return v === undefined || v === null || v === "" || isNaN(n) ? fallback : n;
    }

    // A query naming a category ranks that category's blocks afresh; a screen opened without
    // one starts with the first category.
    function setQuery(query) {
        var q = {};
        for (var k in query)
            q[k] = query[k];
        if (q.category === undefined && query_map.category === undefined)
            q.category = categories[0][1];
        if (q.category === undefined) {
            for (k in q)
                query_map[k] = q[k];
            return;
        }
        q.category = number(q.category, categories[0][1]);
        q.field = number(q.field, 34);
        q.sort = number(q.sort, 0);
        query_map = q;
        blockPanel.clear();
        memberPanel.clear();
        selectedBlock = null;
        blockTable.clearRanking();
        memberTable.table_model.cancel();
        memberTable.clearRanking();
        blockTable.showBlock(q.category, q.field, q.sort);
    }
    function updateQuery(query) {
        var merged = {};
        for (var k in query_map)
            merged[k] = query_map[k];
        for (k in query)
            merged[k] = query[k];
        setQuery(merged);
    }

    // The members of `info`'s block, ranked by the member table's current order.
    function selectBlock(info) {
        if (!info || info.code === undefined)
            return;
        selectedBlock = { "code": info.code, "market": info.market, "name": info.name };
        memberTable.table_model.cancel();
        memberTable.clearRanking();
        memberPanel.clear();
        blockPanel.show(selectedBlock);
        var id = blockTable.table_model.getBlockId(String(info.code), Number(info.market));
        var mq = memberTable.query_map;
        var field = mq.field !== undefined && Number(mq.field) >= 0 ? Number(mq.field) : 34;
        var sort = mq.sort !== undefined ? Number(mq.sort) : 0;
        if (id > 0)
            memberTable.showBlock(id, field, sort);
    }

    onVisibleChanged: {
        if (visible) {
            blockPanel.redraw();
            memberPanel.redraw();
        } else {
            blockPanel.stop();
            memberPanel.stop();
        }
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Column {
        id: tables
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: panels.left
        anchors.rightMargin: 1
        spacing: 1

        RankingTable {
            id: blockTable
            objectName: "blockTable"
            width: parent.width
            height: Math.floor((parent.height - categoryBar.height - memberTitle.height - 2) * 0.45)
            focus: true
            columnWidths: view.columnWidths
            selectFirstRow: true
            onRowClicked: view.selectBlock(codeInfo)
            onChangeToMQView: view.changeToMQView(codeInfo)
            onChangeToTabView: view.changeToTabView(title, url)
            onChangeFieldSort: {
                var q = view.query_map;
                q.field = table_model.getSortField(column);
                q.sort = type;
            }
        }
        Rectangle {
            id: categoryBar
            width: parent.width
            height: 28
            color: Theme.frameBar
            Row {
                anchors.verticalCenter: parent.verticalCenter
                x: 4
                spacing: 2
                Repeater {
                    model: view.categories
                    ChoiceButton {
                        objectName: "categoryButton_" + modelData[1]
                        text: modelData[0]
                        marked: Number(view.query_map.category) === modelData[1]
                        onClicked: view.updateQuery({ "category": modelData[1], "field": 34, "sort": 0 })
                    }
                }
            }
        }
        SectionTitle {
            id: memberTitle
            objectName: "memberTitle"
            width: parent.width
            text: view.selectedBlock ? view.selectedBlock.name : ""
        }
        RankingTable {
            id: memberTable
            objectName: "memberTable"
            width: parent.width
            height: parent.height - blockTable.height - categoryBar.height - memberTitle.height - 3
            columnWidths: view.columnWidths
            selectFirstRow: true
            onRowClicked: memberPanel.show(codeInfo)
            onChangeToMQView: view.changeToMQView(codeInfo)
            onChangeToTabView: view.changeToTabView(title, url)
            Text {
                objectName: "memberHint"
                anchors.centerIn: parent
                visible: view.selectedBlock !== null && memberTable.rowCount === 0
                text: "该板块暂无成份股"
                color: Theme.textMuted
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontNormal
            }
        }
    }

    Column {
        id: panels
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Math.max(420, Math.min(620, view.width * 0.36))
        spacing: 1
        SecurityChartPanel {
            id: blockPanel
            objectName: "blockPanel"
            width: parent.width
            height: (parent.height - 1) / 2
        }
        SecurityChartPanel {
            id: memberPanel
            objectName: "memberPanel"
            width: parent.width
            height: (parent.height - 1) / 2
        }
    }
}
