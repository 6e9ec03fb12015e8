import QtQuick 2.15
import "../../common"

// The picture of one drawing tool on the palette, drawn as a small line study of its own kind
// so that it reads the same on every machine, whatever fonts are installed.
Canvas {
    id: icon
    property string kind: ""
    property color ink: Theme.text

    width: 18
    height: 18
    antialiasing: true
    onInkChanged: requestPaint()
    onKindChanged: requestPaint()

    function line(ctx, x1, y1, x2, y2) {
        ctx.beginPath();
        ctx.moveTo(x1, y1);
        ctx.lineTo(x2, y2);
        ctx.stroke();
    }
    function hlines(ctx, ys, x1, x2) {
        for (var i = 0; i < ys.length; ++i)
            line(ctx, x1, ys[i] + 0.5, x2, ys[i] + 0.5);
    }
    function vlines(ctx, xs, y1, y2) {
        for (var i = 0; i < xs.length; ++i)
            line(ctx, xs[i] + 0.5, y1, xs[i] + 0.5, y2);
    }
    function dot(ctx, x, y) {
        ctx.fillRect(x - 1.5, y - 1.5, 3, 3);
    }
    function fan(ctx, ends) {
        for (var i = 0; i < ends.length; ++i)
            line(ctx, 2, 16, ends[i][0], ends[i][1]);
    }
    function arrow(ctx, up) {
        var tip = up ? 2 : 16, base = up ? 9 : 9, tail = up ? 16 : 2;
        ctx.beginPath();
        ctx.moveTo(9, tip);
        ctx.lineTo(15, base);
        ctx.lineTo(11.5, base);
        ctx.lineTo(11.5, tail);
        ctx.lineTo(6.5, tail);
        ctx.lineTo(6.5, base);
        ctx.lineTo(3, base);
        ctx.closePath();
        ctx.fill();
    }

    onPaint: {
        var ctx = getContext("2d");
        ctx.reset();
        ctx.strokeStyle = ink;
        ctx.fillStyle = ink;
        ctx.lineWidth = 1;
        switch (kind) {
        case "CPaintSegment":
            line(ctx, 3, 15, 15, 3); dot(ctx, 3, 15); dot(ctx, 15, 3);
            break;
        case "CPaintLine":
            line(ctx, 0, 18, 18, 0); dot(ctx, 6, 12); dot(ctx, 12, 6);
            break;
        case "CPaintTrendLine":
            line(ctx, 2, 15, 8, 4); line(ctx, 8, 4, 16, 12);
            dot(ctx, 2, 15); dot(ctx, 8, 4); dot(ctx, 16, 12);
            break;
        case "CPaintBandLine":
            hlines(ctx, [3, 9, 15], 2, 16); line(ctx, 2, 15, 16, 3);
            break;
        case "CPaintSpeedBlock":
            fan(ctx, [[16, 2], [16, 7], [16, 11]]);
            break;
        case "CPaintGannLine":
            fan(ctx, [[2, 1], [8, 1], [16, 1], [16, 8], [16, 13]]);
            break;
        case "CPaintGoldenSplit":
            hlines(ctx, [2, 7, 10, 16], 2, 16); line(ctx, 3, 16, 15, 2);
            break;
        case "CPaintGoldenPrice":
            hlines(ctx, [2, 6, 9, 12, 16], 2, 16);
            break;
        case "CPaintGoldenCollect":
            vlines(ctx, [2], 1, 17); hlines(ctx, [4, 9, 14], 2, 16); line(ctx, 2, 16, 16, 2);
            break;
        case "CPaintPercentage":
            hlines(ctx, [2, 5, 9, 12, 16], 2, 16);
            break;
        case "CPaintCycleLine":
            vlines(ctx, [2, 7, 12, 17], 2, 16);
            break;
        case "CPaintFibonacci":
            vlines(ctx, [1, 3, 6, 10, 16], 2, 16);
            break;
        case "CPaintLinerRegression":
            line(ctx, 2, 14, 16, 4); dot(ctx, 4, 10); dot(ctx, 9, 12); dot(ctx, 13, 4);
            break;
        case "CPaintLinerRegressionBand":
            line(ctx, 2, 10, 16, 2); line(ctx, 2, 16, 16, 8); line(ctx, 2, 13, 16, 5);
            break;
        case "CPaintRegressionChannel":
            line(ctx, 1, 9, 17, 1); line(ctx, 1, 17, 17, 9);
            ctx.setLineDash([2, 2]); line(ctx, 1, 13, 17, 5);
            break;
        case "CPaintRect":
            ctx.strokeRect(3.5, 4.5, 11, 9);
            break;
        case "CPaintEllipse":
            ctx.beginPath(); ctx.ellipse(2.5, 3.5, 13, 11); ctx.stroke();
            break;
        case "CPaintArcEllipse":
            ctx.beginPath(); ctx.arc(9, 14, 7, Math.PI, 2 * Math.PI); ctx.stroke();
            break;
        case "CPaintUpArrow":
            ctx.fillStyle = Theme.rise; arrow(ctx, true);
            break;
        case "CPaintDownArrow":
            ctx.fillStyle = Theme.fall; arrow(ctx, false);
            break;
        case "CPaintText":
            ctx.font = "bold 13px sans-serif";
            ctx.textAlign = "center";
            ctx.textBaseline = "middle";
            ctx.fillText("A", 9, 10);
            break;
        case "clear":
            line(ctx, 4, 4, 14, 14); line(ctx, 14, 4, 4, 14);
            break;
        }
    }
}
