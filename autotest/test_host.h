#pragma once

#include "autotest/test_header.h"

#include <QString>

// The four check boxes of the test window, as they stand when the interpreter asks.
struct TestOptions {
    bool StopAtError = false;   // "Stop at Error"
    bool SerialPlusOne = false; // "Serial # +1"
    bool StartAtStep1 = true;   // "Start at Step 1"
    bool AutoSave = false;      // "Auto Save"
};

// What the interpreter needs of the window it runs in (or of a runner without one).
class TestHost {
public:
    virtual ~TestHost() = default;

    // Timer1, the 100 ms tick.
    virtual void SetTimer(bool on) = 0;
    virtual bool TimerEnabled() const = 0;

    virtual TestOptions Options() const = 0;
    // The "Reporter:", "Unit:" and "Serial #:" fields.
    virtual TestHeader HeaderFields() const = 0;
    virtual void SetSerialField(const QString& text) = 0;

    // A run or single step begins: "Date:" shows the start date again; with newReport the
    // result table starts over (the report font turns bold).
    virtual void RunStarted(bool newReport) = 0;

    // "Test Step:" label.
    virtual void ShowStepNumber(const QString& nr) = 0;
    // "Lower Limit", "Upper Limit" and "Comment:" fields.
    virtual void ShowStepFields(const QString& lower, const QString& upper,
                                const QString& comment) = 0;
    // "Result:" field and its colour.
    virtual void SetResultText(const QString& text) = 0;
    virtual void SetResultRed(bool red) = 0;

    // One message to the operator (a port that failed, a report that could not be saved).
    virtual void ShowMessage(const QString& text) = 0;
};
