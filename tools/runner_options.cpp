#include "tools/runner_options.h"

#include <cmath>

const char* const kRunnerUsage =
    "Usage: tavtest TEST.tst [--port COMn | --gpib ADDRESS | --gpib-name NAME]\n"
    "               [--config TAVCON.cfg] [--report FILE.rpt] [--text FILE.txt]\n"
    "               [--junit FILE.xml] [--pdf FILE.pdf] [--auto-save] [--report-dir DIR]\n"
    "               [--serial SN | --serial-advance] [--reporter TEXT] [--unit TEXT]\n"
    "               [--stop-at-error] [--keep-output] [--set VARnn=VALUE ...]\n"
    "               [--answer VARnn=VALUE ...] [--quiet] [--timeout SECONDS] [--trace FILE]\n"
    "               [--meter-port COMn] [--db URI]\n"
    "       tavtest history SERIAL [--db URI]\n"
    "       tavtest stats [--table FILE | --unit TEXT] [--version HASH] [--since DATE]\n"
    "                     [--db URI] [--csv | --json] [--plots DIR]\n"
    "       tavtest sync [--db URI]\n"
    "Runs a test table against a TAV power source without windows, as the test window's\n"
    "\"Start\" does with \"Start at Step 1\", and writes the results.\n"
    "A run that does not reach its end row switches the output off (OUTP,0) unless\n"
    "--keep-output is given.\n"
    "Exit status: 0 every checked row passed, 1 a row failed its limits or got no reply,\n"
    "2 the run itself failed (not a test table, port not available, output folder missing,\n"
    "jump to a row that does not exist, time-out, instrument lost, interrupted).\n"
    "Every run is kept in the station's journal and, with --db, sent to the line's\n"
    "PostgreSQL server; history and stats read them back, sync sends what is unsent.\n"
    "See tavtest(1).\n";

namespace {

// "VAR01=230", "VAR1=230": the variable number 1 ... 10 and the text after '='.
bool ReadAssignment(const QString& text, int& variable, QString& value)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0 || !text.startsWith(QLatin1String("VAR"), Qt::CaseInsensitive))
        return false;
    bool ok = false;
    variable = text.mid(3, equals - 3).toInt(&ok);
    value = text.mid(equals + 1);
    return ok && variable >= 1 && variable <= 10;
}

// "COM3", "3".
std::optional<int> ReadPort(QString text)
{
    if (text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        text = text.mid(3);
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1 || n > 99)
        return std::nullopt;
    return n;
}

// The options that take a file name, a header text, or nothing.
QString* FileOption(RunnerOptions& o, const QString& name)
{
    const std::pair<const char*, QString*> options[] = {
        {"--config", &o.ConfigFile}, {"--report", &o.ReportFile}, {"--text", &o.TextFile},
        {"--junit", &o.JUnitFile},   {"--pdf", &o.PdfFile},       {"--trace", &o.TraceFile},
        {"--report-dir", &o.ReportDir}, {"--db", &o.DbUri}};
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
    const std::pair<const char*, bool*> options[] = {{"--auto-save", &o.AutoSave},
                                                     {"--serial-advance", &o.SerialAdvance},
                                                     {"--stop-at-error", &o.StopAtError},
                                                     {"--keep-output", &o.KeepOutput},
                                                     {"--quiet", &o.Quiet},
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
                result.Error = QStringLiteral("--port: not a port: ") + text;
        } else if (a == QLatin1String("--gpib")) {
            ++links;
            const QString text = value();
            bool ok = false;
            const int address = text.toInt(&ok);
            if (ok && address >= 0 && address <= 30)
                o.GpibAddress = address;
            else if (result.Error.isEmpty())
                result.Error = QStringLiteral("--gpib: not a primary address (0-30): ") + text;
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
            int variable = 0;
            QString given;
            if (!result.Error.isEmpty()) {
            } else if (!ReadAssignment(text, variable, given)) {
                result.Error = a + QStringLiteral(": expected VARnn=VALUE (nn 01-10): ") + text;
            } else if (a == QLatin1String("--answer")) {
                o.Answers[variable] = given;
            } else {
                bool ok = false;
                const double number = given.toDouble(&ok);
                if (ok && std::isfinite(number))
                    o.Sets[variable] = number;
                else
                    result.Error = QStringLiteral("--set: not a number: ") + text;
            }
        } else if (a == QLatin1String("--meter-port")) {
            const QString text = value();
            o.MeterPort = ReadPort(text);
            if (!o.MeterPort && result.Error.isEmpty())
                result.Error = QStringLiteral("--meter-port: not a port: ") + text;
        } else if (a == QLatin1String("--timeout")) {
            const QString text = value();
            bool ok = false;
            o.TimeoutSeconds = text.toInt(&ok);
            if ((!ok || o.TimeoutSeconds <= 0) && result.Error.isEmpty())
                result.Error = QStringLiteral("--timeout: not a number of seconds: ") + text;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            result.Error = QStringLiteral("unknown option ") + a;
        } else if (o.TestFile.isEmpty()) {
            o.TestFile = a;
        } else {
            result.Error = QStringLiteral("more than one test file: ") + a;
        }
    }
    if (result.Error.isEmpty() && links > 1)
        result.Error = QStringLiteral("--port, --gpib and --gpib-name exclude each other");
    if (result.Error.isEmpty() && o.Serial && o.SerialAdvance)
        result.Error = QStringLiteral("--serial and --serial-advance exclude each other");
    if (result.Error.isEmpty() && !result.Help && !result.Version && o.TestFile.isEmpty())
        result.Error = QStringLiteral("no test file given");
    return result;
}
