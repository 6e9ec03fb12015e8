import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/js/news_lists.js" as Lists
import "qrc:/qml/js/fund_flow.js" as Flow

TestCase {
    name: "NewsLists"

    readonly property var addresses: ({
        "stock_news_list": "http://h/news/list?code={{code}}&market={{market}}",
        "stock_news_view": "http://h/news/view?id={{id}}",
        "research_list": "http://h/research/list?code={{CODE}}&market={{market}}&t={{token}}",
        "research_view": "http://h/research/view?id={{id}}",
    })

    function addressOf(name) {
        return addresses[name] || "";
    }
    function noAddress(name) {
        return "";
    }

    function test_listAddress_data() {
        return [
            { tag: "news of a security", kind: "新闻资讯", security: { "code": "600000", "market": 1 }, url: "http://h/news/list?code=600000&market=1" },
            { tag: "unknown keys removed, case ignored", kind: "研究报告", security: { "code": "000001", "market": 2 }, url: "http://h/research/list?code=000001&market=2&t=" },
            { tag: "the whole market", kind: "新闻资讯", security: null, url: "http://h/news/list?code=&market=" },
            { tag: "a code that would break the address", kind: "新闻资讯", security: { "code": "60&x=1", "market": 1 }, url: "http://h/news/list?code=60%26x%3D1&market=1" },
            { tag: "unknown kind", kind: "公告", security: { "code": "600000", "market": 1 }, url: "" },
        ];
    }

    function test_listAddress(data) {
        compare(Lists.listAddress(data.kind, data.security, addressOf), data.url);
    }

    function test_missingAddress() {
        compare(Lists.listAddress("新闻资讯", { "code": "600000", "market": 1 }, noAddress), "");
        compare(Lists.viewAddress("研究报告", 3, noAddress), "");
    }

    function test_viewAddress() {
        compare(Lists.viewAddress("新闻资讯", 17, addressOf), "http://h/news/view?id=17");
        compare(Lists.viewAddress("研究报告", 4, addressOf), "http://h/research/view?id=4");
    }

    function test_researchEvents() {
        var items = [
            { "id": 9, "title": "最新报告", "pubdate": "2026-11-20" },
            { "id": 5, "title": "日期缺失" },
            { "id": 3, "title": "早期报告", "pubdate": "2026-10-30" },
        ];
        var group = Lists.researchEvents(items, "http://h/research/view?id={{id}}");
        compare(group.name, "research");
        // The chart gets the reports from the last item of the answer to the first; a report
        // without a readable day is not drawn at 1970.
        compare(group.data.length, 2);
        compare(group.data[0].detailed, "早期报告");
        compare(group.data[1].detailed, "最新报告");
        compare(group.data[0].time, new Date(2026, 9, 30).getTime() / 1000);
        compare(group.data[1].url, "http://h/research/view?id=9");
        compare(group.data[1].content, "R");
        compare(group.data[1].type, "text");
        compare(group.data[1].color, "#FF0000");
    }

    function test_dayStart_data() {
        return [
            { tag: "day", text: "2026-12-08", ok: true },
            { tag: "with a time", text: "2026-12-08 09:30:00", ok: true },
            { tag: "impossible day", text: "2026-02-30", ok: false },
            { tag: "empty", text: "", ok: false },
            { tag: "other layout", text: "08/12/2026", ok: false },
        ];
    }

    function test_dayStart(data) {
        compare(isFinite(Lists.dayStart(data.text)), data.ok);
    }

    function test_fundFlow_data() {
        return [
            { tag: "classes by amount",
              ticks: [{ price: 10, vol: 200000, wind: "B" }, { price: 10, vol: 30000, wind: "S" },
                      { price: 10, vol: 5000, wind: "B" }, { price: 10, vol: 100, wind: "S" }],
              inflow: [2000000, 0, 50000, 0], outflow: [0, 300000, 0, 1000], mainNet: 1700000 },
            { tag: "class bounds are inclusive",
              ticks: [{ price: 10, vol: 100000, wind: "B" }, { price: 10, vol: 20000, wind: "B" },
                      { price: 10, vol: 4000, wind: "B" }],
              inflow: [1000000, 200000, 40000, 0], outflow: [0, 0, 0, 0], mainNet: 1200000 },
            { tag: "auction and unreadable ticks count nowhere",
              ticks: [{ price: 10, vol: 500000, wind: "N" }, { price: NaN, vol: 10, wind: "B" },
                      { price: 10, vol: -5, wind: "S" }, null],
              inflow: [0, 0, 0, 0], outflow: [0, 0, 0, 0], mainNet: 0 },
        ];
    }

    function test_fundFlow(data) {
        var r = Flow.compute(data.ticks);
        compare(r.rows.map(function(x) { return x.inflow; }), data.inflow);
        compare(r.rows.map(function(x) { return x.outflow; }), data.outflow);
        compare(r.mainNet, data.mainNet);
        for (var i = 0; i < r.rows.length; ++i)
            compare(r.rows[i].net, r.rows[i].inflow - r.rows[i].outflow);
    }

    function test_formatAmount_data() {
        return [
            { tag: "hundred millions", v: 123456789, signed: false, text: "1.23亿" },
            { tag: "ten thousands", v: 56789, signed: true, text: "+5.68万" },
            { tag: "small outflow", v: -950, signed: true, text: "-950" },
            { tag: "zero", v: 0, signed: true, text: "0" },
        ];
    }

    function test_formatAmount(data) {
        compare(Flow.formatAmount(data.v, data.signed), data.text);
    }
}
