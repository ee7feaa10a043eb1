#include "run/runner.h"

#include "autotest/keyword_table.h"
#include "autotest/table_file.h"
#include "common/text_file.h"
#include "panel/operator_commands.h"
#include "panel/program_start.h"
#include "run/input_rules.h"

#include <QDir>
#include <QEventLoop>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

TestRunner::TestRunner(LinkState& link, PanelState& panel, ProgramPlaces& places,
                       AutotestState& test, RunnerOptions options, RunnerConsole& console)
    : m_link(link), m_panel(panel), m_places(places), m_test(test), m_options(std::move(options)),
      m_console(console), m_table(kTestColumns, kTestRows)
{
    InitStepGrid(m_table, TestTableKind());
    m_listed.SetRowCount(1); // the captions only
    m_timer.setInterval(TestInterpreter::kTickMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    // An error a tick raises (a port write that fails outright) ends the run as a failed one:
    // the run does not go on past a row it could not carry out.
    connect(&m_timer, &QTimer::timeout, this, [this] {
        try {
            m_session->Tick();
        } catch (const std::exception& error) {
            m_timer.stop();
            Fail(QString::fromLocal8Bit(error.what()));
            return;
        }
        m_console.Progress(m_test.TestRun.CurrentRow, EndRow(), m_elapsed.elapsed());
    });
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer); // "longer than 0.5 s" is never said early
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        m_outcome.Aborted = true;
        Finish(QStringLiteral("time-out: the run took longer than %1 s")
                   .arg(SecondsText(m_options.TimeoutMs)));
    });
}

TestRunner::~TestRunner()
{
    DetachPortHandlers(m_link);
    if (m_link.Replies == this)
        m_link.Replies = nullptr;
    m_link.GpibSink.SetTarget(nullptr);
}

// Nothing is sent to the instrument until the table is read and checked, the output folders
// are checked and the ports are open. A table or a folder that fails ends the run here (false);
// the ports open off the event loop, and the run goes on, or ends with the cause, when they
// have answered.
bool TestRunner::Start()
{
    m_elapsed.start();
    m_startedAt = QDateTime::currentDateTime();
    if (!ReadTable() || !CheckOutputFolders()) {
        m_finished = true;
        m_console.Error(m_outcome.RunError);
        return false;
    }
    m_tableRead = true;
    if (!StartLink()) {
        m_outcome.NotOpened = true;
        Finish(m_outcome.RunError);
        return true;
    }
    if (m_options.TimeoutMs > 0)
        m_timeout.start(m_options.TimeoutMs);
    m_link.OpenAhead(PortsToOpen(), [this] { PortsOpened(); });
    return true;
}

QString TestRunner::EndState() const
{
    if (!m_finished)
        return m_running ? QStringLiteral("running") : QStringLiteral("starting");
    if (m_outcome.NotOpened)
        return QStringLiteral("could not open");
    if (m_outcome.Stopped)
        return QStringLiteral("stopped");
    if (m_outcome.Lost)
        return QStringLiteral("lost");
    return m_outcome.Status == kPassed   ? QStringLiteral("passed")
           : m_outcome.Status == kFailed ? QStringLiteral("failed")
           : m_outcome.Aborted           ? QStringLiteral("timed out")
                                         : QStringLiteral("error");
}

// The run cannot begin (its trace cannot be written): it ends as a run error, recorded and
// listed like any other.
void TestRunner::Refuse(const QString& why)
{
    m_elapsed.start();
    m_startedAt = QDateTime::currentDateTime();
    m_tableRead = ReadTable();
    m_outcome.RunError = why;
    m_outcome.NotOpened = true;
    Finish(why);
}

