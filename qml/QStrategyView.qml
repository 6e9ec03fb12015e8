import QtQuick 2.15
import QMyStockService 1.0
import "common"
import "monitor"
import "quote"
import "table"

// The strategy dashboard: the block drill-down of the block monitor (the blocks of a category
// and the members of the selected block), the user's watchlist, and four small charts side by
// side — the selected block, the selected member, the selected watchlist security and a
// market index. Hidden, the charts and the watchlist are cancelled (the rankings cancel their
// own); shown again, whatever had a security is asked for anew.
FocusScope {
    id: view
    objectName: "strategyView"

    property var query_map: ({})
    property int category: 1011
    property var selectedBlock: null
    property int groupIndex: 0
    property var groups: []              // {name} per watchlist group, in document order
    property var watchSort: ({ "field": -1, "sort": 0 })
    property int indexChoice: 0

    signal changeToMQView(var codeInfo)
    signal changeToTabView(string title, string url)

    readonly property var categories: [["行业板块", 1011], ["地区板块", 1010], ["概念板块", 1016]]
    readonly property var indices: [
        ["上证指数", { "code": "1A0001", "market": 1, "name": "上证指数" }],
        ["深证指数", { "code": "399001", "market": 2, "name": "深证成指" }],
        ["创业板", { "code": "399006", "market": 2, "name": "创业板指" }]
    ]
    // A category's blocks come on one page whatever the table's height.
    readonly property int blockPageSize: 200

    QMyStockService { id: myStock }

    function setQuery(query) {
        query_map = query || {};
    }
    function updateQuery(query) {
        for (var k in query)
            query_map[k] = query[k];
    }

    // ---- blocks ----
    function showCategory(c) {
        category = c;
        selectedBlock = null;
        blockTable.clearRanking();
        memberTable.table_model.cancel();
        memberTable.clearRanking();
        panelAt(0).clear();
        panelAt(1).clear();
        blockTable.showRanking({ "block": c, "field": 34, "sort": 0, "page_size": blockPageSize });
    }

    function selectBlock(info) {
        if (!info || info.code === undefined)
            return;
        selectedBlock = { "code": info.code, "market": info.market, "name": info.name };
        memberTable.table_model.cancel();
        memberTable.clearRanking();
        panelAt(1).clear();
        panelAt(0).show(selectedBlock);
        var id = blockTable.table_model.getBlockId(String(info.code), Number(info.market));
        var mq = memberTable.query_map;
        var field = mq.field !== undefined && Number(mq.field) >= 0 ? Number(mq.field) : 34;
        var sort = mq.sort !== undefined ? Number(mq.sort) : 0;
        if (id > 0)
            memberTable.showBlock(id, field, sort);
    }

    // ---- watchlist ----
    function refreshGroups() {
        var doc = myStock.getJson();
        var list = [];
        var result = doc && doc.result ? doc.result : [];
        for (var i = 0; i < result.length; ++i)
            list.push({ "name": String(result[i].group_name) });
        groups = list;
        if (groupIndex >= groups.length)
            groupIndex = 0;
    }

    function requestWatchlist() {
        if (groups.length === 0) {
            watchTable.table_model.cancel();
            watchTable.table_model.clear();
            return;
        }
        watchTable.table_model.getMyStockRealTime(groupIndex, watchSort.field, watchSort.sort,
                                                  watchTable.getShowPageSize());
    }

    function switchGroup(index) {
        if (index < 0 || index >= groups.length)
            return;
        groupIndex = index;
        watchTable.table_model.clear();
        watchTable.resetXY();
        requestWatchlist();
    }

    // The watchlist changed elsewhere (search, a menu, the server): the table follows with
    // the order chosen here.
    function onMyStockChange() {
        refreshGroups();
        if (visible)
            requestWatchlist();
    }

    // ---- charts ----
    function panelAt(i) {
        return chartRow.children[i];
    }

    function showIndex(i) {
        indexChoice = i;
        panelAt(3).show(indices[i][1]);
    }

    onVisibleChanged: {
        if (visible) {
            for (var i = 0; i < 4; ++i)
                panelAt(i).redraw();
            if (groups.length > 0)
                watchTable.reSubscribe();
        } else {
            for (var j = 0; j < 4; ++j)
                panelAt(j).stop();
            watchTable.table_model.cancel();
        }
    }

    Component.onCompleted: {
        watchTable.table_model.initHeader(1);
        watchTable.setFixedColumn(2);
        refreshGroups();
        requestWatchlist();
        showCategory(categories[0][1]);
        showIndex(0);
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Item {
        id: tableRow
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: Math.floor(parent.height * 0.52)
        readonly property real third: (width - 2) / 3

        // Blocks of the chosen category.
        Column {
            id: blockColumn
            x: 0
            width: tableRow.third
            height: parent.height
            RankingTable {
                id: blockTable
                objectName: "strategyBlockTable"
                width: parent.width
                height: parent.height - categoryBar.height
                focus: true
                selectFirstRow: true
                columnWidths: [45, 80, 100, 85, 85, 95, 95]
                onRowClicked: view.selectBlock(codeInfo)
                onChangeToMQView: view.changeToMQView(codeInfo)
                onChangeToTabView: view.changeToTabView(title, url)
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
                            objectName: "strategyCategory_" + modelData[1]
                            text: modelData[0]
                            marked: view.category === modelData[1]
                            onClicked: view.showCategory(modelData[1])
                        }
                    }
                }
            }
        }

        // Members of the selected block.
        Column {
            x: tableRow.third + 1
            width: tableRow.third
            height: parent.height
            SectionTitle {
                id: memberTitle
                objectName: "strategyMemberTitle"
                width: parent.width
                text: view.selectedBlock ? view.selectedBlock.name : ""
            }
            RankingTable {
                id: memberTable
                objectName: "strategyMemberTable"
                width: parent.width
                height: parent.height - memberTitle.height
                selectFirstRow: true
                columnWidths: [45, 80, 100, 85, 85, 95, 95]
                onRowClicked: view.panelAt(1).show(codeInfo)
                onChangeToMQView: view.changeToMQView(codeInfo)
                onChangeToTabView: view.changeToTabView(title, url)
                Text {
                    anchors.centerIn: parent
                    visible: view.selectedBlock !== null && memberTable.rowCount === 0
                    text: "该板块暂无成份股"
                    color: Theme.textMuted
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
            }
        }

        // The watchlist, one group at a time.
        Column {
            x: 2 * (tableRow.third + 1)
            width: parent.width - x
            height: parent.height
            QuoteTableView {
                id: watchTable
                objectName: "strategyWatchTable"
                width: parent.width
                height: parent.height - groupBar.height
                fixedCount: 2
                columnWidths: [40, 80, 100, 85, 85, 95, 95]
                onRowClicked: view.panelAt(2).show(codeInfo)
                onChangeToMQView: view.changeToMQView(codeInfo)
                onChangeToTabView: view.changeToTabView(title, url)
                onMystockChange: view.onMyStockChange()
                onDataChange: {
                    if (selectIndex < 0 && rowCount > 0)
                        select(0);
                }
                onChangeFieldSort: {
                    var field = table_model.getSortField(column);
                    if (field < 0)
                        return;
                    view.watchSort = { "field": field, "sort": type };
                    view.requestWatchlist();
                }
                Text {
                    anchors.centerIn: parent
                    visible: watchTable.rowCount === 0
                    text: view.groups.length === 0 ? "暂无自选分组" : "该分组暂无股票"
                    color: Theme.textMuted
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
            }
            Rectangle {
                id: groupBar
                width: parent.width
                height: 28
                color: Theme.frameBar
                clip: true
                Row {
                    anchors.verticalCenter: parent.verticalCenter
                    x: 4
                    spacing: 2
                    Repeater {
                        model: view.groups
                        ChoiceButton {
                            objectName: "strategyGroup_" + index
                            text: modelData.name
                            marked: index === view.groupIndex
                            onClicked: view.switchGroup(index)
                        }
                    }
                }
            }
        }
    }

    // Block, member, watchlist security, index.
    Row {
        id: chartRow
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: tableRow.bottom
        anchors.topMargin: 1
        anchors.bottom: parent.bottom
        spacing: 1
        readonly property real cell: (width - 3) / 4
        SecurityChartPanel {
            objectName: "strategyPanel_0"
            width: chartRow.cell
            height: chartRow.height
        }
        SecurityChartPanel {
            objectName: "strategyPanel_1"
            width: chartRow.cell
            height: chartRow.height
        }
        SecurityChartPanel {
            objectName: "strategyPanel_2"
            width: chartRow.cell
            height: chartRow.height
            emptyText: "点击自选股查看走势"
        }
        SecurityChartPanel {
            objectName: "strategyPanel_3"
            width: chartRow.width - 3 * (chartRow.cell + 1)
            height: chartRow.height
            cycleButtons: false
            titleTools: [
                Repeater {
                    model: view.indices
                    Text {
                        objectName: "indexButton_" + index
                        text: modelData[0]
                        color: view.indexChoice === index ? Theme.highlight : Theme.textDim
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontSmall
                        MouseArea {
                            anchors.fill: parent
                            anchors.margins: -3
                            onClicked: view.showIndex(index)
                        }
                    }
                }
            ]
        }
    }
}
