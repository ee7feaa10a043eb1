#pragma once

#include <QByteArray>

class QChart;

// The chart as an SVG drawing at its present size: plot frame, axes with their tick labels and
// titles, the legend and every visible line series as a polyline, so that an exported trend
// scales without blur in a report.
QByteArray ChartSvg(QChart& chart);
