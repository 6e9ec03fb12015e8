// The views' HTTP functions: one request object per call, exactly one callback per request.
.import Network 1.0 as Network

var kRequestError = "数据请求错误，请重试！";
var kTimeout = "请求数据超时";
var kDefaultTimeout = 15000;

// Requests in flight, kept referenced until they answer.
var pending = [];

// "k=v&k2=v2" in the map's own key order. Keys and values are percent-encoded, so a value
// holding "&" or "=" (a password, say) arrives as typed.
function formatQuery(map) {
    var parts = [];
    for (var key in map) {
        parts.push(encodeURIComponent(key) + "=" + encodeURIComponent(String(map[key])));
    }
    return parts.join("&");
}

function appendQuery(url, params) {
    var query = formatQuery(params || {});
    if (query.length === 0)
        return url;
    return url + (url.indexOf("?") < 0 ? "?" : "&") + query;
}

function hasJsonHeader(headers) {
    for (var key in headers) {
        if (headers[key] === "application/json")
            return true;
    }
    return false;
}

function run(method, url, body, headers, callback, timeout) {
    var req = Network.HttpRequestFactory.create();
    pending.push(req);
    var done = function() {
        req.finished.disconnect(onFinished);
        req.error.disconnect(onError);
        req.timeout.disconnect(onTimeout);
        var index = pending.indexOf(req);
        if (index >= 0)
            pending.splice(index, 1);
    };
    var answer = function(ok, value, notJson) {
        if (callback)
            callback(ok, value, !!notJson);
    };
    var onFinished = function() {
        done();
        if (req.status !== 200) {
            answer(false, kRequestError);
            return;
        }
        var text = req.responseText;
        var json;
        try {
            json = JSON.parse(text);
        } catch (e) {
            // The third argument tells a body that was not JSON from a JSON answer that
            // happens to carry a "msg" member.
            answer(true, { "msg": text }, true);
            return;
        }
        answer(true, json);
    };
    var onError = function() {
        // A time-out aborts the reply first (which fails it as cancelled) and then reports
        // the time-out: leave the answer to the time-out handler.
        if (req.status === Network.HttpRequest.OperationCanceledError)
            return;
        done();
        answer(false, kRequestError);
    };
    var onTimeout = function() {
        done();
        answer(false, kTimeout);
    };
    req.finished.connect(onFinished);
    req.error.connect(onError);
    req.timeout.connect(onTimeout);

    req.open(method, url);
    req.setTimeout(timeout === undefined || timeout === null ? kDefaultTimeout : timeout);
    if (headers)
        req.setRequestHeader(headers);
    req.send(body);
}

function getData(url, params, headers, callback, timeout) {
    run("GET", appendQuery(url, params), "", headers, callback, timeout);
}

function postData(url, params, headers, callback, timeout) {
    var body = hasJsonHeader(headers || {}) ? JSON.stringify(params) : formatQuery(params || {});
    run("POST", url, body, headers, callback, timeout);
}
