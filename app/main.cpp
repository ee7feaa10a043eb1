// Program start: splash, application title, service tool and main window, the windows made
// hidden at start, then the event loop until the main window closes.
#include "autotest/table_window.h"
#include "export/export_options_window.h"
#include "link/io_config_window.h"
#include "panel/device_info_window.h"
#include "panel/first_paint.h"
#include "panel/main_window.h"
#include "panel/program_start.h"
#include "program/program_state.h"
#include "rack/rack_window.h"
#include "sequence/sequence_window.h"
#include "service/info_windows.h"
#include "service/service_tool.h"
#include "widgets/operator_messages.h"

#include "app/window_start_check.h"
#include "record/trace_option.h"
#include "results/instrument_source.h"
#include "results/results_database.h"
#include "results/results_setup_window.h"
#include "results/results_store.h"
#include "results/results_window.h"
#include "results/run_recorder.h"
#include "tav_version.h"
#include "widgets/file_dialogs.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

const char* const kUsage =
    "Usage: tavcontrol [--help | --version | --trace FILE]\n"
    "Controls a TAV programmable AC/DC power source over RS-232 or GPIB.\n"
    "The link is chosen in \"Setup\" > \"I/O Config\" and kept in TAVCON.cfg in the folder\n"
    "the program is started in. Serial port n is ~/.config/tavcontrol/ports/COMn when that\n"
    "link exists, else /dev/ttyS<n-1>. See tavcontrol(1).\n"
    "\n"
    "  --help         show this text\n"
    "  --version      show the version\n";

// --help and --version answer before any window or display is needed; the only other argument
// is --trace FILE.
int AnswerOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tavcontrol %s\n", TAV_VERSION_TEXT);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            std::fputs(kTraceUsage, stdout);
            return 0;
        }
    }
    return -1;
}

