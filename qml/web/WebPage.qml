import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import QtWebEngine 1.10
import HRoute 1.0
import "../common"
import "../js/web_links.js" as Links
import "../js/kvst.js" as Kvst

// A page of the embedded web engine as the terminal shows it, in a tab or in a browser window:
// its links can open a security's quote view ("goto::") or, in a tab, a route of the tab area
// ("app://qml/"); links opening new windows open browser windows; its context menu is just
// "刷新"; downloads are saved at once under the page's title.
Item {
    id: page
    // The main window: onChangeToMQView, onChangedTabView and createWindow are its.
    property var host_window: null
    // In a tab, "app://qml/" links open routes and the outside community pages are not
    // followed; in a window both are plain links.
    property bool in_tab: false
    // The "刷新" context menu; switched off, a right click shows no menu at all.
    property bool refresh_menu: true
    property alias url: web.url
    property alias view_name: web.objectName
    readonly property alias view: web
    readonly property alias title: web.title
    readonly property alias loading: web.loading
    // The last download of this page: its file, its state and what it reached.
    property string download_path: ""
    property string download_state: ""

    // A link the page handed over that opened nothing, and why (shown for a few seconds).
    signal linkRefused(string link, string reason)
    // The page asked to close its window (window.close()).
    signal closeRequested()
    signal downloadFinished(string path, bool ok)

    HRoute { id: router }

    Rectangle {
        anchors.fill: parent
        color: Theme.background
    }

    WebEngineView {
        id: web
        objectName: "webView"
        anchors.fill: parent
        backgroundColor: Theme.background
        settings.dnsPrefetchEnabled: true
        settings.pluginsEnabled: true
        settings.pdfViewerEnabled: true
        // Links of schemes the engine does not know ("goto::") must reach onNavigationRequested,
        // which refuses every one of them, so nothing is ever handed to the desktop.
        settings.unknownUrlSchemePolicy: WebEngineSettings.AllowAllUnknownUrlSchemes

        onNavigationRequested: function(request) {
            var kind = page.handleLink(String(request.url));
            if (kind !== "follow")
                request.action = WebEngineNavigationRequest.IgnoreRequest;
        }
        onNewViewRequested: function(request) {
            var win = page.openWindow();
            if (win)
                request.openIn(win.view);
        }
        onContextMenuRequested: function(request) {
            request.accepted = true;
            if (page.refresh_menu)
                contextMenu.popup();
        }
        onWindowCloseRequested: page.closeRequested()
    }

    // The window whose functions open views: the one given, else the main window this page
    // lives in (directly, or through the sub-window that hosts its tab).
    function hostWindow() {
        if (host_window)
            return host_window;
        var w = page.Window.window;
        return w && w.host_window ? w.host_window : w;
    }

    // Returns what was done with the link: "follow" lets the engine load it.
    function handleLink(link) {
        var action = Links.classify(link, in_tab);
        if (action.kind === "goto") {
            openQuote(link, action.target);
            return "goto";
        }
        if (action.kind === "route") {
            var route = router.getRoute(action.route);
            var title = route.query_map && route.query_map.title ? String(route.query_map.title) : "";
            var host = hostWindow();
            if (host && host.onChangedTabView)
                host.onChangedTabView(title, action.route, false);
            return "route";
        }
        if (action.kind === "ignore")
            return "ignore";
        if (!Links.isLoadableScheme(link)) {
            refuse(link, "该链接无法在终端中打开");
            return "ignore";
        }
        return "follow";
    }

    function openQuote(link, target) {
        if (target.action !== "quote") {
            refuse(link, "链接无效");
            return;
        }
        var row = null;
        try {
            row = Kvst.findSecurity(Kvst.open(), target.code, target.market);
        } catch (e) {
            row = null;
        }
        if (row === null) {
            refuse(link, "未找到证券 " + target.code);
            return;
        }
        var host = hostWindow();
        // The dictionary's own route, so that a quote tab the search opened is found again.
        if (row.active && host && host.onChangedTabView) {
            host.onChangedTabView(row.name, String(row.active), false);
            return;
        }
        if (host && host.onChangeToMQView)
            host.onChangeToMQView({ "code": row.code, "market": row.market, "name": row.name,
                                           "type": row.type });
    }

    function refuse(link, reason) {
        console.warn("web page: link not opened:", link, "-", reason);
        notice.show(reason);
        linkRefused(link, reason);
    }

    // A browser window of the main window, or (without one) a window of our own.
    function openWindow() {
        var host = hostWindow();
        if (host && host.createWindow)
            return host.createWindow();
        var component = Qt.createComponent("qrc:/qml/main/BrowserWindow.qml");
        var win = component.createObject(null, { "host_window": host });
        if (win === null) {
            console.warn("browser window:", component.errorString());
            return null;
        }
        win.show();
        return win;
    }

    Connections {
        target: web.profile
        function onDownloadRequested(download) {
            if (download.view !== web)
                return;
            download.downloadFileName = Links.downloadName(web.title, Date.now());
            download.accept();
            page.download_path = download.downloadDirectory + "/" + download.downloadFileName;
            page.download_state = "下载中";
            downloadWatch.target = download;
        }
    }
    Connections {
        id: downloadWatch
        target: null
        ignoreUnknownSignals: true
        function onStateChanged() {
            var d = downloadWatch.target;
            if (d.state === WebEngineDownloadItem.DownloadCompleted) {
                page.download_state = "已保存";
                page.downloadFinished(page.download_path, true);
            } else if (d.state === WebEngineDownloadItem.DownloadCancelled
                       || d.state === WebEngineDownloadItem.DownloadInterrupted) {
                page.download_state = "下载失败";
                page.downloadFinished(page.download_path, false);
            }
        }
    }

    // The last download: where it goes and how it ended.
    Rectangle {
        id: downloadBar
        objectName: "downloadBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 26
        visible: page.download_state.length > 0
        color: Theme.headerBackground
        Text {
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.right: closeDownload.left
            anchors.verticalCenter: parent.verticalCenter
            text: page.download_state + "：" + page.download_path
            elide: Text.ElideMiddle
            color: page.download_state === "下载失败" ? Theme.rise : Theme.menuText
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontSmall
        }
        Text {
            id: closeDownload
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            text: "✕"
            color: Theme.textDim
            font.pixelSize: Theme.fontSmall
            MouseArea {
                anchors.fill: parent
                anchors.margins: -4
                onClicked: page.download_state = ""
            }
        }
    }

    // Why a link opened nothing, for a few seconds.
    Rectangle {
        id: notice
        objectName: "linkNotice"
        property string message: ""
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: downloadBar.visible ? downloadBar.top : parent.bottom
        anchors.bottomMargin: 12
        width: noticeText.implicitWidth + 28
        height: 28
        radius: 3
        visible: message.length > 0
        color: Theme.popupBackground
        border.color: Theme.frameLine
        function show(text) {
            message = text;
            noticeTimer.restart();
        }
        Text {
            id: noticeText
            anchors.centerIn: parent
            text: notice.message
            color: Theme.menuText
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal
        }
        Timer {
            id: noticeTimer
            interval: 3000
            onTriggered: notice.message = ""
        }
    }

    Menu {
        id: contextMenu
        objectName: "webContextMenu"
        topPadding: 2
        bottomPadding: 2
        background: Rectangle {
            implicitWidth: 120
            color: Theme.popupBackground
            border.width: 1
            border.color: Theme.frameLine
        }
        MenuItem {
            id: refreshItem
            objectName: "webRefresh"
            text: "刷新"
            implicitHeight: 28
            font.family: Theme.fontFamily
            font.pixelSize: Theme.fontNormal
            contentItem: Text {
                leftPadding: 14
                text: refreshItem.text
                font: refreshItem.font
                color: Theme.menuText
                verticalAlignment: Text.AlignVCenter
            }
            background: Rectangle {
                color: refreshItem.highlighted ? Theme.menuHover : "transparent"
            }
            onTriggered: web.reload()
        }
    }
}
