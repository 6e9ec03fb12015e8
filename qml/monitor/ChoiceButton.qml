import QtQuick 2.15
import "../common"

// A flat button of a choice bar (categories, scopes, groups); `marked` shows the current one.
Rectangle {
    id: button
    property string text: ""
    property bool marked: false
    signal clicked()
    signal doubleClicked()

    width: label.implicitWidth + 20
    height: 22
    color: marked ? Theme.tabActive : (area.containsMouse ? Theme.panelBackground : "transparent")
    border.color: marked ? Theme.tabActiveLine : "transparent"
    Text {
        id: label
        anchors.centerIn: parent
        text: button.text
        color: button.marked ? Theme.highlight : Theme.tabText
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
        onDoubleClicked: button.doubleClicked()
    }
}
