// The nine-chart view's list query and its cell selection: moving by cells and rows, and
// paging when the selection leaves the page.
.pragma library

var kCells = 9;
var kColumns = 3;

// The list context a table handed on ("json", as text or percent-encoded) made into the view's
// request: code and sort field, its first row moved on by `row`, nine rows. null when the
// text is not a context.
function pageContext(encoded, row) {
    if (encoded === undefined || encoded === null || String(encoded).length === 0)
        return null;
    // Routes hand their values over decoded already; a query merged in by a caller may
    // still carry the percent-encoded text.
    var ctx = null;
    var text = String(encoded);
    try {
        ctx = JSON.parse(text);
    } catch (e) {
        try {
            ctx = JSON.parse(decodeURIComponent(text));
        } catch (e2) {
            return null;
        }
    }
    if (ctx === null || typeof ctx !== "object" || Array.isArray(ctx))
        return null;
    var sortField = ctx.sort_ && ctx.sort_.field !== undefined ? Number(ctx.sort_.field) : 0;
    ctx.fields_ = [0, isFinite(sortField) ? sortField : 0];
    var page = ctx.page_ && typeof ctx.page_ === "object" ? ctx.page_ : {};
    var first = Number(page.no);
    var add = Number(row);
    first = (isFinite(first) && first > 0 ? Math.floor(first) : 0)
            + (isFinite(add) && add > 0 ? Math.floor(add) : 0);
    ctx.page_ = { "no": first, "length": kCells };
    return ctx;
}

// Where a move of `delta` cells from `selected` leads on a page of `filled` cells:
// {select, page}: page −1 before the first cell, +1 past the last (`select` is then the
// cell on the next page), 0 on the page (`select` kept within the filled cells). With no selection the first cell is chosen.
function move(selected, delta, filled) {
    if (selected < 0 || filled <= 0)
        return { "select": filled > 0 ? 0 : -1, "page": 0 };
    var target = selected + delta;
    if (target < 0)
        return { "select": target + kCells, "page": -1 };
    if (target >= kCells)
        return { "select": target - kCells, "page": 1 };
    // A short page is the list's last: its empty cells cannot be chosen.
    return { "select": Math.min(target, filled - 1), "page": 0 };
}

// The delta of a key, or 0 for keys that do not move the selection.
function deltaOf(key, keys) {
    if (key === keys.left)
        return -1;
    if (key === keys.right)
        return 1;
    if (key === keys.up)
        return -kColumns;
    if (key === keys.down)
        return kColumns;
    return 0;
}

// The title of a cell: name with the code in parentheses, or nothing.
function cellTitle(row) {
    if (!row || !row.code)
        return "";
    return (row.name ? row.name : "") + "(" + row.code + ")";
}
