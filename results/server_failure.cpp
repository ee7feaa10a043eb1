#include "results/server_failure.h"

#include <QRegularExpression>
#include <QStringList>

ServerFailure ClassifyServerError(const QString& driverText)
{
    const QString t = driverText.toLower();
    auto has = [&t](const char* part) { return t.contains(QLatin1String(part)); };
    if (t.isEmpty())
        return ServerFailure::None;
    // Before "connection to server … failed", which also starts a time-out's text.
    if (has("timeout expired") || has("statement timeout") || has("lock timeout") ||
        has("timed out"))
        return ServerFailure::TimedOut;
    if (has("password authentication failed") || has("no password supplied") ||
        has("authentication failed") || has("pg_hba.conf") || has("role \"") ||
        has("password is required"))
        return ServerFailure::Authentication;
    if (has("database \"") && has("does not exist"))
        return ServerFailure::DatabaseMissing;
    if (has("could not connect") || has("connection refused") || has("no such file") ||
        has("could not translate host name") || has("connection to server") ||
        has("server closed the connection") || has("no connection to the server") ||
        has("network is unreachable") || has("no route to host") || has("the database system is") ||
        has("terminating connection"))
        return ServerFailure::Unreachable;
    return ServerFailure::Other;
}

QString ServerFailureName(ServerFailure failure)
{
    switch (failure) {
    case ServerFailure::None:
        return {};
    case ServerFailure::Unreachable:
        return QStringLiteral("unreachable");
    case ServerFailure::Authentication:
        return QStringLiteral("authentication failed");
    case ServerFailure::DatabaseMissing:
        return QStringLiteral("database missing");
    case ServerFailure::TimedOut:
        return QStringLiteral("timed out");
    case ServerFailure::Other:
        break;
    }
    return QStringLiteral("failed");
}

namespace {

// libpq's first line carries the reason; the rest are hints and the Qt driver's own summary
// ("QPSQL: Unable to connect").
QString DriverReason(const QString& driverText)
{
    static const QRegularExpression prefix(
        QStringLiteral("^(FATAL|ERROR|PANIC):\\s+|^connection to server .*? failed:\\s*"));
    static const QRegularExpression qtSummary(QStringLiteral("\\s*QPSQL: .*$"));
    for (QString line : driverText.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("QPSQL:")) ||
            line.startsWith(QLatin1String("Is the server running")))
            continue;
        for (;;) {
            QString stripped = line;
            stripped = stripped.remove(prefix).trimmed();
            if (stripped == line)
                break;
            line = stripped;
        }
        // Qt ends its own texts with the driver's summary on the same line.
        line.remove(qtSummary);
        if (!line.isEmpty())
            return line;
    }
    return {};
}

} // namespace

QString ServerFailureText(ServerFailure failure, const QString& shownUri, const QString& driverText)
{
    // A server that is down leaves no socket file (or one nobody listens on): libpq says the
    // file is missing, which reads as a mistyped path. What the user needs to hear is that no
    // server runs there.
    static const QRegularExpression socketDown(
        QStringLiteral("connection to server on socket \"([^\"]+)\" failed: "
                       "(No such file or directory|Connection refused)"));
    const auto down = socketDown.match(driverText);
    const QString reason =
        down.hasMatch() ? QStringLiteral("no server running at socket %1").arg(down.captured(1))
                        : DriverReason(driverText);
    QString text = QStringLiteral("%1 (%2)").arg(ServerFailureName(failure), shownUri);
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    return text;
}
