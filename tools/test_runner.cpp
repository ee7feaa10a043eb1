#include "tools/test_runner.h"

#include "autotest/test_file.h"
#include "link/link_settings.h"
#include "panel/program_start.h"

#include "common/text_file.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

bool EndCommand(const QString& command)
{
    return command == QLatin1String("END") || command == QLatin1String("SEND");
}

} // namespace

TestRunner::TestRunner(ProgramState& state, RunnerOptions options, RunnerConsole& console,
                       bool stdinTerminal)
    : S(state), m_options(std::move(options)), m_console(console),
      m_stdinTerminal(stdinTerminal), m_table(kTestColumns, kTestRows)
{
    InitStepGrid(m_table, TestTableKind());
    m_timer.setInterval(TestInterpreter::kTickMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_session->Tick();
        m_console.Progress(S.TestRun.CurrentRow, EndRow(), m_elapsed.elapsed());
    });
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        Finish(QStringLiteral("time-out: the run took longer than %1 s")
                   .arg(m_options.TimeoutSeconds));
    });
}

TestRunner::~TestRunner()
{
    DetachPortHandlers(S);
    if (S.Replies == this)
        S.Replies = nullptr;
    S.GpibSink.SetTarget(nullptr);
}

// ---- start ----

bool TestRunner::Prepare()
{
    const QString& path = m_options.TestFile;
    QString error;
    if (!QFileInfo(path).isFile()) {
        m_runError = FileErrorText(path, QStringLiteral("no such test file"));
        return false;
    }
    if (!ReadTestFile(
            path, m_header, m_table,
            [this, &path](int line) {
                m_console.Warning(QStringLiteral("%1 line %2: Read Error Time !").arg(path).arg(line));
            },
            &error)) {
        m_runError = FileErrorText(path, error);
        return false;
    }
    if (m_options.Reporter)
        m_header.ReporterText = *m_options.Reporter;
    if (m_options.Unit)
        m_header.UnitText = *m_options.Unit;
    if (m_options.Serial)
        m_header.SerialText = *m_options.Serial;
    S.TestRun.Copies = m_header;
    S.MeterPort = m_options.MeterPort.value_or(0);
    for (const auto& [variable, value] : m_options.Sets)
        S.TestVariables[static_cast<size_t>(variable - 1)] = value;

    QString configWarning;
    const QString configFile = m_options.ConfigFile;
    if (!configFile.isEmpty() && !QFileInfo(configFile).isFile()) {
        m_runError = FileErrorText(configFile, QStringLiteral("no such configuration file"));
        return false;
    }
    S.Replies = this;
    S.GpibSink.SetTarget(this);
    // Optional as for the desktop program: only a GPIB link needs it.
    const bool gpibBound = S.GpibLib.BindGpibLibrary() == 0;
    const QString warning = StartProgramState(
        S, [this](TCiaComPort* port, int error) { PortLost(port, error); },
        [&](LinkSettings& link) {
            if (!configFile.isEmpty())
                configWarning = ReadLinkConfig(configFile, link).warning;
            if (m_options.Port) {
                link.IoType = 0;
                link.PortText = QString::number(*m_options.Port);
            } else if (m_options.GpibAddress) {
                link.IoType = 2;
                link.GpibAddress = *m_options.GpibAddress;
            } else if (!m_options.GpibName.isEmpty()) {
                link.IoType = 1;
                link.GpibDeviceName = m_options.GpibName;
            }
        });
    for (const QString& w : {warning, configWarning})
        if (!w.isEmpty())
            m_console.Warning(w);
    S.Gpib.SetDeviceName(S.Link.GpibDeviceName);

    if (S.SerialLink && !S.ComPort(1).Active()) {
        QString why = QStringLiteral("port not available");
        const QString prefix = QStringLiteral("COM%1").arg(S.Link.PortText);
        for (const QString& line : m_linkLines)
            if (line.contains(prefix) && !line.contains(QLatin1String("port found")))
                why = line;
        m_runError = QStringLiteral("%1: %2").arg(LinkName(), why);
        return false;
    }
    if (!S.SerialLink && !gpibBound) {
        m_runError = QStringLiteral("%1: the GPIB library %2 is not available")
                         .arg(LinkName(), QString::fromLatin1(GpibLibrary::kLibraryFileName));
        return false;
    }

    TestHost& host = *this;
    ValuePrompt& prompt = *this;
    m_session = std::make_unique<TestSession>(S, m_table, m_results, host, prompt);
    for (const QString& portError : m_session->Open())
        m_console.Warning(portError);
    if (!S.SerialLink && S.Gpib.GpibDevice <= 0) {
        if (m_runError.isEmpty())
            m_runError = QStringLiteral("%1: device not available").arg(LinkName());
        return false;
    }
    if (!m_runError.isEmpty())
        return false; // a GPIB error while opening the device
    m_results.SetObserver([this](int row) {
        if (row > 0)
            RowRecorded(row);
    });
    return true;
}

QString TestRunner::LinkName() const
{
    if (S.SerialLink)
        return QStringLiteral("COM") + S.Link.PortText;
    if (S.Link.IoType == 1)
        return QStringLiteral("GPIB device \"%1\"").arg(S.Link.GpibDeviceName);
    return QStringLiteral("GPIB address %1").arg(S.Link.GpibAddress);
}

