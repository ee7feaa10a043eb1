#include "results/server_sync.h"

#include "results/results_database.h"
#include "results/results_schema.h"
#include "results/run_tables.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>

namespace {

bool SendRun(QSqlDatabase& server, const RunRecord& run, const QList<RowRecord>& steps,
             int timeoutMs, QString* error)
{
    bool inserted = false;
    bool ok = ResultsSchema::Begin(server, error) &&
              ResultsDatabase::SetServerTimeout(server, timeoutMs, error) &&
              RunTables::InsertRun(server, run, error, &inserted);
    ok = ok && (!inserted || RunTables::InsertSteps(server, run.Uuid, steps, error));
    ok = ok && ResultsSchema::Commit(server, error);
    if (!ok)
        ResultsSchema::Rollback(server);
    return ok;
}

} // namespace

SyncOutcome SyncRuns(QSqlDatabase& journal, QSqlDatabase& server, const QString& shownUri,
                     const SyncLimits& limits)
{
    SyncOutcome outcome;
    auto journalFailed = [&](const QString& error) {
        outcome.JournalFailed = true;
        outcome.Error = QStringLiteral("the journal cannot be read: %1").arg(error.trimmed());
    };
    QString error;
    const QList<RunRecord> runs = RunTables::UnsentRuns(journal, &error);
    if (!error.isEmpty())
        journalFailed(error);
    for (const RunRecord& run : runs) {
        if (!outcome.Error.isEmpty())
            break;
        const qint64 remaining = limits.Deadline.remainingTime(); // -1: forever
        if (remaining == 0) {
            outcome.Failure = ServerFailure::TimedOut;
            outcome.Error =
                QStringLiteral("timed out (%1): the time for sending was spent").arg(shownUri);
            break;
        }
        // A run sent with rows missing would be marked sent and lose them for good.
        const QList<RowRecord> steps = RunTables::ReadSteps(journal, run.Uuid, &error);
        if (!error.isEmpty()) {
            journalFailed(error);
            break;
        }
        const int timeoutMs = remaining < 0
                                  ? limits.RunMs
                                  : static_cast<int>(std::min<qint64>(limits.RunMs, remaining));
        if (!SendRun(server, run, steps, timeoutMs, &error)) {
            outcome.Failure = ClassifyServerError(error);
            outcome.Error = ServerFailureText(outcome.Failure, shownUri, error);
            break;
        }
        // Sent: a failure to mark it only means the server is asked again, and keeps it once.
        RunTables::MarkSent(journal, run.Uuid, nullptr);
        ++outcome.Sent;
    }
    outcome.Left = RunTables::UnsentCount(journal, &error);
    if (outcome.Left < 0 && outcome.Error.isEmpty())
        journalFailed(error);
    return outcome;
}

namespace {

SyncOutcome CountOnly(QSqlDatabase& journal)
{
    SyncOutcome outcome;
    QString error;
    outcome.Left = RunTables::UnsentCount(journal, &error);
    if (outcome.Left < 0) {
        outcome.JournalFailed = true;
        outcome.Error = QStringLiteral("the journal cannot be read: %1").arg(error.trimmed());
    }
    return outcome;
}

// The part of one more journal added to the whole; the first error stays.
void Add(SyncOutcome& whole, SyncOutcome part, const QString& path)
{
    whole.Sent += part.Sent;
    whole.Left = std::max(0, whole.Left) + std::max(0, part.Left);
    if (!whole.Error.isEmpty() || part.Error.isEmpty())
        return;
    whole.Error = part.JournalFailed && !part.Error.startsWith(path)
                      ? QStringLiteral("%1: %2").arg(path, part.Error)
                      : part.Error;
    whole.Failure = part.Failure;
    whole.JournalFailed = part.JournalFailed;
}

} // namespace

SyncOutcome SyncJournals(QSqlDatabase& journal, const QString& journalPath, QSqlDatabase* server,
                         const QString& shownUri, const SyncLimits& limits)
{
    SyncOutcome whole = server ? SyncRuns(journal, *server, shownUri, limits) : CountOnly(journal);
    const QFileInfo own(journalPath);
    const QDir folder = own.absoluteDir();
    for (const QString& name :
         folder.entryList({QStringLiteral("journal-*.sqlite")}, QDir::Files, QDir::Name)) {
        const QString path = folder.filePath(name);
        if (QFileInfo(path).canonicalFilePath() == own.canonicalFilePath())
            continue;
        const QString connection =
            QStringLiteral("tav-journal-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
        QString error;
        if (!ResultsDatabase::OpenJournal(connection, path, &error, limits.RunMs)) {
            Add(whole, {0, 0, error, ServerFailure::None, true}, path);
            continue;
        }
        {
            QSqlDatabase other = QSqlDatabase::database(connection, false);
            // Past a server's failure the rest are only counted: it would fail them too.
            const bool send = server && (whole.Error.isEmpty() || whole.JournalFailed);
            Add(whole, send ? SyncRuns(other, *server, shownUri, limits) : CountOnly(other), path);
        }
        ResultsDatabase::Close(connection);
    }
    return whole;
}
