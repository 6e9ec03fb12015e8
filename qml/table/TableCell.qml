import QtQuick 2.15
import "../common"

// One cell of a quote table: the row's background, a flash behind a changed value, the text.
Rectangle {
    id: cell
    property bool selected: false
    property bool hovered: false
    property string cellText: ""
    property color textColor: Theme.text
    property string flashColor: "#00000000"
    property bool running: false
    property int textAlign: 4

    color: selected ? Theme.tableRowSelected : hovered ? Theme.tableRowHover : Theme.tableRow

    function flash() {
        if (!running)
            return;
        glow.color = flashColor;
        fade.restart();
    }
    function stopFlash() {
        fade.stop();
        glow.color = "transparent";
    }
    onCellTextChanged: flash()
    onRunningChanged: flash()

    Rectangle {
        id: glow
        anchors.fill: parent
        color: "transparent"
        ColorAnimation on color {
            id: fade
            running: false
            to: "transparent"
            duration: Theme.tableFlashMs
        }
    }
    Text {
        anchors.fill: parent
        anchors.leftMargin: 6
        anchors.rightMargin: 6
        text: cell.cellText
        color: cell.textColor
        elide: Text.ElideRight
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
        verticalAlignment: Text.AlignVCenter
        horizontalAlignment: cell.textAlign === 1 ? Text.AlignLeft
                             : cell.textAlign === 2 ? Text.AlignRight : Text.AlignHCenter
    }
}
