import QtQuick 2.15
import QtQml 2.15
import QtQuick.Window 2.15
import HRoute 1.0
import HeapTrim 1.0
import "../common"
import "../js/routes.js" as Routes

// The tab area: every view addressed by a route opens here, one tab per route.
FocusScope {
    id: area
    // The window whose functions the views call (onChangedTabView, onChangeToMQView, …).
    property var host_window: null
    // Tab entries {title, route, homeTag, item}, in the order of the tab bar.
    property var entries: []
    property int currentIndex: -1
    readonly property int count: tabModel.count
    readonly property var currentItem: currentIndex >= 0 && currentIndex < entries.length
                                       ? entries[currentIndex].item : null
    // Keys nobody in the tab area wanted (the window turns letters and digits into a search).
    signal unhandledKey(var event)

    HRoute { id: router }
    // What opening or closing a view allocated only once goes back to the system.
    HeapTrim { id: heapTrim }
    ListModel { id: tabModel }
    LoggingCategory { id: timing; name: "vq.timing" }

    // Keys the current view left alone reach the tab area first; what neither the tab area nor
    // the window takes is then offered to the other views (forwarded from the outer scope).
    FocusScope {
        id: keyScope
        anchors.fill: parent
        focus: true
        Keys.onPressed: {
            if (area.handleKey(event))
                event.accepted = true;
            else
                area.unhandledKey(event);
        }

        Rectangle {
            id: tabBar
            objectName: "tabBar"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            height: Theme.tabBarHeight
            color: Theme.frameBar
            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                height: 1
                color: Theme.frameLine
            }
            ListView {
                id: tabList
                anchors.fill: parent
                anchors.bottomMargin: 1
                orientation: ListView.Horizontal
                clip: true
                model: tabModel
                boundsBehavior: Flickable.StopAtBounds
                currentIndex: area.currentIndex
                delegate: Rectangle {
                    id: tab
                    objectName: "tab_" + index
                    readonly property bool current: index === area.currentIndex
                    width: Math.min(200, tabTitle.implicitWidth + (model.homeTag ? 28 : 46))
                    height: tabList.height
                    color: current ? Theme.tabActive : (tabMouse.containsMouse ? Theme.panelBackground
                                                                               : "transparent")
                    Rectangle {
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.top: parent.top
                        height: 2
                        color: Theme.tabActiveLine
                        visible: tab.current
                    }
                    Rectangle {
                        anchors.right: parent.right
                        anchors.top: parent.top
                        anchors.bottom: parent.bottom
                        anchors.topMargin: 6
                        anchors.bottomMargin: 6
                        width: 1
                        color: Theme.frameLine
                    }
                    MouseArea {
                        id: tabMouse
                        anchors.fill: parent
                        hoverEnabled: true
                        acceptedButtons: Qt.LeftButton | Qt.MiddleButton
                        onClicked: {
                            if (mouse.button === Qt.MiddleButton)
                                area.closeTab(index);
                            else
                                area.setCurrent(index);
                        }
                    }
                    Text {
                        id: tabTitle
                        anchors.left: parent.left
                        anchors.leftMargin: 14
                        anchors.right: closeMark.visible ? closeMark.left : parent.right
                        anchors.rightMargin: closeMark.visible ? 4 : 14
                        anchors.verticalCenter: parent.verticalCenter
                        text: model.title
                        elide: Text.ElideRight
                        color: tab.current ? Theme.text : Theme.tabText
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontNormal
                    }
                    Text {
                        id: closeMark
                        objectName: "tabClose_" + index
                        visible: !model.homeTag
                        anchors.right: parent.right
                        anchors.rightMargin: 10
                        anchors.verticalCenter: parent.verticalCenter
                        text: "✕"
                        color: closeMouse.containsMouse ? Theme.text : Theme.textMuted
                        font.family: Theme.fontFamily
                        font.pixelSize: Theme.fontSmall - 1
                        MouseArea {
                            id: closeMouse
                            anchors.fill: parent
                            anchors.margins: -4
                            hoverEnabled: true
                            onClicked: area.closeTab(index)
                        }
                    }
                }
            }
        }

        Item {
            id: viewHost
            objectName: "viewHost"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: tabBar.bottom
            anchors.bottom: parent.bottom
            clip: true
        }

    }

    function otherViews() {
        var list = [];
        for (var i = 0; i < entries.length; ++i) {
            if (i !== currentIndex && entries[i].item)
                list.push(entries[i].item);
        }
        return list;
    }

    // Tab switching and closing; the window's own keys come through unhandledKey.
    function handleKey(event) {
        var ctrl = (event.modifiers & Qt.ControlModifier) !== 0;
        if (event.key === Qt.Key_Backtab && ctrl) {
            step(-1);
            return true;
        }
        if (event.key === Qt.Key_Tab) {
            step((event.modifiers & Qt.ShiftModifier) !== 0 && ctrl ? -1 : 1);
            return true;
        }
        if (event.key === Qt.Key_Escape || (ctrl && event.key === Qt.Key_W)) {
            closeTab(currentIndex);
            return true;
        }
        return false;
    }

    // Gives the keyboard back to the current view (or to the tab area when it has none).
    function focusCurrent() {
        if (currentItem)
            currentItem.forceActiveFocus();
        else
            keyScope.forceActiveFocus();
    }

    function step(delta) {
        var next = Routes.stepIndex(currentIndex, entries.length, delta);
        if (next >= 0)
            setCurrent(next);
    }

    function setCurrent(index) {
        if (index < 0 || index >= entries.length)
            return;
        for (var i = 0; i < entries.length; ++i) {
            if (entries[i].item)
                entries[i].item.visible = i === index;
        }
        currentIndex = index;
        var item = entries[index].item;
        if (item)
            item.forceActiveFocus();
        else
            keyScope.forceActiveFocus();
        forwardTargetsChanged();
    }

    // Keys.forwardTo is a list property: re-evaluate it whenever the tabs change.
    function forwardTargetsChanged() {
        area.Keys.forwardTo = otherViews();
    }

    // The first tab stays; any other tab closes and its view goes with it.
    function closeTab(index) {
        if (index <= 0 || index >= entries.length || entries[index].homeTag)
            return false;
        var entry = entries[index];
        var list = entries.slice();
        list.splice(index, 1);
        entries = list;
        tabModel.remove(index);
        if (entry.item) {
            entry.item.destroy();
            heapTrim.request();
        }
        var next = currentIndex > index ? currentIndex - 1
                                        : Math.min(currentIndex, entries.length - 1);
        currentIndex = -1;
        setCurrent(next);
        return true;
    }

    function callIfPresent(item, name, arg) {
        if (item && typeof item[name] === "function")
            item[name](arg);
    }

    // Opens, switches to or updates a tab for the route `url`; returns true when a tab was
    // found or opened.
    function onAddModel(title, url, homeTag) {
        if (url === undefined || url === null || String(url).length === 0)
            return false;
        var route = router.getRoute(String(url));
        var kind = Routes.kindOf(route);
        if (kind === "curview") {
            callIfPresent(currentItem, "updateQuery", route.query_map);
            return false;
        }
        if (kind === "findview")
            return findView(route);
        if (kind === "none")
            return false;

        var same = Routes.findSameTab(entries, route);
        if (same >= 0) {
            var list = entries.slice();
            list[same].route = route;
            // The home tab keeps its name whatever it shows.
            if (title && !list[same].homeTag)
                list[same].title = String(title);
            entries = list;
            tabModel.setProperty(same, "title", list[same].title);
            setCurrent(same);
            callIfPresent(list[same].item, "updateQuery", route.query_map);
            return true;
        }
        return kind === "web" ? openWeb(title, route) : openView(title, route, !!homeTag);
    }

    function findView(route) {
        var index = currentIndex >= 0 && entries[currentIndex].route.path === route.path
                && entries[currentIndex].route.host === "qml" ? currentIndex
                                                              : Routes.findByPath(entries,
                                                                                  route.path);
        if (index < 0)
            return false;
        if (index !== currentIndex) {
            var list = entries.slice();
            list[index].route = router.getRoute(Routes.mergeQuery(list[index].route.url,
                                                                  route.query_map));
            entries = list;
            setCurrent(index);
        }
        callIfPresent(entries[index].item, "updateQuery", route.query_map);
        return true;
    }

    function append(title, route, homeTag, item) {
        var list = entries.slice();
        list.push({ "title": String(title || ""), "route": route, "homeTag": homeTag,
                    "item": item });
        entries = list;
        tabModel.append({ "title": String(title || ""), "homeTag": homeTag });
        setCurrent(list.length - 1);
    }

    // The first frame after a view was created: how long the route took to show.
    function logFirstPaint(url, started) {
        var win = area.Window.window;
        if (!win)
            return;
        // Frames are reported from the render thread and may queue up: log the first one.
        var logged = false;
        var once = function() {
            win.frameSwapped.disconnect(once);
            if (logged)
                return;
            logged = true;
            console.info(timing, "route", url, "first paint after", Date.now() - started, "ms");
            heapTrim.request();
        };
        win.frameSwapped.connect(once);
    }

    function openView(title, route, homeTag) {
        var started = Date.now();
        var component = Qt.createComponent("qrc:" + route.path, Component.PreferSynchronous);
        if (component.status !== Component.Ready) {
            console.warn("route", route.url, "opens no tab:", component.errorString());
            return false;
        }
        var item = component.createObject(viewHost, { "visible": false });
        if (item === null) {
            console.warn("route", route.url, "opens no tab: the view could not be created");
            return false;
        }
        item.anchors.fill = viewHost;
        callIfPresent(item, "setQuery", route.query_map);
        if (item.updateTabsUrl !== undefined)
            item.updateTabsUrl.connect(area.onUpdateTabsUrl);
        if (item.changeToMQView !== undefined && host_window) {
            item.changeToMQView.disconnect(host_window.onChangeToMQView);
            item.changeToMQView.connect(host_window.onChangeToMQView);
        }
        append(title, route, homeTag, item);
        logFirstPaint(route.url, started);
        return true;
    }

    function openWeb(title, route) {
        var component = Qt.createComponent("qrc:/qml/main/WebTab.qml");
        if (component.status !== Component.Ready) {
            console.warn("route", route.url, "opens no tab:", component.errorString());
            return false;
        }
        var item = component.createObject(viewHost, { "visible": false, "url": route.url,
                                                      "host_window": host_window });
        if (item === null)
            return false;
        item.anchors.fill = viewHost;
        append(title || "加载中", route, false, item);
        item.pageTitleChanged.connect(function() {
            var at = indexOfItem(item);
            if (at >= 0)
                setTitle(at, item.pageTitle);
        });
        return true;
    }

    function indexOfItem(item) {
        for (var i = 0; i < entries.length; ++i) {
            if (entries[i].item === item)
                return i;
        }
        return -1;
    }

    function setTitle(index, title) {
        var list = entries.slice();
        list[index].title = String(title);
        entries = list;
        tabModel.setProperty(index, "title", String(title));
    }

    // A quote view moved to another security: its tab follows.
    function onUpdateTabsUrl(item, codeInfo) {
        var index = indexOfItem(item);
        if (index < 0 || !codeInfo)
            return;
        var list = entries.slice();
        list[index].route = router.getRoute(Routes.retargetQuoteUrl(list[index].route, codeInfo));
        entries = list;
        if (codeInfo.name !== undefined)
            setTitle(index, codeInfo.name);
    }

    // Every open view that follows the watchlist hears of a change.
    function notifyMyStockChange() {
        for (var i = 0; i < entries.length; ++i) {
            var item = entries[i].item;
            if (item && typeof item.onMyStockChange === "function")
                item.onMyStockChange();
        }
    }

    function titleAt(index) {
        return index >= 0 && index < entries.length ? entries[index].title : "";
    }

    function routeAt(index) {
        return index >= 0 && index < entries.length ? entries[index].route.url : "";
    }
}