int TestRunner::Exec()
{
    m_elapsed.start();
    if (!Prepare()) {
        m_finished = true;
        m_console.Error(m_runError);
        if (m_session)
            m_session->Close();
        return kRunError;
    }
    if (m_options.TimeoutSeconds > 0)
        m_timeout.start(m_options.TimeoutSeconds * 1000);
    QEventLoop loop;
    m_loop = &loop;
    m_session->Run().Start();
    if (!m_finished)
        loop.exec();
    m_loop = nullptr;
    return m_status;
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
    if (m_finished || m_timer.isActive() || m_enter)
        return;
    TestRunState& s = S.TestRun;
    if (!s.RunPaused) {
        // The end row. A reply still on its way to the last query is taken for one more tick.
        if (!m_pendingMessage.isEmpty())
            m_console.Warning(m_pendingMessage);
        m_pendingMessage.clear();
        QTimer::singleShot(TestInterpreter::kTickMs, this, [this] { Finish(QString()); });
        return;
    }
    if (!m_pendingMessage.isEmpty()) {
        Finish(m_pendingMessage); // the instrument's port could not take a line
        return;
    }
    TestInterpreter& run = m_session->Run();
    const QString step = run.Cell(kTestNr).trimmed();
    if (run.Cell(kTestCommand) != QLatin1String("PAUSE")) {
        Finish(QString()); // "Stop at Error": the failed row ends the run
        return;
    }
    if (!m_stdinTerminal) {
        m_console.Warning(QStringLiteral("step %1: PAUSE passed over (standard input is not a "
                                         "terminal)")
                              .arg(step));
        run.Continue();
        return;
    }
    m_console.Ask(QStringLiteral("step %1: PAUSE - press Enter to continue ").arg(step));
    m_enter = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_enter, &QSocketNotifier::activated, this, [this] {
        m_enter->deleteLater();
        m_enter = nullptr;
        ReadTerminalLine();
        m_session->Run().Continue();
    });
}

void TestRunner::RowRecorded(int row)
{
    m_console.Row(m_results.Row(row), m_session->Run().Cell(kTestCommand));
}

int TestRunner::EndRow() const
{
    int last = 0;
    for (int row = 1; row <= m_table.LastRow(); ++row) {
        const QString command = m_table.Cell(kTestCommand, row);
        if (EndCommand(command))
            return row;
        if (!command.isEmpty())
            last = row;
    }
    return last;
}

void TestRunner::ShowMessage(const QString& text) { m_pendingMessage = text; }

QString TestRunner::AskValue(const QString& defaultText, const QString& promptText)
{
    TestInterpreter& run = m_session->Run();
    const int variable = run.Cell(kTestCommand).mid(7, 2).toInt();
    if (auto given = m_options.Answers.find(variable); given != m_options.Answers.end())
        return given->second;
    if (m_stdinTerminal) {
        m_console.Ask(QStringLiteral("%1 [%2]: ").arg(promptText, defaultText));
        const QString line = ReadTerminalLine();
        return line.isEmpty() ? defaultText : line;
    }
    m_console.Warning(QStringLiteral("step %1: no answer for VAR%2, the default %3 is taken")
                          .arg(run.Cell(kTestNr).trimmed())
                          .arg(variable, 2, 10, QLatin1Char('0'))
                          .arg(defaultText));
    return defaultText;
}

// One line from standard input, without its line end; empty at end of input or on Ctrl-C.
QString TestRunner::ReadTerminalLine()
{
    char buffer[256];
    if (!std::fgets(buffer, sizeof buffer, stdin)) {
        std::clearerr(stdin);
        return {};
    }
    return QString::fromLocal8Bit(buffer).trimmed();
}

void TestRunner::ParseReply(const QString& text) { m_linkLines.append(text); }

void TestRunner::AppendErrBox(const QString& line)
{
    if (m_runError.isEmpty() && !line.trimmed().isEmpty())
        Fail(QStringLiteral("%1: %2").arg(LinkName(), line.trimmed()));
}

void TestRunner::PortLost(TCiaComPort* port, int error)
{
    Fail(QStringLiteral("COM%1: instrument lost (%2)")
             .arg(port->Port())
             .arg(QString::fromLocal8Bit(std::strerror(error))));
}

void TestRunner::Interrupt() { Fail(QStringLiteral("interrupted")); }

// A failure of the run itself: before the run it is reported by Exec, during it the run ends.
void TestRunner::Fail(const QString& runError)
{
    if (!m_runError.isEmpty() || m_finished)
        return;
    m_runError = runError;
    if (m_session && m_loop)
        QTimer::singleShot(0, this, [this] { Finish(m_runError); });
}

// ---- the end ----

void TestRunner::Finish(const QString& runError)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_runError.isEmpty())
        m_runError = runError;
    m_timer.stop();
    m_timeout.stop();
    delete m_enter;
    m_enter = nullptr;
    // The device cleared and back to local, every port closed, before the files are written.
    DetachPortHandlers(S);
    m_session->Close();
    for (int n = 1; n <= ProgramState::kPortCount; ++n)
        S.ComPort(n).SetActive(false);
    S.GpibSink.SetTarget(nullptr);

    WriteResults();
    int rows = 0;
    int failed = 0;
    for (int row = 1; row < m_results.RowCount(); ++row) {
        rows += !m_results.Row(row).join(QString()).isEmpty();
        failed += m_results.Cell(ResultTable::kMark, row) == QLatin1String("Error!");
    }
    m_status = !m_runError.isEmpty() ? kRunError : failed > 0 ? kFailed : kPassed;
    if (!m_runError.isEmpty())
        m_console.Error(m_runError);
    m_console.Summary(rows, failed, m_runError, m_elapsed.elapsed());
    if (m_loop)
        m_loop->quit();
}
