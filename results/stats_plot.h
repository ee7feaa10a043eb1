#pragma once

#include "results/results_stats.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The pictures of one step's figures, painted with QPainter: a histogram of its measured values
// with the lower and upper limits drawn, and an individuals control chart of the values in run
// order. All need a GUI application (the offscreen platform serves).

// The histogram written as step-<n>.svg and step-<n>.png into a folder, once onto an SVG
// generator and once onto an image, so both show the same.
bool WriteStepHistogram(const QString& folder, const ResultsQuery::StepStats& step,
                        const QList<double>& values, QString* error);
// The same histogram as an SVG document in memory.
QByteArray StepHistogramSvg(const ResultsQuery::StepStats& step, const QList<double>& values);
// The individuals chart as an SVG document: the values joined in run order, the centre line at
// their mean, the mean ±3σ and the step's limits.
QByteArray ControlChartSvg(const ResultsQuery::StepStats& step,
                           const QList<double>& valuesInRunOrder);
