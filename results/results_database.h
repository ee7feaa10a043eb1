#pragma once

#include <QSqlDatabase>
#include <QString>

// Where the results live and how a connection to them is made. A QSqlDatabase connection
// belongs to the thread that opened it: the writer opens its own, a reader (tavtest history,
// the results window) its own under another name.
namespace ResultsDatabase {

// This station's name: the host name.
QString Station();
// The login name of the operator.
QString OperatorName();
// The station's journal: $XDG_DATA_HOME/tavcontrol/journal-<station>.sqlite (by default under
// ~/.local/share).
QString JournalPath();

// Opens (creating the folder, the file and the tables as needed) the journal in WAL mode.
// The connection is added under the given name; on failure it is removed again.
bool OpenJournal(const QString& connection, const QString& path, QString* error);
// Opens the server given by a libpq URI: postgresql://user@host:port/db?options, a Unix
// socket folder as ?host=/dir. A password comes from libpq's ~/.pgpass or PGPASSWORD; one in
// the URI is passed on but never shown. The tables are created or upgraded.
bool OpenServer(const QString& connection, const QString& uri, QString* error);
// The URI with any password replaced by "***", for messages.
QString ShownUri(const QString& uri);
// False, with the reason, for a text that is not a PostgreSQL URI.
bool CheckUri(const QString& uri, QString* error);

// Closes and removes a connection opened by the above.
void Close(const QString& connection);

} // namespace ResultsDatabase
