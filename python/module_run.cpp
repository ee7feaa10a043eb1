// tavcontrol.run_table and its Run: a test table run by the command-line runner.
#include "python/py_support.h"
#include "python/table_run.h"

#include <QRegularExpression>
#include <memory>
#include <optional>
#include <pybind11/stl.h>

namespace {

py::object Number(const std::optional<double>& value)
{
    return value ? py::object(py::float_(*value)) : py::object(py::none());
}

// A prompt answer's variable: 2, "VAR02" or "var2".
int VariableNumber(const py::handle& key)
{
    int number = 0;
    if (py::isinstance<py::int_>(key)) {
        number = key.cast<int>();
    } else {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^(?:VAR)?([0-9]{1,2})$"),
                               QRegularExpression::CaseInsensitiveOption)
                .match(ToQString(py::str(key).cast<std::string>()).trimmed());
        number = match.hasMatch() ? match.captured(1).toInt() : 0;
    }
    if (number < 1 || number > 10)
        throw py::value_error("answers are keyed by variable 1 to 10 (2 or \"VAR02\")");
    return number;
}

// A callable's exception ends the run; it is raised once the run is over.
struct CallbackError {
    std::optional<py::error_already_set> error;
};

std::shared_ptr<TableRunResult> RunTableFor(const py::object& path, const py::object& port,
                                            std::optional<int> gpib,
                                            std::optional<std::string> gpibName,
                                            const py::object& config,
                                            std::optional<std::string> serial,
                                            const py::object& answers, bool stopAtError,
                                            bool keepOutput, double timeout, bool quiet,
                                            std::optional<std::string> db)
{
    const LinkChoice link = LinkChoiceOf(port, gpib, gpibName, config);
    TableRunRequest request;
    RunnerOptions& o = request.Options;
    o.TestFile = PathText(path);
    o.ConfigFile = link.ConfigFile;
    o.Port = link.Port;
    o.GpibAddress = link.GpibAddress;
    o.GpibName = link.GpibName;
    if (serial)
        o.Serial = ToQString(*serial);
    o.StopAtError = stopAtError;
    o.KeepOutput = keepOutput;
    o.TimeoutSeconds = static_cast<int>(timeout);
    if (db)
        o.DbUri = ToQString(*db);

    CallbackError failed;
    if (py::isinstance<py::dict>(answers)) {
        for (const auto& [key, value] : answers.cast<py::dict>())
            o.Answers[VariableNumber(key)] = ValueText(value);
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
                return ValueText(answer);
            } catch (py::error_already_set& e) {
                failed.error = std::move(e);
                return std::nullopt;
            }
        };
    }
    request.Interrupted = [&failed] {
        if (PythonSignalRaised())
            return true;
        py::gil_scoped_acquire lock;
        return failed.error.has_value();
    };
    auto result = std::make_shared<TableRunResult>(
        WithoutLock([&] { return RunTable(request, quiet); }));
    if (failed.error)
        throw std::move(*failed.error);
    if (result->Interrupted)
        throw py::error_already_set();
    return result;
}

template <bool (TableRunResult::*Save)(const QString&, QString*) const>
void SaveFile(const TableRunResult& run, const py::object& path)
{
    const QString file = PathText(path);
    QString error;
    if (!(run.*Save)(file, &error))
        throw py::value_error(ToStd(file + QStringLiteral(": ") + error));
}

} // namespace

