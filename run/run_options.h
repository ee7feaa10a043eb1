#pragma once

#include "run/rack_options.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>

class InstrumentSource;

// What a run is asked to do: tavtest's command line, a script's arguments or a window's fields
// give it.
struct RunnerOptions {
    QString TestFile;
    // Link: TAVCON.cfg in the current folder unless --config names another; then --port,
    // --gpib or --gpib-name override it.
    QString ConfigFile;
    std::optional<int> Port;
    std::optional<int> GpibAddress;
    QString GpibName;
    // A rack: the same table on each of these instruments at once, instead of the one link.
    QList<RackSlot> Slots;
    // Set for each slot's own run: the rack run it belongs to, and its slot.
    QString RackRun;
    QString SlotName;
    // The external meter's port; otherwise the first port found that is not the instrument's.
    std::optional<int> MeterPort;
    // The ports the table's "@COMnn" rows go to instead (a rack slot's own): nn -> port.
    std::map<int, int> PortMap;

    // Results. A --report naming an existing folder saves there under the automatic name.
    QString ReportFile;
    QString TextFile;
    QString JUnitFile;
    QString PdfFile;
    bool AutoSave = false; // the "Auto Save" box: the interpreter saves at the end row
    // Where Auto Save writes (the current folder when empty); it never replaces a report.
    QString ReportDir;

    // Report header.
    std::optional<QString> Serial;
    bool SerialAdvance = false; // "Serial # +1"
    std::optional<QString> Reporter;
    std::optional<QString> Unit;

    bool StopAtError = false;
    // A run that does not reach its end row leaves the output as it is instead of switching it
    // off.
    bool KeepOutput = false;
    std::map<int, double> Sets;     // variable number 1 ... 10 -> value
    std::map<int, QString> Answers; // variable number 1 ... 10 -> prompt answer
    bool Quiet = false;
    int TimeoutMs = 0; // 0: none

    // Recording of the run, taken by the program's recorder once it exists.
    QString TraceFile;
    // The line's results server (a libpq URI); the station's journal is written always.
    QString DbUri;

    // The station the runs are recorded as, and whose journal they go to; empty: this
    // station's own name.
    QString Station;
    // How long the end of a run may spend sending to the server, connecting included.
    int DbTimeoutMs = 5000;

    // Limits per model of instrument: the limits file, and the model whose limits apply instead
    // of the one the instrument names.
    QString LimitsFile;
    QString Model;
    // A run whose instrument or meter is out of calibration (or not listed, or unidentified) is
    // refused instead of warned of.
    bool RequireCalibration = false;
    // The station's instruments with their calibration days, read once for all a rack's slots
    // (none: the run reads them).
    std::shared_ptr<InstrumentSource> Instruments;
};

class ResultsStore;

// The line's server a run's results go on to from the station's journal, and how long the end of
// a run may spend sending them: the same for tavtest's runs and a script's.
void RecordAsOptionsSay(ResultsStore& results, const RunnerOptions& options);

// The station the runs are recorded as: the one given, else this station's own name.
QString StationOf(const RunnerOptions& options);
