// Chart kinds and cycles of the quote view: the button row, the switch between minute and
// K-line chart, and the stepping through the cycles.
.pragma library

var kDay = 33;
var kWeek = 39;
var kMonth = 40;
// The K-line cycles in stepping order: day, 1, 5, 15, 30, 60 minutes, week, month.
var kKLineCycles = [33, 34, 35, 36, 37, 38, 39, 40];
var kChartViews = ["mline", "kline", "detail", "f9", "f10", "f11", "cycel"];

function isChart(chart) {
    return chart === "mline" || chart === "kline";
}

function isKnownView(chart) {
    return kChartViews.indexOf(chart) >= 0;
}

function validCycle(cycle) {
    return kKLineCycles.indexOf(Number(cycle)) >= 0;
}

// The cycle a query names; a route without one (or with one that is no K-line cycle) shows days.
function cycleOf(value) {
    var n = Number(value);
    return value !== undefined && value !== null && value !== "" && validCycle(n) ? n : kDay;
}

function label(cycle) {
    switch (Number(cycle)) {
    case 33: return "日线";
    case 34: return "1分";
    case 35: return "5分";
    case 36: return "15分";
    case 37: return "30分";
    case 38: return "60分";
    case 39: return "周线";
    case 40: return "月线";
    }
    return "";
}

function route(chart, cycle) {
    var r = "app://curview/?#chart=" + chart;
    if (chart === "kline")
        r += "&cycle=" + cycle;
    return r;
}

// The button row; an index has no research pages of its own.
function buttons(isIndex) {
    var list = [{ "key": "mline_", "label": "分时", "chart": "mline" }];
    for (var i = 0; i < kKLineCycles.length; ++i) {
        var c = kKLineCycles[i];
        if (c === kMonth)
            continue;   // the month is the week button's sub-choice
        var b = { "key": "kline_" + c, "label": label(c), "chart": "kline", "cycle": c };
        if (c === kWeek)
            b.sub = { "key": "kline_40", "label": label(kMonth), "chart": "kline", "cycle": kMonth };
        list.push(b);
    }
    list.push({ "key": "detail_", "label": "明细", "chart": "detail" });
    if (!isIndex) {
        list.push({ "key": "f10_", "label": "F10", "chart": "f10" });
        list.push({ "key": "f9_", "label": "分析", "chart": "f9" });
        list.push({ "key": "f11_", "label": "诊断", "chart": "f11" });
    }
    list.push({ "key": "cycel_", "label": "共振", "chart": "cycel" });
    for (var j = 0; j < list.length; ++j) {
        list[j].route = route(list[j].chart, list[j].cycle);
        if (list[j].sub)
            list[j].sub.route = route("kline", kMonth);
    }
    return list;
}

// The key of the button that stands for what the view shows.
function buttonKey(chart, cycle) {
    return chart === "kline" ? "kline_" + cycle : chart + "_";
}

// "mk_line": minute chart ↔ daily K-line. {chart, cycle}
function toggleLine(chart, cycle) {
    return chart === "mline" ? { "chart": "kline", "cycle": kDay }
                             : { "chart": "mline", "cycle": cycle };
}

// "mk_cycle": minute → day → 1 … 60 minutes → week → month → minute; a view that is no chart
// goes to the minute chart.
function stepCycle(chart, cycle) {
    if (chart === "mline")
        return { "chart": "kline", "cycle": kDay };
    if (chart !== "kline")
        return { "chart": "mline", "cycle": cycle };
    var i = kKLineCycles.indexOf(Number(cycle));
    if (i < 0 || i === kKLineCycles.length - 1)
        return { "chart": "mline", "cycle": cycle };
    return { "chart": "kline", "cycle": kKLineCycles[i + 1] };
}

// Date pattern of a bar time on the time axis and in the crosshair label.
function datePattern(cycle) {
    var c = Number(cycle);
    if (c === kDay || c === kWeek)
        return "yyyy-MM-dd";
    if (c === kMonth)
        return "yyyy-MM";
    return "yyyy-MM-dd HH:mm";
}
