#include "tools/runner_options.h"

#include "results/results_database.h"
#include "run/input_rules.h"

const char* const kRunnerUsage =
    "Usage: tavtest TEST.tst [--port COMn|tcp://HOST:PORT | --gpib ADDRESS | --gpib-name NAME]\n"
    "               [--config TAVCON.cfg] [--report FILE.rpt] [--text FILE.txt]\n"
    "               [--junit FILE.xml] [--pdf FILE.pdf] [--auto-save] [--report-dir DIR]\n"
    "               [--serial SN | --serial-advance] [--reporter TEXT] [--unit TEXT]\n"
    "               [--stop-at-error] [--keep-output] [--set VARnn=VALUE ...]\n"
    "               [--answer VARnn=VALUE ...] [--quiet] [--timeout SECONDS] [--trace FILE]\n"
    "               [--meter-port COMn] [--db URI] [--db-timeout SECONDS]\n"
    "               [--station NAME] [--limits FILE [--model NAME]] [--require-calibration]\n"
    "       tavtest TEST.tst --slot PORT[=SERIAL][,meter=COMn][,comNN=COMn] [--slot ...]\n"
    "                     [options]\n"
    "       tavtest history (SERIAL | --instrument SERIAL [--since DATE]) [--db URI]\n"
    "                     [--station NAME] [--json]\n"
    "       tavtest stats [--table FILE | --unit TEXT] [--version HASH] [--since DATE]\n"
    "                     [--station NAME] [--db URI] [--by-model] [--csv | --json]\n"
    "                     [--plots DIR]\n"
    "       tavtest sync [--db URI] [--station NAME] [--db-timeout SECONDS]\n"
    "       tavtest instruments [set MAKER,MODEL,SERIAL,YYYY-MM-DD | remove MAKER,MODEL,SERIAL]\n"
    "                     [--db URI]\n"
    "       tavtest serve [--db URI] [--station NAME] [--listen ADDR:PORT]\n"
    "                     [--token-file FILE | --open] [--db-timeout SECONDS]\n"
    "                     [--refresh SECONDS]\n"
    "Runs a test table against a TAV power source without windows, as the test window's\n"
    "\"Start\" does with \"Start at Step 1\", and writes the results.\n"
    "A run that does not reach its end row switches the output off (OUTP,0) unless\n"
    "--keep-output is given.\n"
    "Exit status: 0 every checked row passed, 1 a row failed its limits or got no reply,\n"
    "2 the run itself failed (not a test table, port not available, output folder missing,\n"
    "jump to a row that does not exist, time-out, instrument lost, interrupted).\n"
    "Every run is kept in the station's journal and, with --db, sent to the line's\n"
    "PostgreSQL server; history and stats read them back, sync sends what is unsent,\n"
    "serve shows the line in a web browser.\n"
    "See tavtest(1).\n";

namespace {

// The options that take a file name, a header text, or nothing.
QString* FileOption(RunnerOptions& o, const QString& name)
{
    const std::pair<const char*, QString*> options[] = {
        {"--config", &o.ConfigFile},    {"--report", &o.ReportFile}, {"--text", &o.TextFile},
        {"--junit", &o.JUnitFile},      {"--pdf", &o.PdfFile},       {"--trace", &o.TraceFile},
        {"--report-dir", &o.ReportDir}, {"--db", &o.DbUri},          {"--station", &o.Station},
        {"--limits", &o.LimitsFile},    {"--model", &o.Model}};
    for (const auto& [option, file] : options)
        if (name == QLatin1String(option))
            return file;
    return nullptr;
}

std::optional<QString>* HeaderOption(RunnerOptions& o, const QString& name)
{
    const std::pair<const char*, std::optional<QString>*> options[] = {
        {"--serial", &o.Serial}, {"--reporter", &o.Reporter}, {"--unit", &o.Unit}};
    for (const auto& [option, text] : options)
        if (name == QLatin1String(option))
            return text;
    return nullptr;
}

bool* FlagOption(RunnerOptions& o, const QString& name)
{
    const std::pair<const char*, bool*> options[] = {
        {"--auto-save", &o.AutoSave},
        {"--serial-advance", &o.SerialAdvance},
        {"--stop-at-error", &o.StopAtError},
        {"--keep-output", &o.KeepOutput},
        {"--quiet", &o.Quiet},
        {"--require-calibration", &o.RequireCalibration},
        {"-q", &o.Quiet}};
    for (const auto& [option, flag] : options)
        if (name == QLatin1String(option))
            return flag;
    return nullptr;
}

} // namespace

