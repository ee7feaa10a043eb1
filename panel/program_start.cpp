#include "panel/program_start.h"

#include "common/number_reading.h"
#include "common/program_directory.h"
#include "common/program_places.h"
#include "link/link_state.h"
#include "link/port_discovery.h"
#include "link/reply_sink.h"
#include "link/serial_device.h"
#include "panel/panel_state.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QLocale>

namespace {

// Ports 7 to 11 have no hand-over: what arrives there is read by whoever asks for it.
constexpr int kPortsWithHandover = 6;

void ParseReply(LinkState& L, const QString& text)
{
    if (L.Replies)
        L.Replies->ParseReply(text);
}

} // namespace

QString StartProgramState(LinkState& L, PanelState& P, ProgramPlaces& F,
                          const PortLostHandler& portLost,
                          const std::function<void(LinkSettings&)>& adjustLink)
{
    L.Settings.IoType = 0;
    F.ProgramDirectory = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    F.WritableDirectory = WritableProgramDirectory(F.ProgramDirectory, QDir::currentPath());
    F.StartDate = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);

    L.Settings.GpibDeviceName = QStringLiteral("Device 1");
    L.Settings.PortText = QStringLiteral("2");
    const QString warning = ReadLinkConfig(LinkConfigPath(), L.Settings).warning;
    if (adjustLink)
        adjustLink(L.Settings);
    L.SerialLink = L.Settings.SerialLink();
    P.DeviceIdent.Identification = QStringLiteral("Disconnected");

    for (int n = 1; n <= LinkState::kPortCount; ++n) {
        TCiaComPort& port = L.ComPort(n);
        port.SetPort(n == 1 ? ReadInteger(L.Settings.PortText) : 3);
        port.SetBaudrate(19200);
        port.SetLineEnd("\r\n");
        port.SetLineMode(true);
        if (n <= kPortsWithHandover)
            port.SetOnDataAvailable([&L](TCiaComPort* p) { RouteReply(L, p); });
        port.SetOnDeviceLost(portLost);
    }
    if (!L.DiscoveryDeferred)
        DiscoverPorts(L);
    return warning;
}

void DiscoverPorts(LinkState& L, const std::function<void()>& opened)
{
    const auto reply = [&L](const QString& line) { ParseReply(L, line); };
    const int port = L.Settings.PortText.toInt();
    // A network port's connect may take seconds: it is made off this thread, and the window
    // is drawn and answers meanwhile.
    const bool later = opened && NetworkPort(port);
    bool found = false;
    ListFoundPorts(L.Settings, L.DiscoveredPorts, reply, [&] {
        found = true;
        if (!later)
            L.LinkOpened = OpenInstrumentPort(L.ComPort(1), reply) || L.LinkOpened;
    });
    if (found && later) {
        L.OpenAhead({port}, [&L, reply, opened] {
            L.LinkOpened = OpenInstrumentPort(L.ComPort(1), reply) || L.LinkOpened;
            opened();
        });
        return;
    }
    if (opened)
        opened();
}

int ReplyPort(const LinkState& L, const TCiaComPort* port)
{
    return port == &L.ComPort(1) ? 0 : L.TablePort(port->Port());
}

void RouteReply(LinkState& L, TCiaComPort* port)
{
    const QByteArray line = port->ReadText();
    ParseReply(L, QString::fromLatin1(line));
    if (L.TestWindow) {
        L.ReplyLine = line;
        L.TestWindow->EvaluateReply(ReplyPort(L, port));
    }
}

void DetachPortHandlers(LinkState& L)
{
    for (int n = 1; n <= LinkState::kPortCount; ++n) {
        L.ComPort(n).SetOnDataAvailable(nullptr);
        L.ComPort(n).SetOnDeviceLost(nullptr);
    }
}
