#include "python/script_instrument.h"

#include "panel/direct_send.h"
#include "panel/operator_commands.h"
#include "panel/poll_cycle.h"
#include "panel/reply_parser.h"
#include "python/event_wait.h"

#include <QDeadlineTimer>
#include <cstring>

ScriptInstrument::ScriptInstrument(const LinkChoice& choice) : L(m_state.Link)
{
    EnsureCoreApplication();
    L.Replies = this;
    L.GpibSink.SetTarget(this);
    const LinkStart start =
        StartChosenLink(L, m_state.Panel, m_state.Places, choice,
                        [this](TCiaComPort* port, int error) { Lost(port, error); });
    m_linkName = ::LinkName(L);
    if (!start.Error.isEmpty()) {
        Close();
        throw LinkError(start.Error.toStdString());
    }
    if (!L.SerialLink) {
        // As the test window takes the device: looked up by address or name, its time-out set.
        TakeGpibInstrument(L);
        if (L.Gpib.GpibDevice <= 0) {
            const QString why = m_gpibErrors.value(0, QStringLiteral("device not available"));
            Close();
            throw LinkError(QStringLiteral("%1: %2").arg(m_linkName, why).toStdString());
        }
    }
    m_open = true;
    // The start-up's own lines ("COM2: port opened") are no replies.
    HandlePendingEvents();
    m_replies.clear();
}

ScriptInstrument::~ScriptInstrument()
{
    Close();
    L.Replies = nullptr;
    L.GpibSink.SetTarget(nullptr);
}

void ScriptInstrument::Close()
{
    if (m_open && !L.SerialLink)
        ReleaseGpibInstrument(L);
    m_open = false;
    DetachPortHandlers(L);
    for (int n = 1; n <= LinkState::kPortCount; ++n)
        L.ComPort(n).SetActive(false);
}

void ScriptInstrument::CheckOpen() const
{
    if (!m_lost.isEmpty())
        throw LinkError(m_lost.toStdString());
    if (!m_open)
        throw LinkError(QStringLiteral("%1: the link is closed").arg(m_linkName).toStdString());
}

void ScriptInstrument::Lost(TCiaComPort* port, int error)
{
    if (port != &L.ComPort(1))
        return;
    m_lost = QStringLiteral("%1: instrument lost (%2)")
                 .arg(m_linkName, QString::fromLocal8Bit(std::strerror(error)));
}

void ScriptInstrument::ParseReply(const QString& text) { m_replies.push_back(TrimReply(text)); }

void ScriptInstrument::AppendErrBox(const QString& line)
{
    if (!line.trimmed().isEmpty())
        m_gpibErrors << line.trimmed();
}

void ScriptInstrument::Interrupted()
{
    Close();
    throw WaitInterrupted();
}

void ScriptInstrument::Write(const QString& line)
{
    CheckOpen();
    QByteArray bytes = line.toLatin1();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    m_gpibErrors.clear();
    try {
        SendToInstrument(L, bytes);
    } catch (const ECiaComPort& e) {
        throw LinkError(QStringLiteral("%1: %2").arg(m_linkName, e.Message()).toStdString());
    }
    if (!m_gpibErrors.isEmpty())
        throw LinkError(QStringLiteral("%1: %2")
                            .arg(m_linkName, m_gpibErrors.join(QStringLiteral("; ")))
                            .toStdString());
}

