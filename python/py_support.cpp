#include "python/py_support.h"

#include "link/serial_device.h"
#include "python/script_instrument.h"
#include "run/input_rules.h"

#include <cmath>

QString PathText(const py::handle& path)
{
    return ToQString(py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>());
}

QString ValueText(const py::handle& value)
{
    if (py::isinstance<py::str>(value))
        return ToQString(value.cast<std::string>());
    const double number = value.cast<double>();
    if (!std::isfinite(number))
        throw py::value_error("not a finite number");
    QString text = QString::number(number, 'f', 6);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

int PortNumber(const py::handle& port)
{
    const std::optional<int> number = py::isinstance<py::int_>(port)
                                          ? std::optional<int>(port.cast<int>())
                                          : ReadPort(ToQString(py::str(port).cast<std::string>()));
    if (!number || !ValidPort(*number))
        throw py::value_error(
            ToStd(QStringLiteral("port: %1: %2")
                      .arg(kNotAPort, ToQString(py::str(port).cast<std::string>()))));
    return *number;
}

int TimeoutMs(double seconds)
{
    const std::optional<int> ms = TimeoutMilliseconds(seconds);
    if (!ms)
        throw py::value_error(
            ToStd(QStringLiteral("timeout: %1: %2").arg(kNotATimeout, QString::number(seconds))));
    return *ms;
}

LinkChoice LinkChoiceOf(const py::object& port, std::optional<int> gpib,
                        const std::optional<std::string>& gpibName, const py::object& config)
{
    if (int(!port.is_none()) + int(gpib.has_value()) + int(gpibName.has_value()) > 1)
        throw py::value_error("give at most one of port, gpib and gpib_name");
    LinkChoice choice;
    if (!config.is_none())
        choice.ConfigFile = PathText(config);
    if (!port.is_none())
        choice.Port = PortNumber(port);
    choice.GpibAddress = gpib;
    if (gpibName)
        choice.GpibName = ToQString(*gpibName);
    return choice;
}

namespace {

PyObject* g_lateReplyWarning = nullptr;

} // namespace

void WarnLateReplies(const QStringList& lines, bool mayRaise)
{
    for (const QString& line : lines) {
        const std::string text = ToStd(QStringLiteral("late reply dropped: ") + line);
        if (PyErr_WarnEx(g_lateReplyWarning, text.c_str(), 1) == 0)
            continue;
        if (mayRaise)
            throw py::error_already_set();
        PyErr_Clear();
    }
}

bool PythonSignalRaised()
{
    py::gil_scoped_acquire lock;
    return PyErr_CheckSignals() != 0;
}

PYBIND11_MODULE(_core, m)
{
    m.doc() = "TAV Control's core for scripts: the program's own link, reply parser, test "
              "interpreter and results journal.";
    py::register_exception<NoReplyError>(m, "NoReply", PyExc_TimeoutError);
    py::register_exception<LinkError>(m, "LinkError", PyExc_OSError);
    g_lateReplyWarning = PyErr_NewExceptionWithDoc(
        "tavcontrol._core.LateReply", "A reply that came after its query was given up on, dropped.",
        PyExc_UserWarning, nullptr);
    if (!g_lateReplyWarning)
        throw py::error_already_set();
    m.add_object("LateReply", py::handle(g_lateReplyWarning));
    BindInstrument(m);
    BindTableRun(m);
    m.def(
        "_port_links_folder", [] { return CurrentSerialPortFolders().linkDir; },
        "The folder whose COMn links name the serial ports (tavcontrol/ports/ under the "
        "configuration folder).");
}
