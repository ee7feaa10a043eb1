#pragma once

#include "results/results_stats.h"
#include "web/view_request.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QString>

// What one page shows, read once for the page, its JSON and its plots alike.
struct ViewData {
    QJsonObject Json;
    // A table version's checked steps, their values and the last values in run order, by the
    // step's name in the plots' links.
    QMap<QString, ResultsQuery::StepStats> Steps;
    QMap<QString, QList<double>> Values;
    QMap<QString, QList<double>> LastValues;
};

// The data of the request's page; a failed read leaves its reason in error.
ViewData ReadView(QSqlDatabase& db, const ViewRequest& request, QString* error);

// The parts of ReadView, one per page.
ViewData ReadLineView(QSqlDatabase& db, QString* error);
ViewData ReadVersionView(QSqlDatabase& db, const ViewRequest& request, QString* error);
ViewData ReadUnitView(QSqlDatabase& db, const ViewRequest& request, QString* error);
ViewData ReadStationView(QSqlDatabase& db, const ViewRequest& request, QString* error);

// Shared by the parts: a time as JSON (local ISO 8601 with its offset; null for none), a
// figure (null for none) and a run's summary.
QJsonValue TimeJson(qint64 ms);
using ResultsQuery::FigureJson;
QJsonObject RunJson(const RunRecord& run);
// The hours "this shift" covers: the last eight.
constexpr int kShiftHours = 8;
