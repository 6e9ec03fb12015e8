// The login window's chain of requests: server addresses, login, then every per-user and
// reference document the main window reads, one after another.
//
// `view` is the login window; it provides `services` (base, crypto, util, files, myStock),
// `db`, `state_`, setStatus(text), showMessage(text, cb) and close().
.import "http.js" as Http
.import "kvst.js" as Kvst

var kJsonHeader = { "Content-Type": "application/json" };
var kFormHeader = { "Content-Type": "application/x-www-form-urlencoded" };

// Answers can arrive after the window was closed and destroyed; they are dropped then.
function alive(view) {
    return view !== null && view.services !== undefined && view.services !== null;
}

function address(view, name) {
    var url = view.services.base.getServerAddressValue("url." + name);
    return url === undefined || url === null ? "" : String(url);
}

function loginValue(view, path) {
    var value = view.services.base.getLoginValue(path);
    return value === undefined || value === null ? "" : String(value);
}

function fetchServerAddress(view) {
    var info = view.services.base.getBaseInfo();
    view.state_ = "fetching";
    Http.getData("/v3clientcontrol", { "appName": info.appName, "appVer": info.appVer }, {},
                 function(ok, json) {
        if (!alive(view))
            return;
        if (!ok || !json || typeof json.url !== "object" || json.url === null) {
            view.setStatus("");
            // Asked once; dismissing the message keeps the window, which goes on trying.
            if (!view.addressFailed) {
                view.addressFailed = true;
                view.showMessage("链接服务器失败，\n稍后重试！", function() { view.close(); });
            }
            view.retryServerAddress();
            return;
        }
        if (view.addressFailed) {
            view.addressFailed = false;
            view.popupItem().close();
        }
        view.services.base.setServerAddress(json);
        if (json.url.start_image !== undefined)
            view.services.files.writedFileDefaultPath("start_image.json",
                                                      JSON.stringify(json.url.start_image));
        view.state_ = "ready";
        view.setStatus("");
        view.services.util.updateExe();
    });
}

function login(view, user, password, remember) {
    var info = view.services.base.getBaseInfo();
    view.state_ = "authenticating";
    view.setStatus("请求认证信息，请稍候...");
    var form = {
        "username": user,
        "password": password,
        "pcid": String(view.services.util.getCpuId()),
        "menu": "v2",
        "versionid": info.appVer
    };
    Http.postData(address(view, "login"), form, kFormHeader, function(ok, json) {
        if (!alive(view))
            return;
        if (!ok) {
            fail(view, json);
            return;
        }
        if (!json || json.result !== "true") {
            fail(view, json && json.info ? String(json.info) : "登录失败");
            return;
        }
        Kvst.appendAction(view.db, "LOGIN", info.appVer);
        view.services.base.setLoginInfo(json);
        Kvst.rememberUser(view.db, user,
                          remember ? String(view.services.crypto.encode(password)) : null);
        view.state_ = "synchronising";
        syncWatchlist(view, false);
    });
}

// Back to "ready" with a message; a new login starts the chain again.
function fail(view, message) {
    view.state_ = "ready";
    view.setStatus("");
    view.showMessage(String(message));
}

function syncWatchlist(view, groupsJustCreated) {
    view.setStatus("同步自选股数据，请稍候...");
    var userId = loginValue(view, "user.id");
    Http.getData(address(view, "mystock"), { "user_id": userId, "cmd": "get" }, kJsonHeader,
                 function(ok, json) {
        if (!alive(view))
            return;
        if (!ok) {
            fail(view, json);
            return;
        }
        var empty = json.result === undefined || json.result === null || json.result.length === 0;
        if (json.code === "0000" && empty) {
            // Creating the groups once is enough; an answer still empty after that is an error
            // rather than a reason to ask again for ever.
            if (groupsJustCreated) {
                fail(view, "初始化自选股错误！请重试！");
                return;
            }
            createDefaultGroups(view, userId);
            return;
        }
        if (json.code === "0000")
            view.services.myStock.fromJson(JSON.stringify(json));
        syncDocuments(view, 0);
    });
}

function createDefaultGroups(view, userId) {
    var groups = [];
    for (var i = 1; i <= 10; ++i)
        groups.push({ "cmd": "RENAME", "group_id": i, "group_name": "自选股" + i });
    var url = Http.appendQuery(address(view, "mystock"), { "user_id": userId, "cmd": "update" });
    Http.postData(url, groups, kJsonHeader, function(ok, json) {
        if (!alive(view))
            return;
        if (ok && json && json.code === "0000")
            syncWatchlist(view, true);
        else
            fail(view, "初始化自选股错误！请重试！");
    });
}

// Stock pools arrive as [{group_id, group_name, stocks: [{tradingcode, exchangecode}]}] and are
// kept in the shape of the watchlist document; groups without stocks are left out.
function convertStockPools(answer) {
    var result = [];
    for (var i = 0; i < answer.length; ++i) {
        var group = answer[i];
        var stocks = group.stocks || [];
        if (stocks.length === 0)
            continue;
        var codes = [];
        for (var j = 0; j < stocks.length; ++j)
            codes.push({ "code": String(stocks[j].tradingcode),
                         "market_id": String(stocks[j].exchangecode) });
        result.push({ "group_id": group.group_id, "group_name": group.group_name, "codes": codes });
    }
    return { "code": "0000", "msg": "success", "result": result };
}

var kDocuments = [
    { "name": "formula", "file": "formula.json", "message": "同步数据模型，请稍候...",
      "optional": true, "withUser": true },
    { "name": "stock_pool", "file": "StockPool.json", "message": "更新股票池数据，请稍候...",
      "convert": convertStockPools },
    { "name": "board", "file": "board.json", "message": "更新板块数据，请稍候..." },
    { "name": "stock_rating", "file": "stock_rating.json", "message": "更新评级数据，请稍候..." },
    { "name": "stock_rzrq", "file": "stock_rzrq.json", "message": "更新融券数据，请稍候..." }
];

// Each document is fetched whatever became of the one before; a failed answer writes nothing.
function syncDocuments(view, index) {
    if (index >= kDocuments.length) {
        view.setStatus("");
        view.close();
        return;
    }
    var doc = kDocuments[index];
    var url = address(view, doc.name);
    if (url.length === 0 && doc.optional) {
        syncDocuments(view, index + 1);
        return;
    }
    view.setStatus(doc.message);
    var params = doc.withUser ? { "user_id": loginValue(view, "user.id") } : {};
    Http.getData(url, params, kJsonHeader, function(ok, json, notJson) {
        if (!alive(view))
            return;
        if (ok && !notJson) {
            var content = json;
            if (doc.convert)
                content = Array.isArray(json) ? doc.convert(json) : null;
            if (content !== null)
                view.services.files.writedFileDefaultPath(doc.file, JSON.stringify(content));
        }
        syncDocuments(view, index + 1);
    });
}
