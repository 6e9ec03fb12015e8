// The quote view's query: merging route updates, the research-page addresses, the market
// statistics tag of an index, and the ring of securities of the list a view was opened from.
.pragma library

function merge(current, update) {
    var q = {};
    var k;
    for (k in current)
        q[k] = current[k];
    for (k in update)
        q[k] = update[k];
    return q;
}

// Replaces every "{{key}}" by the record's value of that key (keys compared without case),
// percent-encoded so that a name cannot break the address; placeholders of letters and digits
// the record lacks are removed. One pass, so a value that looks like a placeholder stays text.
function fillPlaceholders(template, record) {
    if (!template)
        return "";
    var lower = {};
    for (var k in record)
        lower[String(k).toLowerCase()] = record[k];
    return String(template).replace(/\{\{([^{}]*)\}\}/g, function(whole, key) {
        var value = lower[key.toLowerCase()];
        if (value !== undefined && value !== null)
            return encodeURIComponent(String(value));
        return /^[A-Za-z0-9]+$/.test(key) ? "" : whole;
    });
}

// Which market totals an index view shows.
function statsTag(code, market) {
    if (code === "1A0001")
        return "SH";
    if (code === "399001")
        return "SZ";
    if (code === "399006")
        return "CY";
    if (Number(market) === 1)
        return "SH";
    if (Number(market) === 2)
        return "SZ";
    return "HS";
}

// The list context a view was opened with ("json", percent-encoded), asked again for the whole
// list: code and sort field only, first page, up to 9999 rows. null when it is not usable.
function listContext(encoded) {
    if (!encoded)
        return null;
    var ctx = null;
    try {
        ctx = JSON.parse(decodeURIComponent(encoded));
    } catch (e) {
        return null;
    }
    if (ctx === null || typeof ctx !== "object" || Array.isArray(ctx))
        return null;
    var sortField = ctx.sort_ && ctx.sort_.field !== undefined ? Number(ctx.sort_.field) : 0;
    ctx.fields_ = [0, isFinite(sortField) ? sortField : 0];
    ctx.page_ = { "no": 0, "length": 9999 };
    return ctx;
}

function ringIndex(list, code, market) {
    for (var i = 0; i < list.length; ++i)
        if (list[i].code === code && Number(list[i].market) === Number(market))
            return i;
    return -1;
}

// The neighbour of a security in the ring (step −1 previous, +1 next), wrapping at both ends.
// A security the list does not hold starts from the list's first entry. null for an empty ring.
function neighbour(list, code, market, step) {
    if (!list || list.length === 0)
        return null;
    var i = ringIndex(list, code, market);
    if (i < 0)
        return list[0];
    var n = list.length;
    return list[((i + step) % n + n) % n];
}
