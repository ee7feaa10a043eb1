#include "record/measurement_recording.h"

#include "record/monotonic_clock.h"

MeasurementRecording::MeasurementRecording() : m_plotStartMicros(MonotonicMicros())
{
    m_pass.SetRowHandler([this](const MeasurementRow& row) { Row(row); });
}

void MeasurementRecording::Connected()
{
    m_plot.Clear();
    m_plotStart = QDateTime::currentDateTime();
    m_plotStartMicros = MonotonicMicros();
    m_pass.Reset();
}

void MeasurementRecording::Disconnected()
{
    m_pass.Reset();
    m_recorder.Stop();
}

void MeasurementRecording::Row(const MeasurementRow& row)
{
    m_phases = row.phases;
    PlotStore::Sample sample;
    for (int phase = 0; phase < MeasurementRow::kPhases; ++phase)
        for (int quantity = 0; quantity < 3; ++quantity)
            sample[static_cast<size_t>(phase * 3 + quantity)] = static_cast<float>(
                row.values[static_cast<size_t>(phase)][static_cast<size_t>(quantity)]);
    m_plot.Append(static_cast<double>(row.micros - m_plotStartMicros) / 1e6, sample);

    bool failed = false;
    if (m_recorder.Recording())
        failed = !m_recorder.Append(row);
    if (m_observer)
        m_observer(failed);
}
