// Dated events of the K-line chart's event strip.
.pragma library

// "yyyy-MM-dd" of an event time (seconds since 1970), for the tip's title.
function dateOf(seconds) {
    var d = new Date(Number(seconds) * 1000);
    function two(n) { return n < 10 ? "0" + n : "" + n; }
    return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate());
}
