import QtQuick 2.15
import QtQuick.Window 2.15

// A two-button alert window; the buttons only report, the opener closes the alert.
FramedDialog {
    id: alert
    property string title_: "金融终端"
    property string text_: ""
    property color color_: Theme.text
    property string ok_text_: "确  定"
    property string cancel_text_: "取  消"
    signal clickedOk()
    signal clickedCancel()

    width: 300
    height: 200
    title: title_
    title_text: title_
    show_close: false

    Text {
        objectName: "alertText"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: buttons.top
        anchors.margins: 12
        text: alert.text_
        color: alert.color_
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.family: Theme.fontFamilySong
        font.pixelSize: Theme.dialogFontSize
    }
    Row {
        id: buttons
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 24
        PopupButton {
            objectName: "alertCancel"
            width: 96
            text: alert.cancel_text_
            onClicked: alert.clickedCancel()
        }
        PopupButton {
            objectName: "alertOk"
            width: 96
            text: alert.ok_text_
            onClicked: alert.clickedOk()
        }
    }
}
