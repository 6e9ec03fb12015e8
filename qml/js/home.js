// What the home view computes without items: the background of a concept tile, the news
// list kinds and the watchlist rows that may become the current security.
.pragma library

// Tile backgrounds by whole percent of change, rounded away from zero.
var kConceptColors = {
    "-10": "#0C472E", "-9": "#0C472E", "-8": "#0C472E", "-7": "#0D5B38", "-6": "#0E6F41",
    "-5": "#0F824A", "-4": "#109653", "-3": "#12AA5E", "-2": "#13BE67", "-1": "#14D270",
    "0": "#2A2F38", "-": "#2A2F38",
    "1": "#FA2933", "2": "#E22630", "3": "#CA232D", "4": "#991D26", "5": "#811A22",
    "6": "#69171F", "7": "#51141C", "8": "#51141C", "9": "#51141C", "10": "#51141C"
};
var kUnknownColor = "#FFFFFF";

// The key of a change rate (a fraction, 0.012 for 1.2 %): the percentage rounded up when
// positive and down otherwise, "-" when unchanged. The rate is first taken to the two
// decimals the tile shows, so a block shown at exactly 3.00 % is a 3 and not, through the
// float's last bit, a 4.
function conceptKey(rfRate) {
    var rate = Number(rfRate);
    if (!isFinite(rate))
        return "-";
    var shown = Math.round(rate * 10000) / 100;
    var r = shown > 0 ? Math.ceil(shown) : Math.floor(shown);
    return r === 0 ? "-" : String(r);
}

function conceptColor(rfRate) {
    var key = conceptKey(rfRate);
    return kConceptColors.hasOwnProperty(key) ? kConceptColors[key] : kUnknownColor;
}

// The news block's tabs: title, list address name, item address name.
var kNewsKinds = [
    { "title": "新闻资讯", "list": "stock_news_list", "view": "stock_news_view" },
    { "title": "研究报告", "list": "research_list", "view": "research_view" }
];

// The address of one item: the item's id put into the view address's placeholder.
function itemAddress(viewTemplate, item, fill) {
    if (!viewTemplate || !item || item.id === undefined || item.id === null)
        return "";
    return fill(viewTemplate, { "id": item.id });
}

// The first stock (type 2) of the rows, or null.
function firstStock(rows) {
    for (var i = 0; i < rows.length; ++i) {
        if (rows[i] && Number(rows[i].type) === 2)
            return rows[i];
    }
    return null;
}

// The four breadth lists of the home view: document member and title.
var kBreadthMarkets = [
    { "member": "HS", "title": "沪深" }, { "member": "SH", "title": "上证" },
    { "member": "SZ", "title": "深证" }, { "member": "CY", "title": "创业板" }
];
