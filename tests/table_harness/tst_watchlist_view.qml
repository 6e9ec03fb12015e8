import QtQuick 2.15
import QtTest 1.15
import QBaseService 1.0
import QMyStockService 1.0
import TableModel 1.0
import "qrc:/qml/js/http.js" as Http
import "qrc:/qml/js/kvst.js" as Kvst
import "qrc:/qml/js/background_sync.js" as Sync
import "qrc:/qml/js/context_menu.js" as Entries

// The watchlist view against a real server: the demo user's groups as the login window
// leaves them, a live table per group, the two chart panels, renaming, the table's menu, a
// group edited on the server by another terminal, and the subscriptions the server counts.
Item {
    id: root
    width: 1500
    height: 900

    property var view: null
    property var codes: []      // Shanghai A shares, by code
    property string shenzhen: ""
    property var db: null

    QBaseService { id: base }
    QMyStockService { id: myStock }
    TableModel { id: probe }

    // The main window's part in a watchlist refresh.
    QtObject {
        id: host
        property var services: ({ "base": base, "myStock": myStock })
        property var db: root.db
        function watchlistChanged() { root.view.onMyStockChange(); }
    }

    TestCase {
        name: "WatchlistView"
        when: windowShown

        function address(name) { return String(base.getServerAddressValue("url." + name)); }

        // Calls `call(done)` with an HTTP function and waits for its answer.
        function answer(call) {
            var out = { "done": false };
            call(function(ok, json) { out.done = true; out.ok = ok; out.json = json; });
            tryVerify(function() { return out.done; }, 10000);
            return out;
        }
        function post(name, query, body) {
            return answer(function(cb) {
                Http.postData(Http.appendQuery(address(name), query), body,
                              { "Content-Type": "application/json" }, cb);
            });
        }
        function userId() { return String(base.getLoginValue("user.id")); }
        function serverEdit(commands) {
            var r = post("mystock", { "user_id": userId(), "cmd": "update" }, commands);
            verify(r.ok && r.json.code === "0000", JSON.stringify(r.json));
        }
        function loadServerWatchlist() {
            var r = answer(function(cb) {
                Http.getData(address("mystock"), { "user_id": userId(), "cmd": "get" },
                             { "Content-Type": "application/json" }, cb);
            });
            verify(r.ok);
            myStock.fromJson(JSON.stringify(r.json));
        }
        function subscriptions() {
            var r = answer(function(cb) {
                Http.getData(testSetup.controlUrl() + "/quote_stats", {}, {}, cb);
            });
            verify(r.ok, "no quote statistics");
            return Number(r.json.subscriptions);
        }
        function queued() {
            var rows = [];
            db.readTransaction(function(tx) {
                var rs = tx.executeSql("SELECT cmd, code, market, group_id, group_name FROM mystock_cmd ORDER BY id");
                for (var i = 0; i < rs.rows.length; ++i)
                    rows.push(rs.rows.item(i));
            });
            return rows;
        }
        function clearQueue() { Sync.takeRows(db, "mystock_cmd"); }
        function table() { return findChild(view, "myStockTable"); }
        function listed() {
            var t = table(), out = [];
            for (var r = 0; r < t.rowCount; ++r)
                out.push(String(t.table_model.getCodeInfo(r).code));
            return out;
        }
        // Group buttons are made anew whenever the groups are read again: look them up each time.
        function button(i) { return findChild(view, "groupButton_" + i); }
        function buttonText(i) { return button(i) ? button(i).children[0].text : undefined; }
        function showsExactly(list) {
            return JSON.stringify(listed()) === JSON.stringify(list);
        }

        function initTestCase() {
            verify(testSetup.ready(), testSetup.serverLog());
            db = Kvst.open();
            Kvst.createTables(db);
            clearQueue();
            var login = answer(function(cb) {
                Http.postData(address("login"), { "username": "demo", "password": "demo123",
                                                  "pcid": "harness", "menu": "v2", "versionid": "test" },
                              { "Content-Type": "application/x-www-form-urlencoded" }, cb);
            });
            verify(login.ok && login.json.result === "true", JSON.stringify(login.json));
            base.setLoginInfo(login.json);

            probe.initHeader(0);
            probe.getQuotePeroidRealTime(1102, 1, 1, 6);
            tryVerify(function() { return probe.rowCount() === 6; }, 15000);
            var list = [];
            for (var r = 0; r < 6; ++r)
                list.push(String(probe.getCodeInfo(r).code));
            codes = list;
            probe.getQuotePeroidRealTime(1103, 1, 1, 1);
            tryVerify(function() { return probe.rowCount() === 1 && Number(probe.getCodeInfo(0).market) === 2; }, 15000);
            shenzhen = String(probe.getCodeInfo(0).code);
            probe.cancel();

            // Three groups: three securities (the last added first), one, none.
            serverEdit([
                { "cmd": "RENAME", "group_id": "1", "group_name": "自选股1" },
                { "cmd": "RENAME", "group_id": "2", "group_name": "自选股2" },
                { "cmd": "RENAME", "group_id": "3", "group_name": "空分组" },
                { "cmd": "ADD", "group_id": "1", "code": { "code": codes[2], "market_id": "1" } },
                { "cmd": "ADD", "group_id": "1", "code": { "code": codes[1], "market_id": "1" } },
                { "cmd": "ADD", "group_id": "1", "code": { "code": codes[0], "market_id": "1" } },
                { "cmd": "ADD", "group_id": "2", "code": { "code": shenzhen, "market_id": "2" } }]);
            loadServerWatchlist();

            var component = Qt.createComponent("qrc:/qml/MyStockView.qml");
            compare(component.status, Component.Ready, component.errorString());
            view = component.createObject(root, { "width": root.width, "height": root.height });
            verify(view !== null);
            view.setQuery({});
            view.forceActiveFocus();
        }

        function cleanupTestCase() {
            if (view)
                view.destroy();
        }

        function test_01_groups_data() {
            return [{ tag: "three securities", index: 0, shown: [0, 1, 2] },
                    { tag: "one security", index: 1, shown: ["sz"] },
                    { tag: "empty group", index: 2, shown: [] },
                    { tag: "back to the first", index: 0, shown: [0, 1, 2] }];
        }
        function test_01_groups(data) {
            compare(view.groups.length, 3);
            compare(buttonText(2), "空分组");
            // The bar lays its buttons out on the next frame.
            tryVerify(function() { return button(2).x > button(1).x && button(1).x > button(0).x; }, 3000);
            mouseClick(button(data.index));
            compare(view.groupIndex, data.index);
            var want = data.shown.map(function(i) { return i === "sz" ? shenzhen : codes[i]; });
            tryVerify(function() { return showsExactly(want); }, 15000, JSON.stringify(listed()));
            compare(table().table_model.headerMode(), 1);
            compare(table().table_model.fixedColumnCount(), 3);
            compare(findChild(view, "emptyHint").visible, want.length === 0);
            // The charts show the group's first security, or nothing for an empty group.
            var charts = findChild(view, "securityChartPair");
            if (want.length === 0)
                compare(findChild(view, "panelTitle_0").text, "");
            else
                tryVerify(function() { return charts.panelCodes[0] && charts.panelCodes[0].code === want[0]; }, 5000);
            verify(button(data.index).marked);
            verify(!button((data.index + 1) % 3).marked);
        }

        function test_02_panels_data() {
            return [{ tag: "Shanghai security", market: 1, index: "上证指数(1A0001)" },
                    { tag: "Shenzhen security", market: 2, index: "深证成指(399001)" },
                    { tag: "unknown market", market: 90, index: "上证指数(1A0001)" }];
        }
        function test_02_panels(data) {
            var charts = findChild(view, "securityChartPair");
            var code = data.market === 2 ? shenzhen : codes[0];
            charts.showSecurity({ "code": code, "market": data.market, "name": "名称" });
            compare(findChild(view, "panelTitle_0").text, "名称(" + code + ")");
            compare(findChild(view, "panelTitle_1").text, data.index);
        }

        function test_03_firstRowAndCycles() {
            // The first page selects its first row, which the panels then show.
            var t = table();
            tryVerify(function() { return t.selectIndex === 0; }, 5000);
            var charts = findChild(view, "securityChartPair");
            tryVerify(function() { return charts.panelCodes[0] && charts.panelCodes[0].code === codes[0]; }, 5000);
            mouseClick(findChild(view, "cycleButton_0_33"));
            compare(charts.panelCycles[0], 33);
            charts.setCycle(1, 36);
            compare(findChild(view, "cycleMore_1").text, "15分 ▾");
            compare(charts.panelCycles[1], 36);
        }

        function test_04_sortByHeader_data() {
            return [{ tag: "row number: no field, order kept", title: "序号", field: -1 },
                    { tag: "name: no field, order kept", title: "名称", field: -1 },
                    { tag: "code", title: "代码", field: 1 }];
        }
        function test_04_sortByHeader(data) {
            var t = table(), m = t.table_model;
            var column = -1;
            for (var c = 0; c < m.columnCount(); ++c)
                if (m.getHeaderData(c) === data.title)
                    column = c;
            verify(column >= 0);
            var before = JSON.parse(m.getCtx()).sort_;
            var fieldBefore = view.query_map.field;
            t.sortBy(column);
            var after = JSON.parse(m.getCtx()).sort_;
            if (data.field < 0) {
                compare(after, before);
                compare(view.query_map.field, fieldBefore);
            } else {
                compare(after.field, data.field);
                compare(view.query_map.field, data.field);
                // Back to the watchlist's own order for the cases below.
                view.setQuery({});
                compare(t.sortColumn, -1);
                compare(JSON.parse(m.getCtx()).sort_.mode, 2);
            }
        }

        function test_05_rename() {
            clearQueue();
            mouseDoubleClickSequence(button(1));
            var dialog = findChild(view, "renameDialog");
            tryVerify(function() { return dialog.opened; }, 3000);
            var field = findChild(dialog.contentItem, "renameField");
            compare(field.text, "自选股2");
            field.text = "科技龙头";
            mouseClick(findChild(dialog.contentItem, "renameOk"));
            tryVerify(function() { return !dialog.opened; }, 3000);
            compare(buttonText(1), "科技龙头");
            var rows = queued();
            compare(rows.length, 1);
            compare(rows[0].cmd, "RENAME");
            compare(rows[0].code, "000000");
            compare(Number(rows[0].market), 0);
            compare(rows[0].group_id, "2");
            compare(rows[0].group_name, "科技龙头");
            // A blank name changes nothing.
            verify(!view.renameGroup(1, "   "));
            compare(queued().length, 1);
            clearQueue();
        }

        // Right click on a row: the menu of a held security.
        function test_06_rowMenu() {
            mouseClick(button(0));
            tryVerify(function() { return showsExactly([codes[0], codes[1], codes[2]]); }, 15000);
            var t = table();
            mouseClick(t, 150, 25 + 27 + 10, Qt.RightButton);
            compare(t.selectIndex, 1);
            var menu = findChild(t, "quoteContextMenu");
            tryVerify(function() { return menu.menu.opened; }, 3000);
            var names = menu.entries.map(function(e) { return e.name; });
            verify(names.indexOf("置顶") >= 0 && names.indexOf("移除自选") >= 0, names);
            verify(names.indexOf("多股同列") >= 0);
            compare(menu.info.row, 1);
            compare(menu.info.code, codes[1]);
            menu.menu.close();
            tryVerify(function() { return !menu.menu.opened; }, 3000);
            // Opened again (its sub-menus rebuilt), on another row.
            mouseClick(t, 150, 25 + 10, Qt.RightButton);
            tryVerify(function() { return menu.menu.opened; }, 3000);
            compare(menu.info.code, codes[0]);
            compare(menu.menu.count, menu.entries.length);
            var move = menu.menu.itemAt(2).subMenu;
            verify(move !== null);
            compare(move.count, 2);  // the other two groups
            menu.menu.close();
        }

        // Menu actions queue the rows the server needs and every open list follows.
        function test_07_watchlistActions_data() {
            return [
                { tag: "top: second of group 1 becomes first", active: "move", group: "1", code: 1,
                  rows: [["DELETE", "1"], ["ADD", "1"]], group0: [1, 0, 2] },
                { tag: "move to group 3", active: "move", group: "3", code: 0,
                  rows: [["DELETE", "1"], ["ADD", "3"]], group0: [1, 2] },
                { tag: "remove", active: "del", group: "1", code: 2,
                  rows: [["DELETE", "1"]], group0: [1] },
                { tag: "add to group 1", active: "add", group: "1", code: 3,
                  rows: [["ADD", "1"]], group0: [3, 1] },
                { tag: "add what is held: nothing", active: "add", group: "3", code: 3,
                  rows: [], group0: [3, 1] },
                { tag: "add to a missing group: nothing", active: "add", group: "77", code: 4,
                  rows: [], group0: [3, 1] }];
        }
        function test_07_watchlistActions(data) {
            clearQueue();
            var menu = findChild(table(), "quoteContextMenu");
            menu.choose("app://curview/?active=" + data.active + "&group_id=" + data.group
                        + "&code=" + codes[data.code] + "&market=1");
            var rows = queued();
            compare(rows.length, data.rows.length, JSON.stringify(rows));
            for (var i = 0; i < rows.length; ++i) {
                compare(rows[i].cmd, data.rows[i][0]);
                compare(rows[i].group_id, data.rows[i][1]);
                compare(rows[i].code, codes[data.code]);
            }
            var want = data.group0.map(function(i) { return codes[i]; });
            tryVerify(function() { return showsExactly(want); }, 15000, JSON.stringify(listed()));
            // What was queued is what the server then holds.
            if (rows.length > 0) {
                var sent = { "done": false };
                Sync.sendWatchlistCommands(host, function(ok) { sent.done = true; sent.ok = ok; });
                tryVerify(function() { return sent.done; }, 10000);
                verify(sent.ok);
            }
        }

        // Another terminal of the same user edits the watchlist on the server: the next round
        // of the synchroniser brings it here, unless a local edit is still waiting.
        function test_08_serverEditShowsUp() {
            clearQueue();
            var before = listed();
            serverEdit([{ "cmd": "ADD", "group_id": "1", "code": { "code": codes[5], "market_id": "1" } }]);

            // A local edit not yet sent: the server's answer is older than it and is dropped.
            Sync.queueWatchlistCommand(db, "RENAME", "000000", 0, "3", "空分组");
            var r1 = { "done": false };
            Sync.refreshWatchlist(host, function(replaced) { r1.done = true; r1.replaced = replaced; });
            tryVerify(function() { return r1.done; }, 10000);
            verify(!r1.replaced);
            verify(showsExactly(before));

            var sent = { "done": false };
            Sync.sendWatchlistCommands(host, function(ok) { sent.done = true; });
            tryVerify(function() { return sent.done; }, 10000);
            var r2 = { "done": false };
            Sync.refreshWatchlist(host, function(replaced) { r2.done = true; r2.replaced = replaced; });
            tryVerify(function() { return r2.done; }, 10000);
            verify(r2.replaced);
            tryVerify(function() { return showsExactly([codes[5]].concat(before)); }, 15000,
                      JSON.stringify(listed()));

            // Nothing new on the server: the watchlist is left alone.
            var r3 = { "done": false };
            Sync.refreshWatchlist(host, function(replaced) { r3.done = true; r3.replaced = replaced; });
            tryVerify(function() { return r3.done; }, 10000);
            verify(!r3.replaced);

            // A group renamed elsewhere relabels its button.
            serverEdit([{ "cmd": "RENAME", "group_id": "3", "group_name": "远端改名" }]);
            Sync.refreshWatchlist(host);
            tryVerify(function() { return buttonText(2) === "远端改名"; }, 10000);
            try {
                waitForRendering(view, 5000);
                grabImage(view).save(testSetup.screenshotDir() + "/watchlist_view.png");
            } catch (e) {
                console.warn("no screenshot: " + e);
            }
        }

        // Hidden means unsubscribed: the server stops counting the table's list and the two
        // panels' charts, and counts them again once the view is shown.
        function test_09_hiddenMeansUnsubscribed() {
            var charts = findChild(view, "securityChartPair");
            tryVerify(function() { return charts.panelCodes[1] !== null; }, 5000);
            wait(500);
            var shown = subscriptions();
            view.visible = false;
            tryVerify(function() { return subscriptions() <= shown - 3; }, 5000,
                      "subscriptions while shown: " + shown);
            var hidden = subscriptions();
            view.visible = true;
            tryVerify(function() { return subscriptions() === shown; }, 5000);
            tryVerify(function() { return table().rowCount > 0; }, 10000);
        }

        // A malformed list context handed to the menu's entries still gives routes that open
        // (the quote view then has no list to walk); a bad route does nothing.
        function test_10_malformedRoutes_data() {
            return [{ tag: "broken json", json: "%7Bbroken" },
                    { tag: "not percent-encoded", json: "{\"a\":1}&x=%E0%A4%A" },
                    { tag: "empty", json: "" }];
        }
        function test_10_malformedRoutes(data) {
            var entries = Entries.flatten(Entries.tableEntries(
                { "code": codes[0], "market": 1, "type": 2, "row": 0, "json": data.json }, [], null));
            var kline = entries.filter(function(e) { return e.name === "查看K线"; })[0];
            verify(kline.key.indexOf("active=MQView") > 0);
            var menu = findChild(table(), "quoteContextMenu");
            var opened = [];
            var grab = function(info) { opened.push(info); };
            menu.changeToMQView.connect(grab);
            menu.choose(kline.key);
            menu.choose("app://curview/?active=del&code=&market=x");
            menu.choose("not a route at all");
            menu.changeToMQView.disconnect(grab);
            compare(opened.length, 1);
            compare(opened[0].code, codes[0]);
            compare(opened[0].chart, "kline");
        }
    }
}
