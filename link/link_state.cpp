#include "link/link_state.h"

LinkState::LinkState(const std::string& gpibLibraryFile) : GpibLib(gpibLibraryFile)
{
    for (int i = 0; i < kPortCount; ++i) {
        m_ports[static_cast<size_t>(i)] = std::make_unique<TCiaComPort>();
        m_ports[static_cast<size_t>(i)]->setObjectName(QStringLiteral("CiaComPort%1").arg(i + 1));
    }
    // As the window description has them: COM1 for the instrument, 19200 baud there.
    ComPort(1).SetPort(1);
    ComPort(1).SetBaudrate(19200);
}

void LinkState::DeliverWaitingLines()
{
    for (const auto& port : m_ports)
        if (port->Active())
            port->DeliverWaiting();
}

void LinkState::SetTrace(LineTrace* trace)
{
    for (const auto& port : m_ports)
        port->SetTrace(trace);
    Gpib.SetTrace(trace);
}

QString LinkName(const LinkState& L)
{
    if (L.SerialLink) {
        // A URI named outright has no COM number to show.
        const QString uri = SerialDeviceName(L.Settings.PortText.toInt());
        if (uri.startsWith(QLatin1String("tcp://")))
            return uri;
        return QStringLiteral("COM") + L.Settings.PortText;
    }
    if (L.Settings.IoType == 1)
        return QStringLiteral("GPIB device \"%1\"").arg(L.Settings.GpibDeviceName);
    return QStringLiteral("GPIB address %1").arg(L.Settings.GpibAddress);
}
