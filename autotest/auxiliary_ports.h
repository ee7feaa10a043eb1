#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class LinkState;
class StepGrid;

// The device number after "@COM" or "@GPIB" at `position` of a cell, kept within 1 ... 30.
int DevicePrefixNumber(const QString& text, int position);
// The serial port numbers the table's "@COM" rows name, each once, in table order.
QList<int> TableAuxiliaryPorts(const StepGrid& table);
// The serial port numbers ("@COM") or GPIB addresses ("@GPIB") the table's rows name, each once,
// in table order.
QList<int> TableDevices(const StepGrid& table, bool gpib);
// For each of `named` that no auxiliary port object holds open: why, in words that name the
// device and where ports are set up, and that its rows are not sent.
QStringList UnavailableAuxiliaryPorts(const LinkState& link, const QList<int>& named);

// The further serial ports a test talks to: the ports found at program start, the first ten of
// them on CiaComPort2 ... CiaComPort11 (entry i on object i + 2), all but the instrument's own
// port on a serial link. They are open while a test window (or a run without one) exists; each
// opening and closing is handed to the reply handling as a "CIACOM" line.
class AuxiliaryPorts {
public:
    explicit AuxiliaryPorts(LinkState& link) : L(link) {}

    // Opens every port of the rule, or of those only the ones numbered in `only` (a run without
    // windows opens just what its table names, so programs on the other ports are left alone).
    // One that cannot be opened (taken by another program since start-up) is skipped; its error
    // is returned so the operator can be told once.
    QStringList Open(const std::optional<QList<int>>& only = std::nullopt);
    // Closes them again, with their "CIACOM ... close" lines.
    void Close();

private:
    template <typename Each> void ForEachPort(Each each);

    LinkState& L;
    QList<int> m_opened; // the port objects Open opened, which Close closes
};
