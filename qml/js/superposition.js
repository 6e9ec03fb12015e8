// The securities overlaid on the quote view's charts ("superposition.json"): at most five per
// chart kind, each once. Pure functions over the document; file access through an HFileIO.
.pragma library

var kFileName = "superposition.json";
var kMaxOverlays = 5;
var kFullMessage = "已经达到最大叠加数量";
// Line colours of overlays 1, 2, … (alpha first), cycling.
var kColors = [0xFFcccccc, 0xFFA84000, 0xFF009654, 0xFF005496, 0xFF960054];

function emptyDocument() {
    return { "kline": [], "mline": [] };
}

function validItem(item) {
    return item !== null && typeof item === "object" && typeof item.code === "string"
            && item.code.length > 0 && item.code.length <= 16 && isFinite(Number(item.market));
}

// {doc, repaired}: a document that does not parse or has the wrong shape becomes empty lists;
// malformed entries, duplicates and entries past the fifth are dropped.
function parse(text) {
    var doc = null;
    try {
        doc = JSON.parse(text);
    } catch (e) {
        doc = null;
    }
    if (doc === null || typeof doc !== "object" || Array.isArray(doc))
        return { "doc": emptyDocument(), "repaired": true };
    var repaired = false;
    var charts = ["kline", "mline"];
    for (var c = 0; c < charts.length; ++c) {
        var list = doc[charts[c]];
        if (!Array.isArray(list)) {
            doc[charts[c]] = [];
            repaired = true;
            continue;
        }
        var kept = [];
        for (var i = 0; i < list.length; ++i) {
            var item = list[i];
            if (!validItem(item) || kept.length >= kMaxOverlays
                    || indexOf(kept, item.code, Number(item.market)) >= 0) {
                repaired = true;
                continue;
            }
            kept.push({ "code": item.code, "market": Number(item.market) });
        }
        doc[charts[c]] = kept;
    }
    return { "doc": doc, "repaired": repaired };
}

function load(fileio) {
    var result = parse(fileio.readFileDefaultPath(kFileName));
    if (result.repaired)
        fileio.writedFileDefaultPath(kFileName, JSON.stringify(result.doc, null, 4));
    return result.doc;
}

function save(fileio, doc) {
    return fileio.writedFileDefaultPath(kFileName, JSON.stringify(doc, null, 4));
}

function listOf(doc, chart) {
    var key = chart === "mline" ? "mline" : "kline";
    if (!Array.isArray(doc[key]))
        doc[key] = [];
    return doc[key];
}

function indexOf(list, code, market) {
    for (var i = 0; i < list.length; ++i)
        if (list[i].code === code && Number(list[i].market) === Number(market))
            return i;
    return -1;
}

function contains(doc, chart, code, market) {
    return indexOf(listOf(doc, chart), code, market) >= 0;
}

// "added", "duplicate" (nothing changes) or "full" (nothing changes; the view shows
// kFullMessage). The main security itself is never overlaid on its own chart.
function add(doc, chart, code, market, mainCode, mainMarket) {
    var list = listOf(doc, chart);
    if (indexOf(list, code, market) >= 0
            || (code === mainCode && Number(market) === Number(mainMarket)))
        return "duplicate";
    if (list.length >= kMaxOverlays)
        return "full";
    list.push({ "code": code, "market": Number(market) });
    return "added";
}

function clear(doc, chart) {
    doc[chart === "mline" ? "mline" : "kline"] = [];
}

// Colour of the overlay in series `slot` (1 = the first overlay).
function color(slot) {
    var i = Math.max(slot - 1, 0) % kColors.length;
    return kColors[i];
}

function colorText(slot) {
    var hex = (color(slot) >>> 0).toString(16).toUpperCase();
    return "#" + hex.slice(2);
}
