// The chart item: bar series of a security and its overlays, the formulas evaluated over them
// on the chart's own VM, the visible window, pane geometry and the pixel mapping, the crosshair
// and the interval statistics. Layer images (FChart) and title strips (TitleBar) are child items
// the chart drives; axes, crosshair and the drawing board (interval band included) are painted
// by the item itself.
#ifndef VQ_CHART_QCHART_H
#define VQ_CHART_QCHART_H

#include "chart/bar_columns.h"
#include "chart/ctx_data.h"
#include "chart/kdata.h"
#include "chart/shown_painted_item.h"
#include "libformula/fml.h"
#include "libquote/quote.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace formula {
class Formula;
class FormulaService;
}  // namespace formula

namespace chart {
class LayerView;
class TitleView;
}  // namespace chart

class QDividendProcesser;
class CPaintBoard;
class CPaintFullRect;

class QChart : public ShownPaintedItem {
    Q_OBJECT
public:
    explicit QChart(QQuickItem* parent = nullptr);
    ~QChart() override;

    // The registry formulas are looked up in; the process-wide one unless a caller (a test or a
    // tool with a registry of its own) hands another. Not owned.
    void setFormulaService(formula::FormulaService* service);
    formula::FormulaService* formulaService() const { return registry_; }
    int vm() const { return vm_; }

    // ---- wiring ----
    Q_INVOKABLE void bindDataSignal(QObject* obj, int maxIndex);
    Q_INVOKABLE void bindSyncDataSignal(QObject* obj, int maxIndex);
    Q_INVOKABLE void setKData(QChart* aChart, uint index);
    QDividendProcesser* dividendProcesser() const { return processer_; }

    // ---- queries ----
    Q_INVOKABLE int getKLineCount() const { return int(series_.size()); }
    Q_INVOKABLE int getFirstKLineSize() const;
    Q_INVOKABLE int getPointCount(int index) const;
    std::vector<KData>* getKData(uint index) const;
    const KData* getPosKData(int pos) const;
    CTXData* getCTXData(uint index) const;
    CTXLayer* getLayer(uint index) const;
    int getLayerCount() const { return int(layers_.size()); }

    Q_INVOKABLE int getBegin() const { return begin_; }
    Q_INVOKABLE int getEnd() const { return end_; }
    Q_INVOKABLE int getkShowNumber() const { return kShowNumber_; }
    Q_INVOKABLE int getCrosshairPos() const { return crosshair_; }
    Q_INVOKABLE int getMousePosX() const { return mouseX_; }
    Q_INVOKABLE int getMousePosY() const { return mouseY_; }
    Q_INVOKABLE int getCycle() const { return cycle_; }
    Q_INVOKABLE QString getLineType() const { return lineType_; }
    Q_INVOKABLE QString getDividendCmd() const { return dividendCmd_; }
    Q_INVOKABLE int getDecimal() const;
    Q_INVOKABLE QString getMainName() const;
    Q_INVOKABLE bool getShowCrosshairLine() const { return showCrosshair_; }

    Q_INVOKABLE int getXPoint(double x) const;
    Q_INVOKABLE int getPointX(double x) const;
    Q_INVOKABLE double getYPoint(int y) const;
    Q_INVOKABLE int getPointY(double y) const;

    Q_INVOKABLE QString getPosDataS(int x_pos, QString tag) const;
    Q_INVOKABLE QString getPosDataS(QString tag) const { return getPosDataS(crosshair_, tag); }
    Q_INVOKABLE float getPosDataF(int x_pos, QString tag) const;
    Q_INVOKABLE float getPosDataF(QString tag) const { return getPosDataF(crosshair_, tag); }
    Q_INVOKABLE uint getPosTime(int x) const;
    Q_INVOKABLE uint getCurPosTime() const { return getPosTime(crosshair_); }
    Q_INVOKABLE QList<int> getTimeBarTime(int n) const;
    Q_INVOKABLE QString getPosTitle(int x) const;

    // ---- window ----
    Q_INVOKABLE void setkShowNumber(int n, bool reset = true);
    Q_INVOKABLE void updateReCalcShow(int begin, int end, int showNumber, int x_pos);
    Q_INVOKABLE void resetBeginEndState(bool b = true) { resetWindow_ = b; }
    Q_INVOKABLE void setCycle(int aCycle) { cycle_ = aCycle; }
    Q_INVOKABLE void setLineType(QString aType) { lineType_ = aType; }
    Q_INVOKABLE void setDividendCmd(QString cmd) { dividendCmd_ = cmd; }
    // Quote blocks carry no security record: the views name the security (and its decimals)
    // of a series here. Without it the chart asks the bound data model for "code", "market"
    // and "decimal", and prints prices with two decimals.
    Q_INVOKABLE void setSecurity(uint index, QString code, int market, int decimal);

