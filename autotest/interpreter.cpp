#include "autotest/interpreter.h"

#include "autotest/keyword_table.h"
#include "autotest/report_file.h"
#include "autotest/result_table.h"
#include "autotest/table_file.h"
#include "common/number_reading.h"
#include "common/step_time.h"
#include "common/text_file.h"
#include "sequence/step_grid.h"

#include <QDir>
#include <algorithm>

namespace {

StepKeywords& NoKeywords()
{
    static StepKeywords none;
    return none;
}

// What the external-meter keywords write to the meter's port.
const char* MeterText(const QString& command)
{
    if (command == KeywordText(StepKeyword::ExtMeas))
        return "READ?\n";
    if (command == KeywordText(StepKeyword::ExtVdc))
        return ":SENS:FUNC 'VOLT:DC'\n";
    if (command == KeywordText(StepKeyword::ExtVac))
        return ":SENS:FUNC 'VOLT:AC'\n";
    if (command == KeywordText(StepKeyword::ExtMvdc))
        return "MEAS:VOLT:DC?\n";
    if (command == KeywordText(StepKeyword::ExtMvac))
        return "MEAS:VOLT:AC?\n";
    return nullptr;
}

// "230.000", "-0.500": three decimals; a negative zero prints as zero.
QString Fixed3(double value) { return QString::number(value + 0.0, 'f', 3); }

// The device number after "@COM" or "@GPIB", kept within 1 ... 30.
int PrefixNumber(const QString& text, int position)
{
    return std::clamp(ReadInteger(text.mid(position, 2)), 1, 30);
}

// The value text of a query row whose reply did not come.
constexpr auto kNoReply = "no reply";

QString WithoutLineEnd(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == QLatin1Char('\r') || text[end - 1] == QLatin1Char('\n')))
        --end;
    return text.left(end);
}

} // namespace

TestInterpreter::TestInterpreter(const StepGrid& table, TestRunState& state, ResultTable& results,
                                 TestHost& host, TestLink& link)
    : m_table(table), m_state(state), m_results(results), m_host(host), m_link(link),
      m_keywords(&NoKeywords())
{
}

void TestInterpreter::SetKeywords(StepKeywords* keywords)
{
    m_keywords = keywords ? keywords : &NoKeywords();
}

void TestInterpreter::SetReportPlace(const QString& directory, const QString& startDate,
                                     bool tellWhere, bool keepEarlier)
{
    m_reportDirectory = directory;
    m_startDate = startDate;
    m_tellWhereSaved = tellWhere;
    m_keepEarlierReports = keepEarlier;
}

QString TestInterpreter::Cell(int column) const { return m_table.Cell(column, m_state.CurrentRow); }

// ---- buttons ----

void TestInterpreter::WindowCreated()
{
    ClearRunState();
    m_state.CurrentRow = 0;
    m_state.LastRow = 0;
    m_state.StepReady = false;
}

// The one place that clears what a run leaves behind that the next one must not inherit: a
// new window and every Start and Single Step come through here.
void TestInterpreter::ClearRunState()
{
    TestRunState& s = m_state;
    s.StepWaiting = false;
    s.RunPaused = false;
    s.SingleStepRequest = false;
    s.GotoArmed.fill(1);
    s.JumpTarget = 0;
    s.DelayTicks = 0;
    s.AwaitedRow = 0;
    s.AwaitedPort = 0;
    s.ResultMark.clear();
}

void TestInterpreter::ResetRun()
{
    ClearRunState();
    m_state.StepReady = true;
    m_host.SetTimer(true);
}

void TestInterpreter::TakeHeaderCopies(bool advanceSerial, bool newReport)
{
    if (advanceSerial)
        m_host.SetSerialField(AdvanceSerialNumber(m_host.HeaderFields().SerialText));
    // Taken after the advance, so that the report names the unit now under test.
    m_state.Copies = m_host.HeaderFields();
    m_host.RunStarted(newReport);
    if (newReport) {
        m_state.ReportRow = 1;
        m_results.WriteCaptions();
        // A new unit: a reply the last run gave up on has had its time.
        m_state.RepliesGivenUp.clear();
    }
}

