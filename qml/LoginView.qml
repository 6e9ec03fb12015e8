import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QBaseService 1.0

// The login window. Closing it without logging in ends the program.
Window {
    id: loginWindow
    width: 420
    height: 300
    visible: true
    color: "#1B1D24"
    title: "VeltoQuorin"
    flags: Qt.Window

    QBaseService { id: baseService }

    Column {
        anchors.centerIn: parent
        spacing: 16

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: baseService.getBaseInfoValue("appName")
            color: "#FFFFFF"
            font.family: "Microsoft YaHei"
            font.pixelSize: 24
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "版本 " + baseService.getBaseInfoValue("appVer")
            color: "#9AA0AC"
            font.family: "Microsoft YaHei"
            font.pixelSize: 12
        }
        Button {
            id: enterButton
            anchors.horizontalCenter: parent.horizontalCenter
            text: "离线进入"
            onClicked: {
                baseService.setLoginInfo({ "user": { "id": "", "sessionId": "offline" } })
                loginWindow.close()
            }
        }
    }
}
