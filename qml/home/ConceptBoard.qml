import QtQuick 2.15
import IndexBoardModel 1.0
import HUtil 1.0
import "../common"
import "../js/home.js" as Home

// The ten strongest and the ten weakest concept blocks as tiles in five columns and four
// rows, each on a background that deepens with its change. A double click marks a tile and
// opens the block's quote view.
Item {
    id: board
    readonly property alias model: concepts
    readonly property bool ready: concepts.filled
    property string currentCode: ""
    signal openQuote(var codeInfo)

    HUtil { id: util }
    IndexBoardModel {
        id: concepts
        property bool filled: false
        onDataChanged: filled = true
    }

    function start() {
        concepts.getConceptData(0, 1, 20);
    }
    function stop() {
        concepts.cancel();
    }

    readonly property real tileWidth: (width - 5) / 5 - 5
    readonly property real tileHeight: (height - 5) / 4 - 5

    Grid {
        id: tiles
        objectName: "conceptTiles"
        x: 5
        y: 5
        columns: 5
        spacing: 5
        Repeater {
            model: concepts.indexBoard
            Rectangle {
                id: tile
                objectName: "conceptTile_" + index
                readonly property bool current: modelData.code.length > 0 && modelData.code === board.currentCode
                width: Math.floor(board.tileWidth)
                height: Math.floor(board.tileHeight)
                color: modelData.code.length > 0 ? Home.conceptColor(modelData.rf_rate) : Theme.headerBackground
                border.width: tileMouse.containsMouse ? 1 : 0
                border.color: Theme.text
                Column {
                    anchors.centerIn: parent
                    spacing: 2
                    Text {
                        objectName: "conceptName"
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: Math.min(implicitWidth, tile.width - 8)
                        elide: Text.ElideRight
                        text: modelData.name
                        color: tile.current ? "#FFFFFF" : "#EEEEEE"
                        font.family: Theme.fontFamily
                        font.pixelSize: Math.min(18, Math.max(12, tile.height / 3 - 4))
                        font.bold: tile.current
                    }
                    Text {
                        objectName: "conceptRate"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: modelData.code.length > 0 ? util.formatRate(modelData.rf_rate * 100, 2, modelData.close) : ""
                        color: "#FFFFFF"
                        font.family: Theme.fontFamily
                        font.pixelSize: Math.min(18, Math.max(12, tile.height / 3 - 4))
                    }
                }
                MouseArea {
                    id: tileMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    onDoubleClicked: {
                        if (modelData.code.length === 0)
                            return;
                        board.currentCode = modelData.code;
                        board.openQuote({ "code": modelData.code, "market": modelData.market,
                                          "name": modelData.name, "chart": "mline" });
                    }
                }
            }
        }
    }
    Text {
        anchors.centerIn: parent
        visible: !concepts.filled
        text: "加载中…"
        color: Theme.textDim
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
}
