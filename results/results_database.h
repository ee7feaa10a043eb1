#pragma once

#include "results/server_failure.h"

#include <QSqlDatabase>
#include <QString>

// Where the results live and how a connection to them is made. A QSqlDatabase connection
// belongs to the thread that opened it: the writer opens its own, a reader (tavtest history,
// the results window) its own under another name.
namespace ResultsDatabase {

// This station's name: the one kept by "Setup" > "Results…", else the host name. tavtest
// --station and run_table(station=) name another for their runs.
QString Station();
// The name a station has when none is kept: its host name.
QString HostStation();
// Keeps the name ("Setup" > "Results…"); empty: the host name again.
void SaveStation(const QString& name);
// False, with the reason, for a name that cannot name a journal file.
bool CheckStation(const QString& name, QString* error);
// The line's server kept by "Setup" > "Results…" (empty: none), which tavtest sync takes when
// given no --db.
QString SavedServer();
void SaveServer(const QString& uri);
// The login name of the operator.
QString OperatorName();
// A station's journal: $XDG_DATA_HOME/tavcontrol/journal-<station>.sqlite (by default under
// ~/.local/share).
QString JournalPath(const QString& station = Station());

// Opens (creating the folder, the file and the tables as needed) the journal in WAL mode.
// The folder is made private (0700) and the journal's files are kept so (0600): they hold a
// company's production results. The connection is added under the given name; on failure it
// is removed again. A lock another process holds on it is waited for up to busyMs (by then
// its turn has come unless that process holds it for good).
bool OpenJournal(const QString& connection, const QString& path, QString* error,
                 int busyMs = 60000);
// Opens the server given by a libpq URI: postgresql://user@host:port/db?options, a Unix
// socket folder as ?host=/dir. A password comes from libpq's ~/.pgpass or PGPASSWORD; one in
// the URI is passed on but never shown. The tables are created or upgraded. A connection (and
// the schema's check) that takes longer than timeoutMs fails as timed out. The error is said
// in this program's words; failure tells its kind.
bool OpenServer(const QString& connection, const QString& uri, QString* error, int timeoutMs = 5000,
                ServerFailure* failure = nullptr);
// As OpenServer, for a reader that must not write (a read-only role, the line's web view): the
// tables are taken as they are, never created or upgraded, and the session writes nothing.
bool OpenServerToRead(const QString& connection, const QString& uri, QString* error,
                      int timeoutMs = 5000);
// The longest any one statement on the server (or the wait for a lock it needs) may take from
// now on.
bool SetServerTimeout(QSqlDatabase& db, int timeoutMs, QString* error);
// The URI with any password replaced by "***", for messages.
QString ShownUri(const QString& uri);
// False, with the reason, for a text that is not a PostgreSQL URI.
bool CheckUri(const QString& uri, QString* error);
// The URI holds a password (which ps shows while the program runs).
bool UriHasPassword(const QString& uri);

// Closes and removes a connection opened by the above. No QSqlDatabase or QSqlQuery of it may
// be alive any more.
void Close(const QString& connection);

} // namespace ResultsDatabase
