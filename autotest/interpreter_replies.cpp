// The step interpreter's replies: each delivery checked against the row it answers, a reply
// that never came recorded as such, and the steps written into the result table.
#include "autotest/interpreter.h"

#include "autotest/keyword_table.h"
#include "autotest/report_file.h"
#include "autotest/result_table.h"
#include "autotest/table_file.h"
#include "common/number_reading.h"
#include "sequence/step_grid.h"

namespace {

// "230.000", "-0.500": three decimals; a negative zero prints as zero.
QString Fixed3(double value) { return QString::number(value + 0.0, 'f', 3); }

QString WithoutLineEnd(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == QLatin1Char('\r') || text[end - 1] == QLatin1Char('\n')))
        --end;
    return text.left(end);
}

} // namespace

// ---- replies ----

void TestInterpreter::ReplyReceived(const QByteArray& line, int port)
{
    TestRunState& s = m_state;
    if (port == 0) {
        const QString text = WithoutLineEnd(QString::fromLatin1(line));
        QString late;
        const ReplyResync::Line kind = s.InstrumentResync.Take(text, late);
        if (!late.isEmpty())
            m_host.LateReply(QStringLiteral("late reply, not evaluated: %1").arg(late));
        if (kind != ReplyResync::Line::Reply)
            return;
    }
    if (auto given = s.RepliesGivenUp.find(port); given != s.RepliesGivenUp.end() && *given > 0) {
        --*given;
        m_host.LateReply(QStringLiteral("late reply, not evaluated: %1")
                             .arg(WithoutLineEnd(QString::fromLatin1(line))));
        return;
    }
    if (s.AwaitedRow > 0 && port == s.AwaitedPort)
        s.AwaitedRow = 0;
    s.ReplyLine = line;
    EvaluateReply();
}

void TestInterpreter::GiveUpReply()
{
    TestRunState& s = m_state;
    // A line held while the resynchronisation was in doubt, with no identification answer behind
    // it by the end of the wait, is the row's own reply.
    if (s.AwaitedPort == 0 && s.AwaitedRow == s.CurrentRow)
        if (const std::optional<QString> held = s.InstrumentResync.TakeHeld()) {
            s.AwaitedRow = 0;
            s.ReplyLine = held->toLatin1();
            EvaluateReply();
            m_evaluatedThisTick = true;
            s.ResultMark.clear();
            return;
        }
    if (s.AwaitedPort != 0) {
        ++s.RepliesGivenUp[s.AwaitedPort];
    } else {
        s.InstrumentResync.GaveUp(m_sentLine);
    }
    if (s.AwaitedRow == s.CurrentRow)
        RecordNoReply();
    s.AwaitedRow = 0;
    // The row entered next in this tick is not the failed one.
    s.ResultMark.clear();
}

void TestInterpreter::AbandonRun()
{
    if (m_state.AwaitedRow > 0)
        GiveUpReply();
}

// A query row that got no reply fails as a value below its lower limit would.
void TestInterpreter::RecordNoReply()
{
    TestRunState& s = m_state;
    s.AwaitedRow = 0;
    s.ReplyText = QString::fromLatin1(ResultTable::kNoReplyValue);
    s.LowerLimitValue = ReadNumber(Cell(kTestLowerLimit));
    s.UpperLimitValue = ReadNumber(Cell(kTestUpperLimit));
    s.ResultMark.clear();
    LimitFailed(kTestValue1);
    m_evaluatedThisTick = true;
    RecordStep(Fixed3(s.LowerLimitValue), Fixed3(s.UpperLimitValue), s.ReplyText);
    s.ExternalReply = false;
}

void TestInterpreter::EvaluateReply()
{
    TestRunState& s = m_state;
    // Before the first step there is no row to measure against (row 0 holds the captions).
    if (s.CurrentRow < 1 || s.CurrentRow > m_table.SpareRow())
        return;
    const QString reply = QString::fromLatin1(s.ReplyLine);
    if (!s.ExternalReply) {
        // The instrument answers five characters of value, then the unit: "230.0V", "123.4mA".
        s.ReplyText = reply.left(5);
        s.MeasuredValue = ReadNumber(s.ReplyText);
        if (reply.size() > 10)
            s.MeasuredValue = ReadNumber(reply);
        if (reply.mid(5, 2) == QLatin1String("mA"))
            s.MeasuredValue = ReadThousandths(reply.size() > 10 ? reply : s.ReplyText);
    } else {
        const int ends = (reply.contains(QLatin1Char('\n')) ? 1 : 0) +
                         (reply.contains(QLatin1Char('\r')) ? 1 : 0);
        s.ReplyText = reply.left(reply.size() - ends);
        s.MeasuredValue = ReadNumber(s.ReplyText);
    }
    s.LowerLimitValue = ReadNumber(Cell(kTestLowerLimit));
    s.UpperLimitValue = ReadNumber(Cell(kTestUpperLimit));
    m_host.SetResultRed(false);
    s.ResultMark.clear();
    if (s.MeasuredValue < s.LowerLimitValue)
        LimitFailed(kTestValue1);
    if (s.MeasuredValue > s.UpperLimitValue)
        LimitFailed(kTestValue3);
    m_host.SetResultText(s.ReplyText);
    // "Show" 2 reports the reply as received, without the line end that would split the
    // report's line in two.
    const QString value =
        Cell(kTestShow) == QLatin1String("2") ? WithoutLineEnd(reply) : Fixed3(s.MeasuredValue);
    RecordStep(Fixed3(s.LowerLimitValue), Fixed3(s.UpperLimitValue), value);
    s.ExternalReply = false;
}

void TestInterpreter::LimitFailed(int targetColumn)
{
    m_host.SetResultRed(true);
    m_state.ResultMark = QString::fromLatin1(ResultTable::kFailedMark);
    if (m_host.Options().StopAtError) {
        HoldRun(RunHold::StopAtError);
    } else {
        const QString target = Cell(targetColumn);
        m_state.JumpTarget = target == KeywordText(StepKeyword::Next) ? 0 : ReadInteger(target);
    }
}

void TestInterpreter::RecordStep(const QString& lower, const QString& upper, const QString& value)
{
    TestRunState& s = m_state;
    const QStringList cells{Cell(kTestNr), Cell(kTestComment), lower, ReportValueText(value),
                            upper,         s.ResultMark};
    const bool shown = Cell(kTestShow) != QLatin1String("0");
    if (shown) {
        m_results.SetRow(s.ReportRow, cells);
        ++s.ReportRow;
        m_results.SetRowCount(s.ReportRow);
    }
    m_host.StepRecorded(cells, shown);
    m_host.SetResultText(value);
}

// ---- keyword rows ----

// The operator answers for the row that asks: its number and comment are shown first.
void TestInterpreter::HoldForPrompt()
{
    ShowRowFields();
    HoldRun(RunHold::Prompt);
}

void TestInterpreter::ResumeAfterPrompt() { Continue(); }

void TestInterpreter::ReportResultText(const QString& text)
{
    m_state.StepResultText = text;
    if (m_state.StepReady)
        RecordStep(QString(), QString(), text);
}
