#pragma once

#include "autotest/tested_with.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class ResultTable;

// What the printed report says of its run in its closing line: how the run ended, its counts,
// when and where it ran, and what the operator answered. A report read back from a file knows
// only its rows, and says so.
struct ReportVerdict {
    enum class Outcome { Passed, Failed, BrokenOff, NotFinished };
    Outcome Ended = Outcome::Passed;
    QString Why;       // the cause of a run broken off, or where a run stands that goes on
    QString ReadFrom;  // not empty for a report read back: "the file", "the results journal"
    int Rows = 0;      // rows of the report
    int Failed = 0;    // rows that failed, hidden ones too
    QDateTime Started; // invalid when not known
    qint64 DurationMs = -1;
    QString Station;
    QString Operator;
    QStringList Answers; // "VAR01=230": the operator's answers to prompts, in order
    // What the unit was tested with: a printed report's header names it (nothing when empty).
    TestedWith Tested;

    // The rows of a report read back: FAILED when any is marked "Error!" or has no reply.
    static ReportVerdict FromRows(const ResultTable& results, const QString& readFrom);
};

// An answer as the verdict lists it: "VAR01=230".
QString PromptAnswerText(int variable, const QString& answer);

// The closing line, e.g. "PASSED: 10 rows, 0 failed; started 2026-12-08 09:15:02, took 00:04.2;
// station bench-3, operator anna; answers VAR01=230".
QString ReportVerdictLine(const ReportVerdict& verdict);

// How an elapsed time reads in the verdict and on tavtest's console: minutes, seconds and
// tenths, "00:04.2", "72:04.2".
QString ElapsedText(qint64 ms);
