// Notices of the main window: type 2 is the login notice, type 3 the pop-up notices. The last
// notice of each type is kept in "notice_<type>.json" with `pop`, the day the user dismissed it.
.import "http.js" as Http

var kJsonHeader = { "Content-Type": "application/json" };

function fileName(type) {
    return "notice_" + type + ".json";
}

function today() {
    var d = new Date();
    function two(n) { return (n < 10 ? "0" : "") + n; }
    return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate());
}

function readRecord(files, type) {
    var saved = files.readFileDefaultPath(fileName(type));
    if (!saved || saved.length === 0)
        return null;
    try {
        var record = JSON.parse(saved);
        return record !== null && typeof record === "object" && !Array.isArray(record) ? record
                                                                                       : null;
    } catch (e) {
        console.warn(fileName(type), "is not a notice record; starting afresh");
        return null;
    }
}

function writeRecord(files, type, record) {
    files.writedFileDefaultPath(fileName(type), JSON.stringify(record));
}

function requestParams(record, type, appName, day) {
    var params = { "updated_time": record && record.updated_time ? record.updated_time : "",
                   "type": type, "cli_version": appName };
    if (type === 3)
        params.pub_date = record && record.pub_date ? record.pub_date : day;
    return params;
}

// The record after an answer: its last notice, keeping the stored `pop` only when that
// notice is the one already stored. Null when the answer brings nothing new.
function mergeAnswer(record, notices) {
    if (!Array.isArray(notices) || notices.length === 0)
        return null;
    var latest = notices[notices.length - 1];
    var merged = {};
    for (var key in latest)
        merged[key] = latest[key];
    merged.pop = record && record.updated_time === latest.updated_time && record.pop ? record.pop
                                                                                     : "";
    return merged;
}

// Whether a record is still to be shown on `day` ("yyyy-MM-dd" texts compare as dates).
function due(record, day) {
    return record !== null && (!record.pop || String(record.pop) < day);
}

// Asks for the notices of `type`; `show(record, notices)` is called when one is due today.
function request(view, type, show) {
    var record = readRecord(view.services.files, type);
    var day = today();
    var url = String(view.services.base.getServerAddressValue("url.notice") || "");
    if (url.length === 0)
        return;
    var appName = String(view.services.base.getBaseInfo().appName || "");
    Http.getData(url, requestParams(record, type, appName, day), kJsonHeader, function(ok, json) {
        if (!ok || !json || !view.services)
            return;
        var notices = Array.isArray(json.notices) ? json.notices : [];
        var merged = mergeAnswer(record, notices);
        if (merged !== null) {
            writeRecord(view.services.files, type, merged);
            record = merged;
        }
        if (due(record, day))
            show(record, notices.length > 0 ? notices : [record]);
    });
}

// The user dismissed the notice of `type`: not again today.
function dismiss(files, type) {
    var record = readRecord(files, type);
    if (record === null)
        return;
    record.pop = today();
    writeRecord(files, type, record);
}
