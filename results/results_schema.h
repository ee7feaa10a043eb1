#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// The tables of the results database, the same on the station's journal (SQLite) and on the
// line's server (PostgreSQL); the journal adds who writes a run and whether it was sent.
// results_schema holds the version; EnsureSchema creates the tables or brings an older
// database up to this program's version, once, also when several processes start at once.
// Columns added beside the version's own (which older programs leave NULL), and the indexes
// made since, are added where missing without raising the version, so older programs keep
// opening the database. Their level is kept beside the version: a program that finds both
// its own (or newer additions) reads that one row and nothing of the catalog.
namespace ResultsSchema {

constexpr int kVersion = 1;
// Raised with every column, index or view added beside the version.
constexpr int kAdditions = 5;

bool IsServer(const QSqlDatabase& db);
bool Ensure(QSqlDatabase& db, QString* error);
// The version the database holds and the level of its additions; 0 where it says none (no
// tables yet; a mark written by a program older than the level).
struct Mark {
    int Version = 0;
    int Additions = 0;
};
Mark ReadMark(QSqlDatabase& db);
// The additions' level this connection found (or made) when it read the mark; 0 before.
int KnownAdditions(const QSqlDatabase& db);

// A write transaction: SQLite takes its write lock at once (two processes never both read and
// then both try to write), PostgreSQL starts as usual.
bool Begin(QSqlDatabase& db, QString* error);
bool Commit(QSqlDatabase& db, QString* error);
void Rollback(QSqlDatabase& db);

// Runs one statement; false with the database's text.
bool Exec(QSqlDatabase& db, const QString& sql, QString* error);
// What failed, as the database says it. SQLite's own text says it all; Qt's summary after it
// ("Unable to fetch row") is left out. The server's is kept whole, for its failure's kind.
QString ErrorText(const QSqlDatabase& db, const QSqlError& error);

} // namespace ResultsSchema
