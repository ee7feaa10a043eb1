#include "sim/sim_options.h"

#include "sim/sim_text.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace tav::sim {
namespace {

constexpr const char* kUsage =
    R"(Usage: tavsim (--link PATH | --device PATH | --tcp [HOST:]PORT [--link PATH]) [options]

Simulates a TAV programmable AC/DC source (or, with --meter, a SCPI voltmeter) on a serial
line. Reads "\n"-terminated lines, answers every query with one "\r\n"-terminated line and
runs until SIGTERM or SIGINT, or with --exit-with-parent until its parent ends.

  --link PATH        create a pseudo-terminal and publish its slave side as a symlink at PATH;
                     the link goes away again on exit
  --device PATH      serve an existing tty device instead
  --tcp [HOST:]PORT  serve on a TCP socket instead, one client at a time, like a LAN
                     instrument's raw socket (HOST defaults to 127.0.0.1; port 0 picks a
                     free one); with --link the PATH becomes a COMn entry holding the line
                     "tcp://HOST:PORT" of the socket, written once it listens and removed
                     on exit
  --model NAME       model in the "*idn?" answer              (default TAV-1600-PS)
  --options TEXT     the "*opt?" answer; a "3P" word makes the source three-phase
                                                              (default empty: single-phase)
  --revision REV     firmware revision in "*idn?"             (default V2.00)
  --serial NUMBER    serial number in "*idn?"                 (default 0505000120)
  --load-ohm OHM     load impedance on every phase, > 0       (default 50)
  --load-phase DEG   angle by which the load's current lags the voltage, -90 to 90;
                     negative leads, 0 is a plain resistor    (default 30)
  --delay-ms MS      pause before each answer                 (default 2)
  --slow-query LINE  answer this query (any case) only after --slow-ms; may be given
                     more than once
  --slow-ms MS       pause before answering a slow query      (default 1000)
  --lose-replies N[-M]
                     never send replies N to M (counted from 1 over every reply the
                     instrument gives, "*idn?" answers too), as a cable pulled out for a
                     moment loses them; may be given more than once
  --no-status        never answer "*tav?"
  --no-identification
                     never answer "*idn?", as a unit whose firmware lacks it
  --answer Q=TEXT    always answer the query Q (any letter case) with TEXT; may be repeated
  --log FILE         record every received line as "<CLOCK_MONOTONIC us>\t<line>"
  --meter            act as a SCPI voltmeter instead of a TAV source
  --reading VOLTS    the voltmeter's reading in either function (default 5 DC, 230 AC)
  --exit-with-parent end (and remove the link) when the process that started tavsim ends,
                     e.g. a test run or a script; without it a simulator started by hand
                     from a shell stays up after that shell has gone
  --help             show this text

Power-on set values: VOLTAC 0, VOLTDC 0, CURR 16, FREQ 50, PHAS 0 (phases 2/3: 120, 240),
POWMAX 1600, CURRMAX 20, CURRTIME 0; output, phases, AUX, OT1 and current range x10 off.

Sequence memory: SEQ:TIME/VAL3/VAL1/VAL2 fill in a pending row, SEQ:NEW,code starts a sequence
with it, SEQ:SET,code appends it; SEQ:CNT, SEQ:GO, SEQ:STOP, SEQ:STORE,m and SEQ:LOAD,m (m 0..9).
Texts are kept exactly as sent. The set values do not step; GO only sets the run flag, and
*RST clears that flag but keeps the rows. Read-back queries of the simulation (not on a real
unit):
  SEQ:ROWS?          number of rows
  SEQ:ROW?,n         row n (1-based; "SEQ:ROW? n" too) as "<time>;<val3>;<val1>;<val2>;<code>",
                     an empty line when there is no such row
  SEQ:CNT?           the pass count as sent, empty until one was sent
  SEQ:RUN?           1 while the sequence runs, else 0

Model data: setpower, setvolt, setvoltac, setcurr, setfreq and setopt keep their values;
eepreset, dflt and outp:pon are taken. From the first setpower on, "*idn?" names the model by
its power class with the voltage class, frequency and installed option as suffixes, e.g.
TAV-1600-PS-HV-F1-MB2 for 2000 W, 700 V, 1000 Hz and option 4.
)";

bool ParseDelay(const std::string& text, int& delayMs)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 0 || value > INT_MAX)
        return false;
    delayMs = static_cast<int>(value);
    return true;
}

bool ParseReading(const std::string& text, std::optional<double>& volts)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        return false;
    volts = value;
    return true;
}

bool ParseLoad(const std::string& text, double& ohm)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    // "inf" is allowed: an open output.
    if (text.empty() || *end != '\0' || std::isnan(value) || value <= 0)
        return false;
    ohm = value;
    return true;
}

