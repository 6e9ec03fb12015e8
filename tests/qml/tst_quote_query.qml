import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/js/cycles.js" as Cycles
import "qrc:/qml/js/quote_query.js" as Query

TestCase {
    name: "QuoteViewQuery"

    function test_stepCycle_data() {
        return [
            { tag: "minute to day", chart: "mline", cycle: 33, next: ["kline", 33] },
            { tag: "day to 1 minute", chart: "kline", cycle: 33, next: ["kline", 34] },
            { tag: "60 minutes to week", chart: "kline", cycle: 38, next: ["kline", 39] },
            { tag: "week to month", chart: "kline", cycle: 39, next: ["kline", 40] },
            { tag: "month wraps to minute", chart: "kline", cycle: 40, next: ["mline", 40] },
            { tag: "ticks go to minute", chart: "detail", cycle: 35, next: ["mline", 35] },
            { tag: "research goes to minute", chart: "f10", cycle: 33, next: ["mline", 33] },
        ];
    }

    function test_stepCycle(data) {
        var n = Cycles.stepCycle(data.chart, data.cycle);
        compare([n.chart, n.chart === "kline" ? n.cycle : data.cycle], data.next);
    }

    function test_toggleLine() {
        compare(Cycles.toggleLine("mline", 36), { "chart": "kline", "cycle": 33 });
        compare(Cycles.toggleLine("kline", 36).chart, "mline");
        compare(Cycles.toggleLine("detail", 33).chart, "mline");
    }

    function test_cycleOf_data() {
        return [
            { tag: "absent", value: undefined, cycle: 33 },
            { tag: "empty", value: "", cycle: 33 },
            { tag: "text", value: "39", cycle: 39 },
            { tag: "not a K-line cycle", value: "32", cycle: 33 },
            { tag: "garbage", value: "abc", cycle: 33 },
        ];
    }

    function test_cycleOf(data) {
        compare(Cycles.cycleOf(data.value), data.cycle);
    }

    function test_buttons() {
        var stock = Cycles.buttons(false).map(function(b) { return b.label; });
        compare(stock, ["分时", "日线", "1分", "5分", "15分", "30分", "60分", "周线", "明细", "F10", "分析", "诊断", "共振"]);
        var index = Cycles.buttons(true).map(function(b) { return b.label; });
        compare(index, ["分时", "日线", "1分", "5分", "15分", "30分", "60分", "周线", "明细", "共振"]);
        var week = Cycles.buttons(false)[7];
        compare(week.route, "app://curview/?#chart=kline&cycle=39");
        compare(week.sub.route, "app://curview/?#chart=kline&cycle=40");
        compare(Cycles.buttons(false)[0].route, "app://curview/?#chart=mline");
    }

    function test_placeholders_data() {
        return [
            { tag: "case-insensitive key", template: "http://h/f10?code={{CODE}}&m={{market}}", url: "http://h/f10?code=600000&m=1" },
            { tag: "unknown key removed", template: "http://h/{{code}}/{{token1}}", url: "http://h/600000/" },
            { tag: "value cannot inject", template: "http://h/?n={{name}}&c={{code}}", url: "http://h/?n=A%26B%3Dx%7B%7Bcode%7D%7D&c=600000" },
            { tag: "non-alphanumeric placeholder kept", template: "http://h/{{a-b}}", url: "http://h/{{a-b}}" },
            { tag: "empty template", template: "", url: "" },
        ];
    }

    function test_placeholders(data) {
        compare(Query.fillPlaceholders(data.template, { "code": "600000", "Market": 1, "name": "A&B=x{{code}}" }), data.url);
    }

    function test_statsTag_data() {
        return [
            { tag: "composite", code: "1A0001", market: 1, result: "SH" },
            { tag: "component", code: "399001", market: 2, result: "SZ" },
            { tag: "growth", code: "399006", market: 2, result: "CY" },
            { tag: "other Shanghai", code: "000300", market: 1, result: "SH" },
            { tag: "other Shenzhen", code: "399005", market: 2, result: "SZ" },
            { tag: "block", code: "BK0001", market: 90, result: "HS" },
        ];
    }

    function test_statsTag(data) {
        compare(Query.statsTag(data.code, data.market), data.result);
    }

    function test_ring_data() {
        return [
            { tag: "next", code: "B", step: 1, result: "C" },
            { tag: "last wraps to first", code: "C", step: 1, result: "A" },
            { tag: "first wraps to last", code: "A", step: -1, result: "C" },
            { tag: "unknown starts at first", code: "Z", step: 1, result: "A" },
        ];
    }

    function test_ring(data) {
        var list = [{ "code": "A", "market": 1 }, { "code": "B", "market": 1 }, { "code": "C", "market": 2 }];
        compare(Query.neighbour(list, data.code, data.code === "C" ? 2 : 1, data.step).code, data.result);
        compare(Query.neighbour([], "A", 1, 1), null);
    }

    function test_listContext() {
        var ctx = { "type_": 0, "block_": 1101, "sort_": { "field": 33, "mode": 1 },
                    "fields_": [1, 4, 8, 33], "page_": { "no": 3, "length": 20 } };
        var out = Query.listContext(encodeURIComponent(JSON.stringify(ctx)));
        compare(out.fields_, [0, 33]);
        compare(out.page_, { "no": 0, "length": 9999 });
        compare(out.block_, 1101);
        compare(Query.listContext("%7Bbroken"), null);
        compare(Query.listContext("%E0%A4%A"), null);
        compare(Query.listContext(""), null);
    }
}
