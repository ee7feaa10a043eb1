// tavcontrol.run_table and its Run: a test table run by the command-line runner.
#include "python/py_support.h"
#include "python/table_run.h"
#include "results/results_database.h"
#include "run/input_rules.h"

#include <memory>
#include <optional>
#include <pybind11/stl.h>
#include <stdexcept>
#include <vector>

namespace {

py::object Number(const std::optional<double>& value)
{
    return value ? py::object(py::float_(*value)) : py::object(py::none());
}

// A prompt answer's variable: 2, "VAR02" or "var2", as --answer names it.
int VariableNumber(const py::handle& key)
{
    const std::optional<int> number =
        py::isinstance<py::int_>(key) ? std::optional<int>(key.cast<int>())
                                      : ReadVariable(ToQString(py::str(key).cast<std::string>()));
    if (!number || !ValidVariable(*number))
        throw py::value_error("answers: keyed by variable 1 to 10 (2 or \"VAR02\"), not " +
                              py::repr(key).cast<std::string>());
    return *number;
}

// A prompt answer, a number as --answer takes it: a text the interpreter would read as 0 (a
// current limit of 0 A on a live source) is refused, naming the variable.
QString AnswerText(int variable, const py::handle& value)
{
    const QString text = ValueText(value).trimmed();
    if (!ReadVariableValue(text))
        throw py::value_error(ToStd(QStringLiteral("answers: VAR%1: %2: %3")
                                        .arg(variable, 2, 10, QLatin1Char('0'))
                                        .arg(kNotANumber, text)));
    return text;
}

// A callable's exception ends the run; it is raised once the run is over.
struct CallbackError {
    std::optional<py::error_already_set> error;
};

// The limits a run judges by and whether its instruments must be in calibration.
struct Judged {
    py::object Limits;
    std::optional<std::string> Model;
    bool RequireCalibration = false;
};

// The request of run_table and run_tables, the link aside; a callable's exception goes into
// failed.
TableRunRequest RequestFor(const py::object& path, std::optional<std::string> serial,
                           const py::object& answers, bool stopAtError, bool keepOutput,
                           double timeout, std::optional<std::string> db,
                           std::optional<std::string> station, const Judged& judged,
                           CallbackError& failed)
{
    TableRunRequest request;
    RunnerOptions& o = request.Options;
    o.TestFile = PathText(path);
    if (!judged.Limits.is_none())
        o.LimitsFile = PathText(judged.Limits);
    if (judged.Model) {
        if (o.LimitsFile.isEmpty())
            throw py::value_error("model chooses from the limits file: give limits too");
        o.Model = ToQString(*judged.Model);
    }
    o.RequireCalibration = judged.RequireCalibration;
    if (station) {
        o.Station = ToQString(*station);
        if (QString error; !ResultsDatabase::CheckStation(o.Station, &error))
            throw py::value_error(ToStd(error));
    }
    if (serial)
        o.Serial = ToQString(*serial);
    o.StopAtError = stopAtError;
    o.KeepOutput = keepOutput;
    o.TimeoutMs = TimeoutMs(timeout);
    if (db)
        o.DbUri = ToQString(*db);

    if (py::isinstance<py::dict>(answers)) {
        for (const auto& [key, value] : answers.cast<py::dict>()) {
            const int variable = VariableNumber(key);
            o.Answers[variable] = AnswerText(variable, value);
        }
    } else if (!answers.is_none()) {
        if (!PyCallable_Check(answers.ptr()))
            throw py::type_error("answers is a dict or a callable");
        // The callable by reference: the runner copies and drops this function without the
        // interpreter's lock, which a Python object's reference count must not see.
        request.Answers = [&answers, &failed](int variable, const QString& defaultText,
                                              const QString& prompt) -> std::optional<QString> {
            py::gil_scoped_acquire lock;
            if (failed.error)
                return std::nullopt;
            try {
                const py::object answer = answers(variable, ToStd(defaultText), ToStd(prompt));
                if (answer.is_none())
                    return std::nullopt;
                return AnswerText(variable, answer);
            } catch (py::error_already_set& e) {
                failed.error = std::move(e);
            } catch (py::builtin_exception& e) {
                e.set_error();
                failed.error = py::error_already_set();
            }
            // The run ends in this row: neither the default nor anything after it is sent.
            throw std::runtime_error(ToStd(QStringLiteral("the script's answer for VAR%1 failed")
                                               .arg(variable, 2, 10, QLatin1Char('0'))));
        };
    }
    request.Interrupted = [&failed] {
        if (PythonSignalRaised())
            return true;
        py::gil_scoped_acquire lock;
        return failed.error.has_value();
    };
    return request;
}

// A callable's exception or Ctrl-C, once the run is over.
void RaiseWhatBrokeOff(CallbackError& failed, bool interrupted)
{
    if (failed.error)
        throw std::move(*failed.error);
    if (interrupted)
        throw py::error_already_set();
}

std::shared_ptr<TableRunResult>
RunTableFor(const py::object& path, const py::object& port, std::optional<int> gpib,
            std::optional<std::string> gpibName, const py::object& config,
            std::optional<std::string> serial, const py::object& answers, bool stopAtError,
            bool keepOutput, double timeout, bool quiet, std::optional<std::string> db,
            std::optional<std::string> station, const py::object& limits,
            std::optional<std::string> model, bool requireCalibration)
{
    const LinkChoice link = LinkChoiceOf(port, gpib, gpibName, config);
    CallbackError failed;
    TableRunRequest request = RequestFor(path, serial, answers, stopAtError, keepOutput, timeout,
                                         db, station, {limits, model, requireCalibration}, failed);
    RunnerOptions& o = request.Options;
    o.ConfigFile = link.ConfigFile;
    o.Port = link.Port;
    o.GpibAddress = link.GpibAddress;
    o.GpibName = link.GpibName;
    auto result =
        std::make_shared<TableRunResult>(WithoutLock([&] { return RunTable(request, quiet); }));
    RaiseWhatBrokeOff(failed, result->Interrupted);
    return result;
}

// Slots as tavtest's --slot takes them: "COM3", "COM3=0505000121", "COM3=…,meter=COM9",
// "gpib:5".
std::vector<std::shared_ptr<TableRunResult>>
RunTablesFor(const py::object& path, const std::vector<std::string>& slots,
             const py::object& config, bool serialAdvance, const py::object& answers,
             bool stopAtError, bool keepOutput, double timeout, bool quiet,
             std::optional<std::string> db, std::optional<std::string> station,
             const py::object& limits, std::optional<std::string> model, bool requireCalibration)
{
    CallbackError failed;
    TableRunRequest request =
        RequestFor(path, std::nullopt, answers, stopAtError, keepOutput, timeout, db, station,
                   {limits, model, requireCalibration}, failed);
    RunnerOptions& o = request.Options;
    if (!config.is_none())
        o.ConfigFile = PathText(config);
    o.SerialAdvance = serialAdvance;
    for (const std::string& text : slots) {
        QString error;
        const std::optional<RackSlot> slot = ReadRackSlot(ToQString(text), &error);
        if (!slot)
            throw py::value_error(
                ToStd(QString(error).replace(QLatin1String("--slot"), QLatin1String("slots"))));
        o.Slots << *slot;
    }
    if (o.Slots.isEmpty())
        throw py::value_error("slots: at least one instrument");
    if (const QString clash = RackSlotClash(o.Slots); !clash.isEmpty())
        throw py::value_error(
            ToStd(QString(clash).replace(QLatin1String("--slot"), QLatin1String("slots"))));
    QString rackError;
    const QList<TableRunResult> runs =
        WithoutLock([&] { return RunTables(request, quiet, &rackError); });
    std::vector<std::shared_ptr<TableRunResult>> results;
    for (const TableRunResult& run : runs)
        results.push_back(std::make_shared<TableRunResult>(run));
    RaiseWhatBrokeOff(failed, !runs.isEmpty() && runs.first().Interrupted);
    if (!rackError.isEmpty())
        throw py::value_error(
            ToStd(rackError.replace(QLatin1String("--slot"), QLatin1String("slots"))));
    return results;
}

// The file written, or ValueError naming it and why; characters a report cannot keep are
// written as '?' and raise all the same, as they fail a tavtest run.
std::string SaveReport(const TableRunResult& run, const py::object& path, bool text)
{
    QString file = PathText(path);
    const ReportWrite written = text ? run.SaveTextFile(file) : run.SaveReportFile(file);
    if (!written.Error.isEmpty())
        throw py::value_error(ToStd(written.Error));
    return ToStd(file);
}

} // namespace

