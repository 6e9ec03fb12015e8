// The main window's background synchroniser: queued watchlist commands and then the server's
// watchlist on every tick, the heartbeat and the queued usage records on every sixth.
//
// `view` is the main window; it provides `services` (base, util, myStock), `db`,
// heartbeatAnswered(ok, json) for the verdict on each heartbeat and watchlistChanged() for a
// watchlist that changed on the server.
.import "http.js" as Http

var kJsonHeader = { "Content-Type": "application/json" };
var kHeartbeatEvery = 6;
var kMaxHeartbeatFailures = 10;
var kAuthFailed = "连接认证系统失败，点击确定退出！";

function text(value) {
    return value === undefined || value === null ? "" : String(value);
}

function address(view, name) {
    return text(view.services.base.getServerAddressValue("url." + name));
}

function loginValue(view, path) {
    return text(view.services.base.getLoginValue(path));
}

// Reads and empties a queue table in one transaction, so a row is sent exactly once even
// when the send fails.
function takeRows(db, table) {
    var rows = [];
    db.transaction(function(tx) {
        var rs = tx.executeSql("SELECT * FROM " + table + " ORDER BY id");
        for (var i = 0; i < rs.rows.length; ++i)
            rows.push(rs.rows.item(i));
        if (rows.length > 0)
            tx.executeSql("DELETE FROM " + table + " WHERE id <= ?", [rows[rows.length - 1].id]);
    });
    return rows;
}

function queueWatchlistCommand(db, cmd, code, market, groupId, groupName) {
    db.transaction(function(tx) {
        tx.executeSql("INSERT INTO mystock_cmd (cmd, code, market, group_id, group_name) "
                      + "VALUES (?, ?, ?, ?, ?)",
                      [cmd, String(code), Number(market), text(groupId), text(groupName)]);
    });
}

// Sends the queued watchlist commands; `done(ok)`, when given, is called once the send
// answered (or at once, later in the event loop, when nothing was queued).
function sendWatchlistCommands(view, done, timeout) {
    var rows = takeRows(view.db, "mystock_cmd");
    if (rows.length === 0) {
        if (done)
            Qt.callLater(done, true);
        return 0;
    }
    var body = [];
    for (var i = 0; i < rows.length; ++i) {
        body.push({ "cmd": rows[i].cmd,
                    "code": { "code": rows[i].code, "market_id": String(rows[i].market) },
                    "group_id": rows[i].group_id, "group_name": rows[i].group_name });
    }
    var url = Http.appendQuery(address(view, "mystock"),
                               { "user_id": loginValue(view, "user.id"), "cmd": "update" });
    Http.postData(url, body, kJsonHeader, done ? function(ok) { done(ok); } : null, timeout);
    return rows.length;
}

// The highest command id ever queued: a local edit since a moment shows as a higher one.
function lastQueuedId(db) {
    var seq = 0;
    try {
        db.readTransaction(function(tx) {
            var rs = tx.executeSql("SELECT seq FROM sqlite_sequence WHERE name = 'mystock_cmd'");
            if (rs.rows.length > 0)
                seq = Number(rs.rows.item(0).seq);
        });
    } catch (e) {
        // No command was ever queued: the sequence table does not exist yet.
    }
    return seq;
}

function pendingCommands(db) {
    var n = 0;
    db.readTransaction(function(tx) {
        n = Number(tx.executeSql("SELECT COUNT(*) AS n FROM mystock_cmd").rows.item(0).n);
    });
    return n;
}

// Takes the server's watchlist when it differs from the one held: groups or securities
// edited by another terminal of the same user then show here too. An answer is dropped when
// a local edit was queued after the question went out or is still waiting to be sent, since
// the server did not know it yet; the next round asks again. `view.watchlistChanged()` is
// called after the watchlist was replaced; `done(replaced)` when given, in every case.
function refreshWatchlist(view, done) {
    var myStock = view.services.myStock;
    var since = lastQueuedId(view.db);
    Http.getData(address(view, "mystock"), { "user_id": loginValue(view, "user.id"), "cmd": "get" },
                 kJsonHeader, function(ok, json) {
        var replaced = false;
        if (ok && json && json.code === "0000" && Array.isArray(json.result)
                && lastQueuedId(view.db) === since && pendingCommands(view.db) === 0) {
            var held = myStock.getJson().result;
            if (JSON.stringify(held === undefined ? null : held) !== JSON.stringify(json.result)) {
                myStock.fromJson(JSON.stringify(json));
                replaced = true;
                view.watchlistChanged();
            }
        }
        if (done)
            done(replaced);
    });
}

function sendUsageRecords(view) {
    var rows = takeRows(view.db, "action_cmd");
    if (rows.length === 0)
        return 0;
    var body = [];
    for (var i = 0; i < rows.length; ++i) {
        body.push({ "do_action": rows[i].do_action, "remark": rows[i].remark,
                    "create_time": rows[i].create_time });
    }
    var url = Http.appendQuery(address(view, "user_action"),
                               { "user_id": loginValue(view, "user.sid") });
    Http.postData(url, body, kJsonHeader, null);
    return rows.length;
}

function sendHeartbeat(view) {
    Http.getData(address(view, "heartbeat"),
                 { "user_id": loginValue(view, "user.sid"),
                   "pcid": text(view.services.util.getCpuId()) },
                 kJsonHeader, function(ok, json) { view.heartbeatAnswered(ok, json); });
}

// What one heartbeat answer means, given the failures counted before it: the new count,
// whether the synchroniser stops, and the message to show when it does.
function heartbeatVerdict(failures, ok, json) {
    if (!ok) {
        var count = failures + 1;
        return { "failures": count, "stop": count >= kMaxHeartbeatFailures,
                 "message": count >= kMaxHeartbeatFailures ? kAuthFailed : "" };
    }
    if (json && json.result === "false")
        return { "failures": 0, "stop": true, "message": text(json.msg) };
    return { "failures": 0, "stop": false, "message": "" };
}

// One tick of the timer; `tick` counts from 1.
function onTick(view, tick) {
    sendWatchlistCommands(view, function(sent) {
        if (sent && view.services.myStock)
            refreshWatchlist(view);
    });
    if (tick % kHeartbeatEvery === 0) {
        sendHeartbeat(view);
        sendUsageRecords(view);
    }
}