void TestInterpreter::Start()
{
    const TestOptions options = m_host.Options();
    m_state.CurrentRow = options.StartAtStep1 ? 0 : m_state.LastRow;
    ResetRun();
    TakeHeaderCopies(options.SerialPlusOne, true);
}

void TestInterpreter::SingleStep()
{
    m_state.CurrentRow = m_state.LastRow;
    ResetRun();
    m_state.SingleStepRequest = true;
    // From the top a single step starts a new unit, ticked "Serial # +1" or not.
    const bool fromTop = m_state.CurrentRow == 0;
    TakeHeaderCopies(fromTop, fromTop);
}

void TestInterpreter::Pause()
{
    if (m_host.TimerEnabled()) {
        m_state.RunPaused = true;
        m_host.SetTimer(false);
    }
}

void TestInterpreter::Continue()
{
    if (m_state.RunPaused) {
        m_host.SetTimer(true);
        m_state.RunPaused = false;
    }
}

void TestInterpreter::RowClicked(int row) { m_state.LastRow = row - 1; }

// ---- one tick ----

void TestInterpreter::Tick()
{
    TestRunState& s = m_state;
    s.ControlRow = false;
    s.StepResultText.clear();
    // The mark of a reply that came in since the last tick belongs to that reply's row, not to
    // a command row recorded in this one.
    s.ResultMark.clear();
    m_evaluatedThisTick = false;

    if (!s.StepWaiting) {
        // The row is left: a query still without its reply fails here, for its own row.
        if (s.AwaitedRow > 0) {
            GiveUpReply();
            if (!m_host.TimerEnabled()) { // "Stop at Error" halts at that row
                EndOfTick();
                return;
            }
        }
        if (s.JumpTarget > 0) {
            const int target = s.JumpTarget;
            s.JumpTarget = 0;
            if (!EnterRow(target))
                return;
            m_host.ShowStepNumber(Cell(kTestNr));
        } else if (!EnterRow(s.CurrentRow + 1)) {
            return;
        }
        s.DelayTicks = StepTimeTicks(Cell(kTestTime), kTickMs);
    }

    // The row a GOTO reaches is carried out in this same tick with the first GOTO row's delay.
    // When it is a GOTO row too (loops nested without a row between their ends), that one is
    // followed as well rather than its keyword sent to the instrument as a command.
    for (int gotos = 0; Cell(kTestCommand) == KeywordText(StepKeyword::Goto); ++gotos) {
        if (gotos == kMaxGotosPerTick) {
            EndRun(QStringLiteral("END: GOTO loop at row %1").arg(s.CurrentRow));
            return;
        }
        if (!GotoRow())
            return;
    }

    const QString command = Cell(kTestCommand);
    if (command == KeywordText(StepKeyword::Pause)) {
        if (m_host.TimerEnabled())
            s.RunPaused = true;
        m_host.SetTimer(false);
        m_host.SetResultText(QStringLiteral("PAUSE"));
    }
    if (command == KeywordText(StepKeyword::End) || command == KeywordText(StepKeyword::Send)) {
        s.ControlRow = true;
        m_host.SetTimer(false);
        s.StepReady = false;
        if (m_host.Options().AutoSave && s.CurrentRow > 1)
            AutoSave();
    }

    QString line = command;
    if (m_keywords->ControlKeyword(*this, command))
        s.ControlRow = true;
    if (line.contains(QLatin1Char('@')))
        line = m_keywords->Substitute(line);

    if (s.StepReady && !s.ControlRow)
        SendRow(line);

    if (s.DelayTicks > 0) {
        --s.DelayTicks;
        if (s.DelayTicks == 0) {
            s.StepReady = true;
            s.StepWaiting = false;
        }
    }
    EndOfTick();
}

// Rows 1 to the spare row exist; a jump anywhere else ends the run, so that no cell or GOTO
// entry is ever looked up outside the table.
bool TestInterpreter::EnterRow(int row)
{
    if (row >= 1 && row <= m_table.SpareRow() && row < TestRunState::kGotoEntries) {
        m_state.CurrentRow = row;
        return true;
    }
    EndRun(QStringLiteral("END: no row %1").arg(row));
    return false;
}

