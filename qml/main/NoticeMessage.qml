import QtQuick 2.15
import QtQuick.Controls 2.15
import "../common"

// A notice without a page: its title, author, date and content in a box of its own.
Popup {
    id: box
    property var notice: ({})
    signal confirmed()

    width: 440
    height: 320
    modal: true
    padding: 1
    anchors.centerIn: parent
    closePolicy: Popup.CloseOnEscape
    background: Rectangle {
        color: Theme.dialogBody
        border.width: 1
        border.color: Theme.dialogBorder
    }

    function showNotice(n) {
        notice = n || {};
        open();
    }

    contentItem: Item {
        Rectangle {
            id: head
            anchors.left: parent.left
            anchors.right: parent.right
            height: 30
            color: Theme.dialogBorder
            Text {
                anchors.fill: parent
                anchors.leftMargin: 8
                anchors.rightMargin: 8
                verticalAlignment: Text.AlignVCenter
                text: String(box.notice.title || "")
                elide: Text.ElideRight
                color: Theme.text
                font.family: Theme.fontFamily
                font.pixelSize: Theme.dialogFontSize
            }
        }
        Text {
            id: byline
            objectName: "noticeByline"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: head.bottom
            anchors.margins: 10
            text: "撰写作者:" + String(box.notice.author || "") + "  发布日期:"
                  + String(box.notice.pub_date || "")
            color: Theme.textDim
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }
        Flickable {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: byline.bottom
            anchors.bottom: ok.top
            anchors.margins: 10
            clip: true
            contentHeight: content.implicitHeight
            Text {
                id: content
                width: parent.width
                text: String(box.notice.content || "")
                wrapMode: Text.Wrap
                color: Theme.text
                font.family: Theme.fontFamilySong
                font.pixelSize: Theme.dialogFontSize
            }
        }
        PopupButton {
            id: ok
            objectName: "noticeOk"
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            text: "确  定"
            onClicked: {
                box.close();
                box.confirmed();
            }
        }
    }
}
