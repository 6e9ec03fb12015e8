// Parameter rows of the indicator settings: values, minima and maxima are held multiplied by
// 10000 so that a spin box can step them as whole numbers (one unit = 10000).
.pragma library

var kScale = 10000;

function scale(v) {
    return Math.round(Number(v) * kScale);
}

// Rows {name, value, min, max} from the parameter objects of the base service.
function rows(params) {
    var out = [];
    if (!params)
        return out;
    for (var i = 0; i < params.length; ++i) {
        var p = params[i];
        var lo = scale(p.min), hi = scale(p.max);
        if (lo > hi) {
            var t = lo; lo = hi; hi = t;
        }
        out.push({ "name": String(p.name), "value": Math.min(Math.max(scale(p.value), lo), hi),
                   "min": lo, "max": hi });
    }
    return out;
}

// Plain decimal text of a scaled value, at most four decimals, no exponent.
function text(scaled) {
    var s = (Number(scaled) / kScale).toFixed(4);
    if (s.indexOf(".") >= 0)
        s = s.replace(/0+$/, "").replace(/\.$/, "");
    return s === "-0" ? "0" : s;
}

// Whether `t` is a number a user may type: optional sign, digits, at most four decimals.
function acceptable(t) {
    return /^-?\d*(\.\d{0,4})?$/.test(String(t));
}

// The scaled value of typed text, clamped to min … max; `fallback` when it is no number.
function parse(t, min, max, fallback) {
    var s = String(t).trim();
    if (!/^-?(\d+\.?\d*|\.\d+)$/.test(s))
        return fallback;
    var v = scale(Number(s));
    return Math.min(Math.max(v, min), max);
}

// The object handed to QBaseService.setFormulaParam: the row values in row order.
function args(list) {
    var a = [];
    for (var i = 0; i < list.length; ++i)
        a.push({ "value": list[i].value / kScale });
    return { "args": a };
}
