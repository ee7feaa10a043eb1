#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

// The measured values of one pass of the poll cycle, in base units. NaN: not polled or not
// readable this pass.
struct MeasurementRow {
    // Per phase, in poll order: U [V], I [A], P [W], S [VA], peak current [A], PF, CF.
    static constexpr int kQuantities = 7;
    static constexpr int kPhases = 3;
    std::array<std::array<double, kQuantities>, kPhases> values;
    std::optional<int> output;     // "outp:stat?" read as 1 or 0
    std::optional<int> statusWord; // "*tav?"; not polled with CycleBase 1
    int phases = 1;
    QDateTime time;     // wall clock at the end of the pass
    int64_t micros = 0; // CLOCK_MONOTONIC at the end of the pass

    MeasurementRow();
};

// A measured value as the instrument prints it ("230.1V", "123.4mA", "1000.W", "0.998") in base
// units: the unit's prefix m, u or k is applied, the unit itself dropped. NaN for a text that
// does not start with a number or has anything but letters after it.
double ReadMeasurement(const QString& reply);

// Collects the replies of the measurement block into rows: a pass starts when the cycle takes
// the first slot of its measurement block and is complete when it reaches the timer mailbox
// slot, by which time the reply to the block's last query has been handled. Any other way out
// of the block (Connect's identification and set-value slots) drops the pass.
class MeasurementPass {
public:
    using RowHandler = std::function<void(const MeasurementRow&)>;
    void SetRowHandler(RowHandler handler) { m_onRow = std::move(handler); }

    // The cycle took a slot; measEnd tells the layout (9 single-phase, 23 three-phase).
    void SlotTaken(int slot, int cycleBase, int measEnd);
    // A trimmed reply attributed to slot.
    void Reply(int slot, const QString& reply);
    // Polling stopped: the pass under way is dropped.
    void Reset() { m_inPass = false; }

private:
    MeasurementRow m_row;
    bool m_inPass = false;
    RowHandler m_onRow;
};
