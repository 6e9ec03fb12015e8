import QtQuick 2.15
import QtQuick.Window 2.15

// Asks before the main window closes: quit, log in again (a new process), or stay.
Window {
    id: confirm
    // The window that "退出" closes.
    property var main_window: null
    // Restarts the program; the main window passes the window helper's restart.
    property var restart: null

    width: 300
    height: 150
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    flags: Qt.Dialog | Qt.FramelessWindowHint | Qt.MSWindowsFixedSizeDialogHint
           | Qt.CustomizeWindowHint
    modality: Qt.ApplicationModal
    color: Theme.dialogBody
    title: "退出确认"

    QTitleView2 {
        id: titleBar
        anchors.top: parent.top
        title_text: "退出确认"
        show_close: false
        show_max: false
        show_min: false
        allow_double_click: false
    }
    Text {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: titleBar.bottom
        anchors.bottom: buttons.top
        text: "您确定退出吗？请您选择:"
        color: Theme.text
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.family: Theme.fontFamilySong
        font.pixelSize: Theme.dialogFontSize
    }
    Row {
        id: buttons
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 18
        Repeater {
            model: [{ "name": "quitButton", "text": "退出" },
                    { "name": "reloginButton", "text": "重新登录" },
                    { "name": "cancelQuitButton", "text": "取消" }]
            Item {
                width: buttons.width / 3
                height: 30
                PopupButton {
                    objectName: modelData.name
                    anchors.centerIn: parent
                    width: 76
                    text: modelData.text
                    onClicked: confirm.choose(index)
                }
            }
        }
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Theme.dialogBorder
    }

    function choose(index) {
        confirm.close();
        if (index === 0 && main_window)
            main_window.quitConfirmed();
        else if (index === 1 && restart)
            restart();
        confirm.destroy();
    }
}
