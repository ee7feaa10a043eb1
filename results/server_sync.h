#pragma once

#include "results/server_failure.h"

#include <QDeadlineTimer>
#include <QSqlDatabase>
#include <QString>

// Sends the journal's runs that the server has not got yet, each in one transaction with its
// steps, oldest first. The run's UUID is the server's key: a run sent twice (two processes of
// one station syncing at once, a mark lost after the commit) is kept once. Stops at the first
// failure, or when the deadline has passed; what was not sent stays marked unsent for the next
// try.
struct SyncLimits {
    // The longest one run's transaction may take, a lock it waits for included.
    int RunMs = 5000;
    // No further run is begun past it, and none may outlast it.
    QDeadlineTimer Deadline = QDeadlineTimer(QDeadlineTimer::Forever);
};

struct SyncOutcome {
    int Sent = 0;  // runs that reached the server in this call
    int Left = 0;  // runs still unsent in the journal (-1: the journal could not tell)
    QString Error; // why it stopped early, in the program's words
    ServerFailure Failure = ServerFailure::None; // the server's part in it
    bool JournalFailed = false; // the journal could not be read: the error is the journal's
};

SyncOutcome SyncRuns(QSqlDatabase& journal, QSqlDatabase& server, const QString& shownUri,
                     const SyncLimits& limits = {});

// SyncRuns over a station's journal, then over every other journal in its folder
// (journal-NAME.sqlite): a station given a new name leaves its unsent runs in the journal of the
// old one, and they go all the same, each under the station it was recorded as. Each journal
// is opened on a connection of its own, waiting for a lock on it no longer than a run may
// take. Without a server, only counts the runs that wait in them all. An error about another
// journal names it; a server's failure ends the sending, a journal's only its own part.
SyncOutcome SyncJournals(QSqlDatabase& journal, const QString& journalPath, QSqlDatabase* server,
                         const QString& shownUri, const SyncLimits& limits = {});
