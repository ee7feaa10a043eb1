#pragma once

#include "results/results_query.h"
#include "results/results_stats.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

// What the line is doing, read from the line's server or a station's journal alike: for the
// line's web view, and for anyone else who wants the line at a glance.
namespace ResultsQuery {

// A run going on now: its record (table, unit, serial, start, a rack's slot) and the row it is
// on.
struct RunningNow {
    RunRecord Run;
    QString Step;
};

struct StationState {
    QString Station;
    // Running now: the station's run, or a rack's, one a slot, in the slots' order.
    QList<RunningNow> Now;
    bool Running() const { return !Now.isEmpty(); }
    // A live entry that has not been renewed for a minute: the station was last seen then.
    qint64 LastSeenMs = 0;
    // The last run that ended (no run yet: an empty UUID); kept in view until the next ends.
    RunRecord Last;
    int RunsToday = 0;
};

struct VersionYield {
    QString TableName;
    QString Version;
    int Runs = 0;           // ended runs
    int Units = 0;          // serial numbers with an ended run
    int FirstPassUnits = 0; // whose first ended run passed
};

struct FailedStep {
    QString TableName;
    QString Step;
    QString Command;
    QString Comment;
    int Failures = 0;
};

struct LineState {
    QList<StationState> Stations; // by name
    QList<VersionYield> YieldToday;
    QList<FailedStep> FailedSince; // the most failed first, at most ten
};

// How long a station's live entry stays true without being renewed.
constexpr qint64 kLiveStaleMs = 60000;

// The line now: today from dayStartMs, the failed steps from shiftStartMs.
LineState ReadLine(QSqlDatabase& db, qint64 nowMs, qint64 dayStartMs, qint64 shiftStartMs,
                   QString* error = nullptr);

// The last n measured values of one table version's checked step, oldest first: the runs
// that ended with a verdict, as the statistics count them.
QList<double> LastStepValues(QSqlDatabase& db, const Filter& filter, const TableVersionStats& table,
                             const QString& step, int n, QString* error = nullptr);

} // namespace ResultsQuery
