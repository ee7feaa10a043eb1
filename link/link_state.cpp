#include "link/link_state.h"

#include "link/port_opening.h"
#include "link/tcp_link.h"

LinkState::LinkState(const std::string& gpibLibraryFile) : GpibLib(gpibLibraryFile)
{
    for (int i = 0; i < kPortCount; ++i) {
        m_ports[static_cast<size_t>(i)] = std::make_unique<TCiaComPort>();
        m_ports[static_cast<size_t>(i)]->setObjectName(QStringLiteral("CiaComPort%1").arg(i + 1));
    }
    for (const auto& port : m_ports)
        port->SetDeviceSource([this](int number) -> std::optional<std::pair<PortDevice, int>> {
            for (const auto& ahead : m_ahead)
                // Taken once: a later open of the same port opens it again.
                if (ahead->Port() == number && ahead->Done() && !ahead->Taken())
                    return std::pair{ahead->TakeDevice(), ahead->Error()};
            return std::nullopt;
        });
    // As the window description has them: COM1 for the instrument, 19200 baud there.
    ComPort(1).SetPort(1);
    ComPort(1).SetBaudrate(19200);
}

LinkState::~LinkState() = default;

void LinkState::OpenAhead(const QList<int>& ports, std::function<void()> done)
{
    m_ahead.clear();
    m_aheadDone = std::move(done);
    for (int port : ports) {
        auto opening = std::make_unique<PortOpening>(port);
        QObject::connect(opening.get(), &PortOpening::Finished, opening.get(), [this] {
            if (OpeningAhead() || !m_aheadDone)
                return;
            std::exchange(m_aheadDone, nullptr)();
        });
        m_ahead.push_back(std::move(opening));
    }
    if (ports.isEmpty() && m_aheadDone)
        std::exchange(m_aheadDone, nullptr)();
}

bool LinkState::OpeningAhead() const
{
    for (const auto& ahead : m_ahead)
        if (!ahead->Done())
            return true;
    return false;
}

int LinkState::MappedPort(int tablePort) const
{
    const auto found = PortMap.find(tablePort);
    return found == PortMap.end() ? tablePort : found->second;
}

int LinkState::TablePort(int port) const
{
    for (const auto& [table, mapped] : PortMap)
        if (mapped == port)
            return table;
    return port;
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

QString LinkLineText(const LinkState& L)
{
    const int port = L.Settings.PortText.toInt();
    if (!NetworkPort(port))
        return QString::number(L.ComPort(1).Baudrate());
    if (!DirectTcpUri(port).empty())
        return {};
    const std::optional<TcpTarget> entry = ReadTcpEntry(SerialDevicePath(port));
    return entry ? QString::fromStdString(entry->Uri()) : QString();
}
