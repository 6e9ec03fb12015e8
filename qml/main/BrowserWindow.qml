import QtQuick 2.15
import QtQuick.Window 2.15
import QtWebEngine 1.10
import "../common"

// A browser window for web pages, with an optional alert bar above the page.
Window {
    id: browser
    property alias url: web.url
    property string alert_text: ""
    signal alertDismissed()

    width: 1000
    height: 650
    x: (Screen.desktopAvailableWidth - width) / 2
    y: (Screen.desktopAvailableHeight - height) / 2
    flags: Qt.Window | Qt.FramelessWindowHint
    color: Theme.background
    title: web.title.length > 0 ? web.title : "加载中"

    QTitleView2 {
        id: titleBar
        anchors.top: parent.top
        title_text: browser.title
        onCloseClicked: browser.destroy()
    }
    Rectangle {
        id: alertBar
        objectName: "alertBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: titleBar.bottom
        height: visible ? 30 : 0
        visible: browser.alert_text.length > 0
        color: Theme.headerBackground
        Text {
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.right: dismiss.left
            anchors.verticalCenter: parent.verticalCenter
            text: browser.alert_text
            elide: Text.ElideRight
            color: Theme.highlight
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal
        }
        PopupButton {
            id: dismiss
            objectName: "alertDismiss"
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            width: 90
            height: 22
            text: "今日不再提示"
            onClicked: {
                browser.alertDismissed();
                browser.alert_text = "";
            }
        }
    }
    WebEngineView {
        id: web
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: alertBar.bottom
        anchors.bottom: parent.bottom
        backgroundColor: Theme.background
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Theme.dialogBorder
    }
}
