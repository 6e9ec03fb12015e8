import QtQuick 2.15
import QtQml 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import QBaseService 1.0
import HUtil 1.0
import HFileIO 1.0
import QMyStockService 1.0
import "common"
import "main"
import "js/kvst.js" as Kvst
import "js/routes.js" as Routes
import "js/search.js" as Search
import "js/background_sync.js" as Sync
import "js/notices.js" as Notices
import "js/http.js" as Http

// The main window: the user's menus, the quick bar, the tab area every view opens in, and the
// status bar. Every navigation is a route handed to onChangedTabView.
ApplicationWindow {
    id: mainWindow
    objectName: "mainWindow"
    width: Screen.desktopAvailableWidth
    height: Screen.desktopAvailableHeight
    minimumWidth: 1024
    minimumHeight: 640
    flags: Qt.Window | Qt.FramelessWindowHint
    color: Theme.background
    title: "金融终端"

    readonly property string homeRoute: "app://qml/qml/HomeView.qml"
    // Until the home view exists, the home tab shows the Shanghai composite.
    readonly property string homeFallbackRoute:
        "app://qml/qml/MQView.qml?code=1A0001&market=1#chart=mline&name=上证指数"

    property var db: null
    readonly property var services: ({ "base": baseService, "util": util, "files": fileIO,
                                       "myStock": myStock })
    readonly property alias tabs: tabArea
    readonly property alias search: searchPopup
    readonly property alias status: statusBar
    readonly property alias quick: quickBar
    readonly property alias syncTimer: syncTimer
    property int syncTick: 0
    property int heartbeatFailures: 0
    property bool closingDone: false
    property int lastVisibility: Window.Maximized
    property int visibilityBeforeMinimise: Window.Maximized

    QBaseService { id: baseService }
    HUtil { id: util }
    HFileIO { id: fileIO }
    QMyStockService { id: myStock }
    LoggingCategory { id: timing; name: "vq.timing" }

    MainTitleBar {
        id: titleBar
        objectName: "titleBar"
        anchors.top: parent.top
        menus: mainWindow.loginMenus()
        onActivated: mainWindow.onChangedTabView(title, route, false)
        onCloseRequested: mainWindow.openQuitConfirm()
    }
    QuickBar {
        id: quickBar
        objectName: "quickBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: titleBar.bottom
        onActivated: mainWindow.onChangedTabView(title, route, false)
    }
    TabArea {
        id: tabArea
        objectName: "tabArea"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: quickBar.bottom
        anchors.bottom: statusBar.top
        host_window: mainWindow
        focus: true
        onUnhandledKey: mainWindow.handleKey(event)
    }
    StatusBar {
        id: statusBar
        objectName: "statusBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        headline_url: mainWindow.address("marque")
    }
    // A one-pixel frame, since the window has no decoration of its own.
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Theme.frameLine
        visible: mainWindow.visibility !== Window.Maximized
                 && mainWindow.visibility !== Window.FullScreen
    }

    SearchPopup {
        id: searchPopup
        objectName: "searchPopup"
        x: parent.width - width - 2
        y: statusBar.y - height - 2
        db: mainWindow.db
        my_stock: myStock
        onChosen: mainWindow.onChangedTabView(title, route, false)
        onWatchlistToggled: mainWindow.toggleWatchlist(code, market, added)
        onClosed: tabArea.focusCurrent()
    }
    QPopup { id: popup; objectName: "popup" }
    NoticeList {
        id: noticeList
        objectName: "noticeList"
        x: parent.width - width - 4
        y: statusBar.y - height - 4
        onOpenPage: mainWindow.onChangedTabView(title, url, false)
        onShowText: noticeMessage.showNotice(notice)
        onDismissed: Notices.dismiss(fileIO, 3)
    }
    NoticeMessage {
        id: noticeMessage
        objectName: "noticeMessage"
        property int dismissType: 0
        onConfirmed: {
            if (dismissType > 0)
                Notices.dismiss(fileIO, dismissType);
            dismissType = 0;
        }
    }

    // Watchlist commands every tick; heartbeat and usage records every sixth.
    Timer {
        id: syncTimer
        interval: 5000
        repeat: true
        onTriggered: {
            mainWindow.syncTick += 1;
            Sync.onTick(mainWindow, mainWindow.syncTick);
        }
    }
    Timer {
        id: noticeTimer
        interval: 300000
        repeat: true
        onTriggered: mainWindow.requestPopupNotices()
    }

    function text(value) {
        return value === undefined || value === null ? "" : String(value);
    }

    function address(name) {
        return text(baseService.getServerAddressValue("url." + name));
    }

    function loginMenus() {
        var menus = baseService.getLoginValue("menus");
        return Array.isArray(menus) ? menus : [];
    }

    // The message pop-up of the window (the tests read what it shows).
    function popupItem() {
        return popup;
    }

    function showMessage(msg, cb) {
        popup.showMsg(msg, cb === undefined ? null : cb, false);
    }

    // Rows of the security dictionary (it fills when the quote engine sends the code list).
    function dictionaryRows() {
        var n = 0;
        db.readTransaction(function(tx) {
            n = tx.executeSql("SELECT count(*) AS n FROM StockDictionary").rows.item(0).n;
        });
        return n;
    }

    // --- Navigation -----------------------------------------------------------------------

    function onChangedTabView(title, url, fixed) {
        if (url === undefined || url === null || String(url).length === 0)
            return;
        var found = tabArea.onAddModel(title, String(url), false);
        if (!found && String(url).indexOf("app://findview/") === 0
                && String(url).indexOf(Routes.kQuoteViewPath) > 0)
            onChangeToMQView({ "code": "1A0001", "market": 1, "name": "上证指数" });
    }

    function onChangeToMQView(codeInfo) {
        if (!codeInfo || codeInfo.code === undefined || codeInfo.market === undefined)
            return;
        tabArea.onAddModel(text(codeInfo.name), Routes.quoteViewUrl(codeInfo), false);
    }

    function createSubWindow(title, url) {
        var component = Qt.createComponent("qrc:/qml/main/SubWindow.qml");
        var win = component.createObject(mainWindow, { "title": text(title),
                                                       "host_window": mainWindow });
        if (win === null) {
            console.warn("sub-window:", component.errorString());
            return null;
        }
        win.show();
        win.tabs.onAddModel(title, url, false);
        return win;
    }

    function createWindow() {
        var component = Qt.createComponent("qrc:/qml/main/BrowserWindow.qml");
        var win = component.createObject(mainWindow, { "host_window": mainWindow });
        if (win === null) {
            console.warn("browser window:", component.errorString());
            return null;
        }
        win.show();
        return win;
    }

    function openHome() {
        // The home view when the program has one, otherwise its stand-in.
        var route = fileIO.readFile(":/qml/HomeView.qml").byteLength > 0 ? homeRoute
                                                                          : homeFallbackRoute;
        tabArea.onAddModel("首页", route, true);
    }

    // Keys the views and the tab area left alone.
    function handleKey(event) {
        if (event.key === Qt.Key_F3) {
            onChangeToMQView({ "code": "1A0001", "market": 1, "name": "上证指数" });
        } else if (event.key === Qt.Key_F4) {
            onChangeToMQView({ "code": "399001", "market": 2, "name": "深证成指" });
        } else if (event.key === Qt.Key_F6) {
            onChangedTabView("我的自选", "app://qml/qml/MyStockView.qml", false);
        } else if (Search.opensSearch(event.text, event.modifiers)) {
            searchPopup.openWith(event.text);
        } else {
            return;
        }
        event.accepted = true;
    }

    // --- Watchlist ------------------------------------------------------------------------

    function toggleWatchlist(code, market, add) {
        var group;
        if (add) {
            var groups = myStock.getJson().result;
            if (!Array.isArray(groups) || groups.length === 0)
                return;
            group = groups[0];
            myStock.addStock(0, code, market);
        } else {
            group = myStock.getGroup(code, market);
            if (!group)
                return;
            myStock.removeStock(code, market);
        }
        Sync.queueWatchlistCommand(db, add ? "ADD" : "DELETE", code, market, group.group_id,
                                   group.group_name);
        tabArea.notifyMyStockChange();
    }

    // --- Background synchroniser ----------------------------------------------------------

    // The server's watchlist replaced the one held (another terminal edited it).
    function watchlistChanged() {
        tabArea.notifyMyStockChange();
    }

    function heartbeatAnswered(ok, json) {
        if (!syncTimer.running)
            return;
        var verdict = Sync.heartbeatVerdict(heartbeatFailures, ok, json);
        heartbeatFailures = verdict.failures;
        if (!verdict.stop)
            return;
        syncTimer.stop();
        noticeTimer.stop();
        showMessage(verdict.message, function() { mainWindow.quitConfirmed(); });
    }

    // --- Notices --------------------------------------------------------------------------

    function requestLoginNotice() {
        Notices.request(mainWindow, 2, function(record) {
            if (record.url && String(record.url).length > 0) {
                var win = createWindow();
                if (win === null)
                    return;
                win.url = String(record.url);
                win.alert_text = text(record.title);
                win.show_alert = true;
                win.alertDismissed.connect(function() { Notices.dismiss(fileIO, 2); });
            } else {
                noticeMessage.dismissType = 2;
                noticeMessage.showNotice(record);
            }
        });
    }

    function requestPopupNotices() {
        Notices.request(mainWindow, 3, function(record, notices) {
            noticeList.notices = notices;
            noticeList.open();
        });
    }

    // --- Closing --------------------------------------------------------------------------

    function openQuitConfirm() {
        var component = Qt.createComponent("qrc:/qml/common/QuitConfirm.qml");
        var dialog = component.createObject(mainWindow, {
            "main_window": mainWindow,
            "restart": typeof QRoot !== "undefined" ? function() { QRoot.restartApp(); } : null
        });
        if (dialog === null) {
            console.warn("quit confirmation:", component.errorString());
            return null;
        }
        dialog.x = mainWindow.x + (mainWindow.width - dialog.width) / 2;
        dialog.y = mainWindow.y + (mainWindow.height - dialog.height) / 2;
        dialog.show();
        return dialog;
    }

    function quitConfirmed() {
        mainWindow.close();
    }

    // Queued watchlist commands go out once more before the window goes; the window waits
    // for the answer (at most a few seconds), or the commands would be lost with the process.
    onClosing: {
        if (closingDone)
            return;
        close.accepted = false;
        syncTimer.stop();
        noticeTimer.stop();
        Sync.sendWatchlistCommands(mainWindow, function() {
            mainWindow.closingDone = true;
            mainWindow.close();
            Qt.quit();
        }, 3000);
    }

    // After a minimise from the maximised or full-screen state, restore maximised.
    onVisibilityChanged: {
        if (visibility === Window.Minimized) {
            visibilityBeforeMinimise = lastVisibility;
        } else if (visibility === Window.Windowed && lastVisibility === Window.Minimized
                   && (visibilityBeforeMinimise === Window.Maximized
                       || visibilityBeforeMinimise === Window.FullScreen)) {
            showMaximized();
        }
        if (visibility !== Window.Hidden)
            lastVisibility = visibility;
    }

    Component.onCompleted: {
        db = Kvst.open();
        Kvst.createTables(db);
        showMaximized();
        var fastMenu = address("fast_menu");
        if (fastMenu.length > 0) {
            Http.getData(fastMenu, {}, { "Content-Type": "application/json" }, function(ok, json) {
                if (ok && Array.isArray(json))
                    quickBar.items = json;
            });
        }
        openHome();
        tabArea.focusCurrent();
        requestLoginNotice();
        requestPopupNotices();
        noticeTimer.start();
        syncTimer.start();
    }
}
