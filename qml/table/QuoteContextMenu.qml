import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import HRoute 1.0
import QMyStockService 1.0
import "../common"
import "../main"
import "../js/context_menu.js" as Entries
import "../js/watchlist_actions.js" as Watchlist
import "../js/kvst.js" as Kvst

// The pop-up menu of a quote table row and of the quote view's main chart. Every entry is a
// "curview" route; choosing one performs a watchlist action, opens a view, or hands the
// route's parameters to the view that opened the menu (`routeChosen`).
Item {
    id: root
    objectName: "quoteContextMenu"

    // What the menu was opened for: code, market, type, row and json for a table row; chart,
    // crosshair and kcmd as well for a chart.
    property var info: ({})
    property var entries: []
    readonly property alias menu: menu

    // A route for the current view: chart switches, ex-rights, crosshair, hold, overlays.
    signal routeChosen(var query)
    signal mystockChange()
    signal changeToMQView(var codeInfo)
    signal changeToTabView(string title, string url)

    HRoute { id: router }
    QMyStockService { id: myStock }

    function currentGroup(code, market) {
        var g = myStock.getGroup(String(code), Number(market));
        return g ? { "id": typeof g.group_id === "string" ? g.group_id : "",
                     "name": String(g.group_name || "") } : null;
    }

    function popupTable(forInfo, parentItem, x, y) {
        info = forInfo || {};
        entries = Entries.tableEntries(info, Watchlist.groups(myStock),
                                       currentGroup(info.code, info.market));
        show(parentItem, x, y);
    }

    function popupChart(forInfo, parentItem, x, y) {
        info = forInfo || {};
        entries = Entries.chartEntries(info, Watchlist.groups(myStock),
                                       currentGroup(info.code, info.market));
        show(parentItem, x, y);
    }

    // Placed over `parentItem` at (x, y) but parented to this item: the chart a menu was
    // opened on may be rebuilt by the very entry chosen, and the menu must outlive it.
    function show(parentItem, x, y) {
        fill(menu, entries);
        var at = parentItem ? parentItem.mapToItem(root, x, y) : Qt.point(x, y);
        menu.popup(root, at.x, at.y);
    }

    function fill(target, list) {
        while (target.count > 0) {
            var item = target.itemAt(0);
            // A sub-menu's entry belongs to its menu: removing the sub-menu takes both.
            if (item && item.subMenu)
                target.removeMenu(item.subMenu);
            else
                target.takeItem(0).destroy();
        }
        for (var i = 0; i < list.length; ++i) {
            var e = list[i];
            if (e.menuItems) {
                var sub = subMenuComponent.createObject(root, { "title": e.name });
                fill(sub, e.menuItems);
                target.addMenu(sub);
            } else if (!e.name && !e.key) {
                target.addItem(separatorComponent.createObject(root));
            } else {
                target.addItem(entryComponent.createObject(root, { "text": e.name, "entry": e }));
            }
        }
    }

    function host() {
        return root.Window.window;
    }

    // Performs the route of a chosen entry.
    function choose(url) {
        var route = router.getRoute(String(url));
        if (route.host !== "curview")
            return;
        var q = route.query_map || {};
        var active = q.active === undefined ? "" : String(q.active);
        var w = host();
        if (active === "add" || active === "move" || active === "del") {
            if (Watchlist.apply(myStock, Kvst.open(), active, q.group_id, q.code, q.market)) {
                mystockChange();
                if (w && w.tabs && typeof w.tabs.notifyMyStockChange === "function")
                    w.tabs.notifyMyStockChange();
            }
        } else if (active === "MQView") {
            var codeInfo = {};
            for (var k in q)
                if (k !== "active")
                    codeInfo[k] = q[k];
            codeInfo.market = Number(codeInfo.market);
            if (codeInfo.json !== undefined)
                codeInfo.json = encodeURIComponent(codeInfo.json);
            if (info.name !== undefined && codeInfo.name === undefined)
                codeInfo.name = info.name;
            if (w && typeof w.onChangeToMQView === "function")
                w.onChangeToMQView(codeInfo);
            else
                changeToMQView(codeInfo);
        } else if (active === "QMultiStockView") {
            var multi = "app://qml/qml/QMultiStockView.qml#row=" + Number(q.row || 0) + "&json="
                    + (info.json === undefined ? "" : String(info.json));
            if (w && typeof w.onChangedTabView === "function")
                w.onChangedTabView("多股同列", multi, false);
            else
                changeToTabView("多股同列", multi);
        } else {
            routeChosen(q);
        }
    }

    DropMenu {
        id: menu
        objectName: "quoteContextMenuPopup"
    }
    Component {
        id: subMenuComponent
        DropMenu {}
    }
    Component {
        id: entryComponent
        MenuEntry {
            id: menuEntry
            objectName: "menuEntry_" + text
            indicator: Text {
                x: 4
                anchors.verticalCenter: parent.verticalCenter
                visible: menuEntry.entry !== null && menuEntry.entry.select === true
                text: "✓"
                color: Theme.highlight
                font.family: Theme.fontFamily
                font.pixelSize: Theme.fontSmall
            }
            onTriggered: root.choose(menuEntry.entry.key)
        }
    }
    Component {
        id: separatorComponent
        MenuSeparator {
            contentItem: Rectangle {
                implicitWidth: 160
                implicitHeight: 1
                color: Theme.frameLine
            }
        }
    }
}