QString ScriptInstrument::Query(const QString& line, int timeoutMs,
                                const InterruptCheck& interrupted)
{
    CheckOpen();
    if (!L.SerialLink) {
        Write(line);
        QString reply;
        if (!L.Gpib.GpibRead(reply))
            throw NoReplyError(QStringLiteral("%1: no reply to %2 (%3)")
                                   .arg(m_linkName, line.trimmed(),
                                        m_gpibErrors.value(0, QStringLiteral("IBRD failed")))
                                   .toStdString());
        return TrimReply(reply);
    }
    L.DeliverWaitingLines();
    HandlePendingEvents();
    const bool resync = m_resync.Begin();
    // Without a reply given up on, what came before the line was sent is a line the instrument
    // sent by itself (or the answer to a line the script wrote); after one, it goes through the
    // resynchronisation like every later line.
    if (!resync)
        m_replies.clear();
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    if (resync)
        Write(QString::fromLatin1(kResyncQuery));
    Write(line);
    for (;;) {
        switch (WaitForEvents([this] { return !m_replies.empty() || !m_lost.isEmpty(); },
                              static_cast<int>(deadline.remainingTime()), interrupted)) {
        case WaitEnd::Interrupted:
            Interrupted();
        case WaitEnd::TimedOut:
            if (std::optional<QString> held = m_resync.TakeHeld())
                return *held;
            m_resync.GaveUp(line);
            throw NoReplyError(QStringLiteral("%1: no reply to %2 within %3 ms")
                                   .arg(m_linkName, line.trimmed())
                                   .arg(timeoutMs)
                                   .toStdString());
        case WaitEnd::Ready:
            break;
        }
        CheckOpen();
        while (!m_replies.empty()) {
            const QString received = m_replies.front();
            m_replies.pop_front();
            QString late;
            const ReplyResync::Line kind = m_resync.Take(received, late);
            if (!late.isEmpty())
                m_lateReplies << late;
            if (kind == ReplyResync::Line::Reply)
                return received;
        }
    }
}

QStringList ScriptInstrument::TakeLateReplies()
{
    QStringList late;
    late.swap(m_lateReplies);
    return late;
}

ScriptInstrument::Identity ScriptInstrument::Identify(int timeoutMs,
                                                      const InterruptCheck& interrupted)
{
    const PollTableType table = BuildPollTable();
    Identity id;
    id.Identification =
        Query(QString::fromLatin1(table[PollCycle::kIdentSlot]), timeoutMs, interrupted);
    id.Options = Query(QString::fromLatin1(table[PollCycle::kOptionsSlot]), timeoutMs, interrupted);
    id.Ident = ReadIdentification(id.Identification);
    id.Opt = ReadOptions(id.Options);
    m_state.Panel.DeviceIdent.Identification = id.Identification;
    m_state.Panel.LastIdentification = id.Identification;
    m_identity = id;
    return id;
}

MeasurementRow ScriptInstrument::Measure(int timeoutMs, const InterruptCheck& interrupted)
{
    if (!m_identity)
        Identify(timeoutMs, interrupted);
    // The cycle's layout after the options reply, as the main window sets it.
    struct : PollCycle::Host {
        void SendPollSlot(int) override {}
        void SendMailbox(const QByteArray&) override {}
        void StatusMissing() override {}
    } noHost;
    PollCycle cycle(noHost);
    if (m_identity->Opt.ThreePhase)
        cycle.ThreePhase();
    else
        cycle.SinglePhase();
    cycle.CycleBase = m_identity->Ident.CycleBase;

    MeasurementPass pass;
    MeasurementRow row;
    pass.SetRowHandler([&row](const MeasurementRow& done) { row = done; });
    for (int slot = cycle.CycleBase + 1; slot <= cycle.MeasEnd; ++slot) {
        pass.SlotTaken(slot, cycle.CycleBase, cycle.MeasEnd);
        const QByteArray& line = cycle.PollTable[static_cast<size_t>(slot)];
        pass.Reply(slot, Query(QString::fromLatin1(line), timeoutMs, interrupted));
    }
    pass.SlotTaken(PollCycle::kTimerMailboxSlot, cycle.CycleBase, cycle.MeasEnd);
    return row;
}

QByteArray ScriptInstrument::SetValueLine(const QString& quantity, int phase, const QString& text)
{
    const QString prefix =
        QStringLiteral("SOUR%1:%2,")
            .arg(phase > 0 ? QString::number(phase) : QString(), quantity.toUpper());
    int count = 0;
    const SetValueField* fields = SetValueFields(count);
    for (int i = 0; i < count; ++i) {
        if (prefix != QLatin1String(fields[i].prefix))
            continue;
        return SetValueCommand(fields[i], fields[i].checked ? CheckSetValueText(text) : text);
    }
    return {};
}
