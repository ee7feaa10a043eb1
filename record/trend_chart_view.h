#pragma once

#include <QChartView>
#include <QPoint>

// The trend plot's view: drag with the left button to zoom into a time span, turn the wheel to
// zoom in or out around the middle, drag with the right or middle button to pan. Moving the
// mouse over the plot tells the time under it.
class TrendChartView : public QChartView {
    Q_OBJECT

public:
    explicit TrendChartView(QChart* chart, QWidget* parent = nullptr);

Q_SIGNALS:
    // The operator zoomed or panned: the window stops following the newest samples.
    void viewMoved();
    // The mouse is over the plot at that time (the time axis's value); NaN when it left.
    void hovered(double time);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_panning = false;
    QPoint m_lastPos;
};
