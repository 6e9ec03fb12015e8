import QtQuick 2.15
import QtQuick.Window 2.15
import "../common"

// A separate window with a tab area of its own, centred on the desktop.
Window {
    id: sub
    property alias tabs: tabArea
    property var host_window: null

    width: 1000
    height: 650
    x: (Screen.desktopAvailableWidth - width) / 2
    y: (Screen.desktopAvailableHeight - height) / 2
    flags: Qt.Window | Qt.FramelessWindowHint
    color: Theme.background

    QTitleView2 {
        id: titleBar
        anchors.top: parent.top
        title_text: sub.title
        onCloseClicked: sub.destroy()
    }
    TabArea {
        id: tabArea
        objectName: "subTabArea"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: titleBar.bottom
        anchors.bottom: parent.bottom
        anchors.margins: 1
        host_window: sub.host_window
        focus: true
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Theme.dialogBorder
    }
}
