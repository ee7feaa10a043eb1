#pragma once

#include "results/results_stats.h"

#include <QList>
#include <QString>

// A histogram of one step's measured values with its lower and upper limits drawn, written as
// step-<n>.svg and step-<n>.png into a folder. Painted with QPainter, once onto an SVG
// generator and once onto an image, so both show the same; needs a GUI application (the
// offscreen platform serves).
bool WriteStepHistogram(const QString& folder, const ResultsQuery::StepStats& step,
                        const QList<double>& values, QString* error);
