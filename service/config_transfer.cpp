#include "service/config_transfer.h"

#include "link/cia_com_port.h"

void ConfigTransfer::Start(const ConfigSelection& selection)
{
    ConfigCommands = BuildConfigCommands(selection, LastPower, LastCurrent);
    LastPower = ConfigCommands.Power;
    LastCurrent = ConfigCommands.Current;
    ConfigStep = 0;
    m_sent = 0;
    m_host.SetTimerActive(true);
}

void ConfigTransfer::Tick()
{
    if (ConfigStep >= kConfigLineCount)
        return; // a tick already queued when the last one stopped the timer
    const QByteArray& line = ConfigCommands.Lines[static_cast<size_t>(ConfigStep)];
    ++ConfigStep;
    if (SendAndLog(m_host, line))
        ++m_sent;
    if (ConfigStep < kConfigLineCount)
        return;
    m_host.SetTimerActive(false);
    if (m_sent == kConfigLineCount)
        m_host.AppendLog(QStringLiteral("Transfer done!"));
    else
        m_host.AppendLog(QStringLiteral("Transfer not complete: %1 of %2 lines sent")
                             .arg(m_sent)
                             .arg(kConfigLineCount));
}

bool SendAndLog(ConfigTransfer::Host& host, const QByteArray& line)
{
    QString logged = QString::fromLatin1(line.endsWith('\n') ? line.chopped(1) : line);
    QString failure = QStringLiteral("port not open");
    bool sent = false;
    try {
        sent = host.WriteIfOpen(line);
    } catch (const ECiaComPort& e) {
        failure = e.Message();
    }
    // A line that did not leave must not pass for one that did: the log says so.
    if (!sent)
        logged += QStringLiteral(" (not sent: %1)").arg(failure);
    host.AppendLog(logged);
    return sent;
}
