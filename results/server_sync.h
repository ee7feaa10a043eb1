#pragma once

#include <QSqlDatabase>
#include <QString>

// Sends the journal's runs that the server has not got yet, each in one transaction with its
// steps, oldest first. The run's UUID is the server's key: a run sent twice (two processes of
// one station syncing at once, a mark lost after the commit) is kept once. Stops at the first
// failure; what was not sent stays marked unsent for the next try.
struct SyncOutcome {
    int Sent = 0;      // runs that reached the server in this call
    int Left = 0;      // runs still unsent in the journal
    QString Error;     // why it stopped early
};

SyncOutcome SyncRuns(QSqlDatabase& journal, QSqlDatabase& server);
