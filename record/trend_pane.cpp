#include "record/trend_pane.h"

#include "record/axis_ticks.h"
#include "record/trend_chart_view.h"
#include "record/trend_readout.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

// One colour per quantity, darker for the later phases, which also differ in their stroke.
const QColor kColors[3] = {QColor(0xd0, 0x30, 0x20), QColor(0x20, 0x60, 0xd0),
                           QColor(0x20, 0x90, 0x30)};
constexpr Qt::PenStyle kPhaseStyles[3] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine};
const char* const kPaneNames[3] = {"TrendChartU", "TrendChartI", "TrendChartP"};
const QMargins kMargins(4, 2, 12, 2);

} // namespace

TrendPane::TrendPane(int quantity, QWidget* parent) : QObject(parent)
{
    m_chart = new QChart;
    m_chart->setMargins(kMargins);
    // One white sheet for the stacked panes; the legend beside the plot, where a pane has room
    // for the phases' entries, rather than a row above it of its height.
    m_chart->setBackgroundVisible(false);
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_chart->legend()->setAlignment(Qt::AlignRight);
    m_valueAxis = new QValueAxis;
    m_valueAxis->setTitleText(TrendQuantityTitle(quantity));
    m_valueAxis->setTickType(QValueAxis::TicksDynamic);
    m_valueAxis->setLinePenColor(kColors[quantity]);
    m_valueAxis->setLabelsColor(kColors[quantity].darker(130));
    m_valueAxis->setTitleBrush(kColors[quantity].darker(130));
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    m_timeAxis = new QCategoryAxis;
    m_timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // The steps leave room for whole labels; cut ones would read as other times.
    m_timeAxis->setTruncateLabels(false);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);

    for (int phase = 0; phase < 3; ++phase) {
        auto* curve = new QLineSeries;
        curve->setName(TrendCurveName(phase * 3 + quantity));
        QPen pen(kColors[quantity].darker(100 + 40 * phase));
        pen.setWidth(2);
        pen.setStyle(kPhaseStyles[phase]);
        curve->setPen(pen);
        m_chart->addSeries(curve);
        curve->attachAxis(m_timeAxis);
        curve->attachAxis(m_valueAxis);
        m_curves[static_cast<size_t>(phase)] = curve;
        for (QLegendMarker* marker : m_chart->legend()->markers(curve))
            connect(marker, &QLegendMarker::clicked, this, [this, marker] { Switch(marker); });
    }
    m_cursor = new QGraphicsLineItem(m_chart);
    m_cursor->setPen(QPen(QColor(0x60, 0x60, 0x60), 1, Qt::DashLine));
    m_cursor->setZValue(10);
    m_cursor->hide();
    // Before the window's own handler, which reads what the layout was made with.
    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        m_laidOut = m_extra;
        PlaceCursor();
    });
    m_view = new TrendChartView(m_chart, parent);
    m_view->setBackgroundBrush(Qt::white);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setObjectName(QLatin1String(kPaneNames[quantity]));
}

double TrendPane::TimeFrom() const { return m_timeAxis->min(); }

double TrendPane::TimeTo() const { return m_timeAxis->max(); }

void TrendPane::SetTimeLabelsVisible(bool visible)
{
    m_timeAxis->setLabelsVisible(visible);
    m_timeAxis->setTitleText(visible ? QStringLiteral("Time") : QString());
    m_timeAxis->setTitleVisible(visible);
}

void TrendPane::ShowPhases(int phases)
{
    m_phases = phases;
    for (int phase = 0; phase < 3; ++phase) {
        const bool shown = phase < phases && !m_off[static_cast<size_t>(phase)];
        if (Curve(phase)->isVisible() != shown)
            Curve(phase)->setVisible(shown);
        ShowEntry(phase);
    }
}

void TrendPane::Switch(QLegendMarker* marker)
{
    for (int phase = 0; phase < 3; ++phase) {
        if (marker->series() != Curve(phase))
            continue;
        m_off[static_cast<size_t>(phase)] = !m_off[static_cast<size_t>(phase)];
        ShowPhases(m_phases);
        Q_EMIT curveSwitched();
    }
}

