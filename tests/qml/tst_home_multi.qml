import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/js/home.js" as Home
import "qrc:/qml/js/multi_stock.js" as Multi
import "qrc:/qml/js/quote_query.js" as Query

TestCase {
    name: "HomeAndMultiStock"

    function test_conceptColor_data() {
        return [
            { tag: "up 0.2 % rounds up to 1", rate: 0.002, key: "1", color: "#FA2933" },
            { tag: "down 0.2 % rounds down to -1", rate: -0.002, key: "-1", color: "#14D270" },
            { tag: "unchanged", rate: 0, key: "-", color: "#2A2F38" },
            { tag: "negative zero", rate: -0, key: "-", color: "#2A2F38" },
            { tag: "up 12 % has no key", rate: 0.12, key: "12", color: "#FFFFFF" },
            { tag: "limit down", rate: -0.1, key: "-10", color: "#0C472E" },
            { tag: "limit up", rate: 0.1, key: "10", color: "#51141C" },
            { tag: "down 11 % has no key", rate: -0.11, key: "-11", color: "#FFFFFF" },
            // Rates as 32-bit floats reach QML a hair off; the shown two decimals decide.
            { tag: "float 3.00 % stays 3", rate: 0.030000001192092896, key: "3", color: "#CA232D" },
            { tag: "float -5.00 % stays -5", rate: -0.05000000074505806, key: "-5", color: "#0F824A" },
            { tag: "up 3.01 % is 4", rate: 0.0301, key: "4", color: "#991D26" },
            { tag: "below a hundredth of a percent is flat", rate: 0.00004, key: "-", color: "#2A2F38" },
            { tag: "not a number", rate: NaN, key: "-", color: "#2A2F38" },
        ];
    }

    function test_conceptColor(data) {
        compare(Home.conceptKey(data.rate), data.key);
        compare(Home.conceptColor(data.rate), data.color);
    }

    function test_firstStock_data() {
        return [
            { tag: "index rows are skipped", rows: [{ code: "1A0001", type: 1 }, { code: "600000", type: 2 }], code: "600000" },
            { tag: "an empty group has none", rows: [], code: null },
            { tag: "funds only have none", rows: [{ code: "510050", type: 5 }], code: null },
        ];
    }

    function test_firstStock(data) {
        var found = Home.firstStock(data.rows);
        compare(found ? found.code : null, data.code);
    }

    function test_itemAddress_data() {
        return [
            { tag: "id into its placeholder", tpl: "http://h/news/view?id={{id}}", item: { id: 42 }, url: "http://h/news/view?id=42" },
            { tag: "no id", tpl: "http://h/news/view?id={{id}}", item: { title: "x" }, url: "" },
            { tag: "no address", tpl: "", item: { id: 1 }, url: "" },
            { tag: "an id cannot break the address", tpl: "http://h/v?id={{id}}", item: { id: "1&x=2" }, url: "http://h/v?id=1%26x%3D2" },
        ];
    }

    function test_itemAddress(data) {
        compare(Home.itemAddress(data.tpl, data.item, Query.fillPlaceholders), data.url);
    }

    function encoded(ctx) {
        return encodeURIComponent(JSON.stringify(ctx));
    }

    function test_pageContext_data() {
        var list = { "block_": 1101, "sort_": { "field": 34, "mode": 0 }, "fields_": [0, 1, 2, 3],
                     "page_": { "no": 0, "length": 30 }, "x_": "kept" };
        return [
            { tag: "fifth row of the first page", json: encoded(list), row: 4, no: 4, fields: [0, 34] },
            { tag: "row on a later page", json: encoded({ "block_": 1, "page_": { "no": 30, "length": 30 } }), row: 2, no: 32, fields: [0, 0] },
            { tag: "no row", json: encoded(list), row: undefined, no: 0, fields: [0, 34] },
            { tag: "decoded text as routes hand it over", json: JSON.stringify(list), row: "4", no: 4, fields: [0, 34] },
            { tag: "a negative row counts as none", json: encoded(list), row: -3, no: 0, fields: [0, 34] },
            { tag: "not a context", json: "%7Bbroken", row: 1, no: -1 },
            { tag: "an array", json: encoded([1, 2]), row: 1, no: -1 },
            { tag: "nothing", json: undefined, row: 1, no: -1 },
        ];
    }

    function test_pageContext(data) {
        var ctx = Multi.pageContext(data.json, data.row);
        if (data.no < 0) {
            compare(ctx, null);
            return;
        }
        compare(ctx.page_.no, data.no);
        compare(ctx.page_.length, 9);
        compare(ctx.fields_, data.fields);
    }

    function test_move_data() {
        return [
            { tag: "no selection takes the first cell", sel: -1, delta: 1, filled: 9, select: 0, page: 0 },
            { tag: "right", sel: 0, delta: 1, filled: 9, select: 1, page: 0 },
            { tag: "down a row", sel: 1, delta: 3, filled: 9, select: 4, page: 0 },
            { tag: "left of the first pages up to the last", sel: 0, delta: -1, filled: 9, select: 8, page: -1 },
            { tag: "up from the top row pages up, same column", sel: 1, delta: -3, filled: 9, select: 7, page: -1 },
            { tag: "right of the last pages down to the first", sel: 8, delta: 1, filled: 9, select: 0, page: 1 },
            { tag: "down from the bottom row pages down, same column", sel: 7, delta: 3, filled: 9, select: 1, page: 1 },
            { tag: "short last page: empty cells are not chosen", sel: 4, delta: 1, filled: 5, select: 4, page: 0 },
            { tag: "short last page: down stops at the last filled", sel: 2, delta: 3, filled: 5, select: 4, page: 0 },
            { tag: "empty page selects nothing", sel: -1, delta: 1, filled: 0, select: -1, page: 0 },
        ];
    }

    function test_move(data) {
        var step = Multi.move(data.sel, data.delta, data.filled);
        compare(step.select, data.select);
        compare(step.page, data.page);
    }

    function test_cellTitle() {
        compare(Multi.cellTitle({ "code": "600000", "name": "浦发银行" }), "浦发银行(600000)");
        compare(Multi.cellTitle(null), "");
        compare(Multi.cellTitle({ "code": "" }), "");
    }
}
