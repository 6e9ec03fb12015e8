import QtQuick 2.15
import QPageModelSorter 1.0
import QFlowListView 1.0
import "../../common"

// The latest ticks of a QDetailedModel, newest at the bottom, as many as the height holds.
Item {
    id: list
    property var ticks: null  // a QDetailedModel
    property int rowHeight: Theme.panelRowHeight

    QPageModelSorter { id: page }
    function refresh() {
        var rows = Math.max(1, Math.floor(height / rowHeight) - 1);
        var total = ticks ? ticks.rowCount() : 0;
        page.pageSize = rows;
        page.startIndex = Math.max(0, total - rows);
        page.updateShow();
    }
    onTicksChanged: {
        page.sourceModel = ticks;
        refresh();
    }
    onHeightChanged: refresh()
    Connections {
        target: list.ticks
        function onDataUpdated(n) { list.refresh(); }
    }

    QFlowListView {
        id: flow
        objectName: "tickFlow"
        anchors.fill: parent
        Component.onCompleted: {
            setModel(page);
            setStyle(1);
            setRowHeight(list.rowHeight);
        }
    }
}
