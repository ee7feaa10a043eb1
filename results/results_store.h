#pragma once

#include "results/run_record.h"
#include "results/server_failure.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <memory>

class StoreWorker;

// The results database as the program and tavtest write it: the station's journal (always)
// and, when one is set, the line's server. Every call returns at once; a thread of its own
// does the writing, so the interpreter's tick and the poll cycle never wait for a disk or a
// network. A run is written to the journal at its start, its rows as they come and its end
// last; ended runs then go to the server, and any left unsent by an earlier try go with them
// (those of the station's former names too), oldest first, for at most the send budget: past
// it the rest wait for the next try. What the journal cannot take yet (another process holds
// it) waits and is tried again; only Flush gives it up, after a while, and tells which runs
// are not recorded.
class ResultsStore : public QObject {
    Q_OBJECT

public:
    struct Status {
        QString JournalError; // the journal could not be written (the runs are lost)
        // Runs (their UUIDs) whose record the journal could not take in the end, and why: a
        // run's end refused, or its writes given up by Flush.
        QStringList NotRecorded;
        QString NotRecordedReason;
        QString ServerError; // the last try to send failed (the runs wait in the journal)
        ServerFailure Failure = ServerFailure::None; // what kind of failure that was
        int Unsent = 0;                              // runs in the journal the server has not got
        int Sent = 0;                                // runs sent by this store
    };

    // The runs are recorded as the station's given (by default this station's name).
    explicit ResultsStore(const QString& journalPath, QObject* parent = nullptr);
    ResultsStore(const QString& journalPath, const QString& station, QObject* parent = nullptr);
    // Writes what is still queued (ended runs going on to the server as after any write), then
    // stops the thread.
    ~ResultsStore() override;

    QString JournalPath() const { return m_journalPath; }
    QString Station() const { return m_station; }
    // How long one try to send may take in all, connecting included (5 s unless set).
    void SetSendBudget(int ms);
    // A libpq URI, or empty for the journal alone.
    void SetServer(const QString& uri);
    QString Server() const;

    void BeginRun(const RunRecord& run);
    void AddStep(const QString& uuid, const RowRecord& row);
    void EndRun(const RunRecord& run);
    // One try to send the unsent runs.
    void Sync();
    // Connects to the server given (not necessarily the one set) and tells the outcome through
    // ServerTested.
    void TestServer(const QString& uri);

    // Waits until everything asked so far is done; the state it left. Writes the journal does
    // not take within kJournalWaitMs (another process holds it for that long) are given up.
    Status Flush();
    static constexpr int kJournalWaitMs = 10000;
    Status CurrentStatus() const;

Q_SIGNALS:
    // After every write or try to send; posted to the thread that made the store, and so
    // delivered by its event loop.
    void StatusChanged();
    // error empty: the server answered and its tables are there. Posted as StatusChanged is.
    void ServerTested(const QString& uri, const QString& error);

private:
    friend class StoreWorker;
    QString m_journalPath;
    QString m_station;
    QThread m_thread;
    StoreWorker* m_worker = nullptr;
    QObject* m_home = nullptr; // takes the worker's news on this object's thread
};
