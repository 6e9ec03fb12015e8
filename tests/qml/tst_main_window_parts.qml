import QtQuick 2.15
import QtQuick.LocalStorage 2.15
import QtTest 1.15
import HRoute 1.0
import "qrc:/qml/main"
import "qrc:/qml/common"
import "../support/items.js" as Items
import "qrc:/qml/js/routes.js" as Routes
import "qrc:/qml/js/search.js" as Search
import "qrc:/qml/js/background_sync.js" as Sync
import "qrc:/qml/js/notices.js" as Notices

Item {
    id: host
    width: 800
    height: 500

    readonly property string probe: "app://qml/tests/views/ProbeView.qml"

    Component {
        id: tabAreaComponent
        TabArea {
            anchors.fill: parent
            host_window: host
        }
    }
    // What views call on the main window.
    property var mqRequests: []
    function onChangeToMQView(codeInfo) { mqRequests = mqRequests.concat([codeInfo]); }

    TestCase {
        name: "Routes"

        function test_quoteViewUrl_data() {
            return [
                { tag: "chart defaults to the minute line",
                  info: { "code": "600008", "market": 1, "name": "振特玻璃" },
                  url: "app://qml/qml/MQView.qml?code=600008&market=1#chart=mline&name=振特玻璃" },
                { tag: "chart kept, command dropped",
                  info: { "code": "399001", "market": 2, "chart": "kline", "cmd": "x",
                          "cycle": 33 },
                  url: "app://qml/qml/MQView.qml?code=399001&market=2#chart=kline&cycle=33" },
                { tag: "empty chart counts as none",
                  info: { "code": "1A0001", "market": 1, "chart": "" },
                  url: "app://qml/qml/MQView.qml?code=1A0001&market=1#chart=mline" }
            ];
        }
        function test_quoteViewUrl(data) {
            compare(Routes.quoteViewUrl(data.info), data.url);
        }

        function test_retargetQuoteUrl() {
            var route = { "query_map": { "code": "600008", "market": "1", "chart": "kline",
                                         "cycle": "39", "name": "振特玻璃" } };
            compare(Routes.retargetQuoteUrl(route, { "code": "000002", "market": 2,
                                                     "name": "万科" }),
                    "app://qml/qml/MQView.qml?code=000002&market=2#chart=kline&cycle=39&name=万科");
        }

        function test_mergeQuery_data() {
            return [
                { tag: "query key replaced in place", url: "app://qml/a.qml?code=1&market=1#x=2",
                  map: { "code": "9" }, out: "app://qml/a.qml?code=9&market=1#x=2" },
                { tag: "fragment key replaced", url: "app://qml/a.qml?code=1#chart=mline",
                  map: { "chart": "kline" }, out: "app://qml/a.qml?code=1#chart=kline" },
                { tag: "new key to the fragment", url: "app://qml/a.qml?code=1",
                  map: { "cycle": "33" }, out: "app://qml/a.qml?code=1#cycle=33" },
                { tag: "bare url", url: "app://qml/a.qml", map: {}, out: "app://qml/a.qml" }
            ];
        }
        function test_mergeQuery(data) {
            compare(Routes.mergeQuery(data.url, data.map), data.out);
        }

        function test_stepIndex_data() {
            return [
                { tag: "forward", current: 0, count: 3, step: 1, out: 1 },
                { tag: "forward wraps to the first", current: 2, count: 3, step: 1, out: 0 },
                { tag: "back wraps to the last", current: 0, count: 3, step: -1, out: 2 },
                { tag: "single tab stays", current: 0, count: 1, step: 1, out: 0 },
                { tag: "no tabs", current: -1, count: 0, step: 1, out: -1 }
            ];
        }
        function test_stepIndex(data) {
            compare(Routes.stepIndex(data.current, data.count, data.step), data.out);
        }

        function test_kindOf_data() {
            return [
                { tag: "view", url: "app://qml/qml/MQView.qml?code=1", kind: "qml" },
                { tag: "current view", url: "app://curview/?chart=kline&cycle=33", kind: "curview" },
                { tag: "find view", url: "app://findview/qml/MQView.qml?code=1", kind: "findview" },
                { tag: "cloud screening is not ours", url: "app://voverivevo/x", kind: "none" },
                { tag: "web", url: "https://example.org/a", kind: "web" },
                { tag: "other scheme", url: "file:///etc/passwd", kind: "none" }
            ];
        }
        function test_kindOf(data) {
            compare(Routes.kindOf(router.getRoute(data.url)), data.kind);
        }
    }

    HRoute { id: router }

    TestCase {
        name: "KeyboardSearch"
        property var db: null

        function initTestCase() {
            db = LocalStorage.openDatabaseSync("search_test", "", "search test", 100000);
            db.transaction(function(tx) {
                tx.executeSql("DROP TABLE IF EXISTS StockDictionary");
                tx.executeSql("CREATE TABLE StockDictionary (code TEXT(16) NOT NULL, market INTEGER, "
                              + "name TEXT, type INTEGER, pinyin TEXT, active TEXT, "
                              + "PRIMARY KEY (code, market))");
                var rows = [["60", 0, "沪深A股涨幅排名", 0, "HSAGZFPM"],
                            ["600008", 1, "振特玻璃", 2, "ZTBL"],
                            ["600009", 1, "达云置业", 2, "DYZY"],
                            ["1A0600", 1, "某某指数", 1, "MMZS"],
                            ["000600", 2, "深某股份", 2, "SMGF"],
                            ["600010", 3, "外地证券", 2, "WDZQ"],
                            ["O'NEIL", 1, "引号", 2, "YH"],
                            ["A_B", 1, "下划线", 2, "XHX"]];
                for (var i = 0; i < rows.length; ++i)
                    tx.executeSql("INSERT INTO StockDictionary VALUES (?, ?, ?, ?, ?, '')", rows[i]);
                for (i = 0; i < 150; ++i)
                    tx.executeSql("INSERT INTO StockDictionary VALUES (?, 2, 'n', 3, 'JJ', '')",
                                  ["9" + (10000 + i)]);
            });
        }

        function codes(rows) {
            return rows.map(function(r) { return r.code; }).join(",");
        }

        function test_find_data() {
            return [
                { tag: "order: type, market, length, code", text: "600",
                  codes: "1A0600,600008,600009,000600" },
                { tag: "pinyin, any case", text: "ztb", codes: "600008" },
                { tag: "markets outside 0, 1, 2, 20 left out", text: "600010", codes: "" },
                { tag: "quote is a character", text: "'", codes: "O'NEIL" },
                { tag: "quote and SQL", text: "'; DROP TABLE StockDictionary; --", codes: "" },
                { tag: "percent is a character", text: "%", codes: "" },
                { tag: "underscore is a character", text: "_", codes: "A_B" },
                { tag: "200 characters", text: new Array(201).join("6"), codes: "" },
                { tag: "empty text", text: "", codes: "" }
            ];
        }
        function test_find(data) {
            compare(codes(Search.find(db, data.text)), data.codes);
        }

        function test_atMostHundredRows() {
            var rows = Search.find(db, "JJ");
            compare(rows.length, 100);
            compare(rows[0].typeName, "基金");
        }

        function test_typeName_data() {
            return [
                { tag: "0", type: 0, name: "指令" }, { tag: "1", type: 1, name: "指数" },
                { tag: "2", type: 2, name: "股票" }, { tag: "3", type: 3, name: "基金" },
                { tag: "4", type: 4, name: "债券" }, { tag: "5", type: 5, name: "权证" },
                { tag: "6", type: 6, name: "未知" }, { tag: "-1", type: -1, name: "未知" },
                { tag: "text 2", type: "2", name: "股票" }, { tag: "2.5", type: 2.5, name: "未知" }
            ];
        }
        function test_typeName(data) {
            compare(Search.typeName(data.type), data.name);
        }
    }

    TestCase {
        name: "BackgroundSync"

        function test_heartbeatVerdict_data() {
            return [
                { tag: "ninth failure goes on", failures: 8, ok: false, json: null,
                  count: 9, stop: false, message: "" },
                { tag: "tenth failure stops", failures: 9, ok: false, json: null,
                  count: 10, stop: true, message: "连接认证系统失败，点击确定退出！" },
                { tag: "answer resets the count", failures: 9, ok: true,
                  json: { "result": "true" }, count: 0, stop: false, message: "" },
                { tag: "result false stops with its text", failures: 3, ok: true,
                  json: { "result": "false", "msg": "登录已超时，请重新登录！" },
                  count: 0, stop: true, message: "登录已超时，请重新登录！" },
                { tag: "boolean false is not the text false", failures: 0, ok: true,
                  json: { "result": false }, count: 0, stop: false, message: "" }
            ];
        }
        function test_heartbeatVerdict(data) {
            var v = Sync.heartbeatVerdict(data.failures, data.ok, data.json);
            compare(v.failures, data.count);
            compare(v.stop, data.stop);
            compare(v.message, data.message);
        }

        function test_queuedRowsTakenOnce() {
            var db = LocalStorage.openDatabaseSync("sync_test", "", "sync test", 100000);
            db.transaction(function(tx) {
                tx.executeSql("DROP TABLE IF EXISTS mystock_cmd");
                tx.executeSql("CREATE TABLE mystock_cmd (id integer primary key autoincrement, "
                              + "cmd text not null, code text not null, market integer not null, "
                              + "group_id text not null, group_name text)");
            });
            Sync.queueWatchlistCommand(db, "ADD", "600008", 1, "1", "自选股1");
            Sync.queueWatchlistCommand(db, "DELETE", "000600", 2, "2", "自选股2");
            var rows = Sync.takeRows(db, "mystock_cmd");
            compare(rows.length, 2);
            compare(rows[1].cmd, "DELETE");
            compare(rows[1].market, 2);
            compare(Sync.takeRows(db, "mystock_cmd").length, 0);
        }
    }

    TestCase {
        name: "Notices"

        function test_mergeAnswer_data() {
            var stored = { "updated_time": "2026-12-01 09:00:00", "pop": "2026-12-07" };
            return [
                { tag: "same notice keeps the dismissal", record: stored,
                  notices: [{ "title": "a", "updated_time": "2026-12-01 09:00:00" }],
                  pop: "2026-12-07" },
                { tag: "changed notice is shown again", record: stored,
                  notices: [{ "title": "old", "updated_time": "2026-11-01 09:00:00" },
                            { "title": "b", "updated_time": "2026-12-08 09:00:00" }],
                  pop: "" },
                { tag: "first notice", record: null,
                  notices: [{ "title": "c", "updated_time": "2026-12-08 09:00:00" }], pop: "" }
            ];
        }
        function test_mergeAnswer(data) {
            var merged = Notices.mergeAnswer(data.record, data.notices);
            compare(merged.title, data.notices[data.notices.length - 1].title);
            compare(merged.pop, data.pop);
        }

        function test_nothingNew() {
            compare(Notices.mergeAnswer({ "pop": "" }, []), null);
            compare(Notices.mergeAnswer(null, undefined), null);
        }

        function test_due_data() {
            return [
                { tag: "never dismissed", record: { "pop": "" }, due: true },
                { tag: "dismissed yesterday", record: { "pop": "2026-12-07" }, due: true },
                { tag: "dismissed today", record: { "pop": "2026-12-08" }, due: false },
                { tag: "no notice", record: null, due: false }
            ];
        }
        function test_due(data) {
            compare(Notices.due(data.record, "2026-12-08"), data.due);
        }
    }

    Component {
        id: quitComponent
        QuitConfirm {}
    }
    Component {
        id: alertComponent
        QAlert {}
    }

    TestCase {
        name: "QuitConfirm"
        when: windowShown

        function test_choice_data() {
            return [
                { tag: "quit closes the main window", button: "quitButton", quit: 1, restart: 0 },
                { tag: "log in again restarts", button: "reloginButton", quit: 0, restart: 1 },
                { tag: "cancel does neither", button: "cancelQuitButton", quit: 0, restart: 0 }
            ];
        }
        function test_choice(data) {
            var calls = { "quit": 0, "restart": 0 };
            var main = { "quitConfirmed": function() { calls.quit += 1; } };
            var dialog = quitComponent.createObject(null, {
                "main_window": main, "restart": function() { calls.restart += 1; } });
            dialog.show();
            var button = Items.find(dialog.contentItem, data.button);
            verify(button !== null);
            button.clicked();
            compare(calls.quit, data.quit);
            compare(calls.restart, data.restart);
            tryVerify(function() { return !dialog || !dialog.visible; });
        }
    }

    TestCase {
        name: "QAlert"
        when: windowShown

        function test_buttonsOnlyReport_data() {
            return [
                { tag: "ok", button: "alertOk", ok: 1, cancel: 0 },
                { tag: "cancel", button: "alertCancel", ok: 0, cancel: 1 }
            ];
        }
        function test_buttonsOnlyReport(data) {
            var alert = createTemporaryObject(alertComponent, null, { "title_": "提醒",
                                                                   "text_": "确定删除吗？" });
            var ok = 0, cancel = 0;
            alert.clickedOk.connect(function() { ok += 1; });
            alert.clickedCancel.connect(function() { cancel += 1; });
            alert.show();
            mouseClick(Items.find(alert.contentItem, data.button));
            compare(ok, data.ok);
            compare(cancel, data.cancel);
            // The opener closes the alert, not its buttons.
            verify(alert.visible);
            alert.close();
        }
    }

    TestCase {
        name: "TabArea"
        when: windowShown
        property var area: null

        function init() {
            host.mqRequests = [];
            area = createTemporaryObject(tabAreaComponent, host);
            verify(area.onAddModel("首页", host.probe + "?code=1&market=1#name=home", true));
            area.forceActiveFocus();
        }

        function test_sameRouteSwitches() {
            verify(area.onAddModel("B", host.probe + "#name=B", false));
            compare(area.count, 2);
            // Same URL without its query: the first tab again, told of the new query.
            verify(area.onAddModel("上证指数", host.probe + "?code=2&market=2#name=home", false));
            compare(area.count, 2);
            compare(area.currentIndex, 0);
            compare(area.titleAt(0), "首页");
            verify(area.onAddModel("B2", host.probe + "?code=3#name=B", false));
            compare(area.count, 2);
            compare(area.titleAt(1), "B2");
            var updates = area.entries[0].item.updates;
            compare(updates[updates.length - 1].code, "2");
            updates = area.currentItem.updates;
            compare(updates[updates.length - 1].code, "3");
            compare(area.entries[0].route.query_map.code, "2");
        }

        function test_setQueryOnOpen() {
            compare(area.currentItem.queries.length, 1);
            compare(area.currentItem.queries[0].name, "home");
        }

        function test_currentViewRouteOpensNothing() {
            verify(!area.onAddModel("", "app://curview/?chart=kline&cycle=33", false));
            compare(area.count, 1);
            var updates = area.currentItem.updates;
            compare(updates[updates.length - 1].cycle, "33");
        }

        function test_findView() {
            verify(area.onAddModel("B", host.probe + "#name=B", false));
            area.setCurrent(0);
            // The current tab shows the document: it is updated in place.
            verify(area.onAddModel("", "app://findview/tests/views/ProbeView.qml?chart=kline", false));
            compare(area.currentIndex, 0);
            verify(!area.onAddModel("", "app://findview/tests/views/Other.qml?chart=kline", false));
        }

        function test_missingDocumentOpensNoTab() {
            ignoreWarning(/opens no tab/);
            verify(!area.onAddModel("x", "app://qml/tests/views/Missing.qml", false));
            compare(area.count, 1);
            verify(!area.onAddModel("x", "", false));
            verify(!area.onAddModel("x", "app://voverivevo/anything", false));
            compare(area.count, 1);
        }

        function test_keys() {
            area.onAddModel("B", host.probe + "#name=B", false);
            area.onAddModel("C", host.probe + "#name=C", false);
            compare(area.currentIndex, 2);
            keyClick(Qt.Key_Tab);
            compare(area.currentIndex, 0);
            keyClick(Qt.Key_Tab, Qt.ControlModifier);
            compare(area.currentIndex, 1);
            keyClick(Qt.Key_Backtab, Qt.ControlModifier | Qt.ShiftModifier);
            compare(area.currentIndex, 0);
            // The first tab stays whatever is pressed.
            keyClick(Qt.Key_Escape);
            keyClick(Qt.Key_W, Qt.ControlModifier);
            compare(area.count, 3);
            verify(!area.closeTab(0));
            keyClick(Qt.Key_Backtab, Qt.ControlModifier | Qt.ShiftModifier);
            compare(area.currentIndex, 2);
            keyClick(Qt.Key_Escape);
            compare(area.count, 2);
            keyClick(Qt.Key_W, Qt.ControlModifier);
            compare(area.count, 1);
            compare(area.titleAt(0), "首页");
        }

        function test_keysReachViewThenWindow() {
            area.onAddModel("B", host.probe + "#name=B", false);
            var seen = [];
            area.unhandledKey.connect(function(event) { seen.push(event.key); });
            keyClick(Qt.Key_Z);
            // The current view sees the key first; what it leaves goes to the window.
            compare(area.currentItem.keysSeen, 1);
            compare(seen, [Qt.Key_Z]);
            // Tab keys are the tab area's own.
            keyClick(Qt.Key_Tab);
            compare(seen.length, 1);
        }

        function test_updateTabsUrl() {
            var view = area.currentItem;
            view.updateTabsUrl(view, { "code": "600009", "market": 1, "name": "达云置业" });
            compare(area.titleAt(0), "达云置业");
            compare(area.entries[0].route.query_map.code, "600009");
            compare(area.entries[0].route.query_map.name, "达云置业");
        }

        function test_viewAsksForQuoteView() {
            area.currentItem.changeToMQView({ "code": "000600", "market": 2 });
            compare(host.mqRequests.length, 1);
            compare(host.mqRequests[0].code, "000600");
        }

        function test_watchlistChangeReachesEveryView() {
            area.onAddModel("B", host.probe + "#name=B", false);
            area.notifyMyStockChange();
            compare(area.entries[0].item.myStockChanges, 1);
            compare(area.entries[1].item.myStockChanges, 1);
        }
    }
}
