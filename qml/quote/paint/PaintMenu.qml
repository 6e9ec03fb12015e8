import QtQuick 2.15
import QtQuick.Controls 2.15
import "../../common"

// The menu of a drawing (right press on a drawing): for lines "颜色", "粗细", "虚实" and
// "删除", for texts "颜色", "文本" and "删除". Every choice becomes one `setStyleCommand` of the
// chart the menu was opened for; the view saves the drawings after it (`styleCommand`).
Item {
    id: root
    objectName: "paintMenu"
    property var chart: null
    property string type: "line"
    readonly property var colors: ["#ffffff", "#ff3d3d", "#0fc351", "#ffe10b", "#1a98fc",
        "#ff8000", "#00f4ff", "#e040fb"]
    signal styleCommand(int index, int value)

    // Opens the menu for `chart` at (x, y) of `parentItem`, as `showPaintBoardMenu` asks.
    function popupFor(qchart, menuType, x, y, parentItem) {
        chart = qchart;
        type = menuType;
        menu.parent = parentItem || root;
        menu.x = x;
        menu.y = y;
        menu.open();
    }

    function command(index, value) {
        if (chart && typeof chart.setStyleCommand === "function")
            chart.setStyleCommand(index, value);
        styleCommand(index, value);
    }

    // "#rrggbb" as the integer 0xRRGGBB the chart takes.
    function colorValue(text) {
        return parseInt(String(text).replace("#", ""), 16);
    }

    Menu {
        id: menu
        objectName: "paintMenuPopup"
        Action { text: "颜色"; onTriggered: colorPopup.open() }
        Menu {
            title: "粗细"
            enabled: root.type === "line"
            Action { text: "细线"; onTriggered: root.command(6, 0) }
            Action { text: "中线"; onTriggered: root.command(7, 0) }
            Action { text: "粗线"; onTriggered: root.command(8, 0) }
        }
        Menu {
            title: "虚实"
            enabled: root.type === "line"
            Action { text: "实线"; onTriggered: root.command(4, 0) }
            Action { text: "虚线"; onTriggered: root.command(5, 0) }
        }
        Action {
            text: "文本"
            enabled: root.type === "text"
            onTriggered: root.command(2, 0)
        }
        Action { text: "删除"; onTriggered: root.command(1, 0) }
    }

    Popup {
        id: colorPopup
        objectName: "paintColorPopup"
        parent: menu.parent
        x: menu.x
        y: menu.y
        padding: 6
        modal: true
        background: Rectangle { color: Theme.dialogBody; border.color: Theme.dialogBorder }
        Column {
            spacing: 6
            Text {
                text: "请选颜色"
                color: Theme.text
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
            }
            Grid {
                columns: 4
                spacing: 4
                Repeater {
                    model: root.colors
                    Rectangle {
                        objectName: "paintColor_" + modelData
                        width: 22
                        height: 22
                        color: modelData
                        border.color: Theme.border
                        MouseArea {
                            anchors.fill: parent
                            onClicked: {
                                colorPopup.close();
                                root.command(0, root.colorValue(modelData));
                            }
                        }
                    }
                }
            }
        }
    }
}
