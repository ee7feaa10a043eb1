#include "run/rack_runner.h"

#include "autotest/auxiliary_ports.h"
#include "autotest/interpreter.h"
#include "autotest/table_file.h"
#include "common/text_file.h"
#include "record/trace_option.h"
#include "results/instrument_source.h"
#include "sequence/step_grid.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QUuid>

RackRunner::RackRunner(const RunnerOptions& options, ResultsStore& results, bool stdinTerminal)
    : m_options(options), m_results(results), m_stdinTerminal(stdinTerminal),
      m_console(std::make_unique<RunnerConsole>(stderr, options.Quiet, false))
{}

void RackRunner::SetConsoles(ConsoleMaker maker)
{
    m_consoles = std::move(maker);
    m_console = m_consoles(QString());
}

RackRunner::~RackRunner() = default;

// Several slots write one file each: the outputs named must be folders.
QString RackRunner::CheckRackOutputs() const
{
    if (m_options.Slots.size() < 2)
        return {};
    const std::pair<const char*, QString> outputs[] = {{"--report", m_options.ReportFile},
                                                       {"--text", m_options.TextFile},
                                                       {"--pdf", m_options.PdfFile}};
    for (const auto& [option, path] : outputs)
        if (!path.isEmpty() && !QFileInfo(path).isDir())
            return QStringLiteral("%1 %2: with several slots, give a folder: each slot writes "
                                  "a file of its own there")
                .arg(QLatin1String(option), path);
    return {};
}

// Each slot's unit: the one given with the slot, else the next after the last one taken,
// from the table's serial number (or --serial) on; with --serial-advance the first is the one
// after it, as one run's "Serial # +1" is.
QStringList RackRunner::SlotSerials(const TestHeader& header, QString* lastCounted) const
{
    QString serial = m_options.Serial.value_or(header.SerialText);
    if (m_options.SerialAdvance)
        serial = AdvanceSerialNumber(serial);
    QStringList serials;
    for (const RackSlot& slot : m_options.Slots) {
        if (slot.Serial) {
            serials << *slot.Serial;
            continue;
        }
        serials << serial;
        *lastCounted = serial;
        serial = AdvanceSerialNumber(serial);
    }
    return serials;
}

// Every slot given gets its runner, also one that cannot start: it is listed, recorded and
// summed up with its error like the others.
void RackRunner::StartSlot(int index, Slot& slot, const QString& rackRun)
{
    // A run on its own takes the options as they are; a slot its own link, unit and ports.
    RunnerOptions o = m_options;
    if (!Single()) {
        o = SlotRunOptions(m_options, slot.Given, slot.Serial);
        o.RackRun = rackRun;
        o.SlotName = slot.Given.Name;
    }
    const QString prefix =
        Single() ? QString() : QStringLiteral("%1 %2: ").arg(slot.Given.Name, slot.Serial);
    if (m_consoles) {
        slot.Console = m_consoles(prefix);
    } else {
        slot.Console = std::make_unique<RunnerConsole>(stderr, o.Quiet, false);
        slot.Console->SetPrefix(prefix);
    }
    if (m_view && !Single()) {
        slot.ViewSlot = m_view->AddSlot(QStringLiteral("%1 %2").arg(slot.Given.Name, slot.Serial));
        slot.Console->SetBoard(m_view, slot.ViewSlot);
    }
    slot.Recorder = std::make_unique<RunRecorder>(m_results);
    ProgramState& s = slot.State;
    slot.Runner = std::make_unique<TestRunner>(s.Link, s.Panel, s.Places, s.Test, o, *slot.Console);
    slot.Runner->SetJournal(m_slotJournal ? m_slotJournal(index, *slot.Recorder)
                                          : slot.Recorder.get());
    slot.Runner->SetAnswerSource(m_answers);
    if (m_questions)
        slot.Runner->SetTerminal(m_questions);
    else if (m_stdinTerminal)
        slot.Runner->SetTerminal(&m_terminal);
    if (m_pdfWriter)
        slot.Runner->SetPdfWriter(m_pdfWriter);
    ++m_running;
    Slot* started = &slot;
    connect(slot.Runner.get(), &TestRunner::Finished, this, [this, started](int status) {
        started->Status = status;
        // How the slot ended, in words: "could not open", "lost", "stopped", "failed" ...
        if (m_view && started->ViewSlot >= 0)
            m_view->SetState(started->ViewSlot, started->Runner->EndState());
        SlotEnded();
    });
    if (QString message;
        !o.TraceFile.isEmpty() && !StartTrace({true, o.TraceFile, {}}, slot.State.Trace, message)) {
        slot.Runner->Refuse(message);
        return;
    }
    if (!slot.Runner->Start()) {
        slot.Status = slot.Runner->Status();
        --m_running;
    }
}

