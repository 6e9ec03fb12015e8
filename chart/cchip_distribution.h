// The chip-distribution panel beside a K-line chart: follows the chart's bars, window,
// crosshair and price scale, recomputes the cost distribution up to the bar under the
// crosshair and paints it as a horizontal histogram with its summary figures.
#ifndef VQ_CHART_CCHIP_DISTRIBUTION_H
#define VQ_CHART_CCHIP_DISTRIBUTION_H

#include "chart/chip_distribution.h"

#include <QPointer>
#include <QQuickPaintedItem>
#include <QRect>
#include <QString>

class QChart;

class CChipDistribution : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(int chipType READ chipType WRITE setChipType NOTIFY chipTypeChanged)
    // The name the header shows when the chart's security record carries none (quote blocks
    // name only the code).
    Q_PROPERTY(QString securityName MEMBER securityName_ NOTIFY securityNameChanged)
public:
    explicit CChipDistribution(QQuickItem* parent = nullptr);

    Q_INVOKABLE void bindSyncDataSignal(QObject* obj);
    Q_INVOKABLE void setChipType(int type);
    int chipType() const { return engine_.type(); }

    // Figures of the last computation, for the view and its tests.
    Q_INVOKABLE int barCount() const { return int(engine_.barCount()); }
    Q_INVOKABLE double profitRatio() const { return engine_.profitRatio(); }
    Q_INVOKABLE double averageCost() const { return engine_.averageCost(); }
    Q_INVOKABLE double cursorPrice() const;
    Q_INVOKABLE QString dateText() const;
    const ChipEngine& engine() const { return engine_; }

    void paint(QPainter* painter) override;

public slots:
    void onSyncUpdateKData();
    void onCrosshairChange(QChart* src, int x, int y);
    void onReCalcShow(int begin, int end, int showNumber, int x_pos);
    void onVisibleChanged();

signals:
    void chipTypeChanged();
    void securityNameChanged();
    // After every recomputation, so that the view can read the figures.
    void computed();

private:
    // True when the followed chart is a K-line chart with a main formula.
    bool active() const;
    void synchronise();
    void recompute();
    // Moves the bar count to the bar under the crosshair; recomputes when it changed (always
    // with force) and the item is visible.
    void followCrosshair(int x, bool force = false);
    void rebindBars();

    // Painting (cchip_distribution_paint.cpp).
    void paintHistogram(QPainter* painter, const QRectF& area) const;
    void paintPeriods(QPainter* painter, const QRectF& area, double largest) const;
    void paintLegend(QPainter* painter) const;
    void paintSummary(QPainter* painter) const;
    // The plot rectangle of the chart's main pane in this item's coordinates.
    QRectF plotArea() const;

    QPointer<QChart> chart_;
    ChipEngine engine_;
    QString code_;
    QString name_;
    QRect rect_;
    double chartMax_ = 0;
    double chartMin_ = 0;
    int begin_ = 0;
    int end_ = 0;
    double visibleHigh_ = 0;
    double visibleLow_ = 0;
    double cursorPrice_ = 0;
    bool cursorKnown_ = false;  // the pointer has been over the chart since the last bind
    QString securityName_;
};

#endif
