#pragma once
// TEMPORARY until main brings these in results/stats_plot.h: not to be committed.
#include "results/results_stats.h"
#include <QByteArray>
#include <QList>
QByteArray StepHistogramSvg(const ResultsQuery::StepStats& step, const QList<double>& values);
QByteArray ControlChartSvg(const ResultsQuery::StepStats& step, const QList<double>& values);