// The menu of the main window's bar with this title.
QMenu* BarMenu(QMainWindow& window, const QString& title)
{
    for (QAction* action : window.menuBar()->actions())
        if (action->text() == title && action->menu())
            return action->menu();
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int answered = AnswerOptions(argc, argv); answered >= 0)
        return answered;
    const TraceOption traceOption = FindTraceOption(argc, argv);
    if (!traceOption.error.isEmpty()) {
        std::fprintf(stderr, "tavcontrol: %s\n", qPrintable(traceOption.error));
        return 2;
    }
    QApplication app(argc, argv);

    auto* splash = new TForm90;
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    SetProgramName();

    ProgramState state;
    // Before the ports open, so the trace holds the discovery's traffic too.
    if (QString message; !StartTrace(traceOption, state.Trace, message)) {
        std::fprintf(stderr, "tavcontrol: %s\n", qPrintable(message));
        return 1;
    }
    // The port discovery waits until the main window is up (see the end).
    state.Link.DiscoveryDeferred = true;
    // Every run of the test window is kept in the station's journal and sent on to the line's
    // server when one is set; unsent runs are tried again every minute.
    ResultsStore results(ResultsDatabase::JournalPath());
    RunRecorder recorder(results);
    QTimer resultsSync;
    QObject::connect(&resultsSync, &QTimer::timeout, &results, [&results] {
        if (!results.Server().isEmpty())
            results.Sync();
    });
    std::shared_ptr<InstrumentSource> instruments; // the station's, for the test window
    PanelWindows windows;
    // A run chosen in "Test" > "Results…", shown by the next test window made.
    std::optional<ResultsQuery::RunReport> recordedRun;
    windows.Test.SetFactory([&state, &recorder, &recordedRun, &results, &instruments](QWidget* p) {
        auto* window = new TForm6(state.Link, state.Places, state.Test, state.Export, p);
        window->SetJournal(&recorder);
        window->SetStartCheck(TestStartCheck(state.Panel, results, instruments));
        window->SetInstrument([&state] { return RecordedIdentification(state.Panel); });
        if (recordedRun) {
            window->ShowRecordedRun(recordedRun->Header, recordedRun->Rows);
            recordedRun.reset();
        }
        return window;
    });
    windows.Sequence.SetFactory(
        [&state](QWidget* p) { return new TForm2(state.Link, state.Export, state.Places, p); });
    windows.DeviceInfo.SetFactory([&state](QWidget* p) { return new TForm3(state.Panel, p); });
    windows.About.SetFactory([](QWidget* p) { return new TForm91(p); });

    // The service tool first: the main window's creation already writes into its log.
    TForm5 tool(state.Link, state.Trace);
    TForm1 form1(state.Link, state.Panel, state.Places, state.Test.Stopwatch, tool, windows);
    windows.IoConfig.SetFactory([&](QWidget* p) { return new TForm4(state.Link, form1, p); });
    ExportOptionsSlot().SetFactory(
        [&state](QWidget* p) { return new TForm7(state.Export, state.Places, p); });
    if (QMenu* setup = BarMenu(form1, QStringLiteral("Setup"))) {
        QAction* action = setup->addAction(QStringLiteral("Results…"));
        action->setObjectName(QStringLiteral("Results1"));
        QObject::connect(action, &QAction::triggered, &form1, [&form1, &results] {
            ResultsSetupWindow window(results, &form1);
            window.exec();
        });
    }
    // "Test" > "Results…": the journal's runs; one chosen opens in the test window, made and
    // shown through "Test" > "Start" as the operator would.
    if (QMenu* test = BarMenu(form1, QStringLiteral("Test"))) {
        QAction* action = test->addAction(QStringLiteral("Results…"));
        action->setObjectName(QStringLiteral("Results2"));
        QObject::connect(action, &QAction::triggered, &form1, [&form1, &results, &recordedRun] {
            ResultsWindow window(results.JournalPath(), &form1);
            if (window.exec() != QDialog::Accepted || !window.Chosen())
                return;
            recordedRun = window.Chosen();
            if (auto* start = form1.findChild<QAction*>(QStringLiteral("Start1")))
                start->trigger();
        });
    }
    // "Test" > "Limits…": a limits file whose limits for the instrument's model the test
    // window's runs are judged by; cancelled with one chosen, the table's own limits again.
    if (QMenu* test = BarMenu(form1, QStringLiteral("Test"))) {
        QAction* action = test->addAction(QStringLiteral("Limits…"));
        action->setObjectName(QStringLiteral("Limits1"));
        QObject::connect(action, &QAction::triggered, &form1, [&form1] {
            const QString path = AskOpenFileName(
                &form1, QStringLiteral("Limits Files (*.lim)|*.lim|All Files (*.*)|*.*"));
            if (!path.isEmpty())
                ChooseLimitsFile(path);
            else if (!ChosenLimitsFile().isEmpty() &&
                     AskOperator(&form1, QStringLiteral("Judge by the table's own limits again "
                                                        "instead of %1?")
                                             .arg(ChosenLimitsFile())))
                ChooseLimitsFile(QString());
        });
    }
    // "Test" > "Rack…": the table on several instruments at once. The main window's own port is
    // let go meanwhile, so that a slot may use it too, and taken again afterwards.
    if (QMenu* test = BarMenu(form1, QStringLiteral("Test"))) {
        QAction* action = test->addAction(QStringLiteral("Rack…"));
        action->setObjectName(QStringLiteral("Rack1"));
        QObject::connect(action, &QAction::triggered, &form1, [&form1, &results, &state] {
            form1.BitBtn8Click();
            TCiaComPort& port = state.Link.ComPort(1);
            const bool wasOpen = port.Active();
            port.SetActive(false);
            RackWindow window(results, state.Places, &form1);
            window.exec();
            try {
                if (wasOpen)
                    port.SetActive(true);
            } catch (const ECiaComPort& e) {
                ShowOperatorError(&form1, e.Message());
            }
        });
    }
    form1.show();
    // What the main window does not need to be drawn comes once it is: the GPIB library
    // (optional: without it the program runs on the serial link alone), the port discovery,
    // which opens the instrument's port, the windows made hidden at start (the I/O window lists
    // the ports found; the export options window reads TAVCON.efg, and its first opening shows
    // what it read) and the results server.
    AfterFirstPaint(form1, [&] {
        state.Link.GpibLib.BindGpibLibrary();
        DiscoverPorts(state.Link, [&form1] { form1.PortDiscovered(); });
        windows.Sequence.CreateHidden(&form1);
        windows.DeviceInfo.CreateHidden(&form1);
        windows.IoConfig.CreateHidden(&form1);
        ExportOptionsSlot().CreateHidden(&form1);
        results.SetServer(ResultsSetupWindow::SavedServer());
        resultsSync.start(60 * 1000);
        results.Sync();
    });
    const int status = QApplication::exec();
    // A run still open when the program ends was broken off.
    recorder.RunEnds(RunEnding::Aborted, QStringLiteral("the program was closed"));
    return status;
}
