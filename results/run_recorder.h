#pragma once

#include "autotest/run_journal.h"
#include "results/run_record.h"

#include <QElapsedTimer>

class ResultsStore;

// Turns what a run tells (its start, every evaluated row, its end) into the records of the
// results database and hands them to the store. One recorder serves one run at a time; the
// test window and tavtest are given one by the program that makes them.
class RunRecorder : public RunJournal {
public:
    explicit RunRecorder(ResultsStore& store);

    void RunBegins(const RunBeginning& run) override;
    void StepRecorded(const QStringList& cells, bool shown, const QString& command) override;
    void RunEnds(RunEnding ending, const QString& reason) override;
    bool RunOpen() const override { return m_open; }

    // The run being recorded, or the last one.
    const RunRecord& Run() const { return m_run; }

    // The station's local time with its offset, as the records keep it.
    static QString TimeText(qint64 msSinceEpoch);
    // The table file's SHA-256 and that of its step lines (its version), from one reading.
    struct TableHashes {
        QString File;
        QString Version;
    };
    static TableHashes HashTable(const QString& path);
    // A result row's cells (step, comment, lower limit, value, upper limit, mark) as the
    // database keeps the row: limits and value also as numbers where they are plain ones.
    static RowRecord RowOf(const QStringList& cells, bool shown, const QString& command);

private:
    ResultsStore& m_store;
    RunRecord m_run;
    QElapsedTimer m_clock;
    int m_order = 0;
    bool m_failed = false;
    bool m_open = false;
};
