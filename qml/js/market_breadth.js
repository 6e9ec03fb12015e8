// The market-breadth document ("url.market_total"): per market, the number of securities in
// each band of change. Totals ("up_counts", "down_counts") are not bands.
.pragma library

function isTotal(item) {
    return item.section === "up_counts" || item.section === "down_counts";
}

// The bands of one market list, in order, each with `ratio` = count / the largest band count
// (0 when every band is empty). Rows without a numeric count are dropped.
function bands(list) {
    var out = [];
    if (!Array.isArray(list))
        return out;
    var largest = 0;
    for (var i = 0; i < list.length; ++i) {
        var it = list[i];
        if (!it || isTotal(it) || typeof it.count !== "number" || !isFinite(it.count))
            continue;
        out.push({ "name": String(it.name || ""), "section": String(it.section || ""),
                   "count": it.count, "type": Number(it.type) || 0 });
        largest = Math.max(largest, it.count);
    }
    for (var j = 0; j < out.length; ++j)
        out[j].ratio = largest > 0 ? out[j].count / largest : 0;
    return out;
}

// Total of the bands: 0 for a market without members.
function memberCount(rows) {
    var n = 0;
    for (var i = 0; i < rows.length; ++i)
        n += rows[i].count;
    return n;
}

// A bar never vanishes: an empty band is one pixel wide.
function barWidth(ratio, rowWidth) {
    return Math.max(1, Math.floor(ratio * rowWidth));
}

// A usable document has at least one of the four market lists.
function usable(doc) {
    return !!doc && typeof doc === "object"
        && (Array.isArray(doc.HS) || Array.isArray(doc.SH) || Array.isArray(doc.SZ)
            || Array.isArray(doc.CY));
}
