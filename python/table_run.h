#pragma once

#include "autotest/result_table.h"
#include "autotest/table_header.h"
#include "results/run_record.h"
#include "run/junit_report.h"
#include "run/report_files.h"
#include "run/run_options.h"
#include "run/runner.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A test table run for a script, by the command-line runner itself: the same interpreter,
// ticks, ports and result files, recorded in the station's journal like a tavtest run.
struct TableRunRequest {
    RunnerOptions Options;
    // "@MSGVARnn" asked of the script first (Options.Answers next).
    TestRunner::AnswerSource Answers;
    // Asked every 50 ms while the run goes on; true breaks it off as Ctrl-C breaks off tavtest.
    std::function<bool()> Interrupted;
};

// What is left of the run once it is over: enough to write each result file afterwards.
struct TableRunResult {
    int Status = TestRunner::kRunError; // tavtest's exit status
    QString Verdict;                    // as the journal keeps it: passed, failed, error, aborted
    QString RunError;
    bool Interrupted = false;
    // What the station's journal and the line's server could not take; empty when they took it.
    QString JournalError, ServerError;
    QStringList Warnings;  // every warning of the run, as tavtest gives them
    QString Uuid;          // the run's record; empty when the run never began
    QString Slot;          // a rack's slot as given ("COM3"); empty for a run on its own
    QList<RowRecord> Rows; // every evaluated row, "Show" 0 ones flagged
    ResultTable Results;
    TestHeader Copies;
    QString StartDate;
    JUnitRun JUnit;
    ResultTable ListedSteps;

    // The report (.rpt) and its text export (.txt) as tavtest writes them; a report given a
    // folder takes the automatic name there, never over an earlier report. The path written.
    ReportWrite SaveReportFile(QString& path) const;
    ReportWrite SaveTextFile(const QString& path) const;
    // JUnit XML; false with the reason.
    bool SaveJUnitFile(const QString& path, QString* error) const;
};

// quiet: no row lines on standard error, only warnings, errors and the summary.
TableRunResult RunTable(const TableRunRequest& request, bool quiet);
// The table on each slot of request.Options.Slots at once, as tavtest --slot runs it: one
// result per slot, in the order given. Interrupted breaks off every slot.
// error: why the rack could not start (an output that is no folder, an unreadable table).
QList<TableRunResult> RunTables(const TableRunRequest& request, bool quiet, QString* error);
