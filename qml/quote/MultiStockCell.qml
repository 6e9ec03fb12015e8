import QtQuick 2.15
import "../common"
import "../js/multi_stock.js" as Multi

// One cell of the nine-chart view: a title strip with the security's name and code over its
// minute chart; an empty cell shows only its frame.
Rectangle {
    id: cell
    property var row: null
    property bool selected: false
    readonly property alias panel: chart
    signal picked()
    signal opened()

    color: Theme.chartBackground

    Rectangle {
        id: strip
        width: parent.width
        height: Theme.chartTitleHeight
        color: cell.selected ? Theme.selection : Theme.headerBackground
        Text {
            objectName: "cellTitle"
            x: 6
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - 12
            elide: Text.ElideRight
            text: Multi.cellTitle(cell.row)
            color: cell.selected ? Theme.highlight : Theme.text
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }
    }
    ChartPanel {
        id: chart
        objectName: "cellChart"
        anchors.top: strip.bottom
        width: parent.width
        height: parent.height - strip.height
        // Hidden from a change of security until the new minutes are in, so that a cell never
        // shows one security's title over another's chart.
        visible: cell.row !== null && !waiting
        property bool ready: false
        property bool waiting: false
        onClicked: cell.picked()
        // The minute line over its volume, set up once per cell.
        function showLive(code, market) {
            if (!ready) {
                setFormulas("MLINE", "MSCALES", "MCROSSHAIR", "", "MVOL");
                ready = true;
            }
            waiting = true;
            prepare("mline", 32, 242);
            model.getMinuteData(code, market, 0);
        }
    }
    Connections {
        target: chart.mainChart
        function onDoubleClicked(src, x, y) { cell.opened(); }
        function onDataUpdate() { chart.waiting = false; }
    }
    Connections {
        target: chart.subChart
        function onDoubleClicked(src, x, y) { cell.opened(); }
    }
    MouseArea {
        // An empty cell or the title strip still takes the selection.
        anchors.fill: parent
        z: -1
        onPressed: cell.picked()
        onDoubleClicked: cell.opened()
    }
    // The selection mark: a frame over the whole cell.
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: cell.selected ? Theme.panelSelected : Theme.border
        z: 10
    }
}
