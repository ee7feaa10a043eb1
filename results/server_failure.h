#pragma once

#include <QString>

// Why the line's server did not take what was sent, said in this program's words: the
// driver's own lines (FATAL:, QPSQL: …) never reach a user.
enum class ServerFailure { None, Unreachable, Authentication, DatabaseMissing, TimedOut, Other };

// The kind of failure a driver's error text tells.
ServerFailure ClassifyServerError(const QString& driverText);
// "unreachable", "authentication failed", "database missing", "timed out", "failed".
QString ServerFailureName(ServerFailure failure);
// One line: what failed, on which server, and the driver's reason without its prefixes.
QString ServerFailureText(ServerFailure failure, const QString& shownUri,
                          const QString& driverText);