void BindTableRun(py::module_& m)
{
    py::class_<RowRecord>(m, "Row", "One evaluated row of a run, as the results journal keeps it.")
        .def_property_readonly("step", [](const RowRecord& r) { return ToStd(r.Step); })
        .def_property_readonly("command", [](const RowRecord& r) { return ToStd(r.Command); },
                               "The line the row sent, variables filled in.")
        .def_property_readonly("comment", [](const RowRecord& r) { return ToStd(r.Comment); })
        .def_property_readonly("lower", [](const RowRecord& r) { return ToStd(r.LowerText); },
                               "The lower limit as the report shows it.")
        .def_property_readonly("upper", [](const RowRecord& r) { return ToStd(r.UpperText); },
                               "The upper limit as the report shows it.")
        .def_property_readonly(
            "limits", [](const RowRecord& r) { return py::make_tuple(Number(r.Lower), Number(r.Upper)); },
            "(lower, upper) as numbers; None where a limit is not a plain number.")
        .def_property_readonly("value", [](const RowRecord& r) { return ToStd(r.ValueText); },
                               "The result as the report shows it (\"no reply\" included).")
        .def_property_readonly("number", [](const RowRecord& r) { return Number(r.Value); },
                               "The result as a number; None when it is not one.")
        .def_property_readonly("mark", [](const RowRecord& r) { return ToStd(r.Mark); },
                               "\"Error!\" for a failed row, else empty.")
        .def_property_readonly("shown", [](const RowRecord& r) { return r.Shown; },
                               "False for a \"Show\" 0 row (kept, not in the report).")
        .def_property_readonly("failed", [](const RowRecord& r) { return !r.Mark.isEmpty(); })
        .def("__repr__", [](const RowRecord& r) {
            return ToStd(QStringLiteral("<Row %1 %2 [%3 .. %4] %5>")
                             .arg(r.Step, r.ValueText, r.LowerText, r.UpperText,
                                  r.Mark.isEmpty() ? QStringLiteral("ok") : r.Mark));
        });

    py::class_<TableRunResult, std::shared_ptr<TableRunResult>>(m, "Run",
                                                                 "A finished test table run.")
        .def_property_readonly("verdict", [](const TableRunResult& r) { return ToStd(r.Verdict); },
                               "passed, failed, error (the run itself failed) or aborted.")
        .def_property_readonly("status", [](const TableRunResult& r) { return r.Status; },
                               "tavtest's exit status: 0 passed, 1 a row failed, 2 run error.")
        .def_property_readonly("error", [](const TableRunResult& r) { return ToStd(r.RunError); },
                               "Why the run itself failed; empty when it did not.")
        .def_property_readonly("uuid", [](const TableRunResult& r) { return ToStd(r.Uuid); },
                               "The run's key in the results journal; empty when it never began.")
        .def_property_readonly("rows",
                               [](const TableRunResult& r) {
                                   py::list rows;
                                   for (const RowRecord& row : r.Rows)
                                       rows.append(py::cast(row));
                                   return rows;
                               },
                               "Every evaluated row, \"Show\" 0 rows too (shown False).")
        .def("save_report", &SaveFile<&TableRunResult::SaveReportFile>, py::arg("path"),
             "Writes the report (.rpt) as \"Save Report\" does.")
        .def("save_text", &SaveFile<&TableRunResult::SaveTextFile>, py::arg("path"),
             "Writes the quoted text export (.txt) as \"Export Text\" does.")
        .def("save_junit", &SaveFile<&TableRunResult::SaveJUnitFile>, py::arg("path"),
             "Writes JUnit XML as tavtest --junit does.")
        .def("__repr__", [](const TableRunResult& r) {
            return ToStd(QStringLiteral("<Run %1, %2 rows>").arg(r.Verdict).arg(r.Rows.size()));
        });

    m.def("run_table", &RunTableFor, py::arg("path"), py::arg("port") = py::none(),
          py::arg("gpib") = py::none(), py::arg("gpib_name") = py::none(),
          py::arg("config") = py::none(), py::arg("serial") = py::none(),
          py::arg("answers") = py::none(), py::arg("stop_at_error") = false,
          py::arg("keep_output") = false, py::arg("timeout") = 0.0, py::arg("quiet") = true,
          py::arg("db") = py::none(),
          R"(Runs a test table (.tst) as tavtest does and returns its Run.

The link as for Instrument (port, gpib or gpib_name; else TAVCON.cfg). serial replaces the
table's serial number. answers: "@MSGVARnn" prompts, a dict {2: "115"} / {"VAR02": 115} or
a callable (variable, default, prompt) -> answer or None (None keeps the default).
stop_at_error ends the run at the first failed row; a run that does not reach its end row
switches the output off unless keep_output. timeout: seconds, 0 none. quiet False prints
each row on standard error. The run is recorded in the station's results journal (and on
the server db, a libpq URI). Ctrl-C ends the run as tavtest's does and raises
KeyboardInterrupt.)");
}
