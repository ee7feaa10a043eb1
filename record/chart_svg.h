#pragma once

#include <QByteArray>
#include <QList>

class QChart;

// The charts, stacked top to bottom, as one SVG drawing at their present size: per chart the
// plot frame, axes with their tick labels and titles, the legend and every visible line series
// as a polyline, so that an exported trend scales without blur in a report.
QByteArray ChartSvg(const QList<QChart*>& charts);
