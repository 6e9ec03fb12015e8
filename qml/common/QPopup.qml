import QtQuick 2.15
import QtQuick.Controls 2.15

// The shared message pop-up: a message with a confirm button and, optionally, a cancel button.
Popup {
    id: popup
    property var callback: null
    property alias message: messageText.text
    property bool showCancel: false
    property string cancelText: "取  消"
    property string confirmText: "确  定"

    width: 200
    height: 150
    modal: true
    focus: true
    anchors.centerIn: parent
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
    padding: 0
    background: Rectangle { color: "#80000000" }

    // Shows `msg`; `cb(true)` on confirm, `cb(false)` on cancel, nothing when dismissed.
    function showMsg(msg, cb, is_cancel, cancel_text, confirm_tex) {
        message = msg;
        callback = cb === undefined ? null : cb;
        showCancel = !!is_cancel;
        cancelText = cancel_text ? cancel_text : "取  消";
        confirmText = confirm_tex ? confirm_tex : "确  定";
        open();
    }

    function answer(ok) {
        var cb = callback;
        callback = null;
        close();
        if (cb)
            cb(ok);
    }

    contentItem: Item {
        Text {
            id: messageText
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: buttons.top
            anchors.margins: 10
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            wrapMode: Text.Wrap
            color: "#FFFFFF"
            font.family: "Microsoft YaHei"
            font.pixelSize: 14
        }
        Row {
            id: buttons
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 30
            PopupButton {
                objectName: "cancelButton"
                visible: popup.showCancel
                width: parent.width / 2
                text: popup.cancelText
                onClicked: popup.answer(false)
            }
            PopupButton {
                objectName: "confirmButton"
                width: popup.showCancel ? parent.width / 2 : parent.width
                text: popup.confirmText
                onClicked: popup.answer(true)
            }
        }
    }
}
