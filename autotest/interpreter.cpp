#include "autotest/interpreter.h"

#include "autotest/auxiliary_ports.h"
#include "autotest/keyword_table.h"
#include "autotest/report_file.h"
#include "autotest/result_table.h"
#include "autotest/table_file.h"
#include "common/number_reading.h"
#include "common/step_time.h"
#include "common/text_file.h"
#include "replies/identification.h"
#include "sequence/step_grid.h"

#include <QDir>
#include <algorithm>

namespace {

StepKeywords& NoKeywords()
{
    static StepKeywords none;
    return none;
}

} // namespace

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

bool TableReadsMeter(const StepGrid& table)
{
    for (int row = 1; row <= table.LastRow(); ++row)
        if (MeterText(table.Cell(kTestCommand, row)))
            return true;
    return false;
}

TestInterpreter::TestInterpreter(const StepGrid& table, TestRunState& state, ResultTable& results,
                                 TestHost& host, TestLink& link)
    : m_table(table), m_state(state), m_results(results), m_host(host), m_link(link),
      m_keywords(&NoKeywords())
{}

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
    s.Hold = RunHold::None;
    s.SingleStepRequest = false;
    s.GotoArmed.fill(1);
    s.JumpTarget = 0;
    s.DelayTicks = 0;
    s.AwaitedRow = 0;
    s.AwaitedPort = 0;
    s.ResultMark.clear();
    m_sentRow = 0;
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
        m_state.InstrumentResync = {};
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
    if (m_host.TimerEnabled())
        HoldRun(RunHold::Operator);
}

void TestInterpreter::HoldAtLostPort() { HoldRun(RunHold::PortFailed); }

void TestInterpreter::Continue()
{
    if (m_state.RunPaused) {
        m_host.SetTimer(true);
        m_state.RunPaused = false;
        m_state.Hold = RunHold::None;
    }
}

// Only a running test is suspended: a late reply must not make Continue restart a test that
// has ended.
void TestInterpreter::HoldRun(RunHold why)
{
    if (m_host.TimerEnabled()) {
        m_state.RunPaused = true;
        m_state.Hold = why;
    }
    m_host.SetTimer(false);
    if (why != RunHold::Operator)
        m_host.SetResultText(QStringLiteral("PAUSE"));
}

void TestInterpreter::RowClicked(int row) { m_state.LastRow = row - 1; }

QString TestInterpreter::SentLine() const
{
    return m_sentRow == m_state.CurrentRow && m_sentRow > 0 ? m_sentLine : Cell(kTestCommand);
}

// ---- one tick ----

void TestInterpreter::Tick()
{
    TestRunState& s = m_state;
    BeginTick();
    if (!s.StepWaiting && !EnterNextRow())
        return;
    if (!FollowGotos())
        return;

    const QString command = Cell(kTestCommand);
    StopAtPauseOrEnd(command);

    QString line = command;
    if (m_keywords->ControlKeyword(*this, command))
        s.ControlRow = true;
    if (line.contains(QLatin1Char('@')))
        line = m_keywords->Substitute(line);

    if (s.StepReady && !s.ControlRow) {
        m_sentLine = line;
        m_sentRow = s.CurrentRow;
        SendRow(line);
        // The PAUSE row is sent as a line too; its "PAUSE" stays while the run is held.
        if (s.Hold == RunHold::PauseRow)
            m_host.SetResultText(QStringLiteral("PAUSE"));
    }

    if (s.DelayTicks > 0) {
        --s.DelayTicks;
        if (s.DelayTicks == 0) {
            s.StepReady = true;
            s.StepWaiting = false;
        }
    }
    EndOfTick();
}

void TestInterpreter::BeginTick()
{
    TestRunState& s = m_state;
    s.ControlRow = false;
    s.StepResultText.clear();
    // The mark of a reply that came in since the last tick belongs to that reply's row, not to
    // a command row recorded in this one.
    s.ResultMark.clear();
    m_evaluatedThisTick = false;
}

// Moves on from the current row: to the next one, or to the one a failed limit jumps to, whose
// time then starts. False when the tick ends here.
bool TestInterpreter::EnterNextRow()
{
    TestRunState& s = m_state;
    // The row is left: a query still without its reply fails here, for its own row.
    if (s.AwaitedRow > 0) {
        GiveUpReply();
        if (!m_host.TimerEnabled()) { // "Stop at Error" halts at that row
            EndOfTick();
            return false;
        }
    }
    if (s.JumpTarget > 0) {
        const int target = s.JumpTarget;
        s.JumpTarget = 0;
        if (!EnterRow(target))
            return false;
        m_host.ShowStepNumber(Cell(kTestNr));
    } else if (!EnterRow(s.CurrentRow + 1)) {
        return false;
    }
    s.DelayTicks = StepTimeTicks(Cell(kTestTime), kTickMs);
    return true;
}

// The row a GOTO reaches is carried out in this same tick with the first GOTO row's delay.
// When it is a GOTO row too (loops nested without a row between their ends), that one is
// followed as well rather than its keyword sent to the instrument as a command. False when the
// run ended on the way.
bool TestInterpreter::FollowGotos()
{
    for (int gotos = 0; Cell(kTestCommand) == KeywordText(StepKeyword::Goto); ++gotos) {
        if (gotos == kMaxGotosPerTick) {
            EndRun(QStringLiteral("END: GOTO loop at row %1").arg(m_state.CurrentRow));
            return false;
        }
        if (!GotoRow())
            return false;
    }
    return true;
}

// PAUSE stops the timer until Continue; END and SEND end the run, with its report saved when
// "Auto Save" is ticked.
void TestInterpreter::StopAtPauseOrEnd(const QString& command)
{
    TestRunState& s = m_state;
    if (command == KeywordText(StepKeyword::Pause))
        HoldRun(RunHold::PauseRow);
    if (IsEndCommand(command)) {
        s.ControlRow = true;
        m_host.SetTimer(false);
        s.StepReady = false;
        if (m_host.Options().AutoSave && s.CurrentRow > 1)
            AutoSave();
    }
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
        port = DevicePrefixNumber(line, 4);
        line = line.mid(7);
    }
    QString error;
    bool sent = true;
    if (const char* meterText = MeterText(command))
        sent = m_link.WriteMeter(QByteArray(meterText), error);
    ShowRowFields();
    const QByteArray bytes = line.toLatin1() + '\n';
    const bool query = line.endsWith(QLatin1Char('?'));
    // Everything up to the identification's answer is stale; the query's own reply is the line
    // after it.
    if (sent && !s.ExternalReply && query && s.InstrumentResync.Begin())
        sent = m_link.WriteInstrument(QByteArray(kResyncQuery), error);
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
    if (!query) {
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
    HoldRun(RunHold::PortFailed);
    m_host.ShowMessage(error);
}

void TestInterpreter::SendGpib(QString line)
{
    const QString command = Cell(kTestCommand);
    int address = 0;
    if (command.startsWith(KeywordText(StepKeyword::Gpib))) {
        address = DevicePrefixNumber(command, 5);
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

// ---- end of run ----

void TestInterpreter::AutoSave()
{
    QString path =
        QDir(m_reportDirectory)
            .filePath(AutoSaveFileName(m_state.Copies.UnitText, m_state.Copies.SerialText));
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
