import QtQuick 2.15
import "../common"
import "../quote"

// A list of groups as a live quote table: the group bar along the bottom, the table of the
// selected group, and the chart panels of the selected row and of its market's index. The
// screens that use it say how a group is asked for (`requestGroup`) and may add a bar of
// their own above the group bar (`toolBar`).
FocusScope {
    id: view
    property var groups: []          // [{group_id, group_name, codes}]
    property int groupIndex: -1
    property int field: -1
    property int sort: 0
    property int firstColumnWidth: 45
    property string namePrefix: "group"
    // function(tableModel, position, field, sort, pageSize)
    property var requestGroup: null
    property alias toolBar: toolBarHost.data
    property real toolBarHeight: 0
    property alias table: table
    property alias panels: panels

    signal changeToMQView(var codeInfo)
    signal groupChosen(int index)

    function widths() {
        var w = [firstColumnWidth, 80, 100, 85, 85, 95, 95, 85];
        while (w.length < 40)
            w.push(85);
        return w;
    }

    // Asks for the selected group in the stored order; with no group, the table is emptied.
    function request() {
        if (groupIndex < 0 || groupIndex >= groups.length || !requestGroup) {
            table.table_model.cancel();
            table.table_model.clear();
            return;
        }
        requestGroup(table.table_model, groupIndex, field, sort, table.getShowPageSize());
    }
    // Stops the charts; `forget` also clears them. Before the panels exist there is nothing
    // to stop.
    function stopCharts(forget) {
        try {
            panels.stop(forget);
        } catch (e) {
            if (forget)
                panels.panelCodes = [null, null];
        }
    }
    function selectGroup(index) {
        groupIndex = index;
        stopCharts(true);
        table.table_model.clear();
        table.resetXY();
        table.selectIndex = -1;
        request();
        groupChosen(index);
    }
    // New groups: keeps the selected group by id where it is still there.
    function setGroups(list, preferredId) {
        var keep = preferredId !== undefined ? String(preferredId)
                 : (groupIndex >= 0 && groupIndex < groups.length ? String(groups[groupIndex].group_id) : "");
        groups = list || [];
        var at = groups.length > 0 ? 0 : -1;
        for (var i = 0; i < groups.length; ++i) {
            if (String(groups[i].group_id) === keep) {
                at = i;
                break;
            }
        }
        selectGroup(at);
    }

    onVisibleChanged: {
        if (visible) {
            request();
            var shown = panels.panelCodes;
            for (var i = 0; i < shown.length; ++i)
                if (shown[i])
                    panels.showPanel(i, shown[i]);
        } else {
            table.table_model.cancel();
            stopCharts(false);
        }
    }
    Component.onCompleted: table.setQuery({ "mode": 1 })

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    QuoteTableView {
        id: table
        objectName: view.namePrefix + "Table"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: toolBarHost.top
        anchors.right: panels.left
        anchors.rightMargin: 1
        focus: true
        fixedCount: 3
        columnWidths: view.widths()
        onRowClicked: panels.showSecurity(codeInfo)
        onChangeToMQView: view.changeToMQView(codeInfo)
        onDataChange: {
            if (selectIndex < 0 && rowCount > 0)
                select(0);
        }
        onChangeFieldSort: {
            view.field = table_model.getSortField(column);
            view.sort = type;
            view.request();
        }
    }

    Item {
        id: toolBarHost
        anchors.left: parent.left
        anchors.right: panels.left
        anchors.bottom: groupBar.top
        height: view.toolBarHeight
    }

    Rectangle {
        id: groupBar
        objectName: view.namePrefix + "GroupBar"
        anchors.left: parent.left
        anchors.right: panels.left
        anchors.bottom: parent.bottom
        height: 28
        color: Theme.frameBar
        Rectangle {
            width: parent.width
            height: 1
            color: Theme.frameLine
        }
        Flickable {
            anchors.fill: parent
            anchors.leftMargin: 4
            contentWidth: groupRow.width
            clip: true
            flickableDirection: Flickable.HorizontalFlick
            boundsBehavior: Flickable.StopAtBounds
            Row {
                id: groupRow
                height: parent.height
                spacing: 2
                Repeater {
                    model: view.groups
                    Rectangle {
                        readonly property bool marked: index === view.groupIndex
                        objectName: view.namePrefix + "GroupButton_" + index
                        anchors.verticalCenter: parent.verticalCenter
                        width: label.implicitWidth + 16
                        height: 22
                        color: marked ? Theme.tabActive : "transparent"
                        border.color: marked ? Theme.tabActiveLine : "transparent"
                        Text {
                            id: label
                            anchors.centerIn: parent
                            text: modelData.group_name
                            color: parent.marked ? Theme.highlight : Theme.tabText
                            font.family: Theme.fontFamily
                            font.pixelSize: Theme.fontNormal
                        }
                        MouseArea {
                            anchors.fill: parent
                            onClicked: view.selectGroup(index)
                        }
                    }
                }
            }
        }
        Text {
            anchors.centerIn: parent
            visible: view.groups.length === 0
            text: "暂无分组"
            color: Theme.textMuted
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal
        }
    }

    SecurityChartPair {
        id: panels
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: Theme.sidePanelWidth + 120
    }
}