bool ParseAngle(const std::string& text, double& degrees)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= -90.0 && value <= 90.0))
        return false;
    degrees = value;
    return true;
}

// "N" or "N-M", 1 <= N <= M.
std::optional<std::pair<int, int>> ParseSpan(const std::string& text)
{
    const auto dash = text.find('-');
    int from = 0, to = 0;
    if (!ParseDelay(text.substr(0, dash), from) ||
        !ParseDelay(dash == text.npos ? text : text.substr(dash + 1), to) || from < 1 || to < from)
        return std::nullopt;
    return std::pair{from, to};
}

} // namespace

const char* SimUsage() { return kUsage; }

ParsedOptions ParseSimOptions(const std::vector<std::string>& args)
{
    ParsedOptions parsed;
    SimOptions& o = parsed.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != name.npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            inlineValue = true;
        }
        const auto flag = [&](bool& target) {
            if (inlineValue) {
                parsed.error = name + " takes no value";
                return;
            }
            target = true;
        };
        // Fetches the option's value; false (with the error set) when it is missing.
        const auto take = [&]() {
            if (inlineValue)
                return true;
            if (i + 1 >= args.size()) {
                parsed.error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };

        if (name == "--help" || name == "-h") {
            flag(o.help);
        } else if (name == "--no-status") {
            bool noStatus = false;
            flag(noStatus);
            o.tav.answerStatus = !noStatus;
        } else if (name == "--no-identification") {
            bool silent = false;
            flag(silent);
            o.tav.answerIdentification = !silent;
        } else if (name == "--meter") {
            flag(o.meter);
        } else if (name == "--exit-with-parent") {
            flag(o.exitWithParent);
        } else if (name == "--link" && take()) {
            o.linkPath = value;
        } else if (name == "--tcp" && take()) {
            o.tcpAddress = value;
        } else if (name == "--device" && take()) {
            o.devicePath = value;
        } else if (name == "--model" && take()) {
            o.tav.model = value;
        } else if (name == "--options" && take()) {
            o.tav.options = value;
        } else if (name == "--revision" && take()) {
            o.tav.revision = value;
        } else if (name == "--serial" && take()) {
            o.tav.serial = value;
        } else if (name == "--load-ohm" && take()) {
            if (!ParseLoad(value, o.tav.loadOhm))
                parsed.error = "--load-ohm needs an impedance above 0, not \"" + value + "\"";
        } else if (name == "--load-phase" && take()) {
            if (!ParseAngle(value, o.tav.loadPhaseDeg))
                parsed.error =
                    "--load-phase needs an angle from -90 to 90 degrees, not \"" + value + "\"";
        } else if (name == "--delay-ms" && take()) {
            if (!ParseDelay(value, o.delayMs))
                parsed.error =
                    "--delay-ms needs a whole number of milliseconds, not \"" + value + "\"";
        } else if (name == "--slow-query" && take()) {
            o.slowQueries.push_back(value);
        } else if (name == "--slow-ms" && take()) {
            if (!ParseDelay(value, o.slowMs))
                parsed.error =
                    "--slow-ms needs a whole number of milliseconds, not \"" + value + "\"";
        } else if (name == "--lose-replies" && take()) {
            if (const auto span = ParseSpan(value))
                o.lostReplies.push_back(*span);
            else
                parsed.error =
                    "--lose-replies needs N or N-M, counted from 1, not \"" + value + "\"";
        } else if (name == "--answer" && take()) {
            const auto equals = value.find('=');
            if (equals == std::string::npos || equals == 0)
                parsed.error = "--answer needs QUERY=TEXT, not \"" + value + "\"";
            else
                o.tav.fixedAnswers[ToUpper(value.substr(0, equals))] = value.substr(equals + 1);
        } else if (name == "--reading" && take()) {
            if (!ParseReading(value, o.meterReading))
                parsed.error = "--reading needs a number of volts, not \"" + value + "\"";
        } else if (name == "--log" && take()) {
            o.logPath = value;
        } else if (parsed.error.empty()) {
            parsed.error = "unknown option " + name;
        }
        if (!parsed.error.empty())
            return parsed;
    }
    if (o.help)
        return parsed;
    if (!o.tcpAddress.empty()) {
        if (!o.devicePath.empty())
            parsed.error = "--tcp and --device exclude each other";
    } else if (o.linkPath.empty() == o.devicePath.empty()) {
        parsed.error = "give exactly one of --link PATH, --device PATH and --tcp [HOST:]PORT";
    }
    return parsed;
}

} // namespace tav::sim
