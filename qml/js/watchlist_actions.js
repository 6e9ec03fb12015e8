// Watchlist edits made from the views: each changes the in-memory watchlist and queues the
// matching command rows for the server, which the main window's synchroniser sends.
.import "background_sync.js" as Sync

function text(value) {
    return value === undefined || value === null ? "" : String(value);
}

// Adds, moves or removes one security, as the menu routes name it: `active` "add" puts it at
// the front of group `groupId`; "move" takes it out of its own group first (moving it to its
// own group puts it first there); "del" only takes it out. Answers whether anything changed.
function apply(myStock, db, active, groupId, code, market) {
    code = text(code);
    market = Number(market);
    if (code.length === 0 || !isFinite(market))
        return false;
    var changed = false;
    if (active === "del" || active === "move") {
        var current = myStock.getGroup(code, market);
        if (current) {
            Sync.queueWatchlistCommand(db, "DELETE", code, market, current.group_id,
                                       current.group_name);
            myStock.removeStock(code, market);
            changed = true;
        }
    }
    if (active === "add" || active === "move") {
        var index = myStock.getGroupIndex(text(groupId));
        if (index >= 0 && !myStock.isExist(code, market)) {
            var group = myStock.getJson().result[index];
            myStock.addStock(index, code, market);
            Sync.queueWatchlistCommand(db, "ADD", code, market, group.group_id, group.group_name);
            changed = true;
        }
    }
    return changed;
}

// Renames group `index`; the server learns it from a "RENAME" row. Answers the group id, or
// undefined when there is no such group or the name is blank.
function rename(myStock, db, index, name) {
    name = text(name).trim();
    if (name.length === 0)
        return undefined;
    var id = myStock.renameGroup(index, name);
    if (id === undefined || id === null)
        return undefined;
    Sync.queueWatchlistCommand(db, "RENAME", "000000", 0, id, name);
    return id;
}

// The groups of the watchlist as {id, name}, in document order.
function groups(myStock) {
    var result = myStock.getJson().result;
    var out = [];
    if (!Array.isArray(result))
        return out;
    for (var i = 0; i < result.length; ++i) {
        var g = result[i] || {};
        out.push({ "id": typeof g.group_id === "string" ? g.group_id : "",
                   "name": text(g.group_name) });
    }
    return out;
}
