#include "autotest/auxiliary_ports.h"

#include "common/number_reading.h"
#include "link/link_state.h"

#include <algorithm>

namespace {

constexpr int kFirstObject = 2;
constexpr int kObjects = LinkState::kPortCount - 1;

void Report(LinkState& L, const QString& line)
{
    if (L.Replies)
        L.Replies->ParseReply(line);
}

} // namespace

template <typename Each>
void AuxiliaryPorts::ForEachPort(Each each)
{
    const int count = std::min(static_cast<int>(L.DiscoveredPorts.size()), kObjects);
    for (int i = 0; i < count; ++i) {
        const QString& entry = L.DiscoveredPorts[i];
        if (L.SerialLink && entry == L.Settings.PortText)
            continue;
        const int object = i + kFirstObject;
        TCiaComPort& port = L.ComPort(object);
        port.SetPort(ReadInteger(entry));
        each(object, entry, port);
    }
}

QStringList AuxiliaryPorts::Open()
{
    QStringList errors;
    ForEachPort([&](int object, const QString& entry, TCiaComPort& port) {
        Report(L, QStringLiteral("CIACOM%1 %2 open%3").arg(object).arg(entry).arg(port.Port()));
        try {
            port.SetActive(true);
        } catch (const ECiaComPort& e) {
            errors << e.Message();
        }
    });
    return errors;
}

void AuxiliaryPorts::Close()
{
    ForEachPort([&](int object, const QString& entry, TCiaComPort& port) {
        Report(L, QStringLiteral("CIACOM%1 %2 close").arg(object).arg(entry));
        port.SetActive(false);
    });
}
