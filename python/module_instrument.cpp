// tavcontrol.Instrument: the instrument on the program's own link.
#include "panel/operator_commands.h"
#include "python/py_support.h"
#include "python/script_instrument.h"

#include <cmath>
#include <optional>
#include <pybind11/stl.h>

namespace {

using Instrument = ScriptInstrument;

// A wait for replies, without the interpreter's lock; the late replies it dropped are told
// after it, also when it raised.
template <class F> auto Talk(Instrument& self, F&& f)
{
    try {
        auto result = WithoutLock(std::forward<F>(f));
        WarnLateReplies(self.TakeLateReplies(), true);
        return result;
    } catch (...) {
        WarnLateReplies(self.TakeLateReplies(), false);
        throw;
    }
}

std::unique_ptr<Instrument> Open(const py::object& port, std::optional<int> gpib,
                                 std::optional<std::string> gpibName, const py::object& config)
{
    return std::make_unique<Instrument>(LinkChoiceOf(port, gpib, gpibName, config));
}

py::object Number(double value)
{
    return std::isnan(value) ? py::object(py::none()) : py::object(py::float_(value));
}

void SendLine(Instrument& self, const QByteArray& line)
{
    WithoutLock([&] { self.Write(QString::fromLatin1(line)); });
}

// The set-value methods: the quantity as the field's command names it.
void SetValue(Instrument& self, const char* quantity, const py::handle& value,
              std::optional<int> phase)
{
    const QString text = ValueText(value);
    const QByteArray line =
        ScriptInstrument::SetValueLine(QString::fromLatin1(quantity), phase.value_or(0), text);
    if (line.isEmpty())
        throw py::value_error(std::string("the main window has no per-phase field for ") +
                              quantity);
    if (!text.isEmpty() && line.endsWith(",\n"))
        throw py::value_error("the main window's field takes digits and points only: " +
                              ToStd(text));
    SendLine(self, line);
}

py::dict IdentityDict(const ScriptInstrument::Identity& id)
{
    py::dict d;
    d["identification"] = ToStd(id.Identification);
    d["manufacturer"] = ToStd(id.Ident.Manufacturer);
    d["model"] = ToStd(id.Ident.Model);
    d["serial_number"] = ToStd(id.Ident.SerialNumber);
    d["revision"] = ToStd(id.Ident.Revision);
    d["options"] = ToStd(id.Options);
    d["three_phase"] = id.Opt.ThreePhase;
    d["current_range_option"] = id.Opt.CurrentRangeOption;
    d["ot1_option"] = id.Opt.Ot1Option;
    d["status_polled"] = id.Ident.CycleBase == 0;
    return d;
}

py::dict MeasurementDict(const MeasurementRow& row)
{
    static const char* const kNames[MeasurementRow::kQuantities] = {"U",  "I",  "P", "S",
                                                                    "IP", "PF", "CF"};
    py::dict d;
    for (int phase = 0; phase < row.phases; ++phase)
        for (int q = 0; q < MeasurementRow::kQuantities; ++q)
            d[py::str(kNames[q] + std::to_string(phase + 1))] =
                Number(row.values[static_cast<size_t>(phase)][static_cast<size_t>(q)]);
    d["output"] = row.output ? py::bool_(*row.output == 1) : py::object(py::none());
    d["status"] = row.statusWord ? py::int_(*row.statusWord) : py::object(py::none());
    d["phases"] = row.phases;
    return d;
}

template <const char* On, const char* Off> void Switch(Instrument& self, bool on)
{
    SendLine(self, on ? On : Off);
}

} // namespace

