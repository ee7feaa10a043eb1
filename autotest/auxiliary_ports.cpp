#include "autotest/auxiliary_ports.h"

#include "autotest/keyword_table.h"
#include "autotest/table_file.h"
#include "common/number_reading.h"
#include "link/link_state.h"
#include "link/serial_device.h"
#include "sequence/step_grid.h"

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

int DevicePrefixNumber(const QString& text, int position)
{
    return std::clamp(ReadInteger(text.mid(position, 2)), 1, 30);
}

QList<int> TableAuxiliaryPorts(const StepGrid& table) { return TableDevices(table, false); }

QList<int> TableDevices(const StepGrid& table, bool gpib)
{
    QList<int> ports;
    const QLatin1String prefix = KeywordText(gpib ? StepKeyword::Gpib : StepKeyword::Com);
    for (int row = 1; row <= table.LastRow(); ++row) {
        const QString command = table.Cell(kTestCommand, row);
        if (!command.startsWith(prefix))
            continue;
        const int port = DevicePrefixNumber(command, prefix.size());
        if (!ports.contains(port))
            ports << port;
    }
    return ports;
}

QStringList UnavailableAuxiliaryPorts(const LinkState& L, const QList<int>& named)
{
    QStringList problems;
    for (int number : named) {
        bool open = false;
        for (int n = kFirstObject; n <= LinkState::kPortCount && !open; ++n)
            open = L.ComPort(n).Port() == number && L.ComPort(n).Active();
        if (open)
            continue;
        // The cause an open already met, without opening again (a network port would connect
        // again); a port no object tried is looked at now.
        int tried = 0;
        for (int n = kFirstObject; n <= LinkState::kPortCount && tried == 0; ++n)
            if (L.ComPort(n).Port() == number)
                tried = L.ComPort(n).OpenError();
        QString why = tried != 0 ? SerialOpenProblem(number, tried) : SerialOpenProblem(number);
        if (L.SerialLink && QString::number(number) == L.Settings.PortText)
            why = QStringLiteral("COM%1 is the instrument's own port").arg(number);
        else if (why.isEmpty())
            why = QStringLiteral("COM%1 was not among the first ten ports found at start-up")
                      .arg(number);
        problems << QStringLiteral("%1; the rows with @COM%2 are not sent (ports are the links "
                                   "COMn in %3)")
                        .arg(why)
                        .arg(number, 2, 10, QLatin1Char('0'))
                        .arg(QString::fromStdString(CurrentSerialPortFolders().linkDir));
    }
    return problems;
}

template <typename Each> void AuxiliaryPorts::ForEachPort(Each each)
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

QStringList AuxiliaryPorts::Open(const std::optional<QList<int>>& only)
{
    QStringList errors;
    m_opened.clear();
    ForEachPort([&](int object, const QString& entry, TCiaComPort& port) {
        if (only && !only->contains(port.Port()))
            return;
        m_opened << object;
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
        if (!m_opened.contains(object))
            return;
        Report(L, QStringLiteral("CIACOM%1 %2 close").arg(object).arg(entry));
        port.SetActive(false);
    });
    m_opened.clear();
}
