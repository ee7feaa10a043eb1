#include "record/chart_svg.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>

namespace {

QByteArray Escaped(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

QByteArray Num(double v) {
    return QByteArray::number(v, 'f', 1);
}

QByteArray Text(double x, double y, const QString& text, const char* anchor, const QColor& color) {
    return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" text-anchor=\"" + anchor +
           "\" fill=\"" + color.name().toLatin1() + "\">" + Escaped(text) + "</text>\n";
}

// Tick positions (0..1 along the axis) and their labels.
QList<std::pair<double, QString>> Ticks(const QAbstractAxis* axis) {
    QList<std::pair<double, QString>> ticks;
    if (const auto* value = qobject_cast<const QValueAxis*>(axis)) {
        const int n = std::max(2, value->tickCount());
        for (int i = 0; i < n; ++i) {
            const double f = static_cast<double>(i) / (n - 1);
            const double v = value->min() + (value->max() - value->min()) * f;
            ticks.append({f, QString::asprintf(value->labelFormat().toLatin1().constData(), v)});
        }
    } else if (const auto* time = qobject_cast<const QDateTimeAxis*>(axis)) {
        const int n = std::max(2, time->tickCount());
        const qint64 a = time->min().toMSecsSinceEpoch();
        const qint64 b = time->max().toMSecsSinceEpoch();
        for (int i = 0; i < n; ++i) {
            const double f = static_cast<double>(i) / (n - 1);
            ticks.append({f, QDateTime::fromMSecsSinceEpoch(a + static_cast<qint64>((b - a) * f))
                                 .toString(time->format())});
        }
    }
    return ticks;
}

} // namespace

QByteArray ChartSvg(QChart& chart) {
    const QSizeF size = chart.size();
    const QRectF area = chart.plotArea();
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                     Num(size.width()) + "\" height=\"" + Num(size.height()) +
                     "\" font-family=\"sans-serif\" font-size=\"11\">\n"
                     "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
                     "<rect x=\"" +
                     Num(area.x()) + "\" y=\"" + Num(area.y()) + "\" width=\"" + Num(area.width()) +
                     "\" height=\"" + Num(area.height()) +
                     "\" fill=\"none\" stroke=\"#808080\"/>\n";

    int rightAxes = 0;
    for (const QAbstractAxis* axis : chart.axes()) {
        if (!axis->isVisible())
            continue;
        const QColor color = axis->labelsColor();
        const auto ticks = Ticks(axis);
        if (axis->orientation() == Qt::Horizontal) {
            for (const auto& [f, label] : ticks)
                svg += Text(area.left() + area.width() * f, area.bottom() + 14, label, "middle",
                            color);
            svg += Text(area.center().x(), area.bottom() + 30, axis->titleText(), "middle", color);
            continue;
        }
        const bool left = axis->alignment() == Qt::AlignLeft;
        const double x = left ? area.left() - 4 : area.right() + 4 + 60 * rightAxes++;
        for (const auto& [f, label] : ticks)
            svg += Text(x, area.bottom() - area.height() * f + 4, label, left ? "end" : "start",
                        color);
        svg += Text(x, area.top() - 6, axis->titleText(), left ? "end" : "start", color);
    }

    double legendX = area.left();
    for (QAbstractSeries* abstract : chart.series()) {
        auto* series = qobject_cast<QXYSeries*>(abstract);
        if (!series || !series->isVisible())
            continue;
        const QByteArray color = series->pen().color().name().toLatin1();
        svg += "<polyline fill=\"none\" stroke=\"" + color + "\" stroke-width=\"" +
               Num(series->pen().widthF()) + "\" points=\"";
        for (const QPointF& p : series->points()) {
            const QPointF at = chart.mapToPosition(p, series);
            svg += Num(at.x()) + ',' + Num(at.y()) + ' ';
        }
        svg += "\"/>\n";
        svg += "<rect x=\"" + Num(legendX) + "\" y=\"8\" width=\"12\" height=\"4\" fill=\"" +
               color + "\"/>\n";
        svg += Text(legendX + 16, 14, series->name(), "start", Qt::black);
        legendX += 90;
    }
    return svg + "</svg>\n";
}
