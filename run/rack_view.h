#pragma once

#include <QString>

// Where a rack shows its slots as they run: one line per slot on a terminal, or the rack
// window's grid. Slot numbers are those AddSlot gave.
class RackView {
public:
    virtual ~RackView() = default;

    virtual int AddSlot(const QString& name) = 0;
    // Rows done of the rows up to the end row.
    virtual void SetRow(int slot, int done, int total) = 0;
    // The last value recorded: "step 7: 4.600 ok".
    virtual void SetValue(int slot, const QString& value) = 0;
    // "running", then PASSED, FAILED or ERROR.
    virtual void SetState(int slot, const QString& state) = 0;
    // A line that stays (a warning, an error, a slot's summary).
    virtual void Print(const QString& line) = 0;
    // A question waits for the keyboard, and its answer was typed.
    virtual void Ask(const QString&) {}
    virtual void Answered() {}
    // Every slot has ended: the view as it stands now, for the last time.
    virtual void Finish() {}
};
