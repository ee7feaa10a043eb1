#pragma once

#include "results/run_record.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QString>

// What each station runs now, on the line's server, for the line's view: a table station_now
// with a row per station, and slot_now with a row per slot of a rack (which runs a unit on each
// slot at once), written at a run's start, renewed with the row it is on at most every few
// seconds (and while a long row lasts), and cleared at the run's end. The server otherwise
// only ever gets ended runs. Only a display: a failure is ignored (and the server left alone
// for a while), never holding up a run's record. Used on the results thread alone.
class StationNow {
public:
    explicit StationNow(const QString& connection) : m_connection(connection) {}
    ~StationNow();
    StationNow(const StationNow&) = delete;
    StationNow& operator=(const StationNow&) = delete;

    void Started(const RunRecord& run);
    void AtRow(const QString& uuid, const RowRecord& row);
    void Ended(const RunRecord& run);
    // Writes what changed (and renews what runs) on the server given; nothing without one.
    void Send(const QString& uri);
    bool Live() const { return !m_runs.isEmpty() || !m_ended.isEmpty(); }
    // Closes the connection (on the results thread, before it ends).
    void Close();

    // The tables, made where missing by the first station that writes them.
    static const char* const kCreateSql;
    static const char* const kCreateSlotSql;
    static constexpr int kRenewMs = 5000;

private:
    struct Run {
        RunRecord Record;
        QString Step;
        bool Written = false;
        QDeadlineTimer Renew; // expired: written again, changed or not
    };
    bool Open(const QString& uri);

    const QString m_connection;
    QString m_uri; // of the open connection
    bool m_open = false;
    QDeadlineTimer m_pause{0};         // after a failure the server is left alone until it expires
    QHash<QString, Run> m_runs;        // by UUID
    QHash<QString, RunRecord> m_ended; // by UUID, to clear (its station and slot)
};
