// The indicator layout of the quote view ("formula_map.json"): which formulas the K-line and
// the minute chart show on their main pane and in their sub-charts. Pure functions over the
// layout object; reading and writing go through an HFileIO the caller owns.
.pragma library

var kFileName = "formula_map.json";
var kCharts = ["kline", "mline"];

function entry(fname, s, c) {
    return { "fname": fname, "s": s, "c": c };
}

// The formula that draws the bars themselves; it stays on the main pane whatever is chosen.
function baseFormula(chart) {
    return chart === "mline" ? "MLINE" : "KLINE";
}

function defaultChart(chart) {
    if (chart === "mline")
        return { "main_charts": [entry("MLINE", "MSCALES", "MCROSSHAIR")],
                 "sub_charts": [entry("分时成交", "KSCALES", "KCROSSHAIR"),
                                entry("MACD", "KSCALES", "KCROSSHAIR")] };
    return { "main_charts": [entry("KLINE", "KSCALES", "KCROSSHAIR"), entry("MA", "NO", "NO")],
             "sub_charts": [entry("VOL", "KSCALES", "KCROSSHAIR"),
                            entry("MACD", "KSCALES", "KCROSSHAIR")] };
}

function defaultLayout() {
    return { "kline": defaultChart("kline"), "mline": defaultChart("mline") };
}

function validEntry(e) {
    return e !== null && typeof e === "object" && !Array.isArray(e) && typeof e.fname === "string"
            && e.fname.length > 0 && typeof e.s === "string" && typeof e.c === "string";
}

function validChart(chart, value) {
    if (value === null || typeof value !== "object" || Array.isArray(value))
        return false;
    var main = value.main_charts, sub = value.sub_charts;
    if (!Array.isArray(main) || !Array.isArray(sub) || main.length === 0)
        return false;
    // The bars must stay on the main pane, or the chart has nothing to hang the panes on.
    if (!validEntry(main[0]) || main[0].fname !== baseFormula(chart))
        return false;
    return main.every(validEntry) && sub.every(validEntry);
}

// The layout in `text`: {layout, repaired}. Text that does not parse, a truncated document or
// a chart whose entries are malformed falls back to the default for that chart, and `repaired`
// says the file should be written again. Unknown keys are kept.
function parse(text) {
    var doc = null;
    try {
        doc = JSON.parse(text);
    } catch (e) {
        doc = null;
    }
    if (doc === null || typeof doc !== "object" || Array.isArray(doc))
        return { "layout": defaultLayout(), "repaired": true };
    var repaired = false;
    for (var i = 0; i < kCharts.length; ++i) {
        var chart = kCharts[i];
        if (!validChart(chart, doc[chart])) {
            doc[chart] = defaultChart(chart);
            repaired = true;
        }
    }
    return { "layout": doc, "repaired": repaired };
}

function serialize(layout) {
    return JSON.stringify(layout, null, 4);
}

// Reads the layout, writing the default (or the repaired layout) back when the file was
// missing or damaged. Only this one file is touched.
function load(fileio) {
    var result = parse(fileio.readFileDefaultPath(kFileName));
    if (result.repaired)
        fileio.writedFileDefaultPath(kFileName, serialize(result.layout));
    return result.layout;
}

function save(fileio, layout) {
    return fileio.writedFileDefaultPath(kFileName, serialize(layout));
}

function chartOf(layout, chart) {
    return layout[chart === "mline" ? "mline" : "kline"];
}

function indexOf(list, fname) {
    for (var i = 0; i < list.length; ++i)
        if (list[i].fname === fname)
            return i;
    return -1;
}

function hasSub(layout, chart, fname) {
    return indexOf(chartOf(layout, chart).sub_charts, fname) >= 0;
}

// Appends a sub-chart indicator; false when it is already shown.
function addSub(layout, chart, fname) {
    var subs = chartOf(layout, chart).sub_charts;
    if (indexOf(subs, fname) >= 0)
        return false;
    subs.push(entry(fname, "KSCALES", "KCROSSHAIR"));
    return true;
}

// Removes the first sub-chart showing `fname`; false when none does.
function removeSub(layout, chart, fname) {
    var subs = chartOf(layout, chart).sub_charts;
    var i = indexOf(subs, fname);
    if (i < 0)
        return false;
    subs.splice(i, 1);
    return true;
}

// The main pane keeps the bars and the one chosen indicator.
function setMain(layout, chart, fname) {
    var c = chartOf(layout, chart);
    var base = c.main_charts[0];
    c.main_charts = fname === base.fname ? [base] : [base, entry(fname, "NO", "NO")];
}

// The indicator drawn over the bars (the second main-pane entry), or "" without one.
function mainIndicator(layout, chart) {
    var main = chartOf(layout, chart).main_charts;
    return main.length > 1 ? main[1].fname : "";
}

// A formula group over the layout: the first name goes on the main pane, the others replace
// the existing sub-charts in order, and sub-charts are added for what remains. Sub-charts
// beyond the group's length stay as they were.
function applyGroup(layout, chart, names) {
    if (!names || names.length === 0)
        return;
    setMain(layout, chart, names[0]);
    var c = chartOf(layout, chart);
    for (var i = 1; i < names.length; ++i) {
        var e = entry(names[i], "KSCALES", "KCROSSHAIR");
        if (i - 1 < c.sub_charts.length)
            c.sub_charts[i - 1] = e;
        else
            c.sub_charts.push(e);
    }
}

// The two indicators a small K-line panel shows: the layout's main-pane indicator and its first
// sub-chart, or MA and VOL where the layout has none.
function panelIndicators(layout) {
    var c = chartOf(layout, "kline");
    return { "main": c.main_charts.length > 1 ? c.main_charts[1].fname : "MA",
             "sub": c.sub_charts.length > 0 ? c.sub_charts[0].fname : "VOL" };
}
