import QtQuick 2.15

// A 30 x 30 button of the title bar, drawn with a glyph.
Rectangle {
    id: button
    property string glyph: ""
    property color hover_color: "#4A6FB5"
    signal clicked()

    width: 30
    height: 30
    color: area.containsMouse ? hover_color : "transparent"

    Text {
        anchors.centerIn: parent
        text: button.glyph
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
