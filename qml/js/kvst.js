// The terminal's local database: saved login, outgoing command queues, security dictionary.
.import QtQuick.LocalStorage 2.15 as Storage
.import "presets.js" as Presets

function open() {
    return Storage.LocalStorage.openDatabaseSync("kvst", "", "stock db", 100000);
}

// The dictionary table as the quote side creates it; created here too, so the command rows
// can be written before the first code list ever arrived.
var kDictionaryTable = "CREATE TABLE IF NOT EXISTS StockDictionary   (code  TEXT(16) NOT NULL,  "
        + "market  INTEGER,  name TEXT,  type  INTEGER,  pinyin TEXT,  active  TEXT,  "
        + "PRIMARY KEY (code, market))";

function createTables(db) {
    db.transaction(function(tx) {
        tx.executeSql("CREATE TABLE IF NOT EXISTS user_info (user_name text primary key not null, "
                      + "user_password text)");
        tx.executeSql("CREATE TABLE IF NOT EXISTS mystock_cmd (id integer primary key autoincrement, "
                      + "cmd text not null, code text not null, market integer not null, "
                      + "group_id text not null, group_name text)");
        tx.executeSql("CREATE TABLE IF NOT EXISTS action_cmd (id integer primary key autoincrement, "
                      + "do_action text not null, remark text not null, create_time text not null)");
        tx.executeSql(kDictionaryTable);
    });
}

function writePresetCommands(db) {
    var rows = Presets.rows();
    db.transaction(function(tx) {
        for (var i = 0; i < rows.length; ++i) {
            var r = rows[i];
            tx.executeSql("Replace INTO StockDictionary (code, market, name, type, pinyin, active) "
                          + "VALUES (?, 0, ?, 0, ?, ?)", [r.code, r.name, r.pinyin, r.active]);
        }
    });
}

function firstUser(db) {
    var user = null;
    db.readTransaction(function(tx) {
        var rs = tx.executeSql("SELECT user_name, user_password FROM user_info LIMIT 1");
        if (rs.rows.length > 0)
            user = { "name": rs.rows.item(0).user_name, "password": rs.rows.item(0).user_password };
    });
    return user;
}

// Keeps only this user (with the enciphered password), or no one when `encoded` is null.
function rememberUser(db, name, encoded) {
    db.transaction(function(tx) {
        tx.executeSql("DELETE FROM user_info");
        if (encoded !== null)
            tx.executeSql("INSERT INTO user_info (user_name, user_password) VALUES (?, ?)",
                          [name, encoded]);
    });
}

function formatNow() {
    var d = new Date();
    function two(n) { return (n < 10 ? "0" : "") + n; }
    return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate()) + " "
            + two(d.getHours()) + ":" + two(d.getMinutes()) + ":" + two(d.getSeconds());
}

function appendAction(db, action, remark) {
    db.transaction(function(tx) {
        tx.executeSql("INSERT INTO action_cmd (do_action, remark, create_time) VALUES (?, ?, ?)",
                      [action, remark, formatNow()]);
    });
}

// The dictionary row of one security (code and market as bound values), or null.
function findSecurity(db, code, market) {
    var row = null;
    db.readTransaction(function(tx) {
        var rs = tx.executeSql("SELECT code, market, name, type, pinyin, active FROM StockDictionary "
                               + "WHERE code = ? AND market = ? LIMIT 1", [String(code), Number(market)]);
        if (rs.rows.length > 0)
            row = rs.rows.item(0);
    });
    return row;
}
