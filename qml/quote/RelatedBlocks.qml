import QtQuick 2.15
import "../common"
import "../table"

// The blocks a security belongs to (left) beside the members of the chosen block (right); for
// an index only its members. Both lists are live while the tab is visible.
Item {
    id: blocks
    objectName: "relatedBlocks"
    property var security: null
    readonly property bool isIndex: security !== null && Number(security.type) === 1
    property int blockField: 34
    property int blockSort: 0
    property int memberField: 34
    property int memberSort: 0
    // The block whose members are listed (0: none chosen yet).
    property double chosenBlock: 0
    readonly property alias blockTable: blockTable
    readonly property alias memberTable: memberTable

    signal changeToMQView(var codeInfo)

    // A new security: the orders start over and no block is chosen.
    function setSecurity(s) {
        security = s;
        blockField = 34;
        blockSort = 0;
        memberField = 34;
        memberSort = 0;
        chosenBlock = 0;
        blockTable.table_model.clear();
        memberTable.table_model.clear();
        blockTable.resetXY();
        memberTable.resetXY();
        if (visible)
            request();
    }

    function request() {
        if (security === null || height <= 0)
            return;
        if (isIndex) {
            var id = memberTable.table_model.getBlockId(String(security.code), Number(security.market));
            if (id !== 0)
                listMembers(id);
            return;
        }
        blockTable.table_model.getBlockIndex(String(security.code), Number(security.market),
                                             blockField, blockSort);
        markSort(blockTable, blockField, blockSort);
        if (chosenBlock !== 0)
            listMembers(chosenBlock);
    }

    function listMembers(blockId) {
        chosenBlock = blockId;
        memberTable.setQuery({ "block": blockId, "field": memberField, "sort": memberSort,
                               "mode": 1 });
    }

    // The header marker of a list the tab asks for itself.
    function markSort(table, field, sort) {
        var model = table.table_model;
        table.sortColumn = -1;
        for (var c = 0; c < model.columnCount(); ++c) {
            if (model.getSortField(c) === field) {
                table.sortColumn = c;
                table.sortType = sort === 1 ? 1 : 0;
                return;
            }
        }
    }

    function cancel() {
        blockTable.table_model.cancel();
        memberTable.table_model.cancel();
    }

    onVisibleChanged: visible ? request() : cancel()
    onHeightChanged: if (visible) heightTimer.restart()
    Timer {
        // Once a resize settles, the pages follow the new height.
        id: heightTimer
        interval: 150
        onTriggered: blocks.request()
    }

    QuoteTableView {
        id: blockTable
        objectName: "blockTable"
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: blocks.isIndex ? 0 : 323
        visible: !blocks.isIndex
        fixedCount: 2
        pageChange: false
        columnWidths: [45, 100, 80, 95]
        Component.onCompleted: {
            table_model.initHeader(3);
            setFixedColumn(2);
        }
        onRowClicked: {
            if (codeInfo && codeInfo.block_id)
                blocks.listMembers(codeInfo.block_id);
        }
        onDataChange: {
            if (blocks.chosenBlock !== 0 || rowCount === 0)
                return;
            // The first answer picks the selected block (the first one when none is).
            if (selectIndex < 0)
                selectIndex = 0;
            var info = table_model.getCodeInfo(selectIndex);
            if (info && info.block_id)
                blocks.listMembers(info.block_id);
        }
        onChangeFieldSort: {
            var field = table_model.getSortField(column);
            if (field < 0)
                return;
            blocks.blockField = field;
            blocks.blockSort = type;
            table_model.getBlockIndex(String(blocks.security.code), Number(blocks.security.market),
                                      field, type);
        }
        onChangeToMQView: blocks.changeToMQView(codeInfo)
    }
    Rectangle {
        id: split
        anchors.left: blockTable.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        width: blocks.isIndex ? 0 : 1
        color: Theme.border
    }
    QuoteTableView {
        id: memberTable
        objectName: "memberTable"
        anchors.left: split.right
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        fixedCount: 3
        columnWidths: [45, 80, 100, 80, 85, 85, 95, 95]
        Component.onCompleted: {
            table_model.initHeader(1);
            setFixedColumn(3);
        }
        onChangeFieldSort: {
            // The table asks for the new order itself; remember it for the next request.
            var field = table_model.getSortField(column);
            if (field < 0)
                return;
            blocks.memberField = field;
            blocks.memberSort = type;
        }
        onChangeToMQView: blocks.changeToMQView(codeInfo)
    }
}
