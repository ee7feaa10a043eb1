#pragma once

#include <QMargins>
#include <QObject>
#include <QtGlobal>
#include <array>

class QCategoryAxis;
class QGraphicsLineItem;
class QChart;
class QLegendMarker;
class QLineSeries;
class QValueAxis;
class QWidget;
class TrendChartView;

// One pane of the trend window: one quantity (U, I or P) of every phase against time, on a
// value axis of its own, so that curves of the same shape never hide each other. The window
// stacks the panes and gives them one time range; the lowest pane carries the time labels.
// A click on a curve's legend entry switches the curve off (the entry greys out) and on.
class TrendPane : public QObject {
    Q_OBJECT

public:
    TrendPane(int quantity, QWidget* parent);

    QChart* Chart() const { return m_chart; }
    TrendChartView* View() const { return m_view; }
    QLineSeries* Curve(int phase) const { return m_curves[static_cast<size_t>(phase)]; }
    QValueAxis* ValueAxis() const { return m_valueAxis; }
    QCategoryAxis* TimeAxis() const { return m_timeAxis; }
    double TimeFrom() const;
    double TimeTo() const;

    void SetTimeLabelsVisible(bool visible);
    // The curves of phases below phases show, but for those the operator switched off.
    void ShowPhases(int phases);
    bool CurveSwitchedOff(int phase) const { return m_off[static_cast<size_t>(phase)]; }
    // The time range (seconds since the plot's zero, whose local wall clock is wallZeroMs),
    // its ticks on whole steps of the wall clock.
    void SetTimeRange(double from, double to, qint64 wallZeroMs);
    // A value axis on round steps that holds low to high.
    void FitValues(double low, double high);
    // A vertical line through the plot at that time, where the readout reads; NaN hides it.
    void ShowCursor(double time);
    // Extra room beside the plot, so the stacked panes' plots line up.
    void SetAlignment(int extraLeft, int extraRight);
    // The extra room the present plot area was laid out with: a new one takes effect at the
    // chart's next layout.
    const QMargins& LaidOutExtra() const { return m_laidOut; }

Q_SIGNALS:
    void curveSwitched();

private:
    void Switch(QLegendMarker* marker);
    void ShowEntry(int phase);
    void PlaceCursor();

    QChart* m_chart = nullptr;
    TrendChartView* m_view = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    QCategoryAxis* m_timeAxis = nullptr;
    std::array<QLineSeries*, 3> m_curves{};
    std::array<bool, 3> m_off{};
    int m_phases = 1;
    QGraphicsLineItem* m_cursor = nullptr;
    double m_cursorTime = 0.0;
    QMargins m_extra;
    QMargins m_laidOut;
};
