#pragma once

#include "results/run_record.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

class StoreWorker;

// The results database as the program and tavtest write it: the station's journal (always)
// and, when one is set, the line's server. Every call returns at once; a thread of its own
// does the writing, so the interpreter's tick and the poll cycle never wait for a disk or a
// network. A run is written to the journal at its start, its rows as they come and its end
// last; ended runs then go to the server, and any left unsent by an earlier try go with them.
class ResultsStore : public QObject {
    Q_OBJECT

public:
    struct Status {
        QString JournalError; // the journal could not be written (the runs are lost)
        QString ServerError;  // the last try to send failed (the runs wait in the journal)
        int Unsent = 0;       // runs in the journal the server has not got
        int Sent = 0;         // runs sent by this store
    };

    explicit ResultsStore(const QString& journalPath, QObject* parent = nullptr);
    // Writes what is still queued and makes one more try to send, then stops the thread.
    ~ResultsStore() override;

    QString JournalPath() const { return m_journalPath; }
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

    // Waits until everything asked so far is done; the state it left.
    Status Flush();
    Status CurrentStatus() const;

Q_SIGNALS:
    // After every write or try to send, on the thread that made the store.
    void StatusChanged();
    // error empty: the server answered and its tables are there.
    void ServerTested(const QString& uri, const QString& error);

private:
    friend class StoreWorker;
    QString m_journalPath;
    QThread m_thread;
    StoreWorker* m_worker = nullptr;
};
