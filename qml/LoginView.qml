import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QBaseService 1.0
import QCrypto 1.0
import HUtil 1.0
import HFileIO 1.0
import QMyStockService 1.0
import "common"
import "js/kvst.js" as Kvst
import "js/login_sync.js" as Sync

// The login window: fetches the server addresses, logs the user in and pulls every document
// the main window needs into the data folder, then closes itself.
Window {
    id: root
    width: 560
    height: 290
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height
    visible: true
    color: "transparent"
    title: "金融终端"
    flags: Qt.Window | Qt.FramelessWindowHint

    // fetching → ready → authenticating → synchronising → (closed)
    property string state_: "fetching"
    property var db: null
    property string statusText: "正在连接服务器..."
    // The address document could not be fetched; it is fetched again every few seconds.
    property bool addressFailed: false
    readonly property var services: ({ "base": baseService, "crypto": crypto, "util": util,
                                       "files": fileIO, "myStock": myStock })

    QBaseService { id: baseService }
    QCrypto { id: crypto }
    HUtil { id: util }
    HFileIO { id: fileIO }
    QMyStockService { id: myStock }

    Rectangle {
        anchors.fill: parent
        color: "#1B1D24"
        border.color: "#335493"
        border.width: 1

        QTitleView2 {
            id: titleBar
            anchors.top: parent.top
            title_text: "金融终端"
            show_max: false
            allow_double_click: false
        }

        ListView {
            id: strip
            objectName: "imageStrip"
            anchors.left: parent.left
            anchors.top: titleBar.bottom
            anchors.leftMargin: 1
            width: 300
            height: 230
            clip: true
            orientation: ListView.Horizontal
            snapMode: ListView.SnapOneItem
            highlightRangeMode: ListView.StrictlyEnforceRange
            highlightMoveDuration: 400
            model: ListModel {
                id: images
                ListElement { src: "qrc:/qml/images/start.png" }
            }
            delegate: Image {
                width: strip.width
                height: strip.height
                source: src
                fillMode: Image.PreserveAspectCrop
            }
            Timer {
                interval: 3000
                running: images.count > 1
                repeat: true
                onTriggered: strip.currentIndex = (strip.currentIndex + 1) % images.count
            }
            PageIndicator {
                anchors.bottom: parent.bottom
                anchors.horizontalCenter: parent.horizontalCenter
                count: images.count
                currentIndex: strip.currentIndex
                visible: images.count > 1
            }
        }

        Column {
            anchors.left: strip.right
            anchors.right: parent.right
            anchors.top: titleBar.bottom
            anchors.margins: 20
            spacing: 12

            TextField {
                id: userField
                objectName: "userField"
                width: parent.width
                placeholderText: "请输入用户名"
                color: "#FFFFFF"
                placeholderTextColor: "#6E7583"
                background: Rectangle {
                    color: "#12141A"
                    border.width: 1
                    border.color: parent.activeFocus ? "#4A7BD0" : "#3A404C"
                    radius: 2
                }
                font.family: "Microsoft YaHei"
                font.pixelSize: 14
                selectByMouse: true
                Keys.onReturnPressed: root.login()
                Keys.onEnterPressed: root.login()
            }
            TextField {
                id: passwordField
                objectName: "passwordField"
                width: parent.width
                placeholderText: "请输入密码"
                color: "#FFFFFF"
                placeholderTextColor: "#6E7583"
                background: Rectangle {
                    color: "#12141A"
                    border.width: 1
                    border.color: parent.activeFocus ? "#4A7BD0" : "#3A404C"
                    radius: 2
                }
                echoMode: TextInput.Password
                font.family: "Microsoft YaHei"
                font.pixelSize: 14
                Keys.onReturnPressed: root.login()
                Keys.onEnterPressed: root.login()
            }
            CheckBox {
                id: rememberBox
                objectName: "rememberBox"
                text: "记住密码"
                font.family: "Microsoft YaHei"
                font.pixelSize: 13
                contentItem: Text {
                    leftPadding: rememberBox.indicator.width + rememberBox.spacing
                    text: rememberBox.text
                    font: rememberBox.font
                    color: "#C8CDD6"
                    verticalAlignment: Text.AlignVCenter
                }
            }
            Button {
                id: loginButton
                objectName: "loginButton"
                width: parent.width
                height: 36
                text: "登  录"
                font.family: "Microsoft YaHei"
                font.pixelSize: 15
                enabled: root.state_ === "ready"
                onClicked: root.login()
                contentItem: Text {
                    text: loginButton.text
                    font: loginButton.font
                    color: loginButton.enabled ? "#FFFFFF" : "#9AA0AC"
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    color: !loginButton.enabled ? "#3A404C"
                                                : loginButton.hovered ? "#0080FF" : "#FF8000"
                    radius: 2
                }
            }
            Text {
                objectName: "statusText"
                width: parent.width
                text: root.statusText
                color: "#9AA0AC"
                elide: Text.ElideRight
                font.family: "Microsoft YaHei"
                font.pixelSize: 12
            }
        }
    }

    QPopup { id: popup; objectName: "popup" }

    // The message pop-up (the tests read what it shows).
    function popupItem() {
        return popup;
    }

    function showMessage(msg, cb) {
        popup.showMsg(msg, cb === undefined ? null : cb, false);
    }

    Timer {
        id: addressRetry
        interval: 3000
        onTriggered: {
            root.setStatus("正在连接服务器...");
            Sync.fetchServerAddress(root);
        }
    }
    function retryServerAddress() {
        addressRetry.restart();
    }

    function setStatus(text) {
        statusText = text;
    }

    function login() {
        if (state_ !== "ready")
            return;
        if (userField.text.length === 0) {
            showMessage("用户名不能为空", function() { userField.forceActiveFocus(); });
            userField.forceActiveFocus();
            return;
        }
        if (passwordField.text.length === 0) {
            showMessage("密码不能为空", function() { passwordField.forceActiveFocus(); });
            passwordField.forceActiveFocus();
            return;
        }
        Sync.login(root, userField.text, passwordField.text, rememberBox.checked);
    }

    Component.onCompleted: {
        db = Kvst.open();
        Kvst.createTables(db);
        Kvst.writePresetCommands(db);
        var user = Kvst.firstUser(db);
        if (user) {
            userField.text = user.name;
            passwordField.text = crypto.decode(user.password);
            rememberBox.checked = true;
        }
        var saved = fileIO.readFileDefaultPath("start_image.json");
        if (saved.length > 0) {
            try {
                var urls = JSON.parse(saved);
                for (var i = 0; i < urls.length; ++i)
                    images.append({ "src": String(urls[i]) });
            } catch (e) {
                console.warn("start_image.json is not a list of images");
            }
        }
        Sync.fetchServerAddress(root);
        userField.forceActiveFocus();
    }
}
