#include "link/port_discovery.h"

#include "link/cia_com_port.h"
#include "link/link_settings.h"
#include "link/serial_device.h"

void ListFoundPorts(const LinkSettings& settings, QStringList& discoveredPorts,
                    const std::function<void(const QString&)>& replyHandling,
                    const std::function<void()>& atInstrument)
{
    discoveredPorts.clear();
    ListSerialPorts(discoveredPorts);
    const QString count = QString::number(discoveredPorts.size());
    for (const QString& n : discoveredPorts) {
        replyHandling(PortLabel(n.toInt()) + QStringLiteral(": port found - Ports: ") + count);
        if (n != settings.PortText || !settings.SerialLink())
            continue;
        if (atInstrument)
            atInstrument();
    }
}

bool OpenInstrumentPort(TCiaComPort& instrumentPort,
                        const std::function<void(const QString&)>& replyHandling)
{
    try {
        instrumentPort.SetActive(true);
        replyHandling(PortLabel(instrumentPort.Port()) + QStringLiteral(": port opend"));
        return true;
    } catch (const ECiaComPort& e) {
        // Taken by another program between the listing and now: say so where the technician
        // looks, and carry on closed.
        replyHandling(e.Message());
        return false;
    }
}

bool FindSerialPorts(const LinkSettings& settings, TCiaComPort& instrumentPort,
                     QStringList& discoveredPorts,
                     const std::function<void(const QString&)>& replyHandling)
{
    bool opened = false;
    ListFoundPorts(settings, discoveredPorts, replyHandling,
                   [&] { opened = OpenInstrumentPort(instrumentPort, replyHandling); });
    return opened;
}