RunnerCommandLine ParseRunnerCommandLine(const QStringList& arguments)
{
    RunnerCommandLine result;
    RunnerOptions& o = result.Options;
    // The line's server is the station's, as "Setup" > "Results" sets it for the program: a
    // station's runs go there whichever of the two ran them. --db "" records in the journal
    // alone.
    o.DbUri = ResultsDatabase::SavedServer();
    int links = 0;
    for (qsizetype i = 0; i < arguments.size() && result.Error.isEmpty(); ++i) {
        const QString& a = arguments[i];
        auto value = [&]() -> QString {
            if (i + 1 >= arguments.size()) {
                result.Error = a + QStringLiteral(" needs a value");
                return {};
            }
            return arguments[++i];
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            result.Help = true;
        } else if (a == QLatin1String("--version")) {
            result.Version = true;
        } else if (a == QLatin1String("--port")) {
            ++links;
            const QString text = value();
            o.Port = ReadPort(text);
            if (!o.Port && result.Error.isEmpty())
                result.Error = QStringLiteral("--port: %1: %2").arg(kNotAPort, text);
        } else if (a == QLatin1String("--gpib")) {
            ++links;
            const QString text = value();
            bool ok = false;
            const int address = text.toInt(&ok);
            if (ok && address >= 0 && address <= 30)
                o.GpibAddress = address;
            else if (result.Error.isEmpty())
                result.Error = QStringLiteral("--gpib: not a primary address (0-30): ") + text;
        } else if (a == QLatin1String("--slot")) {
            const QString text = value();
            if (const std::optional<RackSlot> slot =
                    result.Error.isEmpty() ? ReadRackSlot(text, &result.Error) : std::nullopt)
                o.Slots << *slot;
        } else if (a == QLatin1String("--gpib-name")) {
            ++links;
            o.GpibName = value();
        } else if (QString* file = FileOption(o, a)) {
            *file = value();
        } else if (bool* flag = FlagOption(o, a)) {
            *flag = true;
        } else if (std::optional<QString>* text = HeaderOption(o, a)) {
            *text = value();
        } else if (a == QLatin1String("--set") || a == QLatin1String("--answer")) {
            const QString text = value();
            const auto assignment = ReadAssignment(text);
            // An answer is read as a number too: a text would reach the instrument as 0.
            const auto number = assignment ? ReadVariableValue(assignment->second) : std::nullopt;
            if (!result.Error.isEmpty()) {
            } else if (!assignment) {
                result.Error = QStringLiteral("%1: %2: %3").arg(a, kNotAnAssignment, text);
            } else if (!number) {
                result.Error = QStringLiteral("%1: %2: %3").arg(a, kNotANumber, text);
            } else if (a == QLatin1String("--answer")) {
                o.Answers[assignment->first] = assignment->second.trimmed();
            } else {
                o.Sets[assignment->first] = *number;
            }
        } else if (a == QLatin1String("--meter-port")) {
            const QString text = value();
            o.MeterPort = ReadPort(text);
            if (!o.MeterPort && result.Error.isEmpty())
                result.Error = QStringLiteral("--meter-port: %1: %2").arg(kNotAPort, text);
        } else if (a == QLatin1String("--timeout")) {
            const QString text = value();
            const std::optional<int> ms = ReadTimeout(text);
            o.TimeoutMs = ms.value_or(0);
            if (!ms && result.Error.isEmpty())
                result.Error = QStringLiteral("--timeout: %1: %2").arg(kNotATimeout, text);
        } else if (a == QLatin1String("--db-timeout")) {
            const QString text = value();
            const std::optional<int> ms = ReadTimeout(text);
            o.DbTimeoutMs = ms.value_or(0);
            if ((!ms || *ms == 0) && result.Error.isEmpty())
                result.Error =
                    QStringLiteral("--db-timeout: not a number of seconds above 0: ") + text;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            result.Error = QStringLiteral("unknown option ") + a;
        } else if (o.TestFile.isEmpty()) {
            o.TestFile = a;
        } else {
            result.Error = QStringLiteral("more than one test file: ") + a;
        }
    }
    if (result.Error.isEmpty() && !o.Slots.isEmpty() && links > 0)
        result.Error = QStringLiteral("--slot gives each instrument's link: not with --port, "
                                      "--gpib or --gpib-name");
    if (result.Error.isEmpty())
        result.Error = RackSlotClash(o.Slots);
    if (result.Error.isEmpty() && links > 1)
        result.Error = QStringLiteral("--port, --gpib and --gpib-name exclude each other");
    if (result.Error.isEmpty() && !o.Station.isEmpty())
        ResultsDatabase::CheckStation(o.Station, &result.Error);
    if (result.Error.isEmpty() && !o.Model.isEmpty() && o.LimitsFile.isEmpty())
        result.Error = QStringLiteral("--model chooses from the limits file: give --limits too");
    if (result.Error.isEmpty() && o.Serial && o.SerialAdvance)
        result.Error = QStringLiteral("--serial and --serial-advance exclude each other");
    if (result.Error.isEmpty() && !result.Help && !result.Version && o.TestFile.isEmpty())
        result.Error = QStringLiteral("no test file given");
    return result;
}
