#include "tools/rack_options.h"

#include "tools/input_rules.h"
#include "tools/runner_options.h"

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
        *error = QStringLiteral("--slot: expected PORT=SERIAL[,meter=COMn]: ") + text;
        return std::nullopt;
    }
    return slot;
}

QString RackSlotClash(const QList<RackSlot>& slots)
{
    for (qsizetype i = 0; i < slots.size(); ++i) {
        for (qsizetype j = 0; j < i; ++j)
            if (SlotKey(slots[i]) == SlotKey(slots[j]))
                return QStringLiteral("--slot: %1 is given twice").arg(SlotKey(slots[i]));
        if (const auto meter = slots[i].MeterPort)
            for (const RackSlot& other : slots)
                if (other.Port == meter)
                    return QStringLiteral("--slot %1: its meter COM%2 is the instrument of "
                                          "slot %3")
                        .arg(slots[i].Name)
                        .arg(*meter)
                        .arg(other.Name);
    }
    return {};
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
    o.JUnitFile.clear(); // the rack writes one file for all slots
    if (!o.TraceFile.isEmpty()) {
        const qsizetype dot = o.TraceFile.lastIndexOf(QLatin1Char('.'));
        const QString tag =
            QLatin1Char('-') + QString(slot.Name).replace(QLatin1Char(':'), QLatin1Char('-'));
        o.TraceFile = dot > o.TraceFile.lastIndexOf(QLatin1Char('/'))
                          ? o.TraceFile.left(dot) + tag + o.TraceFile.mid(dot)
                          : o.TraceFile + tag;
    }
    return o;
}
