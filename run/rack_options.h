#pragma once

#include <QList>
#include <QString>
#include <map>
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
    // The slot's own ports for the table's "@COMnn" rows: nn -> port ("com05=COM10").
    std::map<int, int> Ports;
};

// What of the table the ports of a rack's slots depend on.
struct RackTableUse {
    QList<int> AuxiliaryPorts; // the numbers its "@COMnn" rows name
    bool ReadsMeter = false;   // it has external-meter rows
    std::optional<int> Meter;  // the meter given for every slot (--meter-port)
};

// "COM3", "COM3=0505000121", "COM3=0505000121,meter=COM9,com05=COM10", "gpib:5=…",
// "gpib-name:NAME", "tcp://HOST:PORT=…"; nothing with the reason in error.
std::optional<RackSlot> ReadRackSlot(const QString& text, QString* error);
// Two slots that would share a device — instrument, meter or a port of the table's "@COMnn"
// rows, compared by what the ports lead to (a COMn entry holding tcp://h:p and that URI named
// outright are one port, so are two links to one device) — or a meter the table reads that a
// slot is not given (a rack has no default meter): the first such problem in words, else
// empty. Checked before anything is sent; without the table's use, the slots' own ports only.
QString RackSlotClash(const QList<RackSlot>& slots, const RackTableUse& table = {});
// A slot's name as a part of a file name: "tcp://h:4001" -> "tcp-h-4001".
QString SlotFileTag(const QString& slotName);
// The options of one slot's run: the rack's, with the slot's link, serial number and meter.
// The serial number comes from the rack (consecutive per slot); the table's own line is
// written by the rack, once.
RunnerOptions SlotRunOptions(const RunnerOptions& rack, const RackSlot& slot,
                             const QString& serial);
