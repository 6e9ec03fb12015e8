import QtQuick 2.15
import "../common"

// A flat text button of the quote view's tool bars; `checked` marks the current choice.
Rectangle {
    id: button
    property string text: ""
    property bool checked: false
    property bool hasMenu: false
    signal clicked()
    signal menuClicked()

    height: 24
    width: label.implicitWidth + (hasMenu ? 30 : 18)
    color: checked ? Theme.selection : (area.containsMouse ? Theme.headerBackground : "transparent")
    radius: 2

    Text {
        id: label
        x: 9
        anchors.verticalCenter: parent.verticalCenter
        text: button.text
        color: button.checked ? Theme.highlight : Theme.text
        font.family: Theme.fontFamily
        font.pixelSize: Theme.fontNormal
    }
    Text {
        visible: button.hasMenu
        anchors.right: parent.right
        anchors.rightMargin: 5
        anchors.verticalCenter: parent.verticalCenter
        text: "▾"
        color: Theme.textDim
        font.pixelSize: 10
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: {
            if (button.hasMenu && mouse.x > button.width - 14)
                button.menuClicked();
            else
                button.clicked();
        }
    }
}
