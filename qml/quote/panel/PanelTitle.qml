import QtQuick 2.15
import "../../common"

// The title strip of a block of the quote panel.
Rectangle {
    property string title: ""
    implicitHeight: Theme.panelRowHeight
    color: Theme.headerBackground
    Text {
        anchors.left: parent.left
        anchors.leftMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        text: parent.title
        color: Theme.text
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
        font.bold: true
    }
}
