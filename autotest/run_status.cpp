#include "autotest/run_status.h"

#include "autotest/interpreter.h"
#include "autotest/keyword_table.h"
#include "autotest/result_table.h"

namespace {

// A row's own time is worth telling only when it is long enough to be seen waiting.
constexpr int kWaitShownFromTicks = 1000 / TestInterpreter::kTickMs;

QString HeldText(const TestRunState& s)
{
    const int row = s.CurrentRow;
    switch (s.Hold) {
    case RunHold::PauseRow:
        return QStringLiteral("Paused at row %1 (PAUSE): press Continue").arg(row);
    case RunHold::StopAtError:
        return QStringLiteral("Stopped at an error in row %1: press Continue").arg(row);
    case RunHold::PortFailed:
        return QStringLiteral("Stopped in row %1, the port failed: press Continue").arg(row);
    case RunHold::Prompt:
        return QStringLiteral("Row %1 waits for your answer").arg(row);
    case RunHold::Operator:
    case RunHold::None:
        break;
    }
    return QStringLiteral("Paused at row %1: press Continue").arg(row);
}

} // namespace

void RunStatus::Started(bool newReport)
{
    m_started = true;
    m_error.clear();
    m_readFrom.clear();
    if (newReport) {
        m_rows = m_failed = 0;
        m_startedAt = QDateTime::currentDateTime();
        m_answers.clear();
    }
}

void RunStatus::Stopped() { m_stoppedAt = QDateTime::currentDateTime(); }

void RunStatus::Answered(int variable, const QString& answer)
{
    m_answers << PromptAnswerText(variable, answer);
}

void RunStatus::ReportRead(const QString& source) { m_readFrom = source; }

ReportVerdict RunStatus::Verdict(const TestRunState& s, bool timerOn, const QString& command,
                                 const ResultTable& results) const
{
    using Outcome = ReportVerdict::Outcome;
    if (!m_readFrom.isEmpty())
        return ReportVerdict::FromRows(results, m_readFrom);
    ReportVerdict v;
    if (!m_started) {
        v.Ended = Outcome::NotFinished;
        v.Why = QStringLiteral("no run yet");
        return v;
    }
    v.Rows = m_rows;
    v.Failed = m_failed;
    v.Started = m_startedAt;
    v.Answers = m_answers;
    const View now = Describe(s, timerOn, command);
    if (!m_error.isEmpty()) {
        v.Ended = Outcome::BrokenOff;
        v.Why = m_error;
    } else if (timerOn || s.RunPaused || !IsEndCommand(command)) {
        v.Ended = Outcome::NotFinished;
        v.Why = now.text;
        return v;
    } else {
        v.Ended = m_failed > 0 ? Outcome::Failed : Outcome::Passed;
    }
    if (m_stoppedAt.isValid() && m_stoppedAt >= m_startedAt)
        v.DurationMs = m_startedAt.msecsTo(m_stoppedAt);
    return v;
}

void RunStatus::StepRecorded(const QStringList& cells, bool shown)
{
    m_rows += shown;
    if (cells.value(ResultTable::kMark) == QLatin1String("Error!"))
        ++m_failed;
}

void RunStatus::EndedByError(const QString& reason) { m_error = reason; }

RunStatus::View RunStatus::Describe(const TestRunState& s, bool timerOn,
                                    const QString& command) const
{
    if (!m_started)
        return {};
    if (!m_error.isEmpty())
        return {QStringLiteral("Ended by an error: %1").arg(m_error), Tone::Failed};
    if (timerOn) {
        if (s.StepWaiting && s.DelayTicks >= kWaitShownFromTicks) {
            const int seconds = (s.DelayTicks * TestInterpreter::kTickMs + 999) / 1000;
            return {QStringLiteral("Waiting in row %1: %2 s").arg(s.CurrentRow).arg(seconds),
                    Tone::Waiting};
        }
        return {QStringLiteral("Running: row %1").arg(s.CurrentRow), Tone::Going};
    }
    if (s.RunPaused)
        return {HeldText(s), s.Hold == RunHold::StopAtError || s.Hold == RunHold::PortFailed
                                 ? Tone::Failed
                                 : Tone::Held};
    if (IsEndCommand(command))
        return {QStringLiteral("Finished: %1 rows, %2 failed").arg(m_rows).arg(m_failed),
                m_failed > 0 ? Tone::Failed : Tone::Going};
    return {QStringLiteral("Stopped after row %1").arg(s.CurrentRow), Tone::Neutral};
}
