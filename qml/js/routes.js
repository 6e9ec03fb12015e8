// Route arithmetic of the tab area: which tab a route names, and the quote-view routes.
.pragma library

var kQuoteViewPath = "/qml/MQView.qml";
var kQuoteViewBase = "app://qml/qml/MQView.qml";

// "k=v&k2=v2" for the keys of `map` in its own order, leaving out the keys in `skip`.
function joinPairs(map, skip) {
    var parts = [];
    for (var key in map) {
        if (skip && skip.indexOf(key) >= 0)
            continue;
        var value = map[key];
        if (value === undefined || value === null)
            continue;
        parts.push(key + "=" + value);
    }
    return parts.join("&");
}

// The quote view of one security: code and market in the query, every other key (but the
// command key) in the fragment, the chart defaulting to the minute line.
function quoteViewUrl(codeInfo) {
    var fragment = {};
    var noChart = codeInfo.chart === undefined || codeInfo.chart === null || codeInfo.chart === "";
    if (noChart)
        fragment.chart = "mline";
    for (var key in codeInfo) {
        if (key === "code" || key === "market" || key === "cmd" || (key === "chart" && noChart))
            continue;
        fragment[key] = codeInfo[key];
    }
    var tail = joinPairs(fragment, null);
    return kQuoteViewBase + "?code=" + codeInfo.code + "&market=" + codeInfo.market
            + (tail.length > 0 ? "#" + tail : "");
}

// The route of a quote tab after its view moved to another security: the new code and
// market, the tab's other settings kept, the security's own keys taken from `codeInfo`.
function retargetQuoteUrl(route, codeInfo) {
    var merged = {};
    var old = route && route.query_map ? route.query_map : {};
    for (var key in old)
        merged[key] = old[key];
    for (key in codeInfo)
        merged[key] = codeInfo[key];
    return quoteViewUrl(merged);
}

// `url` with the keys of `map` set: a key already in the query or the fragment keeps its
// place, a new key goes to the fragment.
function mergeQuery(url, map) {
    var hash = url.indexOf("#");
    var fragment = hash >= 0 ? url.substring(hash + 1) : "";
    var head = hash >= 0 ? url.substring(0, hash) : url;
    var mark = head.indexOf("?");
    var query = mark >= 0 ? head.substring(mark + 1) : "";
    var base = mark >= 0 ? head.substring(0, mark) : head;

    var pending = {};
    for (var key in map)
        pending[key] = map[key];
    function rewrite(text) {
        if (text.length === 0)
            return [];
        var pairs = text.split("&");
        for (var i = 0; i < pairs.length; ++i) {
            var eq = pairs[i].indexOf("=");
            var k = eq >= 0 ? pairs[i].substring(0, eq) : pairs[i];
            if (pending.hasOwnProperty(k)) {
                pairs[i] = k + "=" + pending[k];
                delete pending[k];
            }
        }
        return pairs;
    }
    var queryPairs = rewrite(query);
    var fragmentPairs = rewrite(fragment);
    for (key in pending)
        fragmentPairs.push(key + "=" + pending[key]);
    var out = base;
    if (queryPairs.length > 0)
        out += "?" + queryPairs.join("&");
    if (fragmentPairs.length > 0)
        out += "#" + fragmentPairs.join("&");
    return out;
}

// Index of the tab whose route has the same `url_query`, or -1.
function findSameTab(entries, route) {
    for (var i = 0; i < entries.length; ++i) {
        if (entries[i].route.url_query === route.url_query)
            return i;
    }
    return -1;
}

// Index of the last tab showing the document at `path`, or -1.
function findByPath(entries, path) {
    for (var i = entries.length - 1; i >= 0; --i) {
        if (entries[i].route.scheme === "app" && entries[i].route.host === "qml"
                && entries[i].route.path === path)
            return i;
    }
    return -1;
}

// The tab `step` places away from `current`, wrapping at both ends.
function stepIndex(current, count, step) {
    if (count <= 0)
        return -1;
    return ((current + step) % count + count) % count;
}

// What the tab area does with a parsed route.
function kindOf(route) {
    if (!route || !route.scheme)
        return "none";
    if (route.scheme === "http" || route.scheme === "https")
        return "web";
    if (route.scheme !== "app")
        return "none";
    if (route.host === "qml" || route.host === "curview" || route.host === "findview")
        return route.host;
    return "none";  // "voverivevo" and unknown hosts are not the tab area's business
}
