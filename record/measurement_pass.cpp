#include "record/measurement_pass.h"

#include "record/monotonic_clock.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr int kStatusSlot = 1;
constexpr int kFirstPhaseSlot = 2;
constexpr int kOutputSlot = 9;
constexpr int kSecondPhaseSlot = 10;
constexpr int kLastMeasSlot = 23;
constexpr int kTimerMailboxSlot = 28;

double PrefixFactor(const QString& unit)
{
    // A lone letter is the unit itself ("m" alone is no unit the instrument prints).
    if (unit.size() < 2)
        return 1.0;
    switch (unit.at(0).unicode()) {
    case 'm':
        return 1e-3;
    case 'u':
    case 0xb5:
        return 1e-6;
    case 'k':
        return 1e3;
    case 'M':
        return 1e6;
    default:
        return 1.0;
    }
}

} // namespace

MeasurementRow::MeasurementRow()
{
    for (auto& phase : values)
        phase.fill(kNone);
}

double ReadMeasurement(const QString& reply)
{
    const QByteArray text = reply.trimmed().toLatin1();
    const char* begin = text.constData();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    double value = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || !std::isfinite(value))
        return kNone;
    const QString unit = QString::fromLatin1(stop, static_cast<qsizetype>(end - stop));
    for (const QChar c : unit)
        if (!c.isLetter())
            return kNone;
    return value * PrefixFactor(unit);
}

void MeasurementPass::SlotTaken(int slot, int cycleBase, int measEnd)
{
    if (slot == cycleBase + 1) {
        m_row = MeasurementRow();
        m_row.phases = measEnd >= kLastMeasSlot ? 3 : 1;
        m_inPass = true;
        return;
    }
    if (!m_inPass || slot <= measEnd)
        return;
    m_inPass = false;
    if (slot != kTimerMailboxSlot)
        return;
    m_row.time = QDateTime::currentDateTime();
    m_row.micros = MonotonicMicros();
    if (m_onRow)
        m_onRow(m_row);
}

void MeasurementPass::Reply(int slot, const QString& reply)
{
    if (!m_inPass)
        return;
    if (slot == kStatusSlot) {
        // Leading digits, as the status indicators read it.
        int word = 0;
        for (const QChar c : reply.left(8)) {
            if (!c.isDigit())
                break;
            word = word * 10 + c.digitValue();
        }
        m_row.statusWord = word;
    } else if (slot == kOutputSlot) {
        m_row.output = reply == QLatin1String("1") ? 1 : 0;
    } else if (slot >= kFirstPhaseSlot && slot <= kLastMeasSlot) {
        const int phase = slot < kOutputSlot ? 0 : (slot - kSecondPhaseSlot) / 7 + 1;
        const int quantity =
            slot < kOutputSlot ? slot - kFirstPhaseSlot : (slot - kSecondPhaseSlot) % 7;
        m_row.values[static_cast<size_t>(phase)][static_cast<size_t>(quantity)] =
            ReadMeasurement(reply);
    }
}
