#pragma once

#include <QList>
#include <QString>
#include <optional>

struct RunnerOptions;

// One instrument of a rack: its link, the serial number of the unit on it, and its meter.
struct RackSlot {
    QString Name; // as given: "COM3", "gpib:5", "gpib-name:TAV-PS"
    std::optional<int> Port;
    std::optional<int> GpibAddress;
    QString GpibName;
    std::optional<QString> Serial;
    std::optional<int> MeterPort;
};

// "COM3", "COM3=0505000121", "COM3=0505000121,meter=COM9", "gpib:5=…", "gpib-name:NAME";
// nothing with the reason in error.
std::optional<RackSlot> ReadRackSlot(const QString& text, QString* error);
// Two slots on one port, GPIB address or device name, or a meter on another slot's port:
// the first such clash in words, else empty. Checked before anything is sent.
QString RackSlotClash(const QList<RackSlot>& slots);
// The options of one slot's run: the rack's, with the slot's link, serial number and meter.
// The serial number comes from the rack (consecutive per slot); the table's own line is
// written by the rack, once.
RunnerOptions SlotRunOptions(const RunnerOptions& rack, const RackSlot& slot,
                             const QString& serial);
