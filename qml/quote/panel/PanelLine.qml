import QtQuick 2.15
import "../../common"

// One label-and-value line of the quote panel.
Item {
    property string label: ""
    property string value: ""
    property color valueColor: Theme.text
    property color labelColor: Theme.panelLabel
    implicitHeight: Theme.panelRowHeight
    Text {
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        text: parent.label
        color: parent.labelColor
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
    Text {
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: parent.value
        color: parent.valueColor
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
}
