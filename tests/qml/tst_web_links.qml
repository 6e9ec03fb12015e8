import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml/js/web_links.js" as Links

TestCase {
    name: "WebLinks"

    function test_classify_data() {
        return [
            { tag: "quote link", url: "goto::quote::x,600000,1", tab: true, kind: "goto", action: "quote", code: "600000", market: 1 },
            { tag: "quote link in a window", url: "goto::quote::x,600000,1", tab: false, kind: "goto", action: "quote", code: "600000", market: 1 },
            { tag: "upper-case scheme", url: "GOTO::quote::浦发银行,600000,1", tab: true, kind: "goto", action: "quote", code: "600000", market: 1 },
            { tag: "escaped by the engine", url: "goto::quote::%E6%B5%A6%E5%8F%91,600000,1", tab: true, kind: "goto", action: "quote", code: "600000", market: 1 },
            { tag: "spaces around values", url: "goto::quote::x, 000001 ,2", tab: true, kind: "goto", action: "quote", code: "000001", market: 2 },
            { tag: "nothing after the prefix", url: "goto::", tab: true, kind: "goto", action: "" },
            { tag: "unknown action", url: "goto::trade::x,600000,1", tab: true, kind: "goto", action: "" },
            { tag: "empty third part", url: "goto::quote::", tab: true, kind: "goto", action: "" },
            { tag: "too few values", url: "goto::quote::600000,1", tab: true, kind: "goto", action: "" },
            { tag: "empty code", url: "goto::quote::x,,1", tab: true, kind: "goto", action: "" },
            { tag: "quote in the code", url: "goto::quote::x,60'0000,1", tab: true, kind: "goto", action: "" },
            { tag: "script in the code", url: "goto::quote::x,<script>,1", tab: true, kind: "goto", action: "" },
            { tag: "market not a number", url: "goto::quote::x,600000,sh", tab: true, kind: "goto", action: "" },
            { tag: "market out of range", url: "goto::quote::x,600000,256", tab: true, kind: "goto", action: "" },
            { tag: "negative market", url: "goto::quote::x,600000,-1", tab: true, kind: "goto", action: "" },
            { tag: "trailing parts", url: "goto::quote::x,600000,1::more", tab: true, kind: "goto", action: "" },
            { tag: "broken escape", url: "goto::quote::%E0%A4%A,600000,1", tab: true, kind: "goto", action: "" },
            { tag: "very long code", url: "goto::quote::x," + "9".repeat(40) + ",1", tab: true, kind: "goto", action: "" },
            { tag: "app route in a tab", url: "app://qml/qml/QRankingView.qml?tab=1100&title=排行", tab: true, kind: "route", route: "app://qml/qml/QRankingView.qml?tab=1100&title=排行" },
            { tag: "app route inside another address", url: "http://h/jump?to=app://qml/qml/MyStockView.qml", tab: true, kind: "route", route: "app://qml/qml/MyStockView.qml" },
            { tag: "escaped app route", url: "http://h/jump?to=app%3A%2F%2Fqml%2Fqml%2FMyStockView.qml", tab: true, kind: "route", route: "app://qml/qml/MyStockView.qml" },
            { tag: "app route in a window is a plain link", url: "app://qml/qml/MyStockView.qml", tab: false, kind: "follow" },
            { tag: "community article in a tab", url: "https://community.veltoquorin.cn/article/42", tab: true, kind: "ignore" },
            { tag: "community login in a tab", url: "https://COMMUNITY.veltoquorin.cn/login?next=/", tab: true, kind: "ignore" },
            { tag: "community page in a window", url: "https://community.veltoquorin.cn/article/42", tab: false, kind: "follow" },
            { tag: "ordinary page", url: "http://127.0.0.1:8731/news/view?id=3", tab: true, kind: "follow" },
        ];
    }

    function test_classify(data) {
        var c = Links.classify(data.url, data.tab);
        compare(c.kind, data.kind);
        if (data.kind === "goto") {
            compare(c.target.action, data.action);
            if (data.action === "quote") {
                compare(c.target.code, data.code);
                compare(c.target.market, data.market);
            } else {
                verify(c.target.reason.length > 0);
            }
        }
        if (data.kind === "route")
            compare(c.route, data.route);
    }

    function test_loadableScheme_data() {
        return [
            { tag: "http", url: "http://h/", ok: true },
            { tag: "https", url: "HTTPS://h/", ok: true },
            { tag: "blank page", url: "about:blank", ok: true },
            { tag: "data", url: "data:text/html,x", ok: true },
            { tag: "mail", url: "mailto:a@b", ok: false },
            { tag: "local file", url: "file:///etc/passwd", ok: false },
            { tag: "desktop handler", url: "magnet:?xt=urn", ok: false },
        ];
    }

    function test_loadableScheme(data) {
        compare(Links.isLoadableScheme(data.url), data.ok);
    }

    function test_titles_data() {
        return [
            { tag: "page title", title: "公司公告", url: "http://127.0.0.1:1/news/view?id=1", loading: false, tab: "公司公告", win: "金融终端  公司公告" },
            { tag: "no title yet", title: "", url: "http://127.0.0.1:1/news/view?id=1", loading: true, tab: "加载中", win: "金融终端 " },
            { tag: "address as title while loading", title: "127.0.0.1:1/news/view?id=1", url: "http://127.0.0.1:1/news/view?id=1", loading: true, tab: "加载中", win: "金融终端 " },
            { tag: "site name as title", title: "www.example.cn", url: "https://www.example.cn/a", loading: true, tab: "加载中", win: "金融终端 " },
            { tag: "loaded page without title keeps the address", title: "127.0.0.1:1/x", url: "http://127.0.0.1:1/x", loading: false, tab: "127.0.0.1:1/x", win: "金融终端 " },
        ];
    }

    function test_titles(data) {
        compare(Links.tabTitle(data.title, data.url, data.loading), data.tab);
        compare(Links.windowTitle(data.title, data.url), data.win);
    }

    function test_downloadName_data() {
        return [
            { tag: "page title", title: "研报", ms: 1765432100123, name: "研报_1765432100123.pdf" },
            { tag: "path separators", title: "../../.bashrc", ms: 5, name: "_.._.bashrc_5.pdf" },
            { tag: "leading dots", title: "..研报", ms: 5, name: "研报_5.pdf" },
            { tag: "reserved characters", title: "A/B\\C:D*E?F\"G<H>I|J", ms: 7, name: "A_B_C_D_E_F_G_H_I_J_7.pdf" },
            { tag: "control characters", title: "行\n情\t报", ms: 7, name: "行_情_报_7.pdf" },
            { tag: "no title", title: "", ms: 9, name: "下载_9.pdf" },
            { tag: "only dots", title: "..", ms: 9, name: "下载_9.pdf" },
            { tag: "long title cut", title: "长".repeat(200), ms: 1, name: "长".repeat(60) + "_1.pdf" },
        ];
    }

    function test_downloadName(data) {
        compare(Links.downloadName(data.title, data.ms), data.name);
    }
}
