#include "link/port_discovery.h"

#include "link/cia_com_port.h"
#include "link/link_settings.h"
#include "link/serial_device.h"

bool FindSerialPorts(const LinkSettings& settings, TCiaComPort& instrumentPort,
                     QStringList& discoveredPorts,
                     const std::function<void(const QString&)>& replyHandling)
{
    discoveredPorts.clear();
    ListSerialPorts(discoveredPorts);
    const QString count = QString::number(discoveredPorts.size());
    bool opened = false;
    for (const QString& n : discoveredPorts) {
        const QString name = PortLabel(n.toInt());
        replyHandling(name + QStringLiteral(": port found - Ports: ") + count);
        if (n != settings.PortText || !settings.SerialLink())
            continue;
        try {
            instrumentPort.SetActive(true);
            opened = true;
            replyHandling(name + QStringLiteral(": port opend"));
        } catch (const ECiaComPort& e) {
            // Taken by another program between the listing and now: say so where the
            // technician looks, and carry on closed.
            replyHandling(e.Message());
        }
    }
    return opened;
}
