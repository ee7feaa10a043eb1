// tavtest: runs a test table from a shell, a CI job or a production line, without windows.
#include "autotest/report_print.h"
#include "common/text_file.h"
#include "results/results_database.h"
#include "results/results_store.h"
#include "run/rack_runner.h"
#include "run/runner.h"
#include "run/runner_console.h"
#include "tools/instruments_command.h"
#include "tools/rack_board.h"
#include "tools/results_command.h"
#include "tools/runner_options.h"
#include "tools/serve_command.h"

#include "tav_version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

// Ctrl-C and a job's stop reach the event loop through a socket, where the run can end cleanly.
void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
}

void CatchStopSignals()
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a prompt waiting on the terminal returns at once.
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (IsServeCommand(arguments))
        return RunServeCommand(argc, argv, arguments);
    if (IsResultsCommand(arguments))
        return RunResultsCommand(argc, argv, arguments);
    if (IsInstrumentsCommand(arguments))
        return RunInstrumentsCommand(argc, argv, arguments);
    const RunnerCommandLine command = ParseRunnerCommandLine(arguments);
    if (command.Help) {
        std::fputs(kRunnerUsage, stdout);
        return 0;
    }
    if (command.Version) {
        std::printf("tavtest %s\n", TAV_VERSION_TEXT);
        return 0;
    }
    if (!command.Error.isEmpty()) {
        // One line, not the whole usage: the mistake stays in view.
        std::fprintf(stderr, "tavtest: %s\n(tavtest --help lists the options)\n",
                     command.Error.toLocal8Bit().constData());
        return TestRunner::kRunError;
    }
    const RunnerOptions& options = command.Options;
    // Fonts and a paint device only for the PDF; the offscreen platform needs no display.
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<QTemporaryDir> runtimeDir;
    if (!options.PdfFile.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // A job or a service has no session folder; the GUI part wants one and would say so on
        // standard error. A private one serves for this run.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            runtimeDir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                         QStringLiteral("/tavtest-XXXXXX"));
            if (runtimeDir->isValid())
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir->path()));
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("tavtest"));

    CatchStopSignals();
    if (QString error;
        !options.DbUri.isEmpty() && !ResultsDatabase::CheckUri(options.DbUri, &error)) {
        std::fprintf(stderr, "tavtest: --db %s\n", error.toLocal8Bit().constData());
        return TestRunner::kRunError;
    }
    // Every run goes into the station's journal and, with --db, on to the line's server; a
    // server that cannot be reached never fails the run.
    const QString station = StationOf(options);
    ResultsStore results(ResultsDatabase::JournalPath(station), station);
    RecordAsOptionsSay(results, options);
    RunnerConsole console(stderr, options.Quiet, isatty(STDERR_FILENO) == 1);
    if (ResultsDatabase::UriHasPassword(options.DbUri))
        console.Warning(QStringLiteral("--db: the password in the URI can be read by anyone on "
                                       "this machine (ps) while the run lasts; put it into "
                                       "~/.pgpass or PGPASSWORD"));
    const bool stdinTerminal = isatty(STDIN_FILENO) == 1;
    const auto onStop = [&app](auto interrupt) {
        if (g_signalPipe[0] < 0)
            return;
        auto* stop = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app.get());
        QObject::connect(stop, &QSocketNotifier::activated, app.get(), [interrupt] {
            char byte = 0;
            [[maybe_unused]] const ssize_t got = read(g_signalPipe[0], &byte, 1);
            interrupt();
        });
    };
    // A run on its own is a rack of one slot: one path assembles every run.
    RackRunner rack(options, results, stdinTerminal);
    // On a terminal, a rack shows one live line per slot instead of a line per row, and a run
    // on its own a progress bar.
    std::unique_ptr<RackBoard> board;
    if (isatty(STDERR_FILENO) == 1 && !options.Quiet) {
        if (options.Slots.isEmpty())
            rack.SetConsoles([&options](const QString&) {
                return std::make_unique<RunnerConsole>(stderr, options.Quiet, true);
            });
        else
            board = std::make_unique<RackBoard>(stderr);
        rack.SetView(board.get());
    }
    if (!options.PdfFile.isEmpty())
        rack.SetPdfWriter(&WriteReportPdf);
    onStop([&rack] { rack.Interrupt(); });
    int status = rack.Exec();
    const ResultsStore::Status recorded = results.Flush();
    WarnUnrecorded(recorded, console);
    // A unit whose run no record shows has not been tested as far as the line knows, whatever
    // its verdict: the run failed. The rack's runs come here too.
    if (!recorded.NotRecorded.isEmpty())
        status = TestRunner::kRunError;
    return status;
}
