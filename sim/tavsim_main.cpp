// tavsim: a simulated TAV source (or SCPI voltmeter) on a pseudo-terminal or tty, for the test
// suite and for demonstrations without hardware. See SimUsage() for the command line.

#include "sim/sim_listener.h"
#include "sim/sim_meter.h"
#include "sim/sim_options.h"
#include "sim/sim_port.h"
#include "sim/sim_server.h"
#include "sim/tav_instrument.h"
#include "tav_version.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int gStopWriteFd = -1;

void OnStopSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(gStopWriteFd, &byte, 1);
    errno = savedErrno;
}

// Signals only poke the self-pipe, so the link is removed by ordinary destructors.
bool InstallStopSignals(int& stopReadFd)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    stopReadFd = fds[0];
    gStopWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tav::sim;

    // Taken first, so a parent that ends while the options are read is still noticed below.
    const pid_t parent = getppid();

    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tavsim %s\n", TAV_VERSION_TEXT);
        return 0;
    }
    const ParsedOptions parsed = ParseSimOptions({argv + 1, argv + argc});
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tavsim: %s\n\n%s", parsed.error.c_str(), SimUsage());
        return 2;
    }
    const SimOptions& options = parsed.options;
    if (options.help) {
        std::fputs(SimUsage(), stdout);
        return 0;
    }

    int stopFd = -1;
    if (!InstallStopSignals(stopFd)) {
        std::fprintf(stderr, "tavsim: cannot set up signal handling: %s\n", std::strerror(errno));
        return 1;
    }
    // With --exit-with-parent the simulator ends with whoever started it, so a test or script
    // that crashes does not leave it holding its pseudo-terminal; the SIGTERM goes through the
    // stop pipe and removes the link. A parent that went before the request took hold will
    // never send it: end now.
    if (options.exitWithParent && (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent))
        return 1;

    int logFd = -1;
    if (!options.logPath.empty()) {
        logFd = open(options.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC,
                     0644);
        if (logFd < 0) {
            std::fprintf(stderr, "tavsim: cannot open the log %s: %s\n", options.logPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    std::unique_ptr<SimDevice> device;
    if (options.meter) {
        auto meter = std::make_unique<SimMeter>();
        if (options.meterReading)
            meter->SetInput(*options.meterReading, *options.meterReading);
        device = std::move(meter);
    } else
        device = std::make_unique<TavInstrument>(options.tav);

    ReplyDelay delay(options.delayMs);
    delay.SetSlowMs(options.slowMs);
    for (const std::string& query : options.slowQueries)
        delay.AddSlowQuery(query);
    for (const auto& [from, to] : options.lostReplies)
        delay.LoseReplies(from, to);

    if (!options.tcpAddress.empty()) {
        std::unique_ptr<SimListener> listener;
        try {
            listener = SimListener::Create(options.tcpAddress, options.linkPath);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tavsim: %s\n", error.what());
            return 1;
        }
        std::fprintf(stderr, "tavsim: serving %s on %s%s%s\n",
                     options.meter ? "a voltmeter" : "a TAV", listener->Uri().c_str(),
                     options.linkPath.empty() ? "" : " as ", options.linkPath.c_str());
        // The instrument keeps its state from one client to the next, as a real one does.
        for (int client; (client = listener->Accept(stopFd)) >= 0;) {
            SimServer server(*device, client, stopFd, delay, logFd, listener->Fd());
            if (options.exitWithParent)
                server.EndWhenOrphaned(parent);
            const bool more = server.Run();
            close(client);
            if (!more)
                break;
        }
        listener.reset();
        if (logFd >= 0)
            close(logFd);
        return 0;
    }

    std::unique_ptr<SimPort> port;
    try {
        port = options.linkPath.empty() ? SimPort::OpenDevice(options.devicePath)
                                        : SimPort::CreateLinked(options.linkPath);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tavsim: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "tavsim: serving %s on %s%s%s\n", options.meter ? "a voltmeter" : "a TAV",
                 port->TtyPath().c_str(), options.linkPath.empty() ? "" : " as ",
                 options.linkPath.c_str());

    SimServer server(*device, port->Fd(), stopFd, delay, logFd);
    if (options.exitWithParent)
        server.EndWhenOrphaned(parent);
    server.Run();

    port.reset();
    if (logFd >= 0)
        close(logFd);
    return 0;
}
