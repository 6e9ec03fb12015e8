// The day's fund flow of a security from its ticks: the money of active buys (ticks marked
// "B") flows in, that of active sells ("S") flows out, split by the size of the trade.
.pragma library

// Trade classes by amount in yuan, largest first.
var kClasses = [
    { "name": "超大单", "min": 1000000 },
    { "name": "大单", "min": 200000 },
    { "name": "中单", "min": 40000 },
    { "name": "小单", "min": 0 },
];

function classOf(amount) {
    for (var i = 0; i < kClasses.length; ++i) {
        if (amount >= kClasses[i].min)
            return i;
    }
    return kClasses.length - 1;
}

// `ticks`: [{price, vol (shares), wind}]. Rows per class {name, inflow, outflow, net}, the
// main force's net (the two largest classes) and the largest absolute figure of the rows.
// Ticks of the call auction (neither "B" nor "S") and unreadable ticks count nowhere.
function compute(ticks) {
    var rows = kClasses.map(function(c) {
        return { "name": c.name, "inflow": 0, "outflow": 0, "net": 0 };
    });
    var list = Array.isArray(ticks) ? ticks : [];
    for (var i = 0; i < list.length; ++i) {
        var t = list[i] || {};
        var amount = Number(t.price) * Number(t.vol);
        if (!isFinite(amount) || amount <= 0)
            continue;
        var row = rows[classOf(amount)];
        if (t.wind === "B")
            row.inflow += amount;
        else if (t.wind === "S")
            row.outflow += amount;
    }
    var largest = 0;
    for (var r = 0; r < rows.length; ++r) {
        rows[r].net = rows[r].inflow - rows[r].outflow;
        largest = Math.max(largest, rows[r].inflow, rows[r].outflow, Math.abs(rows[r].net));
    }
    return { "rows": rows, "mainNet": rows[0].net + rows[1].net, "largest": largest };
}

// Yuan as the panels write amounts: 亿 and 万 with two decimals, a sign for net figures.
function formatAmount(v, signed) {
    var a = Math.abs(v);
    var text = a >= 1e8 ? (a / 1e8).toFixed(2) + "亿" : (a >= 1e4 ? (a / 1e4).toFixed(2) + "万"
                                                                  : a.toFixed(0));
    if (v < 0)
        return "-" + text;
    return signed && v > 0 ? "+" + text : text;
}
