#pragma once

#include "results/run_record.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

// Rows of the runs and steps tables, read and written the same on the journal and the server.
namespace RunTables {

// Insert or, on the server, keep what is there: a run already sent is left as it is.
// Returns false with the reason; inserted tells whether the run is new.
bool InsertRun(QSqlDatabase& db, const RunRecord& run, QString* error, bool* inserted = nullptr);
bool InsertStep(QSqlDatabase& db, const QString& uuid, const RowRecord& row, QString* error);
// A run's rows at once (on the server: a few statements for them all).
bool InsertSteps(QSqlDatabase& db, const QString& uuid, const QList<RowRecord>& rows,
                 QString* error);
// The ended run's whole record, inserted or updated over what its start wrote.
bool EndRun(QSqlDatabase& db, const RunRecord& run, QString* error);

std::optional<RunRecord> ReadRun(QSqlDatabase& db, const QString& uuid);
// Rows read so far, and the reason, when the database fails to give them all.
QList<RowRecord> ReadSteps(QSqlDatabase& db, const QString& uuid, QString* error = nullptr);

// Journal: the runs not yet on the server, oldest first, ended or left by a program that died.
QList<RunRecord> UnsentRuns(QSqlDatabase& db, QString* error = nullptr);
bool MarkSent(QSqlDatabase& db, const QString& uuid, QString* error);
// -1, with the reason, when the journal cannot be read.
int UnsentCount(QSqlDatabase& db, QString* error = nullptr);

// Reads a runs row of a query that selected kRunColumns.
RunRecord RunFromQuery(const class QSqlQuery& q);
extern const char* const kRunColumns;
extern const int kRunColumnCount;
// Reads a steps row of a query that selected kStepColumns (of the table "s"), from column first.
RowRecord StepFromQuery(const class QSqlQuery& q, int first = 0);
extern const char* const kStepColumns;

} // namespace RunTables
