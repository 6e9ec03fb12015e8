import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QBaseService 1.0

// The main window.
ApplicationWindow {
    id: mainWindow
    width: 1280
    height: 800
    visible: true
    color: "#14161B"
    title: "VeltoQuorin"

    QBaseService { id: baseService }

    Text {
        anchors.centerIn: parent
        text: baseService.getBaseInfoValue("appName") + "  " + baseService.getBaseInfoValue("appVer")
        color: "#FFFFFF"
        font.family: "Microsoft YaHei"
        font.pixelSize: 20
    }
}
