#pragma once

#include "autotest/report_file.h"
#include "results/run_record.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

// Reading the results back: a unit's history and its runs' rows, on the journal or the server
// alike (a table's statistics: results_stats.h).
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
    // The start of a table version (lower-case hex digits), or "unknown" for runs recorded
    // before versions were kept.
    QString Version;
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

// The WHERE clause over the runs table "r" that the filter makes, its values added in order.
QString WhereClause(const Filter& filter, QVariantList& values);
// Prepares a forward-only query, binds the values in order and runs it.
bool Select(QSqlQuery& q, const QString& sql, const QVariantList& values);

} // namespace ResultsQuery
