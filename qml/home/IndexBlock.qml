import QtQuick 2.15
import IndexBoardModel 1.0
import HUtil 1.0
import "../common"
import "../quote"

// The main indices as tiles beside the minute chart of the chosen one. A click on a tile
// charts that index; a double click opens its quote view.
Item {
    id: block
    property int chosen: 0
    readonly property alias board: indices
    // The chart received its first minutes.
    property bool chartReady: false
    readonly property bool tilesReady: indices.filled
    signal openQuote(var codeInfo)

    HUtil { id: util }
    IndexBoardModel {
        id: indices
        property bool filled: false
        onDataChanged: filled = true
    }

    function tileAt(i) {
        var list = indices.indexBoard;
        return i >= 0 && i < list.length ? list[i] : null;
    }

    // The chosen index's minute chart, once its code is known.
    function showChosen() {
        var t = tileAt(chosen);
        var known = t && t.code.length > 0;
        // Before the first snapshots the tiles hold no codes yet: the first tile is the
        // Shanghai composite.
        chart.showMinute(known ? t.code : "1A0001", known ? t.market : 1);
    }

    function choose(i) {
        if (i === chosen && chartReady)
            return;
        chosen = i;
        chartReady = false;
        showChosen();
    }

    function start() {
        indices.getIndexData();
        showChosen();
    }
    function stop() {
        indices.cancel();
        chart.stop();
    }

    Column {
        id: tiles
        objectName: "indexTiles"
        width: 236
        height: parent.height
        Repeater {
            model: indices.indexBoard
            Rectangle {
                id: tile
                objectName: "indexTile_" + index
                readonly property color tone: util.getPriceColor(modelData.close, modelData.pre_close)
                readonly property bool empty: modelData.close === 0
                width: tiles.width
                height: Math.floor(tiles.height / 5)
                color: index === block.chosen ? Theme.selection : (tileMouse.containsMouse ? Theme.tableRowHover : "transparent")
                Rectangle {
                    width: 2
                    height: parent.height
                    color: Theme.tabActiveLine
                    visible: index === block.chosen
                }
                Text {
                    objectName: "indexName"
                    x: 12
                    y: parent.height / 2 - height - 1
                    text: modelData.name.length > 0 ? modelData.name : modelData.code
                    color: Theme.menuText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                Text {
                    objectName: "indexClose"
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    y: parent.height / 2 - height - 1
                    text: tile.empty ? "--" : util.formatPrice(modelData.close, 2)
                    color: tile.tone
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontLarge
                    font.bold: true
                }
                Text {
                    x: 12
                    y: parent.height / 2 + 2
                    text: tile.empty ? "--" : util.formatRate(modelData.rf_rate * 100, 2, modelData.close)
                    color: tile.tone
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Text {
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    y: parent.height / 2 + 2
                    text: tile.empty ? "--" : util.formatPrice(modelData.rf_value, 2)
                    color: tile.tone
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontSmall
                }
                Rectangle {
                    anchors.bottom: parent.bottom
                    width: parent.width
                    height: 1
                    color: Theme.gridLine
                }
                MouseArea {
                    id: tileMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: block.choose(index)
                    onDoubleClicked: {
                        if (modelData.code.length > 0)
                            block.openQuote({ "code": modelData.code, "market": modelData.market,
                                              "name": modelData.name, "chart": "mline" });
                    }
                }
            }
        }
    }
    Rectangle {
        id: divider
        anchors.left: tiles.right
        width: 1
        height: parent.height
        color: Theme.frameLine
    }
    ChartPanel {
        id: chart
        objectName: "indexChart"
        anchors.left: divider.right
        anchors.right: parent.right
        height: parent.height
        Component.onCompleted: setFormulas("MLINE", "MSCALES", "MCROSSHAIR", "", "MVOL")
    }
    Connections {
        target: chart.mainChart
        function onDataUpdate() { block.chartReady = true; }
        function onDoubleClicked(src, x, y) {
            var t = block.tileAt(block.chosen);
            if (t && t.code.length > 0)
                block.openQuote({ "code": t.code, "market": t.market, "name": t.name, "chart": "mline" });
        }
    }
}
