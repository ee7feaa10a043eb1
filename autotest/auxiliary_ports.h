#pragma once

#include <QString>
#include <QStringList>

class LinkState;

// The further serial ports a test talks to: the ports found at program start, the first ten of
// them on CiaComPort2 ... CiaComPort11 (entry i on object i + 2), all but the instrument's own
// port on a serial link. They are open while a test window (or a run without one) exists; each
// opening and closing is handed to the reply handling as a "CIACOM" line.
class AuxiliaryPorts {
public:
    explicit AuxiliaryPorts(LinkState& link) : L(link) {}

    // Opens every port of the rule. One that cannot be opened (taken by another program since
    // start-up) is skipped; its error is returned so the operator can be told once.
    QStringList Open();
    // Closes them again, with their "CIACOM ... close" lines.
    void Close();

private:
    template <typename Each>
    void ForEachPort(Each each);

    LinkState& L;
};