int TestRunner::Exec()
{
    if (!Start())
        return kRunError;
    if (!m_finished) {
        QEventLoop loop;
        connect(this, &TestRunner::Finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return m_outcome.Status;
}

// ---- the run ----

TestOptions TestRunner::Options() const
{
    return {.StopAtError = m_options.StopAtError,
            .SerialPlusOne = m_options.SerialAdvance,
            .StartAtStep1 = true,
            .AutoSave = m_options.AutoSave};
}

void TestRunner::SetTimer(bool on)
{
    if (m_finished)
        return;
    if (on) {
        m_timer.start();
        return;
    }
    m_timer.stop();
    // Why it stopped is judged once the interpreter is done with this tick or reply.
    QTimer::singleShot(0, this, &TestRunner::TimerStopped);
}

void TestRunner::TimerStopped()
{
    if (m_finished || m_timer.isActive() || m_waitingForEnter)
        return;
    TestRunState& s = m_test.TestRun;
    if (!s.RunPaused) {
        // The end row (a run error has ended the run through Fail). A reply still on its way
        // is taken for one more tick, to be told as late.
        if (!m_pendingMessage.isEmpty())
            m_console.Warning(m_pendingMessage);
        m_pendingMessage.clear();
        m_outcome.ReachedEnd = m_outcome.RunError.isEmpty();
        QTimer::singleShot(TestInterpreter::kTickMs, this, [this] { Finish(QString()); });
        return;
    }
    TestInterpreter& run = m_session->Run();
    const QString step = run.Cell(kTestNr).trimmed();
    switch (s.Hold) {
    case RunHold::PortFailed:
        Finish(m_pendingMessage); // the instrument's port could not take a line
        return;
    case RunHold::StopAtError:
        Finish(QString()); // "Stop at Error": the failed row ends the run
        return;
    case RunHold::PauseRow:
        break;
    case RunHold::None:
    case RunHold::Operator:
    case RunHold::Prompt:
        return; // nothing holds a run without windows but its rows
    }
    if (!m_terminal) {
        m_console.Warning(QStringLiteral("step %1: PAUSE passed over (standard input is not a "
                                         "terminal)")
                              .arg(step));
        run.Continue();
        return;
    }
    m_waitingForEnter = true;
    m_terminal->Ask(m_console,
                    QStringLiteral("step %1: PAUSE - press Enter to continue ").arg(step),
                    [this](const QString&) {
                        m_waitingForEnter = false;
                        m_session->Run().Continue();
                    });
}

// The header copies are taken (a "Serial # +1" already counted): the run's record begins.
void TestRunner::RunStarted(bool newReport)
{
    if (!newReport || !m_journal)
        return;
    m_journal->RunBegins(Beginning());
}

RunBeginning TestRunner::Beginning() const
{
    const QString known = m_tested.Identification.isEmpty()
                              ? KnownIdentification(m_panel.DeviceIdent)
                              : m_tested.Identification;
    return {m_options.TestFile, m_test.TestRun.Copies, LinkName(), known,
            m_options.SlotName, m_options.RackRun,     m_tested};
}

// A hidden row ("Show" 0) that fails is listed and counted all the same.
void TestRunner::StepRecorded(const QStringList& cells, bool shown)
{
    if (m_journal)
        m_journal->StepRecorded(cells, shown, m_session->Run().SentLine());
    const bool failed = !cells.value(ResultTable::kMark).isEmpty();
    if (!shown && !failed)
        return;
    m_listed.SetRow(m_listed.RowCount(), cells);
    m_shownRows += shown;
    m_failedRows += failed;
    m_console.Row(cells, m_session->Run().Cell(kTestCommand));
}

void TestRunner::LateReply(const QString& text)
{
    m_console.Warning(
        QStringLiteral("step %1: %2").arg(m_session->Run().Cell(kTestNr).trimmed(), text));
}

// "Serial # +1": the next run of this table numbers the next unit.
void TestRunner::SetSerialField(const QString& text)
{
    m_header.SerialText = text;
    QString error;
    if (m_options.SerialAdvance && !WriteTestFileSerial(m_options.TestFile, text, &error))
        Fail(FileErrorText(m_options.TestFile, error));
}

void TestRunner::ReportSaved(const QString& path) { m_console.Saved(path); }

int TestRunner::EndRow() const
{
    int last = 0;
    for (int row = 1; row <= m_table.LastRow(); ++row) {
        const QString command = m_table.Cell(kTestCommand, row);
        if (IsEndCommand(command))
            return row;
        if (!command.isEmpty())
            last = row;
    }
    return last;
}

void TestRunner::ShowMessage(const QString& text) { m_pendingMessage = text; }

QString TestRunner::AskValue(const QString& defaultText, const QString& promptText)
{
    const QString answer = FindAnswer(defaultText, promptText);
    m_answers << PromptAnswerText(PromptedVariable(m_session->Run().Cell(kTestCommand)), answer);
    return answer;
}

// On the terminal only this run waits for the answer; a text that is no number, which the
// interpreter would read as 0, is asked again.
bool TestRunner::AskValueLater(const QString& defaultText, const QString& promptText,
                               Answered answered)
{
    const int variable = PromptedVariable(m_session->Run().Cell(kTestCommand));
    if (!m_terminal || PresetAnswer(variable, defaultText, promptText))
        return false;
    AskTerminal(variable, defaultText, promptText, std::move(answered));
    return true;
}

void TestRunner::AskTerminal(int variable, const QString& defaultText, const QString& promptText,
                             Answered answered)
{
    m_terminal->Ask(m_console, QStringLiteral("%1 [%2]: ").arg(promptText, defaultText),
                    [=, this](const QString& line) {
                        if (!line.isEmpty() && !ReadVariableValue(line)) {
                            m_console.Alert(QStringLiteral("not a number: %1").arg(line));
                            AskTerminal(variable, defaultText, promptText, answered);
                            return;
                        }
                        const QString answer = line.isEmpty() ? defaultText : line;
                        m_answers << PromptAnswerText(variable, answer);
                        answered(answer);
                    });
}

// An answer given beforehand: by the script, then by --answer.
std::optional<QString> TestRunner::PresetAnswer(int variable, const QString& defaultText,
                                                const QString& promptText) const
{
    if (m_answerSource)
        if (const std::optional<QString> answer = m_answerSource(variable, defaultText, promptText))
            return answer;
    if (auto given = m_options.Answers.find(variable); given != m_options.Answers.end())
        return given->second;
    return std::nullopt;
}

QString TestRunner::FindAnswer(const QString& defaultText, const QString& promptText)
{
    TestInterpreter& run = m_session->Run();
    const int variable = PromptedVariable(run.Cell(kTestCommand));
    if (const std::optional<QString> answer = PresetAnswer(variable, defaultText, promptText))
        return *answer;
    // The terminal is asked through AskValueLater; a run without one takes the default.
    m_console.Alert(QStringLiteral("step %1: no answer for VAR%2, the default %3 is taken")
                        .arg(run.Cell(kTestNr).trimmed())
                        .arg(variable, 2, 10, QLatin1Char('0'))
                        .arg(defaultText));
    return defaultText;
}

// A read that failed is the row's "no reply", which the interpreter records; the status lines
// follow their message.
void TestRunner::AppendErrBox(const QString& line)
{
    const QString text = line.trimmed();
    if (text.isEmpty())
        return;
    ++m_gpibErrors;
    for (const char* status : {"IBSTA=", "IBERR=", "IBCNT="})
        if (text.startsWith(QLatin1String(status)))
            return;
    if (text != QLatin1String("IBRD failed") && m_outcome.RunError.isEmpty())
        Fail(QStringLiteral("%1: %2").arg(LinkName(), text));
}

void TestRunner::PortLost(TCiaComPort* port, int error)
{
    if (m_outcome.RunError.isEmpty() && !m_finished)
        m_outcome.Lost = true;
    Fail(QStringLiteral("%1: instrument lost (%2)")
             .arg(PortLabel(port->Port()), QString::fromLocal8Bit(std::strerror(error))));
}

void TestRunner::Interrupt()
{
    if (m_outcome.RunError.isEmpty() && !m_finished)
        m_outcome.Aborted = m_outcome.Stopped = true;
    Fail(QStringLiteral("interrupted"));
}

// A failure of the run itself: before the run it is reported by Exec, during it the run ends.
void TestRunner::Fail(const QString& runError)
{
    if (!m_outcome.RunError.isEmpty() || m_finished)
        return;
    m_outcome.RunError = runError;
    // Before the rows began (the ports still opening) the run ends too: nothing waits there.
    if (m_running || m_tableRead)
        QTimer::singleShot(0, this, [this] { Finish(m_outcome.RunError); });
}

// ---- the end ----

void TestRunner::Finish(const QString& runError)
{
    if (m_finished)
        return;

    m_finished = true;
    m_endedMs = m_elapsed.elapsed();
    if (m_outcome.RunError.isEmpty())
        m_outcome.RunError = runError;
    m_timer.stop();
    m_timeout.stop();
    m_identify.reset(); // a question still waiting for its answer is given up
    m_waitingForEnter = false;
    if (m_terminal)
        m_terminal->Withdraw(m_console);
    // A query broken off in its wait has no value: it fails like one that got no reply.
    if (m_session)
        m_session->Run().AbandonRun();
    // Nothing was sent when the rows never began: there is no output to switch off.
    if (!m_outcome.ReachedEnd && m_running)
        SwitchOutputOff();
    // The device cleared and back to local, every port closed, before the files are written.
    DetachPortHandlers(m_link);
    if (m_session)
        m_session->Close();
    for (int n = 1; n <= LinkState::kPortCount; ++n)
        m_link.ComPort(n).SetActive(false);
    m_link.GpibSink.SetTarget(nullptr);

    if (m_running)
        WriteResults();
    m_outcome.Status = !m_outcome.RunError.isEmpty() || !m_outcome.FileErrors.isEmpty() ? kRunError
                       : m_failedRows > 0                                               ? kFailed
                                                                                        : kPassed;
    // A unit whose run never began is recorded all the same, with why.
    if (m_journal && !m_journal->RunOpen() && m_tableRead)
        m_journal->RunBegins(Beginning());
    if (m_journal)
        m_journal->RunEnds(m_outcome.RunError.isEmpty() ? RunEnding::Completed
                           : m_outcome.Aborted          ? RunEnding::Aborted
                                                        : RunEnding::Error,
                           m_outcome.RunError);
    if (!m_outcome.RunError.isEmpty())
        m_console.Error(m_outcome.RunError);
    m_console.Summary(m_shownRows, m_failedRows,
                      m_outcome.RunError.isEmpty() ? m_outcome.FileErrors.join(QStringLiteral("; "))
                                                   : m_outcome.RunError,
                      m_elapsed.elapsed());
    Q_EMIT Finished(m_outcome.Status);
}

// A run that did not reach its end row (interrupted, timed out, a run error, "Stop at Error")
// may have left the output live: it is switched off as the main window's button does, unless
// the operator asked to keep it. The note goes into the report, JUnit and standard error; it
// holds no ';', which would split its report line.
void TestRunner::SwitchOutputOff()
{
    QString note;
    if (m_options.KeepOutput) {
        note = QStringLiteral("the run did not reach its end: output left as it was "
                              "(--keep-output)");
    } else {
        const QByteArray line(kOutputOffLine);
        bool sent = false;
        QString why = QStringLiteral("the link is down");
        if (m_link.SerialLink && m_link.ComPort(1).Active()) {
            try {
                m_link.ComPort(1).WriteText(line);
                sent = true;
            } catch (const ECiaComPort& e) {
                why = e.Message();
            }
        } else if (!m_link.SerialLink && m_link.Gpib.GpibDevice > 0 && !m_link.Gpib.GpibBusy) {
            const int errorsBefore = m_gpibErrors;
            m_link.Gpib.GpibWrite(QString::fromLatin1(line));
            sent = m_gpibErrors == errorsBefore;
            why = QStringLiteral("the GPIB write failed");
        }
        // No ';' in the note: it would split its report line.
        note = sent ? QStringLiteral("the run did not reach its end: output switched off (%1 "
                                     "sent)")
                          .arg(QString::fromLatin1(line.trimmed()))
                    : QStringLiteral("the run did not reach its end: the output could NOT be "
                                     "switched off: %1")
                          .arg(QString(why).replace(QLatin1Char(';'), QLatin1Char(',')));
    }
    m_outcome.SafeEnd = note;
    m_notes << note;
    m_console.Note(note);
    int& row = m_test.TestRun.ReportRow;
    m_results.SetRow(row, {QString(), note, QString(), QString(), QString(), QString()});
    m_results.SetRowCount(++row);
}
