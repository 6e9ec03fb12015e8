// News and research lists: which server addresses a list kind uses, the address of a list for
// a security and of one item, and the research reports as markers for the K-line chart.
.pragma library
.import "quote_query.js" as Query

var kNews = "新闻资讯";
var kResearch = "研究报告";

// Each kind: the address names of its list and of its item view.
var kKinds = {
    "新闻资讯": "stock_news_list,stock_news_view",
    "研究报告": "research_list,research_view",
};

function names(kind) {
    var pair = kKinds[kind];
    if (pair === undefined)
        return null;
    var parts = pair.split(",");
    return { "list": parts[0], "view": parts[1] };
}

// `addressOf(name)` answers the server address document's "url." + name (empty when absent).
function listAddress(kind, security, addressOf) {
    var n = names(kind);
    if (n === null)
        return "";
    var template = String(addressOf(n.list) || "");
    return template.length > 0 ? Query.fillPlaceholders(template, security || {}) : "";
}

function viewAddress(kind, id, addressOf) {
    var n = names(kind);
    if (n === null)
        return "";
    var template = String(addressOf(n.view) || "");
    return template.length > 0 ? Query.fillPlaceholders(template, { "id": id }) : "";
}

// Seconds since 1970 of a "yyyy-MM-dd" day at 00:00 local time; NaN for anything else.
function dayStart(pubdate) {
    var m = /^(\d{4})-(\d{2})-(\d{2})/.exec(String(pubdate || ""));
    if (!m)
        return NaN;
    var d = new Date(Number(m[1]), Number(m[2]) - 1, Number(m[3]), 0, 0, 0, 0);
    if (d.getMonth() !== Number(m[2]) - 1 || d.getDate() !== Number(m[3]))
        return NaN;
    return Math.floor(d.getTime() / 1000);
}

// The chart's event group of the reports: the last item of the list first; an item without
// a readable day is left out rather than drawn at 1970.
function researchEvents(items, viewTemplate) {
    var data = [];
    var list = Array.isArray(items) ? items : [];
    for (var i = list.length - 1; i >= 0; --i) {
        var item = list[i] || {};
        var time = dayStart(item.pubdate);
        if (!isFinite(time))
            continue;
        data.push({
            "time": time,
            "type": "text",
            "color": "#FF0000",
            "content": "R",
            "detailed": String(item.title === undefined ? "" : item.title),
            "url": viewTemplate ? Query.fillPlaceholders(viewTemplate, { "id": item.id }) : "",
        });
    }
    return { "name": "research", "data": data };
}
