// The keyboard search over the security dictionary.
.pragma library

var kMaxRows = 100;
var kTypeNames = ["指令", "指数", "股票", "基金", "债券", "权证"];

function typeName(type) {
    var t = Number(type);
    return t >= 0 && t < kTypeNames.length && Math.floor(t) === t ? kTypeNames[t] : "未知";
}

// The text as a LIKE pattern that matches it literally anywhere: "%" and "_" typed by the
// user are characters to find, not wildcards.
function containsPattern(text) {
    return "%" + String(text).replace(/[\\%_]/g, function(c) { return "\\" + c; }) + "%";
}

var kQuery = "SELECT code, market, name, type, pinyin, active FROM StockDictionary "
        + "WHERE (code LIKE ? ESCAPE '\\' OR pinyin LIKE ? ESCAPE '\\') "
        + "AND market IN (0, 1, 2, 20) "
        + "ORDER BY type, market, length(code), code LIMIT " + kMaxRows;

// Rows whose code or pinyin holds `text`; the text is only ever a bound value.
function find(db, text) {
    var rows = [];
    if (!db || text === undefined || text === null || String(text).length === 0)
        return rows;
    db.readTransaction(function(tx) {
        var pattern = containsPattern(text);
        var rs = tx.executeSql(kQuery, [pattern, pattern]);
        for (var i = 0; i < rs.rows.length; ++i) {
            var r = rs.rows.item(i);
            rows.push({ "code": r.code, "market": r.market, "name": r.name, "type": r.type,
                        "typeName": typeName(r.type), "pinyin": r.pinyin || "",
                        "active": r.active || "" });
        }
    });
    return rows;
}

// A key that opens the search: a digit or a Latin letter without a modifier but Shift.
function opensSearch(text, modifiers) {
    if (modifiers & (Qt.ControlModifier | Qt.AltModifier | Qt.MetaModifier))
        return false;
    return /^[0-9A-Za-z]$/.test(text);
}
