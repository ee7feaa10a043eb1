#include "panel/program_start.h"

#include "common/number_reading.h"
#include "common/program_directory.h"
#include "link/port_discovery.h"
#include "link/reply_sink.h"
#include "panel/program_state.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QLocale>

namespace {

// Ports 7 to 11 have no hand-over: what arrives there is read by whoever asks for it.
constexpr int kPortsWithHandover = 6;

void ParseReply(ProgramState& state, const QString& text)
{
    if (state.Replies)
        state.Replies->ParseReply(text);
}

} // namespace

QString StartProgramState(ProgramState& S, const PortLostHandler& portLost,
                          const std::function<void(LinkSettings&)>& adjustLink)
{
    S.Link.IoType = 0;
    S.ProgramDirectory = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    S.WritableDirectory = WritableProgramDirectory(S.ProgramDirectory, QDir::currentPath());
    S.StartDate = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);

    S.Link.GpibDeviceName = QStringLiteral("Device 1");
    S.Link.PortText = QStringLiteral("2");
    const QString warning = ReadLinkConfig(LinkConfigPath(), S.Link).warning;
    if (adjustLink)
        adjustLink(S.Link);
    S.SerialLink = S.Link.SerialLink();
    S.DeviceIdent.Identification = QStringLiteral("Disconnected");

    for (int n = 1; n <= ProgramState::kPortCount; ++n) {
        TCiaComPort& port = S.ComPort(n);
        port.SetPort(n == 1 ? ReadInteger(S.Link.PortText) : 3);
        port.SetBaudrate(19200);
        port.SetLineEnd("\r\n");
        port.SetLineMode(true);
        if (n <= kPortsWithHandover)
            port.SetOnDataAvailable([&S](TCiaComPort* p) { RouteReply(S, p); });
        port.SetOnDeviceLost(portLost);
        port.SetTrace(&S.Trace);
    }
    S.Gpib.SetTrace(&S.Trace);
    S.LinkOpened = FindSerialPorts(S.Link, S.ComPort(1), S.DiscoveredPorts,
                                   [&S](const QString& line) { ParseReply(S, line); }) ||
                   S.LinkOpened;
    return warning;
}

int ReplyPort(ProgramState& S, const TCiaComPort* port)
{
    return port == &S.ComPort(1) ? 0 : port->Port();
}

void RouteReply(ProgramState& S, TCiaComPort* port)
{
    const QByteArray line = port->ReadText();
    ParseReply(S, QString::fromLatin1(line));
    if (S.TestWindow) {
        S.ReplyLine = line;
        S.TestWindow->EvaluateReply(ReplyPort(S, port));
    }
}

void DetachPortHandlers(ProgramState& S)
{
    for (int n = 1; n <= ProgramState::kPortCount; ++n) {
        S.ComPort(n).SetOnDataAvailable(nullptr);
        S.ComPort(n).SetOnDeviceLost(nullptr);
        S.ComPort(n).SetTrace(nullptr);
    }
    S.Gpib.SetTrace(nullptr);
}
