import QtQuick 2.15
import MultiStockModel 1.0
import "common"
import "quote"
import "js/multi_stock.js" as Multi

// Nine securities of a quote list at once: their live minute charts in three rows of three,
// paged nine at a time through the list the user right-clicked. Hidden, the view drops its
// minute subscriptions; shown again, it asks for them anew.
FocusScope {
    id: view
    objectName: "multiStockView"

    property var query_map: ({})
    // The securities of the page, {code, market, name}, one per filled cell.
    property var rows: []
    property int selectIndex: -1
    // The cell to select once the page asked for arrives (-1: keep the selection).
    property int pendingSelect: -1
    // Pages the model reported (the tests wait on it).
    property int pageCount: 0

    signal changeToMQView(var codeInfo)

    MultiStockModel {
        id: model
        onDataChange: view.fill(data)
    }

    function setQuery(query) {
        var q = {};
        for (var k in query)
            q[k] = query[k];
        query_map = q;
        var ctx = Multi.pageContext(q.json, q.row);
        if (ctx === null) {
            fill([]);
        } else {
            pendingSelect = -1;
            model.setCtx(JSON.stringify(ctx));
        }
        forceActiveFocus();
    }

    function updateQuery(query) {
        var merged = {};
        for (var k in query_map)
            merged[k] = query_map[k];
        for (k in query)
            merged[k] = query[k];
        setQuery(merged);
    }

    function cellAt(i) {
        var c = cells.itemAt(i);
        return c ? c.panel : null;
    }

    function sameSecurity(a, b) {
        return !!a && !!b && a.code === b.code && Number(a.market) === Number(b.market);
    }

    // Lays a page over the cells: a cell whose security stays keeps its chart, a new one asks
    // for its minute chart, cells past the list are emptied.
    function fill(data) {
        var list = [];
        for (var i = 0; data && i < data.length && i < Multi.kCells; ++i)
            list.push({ "code": String(data[i].code), "market": Number(data[i].market),
                        "name": String(data[i].name) });
        var old = rows;
        rows = list;
        for (i = 0; i < Multi.kCells; ++i) {
            var panel = cellAt(i);
            if (!panel)
                continue;
            if (i >= list.length) {
                panel.stop();
            } else if (!sameSecurity(old[i], list[i]) && view.visible) {
                panel.showLive(list[i].code, list[i].market);
            }
        }
        if (pendingSelect >= 0)
            selectIndex = Math.min(pendingSelect, list.length - 1);
        else if (selectIndex >= list.length)
            selectIndex = list.length - 1;
        pendingSelect = -1;
        pageCount += 1;
    }

    function select(i) {
        selectIndex = i >= 0 && i < rows.length ? i : -1;
    }

    function pageUp() {
        model.pageUp();
    }
    function pageDown() {
        model.pageDown();
    }

    function moveBy(delta) {
        var step = Multi.move(selectIndex, delta, rows.length);
        if (step.page < 0) {
            pendingSelect = step.select;
            model.pageUp();
        } else if (step.page > 0) {
            pendingSelect = step.select;
            model.pageDown();
        } else {
            select(step.select);
        }
    }

    function openCell(i) {
        if (i < 0 || i >= rows.length)
            return;
        select(i);
        view.changeToMQView({ "code": rows[i].code, "market": rows[i].market,
                              "name": rows[i].name, "chart": "mline" });
    }

    onVisibleChanged: {
        for (var i = 0; i < rows.length; ++i) {
            var panel = cellAt(i);
            if (!panel)
                continue;
            if (visible)
                panel.showLive(rows[i].code, rows[i].market);
            else
                panel.stop();
        }
    }

    Keys.onPressed: {
        var delta = Multi.deltaOf(event.key, { "left": Qt.Key_Left, "right": Qt.Key_Right,
                                               "up": Qt.Key_Up, "down": Qt.Key_Down });
        if (delta !== 0) {
            moveBy(delta);
        } else if (event.key === Qt.Key_PageUp) {
            pageUp();
        } else if (event.key === Qt.Key_PageDown) {
            pageDown();
        } else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            openCell(selectIndex);
        } else {
            return;
        }
        event.accepted = true;
    }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    Grid {
        id: grid
        anchors.fill: parent
        columns: Multi.kColumns
        spacing: 1
        readonly property real cellWidth: Math.floor((width - 2 * spacing) / 3)
        readonly property real cellHeight: Math.floor((height - 2 * spacing) / 3)
        Repeater {
            id: cells
            model: Multi.kCells
            MultiStockCell {
                objectName: "multiCell_" + index
                width: grid.cellWidth
                height: grid.cellHeight
                row: index < view.rows.length ? view.rows[index] : null
                selected: index === view.selectIndex
                onPicked: {
                    view.forceActiveFocus();
                    view.select(index);
                }
                onOpened: view.openCell(index)
            }
        }
    }
}
