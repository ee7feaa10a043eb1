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
// Every reader below gives what it read and, when the database failed to answer (locked, of
// a newer program, gone), its reason in error: an error is never an empty answer.

struct Filter;
// The runs of the filter's serial number (and station, when it names one), newest first, each
// with its failed steps.
QList<HistoryEntry> History(QSqlDatabase& db, const Filter& filter, QString* error = nullptr);

struct Filter {
    QString TableName; // the table's file name
    QString Unit;
    QString Station;
    qint64 SinceMs = 0;
    QString Serial;
    QString Verdict; // "incomplete" for runs without an end
    // The start of a table version (lower-case hex digits), or "unknown" for runs recorded
    // before versions were kept.
    QString Version;
    int Limit = 0;  // 0: all
    int Offset = 0; // with a limit: runs left out before the first given (a page of them)
    // The instrument's own serial number, its model; the version of the limits file applied (its
    // start; "none": the table's own limits).
    QString InstrumentSerial;
    QString Model;
    QString LimitsVersion;
    QString LimitsModel; // whose limits of the file applied
};

// The sets of runs a table's statistics keep apart besides the table version: each set of
// limits applied (a limits file's version and the model whose limits it gave) and, when asked,
// each model of instrument.
struct StatsGroup {
    QString Model;         // empty when not grouped by model, or not known
    QString LimitsName;    // empty: the table's own limits
    QString LimitsVersion; // empty: the table's own limits
    QString LimitsModel;
};

// Runs matching the filter, newest first.
QList<RunRecord> Runs(QSqlDatabase& db, const Filter& filter, QString* error = nullptr);

// The rows of one run, in the order they were evaluated.
QList<RowRecord> RunRows(QSqlDatabase& db, const QString& uuid, QString* error = nullptr);

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
// Prepares a forward-only query, binds the values in order and runs it; on failure the
// database's reason goes into error unless one is there already.
bool Select(QSqlQuery& q, const QString& sql, const QVariantList& values, QString* error = nullptr);

} // namespace ResultsQuery
