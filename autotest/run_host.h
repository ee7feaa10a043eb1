#pragma once

#include "autotest/table_header.h"

#include <QString>
#include <QStringList>

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

    // Every step the run records, shown or not ("Show" 0): step, comment, lower limit, value,
    // upper limit, mark, as a result row has them. A hidden failure still fails the unit.
    virtual void StepRecorded(const QStringList& cells, bool shown)
    {
        (void)cells;
        (void)shown;
    }
    // The run cannot go on (a jump to a row that does not exist, a GOTO loop): it has ended
    // without a verdict for the rows after it.
    virtual void RunError(const QString& reason) { (void)reason; }
    // A reply that came after its row was given up on; it is not checked against any row.
    virtual void LateReply(const QString& text) { (void)text; }
    // Auto Save wrote the report here.
    virtual void ReportSaved(const QString& path) { (void)path; }
};
