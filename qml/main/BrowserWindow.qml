import QtQuick 2.15
import QtQuick.Window 2.15
import "../common"
import "../web"
import "../js/web_links.js" as Links

// A browser window for web pages (notices, news and research items, pages opening new
// windows), with an optional alert bar above the page. A window opened for the login notice
// asks on closing whether the notice should stay away for the rest of the day.
Window {
    id: browser
    objectName: "browserWindow"
    property alias url: page.url
    property alias host_window: page.host_window
    readonly property alias view: page.view
    readonly property alias page: page
    property string alert_text: ""
    // Opened for the login notice: closing asks "下次启动是否不再弹出本条消息？".
    property bool show_alert: false
    property bool closeAnswered: false
    property var closeQuestion: null
    signal alertDismissed()

    width: 1000
    height: 650
    x: (Screen.desktopAvailableWidth - width) / 2
    y: (Screen.desktopAvailableHeight - height) / 2
    flags: Qt.Window | Qt.FramelessWindowHint
    color: Theme.background
    title: Links.windowTitle(page.title, page.url)

    QTitleView2 {
        id: titleBar
        objectName: "browserTitle"
        anchors.top: parent.top
        target_window: browser
        title_text: browser.title
    }
    Rectangle {
        id: alertBar
        objectName: "alertBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: titleBar.bottom
        height: visible ? 30 : 0
        visible: browser.alert_text.length > 0
        color: Theme.headerBackground
        Text {
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.right: dismiss.left
            anchors.verticalCenter: parent.verticalCenter
            text: browser.alert_text
            elide: Text.ElideRight
            color: Theme.highlight
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal
        }
        PopupButton {
            id: dismiss
            objectName: "alertDismiss"
            anchors.right: parent.right
            anchors.rightMargin: 6
            anchors.verticalCenter: parent.verticalCenter
            width: 90
            height: 22
            text: "今日不再提示"
            onClicked: {
                browser.alertDismissed();
                browser.alert_text = "";
                // Already answered: closing asks nothing more.
                browser.show_alert = false;
            }
        }
    }
    WebPage {
        id: page
        objectName: "webPage"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: alertBar.bottom
        anchors.bottom: parent.bottom
        anchors.margins: 1
        anchors.topMargin: 0
        onCloseRequested: browser.close()
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Theme.dialogBorder
    }

    // The closing question of a login notice; either answer closes the window.
    function askBeforeClosing() {
        if (closeQuestion !== null) {
            closeQuestion.requestActivate();
            return;
        }
        var component = Qt.createComponent("qrc:/qml/common/QAlert.qml");
        closeQuestion = component.createObject(browser, {
            "title_": "提示", "text_": "下次启动是否不再弹出本条消息？",
            "ok_text_": "当天不再提醒", "cancel_text_": "继续提醒", "objectName": "closeQuestion",
            "modality": Qt.WindowModal, "transientParent": browser
        });
        if (closeQuestion === null) {
            console.warn("browser window:", component.errorString());
            finishClosing();
            return;
        }
        closeQuestion.x = browser.x + (browser.width - closeQuestion.width) / 2;
        closeQuestion.y = browser.y + (browser.height - closeQuestion.height) / 2;
        closeQuestion.clickedOk.connect(function() {
            browser.alertDismissed();
            browser.finishClosing();
        });
        closeQuestion.clickedCancel.connect(browser.finishClosing);
        closeQuestion.show();
    }

    function finishClosing() {
        closeAnswered = true;
        if (closeQuestion !== null) {
            closeQuestion.close();
            closeQuestion.destroy();
            closeQuestion = null;
        }
        browser.close();
    }

    onClosing: {
        if (show_alert && !closeAnswered) {
            close.accepted = false;
            askBeforeClosing();
            return;
        }
        // A closed browser window is done with: its page goes with it.
        browser.destroy();
    }
}
