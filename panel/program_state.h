#pragma once

#include "autotest/stopwatch_values.h"
#include "autotest/run_state.h"
#include "export/export_settings.h"
#include "export/spreadsheet_automation.h"
#include "link/cia_com_port.h"
#include "link/gpib_access.h"
#include "link/gpib_library.h"
#include "link/gpib_messages.h"
#include "link/link_settings.h"
#include "link/reply_sink.h"
#include "record/trace_writer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>

// The six identification texts of the connected instrument.
struct DeviceIdentType {
    QString Identification = QStringLiteral("Disconnected");
    QString Manufacturer;
    QString Model;
    QString SerialNumber;
    QString Revision;
    QString Options;
};

// The test window, while it exists, evaluates every received line (in ReplyLine) against its
// current row. port: 0 for the instrument's own port, otherwise the COM number the line came on.
class ReplyListener {
public:
    virtual ~ReplyListener() = default;
    virtual void EvaluateReply(int port) = 0;
};

// Hands the GPIB layer's messages to the service tool once it exists.
class GpibMessagesRelay : public GpibMessages {
public:
    void SetTarget(GpibMessages* target) { m_target = target; }
    void AppendErrBox(const QString& line) override
    {
        if (m_target)
            m_target->AppendErrBox(line);
    }
    void ClearErrBox() override
    {
        if (m_target)
            m_target->ClearErrBox();
    }
    void SetMeter(const QString& text) override
    {
        if (m_target)
            m_target->SetMeter(text);
    }

private:
    GpibMessages* m_target = nullptr;
};

// Program-wide state: one owner, handed by reference to the windows that read or change it.
class ProgramState {
public:
    static constexpr int kPortCount = 11;

    // gpibLibraryFile: the NI-488 library, as the loader looks it up when it is bound.
    explicit ProgramState(const std::string& gpibLibraryFile = GpibLibrary::kLibraryFileName);

    // CiaComPort1 ... CiaComPort11; CiaComPort1 carries the instrument on a serial link.
    TCiaComPort& ComPort(int n) { return *m_ports.at(static_cast<size_t>(n - 1)); }
    // Lines the receive threads of the open ports have taken and wait to hand over are handled
    // now: a timer tick that acts on replies runs this first, so a reply that arrived before
    // the tick is taken as such even when the event queue is behind.
    void DeliverWaitingLines();

    LinkSettings Link;
    bool LinkOpened = false;
    QStringList DiscoveredPorts;
    // The external meter's port number when it is named outright (tavtest --meter-port); 0: the
    // first discovered port that is not the instrument's own.
    int MeterPort = 0;
    bool SerialLink = true;
    DeviceIdentType DeviceIdent;
    QString ProgramDirectory;
    // Where the program writes its own files: ProgramDirectory when writable, else the folder
    // it was started in.
    QString WritableDirectory;
    QString StartDate;
    QByteArray ReplyLine;
    StopwatchValues Stopwatch;

    // The step interpreter's state with the report's header copies (ReporterText, UnitText,
    // SerialText): it lives for the whole run, not just while the test window is open.
    TestRunState TestRun;
    // @VAR01 ... @VAR10: 0 at program start, never reset while the program runs.
    std::array<double, 10> TestVariables{};

    // The spreadsheet export settings in memory (TAVCON.efg holds them between runs): empty
    // until the options window, the test window or an export fills them.
    QString ExportRowText;
    QString ExportColumnText;
    QString WorkbookPath;
    // The TAVCON.efg record last read or written in this run.
    ExportRecord ExportBuffer;
    // Starts the spreadsheet application for an export; the LibreOffice plugin unless a test
    // puts its own in.
    std::function<std::unique_ptr<SpreadsheetAutomation>()> Spreadsheet;

    // The model values of the service tool's last "Send Config", kept for a typed model that
    // selects no row.
    QString LastConfigPower = QStringLiteral("400");
    QString LastConfigCurrent = QStringLiteral("3");
    ReplyListener* TestWindow = nullptr;
    // The reply handling of whoever shows or logs the lines: the main window, or a run without
    // windows.
    ReplySink* Replies = nullptr;

    // The NI-488 library (bound at program start, if present) and the GPIB state on top of it.
    GpibLibrary GpibLib;
    GpibMessagesRelay GpibSink;
    GpibAccess Gpib{GpibLib, GpibSink};

    // The traffic trace of every port and the GPIB layer; writes nothing until it is opened.
    TraceWriter Trace;

private:
    std::array<std::unique_ptr<TCiaComPort>, kPortCount> m_ports;
};
