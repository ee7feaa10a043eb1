#include "autotest/variable_keywords.h"

#include "autotest/interpreter.h"
#include "autotest/keyword_table.h"
#include "autotest/run_clock.h"
#include "autotest/table_file.h"
#include "autotest/value_prompt.h"
#include "common/number_reading.h"

#include <QLocale>
#include <algorithm>

namespace {

// The variable a keyword such as "@ADDVAR07" names, 0 ... 9; -1 when the cell is not exactly
// the prefix followed by 01 ... 10.
int VariableIndex(const QString& command, QLatin1String prefix)
{
    if (command.size() != prefix.size() + 2 || !command.startsWith(prefix))
        return -1;
    for (int n = 1; n <= VariableKeywords::kVariables; ++n)
        if (command.endsWith(QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'))))
            return n - 1;
    return -1;
}

// The locale's long time format without its time zone, which would only say what the machine's
// own clock is set to: "14:05:09".
QString LongTimeText(const QTime& time)
{
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return QLocale().toString(time, format.trimmed());
}

} // namespace

VariableKeywords::VariableKeywords(Variables& variables, StopwatchValues& stopwatch,
                                   TestClock& clock, ValuePrompt& prompt)
    : m_variables(variables), m_stopwatch(stopwatch), m_clock(clock), m_prompt(prompt)
{}

bool VariableKeywords::ControlKeyword(TestInterpreter& run, const QString& command)
{
    if (command == KeywordText(StepKeyword::SysTime))
        SystemTime(run);
    else if (command == KeywordText(StepKeyword::StartTime))
        StartTime(run);
    else if (command == KeywordText(StepKeyword::ReadTime))
        ReadTime(run);
    else
        return VariableKeyword(run, command);
    return true;
}

bool VariableKeywords::VariableKeyword(TestInterpreter& run, const QString& command)
{
    if (const int n = VariableIndex(command, KeywordText(StepKeyword::MsgVar)); n >= 0) {
        run.HoldForPrompt();
        // Asked on a shared keyboard: only this run waits; it goes on once answered.
        const bool later = m_prompt.AskValueLater(run.Cell(kTestValue1), run.Cell(kTestComment),
                                                  [this, n, &run](const QString& text) {
                                                      m_variables[n] = ReadNumber(text);
                                                      run.ResumeAfterPrompt();
                                                  });
        if (!later)
            m_variables[n] = PromptVariable(run);
        return true;
    }
    const double amount = ReadNumber(run.Cell(kTestValue1));
    if (const int n = VariableIndex(command, KeywordText(StepKeyword::SetVar)); n >= 0) {
        m_variables[n] = amount;
    } else if (const int n = VariableIndex(command, KeywordText(StepKeyword::AddVar)); n >= 0) {
        m_variables[n] += amount;
    } else if (const int n = VariableIndex(command, KeywordText(StepKeyword::SubVar)); n >= 0) {
        m_variables[n] = std::max(m_variables[n] - amount, 0.0);
    } else {
        return false;
    }
    return true;
}

double VariableKeywords::PromptVariable(TestInterpreter& run)
{
    run.HoldForPrompt(); // again when asked on its own: holding twice changes nothing
    const QString text = m_prompt.AskValue(run.Cell(kTestValue1), run.Cell(kTestComment));
    const double value = ReadNumber(text);
    run.ResumeAfterPrompt();
    return value;
}

QString VariableKeywords::Substitute(const QString& line)
{
    const qsizetype at = line.indexOf(QLatin1Char('@'));
    if (at < 0)
        return line;
    const int n = VariableIndex(line.mid(at, 6), KeywordText(StepKeyword::Var));
    if (n < 0)
        return line;
    return line.left(at) + VariableText(m_variables[n]);
}

QString VariableKeywords::VariableText(double value) { return QString::number(value, 'f', 1); }

// ---- stopwatch and time of day ----

void VariableKeywords::StartTime(TestInterpreter& run)
{
    if (!run.State().StepReady)
        return;
    m_stopwatch.CounterFrequency = m_clock.CounterFrequency();
    m_stopwatch.StartMark = m_clock.Counter();
}

void VariableKeywords::ReadTime(TestInterpreter& run)
{
    if (!run.State().StepReady)
        return;
    m_stopwatch.EndMark = m_clock.Counter();
    // Before any "@STARTTIME" there is no frequency to divide by: nothing has elapsed.
    m_stopwatch.ElapsedTime =
        m_stopwatch.CounterFrequency > 0
            ? static_cast<double>(m_stopwatch.EndMark - m_stopwatch.StartMark) /
                  static_cast<double>(m_stopwatch.CounterFrequency)
            : 0.0;
    Report(run, QString::number(m_stopwatch.ElapsedTime, 'f', 3));
}

void VariableKeywords::SystemTime(TestInterpreter& run)
{
    Report(run, LongTimeText(m_clock.TimeOfDay()));
}

// The stopwatch and clock rows report their text as the row's result, with no limits. A row
// that is still waiting (its cell edited meanwhile) was reported when it was entered.
void VariableKeywords::Report(TestInterpreter& run, const QString& text)
{
    run.ReportResultText(text);
}
