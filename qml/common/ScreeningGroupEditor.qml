import QtQuick 2.15
import QtQuick.Controls 2.15

// "选股结果管理": rename and delete the screening result groups. Every change is stored at
// once through `service`; the pop-up closes only with its confirm button.
Popup {
    id: editor
    objectName: "screeningGroupEditor"
    property var service: null
    property var rows: []  // [{group_id, group_name, count}]
    signal confirmed()

    width: 480
    height: 480
    modal: true
    focus: true
    anchors.centerIn: Overlay.overlay
    closePolicy: Popup.NoAutoClose
    padding: 0

    function openWith(document) {
        var list = [];
        var groups = document && document.result ? document.result : [];
        for (var i = 0; i < groups.length; ++i)
            list.push({ "group_id": groups[i].group_id, "group_name": groups[i].group_name,
                        "count": groups[i].codes ? groups[i].codes.length : 0 });
        rows = list;
        open();
    }
    function removeRow(i) {
        service.removeGroup(String(rows[i].group_id));
        var list = rows.slice();
        list.splice(i, 1);
        rows = list;
    }

    background: Rectangle {
        color: Theme.dialogBody
        border.color: Theme.dialogBorder
    }
    contentItem: Item {
        Rectangle {
            id: title
            width: parent.width
            height: 30
            color: Theme.dialogHeader
            Text {
                x: 10
                anchors.verticalCenter: parent.verticalCenter
                text: "选股结果管理"
                color: Theme.text
                font.family: Theme.fontFamily
                font.pixelSize: Theme.dialogFontSize
            }
        }
        Row {
            id: header
            anchors.top: title.bottom
            x: 10
            height: 28
            Repeater {
                model: [["结果名称", 280], ["股票数量", 90], ["删除", 80]]
                Text {
                    width: modelData[1]
                    height: header.height
                    verticalAlignment: Text.AlignVCenter
                    horizontalAlignment: index === 0 ? Text.AlignLeft : Text.AlignHCenter
                    text: modelData[0]
                    color: Theme.tableHeaderText
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
            }
        }
        ListView {
            id: list
            objectName: "screeningGroupRows"
            anchors.top: header.bottom
            anchors.bottom: confirm.top
            anchors.bottomMargin: 10
            x: 10
            width: parent.width - 20
            clip: true
            model: editor.rows
            delegate: Item {
                width: list.width
                height: 30
                Rectangle {
                    x: 0
                    width: 270
                    height: 24
                    anchors.verticalCenter: parent.verticalCenter
                    color: Theme.dialogField
                    border.color: nameInput.activeFocus ? Theme.accent : Theme.border
                    TextInput {
                        id: nameInput
                        objectName: "groupName_" + index
                        anchors.fill: parent
                        anchors.leftMargin: 6
                        verticalAlignment: TextInput.AlignVCenter
                        text: modelData.group_name
                        color: Theme.text
                        selectByMouse: true
                        clip: true
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                        onTextEdited: editor.service.editGroup(String(modelData.group_id), text)
                        Keys.onReturnPressed: focus = false
                        Keys.onEnterPressed: focus = false
                    }
                }
                Text {
                    x: 280
                    width: 90
                    height: parent.height
                    verticalAlignment: Text.AlignVCenter
                    horizontalAlignment: Text.AlignHCenter
                    text: modelData.count
                    color: Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                Rectangle {
                    objectName: "deleteGroup_" + index
                    x: 370 + 15
                    width: 50
                    height: 22
                    anchors.verticalCenter: parent.verticalCenter
                    color: deleteArea.containsMouse ? Theme.buttonHover : "transparent"
                    border.color: Theme.border
                    Text {
                        anchors.centerIn: parent
                        text: "删除"
                        color: Theme.rise
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontSmall
                    }
                    MouseArea {
                        id: deleteArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: editor.removeRow(index)
                    }
                }
            }
        }
        PopupButton {
            id: confirm
            objectName: "confirmGroupEditor"
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 12
            anchors.horizontalCenter: parent.horizontalCenter
            width: 120
            text: "确  认"
            onClicked: {
                editor.close();
                editor.confirmed();
            }
        }
    }
}
