#pragma once

#include <QWidget>
#include <array>

class MeasurementRecording;
class QCheckBox;
class QChart;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QTimer;
class QValueAxis;
class TrendChartView;

// The live trend plot: voltage, current and power of the connected phases against time since
// Connect, refreshed twice a second from the recording's plot store. The time window is the
// last minute, ten minutes, hour or everything; the operator can pause, zoom and pan with the
// mouse ("Live" follows the newest samples again) and export the view as PNG or SVG.
class TrendWindow : public QWidget {
    Q_OBJECT

public:
    enum class Span { OneMinute, TenMinutes, OneHour, All };

    explicit TrendWindow(const MeasurementRecording& recording, QWidget* parent = nullptr);

    // The refresh timer's period and handler: redraws from the store unless paused.
    static constexpr int kRefreshMs = 500;
    void Refresh();
    void SetSpan(Span span);
    void SetPaused(bool paused);
    // Back to the span's window on the newest samples.
    void FollowLive();
    bool Following() const { return m_following; }

    bool ExportPng(const QString& path);
    bool ExportSvg(const QString& path);

    QChart* Chart() const { return m_chart; }
    QTimer* TrendTimer() const { return m_timer; }
    // Curve index as the plot store counts it (phase * 3 + U/I/P).
    QLineSeries* Curve(int curve) const { return m_series[static_cast<size_t>(curve)]; }

private:
    void BuildChart();
    void ExportClick(bool svg);
    void ViewMoved();

    const MeasurementRecording& m_recording;
    QChart* m_chart = nullptr;
    TrendChartView* m_view = nullptr;
    QDateTimeAxis* m_timeAxis = nullptr;
    std::array<QValueAxis*, 3> m_valueAxes{};
    std::array<QLineSeries*, 9> m_series{};
    QComboBox* m_span = nullptr;
    QCheckBox* m_pause = nullptr;
    QTimer* m_timer = nullptr;
    bool m_following = true;
    bool m_updating = false;
};