bool RackRunner::Start()
{
    // The station's instruments are read once for every slot (the line's list in the
    // background while the ports open).
    if (!m_options.Instruments)
        m_options.Instruments =
            std::make_shared<InstrumentSource>(m_options.DbUri, m_options.DbTimeoutMs);
    if (Single())
        return StartSingle();
    QString error = CheckRackOutputs();
    TestHeader header;
    MemoryStepGrid table(kTestColumns, kTestRows);
    InitStepGrid(table, TestTableKind());
    if (error.isEmpty())
        ReadTestFile(m_options.TestFile, header, table, nullptr, &error);
    // The table's further ports and its meter, per slot: no two slots share a device.
    if (error.isEmpty())
        error = RackSlotClash(m_options.Slots, {TableAuxiliaryPorts(table), TableReadsMeter(table),
                                                m_options.MeterPort});
    QString tableSerial; // the last unit numbered from the table's serial number
    const QStringList serials = error.isEmpty() ? SlotSerials(header, &tableSerial) : QStringList();
    if (!error.isEmpty()) {
        m_error = error;
        m_console->Error(error);
        return false;
    }
    const QString rackRun = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // Counted up front: a slot that ends at once does not end the rack before the others began.
    ++m_running;
    for (qsizetype i = 0; i < m_options.Slots.size(); ++i) {
        auto slot = std::make_unique<Slot>();
        slot->Given = m_options.Slots[i];
        slot->Serial = serials[i];
        Slot& started = *slot;
        m_slots.push_back(std::move(slot));
        StartSlot(static_cast<int>(i), started, rackRun);
    }
    // "Serial # +1" for the rack: the table's line takes the last unit's number, once.
    if (m_options.SerialAdvance && !tableSerial.isEmpty() &&
        !WriteTestFileSerial(m_options.TestFile, tableSerial, &error))
        m_console->Error(FileErrorText(m_options.TestFile, error));
    m_fileError = !error.isEmpty();
    QTimer::singleShot(0, this, &RackRunner::SlotEnded);
    return true;
}

// A run on its own is a rack of one slot without the rack's own lines and files: the run writes
// its JUnit file and numbers its unit itself, and its status is the rack's.
bool RackRunner::StartSingle()
{
    auto slot = std::make_unique<Slot>();
    Slot& started = *slot;
    m_slots.push_back(std::move(slot));
    ++m_running;
    StartSlot(0, started, QString());
    if (started.Runner->IsFinished() && !started.Runner->Outcome().NotOpened) {
        m_error = started.Runner->RunError();
        m_status = started.Runner->Status();
        m_finished = true;
        return false;
    }
    QTimer::singleShot(0, this, &RackRunner::SlotEnded);
    return true;
}

void RackRunner::SlotEnded()
{
    if (--m_running > 0)
        return;
    if (Single()) {
        m_status = m_slots.front()->Status;
        m_finished = true;
        Q_EMIT Finished(m_status);
        return;
    }
    if (m_view)
        m_view->Finish();
    WriteJUnit();
    m_status = Summary();
    if (m_fileError)
        m_status = TestRunner::kRunError;
    m_finished = true;
    Q_EMIT Finished(m_status);
}

int RackRunner::Exec()
{
    if (!Start())
        return Single() ? m_status : TestRunner::kRunError;
    if (!m_finished) {
        QEventLoop loop;
        connect(this, &RackRunner::Finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return m_status;
}

void RackRunner::Interrupt()
{
    for (const auto& slot : m_slots)
        if (!slot->Runner->IsFinished())
            slot->Runner->Interrupt();
}

void RackRunner::WriteJUnit()
{
    if (m_options.JUnitFile.isEmpty())
        return;
    QList<JUnitSuite> suites;
    for (const auto& slot : m_slots) {
        JUnitRun run = slot->Runner->JUnitSummary();
        run.ClassName = QStringLiteral("%1.%2.%3")
                            .arg(run.SuiteName, SlotFileTag(slot->Given.Name), slot->Serial);
        run.SuiteName =
            QStringLiteral("%1 %2 %3").arg(run.SuiteName, slot->Given.Name, slot->Serial);
        suites << JUnitSuite{run, &slot->Runner->ListedSteps()};
    }
    QString error;
    if (!WriteFileAtomically(m_options.JUnitFile, JUnitSuitesXml(suites), &error)) {
        m_console->Error(FileErrorText(m_options.JUnitFile, error));
        for (const auto& slot : m_slots)
            slot->Status = TestRunner::kRunError;
    }
}

// Each slot's verdict, then the rack's.
int RackRunner::Summary()
{
    int passed = 0, failed = 0, errors = 0;
    for (const auto& slot : m_slots) {
        const int status = slot->Status;
        passed += status == TestRunner::kPassed;
        failed += status == TestRunner::kFailed;
        errors += status == TestRunner::kRunError;
        m_console->Note(QStringLiteral("slot %1 %2: %3")
                            .arg(slot->Given.Name, slot->Serial,
                                 status == TestRunner::kPassed   ? QStringLiteral("PASSED")
                                 : status == TestRunner::kFailed ? QStringLiteral("FAILED")
                                                                 : QStringLiteral("ERROR")));
    }
    m_console->Note(QStringLiteral("rack: %1 slots, %2 passed, %3 failed, %4 with a run error")
                        .arg(m_slots.size())
                        .arg(passed)
                        .arg(failed)
                        .arg(errors));
    return errors > 0   ? TestRunner::kRunError
           : failed > 0 ? TestRunner::kFailed
                        : TestRunner::kPassed;
}
