#pragma once

#include "autotest/table_header.h"
#include "autotest/tested_with.h"

#include <QString>
#include <QStringList>

// What a run is started with, as far as its record needs it.
struct RunBeginning {
    QString TablePath;
    TestHeader Header;  // the report's header copies: reporter, unit, serial
    QString Link;       // "COM2", "GPIB 5", "GPIB Device 1"
    QString Instrument; // the instrument's identification, empty when not known
    QString Slot;       // a rack's slot ("COM3"); empty for a run on its own
    QString RackRun;    // the rack run the slot's run belongs to; empty for a run on its own
    // Asked of the devices by a run without windows (Instrument above then is its
    // identification too).
    TestedWith Tested;
};

// How a run ended. A run whose rows all passed ends Completed; whether it passed or failed is
// read off its rows.
enum class RunEnding { Completed, Error, Aborted };

// Where a run is recorded: every run, every evaluated row (hidden ones too) and how it ended.
// The test window and the command-line runner tell it alike; the program hands them one.
class RunJournal {
public:
    virtual ~RunJournal() = default;

    virtual void RunBegins(const RunBeginning& run) = 0;
    // The result row's cells (step, comment, lower limit, value, upper limit, mark) and the
    // line the row sent.
    virtual void StepRecorded(const QStringList& cells, bool shown, const QString& command) = 0;
    // Nothing when no run is open.
    virtual void RunEnds(RunEnding ending, const QString& reason) = 0;
    virtual bool RunOpen() const = 0;
};
