#include "run/rack_options.h"

#include "link/serial_device.h"
#include "link/tcp_link.h"
#include "run/input_rules.h"
#include "run/run_options.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool ReadSlotLink(const QString& text, RackSlot& slot)
{
    if (text.startsWith(QLatin1String("gpib-name:"), Qt::CaseInsensitive)) {
        slot.GpibName = text.mid(10);
        return !slot.GpibName.isEmpty();
    }
    if (text.startsWith(QLatin1String("gpib:"), Qt::CaseInsensitive)) {
        bool ok = false;
        const int address = text.mid(5).toInt(&ok);
        if (ok && address >= 0 && address <= 30)
            slot.GpibAddress = address;
        return slot.GpibAddress.has_value();
    }
    slot.Port = ReadPort(text);
    return slot.Port.has_value();
}

QString SlotKey(const RackSlot& s)
{
    if (s.Port)
        return QStringLiteral("COM%1").arg(*s.Port);
    if (s.GpibAddress)
        return QStringLiteral("GPIB address %1").arg(*s.GpibAddress);
    return QStringLiteral("GPIB device %1").arg(s.GpibName);
}

} // namespace

std::optional<RackSlot> ReadRackSlot(const QString& text, QString* error)
{
    RackSlot slot;
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[=,]")));
    slot.Name = text.left(end);
    if (!ReadSlotLink(slot.Name, slot)) {
        *error =
            QStringLiteral("--slot: not a port (COMn, gpib:ADDRESS or gpib-name:NAME): ") + text;
        return std::nullopt;
    }
    QStringList rest = end < 0 ? QStringList() : text.mid(end + 1).split(QLatin1Char(','));
    if (end >= 0 && text[end] == QLatin1Char('=')) {
        if (!rest.first().isEmpty())
            slot.Serial = rest.first();
        rest.removeFirst();
    }
    for (const QString& item : rest) {
        if (item.startsWith(QLatin1String("meter="), Qt::CaseInsensitive) &&
            (slot.MeterPort = ReadPort(item.mid(6))))
            continue;
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const std::optional<int> table = ReadPort(item.left(equals).toUpper());
        const std::optional<int> port = equals > 0 ? ReadPort(item.mid(equals + 1)) : std::nullopt;
        if (item.startsWith(QLatin1String("com"), Qt::CaseInsensitive) && table && port &&
            *table < kFirstDirectPort) {
            slot.Ports[*table] = *port;
            continue;
        }
        *error = QStringLiteral("--slot: expected PORT=SERIAL[,meter=COMn][,comNN=COMn]: ") + text;
        return std::nullopt;
    }
    return slot;
}

namespace {

// One device a slot uses, and what the slot uses it for.
struct SlotUse {
    qsizetype Slot;
    QString Role; // "COM3" (the instrument), "meter COM9", "@COM05 (COM10)"
    QString Target;
    bool Instrument = false;
};

QString PortName(int port)
{
    return port >= kFirstDirectPort ? QString::fromStdString(DirectTcpUri(port))
                                    : QStringLiteral("COM%1").arg(port);
}

QString Target(int port) { return QString::fromStdString(PortTarget(port)); }

} // namespace

QString RackSlotClash(const QList<RackSlot>& slots, const RackTableUse& table)
{
    QList<SlotUse> uses;
    for (qsizetype i = 0; i < slots.size(); ++i) {
        const RackSlot& s = slots[i];
        uses << SlotUse{i, s.Port ? PortName(*s.Port) : SlotKey(s),
                        s.Port ? Target(*s.Port) : SlotKey(s), true};
        for (int named : table.AuxiliaryPorts) {
            const int port = s.Ports.count(named) ? s.Ports.at(named) : named;
            uses << SlotUse{i,
                            QStringLiteral("@COM%1 (%2)")
                                .arg(named, 2, 10, QLatin1Char('0'))
                                .arg(PortName(port)),
                            Target(port)};
        }
        const std::optional<int> meter = s.MeterPort ? s.MeterPort : table.Meter;
        if (meter)
            uses << SlotUse{i, QStringLiteral("meter %1").arg(PortName(*meter)), Target(*meter)};
        else if (table.ReadsMeter)
            return QStringLiteral("--slot %1: the table reads the external meter, and a rack has "
                                  "no default meter: give each slot its own (%1=SERIAL,meter=COMn)")
                .arg(s.Name);
    }
    for (qsizetype a = 0; a < uses.size(); ++a)
        for (qsizetype b = 0; b < a; ++b) {
            if (uses[a].Target != uses[b].Target)
                continue;
            // Within a slot one device may serve twice (its meter read through @COMnn too).
            if (uses[a].Slot == uses[b].Slot)
                continue;
            const RackSlot& first = slots[uses[b].Slot];
            const RackSlot& second = slots[uses[a].Slot];
            if (uses[a].Instrument && uses[b].Instrument)
                return uses[a].Role == uses[b].Role
                           ? QStringLiteral("--slot: %1 is given twice").arg(uses[a].Role)
                           : QStringLiteral("--slot: %1 and %2 are one port (%3)")
                                 .arg(uses[b].Role, uses[a].Role, uses[a].Target);
            return QStringLiteral("--slot: slots %1 and %2 would share one port, %3 (%4 of "
                                  "%1, %5 of %2): give each slot its own "
                                  "(--slot PORT=SERIAL,meter=COMn,comNN=COMn)")
                .arg(first.Name, second.Name, uses[a].Target, uses[b].Role, uses[a].Role);
        }
    return {};
}

QString SlotFileTag(const QString& slotName)
{
    QString tag;
    for (const QChar c : slotName)
        tag += c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('_')
                   ? c
                   : QLatin1Char('-');
    // "tcp://h" gives "tcp---h": one dash stands for a run of them.
    return tag.replace(QRegularExpression(QStringLiteral("-+")), QStringLiteral("-"));
}

RunnerOptions SlotRunOptions(const RunnerOptions& rack, const RackSlot& slot, const QString& serial)
{
    RunnerOptions o = rack;
    o.Slots.clear();
    o.Port = slot.Port;
    o.GpibAddress = slot.GpibAddress;
    o.GpibName = slot.GpibName;
    o.Serial = serial;
    o.SerialAdvance = false;
    if (slot.MeterPort)
        o.MeterPort = slot.MeterPort;
    o.PortMap = slot.Ports;
    o.JUnitFile.clear(); // the rack writes one file for all slots
    if (!o.TraceFile.isEmpty()) {
        const qsizetype dot = o.TraceFile.lastIndexOf(QLatin1Char('.'));
        const QString tag = QLatin1Char('-') + SlotFileTag(slot.Name);
        o.TraceFile = dot > o.TraceFile.lastIndexOf(QLatin1Char('/'))
                          ? o.TraceFile.left(dot) + tag + o.TraceFile.mid(dot)
                          : o.TraceFile + tag;
    }
    return o;
}
