// Before a run: the table read and checked, the output folders checked, the link opened. Nothing
// is sent to the instrument until all of it has passed.
#include "run/runner.h"

#include "autotest/auxiliary_ports.h"
#include "autotest/interpreter.h"
#include "autotest/table_file.h"
#include "common/text_file.h"
#include "link/serial_device.h"
#include "run/chosen_link.h"

#include <QDir>
#include <QFileInfo>

// The ports the run talks to, opened ahead all at once and off the event loop (a network
// port's connect may take seconds, and other slots of a rack tick on this loop): the
// instrument's on a serial link, the table's auxiliary ports and the meter when it reads one.
QList<int> TestRunner::PortsToOpen()
{
    const int instrument = m_link.SerialLink ? m_link.Settings.PortText.toInt() : 0;
    // A rack's slot knows its own ports only (its instrument, the ports its table's rows go to,
    // its meter): other slots' ports are none of its business, and a listing would race with
    // their opening. A run on its own lists the ports found, as the program's start does.
    const bool slot = !m_options.RackRun.isEmpty();
    QStringList& known = m_link.DiscoveredPorts;
    known.clear();
    if (!slot)
        ListSerialPorts(known);
    else if (instrument > 0)
        known << QString::number(instrument);
    QList<int> ports;
    const auto add = [&](int port) {
        if (port <= 0 || ports.contains(port))
            return;
        ports << port;
        if (slot && !known.contains(QString::number(port)))
            known << QString::number(port);
    };
    add(instrument);
    for (int named : TableAuxiliaryPorts(m_table)) {
        const int port = m_link.MappedPort(named);
        if (slot || known.contains(QString::number(port)))
            add(port);
    }
    if (TableReadsMeter(m_table)) {
        int meter = m_link.MeterPort;
        for (qsizetype i = 0; meter == 0 && i < known.size(); ++i)
            if (known[i].toInt() != instrument)
                meter = known[i].toInt();
        add(meter);
    }
    return ports;
}

// Once every port has opened or failed: a run whose instrument cannot be reached ends here,
// with the cause its open met; otherwise the rows begin.
void TestRunner::PortsOpened()
{
    if (m_finished)
        return;
    if (m_link.SerialLink) {
        try {
            m_link.ComPort(1).SetActive(true);
            m_link.LinkOpened = true;
        } catch (const ECiaComPort&) {
        }
        if (const QString problem = InstrumentPortProblem(m_link); !problem.isEmpty()) {
            m_outcome.NotOpened = true;
            Finish(problem);
            return;
        }
    }
    TestHost& host = *this;
    ValuePrompt& prompt = *this;
    m_session =
        std::make_unique<TestSession>(m_link, m_places, m_test, m_table, m_results, host, prompt);
    // Only the ports the table names: every other port stays free for the programs and
    // stations that use it.
    QList<int> named;
    for (int port : TableAuxiliaryPorts(m_table))
        named << m_link.MappedPort(port);
    m_session->Open(named);
    for (const QString& problem : UnavailableAuxiliaryPorts(m_link, named))
        m_console.Warning(problem);
    // Automatic reports go where the run was asked to put them, each under a name of its own.
    m_session->Run().SetReportPlace(ReportFolder(), m_places.StartDate, false, true);
    if (!m_link.SerialLink && m_link.Gpib.GpibDevice <= 0) {
        m_outcome.NotOpened = true;
        Finish(m_outcome.RunError.isEmpty()
                   ? QStringLiteral("%1: device not available").arg(LinkName())
                   : m_outcome.RunError);
        return;
    }
    if (!m_outcome.RunError.isEmpty()) { // a GPIB error while opening the device
        Finish(m_outcome.RunError);
        return;
    }
    Identify();
}

// A file that is not a test table, or that the reader only half understands, is never run: its
// lines would go to the instrument as commands.
bool TestRunner::ReadTable()
{
    const QString& path = m_options.TestFile;
    QString error;
    if (!QFileInfo(path).isFile()) {
        m_outcome.RunError = FileErrorText(path, QStringLiteral("no such test file"));
        return false;
    }
    const auto lines = ReadTextLines(path, &error);
    if (!lines || !ReadTestFile(path, m_header, m_table, nullptr, &error)) {
        m_outcome.RunError = FileErrorText(path, error);
        return false;
    }
    if (const QList<int> faults = TestFileFaults(*lines); !faults.isEmpty()) {
        QStringList numbers;
        for (int line : faults)
            numbers << QString::number(line);
        m_outcome.RunError = FileErrorText(
            path, QStringLiteral("not a test table the program can run: line%1 %2 %3")
                      .arg(faults.size() > 1 ? QStringLiteral("s") : QString(),
                           numbers.join(QStringLiteral(", ")),
                           faults.first() <= 4 ? QStringLiteral("(the header is not a test "
                                                                "file's)")
                                               : QStringLiteral("(Read Error Time !)")));
        return false;
    }
    if (m_options.Reporter)
        m_header.ReporterText = *m_options.Reporter;
    if (m_options.Unit)
        m_header.UnitText = *m_options.Unit;
    if (m_options.Serial)
        m_header.SerialText = *m_options.Serial;
    m_test.TestRun.Copies = m_header;
    m_link.MeterPort = m_options.MeterPort.value_or(0);
    int width = 0;
    for (int row = 1; row <= EndRow(); ++row)
        width = std::max(width, static_cast<int>(m_table.Cell(kTestCommand, row).size()));
    m_console.SetCommandWidth(width);
    for (const auto& [variable, value] : m_options.Sets)
        m_test.TestVariables[static_cast<size_t>(variable - 1)] = value;
    return ReadLimits();
}

QString TestRunner::ReportFolder() const
{
    return m_options.ReportDir.isEmpty() ? QDir::currentPath() : m_options.ReportDir;
}

// A result file that cannot be written is found out now, not after the whole test has run.
bool TestRunner::CheckOutputFolders()
{
    QStringList folders;
    for (const QString* file :
         {&m_options.ReportFile, &m_options.TextFile, &m_options.JUnitFile, &m_options.PdfFile})
        if (!file->isEmpty())
            folders << (QFileInfo(*file).isDir() ? *file : QFileInfo(*file).absolutePath());
    if (m_options.AutoSave || !m_options.ReportDir.isEmpty())
        folders << ReportFolder();
    // The advanced serial number is written back into the table.
    if (m_options.SerialAdvance)
        folders << QFileInfo(m_options.TestFile).absolutePath();
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        const QString why = !info.exists()       ? QStringLiteral("no such folder")
                            : !info.isDir()      ? QStringLiteral("not a folder")
                            : !info.isWritable() ? QStringLiteral("the folder cannot be written")
                                                 : QString();
        if (!why.isEmpty()) {
            m_outcome.RunError = FileErrorText(folder, why);
            return false;
        }
    }
    return true;
}

bool TestRunner::StartLink()
{
    m_link.Replies = this;
    m_link.GpibSink.SetTarget(this);
    m_link.PortMap = m_options.PortMap;
    const LinkStart start = StartChosenLink(
        m_link, m_panel, m_places,
        {m_options.ConfigFile, m_options.Port, m_options.GpibAddress, m_options.GpibName, true},
        [this](TCiaComPort* port, int error) { PortLost(port, error); });
    for (const QString& warning : start.Warnings)
        m_console.Warning(warning);
    m_outcome.RunError = start.Error;
    return m_outcome.RunError.isEmpty();
}

QString TestRunner::LinkName() const { return ::LinkName(m_link); }
