import QtQuick 2.15

// A flat button of the dialogs: orange, blue under the pointer, white text.
Rectangle {
    id: button
    property string text: ""
    signal clicked()

    height: 30
    color: area.containsMouse ? "#0080FF" : "#FF8000"

    Text {
        anchors.centerIn: parent
        text: button.text
        color: "#FFFFFF"
        font.family: "Microsoft YaHei"
        font.pixelSize: 14
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
