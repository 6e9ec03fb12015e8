import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/js/context_menu.js" as Entries

// The entries of the table and chart menus: which entries a security gets, the routes they
// carry, and the marks.
TestCase {
    name: "ContextMenuEntries"

    readonly property var groups: [{ "id": "1", "name": "自选股1" }, { "id": "2", "name": "自选股2" },
                                   { "id": "3", "name": "自选股3" }]

    function names(list) {
        return list.map(function(e) { return e.name; });
    }
    function entry(list, name) {
        return Entries.flatten(list).filter(function(e) { return e.name === name; })[0];
    }
    function submenu(list, name) {
        return list.filter(function(e) { return e.name === name; })[0];
    }

    function test_tableMenu_data() {
        return [
            { tag: "stock not held", type: 2, current: null,
              top: ["添加自选", "", "查看K线", "查看分时", "图文F10", "深度F9", "", "多股同列"] },
            { tag: "stock held in group 2", type: 2, current: { "id": "2", "name": "自选股2" },
              top: ["置顶", "移除自选", "移动分组", "", "查看K线", "查看分时", "图文F10", "深度F9", "", "多股同列"] },
            { tag: "index: no research pages", type: 1, current: null,
              top: ["添加自选", "", "查看K线", "查看分时", "", "多股同列"] },
            { tag: "bond: no research pages", type: 4, current: null,
              top: ["添加自选", "", "查看K线", "查看分时", "", "多股同列"] },
            { tag: "fund: F10 only", type: 3, current: null,
              top: ["添加自选", "", "查看K线", "查看分时", "图文F10", "", "多股同列"] }];
    }
    function test_tableMenu(data) {
        var info = { "code": "600000", "market": 1, "type": data.type, "row": 4, "json": "%7B%7D" };
        var list = Entries.tableEntries(info, groups, data.current);
        compare(names(list), data.top);
        compare(entry(list, "多股同列").key, "app://curview/?active=QMultiStockView#row=4");
        compare(entry(list, "查看K线").key,
                "app://curview/?active=MQView&code=600000&market=1#chart=kline&cycle=33&json=%7B%7D");
        compare(entry(list, "查看分时").key,
                "app://curview/?active=MQView&code=600000&market=1#chart=mline&json=%7B%7D");
        if (data.current === null) {
            var add = submenu(list, "添加自选").menuItems;
            compare(names(add), ["自选股1", "自选股2", "自选股3"]);
            compare(add[0].key, "app://curview/?active=add&group_id=1&code=600000&market=1");
        } else {
            // "置顶" moves the security to its own group, which puts it first.
            compare(entry(list, "置顶").key, "app://curview/?active=move&group_id=2&code=600000&market=1");
            compare(entry(list, "移除自选").key, "app://curview/?active=del&group_id=2&code=600000&market=1");
            var move = submenu(list, "移动分组").menuItems;
            compare(names(move), ["自选股1", "自选股3"]);
            compare(move[1].key, "app://curview/?active=move&group_id=3&code=600000&market=1");
        }
    }

    function test_chartMenu_data() {
        return [
            { tag: "K-line of a stock, forward adjusted", chart: "kline", type: 2, kcmd: "fd", crosshair: false,
              top: ["查看分时", "显示十字线", "", "图文F10", "深度F9", "", "添加自选", "", "除复权", "平移K线"],
              marked: "前复权" },
            { tag: "minute chart of a stock, crosshair shown", chart: "mline", type: 2, kcmd: "", crosshair: true,
              top: ["查看K线", "隐藏十字线", "", "图文F10", "深度F9", "", "添加自选"], marked: "" },
            { tag: "K-line of an index", chart: "kline", type: 1, kcmd: "", crosshair: false,
              top: ["查看分时", "显示十字线", "", "添加自选", "", "除复权", "平移K线"], marked: "不复权" },
            { tag: "K-line held in the watchlist: no top entry", chart: "kline", type: 2, kcmd: "bd",
              crosshair: false, current: { "id": "1", "name": "自选股1" },
              top: ["查看分时", "显示十字线", "", "图文F10", "深度F9", "", "移除自选", "移动分组", "",
                    "除复权", "平移K线"], marked: "后复权" }];
    }
    function test_chartMenu(data) {
        var info = { "code": "600000", "market": 1, "type": data.type, "chart": data.chart,
                     "kcmd": data.kcmd, "crosshair": data.crosshair };
        var list = Entries.chartEntries(info, groups, data.current || null);
        compare(names(list), data.top);
        var ex = submenu(list, "除复权");
        if (data.marked === "") {
            compare(ex, undefined);
            return;
        }
        compare(names(ex.menuItems), ["不复权", "前复权", "后复权"]);
        compare(ex.menuItems.filter(function(e) { return e.select; }).map(function(e) { return e.name; }),
                [data.marked]);
        compare(entry(list, "前复权").key, "app://curview/?#kcmd=fd");
        compare(entry(list, "平移K线").key, "app://curview/?active=hold#hold=true");
    }

    function test_noGroups() {
        // A watchlist without groups offers an empty "添加自选" rather than failing.
        var list = Entries.tableEntries({ "code": "1", "market": 2, "type": 2, "row": 0, "json": "" }, [], null);
        compare(submenu(list, "添加自选").menuItems.length, 0);
    }
}
