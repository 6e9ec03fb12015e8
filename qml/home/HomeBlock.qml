import QtQuick 2.15
import "../common"

// A block of the home view: a title strip over its content, framed by one-pixel lines.
Rectangle {
    id: block
    property string title: ""
    // Items placed right of the title (tabs, hints).
    default property alias content: body.data
    property alias header: strip
    readonly property alias body: body

    color: Theme.panelBackground
    border.width: 1
    border.color: Theme.frameLine

    Rectangle {
        id: strip
        x: 1
        y: 1
        width: parent.width - 2
        height: Theme.chartTitleHeight + 6
        color: Theme.headerBackground
        Rectangle {
            width: 3
            height: 12
            x: 8
            anchors.verticalCenter: parent.verticalCenter
            color: Theme.accent
        }
        Text {
            objectName: "blockTitle"
            x: 16
            anchors.verticalCenter: parent.verticalCenter
            text: block.title
            color: Theme.text
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal
            font.bold: true
        }
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: Theme.frameLine
        }
    }
    Item {
        id: body
        x: 1
        anchors.top: strip.bottom
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        width: parent.width - 2
        clip: true
    }
}
