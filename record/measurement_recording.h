#pragma once

#include "record/csv_recorder.h"
#include "record/measurement_pass.h"
#include "record/plot_store.h"

#include <QDateTime>
#include <functional>

// What the control panel does with its measured values beyond showing them: every complete
// pass goes into the trend plot's store (since Connect) and, while a recording runs, into its
// CSV file.
class MeasurementRecording {
public:
    MeasurementRecording();

    MeasurementPass& Pass() { return m_pass; }
    CsvRecorder& Recorder() { return m_recorder; }
    const PlotStore& Plot() const { return m_plot; }

    // Called after every row; failed tells that the recording stopped as the disk refused it.
    void SetRowObserver(std::function<void(bool failed)> observer)
    {
        m_observer = std::move(observer);
    }

    // Polling started: the plot starts afresh.
    void Connected();
    // Polling stopped: the pass under way is dropped and a recording ends, synced and closed.
    void Disconnected();

    // Wall clock and monotonic time of the plot's zero.
    const QDateTime& PlotStart() const { return m_plotStart; }
    // The phases of the last pass: 1 or 3.
    int Phases() const { return m_phases; }

private:
    void Row(const MeasurementRow& row);

    MeasurementPass m_pass;
    CsvRecorder m_recorder;
    PlotStore m_plot;
    QDateTime m_plotStart = QDateTime::currentDateTime();
    int64_t m_plotStartMicros = 0;
    int m_phases = 1;
    std::function<void(bool)> m_observer;
};
