#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// One run as the results database keeps it. Times are milliseconds since the epoch (UTC) and,
// for people, ISO 8601 text with the station's local offset.
struct RunRecord {
    QString Uuid;
    QString Station;
    QString Operator;
    QString ProgramVersion;
    QString TablePath;
    QString TableName;   // the file name alone: the same table on every station
    QString TableSha256; // the whole file, header and all
    // The SHA-256 of the step lines alone: the table's version, which stays the same when the
    // header's texts change (the serial number written for every unit). Empty for runs
    // recorded before versions were kept.
    QString TableVersion;
    QString Reporter;
    QString Unit;
    QString Serial;
    QString Link;
    // The instrument's identification ("unidentified" when a run asked and got no answer, empty
    // when not known) and its fields as the main window cuts them; the options reply.
    QString Instrument;
    QString InstrumentMaker, InstrumentModel, InstrumentSerial, InstrumentFirmware;
    QString InstrumentOptions;
    QString Devices; // the further devices and meter, "COM05: <identification>; meter COM09: ..."
    // The limits file applied instead of the table's own (empty: none), its version (the SHA-256
    // of its lines) and the model whose limits were taken.
    QString LimitsName, LimitsVersion, LimitsModel;
    QString Calibration; // "calibration due 2027-03-31", a device's after it
    // A rack's runs: the slot ("COM3") and the rack run all its slots' runs share. Empty for a
    // run on its own, and for runs recorded before racks were.
    QString Slot;
    QString RackRun;
    qint64 StartedMs = 0;
    QString StartedText;
    qint64 EndedMs = 0; // 0 while running
    QString EndedText;
    qint64 DurationMs = 0;
    // "passed", "failed", "error", "aborted"; empty until the end is written, and so for a run
    // whose program died ("incomplete" when read).
    QString Verdict;
    QString Reason;
    qint64 Pid = 0; // the process that writes it (journal only)
};

// One evaluated row of a run.
struct RowRecord {
    int Order = 0; // 1, 2, ... in the order evaluated
    QString Step;
    QString Command;
    QString Comment;
    QString LowerText;
    std::optional<double> Lower;
    QString UpperText;
    std::optional<double> Upper;
    QString ValueText;
    std::optional<double> Value;
    QString Mark; // "" or "Error!"
    bool Shown = true;
    qint64 ElapsedMs = 0; // since the run's start
};

// How an empty verdict reads.
inline QString VerdictText(const QString& verdict)
{
    return verdict.isEmpty() ? QStringLiteral("incomplete") : verdict;
}

// A table version as people read it: its first twelve digits, or "unknown" for a run recorded
// before versions were kept.
inline QString ShortVersion(const QString& version)
{
    return version.isEmpty() ? QStringLiteral("unknown") : version.left(12);
}
