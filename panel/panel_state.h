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
    return ident.Identification == QLatin1String("Disconnected") ? QString() : ident.Identification;
}

// What the control panel knows of the connected instrument, for the windows that show it.
struct PanelState {
    DeviceIdentType DeviceIdent;
    // The identification the instrument gave on the link's last connection. It outlasts
    // "Disconnect" (opening the test window disconnects), so a test run still knows what it
    // tests; empty until an instrument answered.
    QString LastIdentification;
};

// What a run's record names as its instrument: the one connected now, else the last one that
// answered on this link; empty when none is known.
inline QString RecordedIdentification(const PanelState& panel)
{
    const QString now = KnownIdentification(panel.DeviceIdent);
    return now.isEmpty() ? panel.LastIdentification : now;
}
