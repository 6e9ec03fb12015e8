import QtQuick 2.15
import QtQuick.Controls 2.15
import "../common"

// One entry of a title-bar menu; `entry` is the menu record it opens.
MenuItem {
    id: item
    property var entry: null
    implicitWidth: 168
    implicitHeight: 28
    font.family: Theme.fontFamily
    font.pixelSize: Theme.fontNormal
    contentItem: Text {
        leftPadding: 14
        rightPadding: 18
        text: item.text
        font: item.font
        color: item.enabled ? Theme.menuText : Theme.textMuted
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }
    arrow: Text {
        x: item.width - width - 8
        anchors.verticalCenter: parent.verticalCenter
        visible: item.subMenu !== null
        text: "›"
        color: Theme.textDim
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontLarge
    }
    indicator: Item {}
    background: Rectangle {
        color: item.highlighted ? Theme.menuHover : "transparent"
    }
}
