import QtQuick 2.15
import QtQuick.Controls 2.15
import "../common"

// A drop-down menu of the title bar in the window's dark colours; sub-menus look the same.
Menu {
    id: menu
    topPadding: 2
    bottomPadding: 2
    delegate: MenuEntry {}
    background: Rectangle {
        implicitWidth: 168
        color: Theme.popupBackground
        border.width: 1
        border.color: Theme.frameLine
    }
}