// The legend keeps an entry for each connected phase, greyed out while its curve is off.
void TrendPane::ShowEntry(int phase)
{
    for (QLegendMarker* marker : m_chart->legend()->markers(Curve(phase))) {
        const bool off = m_off[static_cast<size_t>(phase)];
        QColor color = Curve(phase)->pen().color();
        if (off)
            color.setAlpha(60);
        marker->setBrush(color);
        marker->setPen(QPen(color));
        marker->setLabelBrush(off ? QColor(Qt::gray) : m_chart->legend()->labelColor());
        marker->setVisible(phase < m_phases);
    }
}

void TrendPane::SetTimeRange(double from, double to, qint64 wallZeroMs)
{
    const QFontMetricsF metrics(m_timeAxis->labelsFont());
    const double width = std::max(m_chart->plotArea().width(), 100.0);
    const double span = to - from;
    auto stepFor = [&](const QString& format) {
        const double label = metrics.horizontalAdvance(TimeLabel(0, 0.0, format));
        return NiceTimeStep(span, std::max(2, static_cast<int>(width / (label * 1.5))));
    };
    QString format = QStringLiteral("HH:mm:ss");
    double step = stepFor(format);
    // Milliseconds or the date make wider labels, so fewer of them.
    if (const QString wider = TimeLabelFormat(step, span); wider != format) {
        step = stepFor(wider);
        format = TimeLabelFormat(step, span);
    }

    QStringList labels;
    const std::vector<double> ticks = TimeTicks(wallZeroMs, from, to, step);
    for (const double tick : ticks)
        labels << TimeLabel(wallZeroMs, tick, format);
    if (labels != m_timeAxis->categoriesLabels() || from != m_timeAxis->startValue()) {
        for (const QString& label : m_timeAxis->categoriesLabels())
            m_timeAxis->remove(label);
        m_timeAxis->setStartValue(from);
        for (size_t i = 0; i < ticks.size(); ++i)
            m_timeAxis->append(labels[static_cast<qsizetype>(i)], ticks[i]);
        // QtCharts lays a category axis out anew when its range changes, not always when its
        // categories do (the ticks then stay where the old ones were, or vanish).
        if (m_timeAxis->min() == from && m_timeAxis->max() == to)
            m_timeAxis->setMax(std::nextafter(to, INFINITY));
    }
    m_timeAxis->setRange(from, to);
    PlaceCursor();
}

void TrendPane::ShowCursor(double time)
{
    m_cursor->setVisible(!std::isnan(time));
    m_cursorTime = time;
    PlaceCursor();
}

void TrendPane::PlaceCursor()
{
    if (!m_cursor->isVisible())
        return;
    const QRectF plot = m_chart->plotArea();
    const double x =
        m_chart->mapToPosition(QPointF(m_cursorTime, m_valueAxis->min()), Curve(0)).x();
    m_cursor->setLine(x, plot.top(), x, plot.bottom());
    m_cursor->setOpacity(x >= plot.left() && x <= plot.right() ? 1.0 : 0.0);
}

void TrendPane::FitValues(double low, double high)
{
    const double height = m_chart->plotArea().height();
    const double labelHeight = QFontMetricsF(m_valueAxis->labelsFont()).height();
    const int ticks = height > 0 ? static_cast<int>(height / (labelHeight * 1.8)) + 1 : 5;
    const ValueScale scale = NiceValueScale(low, high, std::clamp(ticks, 2, 8));
    m_valueAxis->setRange(scale.min, scale.max);
    m_valueAxis->setTickAnchor(scale.min);
    m_valueAxis->setTickInterval(scale.step);
    m_valueAxis->setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
}

void TrendPane::SetAlignment(int extraLeft, int extraRight)
{
    const QMargins extra(extraLeft, 0, extraRight, 0);
    if (extra == m_extra)
        return;
    m_extra = extra;
    m_chart->setMargins(kMargins + extra);
}
