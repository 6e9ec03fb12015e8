import QtQuick 2.15
import "../common"

// The turning loading mark: an open ring, one turn a second while running.
Canvas {
    id: spinner
    property bool running: false
    width: 24
    height: 24
    visible: running
    onPaint: {
        var ctx = getContext("2d");
        ctx.reset();
        ctx.lineWidth = 3;
        ctx.strokeStyle = Theme.accent;
        ctx.beginPath();
        ctx.arc(width / 2, height / 2, width / 2 - 3, 0, Math.PI * 1.5);
        ctx.stroke();
    }
    RotationAnimator on rotation {
        from: 0
        to: 360
        duration: 1000
        loops: Animation.Infinite
        running: spinner.running && spinner.visible
    }
}
