#include "panel/program_state.h"

ProgramState::ProgramState(const std::string& gpibLibraryFile) : GpibLib(gpibLibraryFile)
{
    for (int i = 0; i < kPortCount; ++i) {
        m_ports[static_cast<size_t>(i)] = std::make_unique<TCiaComPort>();
        m_ports[static_cast<size_t>(i)]->setObjectName(QStringLiteral("CiaComPort%1").arg(i + 1));
    }
    // As the window description has them: COM1 for the instrument, 19200 baud there.
    ComPort(1).SetPort(1);
    ComPort(1).SetBaudrate(19200);
}

void ProgramState::DeliverWaitingLines()
{
    for (const auto& port : m_ports)
        if (port->Active())
            port->DeliverWaiting();
}
