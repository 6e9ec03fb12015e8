import QtQuick 2.15
import QtQuick.Window 2.15

// Asks before the main window closes: quit, log in again (a new process), or stay.
FramedDialog {
    id: confirm
    // The window whose quitConfirmed() "退出" calls.
    property var main_window: null
    // Restarts the program; the main window passes the window helper's restart.
    property var restart: null

    width: 300
    height: 150
    modality: Qt.ApplicationModal
    title: "退出确认"
    title_text: "退出确认"
    show_close: false

    Text {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
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

    function choose(index) {
        confirm.close();
        if (index === 0 && main_window)
            main_window.quitConfirmed();
        else if (index === 1 && restart)
            restart();
        confirm.destroy();
    }
}