    // ---- formulas ----
    Q_INVOKABLE QVariant getFormulas() const;
    Q_INVOKABLE void appendFormula(uint index, QString name, QString scales, QString crosshair,
                                   uint make_color = 0);
    Q_INVOKABLE bool removeFormula(int vIndex, int aIndex);
    Q_INVOKABLE void clearFormula(bool bSaveFirst = false);
    Q_INVOKABLE void clearFormula(QString name);
    Q_INVOKABLE void clearFormulaOther(QString name);
    Q_INVOKABLE void replaceFormula(QString oName, QString nName);
    Q_INVOKABLE void replaceFormula(QString nName);
    Q_INVOKABLE void reLoadFormula();
    // Formula instance behind a record, null when none.
    std::shared_ptr<formula::Formula> formulaOf(const CTXData& d) const;

    // Layout recomputation: evaluation, geometry and ranges, then the layer images.
    void recalculate();

    // ---- interaction ----
    Q_INVOKABLE void updateMousePoint(QChart* src, double x, double y);
    Q_INVOKABLE void updateCrosshairPos(int x_pos);
    Q_INVOKABLE bool changeShowCrosshairLine();
    Q_INVOKABLE void setShowCrosshairLine(bool show);
    Q_INVOKABLE void updateTitleBarCTXData(int bar);
    // Keyboard zoom of a K-line chart: Up shows two thirds of the bars (at least 8), Down half
    // as many again and asks for more history.
    Q_INVOKABLE void zoomIn();
    Q_INVOKABLE void zoomOut();

    // ---- interval statistics ----
    Q_INVOKABLE void startIS();
    Q_INVOKABLE void clearIS();
    Q_INVOKABLE bool isISActive() const { return isSelecting_; }
    Q_INVOKABLE void setISStartEnd(QString asStart, QString asEnd);
    Q_INVOKABLE void setISStartEndIndex(int anStart, int anEnd);
    Q_INVOKABLE int getISStart() const { return isStart_; }
    Q_INVOKABLE int getISEnd() const { return isEnd_; }
    // The statistics document of bars anStart .. anEnd; empty when there is nothing to measure.
    QJsonObject intervalStatistics(int anStart, int anEnd) const;

    // ---- drawing board (qchart_paint_board.cpp) ----
    Q_INVOKABLE void setPaintBoardQChart(QString className);
    Q_INVOKABLE bool onLButtonDown(uint nFlags, int x, int y);
    Q_INVOKABLE bool onLButtonUp(uint nFlags, int x, int y);
    Q_INVOKABLE bool onLButtonLeave(uint nFlags, int x, int y);
    Q_INVOKABLE bool onRButtonDown(uint nFlags, int x, int y);
    Q_INVOKABLE bool onMousePaintBoard(uint type, int x, int y);
    Q_INVOKABLE void setStyleCommand(int a_index, int c);
    Q_INVOKABLE void setPaintBoardEditText(uint editP, QString text, QString color, QString font);
    Q_INVOKABLE void setPaintBoardActive(bool b);
    Q_INVOKABLE void parsePaintData(QString code, int market, int cycle);
    Q_INVOKABLE bool savePaintData(QString code, int market, int cycle);
    // The drawings on the chart as they would be saved.
    Q_INVOKABLE QString getPaintData() const;
    CPaintBoard* paintBoard() const { return paintBoard_; }

    void paint(QPainter* painter) override;

public slots:
    void onUpdateKLine(QuoteKPoints* k, int index);
    void onSyncUpdateKLine(QuoteKPoints* k, int index);
    void onUpdateMinute(QuoteMinPoints* m, int index);
    void onSyncUpdateMinute(QuoteMinPoints* m, int index);
    void onUpdateDividend(QuoteDividendPoints* div);
    void onProcesserQuoteKPoint(QuoteCodeInfo* codeInfo, QuoteKPoint* kpoint, int length);
    void onPaintComplete(void* p);
    void onWidthChanged();
    void onHeightChanged();

signals:
    void dataUpdate();
    void syncUpdateKData();
    void syncUpdateKLine(QuoteKPoints* k, int index);
    void syncUpdateMinute(QuoteMinPoints* m, int index);
    void syncUpdateDividend(QJsonObject json);
    void reCalcShow(int begin, int end, int showNumber, int x_pos);
    void crosshairChange(QChart* src, int x, int y);
    void mousePointChange(QChart* src, int x, int y);
    void doubleClicked(QChart* src, int x, int y);
    void clicked(QChart* src);
    void showIntervalStatistics(QJsonObject json);
    void loadMoreKLine();
    void showPaintBoardMenu(QObject* self, QString type, int x, int y);
    void showTextDlg(QObject* self, QVariant editP, QVariant text, QVariant color,
                     QVariant font_str);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Storing blocks (qchart_data.cpp).
    // Returns the series index the bars went to.
    int storeSeries(int index, KSeries&& bars, bool replaceWhole, bool kline,
                    const QuoteCodeInfo& security);
    void realignOverlays(int from);
    void bindLayer(int index);
    QuoteCodeInfo securityFor(int index) const;
    void placeWindowAfterKLine(int oldCount, uint32_t oldFirst);
    void placeWindowAfterMinute(bool alwaysMoveCrosshair);

