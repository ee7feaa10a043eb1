#pragma once

#include "autotest/report_file.h"
#include "results/run_record.h"

#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <optional>

// Reading the results back: a unit's history and a table's statistics, on the journal or the
// server alike.
namespace ResultsQuery {

struct HistoryEntry {
    RunRecord Run;
    QList<RowRecord> FailedSteps;
};
// The runs of this serial number, newest first, each with its failed steps.
QList<HistoryEntry> History(QSqlDatabase& db, const QString& serial);

struct Filter {
    QString TableName; // the table's file name
    QString Unit;
    qint64 SinceMs = 0;
    QString Serial;
    QString Verdict; // "incomplete" for runs without an end
    int Limit = 0;   // 0: all
};

// Runs matching the filter, newest first.
QList<RunRecord> Runs(QSqlDatabase& db, const Filter& filter);

// The rows of one run, in the order they were evaluated.
QList<RowRecord> RunRows(QSqlDatabase& db, const QString& uuid);

// A run as the test window shows an opened report: the header copies, the day it started (in
// the program's date format) and the six cells of each row the report holds ("Show" 0 rows are
// kept in the database but were never in the report).
struct RunReport {
    ReportFileHeader Header;
    QList<QStringList> Rows;
};
RunReport ReportOfRun(const RunRecord& run, const QList<RowRecord>& rows);

struct StepStats {
    QString Step;
    QString Command;
    QString Comment;
    int Count = 0;    // rows with a measured value
    int Failures = 0; // rows marked (out of limits, no reply)
    double Mean = 0;
    double StdDev = 0;
    double Min = 0;
    double Max = 0;
    std::optional<double> Lower;
    std::optional<double> Upper;
    std::optional<double> Cpk;
};

struct Stats {
    int Runs = 0;
    int Units = 0;          // serial numbers
    int FirstPassUnits = 0; // units whose first run passed
    double FirstPassYield() const { return Units ? 100.0 * FirstPassUnits / Units : 0; }
    QList<StepStats> Steps; // in step order
};

// Every checked row (one with limits) of the matching runs, per step number.
Stats ComputeStats(QSqlDatabase& db, const Filter& filter);
// The measured values per step, for the histograms.
QMap<QString, QList<double>> StepValues(QSqlDatabase& db, const Filter& filter);

} // namespace ResultsQuery
