#pragma once

#include "python/event_wait.h"

#include "run/chosen_link.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <pybind11/pybind11.h>
#include <string>

namespace py = pybind11;

// Glue shared by the bindings: texts, paths and waits without the interpreter's lock.

inline QString ToQString(const std::string& text) { return QString::fromStdString(text); }
inline std::string ToStd(const QString& text) { return text.toStdString(); }

// A str or an os.PathLike as a path.
QString PathText(const py::handle& path);

// A value for an instrument line: a str as it stands, a number without exponent or trailing
// zeros ("230", "49.5").
QString ValueText(const py::handle& value);

// A serial port as tavtest's --port takes it: "COM3", "com3", "3" or 3.
int PortNumber(const py::handle& port);

// A time-out in seconds as tavtest's --timeout takes it (fractions too), in milliseconds.
int TimeoutMs(double seconds);

// The link as Instrument and run_table take it: at most one of port, gpib and gpib_name, and
// the configuration file.
LinkChoice LinkChoiceOf(const py::object& port, std::optional<int> gpib,
                        const std::optional<std::string>& gpibName, const py::object& config);

// Asked during waits: takes the interpreter's lock and runs its signal handlers; true when one
// raised (Ctrl-C raises KeyboardInterrupt), whose exception then waits to be raised.
bool PythonSignalRaised();

// Runs f without the interpreter's lock; a wait that a signal broke off raises its exception.
template <class F> auto WithoutLock(F&& f)
{
    try {
        py::gil_scoped_release release;
        return f();
    } catch (const WaitInterrupted&) {
        throw py::error_already_set();
    }
}

// Tells each line as a LateReply warning ("late reply dropped: 916.3W"). mayRaise false: a
// warning turned into an error is dropped, since another exception is on its way.
void WarnLateReplies(const QStringList& lines, bool mayRaise);

void BindInstrument(py::module_& m);
void BindTableRun(py::module_& m);
