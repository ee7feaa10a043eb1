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

// The instrument's identification as a run's record keeps it: empty while none is known
// ("Disconnected").
inline QString KnownIdentification(const DeviceIdentType& ident)
{
    return ident.Identification == QLatin1String("Disconnected") ? QString()
                                                                  : ident.Identification;
}

// What the control panel knows of the connected instrument, for the windows that show it.
struct PanelState {
    DeviceIdentType DeviceIdent;
};
