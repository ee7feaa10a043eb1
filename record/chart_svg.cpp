#include "record/chart_svg.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>
#include <cmath>

namespace {

QByteArray Escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

QByteArray Num(double v) { return QByteArray::number(v, 'f', 1); }

QByteArray Text(double x, double y, const QString& text, const char* anchor, const QColor& color)
{
    return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" text-anchor=\"" + anchor +
           "\" fill=\"" + color.name().toLatin1() + "\">" + Escaped(text) + "</text>\n";
}

// Tick positions (0..1 along the axis) and their labels, where the chart draws them.
QList<std::pair<double, QString>> Ticks(QAbstractAxis* axis)
{
    QList<std::pair<double, QString>> ticks;
    auto* value = qobject_cast<QValueAxis*>(axis);
    if (!value || !(value->max() > value->min()))
        return ticks;
    const double range = value->max() - value->min();
    if (auto* category = qobject_cast<QCategoryAxis*>(axis)) {
        for (const QString& label : category->categoriesLabels())
            ticks.append({(category->endValue(label) - value->min()) / range, label});
        return ticks;
    }
    const QByteArray format = value->labelFormat().toLatin1();
    auto add = [&](double v) {
        ticks.append({(v - value->min()) / range, QString::asprintf(format.constData(), v)});
    };
    if (value->tickType() == QValueAxis::TicksDynamic && value->tickInterval() > 0) {
        const double step = value->tickInterval();
        double v = value->tickAnchor() +
                   std::ceil((value->min() - value->tickAnchor()) / step - 1e-9) * step;
        for (; v <= value->max() + step * 1e-9 && ticks.size() < 100; v += step)
            add(v);
        return ticks;
    }
    const int n = std::max(2, value->tickCount());
    for (int i = 0; i < n; ++i)
        add(value->min() + range * i / (n - 1));
    return ticks;
}

QByteArray Chart(QChart& chart, double top)
{
    const QRectF area = chart.plotArea().translated(0, top);
    QByteArray svg = "<rect x=\"" + Num(area.x()) + "\" y=\"" + Num(area.y()) + "\" width=\"" +
                     Num(area.width()) + "\" height=\"" + Num(area.height()) +
                     "\" fill=\"none\" stroke=\"#808080\"/>\n";
    for (QAbstractAxis* axis : chart.axes()) {
        if (!axis->isVisible())
            continue;
        const QColor color = axis->labelsColor();
        const auto ticks = axis->labelsVisible() ? Ticks(axis) : decltype(Ticks(axis))();
        const QString title = axis->isTitleVisible() ? axis->titleText() : QString();
        if (axis->orientation() == Qt::Horizontal) {
            for (const auto& [f, label] : ticks)
                svg += Text(area.left() + area.width() * f, area.bottom() + 14, label, "middle",
                            color);
            if (!title.isEmpty())
                svg += Text(area.center().x(), area.bottom() + 30, title, "middle", color);
            continue;
        }
        const double x = area.left() - 4;
        for (const auto& [f, label] : ticks)
            svg += Text(x, area.bottom() - area.height() * f + 4, label, "end", color);
        // The title turned up the chart's left edge, beside the middle of the plot.
        if (!title.isEmpty())
            svg += "<g transform=\"rotate(-90 14 " + Num(area.center().y()) + ")\">" +
                   Text(14, area.center().y(), title, "middle", color) + "</g>\n";
    }

    // The legend beside the plot, one entry under the other, as the trend shows it.
    double legendY = area.top() + 8;
    for (QAbstractSeries* abstract : chart.series()) {
        auto* series = qobject_cast<QXYSeries*>(abstract);
        if (!series || !series->isVisible())
            continue;
        const QByteArray color = series->pen().color().name().toLatin1();
        svg += "<polyline fill=\"none\" stroke=\"" + color + "\" stroke-width=\"" +
               Num(series->pen().widthF()) + "\" points=\"";
        for (const QPointF& p : series->points()) {
            const QPointF at = chart.mapToPosition(p, series);
            svg += Num(at.x()) + ',' + Num(at.y() + top) + ' ';
        }
        svg += "\"/>\n";
        svg += "<rect x=\"" + Num(area.right() + 8) + "\" y=\"" + Num(legendY) +
               "\" width=\"12\" height=\"4\" fill=\"" + color + "\"/>\n";
        svg += Text(area.right() + 24, legendY + 6, series->name(), "start", Qt::black);
        legendY += 16;
    }
    return svg;
}

} // namespace

QByteArray ChartSvg(const QList<QChart*>& charts)
{
    double width = 0.0, height = 0.0;
    for (const QChart* chart : charts) {
        width = std::max(width, chart->size().width());
        height += chart->size().height();
    }
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                     Num(width) + "\" height=\"" + Num(height) +
                     "\" font-family=\"sans-serif\" font-size=\"11\">\n"
                     "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    double top = 0.0;
    for (QChart* chart : charts) {
        svg += Chart(*chart, top);
        top += chart->size().height();
    }
    return svg + "</svg>\n";
}
