// The entries of the shared pop-up menu of quote tables and charts. Every entry is a route on
// host "curview"; {name:"", key:""} is a separator, `menuItems` makes a sub-menu and
// `select` marks an entry.
.pragma library

var kBase = "app://curview/?";
var kSeparator = { "name": "", "key": "" };

function text(value) {
    return value === undefined || value === null ? "" : String(value);
}

function securityPart(code, market) {
    return "&code=" + text(code) + "&market=" + Number(market);
}

// One entry per watchlist group (`groups` as {id, name}), leaving out the group `exceptId`.
// A security already held moves; one not held is added.
function groupEntries(groups, held, code, market, exceptId) {
    var out = [];
    for (var i = 0; i < groups.length; ++i) {
        if (held && groups[i].id === exceptId)
            continue;
        out.push({ "name": groups[i].name,
                   "key": kBase + "active=" + (held ? "move" : "add") + "&group_id="
                          + groups[i].id + securityPart(code, market) });
    }
    return out;
}

// The watchlist part: "添加自选" for a security not held; otherwise "置顶" (when `withTop`),
// "移除自选" and "移动分组". `current` is the security's group {id, name} or null.
function watchlistEntries(info, groups, current, withTop) {
    if (!current)
        return [{ "name": "添加自选", "menuItems": groupEntries(groups, false, info.code, info.market, "") }];
    var own = "&group_id=" + current.id + securityPart(info.code, info.market);
    var out = [];
    if (withTop)
        out.push({ "name": "置顶", "key": kBase + "active=move" + own });
    out.push({ "name": "移除自选", "key": kBase + "active=del" + own });
    out.push({ "name": "移动分组",
               "menuItems": groupEntries(groups, true, info.code, info.market, current.id) });
    return out;
}

// Research pages by the security's dictionary type: F10 for all but indices (1) and bonds
// (4), F9 for stocks (2) only.
function hasF10(type) {
    return Number(type) !== 1 && Number(type) !== 4;
}
function hasF9(type) {
    return Number(type) === 2;
}

// The menu of a table row. `info`: code, market, type, row (the row on the page) and json
// (the list's context, percent-encoded).
function tableEntries(info, groups, current) {
    var out = watchlistEntries(info, groups, current, true);
    var open = kBase + "active=MQView" + securityPart(info.code, info.market) + "#";
    var list = "&json=" + text(info.json);
    out.push(kSeparator);
    out.push({ "name": "查看K线", "key": open + "chart=kline&cycle=33" + list });
    out.push({ "name": "查看分时", "key": open + "chart=mline" + list });
    if (hasF10(info.type))
        out.push({ "name": "图文F10", "key": open + "chart=f10" + list });
    if (hasF9(info.type))
        out.push({ "name": "深度F9", "key": open + "chart=f9" + list });
    out.push(kSeparator);
    out.push({ "name": "多股同列", "key": kBase + "active=QMultiStockView#row=" + Number(info.row) });
    return out;
}

// The menu of the quote view's main chart. `info`: chart ("kline", "mline", …), code,
// market, type, crosshair (shown or not) and kcmd (the ex-rights command: "", "fd", "bd").
function chartEntries(info, groups, current) {
    var out = [];
    if (info.chart !== "kline")
        out.push({ "name": "查看K线", "key": kBase + "#chart=kline&cycle=33" });
    if (info.chart !== "mline")
        out.push({ "name": "查看分时", "key": kBase + "#chart=mline" });
    if (info.crosshair)
        out.push({ "name": "隐藏十字线", "key": kBase + "active=crosshair#crosshair=false" });
    else
        out.push({ "name": "显示十字线", "key": kBase + "active=crosshair#crosshair=true" });
    if (hasF10(info.type) || hasF9(info.type)) {
        out.push(kSeparator);
        if (hasF10(info.type))
            out.push({ "name": "图文F10", "key": kBase + "#chart=f10" });
        if (hasF9(info.type))
            out.push({ "name": "深度F9", "key": kBase + "#chart=f9" });
    }
    out.push(kSeparator);
    out = out.concat(watchlistEntries(info, groups, current, false));
    if (info.chart !== "mline") {
        var kcmd = text(info.kcmd);
        out.push(kSeparator);
        out.push({ "name": "除复权", "menuItems": [
            { "name": "不复权", "key": kBase + "#kcmd=", "select": kcmd === "" },
            { "name": "前复权", "key": kBase + "#kcmd=fd", "select": kcmd === "fd" },
            { "name": "后复权", "key": kBase + "#kcmd=bd", "select": kcmd === "bd" }] });
    }
    if (info.chart === "kline")
        out.push({ "name": "平移K线", "key": kBase + "active=hold#hold=true" });
    return out;
}

// Depth-first list of the entries with a route, for tests and look-ups by name.
function flatten(entries) {
    var out = [];
    for (var i = 0; i < entries.length; ++i) {
        if (entries[i].menuItems)
            out = out.concat(flatten(entries[i].menuItems));
        else if (entries[i].key)
            out.push(entries[i]);
    }
    return out;
}
