#include "run/run_identification.h"

#include "autotest/run_link.h"
#include "link/link_state.h"
#include "replies/identification.h"

namespace {

constexpr char kOptionsQuery[] = "*opt?\n";
constexpr int kDeliverMs = 20;

QString Trimmed(const QByteArray& line) { return QString::fromLatin1(line).trimmed(); }

} // namespace

RunIdentification::RunIdentification(LinkState& link, TestLink& testLink, QList<Device> devices)
    : L(link), m_testLink(testLink), m_devices(std::move(devices))
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &RunIdentification::WaitOver);
    // Lines a port took in between events are handed on as the run's tick would.
    connect(&m_deliver, &QTimer::timeout, this, [this] { L.DeliverWaitingLines(); });
}

RunIdentification::~RunIdentification()
{
    if (L.TestWindow == this)
        L.TestWindow = m_before;
}

void RunIdentification::Start(std::function<void()> done)
{
    m_done = std::move(done);
    m_before = L.TestWindow;
    L.TestWindow = this;
    m_deliver.start(kDeliverMs);
    m_step = -1;
    Next();
}

QString RunIdentification::DeviceName(const Device& d) const
{
    if (d.GpibAddress > 0)
        return QStringLiteral("GPIB %1").arg(d.GpibAddress);
    const QString com = QStringLiteral("COM%1").arg(d.Port, 2, 10, QLatin1Char('0'));
    return d.Meter ? QStringLiteral("meter ") + com : com;
}

// The next question: on GPIB it is answered (or not) before this returns; on a serial port the
// answer comes through EvaluateReply, or the wait runs out.
void RunIdentification::Next()
{
    while (++m_step < 2 + m_devices.size()) {
        const bool instrument = m_step < 2;
        // No options are asked of an instrument that did not say what it is.
        if (m_step == 1 && m_identification.isEmpty())
            continue;
        const QByteArray query = m_step == 1 ? QByteArray(kOptionsQuery) : QByteArray(kResyncQuery);
        const Device device = instrument ? Device{} : m_devices[m_step - 2];
        QString error;
        if (instrument && !m_testLink.SerialLink()) {
            std::optional<QByteArray> reply;
            if (m_testLink.GpibExchange(0, query, true, reply) && reply)
                Answered(Trimmed(*reply));
            continue;
        }
        if (device.GpibAddress > 0) {
            std::optional<QByteArray> reply;
            const bool answered =
                m_testLink.GpibExchange(device.GpibAddress, query, true, reply) && reply;
            Answered(answered ? Trimmed(*reply) : QString());
            continue;
        }
        bool written = true;
        if (instrument) {
            written = m_testLink.WriteInstrument(query, error);
            m_expectPort = 0;
        } else if (device.Meter) {
            written = m_testLink.WriteMeter(query, error);
            m_expectPort = m_testLink.MeterPort();
        } else {
            m_testLink.WriteAuxiliary(device.Port, query);
            m_expectPort = device.Port;
        }
        if (!written) {
            if (!instrument)
                Answered(QString());
            continue;
        }
        m_wait.start(kWaitMs);
        return;
    }
    m_deliver.stop();
    m_wait.stop();
    L.TestWindow = m_before;
    if (m_done)
        std::exchange(m_done, nullptr)();
}

void RunIdentification::Answered(const QString& text)
{
    if (m_step == 0)
        m_identification = text;
    else if (m_step == 1)
        m_options = text;
    else
        m_deviceTexts << QStringLiteral("%1: %2").arg(
            DeviceName(m_devices[m_step - 2]), text.isEmpty() ? QStringLiteral("no answer") : text);
}

void RunIdentification::WaitOver()
{
    m_expectPort = -1;
    Answered(QString());
    Next();
}

// A line on another port than the one asked, or a second line, is no answer of ours: it is
// dropped, as no row waits for it yet.
void RunIdentification::EvaluateReply(int port)
{
    if (!m_wait.isActive() || port != m_expectPort)
        return;
    m_wait.stop();
    m_expectPort = -1;
    Answered(Trimmed(L.ReplyLine));
    // The next question goes out after this delivery has returned.
    QTimer::singleShot(0, this, &RunIdentification::Next);
}
