#include "record/trend_chart_view.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <cmath>

TrendChartView::TrendChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent)
{
    setRubberBand(QChartView::HorizontalRubberBand);
    setRenderHint(QPainter::Antialiasing, false);
    viewport()->setMouseTracking(true);
}

void TrendChartView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0)
        return;
    chart()->zoom(steps > 0 ? 1.25 * steps : 1.0 / (1.25 * -steps));
    Q_EMIT viewMoved();
    event->accept();
}

void TrendChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        m_panning = true;
        m_lastPos = event->position().toPoint();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void TrendChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_panning) {
        const QPoint pos = event->position().toPoint();
        const QPoint delta = pos - m_lastPos;
        m_lastPos = pos;
        chart()->scroll(-delta.x(), delta.y());
        Q_EMIT viewMoved();
        event->accept();
        return;
    }
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    if (chart()->plotArea().contains(at))
        Q_EMIT hovered(chart()->mapToValue(at).x());
    QChartView::mouseMoveEvent(event);
}

void TrendChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_panning) {
        m_panning = false;
        event->accept();
        return;
    }
    // The rubber band's zoom; a right click would zoom out, which the pan has taken over.
    QChartView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && chart()->isZoomed())
        Q_EMIT viewMoved();
}

void TrendChartView::leaveEvent(QEvent* event)
{
    Q_EMIT hovered(std::nan(""));
    QChartView::leaveEvent(event);
}
