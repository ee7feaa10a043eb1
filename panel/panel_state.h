#pragma once

#include <QString>

// The six identification texts of the connected instrument.
struct DeviceIdentType {
    QString Identification = QStringLiteral("Disconnected");
    QString Manufacturer;
    QString Model;
    QString SerialNumber;
    QString Revision;
    QString Options;
};

// What the control panel knows of the connected instrument, for the windows that show it.
struct PanelState {
    DeviceIdentType DeviceIdent;
};
