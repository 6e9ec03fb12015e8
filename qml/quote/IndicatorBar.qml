import QtQuick 2.15
import "../common"

// The sub-chart indicators of the registry along the bottom of the charts; a click shows or
// hides the indicator's sub-chart.
Rectangle {
    id: bar
    objectName: "indicatorBar"
    property var names: []
    property var shown: []
    signal toggled(string name)

    height: 24
    color: Theme.headerBackground

    Text {
        id: caption
        x: 8
        anchors.verticalCenter: parent.verticalCenter
        text: "副图指标"
        color: Theme.textMuted
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontSmall
    }
    ListView {
        id: list
        anchors.left: caption.right
        anchors.leftMargin: 6
        anchors.right: parent.right
        height: parent.height
        orientation: ListView.Horizontal
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: bar.names
        delegate: ToolButtonFlat {
            objectName: "indicator_" + modelData
            y: 0
            text: modelData
            checked: bar.shown.indexOf(modelData) >= 0
            onClicked: bar.toggled(modelData)
        }
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.NoButton
            onWheel: list.flick(wheel.angleDelta.y * 8, 0)
        }
    }
}
