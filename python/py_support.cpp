#include "python/py_support.h"

#include "link/serial_device.h"
#include "python/script_instrument.h"

#include <QRegularExpression>
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

// "COM3", "com3", "3" or 3.
int PortNumber(const py::handle& port)
{
    if (py::isinstance<py::int_>(port))
        return port.cast<int>();
    const QString text = ToQString(py::str(port).cast<std::string>()).trimmed();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(?:COM)?([0-9]{1,3})$"),
                           QRegularExpression::CaseInsensitiveOption)
            .match(text);
    if (!match.hasMatch())
        throw py::value_error("a serial port is named COMn (n 1 to 256): " + ToStd(text));
    return match.captured(1).toInt();
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
    BindInstrument(m);
    BindTableRun(m);
    m.def(
        "_port_links_folder",
        [] { return CurrentSerialPortFolders().linkDir; },
        "The folder whose COMn links name the serial ports (tavcontrol/ports/ under the "
        "configuration folder).");
}
