import QtQuick 2.15
import "../common"

// The quick bar: shortcuts to screens, each a route, coloured by its style.
Rectangle {
    id: bar
    // Items {name, flag, style}.
    property var items: []
    signal activated(string title, string route)

    height: Theme.quickBarHeight
    color: Theme.panelBackground

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 1
        color: Theme.frameLine
    }
    Row {
        anchors.left: parent.left
        anchors.leftMargin: 4
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        Repeater {
            model: bar.items
            Rectangle {
                objectName: "quickItem_" + index
                width: label.implicitWidth + 20
                height: parent.height
                color: mouse.containsMouse ? Theme.menuHover : "transparent"
                Text {
                    id: label
                    anchors.centerIn: parent
                    text: modelData.name !== undefined ? String(modelData.name) : ""
                    color: Theme.quickBarColors[Math.max(0, Math.min(3, Number(modelData.style) || 0))]
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                MouseArea {
                    id: mouse
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: {
                        var flag = modelData.flag === undefined || modelData.flag === null
                                ? "" : String(modelData.flag);
                        if (flag.length > 0)
                            bar.activated(label.text, flag);
                    }
                }
            }
        }
    }
}