void BindTableRun(py::module_& m)
{
    py::class_<RowRecord>(m, "Row", "One evaluated row of a run, as the results journal keeps it.")
        .def_property_readonly("step", [](const RowRecord& r) { return ToStd(r.Step); })
        .def_property_readonly(
            "command", [](const RowRecord& r) { return ToStd(r.Command); },
            "The line the row sent, variables filled in.")
        .def_property_readonly("comment", [](const RowRecord& r) { return ToStd(r.Comment); })
        .def_property_readonly(
            "lower", [](const RowRecord& r) { return ToStd(r.LowerText); },
            "The lower limit as the report shows it.")
        .def_property_readonly(
            "upper", [](const RowRecord& r) { return ToStd(r.UpperText); },
            "The upper limit as the report shows it.")
        .def_property_readonly(
            "limits",
            [](const RowRecord& r) { return py::make_tuple(Number(r.Lower), Number(r.Upper)); },
            "(lower, upper) as numbers; None where a limit is not a plain number.")
        .def_property_readonly(
            "value", [](const RowRecord& r) { return ToStd(r.ValueText); },
            "The result as the report shows it (\"no reply\" included).")
        .def_property_readonly(
            "number", [](const RowRecord& r) { return Number(r.Value); },
            "The result as a number; None when it is not one.")
        .def_property_readonly(
            "mark", [](const RowRecord& r) { return ToStd(r.Mark); },
            "\"Error!\" for a failed row, else empty.")
        .def_property_readonly(
            "shown", [](const RowRecord& r) { return r.Shown; },
            "False for a \"Show\" 0 row (kept, not in the report).")
        .def_property_readonly("failed", [](const RowRecord& r) { return !r.Mark.isEmpty(); })
        .def("__repr__", [](const RowRecord& r) {
            return ToStd(QStringLiteral("<Row %1 %2 [%3 .. %4] %5>")
                             .arg(r.Step, r.ValueText, r.LowerText, r.UpperText,
                                  r.Mark.isEmpty() ? QStringLiteral("ok") : r.Mark));
        });

    py::class_<TableRunResult, std::shared_ptr<TableRunResult>>(m, "Run",
                                                                "A finished test table run.")
        .def_property_readonly(
            "verdict", [](const TableRunResult& r) { return ToStd(r.Verdict); },
            "passed, failed, error (the run itself failed) or aborted.")
        .def_property_readonly(
            "status", [](const TableRunResult& r) { return r.Status; },
            "tavtest's exit status: 0 passed, 1 a row failed, 2 run error.")
        .def_property_readonly(
            "error", [](const TableRunResult& r) { return ToStd(r.RunError); },
            "Why the run itself failed; empty when it did not.")
        .def_property_readonly(
            "journal_error", [](const TableRunResult& r) { return ToStd(r.JournalError); },
            "Why the station's results journal could not keep the run; empty when it did.")
        .def_property_readonly(
            "server_error", [](const TableRunResult& r) { return ToStd(r.ServerError); },
            "Why the results server (db) could not take the run, which then waits in the "
            "journal; empty when it took it or none was given.")
        .def_property_readonly(
            "warnings",
            [](const TableRunResult& r) {
                std::vector<std::string> texts;
                for (const QString& w : r.Warnings)
                    texts.push_back(ToStd(w));
                return texts;
            },
            "The run's warnings, as tavtest gives them (a default answer taken, a late reply).")
        .def_property_readonly(
            "instrument",
            [](const TableRunResult& r) {
                py::dict d;
                for (const auto& [name, value] : r.JUnit.Tested.Properties())
                    d[py::str(ToStd(name))] = ToStd(value);
                return d;
            },
            "What the run tested with, as its JUnit properties name it: \"instrument\" (the "
            "identification, or \"unidentified\"), \"instrument.model\", \"instrument.serial\", "
            "\"limits\", \"limits.version\", \"calibration\" ...")
        .def_property_readonly(
            "slot", [](const TableRunResult& r) { return ToStd(r.Slot); },
            "The rack's slot the run was on, as given (\"COM3\"); empty for run_table.")
        .def_property_readonly(
            "serial", [](const TableRunResult& r) { return ToStd(r.Copies.SerialText); },
            "The serial number of the unit the run tested.")
        .def_property_readonly(
            "uuid", [](const TableRunResult& r) { return ToStd(r.Uuid); },
            "The run's key in the results journal; empty when it never began.")
        .def_property_readonly(
            "rows",
            [](const TableRunResult& r) {
                py::list rows;
                for (const RowRecord& row : r.Rows)
                    rows.append(py::cast(row));
                return rows;
            },
            "Every evaluated row, \"Show\" 0 rows too (shown False).")
        .def(
            "save_report",
            [](const TableRunResult& r, const py::object& path) {
                return SaveReport(r, path, false);
            },
            py::arg("path"),
            "Writes the report (.rpt) as tavtest --report does and returns its path: a folder "
            "takes <Unit>-<Serial #>.rpt, never over an earlier report (-2, -3, ...).")
        .def(
            "save_text",
            [](const TableRunResult& r, const py::object& path) {
                return SaveReport(r, path, true);
            },
            py::arg("path"), "Writes the quoted text export (.txt) as tavtest --text does.")
        .def(
            "save_junit",
            [](const TableRunResult& r, const py::object& path) {
                const QString file = PathText(path);
                QString error;
                if (!r.SaveJUnitFile(file, &error))
                    throw py::value_error(ToStd(file + QStringLiteral(": ") + error));
            },
            py::arg("path"), "Writes JUnit XML as tavtest --junit does.")
        .def("__repr__", [](const TableRunResult& r) {
            return ToStd(QStringLiteral("<Run %1, %2 rows>").arg(r.Verdict).arg(r.Rows.size()));
        });

    m.def("run_tables", &RunTablesFor, py::arg("path"), py::arg("slots"),
          py::arg("config") = py::none(), py::arg("serial_advance") = false,
          py::arg("answers") = py::none(), py::arg("stop_at_error") = false,
          py::arg("keep_output") = false, py::arg("timeout") = 0.0, py::arg("quiet") = true,
          py::arg("db") = py::none(), py::arg("station") = py::none(),
          py::arg("limits") = py::none(), py::arg("model") = py::none(),
          py::arg("require_calibration") = false,
          R"(Runs a test table on a rack of instruments at once, as tavtest --slot does, and returns
one Run per slot, in the order given.

slots: tavtest's --slot texts, e.g. ["COM3", "COM4=0505000121,meter=COM9,com05=COM10",
"gpib:5"]: a slot's meter and the ports its table's @COMnn rows go to are its own, and slots
that would share a device are refused (ValueError) before anything is sent. A slot
without a serial number takes the next one from the table's (the first after it with
serial_advance, which then writes the last one taken back into the table). Each slot is a run
of its own with its own link, variables, prompts and record (one rack run in the journal); one
slot's failure or lost instrument ends that slot alone. The other arguments as for run_table;
answers apply to every slot (a callable is asked with the variable, default and prompt). Every
slot's run is recorded with the station given.)");
    m.def("run_table", &RunTableFor, py::arg("path"), py::arg("port") = py::none(),
          py::arg("gpib") = py::none(), py::arg("gpib_name") = py::none(),
          py::arg("config") = py::none(), py::arg("serial") = py::none(),
          py::arg("answers") = py::none(), py::arg("stop_at_error") = false,
          py::arg("keep_output") = false, py::arg("timeout") = 0.0, py::arg("quiet") = true,
          py::arg("db") = py::none(), py::arg("station") = py::none(),
          py::arg("limits") = py::none(), py::arg("model") = py::none(),
          py::arg("require_calibration") = false,
          R"(Runs a test table (.tst) as tavtest does and returns its Run.

The link as for Instrument (port, gpib or gpib_name; else TAVCON.cfg). serial replaces the
table's serial number. answers: "@MSGVARnn" prompts, a dict {2: "115"} / {"VAR02": 115} or
a callable (variable, default, prompt) -> answer or None (None keeps the default); an answer
is a number as tavtest's --answer takes it, else ValueError naming the variable (for a dict
before the link opens; for the callable at its row, which ends the run with nothing sent).
stop_at_error ends the run at the first failed row; a run that does not reach its end row
switches the output off unless keep_output. timeout: seconds, fractions taken, 0 none. quiet
False prints each row on standard error, as tavtest does; quiet prints nothing, and
Run.warnings holds every warning. The run is recorded in the station's results journal (and
on the server db, a libpq URI) under this station's name, or station's (letters, digits,
'.', '_', '-': its journal is journal-<station>.sqlite); Run.journal_error and Run.server_error
say what either could not take. limits: a limits file, whose limits for the instrument's model
(or model's) judge the rows, as tavtest --limits; require_calibration refuses a run whose
instruments are not in calibration, as tavtest --require-calibration. Run.instrument names
what the run tested with. Ctrl-C ends the run as tavtest's does and raises KeyboardInterrupt.)");
}