// Ends a run that cannot go on as an END row would, with the reason in the result field; no
// report is saved for it.
void TestInterpreter::EndRun(const QString& reason)
{
    m_host.RunError(reason);
    m_host.SetTimer(false);
    m_state.StepReady = false;
    m_state.StepWaiting = false;
    m_state.DelayTicks = 0;
    m_host.SetResultText(reason);
    EndOfTick();
    // The next Start without "Start at Step 1" begins at the top, not after the broken row.
    m_state.LastRow = 0;
}

bool TestInterpreter::GotoRow()
{
    TestRunState& s = m_state;
    const auto row = static_cast<size_t>(s.CurrentRow);
    if (s.GotoArmed[row] == 1)
        s.GotoCount[row] = ReadInteger(Cell(kTestValue3));
    if (s.GotoCount[row] > 0) {
        s.GotoArmed[row] = 0;
        --s.GotoCount[row];
        return EnterRow(ReadInteger(Cell(kTestValue1)));
    }
    // Armed again, so that an enclosing loop runs this one in full once more.
    s.GotoArmed[row] = 1;
    return EnterRow(s.CurrentRow + 1);
}

void TestInterpreter::EndOfTick()
{
    TestRunState& s = m_state;
    if (s.SingleStepRequest)
        m_host.SetTimer(false);
    s.LastRow = s.CurrentRow;
    s.SingleStepRequest = false;
    s.MeasuredValue = 0;
    s.LowerLimitValue = 0;
    s.UpperLimitValue = 0;
    s.ResultMark.clear();
    // A failure found inside this tick stays red until the next tick, like one whose reply
    // came in between ticks; otherwise a GPIB failure would never be seen red.
    if (!m_evaluatedThisTick)
        m_host.SetResultRed(false);
}

// ---- sending ----

void TestInterpreter::ShowRowFields()
{
    m_host.ShowStepNumber(Cell(kTestNr));
    m_host.ShowStepFields(Cell(kTestLowerLimit), Cell(kTestUpperLimit), Cell(kTestComment));
}

void TestInterpreter::SendRow(QString line)
{
    m_host.SetResultText(QString());
    const QString command = Cell(kTestCommand);
    bool gpib = !m_link.SerialLink();
    if (command.startsWith(KeywordText(StepKeyword::Gpib)))
        gpib = true;
    else if (command.startsWith(KeywordText(StepKeyword::Com)))
        gpib = false;

    if (gpib)
        SendGpib(line);
    else
        SendSerial(line);
    if (m_state.DelayTicks > 0) {
        m_state.StepReady = false;
        m_state.StepWaiting = true;
    }
}

// A query's reply comes later, through ReplyReceived.
void TestInterpreter::SendSerial(QString line)
{
    TestRunState& s = m_state;
    const QString command = Cell(kTestCommand);
    s.ExternalReply = false;
    int port = 0;
    if (line.startsWith(KeywordText(StepKeyword::Com))) {
        s.ExternalReply = true;
        port = PrefixNumber(line, 4);
        line = line.mid(7);
    }
    QString error;
    bool sent = true;
    if (const char* meterText = MeterText(command))
        sent = m_link.WriteMeter(QByteArray(meterText), error);
    ShowRowFields();
    const QByteArray bytes = line.toLatin1() + '\n';
    if (sent) {
        if (s.ExternalReply)
            m_link.WriteAuxiliary(port, bytes);
        else
            sent = m_link.WriteInstrument(bytes, error);
    }
    if (!sent) {
        PauseAfterWriteFailure(error);
        return;
    }
    if (!line.endsWith(QLatin1Char('?'))) {
        RecordStep(QString(), QString(), s.StepResultText);
        return;
    }
    s.AwaitedRow = s.CurrentRow;
    s.AwaitedPort = s.ExternalReply ? port : MeterText(command) ? m_link.MeterPort() : 0;
}

// A port that is closed or went away: the run stops here with one message instead of failing
// again at every tick; Continue goes on after this row.
void TestInterpreter::PauseAfterWriteFailure(const QString& error)
{
    if (m_host.TimerEnabled())
        m_state.RunPaused = true;
    m_host.SetTimer(false);
    m_host.SetResultText(QStringLiteral("PAUSE"));
    m_host.ShowMessage(error);
}

