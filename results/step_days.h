#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <functional>

namespace ResultsQuery {
struct Filter;
}

// The figures of each checked step per UTC day, station, table version, unit, model of
// instrument and set of limits, which the line's server keeps up to date itself as runs come
// in (its triggers add each run's rows, and make again the days a changed or deleted run lay
// in). A table's statistics over a year then sum a few thousand of these rather than a million
// rows, each found through its run. Only on the server: the station's journal is small.
namespace StepDays {

// The aggregates of checked rows "s" in the order the statistics read them: readings, failures
// (a row without a reply is one, never a reading), lowest and highest value, the sums of the
// values' distances from the lower limit and of their squares, the lowest and highest lower
// limit, the lowest upper limit.
extern const char* const kFigures;
// The rows those figures take of runs "r" and their rows "s": checked rows (those with a lower
// limit) of runs that reached their end.
extern const char* const kChecked;

// Whether the database holds the table (made with the additions' level 5).
bool Missing(QSqlDatabase& db, QString* error);
// Makes the table, its indexes and the triggers that keep it, and fills it from the runs there
// are, when it is not there; brings the triggers up to this program's otherwise. Within the
// schema's transaction, whose lock keeps a second process from doing the same.
bool Add(QSqlDatabase& db, QString* error);

// Whether the table can answer for the filter: it keeps no units' or instruments' serial
// numbers, and only runs that ended with a verdict.
bool Serves(const QSqlDatabase& db, const ResultsQuery::Filter& filter);
// The step figures of every table version the filter matches, as the columns kFigures gives
// after table name, version and step: the whole days from the table, the hours of the first
// day after the filter's start from the runs' own rows, as rowsBefore sums those of the runs
// started before the time it is given.
QString FiguresQuery(const ResultsQuery::Filter& filter, QVariantList& values,
                     const std::function<QString(QVariantList&, qint64)>& rowsBefore);

} // namespace StepDays
