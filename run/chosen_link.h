#pragma once

#include "panel/program_start.h"

#include <QString>
#include <QStringList>
#include <optional>

class LinkState;
struct PanelState;
struct ProgramPlaces;

// The instrument's link of a program without windows (tavtest, the Python module): TAVCON.cfg
// in the current folder unless ConfigFile names another; then Port, GpibAddress or GpibName
// override it.
struct LinkChoice {
    QString ConfigFile;
    std::optional<int> Port;
    std::optional<int> GpibAddress;
    QString GpibName;
    // The instrument's port is not opened here: the caller opens it (off its thread), and
    // tells what became of it with InstrumentPortProblem.
    bool OpenLater = false;
};

struct LinkStart {
    QStringList Warnings; // a damaged configuration file
    QString Error;        // why the instrument's link cannot be used; empty when it can
};

// Starts the program's state as the desktop program does, on the chosen link: a serial link's
// port is opened (when it cannot be, the error names the device tried and the cause), a GPIB
// link needs the NI-488 library bound. The caller sets the reply handling first.
// Why the serial link's instrument port is not open, naming the device tried and the cause the
// open met; empty when it is open or the link is not serial.
QString InstrumentPortProblem(const LinkState& link);
LinkStart StartChosenLink(LinkState& link, PanelState& panel, ProgramPlaces& places,
                          const LinkChoice& choice, const PortLostHandler& portLost);