void TestInterpreter::SendGpib(QString line)
{
    const QString command = Cell(kTestCommand);
    int address = 0;
    if (command.startsWith(KeywordText(StepKeyword::Gpib))) {
        address = PrefixNumber(command, 5);
        line = command.mid(8);
    }
    const bool query = line.endsWith(QLatin1Char('?'));
    std::optional<QByteArray> reply;
    if (!m_link.GpibExchange(address, line.toLatin1() + '\n', query, reply))
        return; // another exchange is under way: the row is skipped
    ShowRowFields();
    if (query) {
        m_state.ExternalReply = address != 0;
        if (reply) {
            m_state.ReplyLine = *reply;
            EvaluateReply();
        } else {
            RecordNoReply(); // "IBRD failed": nothing was measured
        }
        m_evaluatedThisTick = true;
    } else {
        RecordStep(QString(), QString(), m_state.StepResultText);
    }
    m_state.ExternalReply = false;
}

// ---- replies ----

void TestInterpreter::ReplyReceived(const QByteArray& line, int port)
{
    TestRunState& s = m_state;
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
    ++s.RepliesGivenUp[s.AwaitedPort];
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
    s.ReplyText = QString::fromLatin1(kNoReply);
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
    const QString value = Cell(kTestShow) == QLatin1String("2") ? WithoutLineEnd(reply)
                                                                 : Fixed3(s.MeasuredValue);
    RecordStep(Fixed3(s.LowerLimitValue), Fixed3(s.UpperLimitValue), value);
    s.ExternalReply = false;
}

void TestInterpreter::LimitFailed(int targetColumn)
{
    m_host.SetResultRed(true);
    m_state.ResultMark = QStringLiteral("Error!");
    if (m_host.Options().StopAtError) {
        // Only a running test is suspended: a late reply must not make Continue restart a
        // test that has ended.
        if (m_host.TimerEnabled())
            m_state.RunPaused = true;
        m_host.SetTimer(false);
        m_host.SetResultText(QStringLiteral("PAUSE"));
    } else {
        const QString target = Cell(targetColumn);
        m_state.JumpTarget = target == KeywordText(StepKeyword::Next) ? 0 : ReadInteger(target);
    }
}

void TestInterpreter::RecordStep(const QString& lower, const QString& upper, const QString& value)
{
    TestRunState& s = m_state;
    const QStringList cells{Cell(kTestNr), Cell(kTestComment), lower, ReportValueText(value),
                            upper, s.ResultMark};
    const bool shown = Cell(kTestShow) != QLatin1String("0");
    if (shown) {
        m_results.SetRow(s.ReportRow, cells);
        ++s.ReportRow;
        m_results.SetRowCount(s.ReportRow);
    }
    m_host.StepRecorded(cells, shown);
    m_host.SetResultText(value);
}

// ---- end of run ----

void TestInterpreter::AutoSave()
{
    QString path = QDir(m_reportDirectory)
                       .filePath(AutoSaveFileName(m_state.Copies.UnitText,
                                                  m_state.Copies.SerialText));
    if (m_keepEarlierReports)
        path = UnusedFileName(path);
    QString error;
    if (!SaveReport(path, m_state.Copies, m_startDate, m_results, &error)) {
        m_host.ShowMessage(QStringLiteral("%1: %2").arg(path, error));
        return;
    }
    m_host.ReportSaved(path);
    if (m_tellWhereSaved) {
        m_tellWhereSaved = false;
        m_host.ShowMessage(QStringLiteral("The program's folder cannot be written; reports are "
                                          "saved in %1")
                               .arg(QDir::toNativeSeparators(m_reportDirectory)));
    }
}

// ---- keyword rows ----

void TestInterpreter::HoldForPrompt()
{
    if (m_host.TimerEnabled())
        m_state.RunPaused = true;
    m_host.SetTimer(false);
    m_host.SetResultText(QStringLiteral("PAUSE"));
}

void TestInterpreter::ResumeAfterPrompt()
{
    if (m_state.RunPaused) {
        m_host.SetTimer(true);
        m_state.RunPaused = false;
    }
}

void TestInterpreter::ReportResultText(const QString& text)
{
    m_state.StepResultText = text;
    if (m_state.StepReady)
        RecordStep(QString(), QString(), text);
}
