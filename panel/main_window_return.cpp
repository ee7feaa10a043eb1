// The main window when the instrument's port goes away, and when it comes back.

#include "panel/main_window.h"

#include "link/port_return_watch.h"
#include "panel/program_start.h"
#include "widgets/operator_messages.h"

#include <QTimer>
#include <cstring>

namespace {

constexpr int kNetworkRetryMs = 2000;
constexpr qint64 kReturnLimitMs = 10 * 60 * 1000;

} // namespace

void TForm1::PortLost(TCiaComPort* port, int error)
{
    const QString why = QString::fromLocal8Bit(strerror(error));
    const bool instrument = port == &L.ComPort(1);
    const bool polling = instrument && m_timer1->isActive();
    if (polling) {
        Disconnect();
        ShowLinkStatus(QStringLiteral("connection on %1 lost (%2)").arg(LinkName(L), why));
    }
    Tool.AppendLog(QStringLiteral("> %1: %2").arg(port->DeviceName(), why));
    // A running table holds at the loss; it does not go on by itself when the port is back.
    if (L.TestWindow)
        L.TestWindow->PortLost(ReplyPort(L, port));
    const bool watch = instrument && L.SerialLink && (polling || L.TestWindow);
    if (watch)
        WatchForReturn(port, polling);
    if (m_lostReported)
        return;
    m_lostReported = true;
    QString after;
    if (polling)
        after = watch ? QStringLiteral(" Polling has stopped; it goes on by itself when the "
                                       "port is back within 10 minutes.")
                      : QStringLiteral(" Polling has stopped.");
    // Closed again when the port is back: the status bar then says so.
    m_lostBox = ShowOperatorNotice(this, QStringLiteral("The connection on %1 was lost (%2).%3")
                                             .arg(port->DeviceName(), why, after));
}

void TForm1::WatchForReturn(TCiaComPort* port, bool polling)
{
    m_resumeOnReturn = polling;
    if (!NetworkPort(port->Port())) {
        m_returnWatch->Start(SerialDevicePlaces(port->Port()), [this] { return PortBack(); });
        return;
    }
    m_networkReturn.start();
    QTimer::singleShot(kNetworkRetryMs, this, &TForm1::TryNetworkReturn);
}

void TForm1::TryNetworkReturn()
{
    if (!m_networkReturn.isValid() || !L.SerialLink)
        return;
    // The connect is made ahead, on a thread of its own; the port then takes what it found.
    L.OpenAhead({L.Settings.PortText.toInt()}, [this] {
        if (!m_networkReturn.isValid())
            return;
        if (PortBack() || m_networkReturn.hasExpired(kReturnLimitMs)) {
            m_networkReturn.invalidate();
            return;
        }
        QTimer::singleShot(kNetworkRetryMs, this, &TForm1::TryNetworkReturn);
    });
}

void TForm1::StopReturnWatch()
{
    m_returnWatch->Stop();
    m_networkReturn.invalidate();
}

bool TForm1::PortBack()
{
    // The operator chose another link meanwhile: nothing to wait for.
    if (!L.SerialLink)
        return true;
    TCiaComPort& port = L.ComPort(1);
    try {
        port.SetActive(true);
    } catch (const ECiaComPort&) {
        return false; // not yet (its link is back before the device, or udev still sets it up)
    }
    L.LinkOpened = true;
    const QString name = LinkName(L);
    Tool.AppendLog(QStringLiteral("> %1: back").arg(port.DeviceName()));
    if (m_lostBox)
        m_lostBox->close();
    if (!m_resumeOnReturn || m_timer1->isActive()) {
        ShowLinkStatus(QStringLiteral("%1 back").arg(name));
        return true;
    }
    m_resumeOnReturn = false;
    NewConnection();
    StartPolling(QStringLiteral("%1 back — polling").arg(name));
    ShowConnected(true);
    return true;
}
