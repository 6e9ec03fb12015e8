import QtQuick 2.15
import QtQuick.Controls 2.15
import QMyStockService 1.0
import "common"
import "quote"
import "table"
import "js/watchlist_actions.js" as Watchlist
import "js/kvst.js" as Kvst

// The watchlist: one group at a time as a live quote table, the groups to switch between (a
// double click renames one), and beside the table two small charts, the selected security
// and its market's index. Hidden, the list is cancelled; shown again, it is asked for anew.
FocusScope {
    id: view
    objectName: "myStockView"

    property var query_map: ({ "field": -1, "sort": 0 })
    property int groupIndex: 0
    property var groups: []          // {id, name} per group, in document order
    property bool firstData: true
    property bool missedChange: false  // the watchlist changed while the view was hidden

    signal changeToMQView(var codeInfo)
    signal changeToTabView(string title, string url)

    QMyStockService { id: myStock }

    function number(v, fallback) {
        var n = Number(v);
        return v === undefined || v === null || v === "" || isNaN(n) ? fallback : n;
    }

    function setQuery(query) {
        var q = query || {};
        query_map = { "field": number(q.field, -1), "sort": number(q.sort, 0) };
        if (query_map.field < 0)
            table.sortColumn = -1;
        refreshGroups();
        request();
    }
    function updateQuery(query) {
        var q = {};
        for (var k in query_map)
            q[k] = query_map[k];
        for (k in query)
            q[k] = query[k];
        setQuery(q);
    }

    function refreshGroups() {
        groups = Watchlist.groups(myStock);
        if (groupIndex >= groups.length)
            groupIndex = 0;
    }

    // Asks for the group anew; its first page selects its first row again, which the charts
    // then show.
    function request() {
        table.selectIndex = -1;
        if (groups.length === 0) {
            table.table_model.cancel();
            table.table_model.clear();
            return;
        }
        table.table_model.getMyStockRealTime(groupIndex, query_map.field, query_map.sort,
                                             table.getShowPageSize());
    }

    function switchGroup(index) {
        if (index < 0 || index >= groups.length)
            return;
        groupIndex = index;
        table.table_model.clear();
        table.resetXY();
        // The charts follow the new group's first row; an empty group shows none.
        charts.stop(true);
        request();
    }

    // The watchlist changed elsewhere (search, quote panel, a menu, the server).
    function onMyStockChange() {
        if (!visible) {
            missedChange = true;
            return;
        }
        refreshGroups();
        request();
    }

    function renameGroup(index, name) {
        if (Watchlist.rename(myStock, Kvst.open(), index, name) === undefined)
            return false;
        refreshGroups();
        return true;
    }

    onVisibleChanged: {
        if (!visible) {
            table.table_model.cancel();
            charts.stop(false);
            return;
        }
        if (missedChange) {
            missedChange = false;
            refreshGroups();
            request();
        } else if (table.rowCount > 0) {
            table.reSubscribe();
        } else {
            // An empty group has no list to renew; ask again in case it was filled meanwhile.
            request();
        }
        var shown = charts.panelCodes;
        for (var i = 0; i < 2; ++i)
            if (shown[i])
                charts.showPanel(i, shown[i]);
    }

    Component.onCompleted: {
        table.table_model.initHeader(1);
        table.setFixedColumn(3);
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    QuoteTableView {
        id: table
        objectName: "myStockTable"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: groupBar.top
        anchors.right: charts.left
        anchors.rightMargin: 1
        focus: true
        fixedCount: 3
        columnWidths: [40, 80, 100, 85, 85, 95, 95]
        onRowClicked: charts.showSecurity(codeInfo)
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
            view.query_map = { "field": field, "sort": type };
            view.request();
        }
    }

    Text {
        objectName: "emptyHint"
        anchors.centerIn: table
        visible: table.rowCount === 0
        text: view.groups.length === 0 ? "暂无自选分组" : "该分组暂无股票，可在行情表右键菜单或键盘精灵中添加"
        color: Theme.textMuted
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }

    Rectangle {
        id: groupBar
        objectName: "groupBar"
        anchors.left: parent.left
        anchors.right: charts.left
        anchors.bottom: parent.bottom
        height: 28
        color: Theme.frameBar
        Rectangle { width: parent.width; height: 1; color: Theme.frameLine }
        Row {
            anchors.verticalCenter: parent.verticalCenter
            x: 4
            spacing: 2
            Repeater {
                model: view.groups
                Rectangle {
                    readonly property bool marked: index === view.groupIndex
                    objectName: "groupButton_" + index
                    width: label.implicitWidth + 20
                    height: 22
                    color: marked ? Theme.tabActive : (area.containsMouse ? Theme.panelBackground
                                                                          : "transparent")
                    border.color: marked ? Theme.tabActiveLine : "transparent"
                    Text {
                        id: label
                        anchors.centerIn: parent
                        text: modelData.name
                        color: parent.marked ? Theme.highlight : Theme.tabText
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                    }
                    MouseArea {
                        id: area
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: view.switchGroup(index)
                        onDoubleClicked: renameDialog.openFor(index, modelData.name)
                    }
                }
            }
        }
    }

    SecurityChartPair {
        id: charts
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Theme.sidePanelWidth + 120
    }

    // "修改分组名称": one line with the group's name; OK renames the group here and on the
    // server.
    Popup {
        id: renameDialog
        objectName: "renameDialog"
        property int groupIndex: -1
        parent: view
        anchors.centerIn: parent
        width: 300
        height: 130
        modal: true
        focus: true
        padding: 0
        closePolicy: Popup.CloseOnEscape
        function openFor(index, name) {
            groupIndex = index;
            nameField.text = name;
            open();
            nameField.selectAll();
            nameField.forceActiveFocus();
        }
        function accept() {
            if (view.renameGroup(groupIndex, nameField.text))
                close();
        }
        onClosed: table.forceActiveFocus()
        background: Rectangle { color: Theme.dialogBody; border.color: Theme.dialogBorder }
        Column {
            anchors.fill: parent
            Rectangle {
                width: parent.width
                height: 28
                color: Theme.dialogHeader
                Text {
                    x: 10
                    anchors.verticalCenter: parent.verticalCenter
                    text: "修改分组名称"
                    color: Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.dialogFontSize
                }
            }
            Item {
                width: parent.width
                height: 60
                TextField {
                    id: nameField
                    objectName: "renameField"
                    anchors.centerIn: parent
                    width: parent.width - 30
                    height: 30
                    maximumLength: 32
                    color: Theme.text
                    selectByMouse: true
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                    background: Rectangle { color: Theme.dialogField; border.color: Theme.border }
                    onAccepted: renameDialog.accept()
                }
            }
            Row {
                width: parent.width
                PopupButton {
                    objectName: "renameCancel"
                    width: parent.width / 2
                    text: "取  消"
                    color: "#555A63"
                    onClicked: renameDialog.close()
                }
                PopupButton {
                    objectName: "renameOk"
                    width: parent.width / 2
                    text: "确  定"
                    onClicked: renameDialog.accept()
                }
            }
        }
    }
}
