#pragma once

#include "autotest/report_verdict.h"
#include "autotest/run_state.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The test window's run state in words, beside its large result label: what the run is doing
// now, why it is held, or how it ended. Built from the interpreter's state and what the run has
// recorded; no widget, so any front end may show it.
class RunStatus {
public:
    // How the words are shown: neutral, going (green), waiting (blue), held for the operator
    // (orange), failed or stopped by an error (red).
    enum class Tone { Neutral, Going, Waiting, Held, Failed };

    struct View {
        QString text;
        Tone tone = Tone::Neutral;
        bool operator==(const View&) const = default;
    };

    // A run or single step begins; with newReport the counts start over.
    void Started(bool newReport);
    // Every step recorded: step, comment, lower limit, value, upper limit, mark. The rows are
    // those of the report (tavtest's "rows recorded"); a hidden row that fails counts as failed.
    void StepRecorded(const QStringList& cells, bool shown);
    // The run could not go on (a jump to no row, a GOTO loop).
    void EndedByError(const QString& reason);
    // The run's tick stopped: the last stop of a finished run is its end.
    void Stopped();
    // The operator answered a prompt for variable 1 ... 10.
    void Answered(int variable, const QString& answer);
    // The result grid now holds a report read from `source` ("the file"): its verdict is what
    // its rows show, until the next run.
    void ReportRead(const QString& source);

    // The printed report's verdict of the rows in `results`; station and operator are the
    // caller's.
    ReportVerdict Verdict(const TestRunState& state, bool timerOn, const QString& command,
                          const ResultTable& results) const;

    // command: the current row's command; timerOn: the run's tick is running.
    View Describe(const TestRunState& state, bool timerOn, const QString& command) const;

    int Rows() const { return m_rows; }
    int Failed() const { return m_failed; }

private:
    bool m_started = false;
    QDateTime m_startedAt;
    QDateTime m_stoppedAt;
    QStringList m_answers;
    QString m_readFrom;
    int m_rows = 0;
    int m_failed = 0;
    QString m_error;
};