void BindInstrument(py::module_& m)
{
    py::class_<Instrument> c(m, "Instrument", R"(The instrument on the program's own link.

Opened as TAV Control opens it: Instrument(port="COM3") on a serial port, COM1 to COM99
(COMn is the link COMn in tavcontrol/ports/ under the configuration folder, else
/dev/ttyS<n-1>; a COMn entry holding tcp://HOST:PORT, or port="tcp://HOST:PORT" itself, is a
device server or a LAN instrument's socket), Instrument(gpib=5) or Instrument(gpib_name="TAV-PS") on GPIB; with none of
them the link in TAVCON.cfg in the current folder (or config=PATH). A context manager: the
link is closed on leaving it, on close(), and when a wait is broken off by Ctrl-C.)");
    c.def(py::init(&Open), py::arg("port") = py::none(), py::arg("gpib") = py::none(),
          py::arg("gpib_name") = py::none(), py::arg("config") = py::none(),
          "Opens the link; raises LinkError naming the device and the cause when it cannot.");
    c.def("__enter__", [](py::object self) { return self; });
    c.def("__exit__", [](Instrument& self, py::args) {
        self.Close();
        return false;
    });
    c.def("close", &Instrument::Close, "Closes the link (a GPIB device is returned to local).");
    c.def_property_readonly("is_open", &Instrument::IsOpen);
    c.def_property_readonly(
        "link", [](const Instrument& self) { return ToStd(self.LinkName()); },
        "The link as messages name it: \"COM3\", \"GPIB address 5\".");
    c.def(
        "write",
        [](Instrument& self, const std::string& line) {
            WithoutLock([&] { self.Write(ToQString(line)); });
        },
        py::arg("line"), "Sends one line (a line feed is added); no reply is read.");
    c.def(
        "query",
        [](Instrument& self, const std::string& line, double timeout) {
            const int ms = TimeoutMs(timeout);
            return ToStd(
                Talk(self, [&] { return self.Query(ToQString(line), ms, PythonSignalRaised); }));
        },
        py::arg("line"), py::arg("timeout") = 1.0,
        "Sends the line and returns its reply without the line end. Raises NoReply when none "
        "comes within timeout seconds (on GPIB: the device's own 3 s). After a NoReply on a "
        "serial port the next query (query, identify, measure) first sends *idn? and drops "
        "every line up to its answer, all within its own timeout: the reply given up on is "
        "never returned for another query, and each one dropped when it comes is told as a "
        "LateReply warning (\"late reply dropped: 916.3W\").");
    c.def(
        "identify",
        [](Instrument& self, double timeout) {
            const int ms = TimeoutMs(timeout);
            return IdentityDict(Talk(self, [&] { return self.Identify(ms, PythonSignalRaised); }));
        },
        py::arg("timeout") = 1.0,
        "Asks *idn? and *opt? and reads them as the program does on Connect: model, serial "
        "number, revision, options, three-phase, and whether the status query is polled.");
    c.def(
        "measure",
        [](Instrument& self, double timeout) {
            const int ms = TimeoutMs(timeout);
            return MeasurementDict(
                Talk(self, [&] { return self.Measure(ms, PythonSignalRaised); }));
        },
        py::arg("timeout") = 1.0,
        "One measurement pass of the poll cycle: U1, I1, P1, S1, IP1, PF1, CF1 (and phases 2 "
        "and 3 on a three-phase source) in V, A, W, VA, A; output (bool), status (the status "
        "word, None when not polled) and phases. A value not readable is None.");

    static const struct {
        const char* method;
        const char* quantity;
        const char* what;
    } kSetValues[] = {
        {"set_voltage_ac", "VOLTAC", "AC voltage [V]"},
        {"set_voltage_dc", "VOLTDC", "DC voltage [V]"},
        {"set_current", "CURR", "current limit [A]"},
        {"set_frequency", "FREQ", "frequency [Hz]"},
        {"set_phase", "PHAS", "phase angle [degrees]"},
        {"set_power_max", "POWMAX", "power limit [W]"},
        {"set_current_max", "CURRMAX", "peak current limit [A]"},
        {"set_current_time", "CURRTIME", "current limit time"},
    };
    for (const auto& s : kSetValues)
        c.def(
            s.method,
            [quantity = s.quantity](Instrument& self, const py::object& value,
                                    std::optional<int> phase) {
                SetValue(self, quantity, value, phase);
            },
            py::arg("value"), py::arg("phase") = py::none(),
            (std::string("Sets the ") + s.what +
             " with the line the main window's field sends on Enter; phase 1 to 3 uses the "
             "per-phase field (voltages, current, frequency and phase only).")
                .c_str());

    c.def("output", &Switch<kOutputOnLine, kOutputOffLine>, py::arg("on"),
          "Switches the output on or off, as the \"Output\" buttons do.");
    c.def("aux", &Switch<kAuxOnLine, kAuxOffLine>, py::arg("on"), "Switches AUX on or off.");
    c.def("phases", &Switch<kPhasesOnLine, kPhasesOffLine>, py::arg("on"),
          "Switches the phases on or off (OUTP:PHASON).");
    c.def("current_range_x10", &Switch<kCurrentRangeX10Line, kCurrentRangeX1Line>, py::arg("on"),
          "Current range x10 (True) or x1 (False).");
    c.def("ot1", &Switch<kOt1OnLine, kOt1OffLine>, py::arg("on"), "Switches OT1 on or off.");
    c.def(
        "clear_peak_current", [](Instrument& self) { SendLine(self, kPeakCurrentClearLine); },
        "Clears the peak current (the \"IP clear\" button).");
    c.def(
        "recall_state",
        [](Instrument& self, int state) {
            SendLine(self, RecallStateCommand(QString::number(state)));
        },
        py::arg("state"), "Recalls a stored instrument state (*RCL).");
    c.def(
        "save_state",
        [](Instrument& self, int state) {
            SendLine(self, SaveStateCommand(QString::number(state)));
        },
        py::arg("state"), "Stores the instrument's state (*SAV).");
}
