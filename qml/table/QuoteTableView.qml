import QtQuick 2.15
import QtQuick.Window 2.15
import TableModel 1.0
import QTableModelProxy 1.0
import "../common"

// A quote list: a fixed left part and a horizontally scrolling right part over one
// TableModel, a page as long as the view is high, header clicks that sort on the server,
// keys and wheel that move the selection and page the list, flashing changed cells. Enter or
// a double click opens the quote view with the list attached, so it can step through it.
FocusScope {
    id: root
    objectName: "quoteTableView"

    property alias table_model: tableModel
    property var query_map: ({})
    property int fixedCount: 2
    property int selectIndex: -1
    property int hoverIndex: -1
    property int sortColumn: -1
    property int sortType: 0
    property bool pageChange: true
    // Widths by model column; columns past the list are Theme.tableColumnWidth wide.
    property var columnWidths: Theme.tableColumnWidths
    readonly property int rowPitch: Theme.tableRowHeight + 1
    property int columns: 0
    property int rowCount: 0

    signal rowClicked(var codeInfo)
    signal rowSelectChange(var codeInfo)
    signal changeToMQView(var codeInfo)
    signal changeFieldSort(int column, int type)
    signal dataChange()
    signal mystockChange()
    signal changeToTabView(string title, string url)
    // A new order on screen: from the header click to the first frame showing its page.
    signal sortPainted(real elapsed)

    LoggingCategory { id: timing; name: "vq.timing" }
    property real sortStarted: 0
    property bool sortArrived: false
    Connections {
        target: root.Window.window
        enabled: root.sortArrived
        function onFrameSwapped() {
            var elapsed = Date.now() - root.sortStarted;
            root.sortArrived = false;
            root.sortStarted = 0;
            console.info(timing, "quote table: sort change → new first page painted in", elapsed, "ms");
            root.sortPainted(elapsed);
        }
    }

    TableModel {
        id: tableModel
        onModelReset: root.refreshShape()
        onRowsInserted: root.rowCount = rowCount()
        onRowsRemoved: {
            root.rowCount = rowCount();
            if (root.selectIndex >= root.rowCount)
                root.selectIndex = root.rowCount - 1;
        }
        onDataChange: {
            if (root.sortStarted > 0)
                root.sortArrived = true;
            root.dataChange();
        }
    }
    QTableModelProxy { id: leftProxy }
    QTableModelProxy { id: rightProxy }

    function widthOf(column) {
        var w = columnWidths;
        return column < w.length ? w[column] : Theme.tableColumnWidth;
    }
    function spanWidth(from, to) {
        var total = 0;
        for (var c = from; c < to; ++c)
            total += widthOf(c) + 1;
        return total;
    }

    // The rows a page of this height holds.
    function getShowPageSize() {
        return Math.max(1, Math.floor((height - Theme.tableHeaderHeight) / rowPitch + 0.2));
    }

    function refreshShape() {
        columns = tableModel.columnCount();
        rowCount = tableModel.rowCount();
        var fixed = Math.min(fixedCount, columns);
        leftProxy.startColumn = 0;
        leftProxy.endColumn = fixed - 1;
        rightProxy.startColumn = fixed;
        rightProxy.endColumn = columns - 1;
        if (leftProxy.sourceModel === null) {
            leftProxy.sourceModel = tableModel;
            rightProxy.sourceModel = tableModel;
        }
        leftProxy.updateColumns();
        rightProxy.updateColumns();
        leftTable.forceLayout();
        rightTable.forceLayout();
    }

    function setFixedColumn(n) {
        fixedCount = n;
        tableModel.setFixedColumn(n);
    }

    // Shows the list a query names: a block ranking by `block`, sorted by `field` and
    // `sort`, in header mode `mode`. Other lists are requested through table_model.
    function setQuery(map) {
        query_map = map || {};
        var mode = query_map.mode !== undefined ? Number(query_map.mode) : tableModel.headerMode();
        if (mode !== tableModel.headerMode() || columns === 0)
            tableModel.initHeader(mode);
        if (query_map.block === undefined)
            return;
        var field = query_map.field !== undefined ? Number(query_map.field) : -1;
        var sort = query_map.sort !== undefined ? Number(query_map.sort) : 0;
        // The marker follows the order asked for.
        sortColumn = -1;
        for (var c = 0; c < columns && field >= 0; ++c) {
            if (tableModel.getSortField(c) === field) {
                sortColumn = c;
                sortType = sort === 1 ? 1 : 0;
                break;
            }
        }
        var size = query_map.page_size !== undefined ? Number(query_map.page_size)
                                                     : getShowPageSize();
        tableModel.getQuotePeroidRealTime(Number(query_map.block), field, sort, size);
    }

    function reSubscribe() {
        tableModel.resubscribe(tableModel.getCtx());
    }

    // Asks the list for another page position (0 first, a huge number the last).
    function requestPage(no) {
        var ctx = JSON.parse(tableModel.getCtx() || "{}");
        if (!ctx.page_ || !ctx.page_.length)
            return;
        ctx.page_.no = no;
        tableModel.resubscribe(JSON.stringify(ctx));
    }

    function getSelectCodeInfo() {
        return selectIndex >= 0 ? tableModel.getCodeInfo(selectIndex) : ({});
    }
    function getFirstCodeInfo() {
        return tableModel.getCodeInfo(0);
    }
    function resetXY() {
        rightTable.contentX = 0;
        leftTable.contentY = 0;
        rightTable.contentY = 0;
        selectIndex = -1;
    }

    function select(row) {
        selectIndex = row;
        if (row >= 0) {
            rowSelectChange(tableModel.getCodeInfo(row));
            clickTimer.restart();
        }
    }
    function stepDown() {
        if (rowCount === 0)
            return;
        if (selectIndex + 1 < rowCount) {
            select(selectIndex + 1);
            return;
        }
        select(0);
        if (pageChange)
            tableModel.pageDown();
    }
    function stepUp() {
        if (rowCount === 0)
            return;
        if (selectIndex > 0) {
            select(selectIndex - 1);
            return;
        }
        select(rowCount - 1);
        if (pageChange)
            tableModel.pageUp();
    }
    function openSelected() {
        if (selectIndex < 0 || selectIndex >= rowCount)
            return;
        var info = tableModel.getCodeInfo(selectIndex);
        info.chart = "mline";
        info.json = encodeURIComponent(tableModel.getCtx());
        changeToMQView(info);
    }
    // The row's menu: watchlist actions, its charts and research pages, the list's charts.
    function openMenu(row, x, y) {
        var info = tableModel.getCodeInfo(row);
        info.row = row;
        info.json = encodeURIComponent(tableModel.getCtx());
        contextMenu.popupTable(info, root, x, y);
    }
    function sortBy(column) {
        if (tableModel.getSortField(column) < 0)
            return;
        if (column === sortColumn)
            sortType = sortType === 0 ? 1 : 0;
        sortColumn = column;
        changeFieldSort(column, sortType);
        if (query_map.block !== undefined) {
            sortStarted = Date.now();
            var map = query_map;
            map.field = tableModel.getSortField(column);
            map.sort = sortType;
            setQuery(map);
        }
    }

    onHeightChanged: pageTimer.restart()
    Timer {
        // The page follows the height once a resize settles.
        id: pageTimer
        interval: 150
        onTriggered: {
            // A page length the query names stays whatever the height.
            if (root.query_map.page_size !== undefined)
                return;
            var ctx = JSON.parse(tableModel.getCtx() || "{}");
            var size = root.getShowPageSize();
            if (ctx.page_ && ctx.page_.length && ctx.page_.length !== size) {
                ctx.page_.length = size;
                tableModel.resubscribe(JSON.stringify(ctx));
            }
        }
    }
    Timer {
        // Quick successive steps report only the row they end on.
        id: clickTimer
        interval: 300
        onTriggered: if (root.selectIndex >= 0) root.rowClicked(tableModel.getCodeInfo(root.selectIndex))
    }

    Keys.onPressed: {
        switch (event.key) {
        case Qt.Key_Down: stepDown(); break;
        case Qt.Key_Up: stepUp(); break;
        case Qt.Key_PageDown: tableModel.pageDown(); select(rowCount > 0 ? 0 : -1); break;
        case Qt.Key_PageUp: tableModel.pageUp(); select(rowCount - 1); break;
        case Qt.Key_Home: requestPage(0); select(rowCount > 0 ? 0 : -1); break;
        case Qt.Key_End: requestPage(2147483647); select(rowCount - 1); break;
        case Qt.Key_Return:
        case Qt.Key_Enter: openSelected(); break;
        case Qt.Key_Left:
            rightTable.contentX = Math.max(0, rightTable.contentX - 10);
            break;
        case Qt.Key_Right:
            rightTable.contentX = Math.max(0, Math.min(rightTable.contentWidth - rightTable.width,
                                                       rightTable.contentX + 10));
            break;
        default: return;
        }
        event.accepted = true;
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.tableBackground
    }

    readonly property int leftWidth: spanWidth(0, Math.min(fixedCount, columns))

    TableHeader {
        id: leftHeader
        x: 0
        tableModel: tableModel
        firstColumn: 0
        columnCount: Math.min(root.fixedCount, root.columns)
        sortColumn: root.sortColumn
        sortType: root.sortType
        widthOf: root.widthOf
        onClicked: root.sortBy(column)
    }
    Item {
        x: root.leftWidth
        width: root.width - root.leftWidth
        height: Theme.tableHeaderHeight
        clip: true
        TableHeader {
            x: -rightTable.contentX
            tableModel: tableModel
            firstColumn: Math.min(root.fixedCount, root.columns)
            columnCount: Math.max(0, root.columns - root.fixedCount)
            sortColumn: root.sortColumn
            sortType: root.sortType
            widthOf: root.widthOf
            onClicked: root.sortBy(column)
        }
    }

    TableCells {
        id: leftTable
        view: root
        objectName: "tableLeft"
        x: 0
        width: root.leftWidth
        model: leftProxy
        contentY: rightTable.contentY
    }
    TableCells {
        id: rightTable
        view: root
        objectName: "tableRight"
        x: root.leftWidth
        width: root.width - root.leftWidth
        firstColumn: Math.min(root.fixedCount, root.columns)
        model: rightProxy
    }

    MouseArea {
        id: pointer
        anchors.fill: parent
        anchors.topMargin: Theme.tableHeaderHeight
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        function rowAt(y) {
            var r = Math.floor((y + rightTable.contentY) / root.rowPitch);
            return r >= 0 && r < root.rowCount ? r : -1;
        }
        onPositionChanged: root.hoverIndex = rowAt(mouse.y)
        onExited: root.hoverIndex = -1
        onPressed: {
            root.forceActiveFocus();
            var r = rowAt(mouse.y);
            if (r >= 0)
                root.select(r);
            if (r >= 0 && mouse.button === Qt.RightButton)
                root.openMenu(r, mouse.x, mouse.y + Theme.tableHeaderHeight);
        }
        onDoubleClicked: root.openSelected()
        onWheel: {
            if (wheel.angleDelta.y < 0)
                root.stepDown();
            else if (wheel.angleDelta.y > 0)
                root.stepUp();
            else if (wheel.angleDelta.x !== 0)
                rightTable.contentX = Math.max(0, Math.min(rightTable.contentWidth - rightTable.width,
                                                           rightTable.contentX - wheel.angleDelta.x / 4));
        }
    }

    QuoteContextMenu {
        id: contextMenu
        onMystockChange: root.mystockChange()
        onChangeToMQView: root.changeToMQView(codeInfo)
        onChangeToTabView: root.changeToTabView(title, url)
    }

    Component.onCompleted: refreshShape()
}
