import QtQuick 2.15
import QtQuick.Controls 2.15

// "请输入文本": the text of a text drawing, its colour and its size. The chart hands the current
// text, colour ("#rrggbb") and font (the font's saved string form); OK hands all three back.
FramedDialog {
    id: dialog
    objectName: "textEditDlg"
    property string color: "#ffffff"
    property string font: ""
    readonly property var colors: ["#ffffff", "#ff3d3d", "#0fc351", "#ffe10b", "#1a98fc",
        "#ff8000", "#00f4ff", "#e040fb"]
    readonly property var sizes: [12, 14, 16, 20, 24]
    signal clickedOK(string text, string color, string font)
    signal clickedCancel()

    width: 320
    height: 320
    title_text: "请输入文本"
    modality: Qt.WindowModal
    onCloseClicked: cancel()

    function setText(text) { editor.text = text; }
    function setColor(c) { color = c; }
    function setFont(f) { font = f; }
    function setTextFocus(b) {
        editor.focus = b;
        if (b)
            editor.selectAll();
    }

    // The pixel size held in a font's string form ("family,points,pixels,..."), 12 without one.
    function pixelSize() {
        var parts = font.split(",");
        var px = parts.length > 2 ? parseInt(parts[2]) : -1;
        return px > 0 ? px : 12;
    }
    function withPixelSize(px) {
        var parts = font.split(",");
        if (parts.length < 3)
            return font;
        parts[1] = "-1";
        parts[2] = String(px);
        return parts.join(",");
    }

    function accept() {
        clickedOK(editor.text, color, font);
        close();
    }
    function cancel() {
        clickedCancel();
        close();
    }

    Column {
        anchors.fill: parent
        anchors.margins: 8
        spacing: 6

        Rectangle {
            width: parent.width
            height: parent.height - swatches.height - sizeRow.height - buttons.height - 18
            color: Theme.dialogField
            border.color: Theme.border
            ScrollView {
                anchors.fill: parent
                anchors.margins: 2
                TextArea {
                    id: editor
                    objectName: "textEditor"
                    color: dialog.color
                    wrapMode: TextEdit.Wrap
                    font.family: Theme.fontFamily
                    font.pixelSize: dialog.pixelSize()
                    selectByMouse: true
                    background: null
                }
            }
        }
        Row {
            id: swatches
            spacing: 6
            height: 22
            Repeater {
                model: dialog.colors
                Rectangle {
                    objectName: "swatch_" + modelData
                    width: 22
                    height: 22
                    color: modelData
                    border.width: modelData === dialog.color.toLowerCase() ? 2 : 1
                    border.color: modelData === dialog.color.toLowerCase() ? Theme.highlight
                                                                          : Theme.border
                    MouseArea {
                        anchors.fill: parent
                        onClicked: dialog.color = modelData
                    }
                }
            }
        }
        Row {
            id: sizeRow
            spacing: 6
            height: 22
            Text {
                text: "字号"
                color: Theme.textDim
                height: parent.height
                verticalAlignment: Text.AlignVCenter
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
            }
            Repeater {
                model: dialog.sizes
                Rectangle {
                    width: 30
                    height: 22
                    color: dialog.pixelSize() === modelData ? Theme.selection : Theme.dialogField
                    border.color: Theme.border
                    Text {
                        anchors.centerIn: parent
                        text: modelData
                        color: Theme.text
                        font.pixelSize: Theme.fontSmall
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: dialog.font = dialog.withPixelSize(modelData)
                    }
                }
            }
        }
        Row {
            id: buttons
            anchors.right: parent.right
            spacing: 8
            height: 26
            Repeater {
                model: [{ "name": "确定", "ok": true }, { "name": "取消", "ok": false }]
                Rectangle {
                    objectName: modelData.ok ? "okButton" : "cancelButton"
                    width: 64
                    height: 26
                    radius: 2
                    color: area.containsMouse ? Theme.buttonHover : Theme.buttonFill
                    Text {
                        anchors.centerIn: parent
                        text: modelData.name
                        color: Theme.text
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.dialogFontSize
                    }
                    MouseArea {
                        id: area
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: modelData.ok ? dialog.accept() : dialog.cancel()
                    }
                }
            }
        }
    }
}
