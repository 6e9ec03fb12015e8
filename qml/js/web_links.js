// What the embedded pages may ask of the terminal through their links, the titles of the web
// views, and the names downloads are saved under.
.pragma library

var kGotoPrefix = "goto::";
var kAppRouteMarker = "app://qml/";
var kWindowTitle = "金融终端";
var kLoadingTitle = "加载中";

// Pages of the outside community site that a tab never follows (its article reader and its
// login page would take over the tab); a deployment points these at its own site.
var kIgnoredPages = [
    "https://community.veltoquorin.cn/article",
    "https://community.veltoquorin.cn/login",
];

// Longest page-title part of a download's name, in characters: with the time and the suffix
// the name stays well under the 255 bytes a file name may take, also in UTF-8 Chinese.
var kMaxTitleChars = 60;

function startsWithNoCase(text, prefix) {
    return text.length >= prefix.length
            && text.substring(0, prefix.length).toLowerCase() === prefix.toLowerCase();
}

function decoded(text) {
    try {
        return decodeURIComponent(text);
    } catch (e) {
        return null;  // a broken escape: the link is garbage
    }
}

// A "goto::" link: { "action": "quote", "code", "market" } for a well-formed quote link, or
// { "action": "", "reason" } when the link is malformed or asks for something unknown.
// "goto::quote::x,600000,1" names code 600000 of market 1 (the first value is not used).
function parseGoto(link) {
    var text = decoded(String(link));
    if (text === null)
        return { "action": "", "reason": "bad escape" };
    var parts = text.split("::");
    if (parts.length < 3 || parts[1] !== "quote")
        return { "action": "", "reason": "unknown action" };
    var values = parts.slice(2).join("::").split(",");
    if (values.length < 3)
        return { "action": "", "reason": "missing values" };
    var code = values[1].trim();
    var market = values[2].trim();
    if (!/^[A-Za-z0-9]{1,16}$/.test(code))
        return { "action": "", "reason": "bad code" };
    if (!/^[0-9]{1,3}$/.test(market) || Number(market) > 255)
        return { "action": "", "reason": "bad market" };
    return { "action": "quote", "code": code, "market": Number(market) };
}

function isIgnoredPage(url) {
    for (var i = 0; i < kIgnoredPages.length; ++i) {
        if (startsWithNoCase(url, kIgnoredPages[i]))
            return true;
    }
    return false;
}

// What a view does with a navigation to `url`: {"kind": "goto", "target": parseGoto(…)},
// {"kind": "route", "route": the app route} (tabs only), {"kind": "ignore"} (tabs only) or
// {"kind": "follow"}.
function classify(url, inTab) {
    var text = String(url);
    if (startsWithNoCase(text, kGotoPrefix))
        return { "kind": "goto", "target": parseGoto(text) };
    if (inTab) {
        var at = text.indexOf(kAppRouteMarker);
        if (at < 0) {
            // The page's escapes of an address handed over inside its link.
            var plain = decoded(text);
            if (plain !== null && plain.indexOf(kAppRouteMarker) >= 0) {
                text = plain;
                at = text.indexOf(kAppRouteMarker);
            }
        }
        if (at >= 0)
            return { "kind": "route", "route": text.substring(at) };
        if (isIgnoredPage(text))
            return { "kind": "ignore" };
    }
    return { "kind": "follow" };
}

function hostOf(url) {
    var m = /^[a-z][a-z0-9+.-]*:\/\/([^\/:?#]+)/i.exec(String(url));
    return m ? m[1].toLowerCase() : "";
}

// True while the engine's title is still the address or the site's name rather than the
// page's own title.
function namesSite(title, url) {
    var t = String(title || "").trim();
    if (t.length === 0)
        return true;
    var u = String(url || "");
    if (t === u || u.replace(/^[a-z][a-z0-9+.-]*:\/\//i, "") === t)
        return true;
    var host = hostOf(u);
    return host.length > 0 && t.toLowerCase().indexOf(host) >= 0;
}

// The title of a web tab: "加载中" while a loading page has no title of its own yet; a page
// that never names itself keeps its address.
function tabTitle(title, url, loading) {
    if (!namesSite(title, url))
        return String(title);
    if (loading)
        return kLoadingTitle;
    var t = String(title || "").trim();
    return t.length > 0 ? t : String(url || "");
}

// The title of a browser window: the program's name, two spaces and the page title.
function windowTitle(title, url) {
    return namesSite(title, url) ? kWindowTitle + " " : kWindowTitle + "  " + String(title);
}

// The page title made safe as a file name: no separators, no characters the common file
// systems refuse, no control characters, no leading dots (a hidden file or "..").
function safeFilePart(title) {
    var t = String(title || "").replace(/[\/\\:*?"<>|\u0000-\u001f\u007f]/g, "_");
    t = t.replace(/^[\s.]+/, "").replace(/[\s.]+$/, "");
    if (t.length > kMaxTitleChars)
        t = t.substring(0, kMaxTitleChars);
    return t.length > 0 ? t : "下载";
}

// The name a download is saved under: page title, "_", the time in milliseconds, ".pdf".
function downloadName(title, msecs) {
    return safeFilePart(title) + "_" + String(Math.floor(msecs)) + ".pdf";
}

// Schemes the engine loads itself; any other link would be handed to the desktop, which the
// terminal never does for a page.
function isLoadableScheme(url) {
    return /^(https?|about|data|blob):/i.test(String(url));
}