    // Layout (qchart_layout.cpp).
    void layoutGeometry(CTXData& d) const;
    // Value range over the window; false when no output had a value there.
    bool computeRange(CTXData& d, int layer) const;
    void alignPercentages(const std::vector<std::vector<char>>& widened);
    void pushLayersToViews();
    std::vector<chart::LayerView*> layerViews() const;
    std::vector<chart::TitleView*> titleViews() const;

    // Evaluation (qchart_formula.cpp).
    void evaluateLayers();
    static int dataNames(void* user, int ctx, fml_arg h, const char* name);
    static int dynainfo(void* user, fml_call* call);
    // A named VM series of a record, one float per bar; null when missing or too short.
    const float* namedSeries(const CTXData& d, const char* name) const;
    bool replaceInstance(CTXData& d, const QString& nName);
    void eraseSeries(int index);
    void destroyLayerItem(int index);

    // Interaction (qchart_interaction.cpp).
    int barAtPixel(double x) const;
    void refreshAfterWindowChange();

    // Drawing-tool layer; draws nothing until a drawing board is attached.
    void paintDrawingTools(QPainter* painter, const CTXData& main);
    void initPaintBoard();
    // Restores the drawings of series 0's security and cycle after a K-line block.
    void loadDrawingsOfSeries0();
    // Keeps the interval indices in step with the band while it is dragged out.
    void followISBand();
    // Puts the band on the bars of the last computed interval.
    void placeISBand();
    CPaintBoard* paintBoard_ = nullptr;

    formula::FormulaService* registry_;
    int vm_ = 0;
    KSeries* currentSeries_ = nullptr;  // the series being evaluated; DYNAINFO reads it
    // The columns of series i that its formulas read, gathered once per evaluation pass and lent
    // to them. Never shrinks: the results of the last pass may point into any of them.
    std::vector<std::unique_ptr<BarColumns>> columns_;
    BarColumns* currentColumns_ = nullptr;  // those of the series being evaluated

    // Series 0 is the chart's own security; 1.. overlays, aligned to series 0 by time. The
    // bars of an overlay as delivered are kept apart in rawOverlays_ so that realignment never
    // loses bars series 0 did not have yet.
    std::vector<std::unique_ptr<KSeries>> series_;
    std::vector<std::unique_ptr<KSeries>> rawOverlays_;  // index j-1 for series j
    std::vector<QuoteCodeInfo> securities_;
    std::vector<bool> explicitSecurity_;  // named by setSecurity or a dividend processer
    QPointer<QObject> source_;            // data model or leading chart
    std::vector<std::unique_ptr<CTXLayer>> layers_;
    std::vector<std::shared_ptr<formula::Formula>> formulas_;
    int evaluation_ = 0;  // bumped at every evaluation pass; read-back caches compare it
    // Set when bars or formulas changed. Scrolling, zooming and resizing reuse the outputs:
    // formulas run over whole series, so the window does not change what they compute.
    bool outputsStale_ = true;

    int begin_ = 0;
    int end_ = 0;
    int kShowNumber_ = 120;
    int maxIndex_ = 0;
    int mouseX_ = 0;
    int mouseY_ = 0;
    int crosshair_ = -1;
    bool showCrosshair_ = false;
    bool resetWindow_ = true;
    int cycle_ = 0;
    QString lineType_;
    QString dividendCmd_;

    QDividendProcesser* processer_;
    std::vector<QuoteDividendPoint> dividends_;

    // Interval statistics: the band the user drags out on the drawing board after startIS
    // (the board's default tool while a selection is on), and the last computed interval.
    std::unique_ptr<CPaintFullRect> isBand_;
    bool isSelecting_ = false;
    int isStart_ = -1;
    int isEnd_ = -1;
    uint isStartTime_ = 0;
    uint isEndTime_ = 0;

    // Read-back cache of the main formula's "_TS" series, valid for one evaluation.
    mutable std::vector<float> tsCache_;
    mutable int tsCacheEvaluation_ = -1;
};

#endif
