import QtQuick 2.15
import QtQuick.Controls 2.15
import "../common"

// The pop-up list of notices, titled "提示"; an entry opens its page, or its text when it has
// no page.
Popup {
    id: list
    property var notices: []
    signal openPage(string title, string url)
    signal showText(var notice)
    signal dismissed()

    width: 360
    height: Math.min(320, 31 + Math.max(1, notices.length) * 28 + 2)
    padding: 1
    closePolicy: Popup.CloseOnEscape
    background: Rectangle {
        color: Theme.popupBackground
        border.width: 1
        border.color: Theme.dialogBorder
    }
    onClosed: dismissed()

    contentItem: Column {
        Rectangle {
            width: parent.width
            height: 30
            color: Theme.dialogBorder
            Text {
                anchors.left: parent.left
                anchors.leftMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                text: "提示"
                color: Theme.text
                font.family: Theme.fontFamily
                font.pixelSize: Theme.dialogFontSize
            }
            TitleButton {
                objectName: "noticeClose"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                glyph: "✕"
                hover_color: "#CC351C"
                onClicked: list.close()
            }
        }
        ListView {
            objectName: "noticeEntries"
            width: parent.width
            height: list.height - 33
            clip: true
            model: list.notices
            delegate: Rectangle {
                width: ListView.view.width
                height: 28
                color: rowMouse.containsMouse ? Theme.selection : "transparent"
                Text {
                    anchors.left: parent.left
                    anchors.right: parent.right
                    anchors.margins: 10
                    anchors.verticalCenter: parent.verticalCenter
                    text: String(modelData.title || "")
                    elide: Text.ElideRight
                    color: Theme.text
                    font.family: Theme.fontFamily
                    font.pixelSize: Theme.fontNormal
                }
                MouseArea {
                    id: rowMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: {
                        var n = modelData;
                        if (n.url && String(n.url).length > 0)
                            list.openPage(String(n.title || ""), String(n.url));
                        else
                            list.showText(n);
                    }
                }
            }
        }
    }
}
