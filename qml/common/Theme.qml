pragma Singleton
import QtQuick 2.15

// Colours, fonts and sizes every view shares, so that no view repeats a literal.
QtObject {
    // Surfaces
    readonly property color background: "#14161B"
    readonly property color chartBackground: "#191B1F"
    readonly property color panelBackground: "#1C1F26"
    readonly property color headerBackground: "#22262E"
    readonly property color selection: "#2C3E5C"
    readonly property color border: "#2A2F36"
    readonly property color gridLine: "#2A2F36"
    readonly property color splitHandle: "#30353E"
    readonly property color chartFill: "#FF191B1F"

    // Dialog windows
    readonly property color dialogBody: "#2C2C2C"
    readonly property color dialogBorder: "#335493"
    readonly property color dialogHeader: "#383838"
    readonly property color dialogField: "#1E1E1E"
    readonly property color buttonFill: "#FF8000"
    readonly property color buttonHover: "#0080FF"
    readonly property color overlayPanel: "#282C33"
    readonly property color overlayTitle: "#767D87"
    readonly property color panelSelected: "#4586FF"

    // Text
    readonly property color text: "#FFFFFF"
    readonly property color textDim: "#969DB3"
    readonly property color textMuted: "#5E6573"
    readonly property color accent: "#1A98FC"
    readonly property color highlight: "#FFE10B"

    // Prices against the previous close
    readonly property color rise: "#FF3D3D"
    readonly property color fall: "#0FC351"
    readonly property color flat: "#FFFFFF"

    // Crosshair
    readonly property color crosshairLine: "#969DB3"
    readonly property color crosshairLabel: "#464D59"

    // Server state
    readonly property color connected: "#5AC478"
    readonly property color disconnected: "#EB2832"

    // Quick-bar text colours by item style 0..3
    readonly property var quickBarColors: ["#FFE10B", "#FF3900", "#00F4FF", "#E0BD80"]

    // Fonts: the names views use; the terminal maps them to an installed CJK font.
    readonly property string fontFamily: "Microsoft YaHei"
    readonly property string fontFamilySong: "宋体"
    readonly property int fontSmall: 12
    readonly property int fontNormal: 13
    readonly property int fontLarge: 16

    // Text of the dialog windows
    readonly property int dialogFontSize: 14

    // Main window frame
    readonly property color frameBar: "#1A1D23"
    readonly property color frameLine: "#2E333C"
    readonly property color menuText: "#D5D9E0"
    readonly property color menuHover: "#2C3E5C"
    readonly property color tabActive: "#2B313B"
    readonly property color tabActiveLine: "#1A98FC"
    readonly property color tabText: "#AEB4C2"
    readonly property color popupBackground: "#20242C"

    // Sizes
    readonly property int titleBarHeight: 32
    readonly property int tabBarHeight: 28
    readonly property int quickBarHeight: 26
    readonly property int statusBarHeight: 24
    readonly property int chartTitleHeight: 20
    readonly property int timeBarHeight: 20
    readonly property int sidePanelWidth: 280
    readonly property int rowHeight: 24

    // Quote tables
    readonly property color tableBackground: "#22272E"
    readonly property color tableRow: "#191B1F"
    readonly property color tableRowSelected: "#FF22304C"
    readonly property color tableRowHover: "#802F2F2F"
    readonly property color tableHeaderText: "#93979D"
    readonly property int tableRowHeight: 26
    readonly property int tableHeaderHeight: 25
    readonly property int tableFlashMs: 1000
    // Column widths by model column; every further column is tableColumnWidth wide.
    readonly property var tableColumnWidths: [80, 100, 80, 85, 85, 95, 95]
    readonly property int tableColumnWidth: 85
    // Rankings: a narrow row number, then code and name.
    readonly property var rankingColumnWidths: [45, 80, 100, 80, 85, 85, 95, 95]

    // Composite ranking: nine small rankings on black, each under a title strip; the five
    // columns of a table share its width in these proportions.
    readonly property color monitorBackground: "#000000"
    readonly property color monitorTitle: "#2A2D36"
    readonly property int monitorTitleHeight: 25
    readonly property int monitorTitleFont: 14
    readonly property var monitorColumnShares: [44, 64, 100, 69, 69]

    // Quote panel
    readonly property color volume: "#F58F22"
    readonly property color turnover: "#1A98FC"
    readonly property color marginMark: "#FF8000"
    readonly property color marketMark: "#FF0000"
    readonly property color panelLabel: "#AEB4C2"
    readonly property int panelRowHeight: 22
    // Market-breadth rows: the market's name beside each band.
    readonly property color breadthName: "#92979D"
}
