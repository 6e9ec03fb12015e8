import QtQuick 2.15
import "../common"

// A small button of a chart's title strip.
Rectangle {
    id: button
    property string glyph: ""
    property string tip: ""
    signal clicked()

    width: 18
    height: 18
    anchors.verticalCenter: parent ? parent.verticalCenter : undefined
    radius: 2
    color: area.containsMouse ? Theme.selection : "transparent"
    border.width: 1
    border.color: area.containsMouse ? Theme.accent : Theme.border

    Text {
        anchors.centerIn: parent
        text: button.glyph
        color: area.containsMouse ? Theme.text : Theme.textDim
        font.family: Theme.fontFamily
        font.pixelSize: 11
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
