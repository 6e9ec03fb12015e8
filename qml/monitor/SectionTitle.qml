import QtQuick 2.15
import "../common"

// The title strip over one part of a monitor screen; items placed inside go to its right end.
Rectangle {
    id: strip
    property string text: ""
    property color textColor: Theme.highlight
    default property alias tools: toolRow.data

    height: Theme.chartTitleHeight + 4
    color: Theme.headerBackground
    Text {
        objectName: "sectionTitle"
        x: 8
        anchors.verticalCenter: parent.verticalCenter
        text: strip.text
        color: strip.textColor
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
        font.bold: true
    }
    Row {
        id: toolRow
        anchors.right: parent.right
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter
        spacing: 4
    }
    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: Theme.frameLine
    }
}
